// The output document built from the host's output calls, the display of
// output texts and the English catalogue, and one small document in every
// presentation: exact text, Markdown and HTML with markup in the data, and
// JSON with cell paths and no system-missing value written as a number.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <regex>
#include <set>
#include <stdexcept>
#include <tuple>

#include "host/data/number_text.h"
#include "host/output/catalogue.h"
#include "host/output/output_document.h"
#include "host/output/renderers.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

// Builders of the output texts the reference host's text calls would hand
// over, made directly.
Format format(FormatKind kind, int decimals) { return Format{.kind = kind, .decimals = decimals}; }

Text text_of(Text::Kind kind, std::string k = {}, std::vector<Text> params = {}, double number = 0.0, Format f = {},
             std::int64_t variable = 0, std::string name = {}, std::string label = {}) {
  Text t;
  std::tie(t.kind, t.key, t.params, t.number, t.format, t.variable, t.name, t.label) =
      std::tie(kind, k, params, number, f, variable, name, label);
  return t;
}

Text key(std::string k) { return text_of(Text::Kind::Key, std::move(k)); }
Text lit(std::string s) { return text_of(Text::Kind::Literal, std::move(s)); }
Text comp(std::string k, std::vector<Text> p) { return text_of(Text::Kind::Composite, k, std::move(p)); }
// One item of a repeat list (its own parameters), and the list.
Text item(std::vector<Text> params) { return text_of(Text::Kind::Empty, {}, std::move(params)); }
Text list(std::vector<Text> items) { return text_of(Text::Kind::RepeatList, {}, std::move(items)); }

Text num(double v, int decimals, FormatKind kind = FormatKind::GenStat) {
  return text_of(Text::Kind::Number, {}, {}, v, format(kind, decimals));
}
Text count(double v) { return num(v, 0, FormatKind::Count); }
Text var(std::int64_t index, std::string name) { return text_of(Text::Kind::Variable, {}, {}, 0.0, {}, index, name); }
Text value(std::int64_t index, std::string name, double v, std::string label) {
  return text_of(Text::Kind::VarValue, {}, {}, v, format(FormatKind::Print, 0), index, name, label);
}

// A split marker, a warning, and a univariate table with a group, a
// system-missing property and cells, footnotes on the title, a group, a row
// and a cell, and a note.
void build_univariate(OutputDocument& doc) {
  doc.add_split({SplitValue{"sex", 1.0, "Male"}, SplitValue{"region", std::nan(""), "North"}});
  doc.add_message(comp("PARS_ MORE THAN ONE ^1", {lit("EM")}), 1, 2);
  const Text vars = key("UOUT_ VARIABLES"), stats = key("UOUT_ STATISTICS");
  doc.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), key("EXEC_ UNIVARIATE STATISTICS"));
  doc.table_property(3, 1, num(kSystemMissing, 0));
  doc.position_dimension(3, vars, {1, 0, 1, 0});
  doc.position_dimension(3, stats, {1, 1, 1, 0});
  doc.cell_dimension(3, vars);
  doc.annotate(key("UOUT_ . INDICATES THAT IQR=0"), 6);  // title footnote
  doc.category(3, key("UOUT_ FREQUENCY"), stats);
  doc.cell(3, count(10), var(1, "age"));
  doc.cell(3, count(9), var(2, "income"));
  doc.category(3, key("UOUT_ MEAN"), stats);
  doc.cell(3, num(35.2, 2, FormatKind::Mean), var(1, "age"));
  doc.cell(3, num(kSystemMissing, 2, FormatKind::Mean), var(2, "income"));
  doc.begin_group(3, key("UOUT_ EXTREMES"), stats);
  doc.annotate(key("UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)"), 3);  // on the group
  doc.category(3, key("UOUT_ LOW"), stats);
  doc.cell(3, count(0), var(1, "age"));
  doc.cell(3, num(kSystemMissing, 3), var(2, "income"));
  doc.annotate(key("UOUT_ . INDICATES THAT IQR=0"), 3);  // on the income row, same text as the title's
  doc.category(3, key("UOUT_ HIGH"), stats);
  doc.cell(3, count(2), var(1, "age"));
  doc.annotate(comp("IOUT_ PERCENT LIMIT ^1", {lit("5")}), 4);  // on that cell
  doc.end_group(3, stats);
  doc.annotate(comp("TOUT_ T_TEST, MISSING ^1", {lit("5")}), 1);
  doc.end_table(3);
}

