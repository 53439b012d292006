// Tests of building the output document from the host's output calls: where
// items go, how tables collect dimensions, categories, groups and cells, where
// footnotes land, and which calls are refused.
#include "host/output/output_document.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "host/output_texts.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

using namespace testing;

const PivotTable& table_item(const OutputDocument& doc, const std::vector<Item>& items, std::size_t i) {
  return doc.table(std::get<TableItem>(items.at(i).content).table);
}

// The texts of a dimension's categories under `parent`, in order.
std::vector<std::string> texts(const Dimension& dim, int parent = -1) {
  std::vector<std::string> out;
  for (const int c : dim.children_of(parent)) out.push_back(dim.categories[static_cast<std::size_t>(c)].text);
  return out;
}

const Dimension& dimension(const PivotTable& t, const char* k) {
  const int d = t.find_dimension(key(k));
  EXPECT_GE(d, 0) << k;
  return t.dimensions.at(static_cast<std::size_t>(d));
}

TEST(OutputDocument, GroupsNestReopenAndUngroup) {
  OutputDocument doc;
  const Text cases = key("POUT_ # OF CASES"), vars = key("POUT_ VARIABLES");
  doc.begin_table(18, key("POUT_ TABULATED PATTERNS"), key("POUT_ TABULATED PATTERNS"));
  doc.position_dimension(18, vars, {1, 1, 1, 0});
  doc.position_dimension(18, cases, {1, 0, 0, 0});
  doc.cell_dimension(18, vars);
  for (const int pattern : {1, 2}) {
    doc.begin_group(18, count(pattern), cases);
    doc.ungroup(18);
    doc.category(18, count(pattern * 5), cases);
    doc.begin_group(18, key("POUT_ PATTERNS"), vars);
    doc.begin_group(18, var(7, "educ"), vars);  // a group inside a group
    doc.cell(18, lit("X"), value(7, "educ", 1, "Low"));
    doc.end_group(18, vars);
    doc.cell(18, lit("X"), var(3, "age"));
    doc.end_group(18, vars);
    doc.cell(18, count(pattern), key("POUT_ COMPLETE IF ..."));
    doc.end_group(18, cases);
  }
  // Second pass: the same group label is reopened, the same category reused.
  doc.begin_group(18, count(1), cases);
  doc.ungroup(18);
  doc.category(18, count(5), cases);
  doc.cell(18, count(42), key("POUT_ COMPLETE IF ..."));
  doc.end_group(18, cases);

  const PivotTable& t = table_item(doc, doc.items(), 0);
  const Dimension& c = dimension(t, "POUT_ # OF CASES");
  EXPECT_EQ(texts(c), (std::vector<std::string>{"1", "2"}));
  const int first = c.top[0];
  EXPECT_TRUE(c.categories[static_cast<std::size_t>(first)].group);
  EXPECT_TRUE(c.categories[static_cast<std::size_t>(first)].ungrouped);
  EXPECT_EQ(texts(c, first), (std::vector<std::string>{"5"}));
  const Dimension& v = dimension(t, "POUT_ VARIABLES");
  EXPECT_EQ(texts(v), (std::vector<std::string>{"Missing Patterns", "Complete If ..."}));
  const int patterns = v.top[0];
  EXPECT_FALSE(v.categories[static_cast<std::size_t>(patterns)].ungrouped);
  EXPECT_EQ(texts(v, patterns), (std::vector<std::string>{"educ", "age"}));
  EXPECT_EQ(texts(v, v.categories[static_cast<std::size_t>(patterns)].children[0]),
            (std::vector<std::string>{"Low"}));
  EXPECT_EQ(t.cells.size(), 6u);  // the second pass replaced pattern 1's count
  EXPECT_EQ(display(t.cells[2].value), "42");
  EXPECT_EQ(t.cells[2].at, (std::vector<int>{4, 1}));  // {variables, cases}: "Complete If ...", "5" under "1"
}

TEST(OutputDocument, CategoriesDifferByTextOrVariable) {
  OutputDocument doc;
  const Text dim = key("MMAP_ VARIABLES");
  doc.begin_table(26, key("MMAP_ MAP OF MISSING VALUES"), Text{});
  doc.position_dimension(26, dim, {1, 0, 1, 0});
  doc.category(26, value(1, "a", 9, "9"), dim);
  doc.category(26, value(1, "a", 9, "9"), dim);   // same value of the same variable
  doc.category(26, value(2, "b", 9, "9"), dim);   // same text, another variable
  doc.category(26, lit("9"), dim);                // same text, no variable
  EXPECT_EQ(texts(table_item(doc, doc.items(), 0).dimensions[0]), (std::vector<std::string>{"9", "9", "9"}));
}

