// The data-pattern table (one row per case, in case order or sorted on the
// DPATTERN keys) and the missing-pattern table (one row per incomplete case,
// chained on the patterns). Each row shows the case's marks, its number and
// percent of missing cells, and the values of the described variables;
// footnotes explain each kind of mark the rows show.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/case_order.h"
#include "mva/diagnostics/pattern_marks.h"
#include "mva/diagnostics/pattern_table_parts.h"
#include "mva/diagnostics/record_sort.h"
#include "mva/diagnostics/variable_order.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

constexpr std::int64_t kCellChars = 8;  // characters a cell holds

class CaseRows {
 public:
  explicit CaseRows(PatternTableJob& job)
      : job_(job),
        cx_(job.cx),
        host_(job.cx.host),
        table_(job.table),
        status_(job.cx),
        variables_(job.key("POUT_ VARIABLES")),
        case_(job.key("POUT_ CASE")),
        count_(job.key("POUT_ # MISSING")),
        percent_(job.key("POUT_ % MISSING")),
        count_format_(host_.BP_N_FORMAT()),
        percent_format_(host_.DIFENC(5, 20, 1)),
        count_columns_{count_, percent_},
        marks_group_(job.key("POUT_ MISSING & EXTREME PATTERNS")),
        values_group_(job.key("POUT_ VALUES")),
        sorted_note_(job.key(is_true(job.cx.cmn.MPSORT) ? "POUT_ CASES + VARIABLES ARE SORTED ON PATTERNS"
                                                        : "POUT_ CASES ARE SORTED, VARIABLES ARE NOT")) {}

  void run() {
    const bool data = job_.subcommand == kDpattern;
    begin_pattern_table(job_, data ? "POUT_ DATA PATTERNS" : "POUT_ MISSING PATTERNS");
    host_.BP_ANNOTATE(job_.key(is_true(cx_.cmn.IQRRUL) ? "POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES"
                                                       : "POUT_ + HIGH VALUES \\n - LOW VALUES WITH SD"),
                      AnnotationCode::Title);
    host_.BP_POSITION_DIMENSION(table_, variables_, kColumnDimension);
    host_.BP_POSITION_DIMENSION(table_, case_, kUnnamedRowDimension);
    const WordArray CORDER = cx_.words(cx_.cmn.a.CORDER);
    const WordArray CASEAT = cx_.words(cx_.cmn.a.CASEAT);
    std::int64_t rows = 0;
    if (data) {
      rows = cx_.cmn.NCASES;
      data_order(CORDER);
    } else {
      rows = cx_.cmn.NINCOM;
      CASORD(cx_, cx_.cmn.NVAR, CORDER, false);
      if (is_true(cx_.cmn.MPSORT)) VARORD(cx_, cx_.cmn.NVAR, job_.PATWRK);
    }
    host_.BP_CELL_DIMENSION(table_, variables_);

    for (std::int64_t i = 1; i <= job_.lists.npv(); ++i) {
      vars_.push_back(job_.PATWRK(i));
      names_.push_back(host_.BP_VARIABLE(job_.PATWRK(i), 0));
    }
    for (const std::int64_t v : job_.lists.described) described_.push_back(host_.BP_VARIABLE(v, 0));
    const MarkInputs marks{status_,     cx_.case_matrix(), cx_.words(cx_.cmn.a.COLOF),
                           job_.EXLLIM, job_.EXULIM,       job_.lists.quantitative};
    const WordArray LOCOF = cx_.words(cx_.cmn.a.LOCOF);
    for (std::int64_t i = 1; i <= rows; ++i) {
      host_.ATNJMP();
      const std::int64_t L = data ? CORDER(i) : CASEAT(CORDER(i));
      row(L, row_marks(marks, vars_, L, !data || LOCOF(L) != 0), !data);
    }
    legends();
    host_.BP_END_PIVOT_TABLE(table_);
  }