// The categories of a dimension under `parent` as "text{children}", an
// ungrouped group marked "~".
std::string tree(const Dimension& dim, int parent = -1) {
  std::string out;
  for (const int c : dim.children_of(parent)) {
    const Category& category = dim.categories[static_cast<std::size_t>(c)];
    out += (out.empty() ? "" : " ") + category.text + (category.ungrouped ? "~" : "");
    if (category.group) out += "{" + tree(dim, c) + "}";
  }
  return out;
}

const Dimension& dimension(const PivotTable& t, const char* k) {
  return t.dimensions.at(static_cast<std::size_t>(t.find_dimension(key(k))));
}

// Items as short texts: messages and notes by their text (a message seen in
// several groups with " xN"), splits, tables by number and cell count, and
// headings with their items in braces.
std::string outline(const OutputDocument& doc, const std::vector<Item>& items) {
  std::string out;
  for (const Item& item : items) {
    if (!out.empty()) out += "; ";
    if (const auto* m = std::get_if<MessageItem>(&item.content)) {
      out += display(m->text) + (m->groups > 1 ? " x" + std::to_string(m->groups) : "");
    } else if (const auto* n = std::get_if<NoteItem>(&item.content)) {
      out += "note " + display(n->text);
    } else if (const auto* s = std::get_if<SplitItem>(&item.content)) {
      out += "split " + s->values.at(0).text;
    } else if (const auto* h = std::get_if<HeadingItem>(&item.content)) {
      out += display(h->text) + " {" + outline(doc, h->items) + "}";
    } else {
      const PivotTable& t = doc.table(std::get<TableItem>(item.content).table);
      out += "table " + std::to_string(t.number) + "/" + std::to_string(t.cells.size());
    }
  }
  return out;
}

TEST(OutputDocument, GroupsNestReopenAndUngroupAndKeepTheirPathsInJson) {
  OutputDocument doc;
  const Text cases = key("POUT_ # OF CASES"), vars = key("POUT_ VARIABLES");
  doc.begin_table(18, key("POUT_ TABULATED PATTERNS"), key("POUT_ TABULATED PATTERNS"));
  doc.position_dimension(18, vars, {1, 1, 1, 0});
  doc.position_dimension(18, cases, {1, 0, 0, 0});
  doc.cell_dimension(18, vars);
  for (const int pattern : {1, 2, 1}) {  // the third pass reopens group 1 and reuses its category
    doc.begin_group(18, count(pattern), cases);
    doc.ungroup(18);
    doc.category(18, count(5), cases);  // the same leaf in each group
    doc.begin_group(18, key("POUT_ PATTERNS"), vars);
    doc.begin_group(18, var(7, "educ"), vars);  // a group inside a group
    doc.cell(18, lit("X"), value(7, "educ", 1, "Low"));
    doc.end_group(18, vars);
    doc.cell(18, lit("X"), var(3, "age"));
    doc.end_group(18, vars);
    doc.cell(18, count(pattern * 10), key("POUT_ COMPLETE IF ..."));
    doc.end_group(18, cases);
  }
  doc.end_table(18);
  const PivotTable& t = doc.table(0);
  EXPECT_EQ(tree(dimension(t, "POUT_ # OF CASES")), "1~{5} 2~{5}");
  EXPECT_EQ(tree(dimension(t, "POUT_ VARIABLES")), "Missing Patterns{educ{Low} age} Complete If ...");
  ASSERT_EQ(t.cells.size(), 6u);  // the third pass replaced pattern 1's cells
  EXPECT_EQ(display(t.cells[2].value), "10");
  EXPECT_EQ(t.cells[2].at, (std::vector<int>{4, 1}));  // {variables, cases}: "Complete If ...", "5" under "1"

  // In the JSON, cells whose innermost categories read the same keep their
  // own paths; a text cell has no value.
  const json cells = json::parse(render_json(doc)).at("output")[0].at("cells");
  EXPECT_EQ(cells[2].at("at"), cells[5].at("at"));
  EXPECT_EQ(cells[2].at("path"),
            (json{{"POUT_ # OF CASES", {"1", "5"}}, {"POUT_ VARIABLES", {"POUT_ COMPLETE IF ..."}}}));
  EXPECT_EQ(cells[5].at("path").at("POUT_ # OF CASES"), json({"2", "5"}));
  EXPECT_EQ(cells[0].at("value").dump() + cells[0].at("text").dump(), "null\"X\"");
}

