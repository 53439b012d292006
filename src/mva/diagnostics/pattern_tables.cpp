// Pattern tables. The tables and the pattern engine come with their own
// work; until then none is produced.
#include "mva/diagnostics/pattern_tables.h"

namespace mva {

void POUT(Context& /*cx*/, WordArray /*PATWRK*/, RealArray /*EXLLIM*/, RealArray /*EXULIM*/,
          int /*subcommand*/, int /*table*/) {}

}  // namespace mva
