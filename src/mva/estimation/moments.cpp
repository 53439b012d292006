// Listwise and pairwise moments (filled in with the estimation routines).
#include "mva/estimation/moments.h"

namespace mva {

void MOMENT(Context& /*cx*/, WordArray /*CASEMISS*/, ListwiseSums& /*sums*/) {}

}  // namespace mva