TEST(OutputDocument, CategoriesAndCellDimensionsAndCallsRefused) {
  OutputDocument doc;
  const Text rows = key("LOUT_ ROW VARIABLES");
  doc.begin_table(4, key("LOUT_ MEAN"), key("LOUT_ MEAN"));
  doc.position_dimension(4, rows, {1, 0, 1, 0});
  doc.cell_dimension(4, key("LOUT_ COL VARIABLES"));  // not a position dimension
  doc.category(4, value(1, "a", 9, "9"), rows);
  doc.category(4, value(1, "a", 9, "9"), rows);  // same value of the same variable
  doc.category(4, value(2, "b", 9, "9"), rows);  // same text, another variable
  doc.category(4, lit("9"), rows);               // same text, no variable
  doc.cell(4, num(1, 2), var(1, "age"));
  doc.cell(4, num(2, 2), var(2, "income"));
  const PivotTable& t = doc.table(0);
  EXPECT_EQ(tree(dimension(t, "LOUT_ ROW VARIABLES")), "9 9 9");
  const Dimension& own = dimension(t, "LOUT_ COL VARIABLES");
  EXPECT_EQ(own.axis(), Axis::Columns);
  EXPECT_EQ(tree(own), "age income");
  // A dimension declared after cells were stored: those cells stand in its blank category.
  doc.position_dimension(4, key("LOUT_ NO. OF CASES"), {1, 1, 0, 0});
  EXPECT_EQ(t.cells[1].at, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(t.dimensions[2].categories.at(0).text, "");
  // Calls on a dimension that is not there, or on a closed table, are refused.
  EXPECT_THROW(doc.category(4, lit("9"), key("NO SUCH DIMENSION")), std::logic_error);
  doc.end_table(4);
  EXPECT_THROW(doc.category(4, lit("9"), rows), std::logic_error);
}

// Thousands of cells, a share stored twice: each is found again by its
// coordinates (also after a dimension is added), keeps the value and the
// footnotes of its last store, and values that differ in any field (the sign
// of a zero, the decimals) are not taken for one another.
TEST(OutputDocument, ManyCellsAreFoundAgainAndKeepTheirLastValueAndFootnotes) {
  OutputDocument doc;
  doc.stream_rows_after(0);  // rows are gone back to: the table is held whole
  const Text rows = key("POUT_ CASE"), vars = key("POUT_ VARIABLES");
  doc.begin_table(30, key("POUT_ DATA PATTERNS"), key("POUT_ DATA PATTERNS"));
  doc.position_dimension(30, rows, {1, 0, 0, 0});
  doc.cell_dimension(30, vars);
  constexpr int kRows = 3000;
  const auto restored = [](int i) { return i % 7 == 0; };
  const auto zero = [](int r) { return r % 3 == 0 ? num(-0.0, 1) : num(0.0, 1 + r % 3 / 2); };
  for (const int pass : {0, 1}) {
    for (int r = 0; r < kRows; ++r) {
      doc.category(30, count(r), rows);
      for (int v = 0; v < 3; ++v) {
        const int i = r * 3 + v;
        if (pass == 1 && !restored(i)) continue;
        doc.cell(30, pass == 0 ? lit(v == 0 ? "S" : "+") : zero(r), var(v + 1, "x" + std::to_string(v)));
        if (i % (pass == 0 ? 11 : 5) == 0) doc.annotate(lit("marked"), 4);
      }
    }
  }
  doc.position_dimension(30, key("POUT_ STATISTICS"), {2, 0, 0, 0});
  doc.cell(30, lit("S"), var(2, "x1"));  // stands at row kRows - 1, x1, blank: already stored
  const PivotTable& t = doc.table(0);
  ASSERT_EQ(t.cells.size(), 3u * kRows);
  EXPECT_EQ(t.cells.value_count(), 5u);  // S, +, -0.0, 0.0 and 0.00
  for (int i = 0; i < 3 * kRows; ++i) {
    const TableCell cell = t.cells[static_cast<std::size_t>(i)];
    const int r = i / 3, v = i % 3;
    ASSERT_EQ(cell.at, (std::vector<int>{r, v, 0})) << i;
    if (i == 3 * kRows - 2) {
      EXPECT_EQ(display(cell.value), "S");
      EXPECT_TRUE(cell.footnotes.empty());
    } else if (restored(i)) {
      EXPECT_EQ(std::signbit(cell.value.number), r % 3 == 0) << i;
      EXPECT_EQ(cell.value.format.decimals, 1 + r % 3 / 2) << i;
      EXPECT_EQ(cell.footnotes.size(), i % 5 == 0 ? 1u : 0u) << i;
    } else {
      EXPECT_EQ(display(cell.value), v == 0 ? "S" : "+") << i;
      EXPECT_EQ(cell.footnotes.size(), i % 11 == 0 ? 1u : 0u) << i;
    }
  }
}

// A row of cells given at once is stored and shown as the same cells given
// one by one: columns first met in a row, a column given twice in a row (the
// later value stands), groups, a column dimension left blank, footnotes on
// the row's last cell and on a group, labelled and awkward values, the rows
// held whole and written out in windows of five.
TEST(OutputDocument, RowGivenAtOnceIsItsCellsOneByOne) {
  const Text rows = key("POUT_ CASE"), vars = key("POUT_ VARIABLES"), marks = key("POUT_ MISSING & EXTREME PATTERNS");
  const Text values = key("POUT_ VALUES");
  const auto build = [&](OutputDocument& doc, bool at_once) {
    doc.begin_table(30, key("POUT_ DATA PATTERNS"), key("POUT_ DATA PATTERNS"));
    doc.position_dimension(30, vars, kColumnDimension);
    doc.position_dimension(30, rows, kUnnamedRowDimension);
    doc.position_dimension(30, key("POUT_ STATISTICS"), kColumnDimension);  // never given a category
    doc.cell_dimension(30, vars);
    const auto row = [&](std::vector<Text> cells, std::vector<Text> columns) {
      if (at_once) {
        std::vector<const Text*> given;
        for (const Text& c : cells) given.push_back(&c);
        doc.cells(30, given, columns);
      } else {
        for (std::size_t k = 0; k < cells.size(); ++k) doc.cell(30, cells[k], columns[k]);
      }
    };
    for (int r = 1; r <= 23; ++r) {
      doc.begin_group(30, count(r), rows);
      doc.ungroup(30);
      doc.category(30, r % 4 == 0 ? value(9, "id", r, "label " + std::to_string(r)) : count(r), rows);
      row({count(r % 3), num(100.0 * (r % 3) / 7, 1)}, {key("POUT_ # MISSING"), key("POUT_ % MISSING")});
      doc.begin_group(30, marks, vars);
      if (r % 6 == 0) doc.annotate(lit("sorted"), static_cast<int>(AnnotationCode::Category));
      std::vector<Text> cells, columns;
      const int width = r < 9 ? 3 : 5;  // x4 and x5 are first met in row 9
      for (int v = 0; v < width; ++v) {
        cells.push_back(lit(std::string(1, " +-S"[(r + v) % 4])));
        columns.push_back(var(v + 1, "x" + std::to_string(v + 1)));
      }
      if (r % 5 == 0) {  // x2 again: its second value stands
        cells.push_back(lit("A"));
        columns.push_back(var(2, "x2"));
      }
      row(cells, columns);
      if (r % 7 == 0) doc.annotate(lit("last cell"), static_cast<int>(AnnotationCode::Cell));
      doc.end_group(30, vars);
      doc.begin_group(30, values, vars);
      row({value(1, "x1", r * 1.5, r % 2 == 0 ? "even <&> \"quoted\"" : ""), lit(std::string(r, 'w'))},
          {var(1, "x1"), var(8, "tag")});
      doc.end_group(30, vars);
      doc.end_group(30, rows);
    }
    if (at_once) {  // a value without its category is refused
      const Text one = lit("1");
      const std::vector<const Text*> given{&one};
      EXPECT_THROW(doc.cells(30, given, {}), std::logic_error);
    }
    doc.end_table(30);
  };
  for (const std::size_t window : {std::size_t{0}, std::size_t{5}}) {
    OutputDocument single, rows_at_once;
    single.stream_rows_after(window);
    rows_at_once.stream_rows_after(window);
    build(single, false);
    build(rows_at_once, true);
    EXPECT_EQ(rows_at_once.table(0).streamed(), window != 0);
    for (const auto render : {render_text, render_markdown, render_html, render_json}) {
      EXPECT_EQ(render(rows_at_once, {}), render(single, {})) << "window " << window;
    }
  }
}

// A label met again finds the category it made, under the same parent only;
// labels that differ in their fields but show the same text (and name no
// other variable) are one category, which keeps the first of them.
TEST(OutputDocument, LabelsMetAgainFindTheirCategory) {
  OutputDocument doc;
  const Text stats = key("UOUT_ STATISTICS");
  doc.begin_table(5, key("UOUT_ UNIVARIATE STATISTICS"), key("UOUT_ UNIVARIATE STATISTICS"));
  doc.cell_dimension(5, stats);
  for (int pass = 0; pass < 3; ++pass) {
    for (const char* group : {"A", "B"}) {
      doc.begin_group(5, lit(group), stats);
      doc.cell(5, count(pass), lit("9"));
      doc.cell(5, count(pass), num(9, 0));    // shows "9" too: the same category and cell
      doc.cell(5, count(pass), var(9, "9"));  // names a variable: a category of its own
      doc.end_group(5, stats);
    }
  }
  const PivotTable& t = doc.table(0);
  EXPECT_EQ(tree(dimension(t, "UOUT_ STATISTICS")), "A{9 9} B{9 9}");
  ASSERT_EQ(t.cells.size(), 4u);
  EXPECT_EQ(display(t.cells[3].value), "2");
  EXPECT_EQ(t.dimensions[0].categories.at(1).label.kind, Text::Kind::Literal);
  EXPECT_EQ(t.cells.value_count(), 3u);
  // Under a group that holds nothing yet, its own label first: shown as the
  // group is, and found again, as is a label that shows the same text.
  doc.begin_group(5, count(7), stats);
  for (const Text& label : {count(7), lit("7"), count(7)}) doc.cell(5, count(8), label);
  doc.cell(5, count(8), var(7, "7"));  // names a variable: a category of its own
  doc.end_group(5, stats);
  const Dimension& d = dimension(t, "UOUT_ STATISTICS");
  EXPECT_EQ(tree(d), "A{9 9} B{9 9} 7{7 7}");
  for (const Category& c : d.categories) EXPECT_EQ(c.text, display(c.label));
  EXPECT_EQ(t.cells.size(), 6u);
}

TEST(OutputDocument, ItemsKeepTheirOrderAndPlaceAndRepeatsAreFolded) {
  OutputDocument doc;
  doc.add_message(lit("before"), 2, 2);
  doc.begin_heading(key("MOUT_ PAIRWISE STATISTICS"));
  doc.annotate(lit("under the heading"), 0);
  doc.begin_table(7, key("MOUT_ FREQUENCY"), Text{});
  doc.begin_table(8, key("MOUT_ MEAN"), Text{});  // two tables open at once
  doc.cell_dimension(7, key("MOUT_ VARIABLES"));
  doc.cell(7, count(3), var(1, "age"));  // a cell for the earlier table
  doc.add_message(lit("inside"), 2, 2);
  doc.end_table(8);
  doc.annotate(lit("after the table"), 0);  // the last call ended a table: the heading's
  doc.end_table(7);
  doc.end_heading();
  EXPECT_EQ(footnote_marker(25) + footnote_marker(26), "zaa");
  EXPECT_EQ(outline(doc, doc.items()),
            "before; Pairwise Statistics {note under the heading; table 7/1; table 8/0; "
            "inside; note after the table}");

  // Messages of every split group are shown once, before the first group.
  OutputDocument folded;
  folded.add_message(lit("earlier command"), 1, 2);
  const std::size_t first = folded.items().size();
  const auto group = [&](const char* value, std::vector<std::pair<const char*, int>> messages) {
    folded.add_split({SplitValue{"g", 1.0, value}});
    for (const auto& [text, severity] : messages) folded.add_message(lit(text), 2, severity);
  };
  group("1", {{"every", 2}, {"some", 2}, {"every", 2}});
  group("2", {{"every", 2}, {"some", 2}});
  group("3", {{"only here", 1}, {"every", 2}});
  folded.add_message(lit("every"), 2, 3);  // an error is never folded
  folded.close_all();
  folded.fold_group_repeats(first);
  EXPECT_EQ(outline(folded, folded.items()),
            "earlier command; every x3; split 1; some; every; split 2; some; split 3; only here; every");
}

TEST(TextDisplay, FillsPlaceholdersAndRepeatGroupsAndFormatsNumbers) {
  const char* const no_t_stat = "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT";
  const char* const sorted_by = "POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1";
  const Text split_list = list(
      {item({var(1, "sex"), value(1, "sex", 1, "Male")}), item({var(2, "region"), value(2, "region", 3, "North")})});
  const std::pair<Text, std::string> rows[] = {
      {lit("as typed ^1"), "as typed ^1"},
      {key("NO SUCH KEY ^1"), "NO SUCH KEY ^1"},
      {comp("PARS_ BAD SUBCOMMAND ^1", {}), "Unrecognized subcommand: ^1."},  // a placeholder without parameter
      {comp("EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1", {lit("XYZ")}), "Unrecognized EM parameter: XYZ."},
      {comp("^1 TO ^2", {num(90, 0), num(99, 0)}), "90 TO 99"},  // a template without entry
      {comp(no_t_stat, {split_list}),
       "sex=Male, region=North: there are no missing values, so no t tests are computed."},
      {comp(no_t_stat, {list({})}), "There are no missing values, so no t tests are computed."},
      // Outer parameters after the list.
      {comp("EOUT_ FOR [:^1=^2, :$2=$1]1, MCAR CHISQ=^2, DF=^3 PROB=^4",
            {split_list, num(12.3456, 3), count(4), num(0.0154, 3, FormatKind::Significance)}),
       "sex=Male, region=North: Little's MCAR test: Chi-Square = 12.346, DF = 4, Sig. = 0.015"},
      // The first item in the prefix form.
      {comp(sorted_by, {list({item({var(1, "a")}), item({var(2, "b")}), item({var(3, "c")})})}),
       "Cases are sorted by a, b, c."},
      {comp(sorted_by, {list({})}), "Cases are sorted by."},
      {comp("NO DPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {split_list, count(700), count(600)}),
       "sex=Male,region=North: the data patterns table is not shown: it would have 700 cells, more than the limit "
       "of 600 (--max-cells)."},
      {comp("X [:^1=^2; :]1 done", {split_list}), "X sex=Male; region=North done"},  // no entry: keeps its group
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(display(text), expected) << text.key;

  std::vector<Text> params;
  for (int i = 1; i <= 11; ++i) params.push_back(lit("p" + std::to_string(i)));
  EXPECT_EQ(fill_template("^11 ^1 ^10 [not a group] a\\:b \\% c\\nd \\^1 trailing ^", params),
            "p11 p1 p10 [not a group] a:b % c\nd ^1 trailing ^");

  // Numbers in their formats.
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const FormatKind percent = FormatKind::PercentNS, counts = FormatKind::Count;
  const std::tuple<double, Format, const char*> numbers[] = {
      {12.25, format(percent, 1), "12.3"},
      {-12.25, format(percent, 1), "-12.3"},  // halves away from zero
      {2.5, format(counts, 0), "3"},
      {7.0, format(counts, 2), "7"},  // counts never show decimals
      {99.95, format(percent, 1), "100.0"},
      {999999999999999.5, format(counts, 0), "1000000000000000"},  // a new digit
      // From 1E+15 on, scientific notation with the decimals of the format
      // (at least two) instead of up to 309 digits that mean nothing.
      {1e15, format(counts, 0), "1.00E+15"},
      {-1.2345e20, format(FormatKind::Mean, 3), "-1.234E+20"},
      {7.5e299, format(FormatKind::Mean, 2), "7.50E+299"},
      {-1.797e308, format(percent, 1), "-1.80E+308"},
      {999999999999999.0, format(FormatKind::Mean, 1), "999999999999999.0"},
      {-0.0004, format(FormatKind::GenStat, 3), "0.000"},
      {-0.4, format(counts, 0), "0"},
      {3.7, format(FormatKind::Print, -1), "4"},
      {kSystemMissing, format(FormatKind::Mean, 2), "."},
      {nan, format(FormatKind::Mean, 2), "."},
      {-inf, format(counts, 0), "."},
  };
  for (const auto& [value, f, expected] : numbers) EXPECT_EQ(format_number(value, f), expected) << value;
}

// The `^n` placeholders outside repeat groups, and the repeat groups
// (`[...]n`, verbatim) of a key or text.
std::pair<std::set<std::string>, Strings> slots_of(const std::string& s) {
  static const std::regex group(R"(\[[^\]]*\]\d+)"), placeholder(R"(\^\d+)");
  Strings groups;
  for (std::sregex_iterator i(s.begin(), s.end(), group), end; i != end; ++i) groups.push_back(i->str());
  const std::string out = std::regex_replace(s, group, "");
  std::set<std::string> placeholders;
  for (std::sregex_iterator i(out.begin(), out.end(), placeholder), end; i != end; ++i) placeholders.insert(i->str());
  return {placeholders, groups};
}

TEST(Catalogue, SortedAndKeepsPlaceholdersAndRepeatGroups) {
  for (const CatalogueEntry& entry : english_catalogue()) {
    EXPECT_EQ(english_text(entry.key), entry.text);  // the look-up is a binary search: the entries are sorted
    // No parameter is lost or invented in translation.
    EXPECT_EQ(slots_of(std::string(entry.key)), slots_of(std::string(entry.text))) << entry.key << " -> " << entry.text;
  }
  // Keys with a line break are found either way.
  const auto escaped = english_text("POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES");
  ASSERT_TRUE(escaped.has_value());
  EXPECT_EQ(english_text("POUT_ + HIGH VALUES \n - LOW VALUES WITH HINGES"), escaped);
}

TEST(OutputText, SmallDocumentExactly) {
  OutputDocument doc;
  build_univariate(doc);
  EXPECT_EQ(render_text(doc),
            "Split group: sex = Male, region = North\n\n"
            "Warning: The EM subcommand is given more than once; all are read, and a setting given later replaces "
            "the same setting given earlier.\n\n"
            "Univariate Statistics[a]\n"
            "                 Statistics\n"
            "                      Extremes[b]\n"
            "Variables   N   Mean  Low    High\n"
            "---------------------------------\n"
            "age        10  35.20    0    2[c]\n"
            "income[a]   9      .    .\n"
            "Grouping variables missing in fewer than 5 percent of the cases are not shown.\n"
            "[a] . indicates that the interquartile range (IQR) is 0.\n"
            "[b] Number of cases outside the range Q1 - 1.5*IQR to Q3 + 1.5*IQR.\n"
            "[c] Only variables missing in at least 5 percent of the cases are shown.\n");

  // With an odd number of places to spare, a centred header leans left.
  OutputDocument odd;
  odd.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), Text{});
  odd.cell_dimension(3, key("UOUT_ STATISTICS"));
  odd.begin_group(3, lit("Odds"), key("UOUT_ STATISTICS"));
  odd.cell(3, count(1), key("UOUT_ LOW"));
  odd.cell(3, count(2), key("UOUT_ HIGH"));
  odd.end_group(3, key("UOUT_ STATISTICS"));
  odd.end_table(3);
  EXPECT_EQ(render_text(odd), "Univariate Statistics\n  Odds\nLow  High\n---------\n  1     2\n");  // 5 to spare
}

TEST(OutputMarkup, TablesValuesAndEscaping) {
  OutputDocument doc;
  build_univariate(doc);
  doc.begin_table(26, key("MMAP_ MAP OF MISSING VALUES"), Text{});  // text from the data
  doc.position_dimension(26, key("MMAP_ PATTERN CODES"), {1, 1, 0, 0});
  doc.position_dimension(26, key("MMAP_ VARIABLES"), {1, 0, 1, 0});
  doc.cell_dimension(26, key("MMAP_ PATTERN CODES"));
  doc.category(26, var(1, "a|b_c"), key("MMAP_ VARIABLES"));
  doc.cell(26, value(1, "a|b_c", 9, "<b>&\"nine\"</b>"), lit("A"));
  doc.end_table(26);
  doc.add_message(lit("x < y & *z*"), 2, 3);
  // A command is shown as typed: a code block whose fence outruns the
  // backticks in it, and in HTML escaped text whose line ends stay.
  doc.add_command({"MVA a\n  /ID='```<b>'.", "job.mva", 3});

  const std::string md = render_markdown(doc);
  EXPECT_NE(md.find("*Command (job.mva, line 3)*\n\n````\nMVA a\n  /ID='```<b>'.\n````\n"), std::string::npos) << md;
  for (const char* shown :
       {"> **Warning:** The EM subcommand is given more than once", "> **Error:** x \\< y & \\*z\\*",
        "**Univariate Statistics**<sup>a</sup>", "| a\\|b\\_c | \\<b\\>&\"nine\"\\</b\\> |",
        "| Variables | Statistics / N | Statistics / Mean | Statistics / Extremes<sup>b</sup> / Low |",
        "| --- | ---: | ---: | ---: | ---: |", "| age | 10 | 35.20 | 0 | 2<sup>c</sup> |",
        "| income<sup>a</sup> | 9 | . | . |"}) {
    EXPECT_NE(md.find(shown), std::string::npos) << shown << "\n" << md;
  }
  EXPECT_EQ(md.find("<b>"), md.rfind("<b>"));  // only in the command's code block

  const std::string html = render_html(doc);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(html.find("<link"), std::string::npos);  // nothing fetched
  for (const char* shown :
       {"<caption>Univariate Statistics<sup>a</sup></caption>", "x &lt; y &amp; *z*",
        "<th colspan=\"2\">Extremes<sup>b</sup></th>", "<td class=\"num\">35.20</td>", "<td class=\"num\">.</td>",
        "&lt;b&gt;&amp;&quot;nine&quot;&lt;/b&gt;</td>", "<pre>MVA a\n  /ID=&#39;```&lt;b&gt;&#39;.</pre>"}) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown << "\n" << html;
  }
  EXPECT_EQ(html.find("<b>"), std::string::npos);
}

