// Listwise and pairwise tables (filled in with the estimation routines).
#include "mva/estimation/listwise_pairwise_tables.h"

namespace mva {

void LOUT(Context& /*cx*/, WordArray /*order*/, std::int64_t /*count*/, const ListwiseSums& /*sums*/,
          bool /*compare*/) {}

void MOUT(Context& /*cx*/, WordArray /*order*/, std::int64_t /*count*/, bool /*compare*/) {}

}  // namespace mva
