// The tabulated-pattern table (TPATTERN): a row for the complete cases, then
// one row per displayed pattern in the order the chain meets them, each with
// its case count, its X marks, and the means or category frequencies of the
// described variables; a second pass adds every displayed pattern's
// "complete if" count once all patterns, hidden ones included, are known.
// Footnotes explain the X of a shown pattern and a "." in place of a mean.
#include <algorithm>
#include <string>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/case_order.h"
#include "mva/diagnostics/location_patterns.h"
#include "mva/diagnostics/pattern_table_parts.h"
#include "mva/diagnostics/variable_order.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

class TabulatedTable {
 public:
  explicit TabulatedTable(PatternTableJob& job)
      : job_(job),
        cx_(job.cx),
        host_(job.cx.host),
        table_(job.table),
        status_(job.cx),
        vars_(pattern_variables(job.cx, job.cx.cmn.NVAR, false)),
        pats_(job.cx, vars_),
        variables_(job.key("POUT_ VARIABLES")),
        cases_(job.key("POUT_ # OF CASES")),
        patterns_(job.key("POUT_ PATTERNS")),
        complete_if_(job.key("POUT_ COMPLETE IF ...")),
        count_format_(host_.BP_N_FORMAT()) {}

  void run() {
    const MvaCommon& c = cx_.cmn;
    begin_pattern_table(job_, "POUT_ TABULATED PATTERNS");
    host_.BP_POSITION_DIMENSION(table_, variables_, kColumnDimension);
    host_.BP_POSITION_DIMENSION(table_, cases_, kUnnamedRowDimension);
    host_.BP_CELL_DIMENSION(table_, variables_);
    threshold_footnote();

    const WordArray CORDER = cx_.words(c.a.CORDER);
    CASORD(cx_, c.NVAR, CORDER, false, pats_);
    if (is_true(c.TPSORT)) VARORD(cx_, c.NVAR, job_.PATWRK);
    for (std::int64_t i = 1; i <= job_.lists.npv(); ++i) shown_.push_back(job_.PATWRK(i));
    const TabulationInputs in{
        cx_, status_, pats_, CORDER, job_.lists.described_by_index, job_.lists.quantitative, host_.weight_var()};
    complete_case_frequencies(in, job_.frequencies, job_.lists.Cmax);
    complete_case_row();

    // Each run of equal patterns is one pattern, numbered in the order met.
    std::vector<std::int64_t> counts;
    std::vector<std::size_t> groups;
    std::vector<char> displayed;
    std::vector<double> weights;
    for (std::int64_t first = 1; first <= c.NINCOM;) {
      host_.ATNJMP();
      const TabulatedPattern run = tabulate_run(in, first, job_.means, job_.frequencies, job_.lists.Cmax);
      const std::int64_t count = stored_count(run.W, c.NCASES, c.PATPCT);
      const auto p = static_cast<std::int64_t>(counts.size()) + 1;
      job_.patterns(2 * p - 1) = count;
      job_.patterns(2 * p) = run.representative;
      counts.push_back(count);
      groups.push_back(run.group);
      const bool shown = pattern_shown(run.W, c.NCASES, c.PATPCT);
      displayed.push_back(shown ? 1 : 0);
      weights.push_back(run.W);
      if (shown) pattern_row(p, run);
      first = run.end;
    }

    const std::vector<std::int64_t> complete = complete_if(pats_, c.NCOMPL, counts, groups, displayed);
    for (std::size_t p = 0; p < counts.size(); ++p) {
      if (!displayed[p]) continue;
      host_.BP_BEGIN_GROUP(table_, host_.BP_IVALUE(static_cast<std::int64_t>(p) + 1, count_format_), cases_);
      host_.BP_UNGROUP(table_);
      host_.BP_CATEGORY_DIMENSION(table_, host_.BP_IVALUE(counts[p], count_format_), cases_);
      host_.BP_CELL_IN_CATEGORY(table_, host_.BP_IVALUE(complete[p], count_format_), complete_if_);
      host_.BP_END_GROUP(table_, cases_);
    }
    // The X of a displayed pattern, and the "." of a mean over no value.
    if (std::find(displayed.begin(), displayed.end(), 1) != displayed.end()) {
      host_.BP_ANNOTATE(job_.key("POUT_ X = MISSING IN PATTERN"), AnnotationCode::Title);
    }
    if (no_mean_) host_.BP_ANNOTATE(job_.key("POUT_ . = NO MEAN"), AnnotationCode::Title);
    host_.BP_END_PIVOT_TABLE(table_);
  }

 private:
  // Patterns of fewer cases than PATPCT percent are not shown; the footnote
  // says so once the threshold reaches one case. It quotes the largest whole
  // number of cases a hidden pattern has (1 % of 153 cases hides patterns of
  // 1 case, not of 2), so that its sentence holds.
  void threshold_footnote() {
    const MvaCommon& c = cx_.cmn;
    const double t = c.PATPCT / 100.0 * static_cast<double>(c.NCASES);
    if (t < 1.0) return;
    host_.BP_BEGIN_COMPSTRING(job_.key("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"));
    const auto length = static_cast<std::size_t>(host_.ICHWDC(c.PATTXT));
    host_.BP_ADD_PARAMETER(host_.BP_CSTRING_NO_TRANSLATE(c.PATTXT.substr(0, length)));
    host_.BP_ADD_PARAMETER(host_.BP_IVALUE(largest_hidden_count(c.NCASES, c.PATPCT), count_format_));
    host_.BP_ANNOTATE(host_.BP_END_COMPSTRING(), AnnotationCode::Title);
  }

