// The listwise tables: the complete cases' N and means (table 4), their
// covariances (table 5) and correlations (table 6), the last two as lower
// triangles in display order, under one heading. Every number comes from
// the listwise moments; this file only places them.
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "mva/estimation/table_setup.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/table_numbers.h"

namespace mva {

namespace {

constexpr int kMeansTable = kListwiseMeansTable;
constexpr int kCovariancesTable = kListwiseCovariancesTable;
constexpr int kCorrelationsTable = kListwiseCorrelationsTable;

// Begins a listwise table whose rows and columns are the variables.
void begin_square(Host& host, int number, const char* title) {
  begin_estimate_table(host, number, title);
  const Text columns = host.BP_CSTRING("LOUT_ COL VARIABLES");
  host.BP_POSITION_DIMENSION(number, columns, kColumnDimension);
  host.BP_POSITION_DIMENSION(number, host.BP_CSTRING("LOUT_ ROW VARIABLES"), kRowDimension);
  host.BP_CELL_DIMENSION(number, columns);
}

}  // namespace

void LOUT(Context& cx, WordArray order, std::int64_t count, const ListwiseSums& sums, bool compare) {
  Host& host = cx.host;
  Workspace& ws = cx.ws;
  const WordArray ANVAR = cx.words(cx.cmn.a.ANVAR);
  const RealArray LWMEAN = cx.reals(cx.cmn.a.LWMEAN);
  const RealTriangle LWCOV = cx.triangle(cx.cmn.a.LWCOV);
  const std::vector<std::int64_t> quant =
      columns_where(column_roles(cx), order, count, [](const ColumnRole& r) { return r.quantitative; });
  const Text rows = host.BP_CSTRING("LOUT_ ROW VARIABLES");

  host.BP_BEGIN_HEADING(host.BP_CSTRING("LOUT_ LISTWISE STATISTICS FOR COMPLETE CASES"));

  // Table 4: N, then the mean of every quantitative variable.
  begin_estimate_table(host, kMeansTable, "LOUT_ MEAN");
  const Text columns = host.BP_CSTRING("LOUT_ COL VARIABLES");
  host.BP_POSITION_DIMENSION(kMeansTable, columns, kColumnDimension);
  host.BP_CELL_DIMENSION(kMeansTable, columns);
  host.BP_CELL_IN_CATEGORY(kMeansTable, host.BP_LRVALUE(sums.LWN, host.BP_N_FORMAT()),
                           host.BP_CSTRING("LOUT_ NO. OF CASES"));
  if (compare) select_comparison_method(host, kCompareMeansTable, "LOUT_ LISTWISE");
  for (const std::int64_t col : quant) {
    const std::int64_t v = ANVAR(col);
    const Text label = host.BP_VARIABLE(v, 0);
    const Text mean = host.BP_LRVALUE(LWMEAN(v), host.BP_MEAN_FORMAT(ws, v, 1));
    host.BP_CELL_IN_CATEGORY(kMeansTable, mean, label);
    if (compare) host.BP_CELL_IN_CATEGORY(kCompareMeansTable, host.BP_REPLICATE_PARAMETER(mean), label);
  }
  host.BP_END_PIVOT_TABLE(kMeansTable);

  // Table 5: covariances, each in the column variable's format; the square
  // roots of the diagonal are the listwise standard deviations.
  begin_square(host, kCovariancesTable, "LOUT_ COVARIANCE");
  if (compare) select_comparison_method(host, kCompareStdDevsTable, "LOUT_ LISTWISE");
  for (std::size_t a = 0; a < quant.size(); ++a) {
    const std::int64_t ci = quant[a], vi = ANVAR(ci);
    const Text label_i = host.BP_VARIABLE(vi, 0);
    host.BP_CATEGORY_DIMENSION(kCovariancesTable, label_i, rows);
    for (std::size_t b = 0; b < a; ++b) {
      const std::int64_t ck = quant[b], vk = ANVAR(ck);
      host.BP_CELL_IN_CATEGORY(kCovariancesTable, host.BP_LRVALUE(LWCOV(ci, ck), host.BP_STDDEV_FORMAT(ws, vk, 1)),
                               host.BP_VARIABLE(vk, 0));
    }
    const double variance = LWCOV(ci, ci);
    const Format format = host.BP_STDDEV_FORMAT(ws, vi, 1);
    host.BP_CELL_IN_CATEGORY(kCovariancesTable, host.BP_LRVALUE(variance, format), label_i);
    if (compare) {
      host.BP_CELL_IN_CATEGORY(kCompareStdDevsTable, host.BP_LRVALUE(finish_sd(variance), format), label_i);
    }
  }
  host.BP_END_PIVOT_TABLE(kCovariancesTable);

  // Table 6: correlations; a diagonal of 1 where the variable varies.
  begin_square(host, kCorrelationsTable, "LOUT_ CORRELATION");
  fill_correlation_triangle(cx, kCorrelationsTable, quant, LWCOV, rows, host.BP_CORRELATION_FORMAT());
  host.BP_END_PIVOT_TABLE(kCorrelationsTable);

  host.BP_END_HEADING();
}

}  // namespace mva
