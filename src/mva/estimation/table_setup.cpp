// Beginning an estimation table.
#include "mva/estimation/table_setup.h"

namespace mva {

void begin_estimate_table(Host& host, int number, std::string_view title) {
  host.BP_BEGIN_PIVOT_TABLE(number, host.BP_CSTRING(title), host.BP_CSTRING(title));
  host.BP_TABLE_PROPERTY(number, 1, host.BP_IVALUE(1, host.BP_N_FORMAT()));
}

}  // namespace mva
