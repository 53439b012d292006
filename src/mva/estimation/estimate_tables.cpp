// The estimate tables of one imputation method: a heading with the method's
// notes (for EM Little's MCAR test and, when it stopped early, the iteration
// count; for regression what was added to the predictions), then the means,
// covariances and correlations of the method's dependent variables in the
// order of the VARIABLES list. Every number comes from the method's results;
// this file only places them.
#include "mva/estimation/estimate_tables.h"

#include <string_view>
#include <vector>

#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/table_setup.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

constexpr int kEmSubcommand = 14;
constexpr int kRegressionSubcommand = 15;

// The texts that differ between the two methods.
struct MethodTexts {
  std::string_view heading;
  std::string_view means;
  std::string_view covariances;
  std::string_view correlations;
  std::string_view column;  // the method's column of the comparison tables
};

constexpr MethodTexts kEmTexts = {"EOUT_ EM ESTIMATED STATISTICS", "EOUT_ EM MEANS", "EOUT_ EM COVARIANCES",
                                  "EOUT_ EM CORRELATIONS", "EOUT_ EM"};
constexpr MethodTexts kRegressionTexts = {"EOUT_ REGRESSION ESTIMATED STATISTICS", "EOUT_ REG MEANS",
                                          "EOUT_ REG COVARIANCES", "EOUT_ REG CORRELATIONS", "EOUT_ REGRESSION"};

// A note under the heading: its plain key, or its FOR key naming the split
// group, with the parameters filled in order after the group.
class HeadingNote {
 public:
  HeadingNote(Context& cx, bool for_split, std::string_view plain, std::string_view split) : host_(cx.host) {
    host_.BP_BEGIN_COMPSTRING(host_.BP_CSTRING(for_split ? split : plain));
    if (for_split) {
      host_.BP_BEGIN_REPEAT_LIST();
      host_.BP_SPLIT_LIST(cx.ws);
      host_.BP_END_REPEAT_LIST();
    }
  }
  HeadingNote& add(const Text& parameter) {
    host_.BP_ADD_PARAMETER(parameter);
    return *this;
  }
  void annotate() { host_.BP_ANNOTATE(host_.BP_END_COMPSTRING(), AnnotationCode::Note); }

 private:
  Host& host_;
};

// Little's MCAR line and, when EM did not converge, its iteration count.
void em_notes(Context& cx, bool for_split, const EmResult& em) {
  Host& host = cx.host;
  const double prob = em.mcar_df > 0.0 ? host.SIGCHI(em.mcar_chisq, em.mcar_df) : host.PCINMS();
  HeadingNote(cx, for_split, "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3",
              "EOUT_ FOR [:^1=^2, :$2=$1]1, MCAR CHISQ=^2, DF=^3 PROB=^4")
      .add(host.BP_LRVALUE(em.mcar_chisq, host.BP_GENSTAT_FORMAT()))
      .add(host.BP_LRVALUE(em.mcar_df, host.BP_N_FORMAT()))
      .add(host.BP_LRVALUE(prob, host.BP_SIGNIFICANCE_FORMAT()))
      .annotate();
  if (!em.converged) {
    HeadingNote(cx, for_split, "EOUT_ DID NOT CONVERGE ^1", "EOUT_ FOR [:^1=^2, :$2=$1]1, DID NOT CONVERGE ^2")
        .add(host.BP_IVALUE(em.iterations, host.BP_N_FORMAT()))
        .annotate();
  }
}

// What regression added to its predictions; nothing for NONE.
void regression_note(Context& cx, bool for_split, EstimateMethod method, double tdf) {
  Host& host = cx.host;
  switch (method) {
    case EstimateMethod::RegressionResidual:
      HeadingNote(cx, for_split, "EOUT_ RESIDUAL ADDED", "EOUT_ FOR [:^1=^2, :$2=$1]1, RESIDUAL ADDED").annotate();
      break;
    case EstimateMethod::RegressionNormal:
      HeadingNote(cx, for_split, "EOUT_ NORMAL ADDED", "EOUT_ FOR [:^1=^2, :$2=$1]1, NORMAL ADDED").annotate();
      break;
    case EstimateMethod::RegressionT:
      HeadingNote(cx, for_split, "EOUT_ T(^1) ADDED", "EOUT_ FOR [:^1=^2, :$2=$1]1, T(^2) ADDED")
          .add(host.BP_LRVALUE(tdf, host.BP_N_FORMAT()))
          .annotate();
      break;
    case EstimateMethod::RegressionNone:
    case EstimateMethod::Em: break;
  }
}

