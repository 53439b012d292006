// Tests of the text presentation: the exact output for one small document,
// and the layout of nested row dimensions and flat groups.
#include <gtest/gtest.h>

#include "host/output_fixture.h"
#include "host/output/renderers.h"

namespace mva::host {
namespace {

using namespace testing;

TEST(OutputText, SmallDocumentExactly) {
  OutputDocument doc;
  build_univariate(doc);
  const std::string expected =
      "Split group: sex = Male, region = North\n"
      "\n"
      "Warning: The EM subcommand is given more than once; all are read, and a setting given later replaces the "
      "same setting given earlier.\n"
      "\n"
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
      "[c] Only variables missing in at least 5 percent of the cases are shown.\n";
  EXPECT_EQ(render_text(doc), expected);
  EXPECT_EQ(render_text(OutputDocument{}), "");
}

TEST(OutputText, NestedRowsFlatGroupsHeadingsAndMessages) {
  OutputDocument doc;
  doc.add_message(lit("bad"), 1, 3);
  doc.add_message(MessageItem{lit("skipped"), 1, 2, SourcePlace{"run.mva", 3, 12}, 0});
  doc.add_message(MessageItem{lit("skipped too"), 2, 2, std::nullopt, 4});  // labelled by severity
  doc.add_message(lit("fyi"), 1, 1);
  doc.begin_heading(key("EOUT_ EM ESTIMATED STATISTICS"));
  doc.annotate(comp("EOUT_ DID NOT CONVERGE ^1", {count(25)}), 0);
  const Text col = key("TOUT_ COL_VAR"), stat = key("TOUT_ STATISTICS"), row = key("TOUT_ ROW_VAR");
  doc.begin_table(12, key("TOUT_ MATRIX OF T STATISTICS"), Text{});
  doc.position_dimension(12, col, {1, 1, 1, 0});
  doc.position_dimension(12, stat, {1, 0, 1, 0});
  doc.position_dimension(12, row, {2, 0, 1, 0});  // outer: higher order code
  doc.cell_dimension(12, stat);
  for (const auto& [r, name] : {std::pair{1, "age"}, std::pair{2, "income"}}) {
    doc.category(12, var(r, name), row);
    doc.category(12, var(1, "age"), col);
    doc.cell(12, num(r == 1 ? kSysmis : 2.5, 2), key("TOUT_ T"));
    doc.cell(12, count(30), key("TOUT_ #PRESENT"));
  }
  doc.end_table(12);
  const Text cases = key("POUT_ CASE");
  doc.begin_table(14, key("POUT_ DATA PATTERNS"), Text{});
  doc.position_dimension(14, key("POUT_ VARIABLES"), {1, 1, 0, 0});
  doc.position_dimension(14, cases, {1, 0, 0, 0});
  doc.cell_dimension(14, key("POUT_ VARIABLES"));
  for (const int c : {1, 2}) {
    doc.begin_group(14, count(c), cases);
    doc.ungroup(14);
    doc.category(14, lit(c == 1 ? "id-7" : "id-9"), cases);
    doc.cell(14, lit(c == 1 ? "S" : "+"), var(1, "age"));
    doc.end_group(14, cases);
  }
  doc.end_table(14);
  doc.end_heading();

  const std::string expected =
      "Error: bad\n"
      "Warning: skipped (run.mva, line 3, column 12)\n"
      "Warning: skipped too (in each of the 4 split groups)\n"
      "Note: fyi\n"
      "\n"
      "EM Estimated Statistics\n"
      "=======================\n"
      "EM did not converge in 25 iterations.\n"
      "\n"
      "Separate Variance t Tests\n"
      "                               Tested Variable\n"
      "Grouping Variable  Statistics              age\n"
      "----------------------------------------------\n"
      "age                t                         .\n"
      "                   # Present                30\n"
      "income             t                      2.50\n"
      "                   # Present                30\n"
      "\n"
      "Data Patterns (All Cases)\n"
      "         age\n"
      "------------\n"
      "1  id-7  S\n"
      "2  id-9  +\n";
  EXPECT_EQ(render_text(doc), expected);
}

}  // namespace
}  // namespace mva::host