TEST(OutputDocument, CellDimensionOfItsOwn) {
  OutputDocument doc;
  doc.begin_table(4, key("LOUT_ MEAN"), key("LOUT_ MEAN"));
  doc.position_dimension(4, key("LOUT_ ROW VARIABLES"), {1, 0, 1, 0});
  doc.cell_dimension(4, key("LOUT_ COL VARIABLES"));  // not a position dimension
  doc.category(4, var(1, "age"), key("LOUT_ ROW VARIABLES"));
  doc.cell(4, num(1, 2), var(1, "age"));
  doc.cell(4, num(2, 2), var(2, "income"));
  const PivotTable& t = table_item(doc, doc.items(), 0);
  const Dimension& own = dimension(t, "LOUT_ COL VARIABLES");
  EXPECT_FALSE(own.positioned);
  EXPECT_EQ(own.axis(), Axis::Columns);
  EXPECT_EQ(texts(own), (std::vector<std::string>{"age", "income"}));
  EXPECT_EQ(t.cells[1].at, (std::vector<int>{0, 1}));

  // A dimension declared after cells were stored: those cells stand in its blank category.
  doc.position_dimension(4, key("LOUT_ NO. OF CASES"), {1, 1, 0, 0});
  EXPECT_EQ(t.cells[1].at, (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(t.dimensions[2].categories.at(0).text, "");
}

TEST(OutputDocument, FootnotesLandWhereTheirCodesSay) {
  OutputDocument doc;
  const Text vars = key("UOUT_ VARIABLES"), stats = key("UOUT_ STATISTICS");
  doc.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), Text{});
  doc.position_dimension(3, vars, {1, 0, 1, 0});
  doc.position_dimension(3, stats, {1, 1, 1, 0});
  doc.cell_dimension(3, vars);
  doc.annotate(lit("on the title"), 6);
  doc.begin_group(3, key("UOUT_ EXTREMES"), stats);
  doc.annotate(lit("on the group"), 3);
  doc.category(3, key("UOUT_ LOW"), stats);
  doc.annotate(lit("on the category"), 3);
  doc.cell(3, count(1), var(1, "age"));
  doc.annotate(lit("on the cell"), 4);
  doc.annotate(lit("on the row"), 3);  // the cell made its row category current
  doc.cell(3, count(2), var(2, "income"));
  doc.annotate(lit("on the group"), 4);  // same text again: the same footnote
  doc.annotate(lit("a note"), 0);
  doc.annotate(lit("a note"), 1);       // notes are not repeated either
  doc.annotate(lit("another note"), 1);

  const PivotTable& t = table_item(doc, doc.items(), 0);
  std::vector<std::pair<std::string, int>> seen;
  for (const Annotation& a : t.annotations) seen.emplace_back(a.shown, a.marker);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"on the title", 0},
                                                            {"on the group", 1},
                                                            {"on the category", 2},
                                                            {"on the cell", 3},
                                                            {"on the row", 4},
                                                            {"a note", -1},
                                                            {"another note", -1}}));
  EXPECT_EQ(t.title_footnotes, (std::vector<int>{0}));
  const Dimension& s = dimension(t, "UOUT_ STATISTICS");
  const int group = s.top[0];
  EXPECT_EQ(s.categories[static_cast<std::size_t>(group)].footnotes, (std::vector<int>{1}));
  EXPECT_EQ(s.categories[static_cast<std::size_t>(s.categories[static_cast<std::size_t>(group)].children[0])].footnotes,
            (std::vector<int>{2}));
  EXPECT_EQ(t.cells[0].footnotes, (std::vector<int>{3}));
  EXPECT_EQ(t.cells[1].footnotes, (std::vector<int>{1}));
  EXPECT_EQ(dimension(t, "UOUT_ VARIABLES").categories[0].footnotes, (std::vector<int>{4}));
  EXPECT_EQ(footnote_marker(0), "a");
  EXPECT_EQ(footnote_marker(25), "z");
  EXPECT_EQ(footnote_marker(26), "aa");
}

