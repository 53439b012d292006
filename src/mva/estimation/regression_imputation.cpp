// Regression imputation. It comes with its own work; until then nothing is
// imputed.
#include "mva/estimation/regression_imputation.h"

namespace mva {

void REG(Context& /*cx*/, const ListwiseSums& /*sums*/, RealArray /*EMWRK1*/,
         RealArray /*EMWRK2*/, RealArray /*CASREC*/, WordArray /*CASEMISS*/) {}

}  // namespace mva