TEST(OutputJson, SmallDocumentStructureAndCellPaths) {
  OutputDocument doc;
  build_univariate(doc);
  // Written piece by piece, the document still reads exactly as one
  // pretty-printed dump: at the top and inside headings, cells with and
  // without footnotes, and empty headings and tables.
  OutputDocument nested;
  nested.begin_heading(key("MOUT_ PAIRWISE STATISTICS"));
  nested.begin_heading(key("LOUT_ LISTWISE STATISTICS FOR COMPLETE CASES"));
  nested.end_heading();
  build_univariate(nested);
  nested.begin_table(7, key("LOUT_ MEAN"), key("LOUT_ MEAN"));
  nested.close_all();
  for (const OutputDocument* d : {&doc, &nested}) {
    const std::string text = render_json(*d);
    EXPECT_EQ(nlohmann::ordered_json::parse(text).dump(2) + "\n", text);
  }
  const json out = json::parse(render_json(doc)).at("output");
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].at("values")[0], (json{{"variable", "sex"}, {"value", 1}, {"text", "Male"}}));
  EXPECT_TRUE(out[0].at("values")[1].at("value").is_null());  // a string value
  EXPECT_EQ(out[1], json::parse(R"({"type": "message", "key": "PARS_ MORE THAN ONE ^1", "params": ["EM"],
      "text": "The EM subcommand is given more than once; all are read, and a setting given later replaces the same setting given earlier.",
      "class": 1, "severity": 2, "kind": "warning"})"));

  const json& table = out[2];
  EXPECT_EQ(table.at("title"),
            (json{{"key", "EXEC_ UNIVARIATE STATISTICS"}, {"text", "Univariate Statistics"}, {"footnotes", {"a"}}}));
  EXPECT_TRUE(table.at("properties").at("1").is_null());  // system-missing
  const json& dims = table.at("dimensions");
  EXPECT_EQ(dims[0].at("codes"), json::array({1, 0, 1, 0}));
  EXPECT_EQ(dims[0].at("categories")[0], (json{{"key", nullptr}, {"text", "age"}, {"variable", "age"}}));
  const json& cells = table.at("cells");
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells[0].at("value"), 10);
  EXPECT_EQ(cells[2].at("at"), (json{{"UOUT_ VARIABLES", "age"}, {"UOUT_ STATISTICS", "UOUT_ MEAN"}}));
  EXPECT_EQ(cells[3].at("value").dump() + cells[3].at("text").dump(), "null\".\"");  // system-missing
  EXPECT_EQ(cells[6].at("path"),
            (json{{"UOUT_ VARIABLES", {"age"}}, {"UOUT_ STATISTICS", {"UOUT_ EXTREMES", "UOUT_ HIGH"}}}));
  EXPECT_EQ(cells[6].at("footnotes"), json::array({"c"}));
  const json& notes = table.at("footnotes");
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0], json::parse(R"({"key": "UOUT_ . INDICATES THAT IQR=0", "code": 6, "params": [], "marker": "a",
      "text": ". indicates that the interquartile range (IQR) is 0."})"));
  EXPECT_FALSE(notes[3].contains("marker"));  // a note under the table

  // No system-missing value is written as a number: not a split value, a
  // category, a cell or a footnote parameter.
  OutputDocument missing;
  const Text sysmis = num(kSystemMissing, 2);
  missing.add_split({SplitValue{"g", kSystemMissing, "."}});
  missing.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), Text{});
  missing.cell_dimension(3, key("UOUT_ STATISTICS"));
  missing.cell(3, sysmis, value(2, "a", kSystemMissing, "."));
  missing.annotate(comp("EOUT_ DID NOT CONVERGE ^1", {sysmis}), 1);
  missing.end_table(3);
  const std::string text = render_json(missing);
  EXPECT_EQ(text.find("e+30"), std::string::npos) << text;
  const json shown = json::parse(text).at("output");
  EXPECT_TRUE(shown[0].at("values")[0].at("value").is_null());
  EXPECT_EQ(shown[1].at("footnotes")[0].at("params"), json::array({nullptr}));
}

}  // namespace
}  // namespace mva::host