 private:
  // Data patterns: case order, or the order of the sort keys with their
  // footnote.
  void data_order(WordArray CORDER) {
    const std::int64_t keys = NSORTK(cx_);
    if (keys < 1) {
      for (std::int64_t L = 1; L <= cx_.cmn.NCASES; ++L) CORDER(L) = L;
      return;
    }
    CSORT(cx_, CORDER);
    const auto variable = [&](std::int64_t k) {
      const std::int64_t key = SORTK(cx_, k);
      return host_.BP_VARIABLE(key < 0 ? -key : key, 0);
    };
    if (keys == 1) {
      host_.BP_BEGIN_COMPSTRING(job_.key("POUT_ CASES ARE SORTED BY ^1"));
      host_.BP_ADD_PARAMETER(variable(1));
    } else {
      host_.BP_BEGIN_COMPSTRING(job_.key("POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1"));
      host_.BP_BEGIN_REPEAT_LIST();
      for (std::int64_t k = 1; k <= cx_.cmn.NVAR && SORTK(cx_, k) != 0; ++k) {
        host_.BP_BEGIN_COMPSTRING(host_.BP_CSTRING_NO_TRANSLATE(""));
        host_.BP_ADD_PARAMETER(variable(k));
        host_.BP_ADD_PARAMETER(host_.BP_END_COMPSTRING());
      }
      host_.BP_END_REPEAT_LIST();
    }
    host_.BP_ANNOTATE(host_.BP_END_COMPSTRING(), AnnotationCode::OrderNote);
  }

  // A footnote for each kind of missing-value letter the rows show, and for
  // the "." of a system-missing described value; the extreme marks have
  // theirs from the start.
  void legends() {
    const auto used = [&](std::string_view letters) { return marks_used_.find_first_of(letters) != std::string::npos; };
    if (used("S")) host_.BP_ANNOTATE(job_.key("POUT_ S = SYSTEM MISSING"), AnnotationCode::Title);
    if (used("ABC")) host_.BP_ANNOTATE(job_.key("POUT_ A B C = MISSING VALUES"), AnnotationCode::Title);
    if (used("D")) host_.BP_ANNOTATE(job_.key("POUT_ D = MISSING RANGE"), AnnotationCode::Title);
    if (system_missing_value_) host_.BP_ANNOTATE(job_.key("POUT_ . = NO VALUE"), AnnotationCode::Title);
  }

  // One case row.
  void row(std::int64_t L, const RowMarks& m, bool sorted_footnote) {
    const Text number = host_.BP_IVALUE(L, count_format_);
    host_.BP_BEGIN_GROUP(table_, number, case_);
    host_.BP_UNGROUP(table_);
    const std::int64_t id = cx_.cmn.IDVAR;
    host_.BP_CATEGORY_DIMENSION(table_, id > 0 ? value_text(id, L) : number, case_);
    // The counts come first in the row, the marks after them.
    const Counts& counts = counts_of(m);
    const std::array<const Text*, 2> count_cells{&counts.missing, &counts.percent};
    host_.BP_CELLS_IN_CATEGORIES(table_, count_cells, count_columns_);
    host_.BP_BEGIN_GROUP(table_, marks_group_, variables_);
    if (sorted_footnote) host_.BP_ANNOTATE(sorted_note_, AnnotationCode::Category);
    row_cells_.clear();
    for (std::size_t j = 0; j < vars_.size(); ++j) {
      const char mark = m.marks[j];
      row_cells_.push_back(&mark_text(mark));
      if (mark != ' ' && marks_used_.find(mark) == std::string::npos) marks_used_ += mark;
    }
    host_.BP_CELLS_IN_CATEGORIES(table_, row_cells_, names_);
    host_.BP_END_GROUP(table_, variables_);
    if (job_.lists.describes()) {
      host_.BP_BEGIN_GROUP(table_, values_group_, variables_);
      const WordArray VWIDTH = cx_.words(cx_.cmn.a.VWIDTH);
      row_values_.clear();
      for (std::size_t j = 0; j < described_.size(); ++j) {
        const std::int64_t v = job_.lists.described[j];
        row_values_.push_back(value_text(v, L));
        if (VWIDTH(v) == 0 && CELLV(cx_, v, L) == host_.PCINMS()) system_missing_value_ = true;
      }
      row_cells_.clear();
      for (const Text& value : row_values_) row_cells_.push_back(&value);
      host_.BP_CELLS_IN_CATEGORIES(table_, row_cells_, described_);
      host_.BP_END_GROUP(table_, variables_);
    }
    host_.BP_END_GROUP(table_, case_);
  }