// Begins a table whose rows and columns are the dependent variables.
void begin_square(Host& host, int number, std::string_view title) {
  begin_estimate_table(host, number, title);
  const Text columns = host.BP_CSTRING("EOUT_ VARIABLES");
  host.BP_POSITION_DIMENSION(number, host.BP_CSTRING("EOUT_ ROW VARIABLES"), kRowDimension);
  host.BP_POSITION_DIMENSION(number, columns, kColumnDimension);
  host.BP_CELL_DIMENSION(number, columns);
}

}  // namespace

void EOUT(Context& cx, WordArray VCOLS, std::int64_t length, RealArray means, RealTriangle covariances,
          EstimateMethod method, double tdf, const EmResult& em, std::array<int, 3> tables) {
  Host& host = cx.host;
  Workspace& ws = cx.ws;
  const bool is_em = method == EstimateMethod::Em;
  const MethodTexts& texts = is_em ? kEmTexts : kRegressionTexts;
  const int subcommand = is_em ? kEmSubcommand : kRegressionSubcommand;
  const bool compare = is_true(cx.cmn.CMPMTH);
  const bool for_split = host.split_count() >= 1 && !host.plain_split_notes();
  const auto [means_table, covariance_table, correlation_table] = tables;

  // The dependent columns of the display list, in list order.
  std::vector<std::int64_t> cols;
  for (std::int64_t i = 1; i <= length; ++i) {
    const std::int64_t col = VCOLS(i);
    if (col > 0 && ISDEPV(cx, IANVAR(cx, col), subcommand)) cols.push_back(col);
  }

  host.BP_BEGIN_HEADING(host.BP_CSTRING(texts.heading));
  if (is_em) {
    em_notes(cx, for_split, em);
  } else {
    regression_note(cx, for_split, method, tdf);
  }

  // Means.
  begin_estimate_table(host, means_table, texts.means);
  const Text variables = host.BP_CSTRING("EOUT_ VARIABLES");
  host.BP_POSITION_DIMENSION(means_table, variables, kColumnDimension);
  host.BP_CELL_DIMENSION(means_table, variables);
  if (compare) select_comparison_method(host, kCompareMeansTable, texts.column);
  for (const std::int64_t col : cols) {
    const std::int64_t v = IANVAR(cx, col);
    const Text label = host.BP_VARIABLE(v, 0);
    const Text mean = host.BP_LRVALUE(means(v), host.BP_MEAN_FORMAT(ws, v, 1));
    if (compare) {
      host.BP_CELL_IN_CATEGORY(kCompareMeansTable, host.BP_REPLICATE_PARAMETER(mean), label);
    }
    host.BP_CELL_IN_CATEGORY(means_table, mean, label);
  }
  host.BP_END_PIVOT_TABLE(means_table);

  // Covariances: the lower triangle with the diagonal, each cell in the
  // column variable's format; the standard deviations go to the comparison.
  const Text rows = host.BP_CSTRING("EOUT_ ROW VARIABLES");
  begin_square(host, covariance_table, texts.covariances);
  if (compare) select_comparison_method(host, kCompareStdDevsTable, texts.column);
  for (std::size_t a = 0; a < cols.size(); ++a) {
    const std::int64_t k = cols[a], v = IANVAR(cx, k);
    const Text label = host.BP_VARIABLE(v, 0);
    host.BP_CATEGORY_DIMENSION(covariance_table, label, rows);
    for (std::size_t b = 0; b < a; ++b) {
      const std::int64_t j = cols[b], u = IANVAR(cx, j);
      host.BP_CELL_IN_CATEGORY(covariance_table, host.BP_LRVALUE(covariances(k, j), host.BP_STDDEV_FORMAT(ws, u, 1)),
                               host.BP_VARIABLE(u, 0));
    }
    const double variance = covariances(k, k);
    const Format format = host.BP_STDDEV_FORMAT(ws, v, 1);
    if (compare) {
      host.BP_CELL_IN_CATEGORY(kCompareStdDevsTable, host.BP_LRVALUE(finish_sd(variance), format),
                               host.BP_VARIABLE(v, 0));
    }
    host.BP_CELL_IN_CATEGORY(covariance_table, host.BP_LRVALUE(variance, format), label);
  }
  host.BP_END_PIVOT_TABLE(covariance_table);

  // Correlations: a diagonal of 1 where the variable varies.
  begin_square(host, correlation_table, texts.correlations);
  fill_correlation_triangle(cx, correlation_table, cols, covariances, rows, host.BP_N_FORMAT());
  host.BP_END_PIVOT_TABLE(correlation_table);

  host.BP_END_HEADING();
}

}  // namespace mva
