// Method-comparison tables (filled in with the estimation tables).
#include "mva/estimation/comparison_tables.h"

namespace mva {

void CMPB(Context& /*cx*/, bool /*listwise*/, bool /*em*/, bool /*regression*/) {}

}  // namespace mva
