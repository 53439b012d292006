// The crosstabulations of the categorical variables (tables 28 + v), under
// one heading. In the table of a categorical variable, each other variable
// missing often enough gets a group of columns: "present" with its count and
// percent, then one percent column per missing code that occurs. The rows are
// the categories, then the variable's own missing codes that occur, and a
// TOTAL row of percents of all weighted cases.
#include "mva/diagnostics/crosstabs.h"
#include "mva/diagnostics/percent_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/crosstab_counts.h"
#include "mva/frame/queries.h"
#include "mva/frame/table_numbers.h"

namespace mva {

namespace {

// One run of the crosstabulations.
class Crosstabs {
 public:
  explicit Crosstabs(Context& cx) : cx_(cx), host_(cx.host), cmn_(cx.cmn), sysmis_(cx.host.PCINMS()) {}

  void run(WordArray VCOLS, std::int64_t length) {
    const RealTriangle PWN = cx_.triangle(cmn_.a.PWN);
    // The analysis variables of the list, continuation slots left out, and
    // those of them missing in at least CTPCT percent of the weighted cases.
    std::vector<std::int64_t> listed, passing;
    for (std::int64_t i = 1; i <= length; ++i) {
      const std::int64_t c = VCOLS(i);
      const std::int64_t v = IANVAR(cx_, c);
      if (c < 1 || v < 1 || host_.DICGET(v).type < 0) continue;
      listed.push_back(v);
      const bool passes =
          cmn_.CTPCT <= 0.0 || (cmn_.SUMWT > 0.0 && 100.0 * (cmn_.SUMWT - PWN(c, c)) / cmn_.SUMWT >= cmn_.CTPCT);
      if (passes) passing.push_back(v);
    }
    if (cmn_.CTPCT > 0.0 && passing.empty()) {
      host_.BP_ERROR(with_percent("_TAB_ NO VARIABLE PASS ^1 PERCENT LIMIT"), MessageClass::Runtime, Severity::Warning);
      return;
    }
    // One set of count arrays serves every table: as many rows as the
    // categorical variable with the most categories needs.
    std::int64_t most = 0;
    for (const std::int64_t v : listed) {
      if (ISCATV(cx_, v)) most = std::max(most, NCATOF(cx_, v));
    }
    CrosstabCounts counts(cx_);
    if (!counts.reserve(most)) return;
    const MissingCodeTable missing(cx_);
    host_.BP_BEGIN_HEADING(key("_TAB_ TABULATION OF CATEGORICAL VARIABLES"));
    for (const std::int64_t v : listed) {
      if (!ISCATV(cx_, v)) continue;
      std::vector<std::int64_t> others;
      for (const std::int64_t u : passing) {
        if (u != v) others.push_back(u);
      }
      table(v, others, counts, missing);
    }
    host_.BP_END_HEADING();
  }

 private:
  Text key(std::string_view k) { return host_.BP_CSTRING(k); }

  // A key whose one parameter is the PERCENT value as typed.
  Text with_percent(std::string_view k) { return with_typed_percent(host_, k, cmn_.CTPTXT); }

  // The stored missing value i (1..3) of variable v as a cell value: the
  // number, or the first 8 characters of a string.
  double missing_value(std::int64_t v, int i) {
    const VarRecord& rec = host_.DICGET(v);
    const auto at = static_cast<std::size_t>(i - 1);
    if (rec.type == 0) return rec.missing[at];
    char chars[8];
    std::memset(chars, ' ', sizeof chars);
    const std::string& text = rec.missing_text[at];
    // Eight characters, blank-padded and unterminated: the cell of a string value.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(chars, text.data(), std::min(text.size(), sizeof chars));
    double value = 0.0;
    std::memcpy(&value, chars, sizeof value);
    return value;
  }

  // The label of missing code s of variable v: "missing" for the
  // system-missing value, else the stored value (the low end of a range).
  Text code_label(std::int64_t v, std::int64_t s) {
    if (s == 1) return key("_TAB_ MISSING");
    return host_.BP_VARVALUE(v, missing_value(v, s == 5 ? 1 : static_cast<int>(s - 1)));
  }

