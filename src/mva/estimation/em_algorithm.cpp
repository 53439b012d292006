// The EM algorithm. It comes with its own work; until then nothing is
// estimated.
#include "mva/estimation/em_algorithm.h"

namespace mva {

void EMA(Context& /*cx*/, const ListwiseSums& /*sums*/, RealArray /*EMWRK1*/,
         RealArray /*EMWRK2*/, RealArray /*CASREC*/, EmResult& /*result*/) {}

}  // namespace mva
