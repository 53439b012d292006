// The univariate statistics table. Columns are added one at a time and
// filled down the rows before the next is added, so each column's category
// is current while its cells are stored. Statistics that cannot be computed
// (no valid value, a weight sum of 1 or less) show the system-missing value.
#include "mva/diagnostics/univariate_table.h"

#include <string_view>
#include <vector>

#include "mva/estimation/weighted_moments.h"
#include "mva/frame/queries.h"
#include "mva/frame/table_numbers.h"

namespace mva {

namespace {

constexpr int kTable = kUnivariateTable;

// One row of the table: a variable of the VARIABLES list.
struct Row {
  std::int64_t c = 0;         // its case-matrix column
  std::int64_t v = 0;         // its dictionary index
  bool quantitative = false;  // shows mean, standard deviation and extremes
  Text label;                 // BP_VARIABLE of v: the row's category
};

// One filling of table 3.
class UnivariateTable {
 public:
  UnivariateTable(Context& cx, const UnivariateInputs& in)
      : cx_(cx), host_(cx.host), in_(in), sysmis_(cx.host.PCINMS()) {}

  // The dimensions, then each column down the rows.
  void fill() {
    collect_rows();
    host_.BP_POSITION_DIMENSION(kTable, key("UOUT_ VARIABLES"), kRowDimension);
    host_.BP_POSITION_DIMENSION(kTable, key("UOUT_ STATISTICS"), kColumnDimension);
    host_.BP_CELL_DIMENSION(kTable, key("UOUT_ VARIABLES"));

    add_column("UOUT_ FREQUENCY");
    for (const Row& row : rows_) store(kTable, number(n_of(row), host_.BP_N_FORMAT()), row);

    const bool any_quantitative = quantitative_rows() > 0;
    if (any_quantitative) {
      add_column("UOUT_ MEAN");
      if (in_.CMPMTH) all_values_column(kCompareMeansTable);
      for (const Row& row : rows_) {
        if (row.quantitative) store_compared(kCompareMeansTable, mean_of(row), row);
      }
      add_column("UOUT_ ST.DEV.");
      if (in_.CMPMTH) all_values_column(kCompareStdDevsTable);
      for (const Row& row : rows_) {
        if (row.quantitative) store_compared(kCompareStdDevsTable, stddev_of(row), row);
      }
    }

    host_.BP_BEGIN_GROUP(kTable, key("UOUT_ MISSING"), key("UOUT_ STATISTICS"));
    add_column("UOUT_ MIS_COUNT");
    for (const Row& row : rows_) {
      store(kTable, number(in_.SUMWT - n_of(row), host_.BP_N_FORMAT()), row);
    }
    add_column("UOUT_ MIS_PERCENT");
    for (const Row& row : rows_) {
      const double percent = in_.SUMWT > 0.0 ? (1.0 - n_of(row) / in_.SUMWT) * 100.0 : sysmis_;
      store(kTable, number(percent, host_.BP_PERCENT_NS_FORMAT()), row);
    }
    host_.BP_END_GROUP(kTable, key("UOUT_ STATISTICS"));

    if (any_quantitative) {
      host_.BP_BEGIN_GROUP(kTable, key("UOUT_ EXTREMES"), key("UOUT_ STATISTICS"));
      host_.BP_ANNOTATE(
          key(in_.IQRRUL ? "UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)" : "UOUT_ OUTSIDE OF (MEAN-2*SD,MEAN+2*SD)"),
          AnnotationCode::Category);
      add_column("UOUT_ LOW");
      for (const Row& row : rows_) {
        if (row.quantitative) store_extremes(in_.EXLOW(row.v), row, in_.IQRRUL);
      }
      add_column("UOUT_ HIGH");
      for (const Row& row : rows_) {
        if (row.quantitative) store_extremes(in_.EXHIGH(row.v), row, false);
      }
      host_.BP_END_GROUP(kTable, key("UOUT_ STATISTICS"));
    }
  }

 private:
  // A message key as a text, and a number in a format.
  Text key(std::string_view k) { return host_.BP_CSTRING(k); }
  Text number(double value, const Format& format) { return host_.BP_LRVALUE(value, format); }

  // Rows of variables that exist and are not continuation slots of a long
  // string, in list order.
  void collect_rows() {
    for (std::int64_t k = 1; k <= in_.length; ++k) {
      const std::int64_t c = in_.VCOLS(k);
      const std::int64_t v = IANVAR(cx_, c);
      if (v < 1 || host_.DICGET(v).type < 0) continue;
      rows_.push_back(Row{c, v, ISQUAN(cx_, v), host_.BP_VARIABLE(v, 0)});
    }
  }

  // Number of rows of quantitative variables.
  std::int64_t quantitative_rows() const {
    std::int64_t q = 0;
    for (const Row& row : rows_) q += row.quantitative ? 1 : 0;
    return q;
  }

  // Makes a new column of table 3 current.
  void add_column(std::string_view category) {
    host_.BP_CATEGORY_DIMENSION(kTable, key(category), key("UOUT_ STATISTICS"));
  }

  // Makes the "all values" column of a comparison table current.
  void all_values_column(int table) {
    host_.BP_CATEGORY_DIMENSION(table, key("UOUT_ ALL VALUES"), key("CMPB_ STATISTICS"));
  }

  // Stores a cell in the row's category of the current column.
  void store(int table, const Text& value, const Row& row) { host_.BP_CELL_IN_CATEGORY(table, value, row.label); }

  // A mean or standard deviation: in table 3, and with CMPMTH also in the
  // "all values" column of the comparison table.
  void store_compared(int comparison_table, const Text& value, const Row& row) {
    if (!in_.CMPMTH) {
      store(kTable, value, row);
      return;
    }
    store(kTable, host_.BP_REPLICATE_PARAMETER(value), row);
    store(comparison_table, value, row);
  }

  // An extreme count; a negative count (no interval) shows as a dot, with
  // the IQR=0 footnote when `explain` is set.
  void store_extremes(std::int64_t count, const Row& row, bool explain) {
    if (count >= 0) {
      store(kTable, host_.BP_IVALUE(count, host_.BP_N_FORMAT()), row);
      return;
    }
    store(kTable, number(sysmis_, host_.BP_GENSTAT_FORMAT()), row);
    if (explain) host_.BP_ANNOTATE(key("UOUT_ . INDICATES THAT IQR=0"), AnnotationCode::Category);
  }

  // The summed weight of the cases in which the row's variable is present.
  double n_of(const Row& row) const { return in_.PWN(row.c, row.c); }

  // The mean over the present values; undefined when there is none.
  Text mean_of(const Row& row) {
    return number(finish_mean(n_of(row), in_.PWMEAN(row.c, row.c), sysmis_), host_.BP_MEAN_FORMAT(cx_.ws, row.v, 1));
  }

  // Undefined for a weight sum of 1 or less; a variance that rounding left
  // at or below 0 shows as 0.
  Text stddev_of(const Row& row) {
    return number(finish_sd(n_of(row), in_.PWVAR(row.c, row.c), sysmis_), host_.BP_STDDEV_FORMAT(cx_.ws, row.v, 1));
  }

  Context& cx_;
  Host& host_;
  const UnivariateInputs& in_;
  double sysmis_;          // the system-missing value
  std::vector<Row> rows_;  // the rows, in list order
};

}  // namespace

void UOUT(Context& cx, const UnivariateInputs& in) { UnivariateTable(cx, in).fill(); }

}  // namespace mva
