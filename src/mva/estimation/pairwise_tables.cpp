// The pairwise tables, under one heading: the weight of the cases in which
// each pair is present (table 7); the mean and standard deviation of every
// quantitative variable over the cases in which each other variable is
// present too (tables 8 and 9, full squares, categorical variables as rows
// only); covariances and correlations over co-present cases (tables 10 and
// 11, lower triangles). Cells that a pair's weight cannot support are
// system-missing. Every number comes from the pairwise moments; this file
// only places them.
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "mva/estimation/table_setup.h"
#include "mva/estimation/weighted_moments.h"
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

// One filling of the pairwise tables over the columns `order(1..count)`.
class PairwiseTables {
 public:
  PairwiseTables(Context& cx, WordArray order, std::int64_t count, bool compare)
      : host_(cx.host),
        ws_(cx.ws),
        order_(order),
        count_(count),
        compare_(compare),
        sysmis_(host_.PCINMS()),
        ANVAR(cx.words(cx.cmn.a.ANVAR)),
        PWN(cx.triangle(cx.cmn.a.PWN)),
        PWCOV(cx.triangle(cx.cmn.a.PWCOV)),
        PWMEAN(cx.square(cx.cmn.a.PWMEAN)),
        PWVAR(cx.square(cx.cmn.a.PWVAR)),
        roles_(column_roles(cx)),
        quant_(columns_where(roles_, order, count, [](const ColumnRole& r) { return r.quantitative; })),
        shown_(
            columns_where(roles_, order, count, [](const ColumnRole& r) { return r.quantitative || r.categorical; })),
        row_variables_(host_.BP_CSTRING("MOUT_ ROW VARIABLES")),
        other_variables_(host_.BP_CSTRING("MOUT_ OTHER VARIABLES")),
        count_format_(host_.BP_N_FORMAT()) {}

  // Table 7: pair weights, quantitative and categorical variables alike.
  void frequencies() {
    begin_pairs(host_, kFrequencyTable, "MOUT_ FREQUENCY", "MOUT_ ROW VARIABLES");
    for (std::size_t a = 0; a < shown_.size(); ++a) {
      const std::int64_t ci = shown_[a];
      host_.BP_CATEGORY_DIMENSION(kFrequencyTable, label(ci), row_variables_);
      for (std::size_t b = 0; b <= a; ++b) {
        const std::int64_t ck = shown_[b];
        host_.BP_CELL_IN_CATEGORY(kFrequencyTable, host_.BP_LRVALUE(PWN(ci, ck), count_format_), label(ck));
      }
    }
    host_.BP_END_PIVOT_TABLE(kFrequencyTable);
  }

  // Table 8.
  void means() {
    present_with(
        kMeansTable, "MOUT_ MEAN", "MOUT_ MEAN(COL|ROW)", kCompareMeansTable,
        [&](std::int64_t c) { return PWMEAN(c, c); },
        [&](std::int64_t ci, std::int64_t ck) { return finish_mean(PWN(ci, ck), PWMEAN(ck, ci), sysmis_); },
        [&](std::int64_t v) { return host_.BP_MEAN_FORMAT(ws_, v, 1); });
  }

  // Table 9.
  void standard_deviations() {
    present_with(
        kStdDevsTable, "MOUT_ STD DEV", "MOUT_ STD DEV(COL|ROW)", kCompareStdDevsTable,
        [&](std::int64_t c) { return finish_sd(PWVAR(c, c)); },
        [&](std::int64_t ci, std::int64_t ck) { return finish_sd(PWN(ci, ck), PWVAR(ck, ci), sysmis_); },
        [&](std::int64_t v) { return host_.BP_STDDEV_FORMAT(ws_, v, 1); });
  }

  // Table 10: covariances over co-present cases, lower triangle.
  void covariances() {
    begin_pairs(host_, kCovariancesTable, "MOUT_ COVARIANCE", "MOUT_ ROW VARIABLES");
    for (std::size_t a = 0; a < quant_.size(); ++a) {
      const std::int64_t ci = quant_[a];
      host_.BP_CATEGORY_DIMENSION(kCovariancesTable, label(ci), row_variables_);
      for (std::size_t b = 0; b <= a; ++b) {
        const std::int64_t ck = quant_[b];
        const double cov = finish_covariance(PWN(ci, ck), PWCOV(ci, ck), sysmis_);
        host_.BP_CELL_IN_CATEGORY(kCovariancesTable, host_.BP_LRVALUE(cov, host_.BP_STDDEV_FORMAT(ws_, ANVAR(ck), 1)),
                                  label(ck));
      }
    }
    host_.BP_END_PIVOT_TABLE(kCovariancesTable);
  }

