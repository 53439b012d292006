// Opening the method-comparison tables: variables across, one row category
// per method in a fixed order, declared before any method fills its cells.
#include "mva/estimation/comparison_tables.h"

#include "mva/estimation/table_setup.h"

namespace mva {

void select_comparison_method(Host& host, int table, std::string_view method) {
  host.BP_CATEGORY_DIMENSION(table, host.BP_CSTRING(method), host.BP_CSTRING("CMPB_ STATISTICS"));
}

void CMPB(Context& cx, bool listwise, bool em, bool regression) {
  Host& host = cx.host;
  const struct {
    int number;
    const char* title;
  } tables[] = {{kCompareMeansTable, "CMPB_ COMPARE MEANS"},
                {kCompareStdDevsTable, "CMPB_ COMPARE STANDARD DEVIATIONS"}};
  for (const auto& table : tables) {
    begin_estimate_table(host, table.number, table.title);
    const Text variables = host.BP_CSTRING("CMPB_ VARIABLES");
    host.BP_POSITION_DIMENSION(table.number, variables, kColumnDimension);
    host.BP_CELL_DIMENSION(table.number, variables);
    host.BP_POSITION_DIMENSION(table.number, host.BP_CSTRING("CMPB_ STATISTICS"), kRowDimension);
    if (listwise) select_comparison_method(host, table.number, "LOUT_ LISTWISE");
    select_comparison_method(host, table.number, "UOUT_ ALL VALUES");
    if (em) select_comparison_method(host, table.number, "EOUT_ EM");
    if (regression) select_comparison_method(host, table.number, "EOUT_ REGRESSION");
  }
}

}  // namespace mva