  // The table of categorical variable v against the variables `others`.
  void table(std::int64_t v, const std::vector<std::int64_t>& others, CrosstabCounts& counts,
             const MissingCodeTable& missing) {
    const int number = kCrosstabBase + static_cast<int>(v);
    host_.BP_BEGIN_PIVOT_TABLE(number, host_.BP_VARIABLE(v, 0), key("Crosstabulation"));
    host_.BP_TABLE_PROPERTY(number, 1, host_.BP_IVALUE(1, host_.BP_N_FORMAT()));
    if (cmn_.CTPCT > 0.0) host_.BP_ANNOTATE(with_percent("_TAB_ PERCENT ^1"), AnnotationCode::Title);
    const Text codes = key("_TAB_ CATEGORY CODES");
    const Text variables = key("_TAB_ VARIABLES");
    host_.BP_POSITION_DIMENSION(number, codes, kColumnDimension);
    host_.BP_POSITION_DIMENSION(number, variables, kRowDimension);
    host_.BP_CELL_DIMENSION(number, codes);

    const std::int64_t n = NCATOF(cx_, v);
    std::vector<Text> labels;  // row labels: the category values, then the codes
    for (std::int64_t b = 1; b <= n; ++b) labels.push_back(host_.BP_VARVALUE(v, CATVL(cx_, v, b)));
    for (std::int64_t s = 1; s <= kMissingCodes; ++s) labels.push_back(code_label(v, s));

    for (const std::int64_t other : others) {
      counts.tabulate(missing, v, other);
      host_.BP_BEGIN_GROUP(number, host_.BP_VARIABLE(other, 0), variables);
      for (std::int64_t s = 1; s <= CrosstabCounts::kColumns; ++s) {
        const double total = counts.column_total(s);
        if (s >= 2 && !(total > 0.0)) continue;  // a code no case has
        const double share = cmn_.SUMWT > 0.0 ? 100.0 * total / cmn_.SUMWT : sysmis_;
        if (s == 1) {
          host_.BP_BEGIN_GROUP(number, key("_TAB_ PRESENT"), variables);
          host_.BP_CATEGORY_DIMENSION(number, key("_TAB_ COUNT"), variables);
          host_.BP_CELL_IN_CATEGORY(number, host_.BP_LRVALUE(total, host_.BP_N_FORMAT()), key("_TAB_ TOTAL"));
          rows(number, counts, s, labels, n, true);
          host_.BP_CATEGORY_DIMENSION(number, key("_TAB_ PERCENT"), variables);
          host_.BP_CELL_IN_CATEGORY(number, percent(share), key("_TAB_ TOTAL"));
          rows(number, counts, s, labels, n, false);
        } else {
          host_.BP_BEGIN_GROUP(number, key("_TAB_ MISSING CODES"), variables);
          host_.BP_CATEGORY_DIMENSION(number, missing_column(other, s), variables);
          host_.BP_CELL_IN_CATEGORY(number, percent(share), key("_TAB_ TOTAL"));
          rows(number, counts, s, labels, n, false);
        }
        host_.BP_END_GROUP(number, variables);
      }
      host_.BP_END_GROUP(number, variables);
    }
    host_.BP_END_PIVOT_TABLE(number);
  }

  // The column of missing code s - 1 of variable u: the percent missing for
  // the system-missing value, else "% value".
  Text missing_column(std::int64_t u, std::int64_t s) {
    if (s == 2) return key("_TAB_ PCT MISSING");
    host_.BP_BEGIN_COMPSTRING(key("_TAB_ \\% ^1"));
    host_.BP_ADD_PARAMETER(host_.BP_VARVALUE(u, missing_value(u, s == 6 ? 1 : static_cast<int>(s - 2))));
    return host_.BP_END_COMPSTRING();
  }

  // The cells of column s in every row that is shown: the counts when
  // `as_counts`, else the percents within the row. Rows of missing codes
  // appear only when some case has the code.
  void rows(int number, const CrosstabCounts& counts, std::int64_t s, const std::vector<Text>& labels, std::int64_t n,
            bool as_counts) {
    const Text codes = key("_TAB_ CATEGORY CODES");
    bool in_missing = false;
    for (std::int64_t b = 1; b <= n + kMissingCodes; ++b) {
      const double row_total = counts.row_total(b);
      if (b > n && !(row_total > 0.0)) continue;
      if (b > n && !in_missing) {
        host_.BP_BEGIN_GROUP(number, key("_TAB_ MISSING CODES"), codes);
        in_missing = true;
      }
      const double cell = counts.count(b, s);
      // A category whose cases all have weight below 1 has no percent.
      const Text value = as_counts ? host_.BP_LRVALUE(cell, host_.BP_N_FORMAT())
                                   : percent(row_total > 0.0 ? 100.0 * cell / row_total : sysmis_);
      host_.BP_CELL_IN_CATEGORY(number, value, labels[static_cast<std::size_t>(b - 1)]);
    }
    if (in_missing) host_.BP_END_GROUP(number, codes);
  }

  Text percent(double value) { return host_.BP_LRVALUE(value, host_.BP_PERCENT_NS_FORMAT()); }

  Context& cx_;
  Host& host_;
  MvaCommon& cmn_;
  double sysmis_;
};

}  // namespace

void TAB(Context& cx, WordArray VCOLS, std::int64_t length) { Crosstabs(cx).run(VCOLS, length); }

}  // namespace mva