  // The row of the complete cases: pattern 0, with the listwise means.
  void complete_case_row() {
    const MvaCommon& c = cx_.cmn;
    host_.BP_BEGIN_GROUP(table_, host_.BP_IVALUE(0, count_format_), cases_);
    host_.BP_UNGROUP(table_);
    host_.BP_CATEGORY_DIMENSION(table_, host_.BP_IVALUE(c.NCOMPL, count_format_), cases_);
    host_.BP_BEGIN_GROUP(table_, patterns_, variables_);
    host_.BP_ANNOTATE(job_.key(is_true(c.TPSORT) ? "POUT_ VARIABLES ARE SORTED ON MISSING PATTERNS"
                                                 : "POUT_ VARIABLES ARE NOT SORTED"),
                      AnnotationCode::Category);
    for (const std::int64_t v : shown_) {
      host_.BP_CELL_IN_CATEGORY(table_, host_.BP_CSTRING_NO_TRANSLATE(""), host_.BP_VARIABLE(v, 0));
    }
    host_.BP_END_GROUP(table_, variables_);
    host_.BP_CELL_IN_CATEGORY(table_, host_.BP_IVALUE(c.NCOMPL, count_format_), complete_if_);
    host_.BP_ANNOTATE(job_.key("POUT_ MISSING VARIABLES WOULD NOT BE USED"), AnnotationCode::Cell);
    const RealArray LWMEAN = cx_.reals(c.a.LWMEAN);
    described(job_.lists.described, true, [&](std::int64_t v) { return LWMEAN(v); });
    host_.BP_END_GROUP(table_, cases_);
  }

  // The row of displayed pattern p.
  void pattern_row(std::int64_t p, const TabulatedPattern& run) {
    host_.BP_BEGIN_GROUP(table_, host_.BP_IVALUE(p, count_format_), cases_);
    host_.BP_UNGROUP(table_);
    host_.BP_CATEGORY_DIMENSION(table_, host_.BP_LRVALUE(run.W, count_format_), cases_);
    host_.BP_BEGIN_GROUP(table_, patterns_, variables_);
    const std::int64_t L = run.representative;
    for (const std::int64_t v : shown_) {
      const bool missing = status_(L, v) != CellStatus::Valid;
      host_.BP_CELL_IN_CATEGORY(table_, host_.BP_CSTRING_NO_TRANSLATE(missing ? "X" : ""), host_.BP_VARIABLE(v, 0));
    }
    host_.BP_END_GROUP(table_, variables_);
    const double sysmis = host_.PCINMS();
    described(job_.lists.described_by_index, false,
              [&](std::int64_t v) { return status_(L, v) != CellStatus::Valid ? sysmis : job_.means(v); });
    host_.BP_END_GROUP(table_, cases_);
  }

  // The means and frequencies of the described variables, in the order of
  // `list`; the complete-case row carries the footnotes.
  template <class Mean>
  void described(const std::vector<std::int64_t>& list, bool footnotes, Mean mean) {
    for (const std::int64_t v : list) {
      if (job_.lists.quantitative[static_cast<std::size_t>(v)]) {
        const double m = mean(v);
        if (m == host_.PCINMS()) no_mean_ = true;
        host_.BP_CELL_IN_CATEGORY(table_, host_.BP_LRVALUE(m, host_.BP_MEAN_FORMAT(cx_.ws, v, 0)),
                                  host_.BP_VARIABLE(v, 0));
        if (footnotes) host_.BP_ANNOTATE(job_.key("POUT_ MEANS AT EACH PATTERN"), AnnotationCode::Cell);
        continue;
      }
      host_.BP_BEGIN_GROUP(table_, host_.BP_VARIABLE(v, 0), variables_);
      if (footnotes) host_.BP_ANNOTATE(job_.key("POUT_ FREQUENCIES AT EACH PATTERN"), AnnotationCode::Category);
      for (std::int64_t k = 1; k <= NCATOF(cx_, v); ++k) {
        host_.BP_CELL_IN_CATEGORY(table_, host_.BP_IVALUE(job_.frequencies(v, k), count_format_),
                                  host_.BP_VARVALUE(v, CATVL(cx_, v, k)));
      }
      host_.BP_END_GROUP(table_, variables_);
    }
  }

  PatternTableJob& job_;
  Context& cx_;
  Host& host_;
  int table_;
  MissingCodeTable status_;
  std::vector<std::int64_t> vars_;   // the compared variables, in list order
  LocationPatterns pats_;            // the pattern of every location over vars_
  std::vector<std::int64_t> shown_;  // pattern variables in display order
  Text variables_, cases_, patterns_, complete_if_;
  Format count_format_;
  bool no_mean_ = false;  // a mean shown as "." (no value to average)
};

}  // namespace

void tabulated_pattern_table(PatternTableJob& job) { TabulatedTable(job).run(); }

}  // namespace mva