  // A row's cells show a handful of texts: a mark is one of a few characters
  // and the counts depend only on how many cells are missing. Each text is
  // made once and handed to every row that shows it.
  struct Counts {
    Text missing, percent;
  };

  const Text& mark_text(char mark) {
    std::optional<Text>& text = mark_texts_[static_cast<unsigned char>(mark)];
    if (!text) text = host_.BP_CSTRING_NO_TRANSLATE(std::string_view(&mark, 1));
    return *text;
  }

  const Counts& counts_of(const RowMarks& m) {
    const auto k = static_cast<std::size_t>(m.missing);
    if (counts_.size() <= k) counts_.resize(k + 1);
    std::optional<Counts>& counts = counts_[k];
    if (!counts) {
      counts = Counts{host_.BP_IVALUE(m.missing, count_format_), host_.BP_LRVALUE(m.percent(), percent_format_)};
    }
    return *counts;
  }

  // The value of variable v in stored case L. A string wider than a cell is
  // gathered, blank padded, from its columns into the text buffer.
  Text value_text(std::int64_t v, std::int64_t L) {
    const std::int64_t width = cx_.words(cx_.cmn.a.VWIDTH)(v);
    if (width <= kCellChars) return host_.BP_VARVALUE(v, CELLV(cx_, v, L));
    const std::int64_t cells = std::min((width + kCellChars - 1) / kCellChars, job_.text_cells);
    char* buffer = cx_.ws.chars(job_.text);
    std::memset(buffer, ' ', static_cast<std::size_t>(job_.text_cells * kCellChars));
    for (std::int64_t i = 0; i < cells; ++i) {
      const std::string chars = chars_of_cell(CELLV(cx_, v + i, L));
      std::memcpy(buffer + i * kCellChars, chars.data(), kCellChars);
    }
    return host_.BP_VARVALUE(v, std::string_view(buffer, static_cast<std::size_t>(cells * kCellChars))
                                    .substr(0, static_cast<std::size_t>(width)));
  }

  PatternTableJob& job_;
  Context& cx_;
  Host& host_;
  int table_;
  MissingCodeTable status_;
  Text variables_, case_, count_, percent_;
  Format count_format_, percent_format_;
  std::array<Text, 2> count_columns_;                // the columns of the counts, in order
  Text marks_group_, values_group_;                  // the groups of a row's marks and values
  Text sorted_note_;                                 // the footnote of a missing-pattern row
  std::vector<const Text*> row_cells_;               // the values of the cells a row gives at once
  std::vector<Text> row_values_;                     // a row's described values
  std::vector<std::int64_t> vars_;                   // pattern variables in display order
  std::vector<Text> names_;                          // their names, made once for every row
  std::vector<Text> described_;                      // the names of the described variables
  std::array<std::optional<Text>, 256> mark_texts_;  // by mark character, made on first use
  std::vector<std::optional<Counts>> counts_;        // by number of missing cells, made on first use
  std::string marks_used_;                           // each mark shown so far, once
  bool system_missing_value_ = false;                // a described value shown as "."
};

}  // namespace

void case_pattern_table(PatternTableJob& job) { CaseRows(job).run(); }

}  // namespace mva
