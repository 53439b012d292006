// Missing-indicator correlations. The table comes with its own work; until
// then it is not produced.
#include "mva/diagnostics/indicator_correlations.h"

namespace mva {

void IOUT(Context& /*cx*/, WordArray /*VCOLS*/, std::int64_t /*length*/, WordArray /*PATWRK*/,
          int /*table*/) {}

}  // namespace mva
