// The table of separate-variance t tests (table 12). Rows are the variables
// of the VARIABLES list missing in at least the PERCENT share of the weighted
// cases; columns are the quantitative variables. Every number comes from the
// pairwise moments already computed for the group.
#include "mva/diagnostics/t_tests.h"
#include "mva/diagnostics/percent_text.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "mva/diagnostics/separate_variance.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// One variable of the display list: its column and dictionary index.
struct Entry {
  std::int64_t c = 0;  // case-matrix column
  std::int64_t v = 0;  // dictionary index
};

// One filling of the t-test table.
class TTestTable {
 public:
  TTestTable(Context& cx, int table) : cx_(cx), host_(cx.host), cmn_(cx.cmn), table_(table), sysmis_(cx.host.PCINMS()) {
    m_.PWN = cx.triangle(cmn_.a.PWN);
    m_.PWW = cx.triangle(cmn_.a.PWW);
    m_.PWMEAN = cx.square(cmn_.a.PWMEAN);
    m_.PWVAR = cx.square(cmn_.a.PWVAR);
    limit_ = (1.0 - cmn_.TTPCT / 100.0) * cmn_.SUMWT;
  }

  void run(WordArray VCOLS, std::int64_t length) {
    std::vector<Entry> rows, columns;
    for (std::int64_t i = 1; i <= length; ++i) {
      const std::int64_t c = VCOLS(i);
      const std::int64_t v = IANVAR(cx_, c);
      if (c < 1 || v < 1) continue;
      if (host_.DICGET(v).type >= 0 && qualifies(c)) rows.push_back({c, v});
      if (ISQUAN(cx_, v)) columns.push_back({c, v});
    }
    if (cmn_.TTPCT > 0.0 && rows.empty()) {
      host_.BP_ERROR(with_percent("TOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT"), MessageClass::Runtime, Severity::Warning);
      return;
    }
    open();
    for (const Entry& row : rows) {
      host_.BP_CATEGORY_DIMENSION(table_, host_.BP_VARIABLE(row.v, 0), key("TOUT_ ROW_VAR"));
      for (const Entry& column : columns) store(separate_variance_test(m_, row.c, column.c), column);
    }
    host_.BP_END_PIVOT_TABLE(table_);
  }

 private:
  Text key(std::string_view k) { return host_.BP_CSTRING(k); }

  // A key whose one parameter is the PERCENT value as typed.
  Text with_percent(std::string_view k) { return with_typed_percent(host_, k, cmn_.TTPTXT); }

  // A row variable qualifies when at least TTPCT percent of the weighted
  // cases miss it; with TTPCT <= 0 every variable does.
  bool qualifies(std::int64_t c) const { return cmn_.TTPCT <= 0.0 || m_.PWN(c, c) <= limit_; }

  // Opens the table with its dimensions, properties and notes.
  void open() {
    const Text title = key("TOUT_ MATRIX OF T STATISTICS");
    host_.BP_BEGIN_PIVOT_TABLE(table_, title, title);
    host_.BP_POSITION_DIMENSION(table_, key("TOUT_ COL_VAR"), kColumnDimension);
    host_.BP_POSITION_DIMENSION(table_, key("TOUT_ STATISTICS"), kRowDimension);
    host_.BP_POSITION_DIMENSION(table_, key("TOUT_ ROW_VAR"), kOuterRowDimension);
    host_.BP_CELL_DIMENSION(table_, key("TOUT_ STATISTICS"));
    const Text one = host_.BP_IVALUE(1, host_.BP_N_FORMAT());
    host_.BP_TABLE_PROPERTY(table_, 0, one);
    host_.BP_TABLE_PROPERTY(table_, 1, one);
    host_.BP_ANNOTATE(key("TOUT_ T_TEST(COL|ROW)"), AnnotationCode::Title);
    if (cmn_.TTPCT > 0.0) host_.BP_ANNOTATE(with_percent("TOUT_ T_TEST, MISSING ^1"), AnnotationCode::TableNote);
  }

  // The column of one quantitative variable in the current row, with the
  // cells whose switches are on.
  void store(const SeparateVarianceTest& test, const Entry& column) {
    host_.BP_CATEGORY_DIMENSION(table_, host_.BP_VARIABLE(column.v, 0), key("TOUT_ COL_VAR"));
    const Format statistic = host_.DIFENC(5, 40, 1);
    const Format count = host_.BP_N_FORMAT();
    if (on(cmn_.TTT)) cell(test.t.value_or(sysmis_), statistic, "TOUT_ T");
    if (on(cmn_.TTDF)) cell(test.df.value_or(sysmis_), statistic, "TOUT_ D.F.");
    if (on(cmn_.TTPROB)) cell(probability(test), host_.BP_SIGNIFICANCE_FORMAT(), "TOUT_ P(TAIL)");
    if (on(cmn_.TTCNT)) {
      cell(test.n_present, count, "TOUT_ #PRESENT");
      cell(test.n_missing, count, "TOUT_ #MISSING");
    }
    if (on(cmn_.TTMEAN)) {
      const Format mean = host_.BP_MEAN_FORMAT(cx_.ws, column.v, 1);
      cell(test.mean_present, mean, "TOUT_ MEAN PRESENT");
      cell(test.mean_missing.value_or(sysmis_), mean, "TOUT_ MEAN MISSING");
    }
  }

  // Two-tailed probability of the test; SIGT answers one tail (indicator 0).
  double probability(const SeparateVarianceTest& test) const {
    if (!test.t || !test.df || !(*test.df > 0.0)) return sysmis_;
    int tails = 1;
    const double p = host_.SIGT(std::fabs(*test.t), *test.df, tails);
    return tails == 0 ? 2.0 * p : p;
  }

  void cell(double value, const Format& format, std::string_view category) {
    host_.BP_CELL_IN_CATEGORY(table_, host_.BP_LRVALUE(value, format), key(category));
  }

  static bool on(Logical flag) { return (flag & 1) != 0; }

  Context& cx_;
  Host& host_;
  MvaCommon& cmn_;
  int table_;
  double sysmis_;
  double limit_ = 0.0;  // L: most present weight a qualifying row may have
  PairwiseMoments m_;
};

}  // namespace

void TOUT(Context& cx, WordArray VCOLS, std::int64_t length, int table) { TTestTable(cx, table).run(VCOLS, length); }

}  // namespace mva
