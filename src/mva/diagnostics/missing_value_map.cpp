// The map of missing values. The table comes with its own work; until then
// it is not produced.
#include "mva/diagnostics/missing_value_map.h"

namespace mva {

void MMAP(Context& /*cx*/, int /*table*/) {}

}  // namespace mva