  // Table 11: correlations, each from the two variances over the same cases
  // as the covariance.
  void correlations() {
    begin_pairs(host_, kCorrelationsTable, "MOUT_ CORRELATION", "MOUT_ ROW VARIABLES");
    const Format correlation = host_.BP_CORRELATION_FORMAT();
    for (std::size_t a = 0; a < quant_.size(); ++a) {
      const std::int64_t ci = quant_[a];
      host_.BP_CATEGORY_DIMENSION(kCorrelationsTable, label(ci), row_variables_);
      for (std::size_t b = 0; b < a; ++b) {
        const std::int64_t ck = quant_[b];
        const double r =
            has_covariance(PWN(ci, ck)) ? host_.CORREL(PWVAR(ci, ck), PWVAR(ck, ci), PWCOV(ci, ck)) : sysmis_;
        host_.BP_CELL_IN_CATEGORY(kCorrelationsTable, host_.BP_LRVALUE(r, correlation), label(ck));
      }
      const double diagonal = PWVAR(ci, ci) > 0.0 ? 1.0 : sysmis_;
      host_.BP_CELL_IN_CATEGORY(kCorrelationsTable, host_.BP_LRVALUE(diagonal, count_format_), label(ci));
    }
    host_.BP_END_PIVOT_TABLE(kCorrelationsTable);
  }

 private:
  Text label(std::int64_t col) { return host_.BP_VARIABLE(ANVAR(col), 0); }

  // Tables 8 and 9: a statistic of column k over the cases where row i is
  // present, every listed row against every quantitative column. `own` is
  // the row variable's value for the comparison table, `cell` the value of a
  // cell, `format` the format of a variable's values.
  template <class Own, class Cell, class VariableFormat>
  void present_with(int number, const char* title, const char* footnote, int compare_table, const Own& own,
                    const Cell& cell, const VariableFormat& format) {
    begin_pairs(host_, number, title, "MOUT_ OTHER VARIABLES");
    host_.BP_ANNOTATE(host_.BP_CSTRING(footnote), AnnotationCode::Title);
    if (compare_) select_comparison_method(host_, compare_table, "UOUT_ ALL VALUES");
    for (std::int64_t i = 1; i <= count_; ++i) {
      const std::int64_t ci = order_(i);
      if (ci < 1) continue;  // past the VARIABLES-list columns
      const ColumnRole& role = roles_(ci);
      if (role.quantitative && compare_) {
        host_.BP_CELL_IN_CATEGORY(compare_table, host_.BP_LRVALUE(own(ci), format(role.variable)), label(ci));
      }
      if (!role.quantitative && !role.categorical) continue;
      host_.BP_CATEGORY_DIMENSION(number, label(ci), other_variables_);
      for (const std::int64_t ck : quant_) {
        host_.BP_CELL_IN_CATEGORY(number, host_.BP_LRVALUE(cell(ci, ck), format(ANVAR(ck))), label(ck));
      }
    }
    host_.BP_END_PIVOT_TABLE(number);
  }

  Host& host_;
  Workspace& ws_;
  const WordArray order_;  // the displayed columns, 0 past the VARIABLES list
  const std::int64_t count_;
  const bool compare_;  // the means and standard deviations also go to the comparison tables
  const double sysmis_;
  const WordArray ANVAR;
  const RealTriangle PWN;
  const RealTriangle PWCOV;
  const RealSquare PWMEAN;
  const RealSquare PWVAR;
  const ColumnRoles roles_;
  const std::vector<std::int64_t> quant_;  // the quantitative columns in display order
  const std::vector<std::int64_t> shown_;  // the quantitative and categorical columns in display order
  const Text row_variables_;
  const Text other_variables_;
  const Format count_format_;
};

}  // namespace

void MOUT(Context& cx, WordArray order, std::int64_t count, bool compare) {
  PairwiseTables tables(cx, order, count, compare);
  cx.host.BP_BEGIN_HEADING(cx.host.BP_CSTRING("MOUT_ PAIRWISE STATISTICS"));
  tables.frequencies();
  tables.means();
  tables.standard_deviations();
  tables.covariances();
  tables.correlations();
  cx.host.BP_END_HEADING();
}

}  // namespace mva
