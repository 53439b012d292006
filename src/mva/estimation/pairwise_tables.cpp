// The pairwise tables, under one heading: the weight of the cases in which
// each pair is present (table 7); the mean and standard deviation of every
// quantitative variable over the cases in which each other variable is
// present too (tables 8 and 9, full squares, categorical variables as rows
// only); covariances and correlations over co-present cases (tables 10 and
// 11, lower triangles). Cells that a pair's weight cannot support are
// system-missing. Every number comes from the pairwise moments; this file
// only places them.
#include <cmath>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "mva/estimation/table_setup.h"
#include "mva/frame/table_numbers.h"

namespace mva {

namespace {

constexpr int kFrequencyTable = kPairwiseFrequencyTable;
constexpr int kMeansTable = kPairwiseMeansTable;
constexpr int kStdDevsTable = kPairwiseStdDevsTable;
constexpr int kCovariancesTable = kPairwiseCovariancesTable;
constexpr int kCorrelationsTable = kPairwiseCorrelationsTable;

// Begins a pairwise table with the variables across and `rows` down.
void begin_pairs(Host& host, int number, const char* title, const char* rows) {
  begin_estimate_table(host, number, title);
  const Text columns = host.BP_CSTRING("MOUT_ VARIABLES");
  host.BP_POSITION_DIMENSION(number, columns, kColumnDimension);
  host.BP_POSITION_DIMENSION(number, host.BP_CSTRING(rows), kRowDimension);
  host.BP_CELL_DIMENSION(number, columns);
}

// A standard deviation from a variance; 0 when the variance is not positive.
double root_or_zero(double variance) { return variance > 0.0 ? std::sqrt(variance) : 0.0; }

}  // namespace

void MOUT(Context& cx, WordArray order, std::int64_t count, bool compare) {
  Host& host = cx.host;
  Workspace& ws = cx.ws;
  const double sysmis = host.PCINMS();
  const WordArray ANVAR = cx.words(cx.cmn.a.ANVAR);
  const RealTriangle PWN = cx.triangle(cx.cmn.a.PWN);
  const RealTriangle PWCOV = cx.triangle(cx.cmn.a.PWCOV);
  const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN);
  const RealSquare PWVAR = cx.square(cx.cmn.a.PWVAR);
  const ColumnRoles roles = column_roles(cx);
  const std::vector<std::int64_t> quant =
      columns_where(roles, order, count, [](const ColumnRole& r) { return r.quantitative; });
  const std::vector<std::int64_t> shown =
      columns_where(roles, order, count, [](const ColumnRole& r) { return r.quantitative || r.categorical; });
  const Text row_variables = host.BP_CSTRING("MOUT_ ROW VARIABLES");
  const Text other_variables = host.BP_CSTRING("MOUT_ OTHER VARIABLES");
  const Format count_format = host.BP_N_FORMAT();
  const auto label = [&](std::int64_t col) { return host.BP_VARIABLE(ANVAR(col), 0); };

  host.BP_BEGIN_HEADING(host.BP_CSTRING("MOUT_ PAIRWISE STATISTICS"));

  // Table 7: pair weights, quantitative and categorical variables alike.
  begin_pairs(host, kFrequencyTable, "MOUT_ FREQUENCY", "MOUT_ ROW VARIABLES");
  for (std::size_t a = 0; a < shown.size(); ++a) {
    const std::int64_t ci = shown[a];
    host.BP_CATEGORY_DIMENSION(kFrequencyTable, label(ci), row_variables);
    for (std::size_t b = 0; b <= a; ++b) {
      const std::int64_t ck = shown[b];
      host.BP_CELL_IN_CATEGORY(kFrequencyTable, host.BP_LRVALUE(PWN(ci, ck), count_format), label(ck));
    }
  }
  host.BP_END_PIVOT_TABLE(kFrequencyTable);

