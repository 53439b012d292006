// Crosstabulations of categorical variables. The tables come with their own
// work; until then none is produced.
#include "mva/diagnostics/crosstabs.h"

namespace mva {

void TAB(Context& /*cx*/, WordArray /*VCOLS*/, std::int64_t /*length*/) {}

}  // namespace mva