TEST(OutputDocument, ItemsKeepTheirOrderAndPlace) {
  OutputDocument doc;
  doc.add_message(lit("before"), 2, 2);
  doc.begin_heading(key("MOUT_ PAIRWISE STATISTICS"));
  doc.annotate(lit("under the heading"), 0);
  doc.begin_table(7, key("MOUT_ FREQUENCY"), Text{});
  doc.begin_table(8, key("MOUT_ MEAN"), Text{});  // two tables open at once
  doc.cell_dimension(7, key("MOUT_ VARIABLES"));
  doc.cell(7, count(3), var(1, "age"));           // a cell for the earlier table
  doc.add_message(lit("inside"), 2, 2);
  doc.end_table(8);
  doc.annotate(lit("after the table"), 0);        // the last call ended a table: the heading's
  doc.end_table(7);
  doc.end_heading();

  const auto& top = doc.items();
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(display(std::get<MessageItem>(top[0].content).text), "before");
  const auto& heading = std::get<HeadingItem>(top[1].content);
  ASSERT_EQ(heading.items.size(), 5u);
  EXPECT_EQ(display(std::get<NoteItem>(heading.items[0].content).text), "under the heading");
  EXPECT_EQ(table_item(doc, heading.items, 1).number, 7);
  EXPECT_EQ(table_item(doc, heading.items, 2).number, 8);
  EXPECT_EQ(table_item(doc, heading.items, 1).cells.size(), 1u);
  EXPECT_TRUE(table_item(doc, heading.items, 2).cells.empty());
  EXPECT_EQ(display(std::get<MessageItem>(heading.items[3].content).text), "inside");
  EXPECT_EQ(display(std::get<NoteItem>(heading.items[4].content).text), "after the table");
}

TEST(OutputDocument, RepeatsOfEveryGroupAreShownOnce) {
  OutputDocument doc;
  doc.add_message(lit("earlier command"), 1, 2);
  const std::size_t first = doc.items().size();
  const auto group = [&](const char* value, std::vector<std::pair<const char*, int>> messages) {
    doc.add_split({SplitValue{"g", 1.0, value}});
    for (const auto& [text, severity] : messages) doc.add_message(lit(text), 2, severity);
  };
  group("1", {{"every", 2}, {"some", 2}, {"every", 2}});
  group("2", {{"every", 2}, {"some", 2}});
  group("3", {{"only here", 1}, {"every", 2}});
  doc.add_message(lit("every"), 2, 3);  // an error is never folded
  doc.close_all();
  doc.fold_group_repeats(first);

  std::vector<std::string> seen;
  for (const Item& item : doc.items()) {
    if (const auto* m = std::get_if<MessageItem>(&item.content)) {
      seen.push_back(display(m->text) + (m->groups > 1 ? " x" + std::to_string(m->groups) : ""));
    } else {
      seen.push_back("split " + std::get<SplitItem>(item.content).values[0].text);
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"earlier command", "every x3", "split 1", "some", "every", "split 2",
                                            "some", "split 3", "only here", "every"}));
}

TEST(OutputDocument, RefusesCallsOnTablesThatAreNotOpen) {
  OutputDocument doc;
  doc.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), Text{});
  doc.position_dimension(3, key("UOUT_ STATISTICS"), {1, 1, 1, 0});
  EXPECT_THROW(doc.begin_table(3, Text{}, Text{}), std::logic_error);
  EXPECT_THROW(doc.category(3, key("UOUT_ MEAN"), key("NO SUCH DIMENSION")), std::logic_error);
  EXPECT_THROW(doc.end_group(3, key("UOUT_ STATISTICS")), std::logic_error);
  EXPECT_THROW(doc.ungroup(3), std::logic_error);
  EXPECT_THROW(doc.cell(3, count(1), key("UOUT_ MEAN")), std::logic_error);  // no cell dimension yet
  doc.end_table(3);
  EXPECT_THROW(doc.end_table(3), std::logic_error);
  EXPECT_THROW(doc.category(3, key("UOUT_ MEAN"), key("UOUT_ STATISTICS")), std::logic_error);
  EXPECT_THROW(doc.cell(5, count(1), key("UOUT_ MEAN")), std::logic_error);
  EXPECT_THROW(doc.table_property(9, 1, count(1)), std::logic_error);
  EXPECT_THROW(doc.end_heading(), std::logic_error);
}

}  // namespace
}  // namespace mva::host