  // Tables 8 and 9: a statistic of column k over the cases where row i is
  // present, every listed row against every quantitative column. `own` is
  // the row variable's value for the comparison table, `cell` the value of a
  // cell, `format` the format of a variable's values.
  const auto present_with = [&](int number, const char* title, const char* footnote, int compare_table, const auto& own,
                                const auto& cell, const auto& format) {
    begin_pairs(host, number, title, "MOUT_ OTHER VARIABLES");
    host.BP_ANNOTATE(host.BP_CSTRING(footnote), AnnotationCode::Title);
    if (compare) select_comparison_method(host, compare_table, "UOUT_ ALL VALUES");
    for (std::int64_t i = 1; i <= count; ++i) {
      const std::int64_t ci = order(i);
      if (ci < 1) continue;  // past the VARIABLES-list columns
      const ColumnRole& role = roles(ci);
      if (role.quantitative && compare) {
        host.BP_CELL_IN_CATEGORY(compare_table, host.BP_LRVALUE(own(ci), format(role.variable)), label(ci));
      }
      if (!role.quantitative && !role.categorical) continue;
      host.BP_CATEGORY_DIMENSION(number, label(ci), other_variables);
      for (const std::int64_t ck : quant) {
        host.BP_CELL_IN_CATEGORY(number, host.BP_LRVALUE(cell(ci, ck), format(ANVAR(ck))), label(ck));
      }
    }
    host.BP_END_PIVOT_TABLE(number);
  };
  present_with(
      kMeansTable, "MOUT_ MEAN", "MOUT_ MEAN(COL|ROW)", kCompareMeansTable,
      [&](std::int64_t c) { return PWMEAN(c, c); },
      [&](std::int64_t ci, std::int64_t ck) { return PWN(ci, ck) > 0.0 ? PWMEAN(ck, ci) : sysmis; },
      [&](std::int64_t v) { return host.BP_MEAN_FORMAT(ws, v, 1); });
  present_with(
      kStdDevsTable, "MOUT_ STD DEV", "MOUT_ STD DEV(COL|ROW)", kCompareStdDevsTable,
      [&](std::int64_t c) { return root_or_zero(PWVAR(c, c)); },
      [&](std::int64_t ci, std::int64_t ck) {
        return PWN(ci, ck) > 1.0 ? root_or_zero(PWVAR(ck, ci)) : sysmis;  // fewer than two cases
      },
      [&](std::int64_t v) { return host.BP_STDDEV_FORMAT(ws, v, 1); });

  // Table 10: covariances over co-present cases, lower triangle.
  begin_pairs(host, kCovariancesTable, "MOUT_ COVARIANCE", "MOUT_ ROW VARIABLES");
  for (std::size_t a = 0; a < quant.size(); ++a) {
    const std::int64_t ci = quant[a];
    host.BP_CATEGORY_DIMENSION(kCovariancesTable, label(ci), row_variables);
    for (std::size_t b = 0; b <= a; ++b) {
      const std::int64_t ck = quant[b];
      const double cov = PWN(ci, ck) > 1.0 ? PWCOV(ci, ck) : sysmis;
      host.BP_CELL_IN_CATEGORY(kCovariancesTable, host.BP_LRVALUE(cov, host.BP_STDDEV_FORMAT(ws, ANVAR(ck), 1)),
                               label(ck));
    }
  }
  host.BP_END_PIVOT_TABLE(kCovariancesTable);

  // Table 11: correlations, each from the two variances over the same cases
  // as the covariance.
  begin_pairs(host, kCorrelationsTable, "MOUT_ CORRELATION", "MOUT_ ROW VARIABLES");
  const Format correlation = host.BP_CORRELATION_FORMAT();
  for (std::size_t a = 0; a < quant.size(); ++a) {
    const std::int64_t ci = quant[a];
    host.BP_CATEGORY_DIMENSION(kCorrelationsTable, label(ci), row_variables);
    for (std::size_t b = 0; b < a; ++b) {
      const std::int64_t ck = quant[b];
      const double r = PWN(ci, ck) > 1.0 ? host.CORREL(PWVAR(ci, ck), PWVAR(ck, ci), PWCOV(ci, ck)) : sysmis;
      host.BP_CELL_IN_CATEGORY(kCorrelationsTable, host.BP_LRVALUE(r, correlation), label(ck));
    }
    const double diagonal = PWVAR(ci, ci) > 0.0 ? 1.0 : sysmis;
    host.BP_CELL_IN_CATEGORY(kCorrelationsTable, host.BP_LRVALUE(diagonal, count_format), label(ci));
  }
  host.BP_END_PIVOT_TABLE(kCorrelationsTable);

  host.BP_END_HEADING();
}

}  // namespace mva
