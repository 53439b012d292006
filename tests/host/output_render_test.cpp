// The presentations of one small document (a split, a warning, a table with
// a group, footnotes and system-missing cells): the exact text, the Markdown
// and HTML with data text that must not break the markup, and the JSON read
// back, with cell paths that tell apart cells whose innermost categories read
// the same and no system-missing value written as a number.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/output/renderers.h"
#include "host/output_texts.h"

namespace mva::host {
namespace {

using namespace testing;
using nlohmann::json;

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
  EXPECT_EQ(render_text(OutputDocument{}), "");
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

  const std::string md = render_markdown(doc);
  for (const char* shown : {"> **Warning:** The EM subcommand is given more than once", "> **Error:** x \\< y & \\*z\\*",
                            "**Univariate Statistics**<sup>a</sup>", "| a\\|b\\_c | \\<b\\>&\"nine\"\\</b\\> |",
                            "| Variables | Statistics / N | Statistics / Mean | Statistics / Extremes<sup>b</sup> / Low |",
                            "| --- | ---: | ---: | ---: | ---: |", "| age | 10 | 35.20 | 0 | 2<sup>c</sup> |",
                            "| income<sup>a</sup> | 9 | . | . |"}) {
    EXPECT_NE(md.find(shown), std::string::npos) << shown << "\n" << md;
  }
  EXPECT_EQ(md.find("<b>"), std::string::npos);

  const std::string html = render_html(doc);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(html.find("<link"), std::string::npos);  // nothing fetched
  for (const char* shown : {"<caption>Univariate Statistics<sup>a</sup></caption>", "x &lt; y &amp; *z*",
                            "<th colspan=\"2\">Extremes<sup>b</sup></th>", "<td class=\"num\">35.20</td>",
                            "<td class=\"num\">.</td>", "&lt;b&gt;&amp;&quot;nine&quot;&lt;/b&gt;</td>"}) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown << "\n" << html;
  }
  EXPECT_EQ(html.find("<b>"), std::string::npos);
}

TEST(OutputJson, SmallDocumentStructureAndCellPaths) {
  OutputDocument doc;
  build_univariate(doc);
  const json out = json::parse(render_json(doc)).at("output");
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].at("values")[0], (json{{"variable", "sex"}, {"value", 1}, {"text", "Male"}}));
  EXPECT_TRUE(out[0].at("values")[1].at("value").is_null());  // a string value
  EXPECT_EQ(out[1], (json{{"type", "message"}, {"key", "PARS_ MORE THAN ONE ^1"},
                          {"text", "The EM subcommand is given more than once; all are read, and a setting "
                                   "given later replaces the same setting given earlier."},
                          {"params", {"EM"}}, {"class", 1}, {"severity", 2}, {"kind", "warning"}}));

  const json& table = out[2];
  EXPECT_EQ(table.at("title"),
            (json{{"key", "EXEC_ UNIVARIATE STATISTICS"}, {"text", "Univariate Statistics"}, {"footnotes", {"a"}}}));
  EXPECT_EQ(table.at("properties").at("1"), 1);
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
  EXPECT_EQ(notes[0], (json{{"key", "UOUT_ . INDICATES THAT IQR=0"},
                            {"text", ". indicates that the interquartile range (IQR) is 0."},
                            {"code", 6}, {"params", json::array()}, {"marker", "a"}}));
  EXPECT_FALSE(notes[3].contains("marker"));  // a note under the table

  // Cells under different groups whose innermost categories read the same.
  OutputDocument groups;
  const Text cases = key("POUT_ # OF CASES"), vars = key("POUT_ VARIABLES");
  groups.begin_table(18, key("POUT_ TABULATED PATTERNS"), Text{});
  groups.position_dimension(18, cases, {1, 0, 0, 0});
  groups.cell_dimension(18, vars);
  for (const int pattern : {1, 2}) {
    groups.begin_group(18, count(pattern), cases);
    groups.category(18, count(5), cases);  // the same leaf in both groups
    groups.cell(18, lit("X"), var(1, "age"));
    groups.end_group(18, cases);
  }
  groups.end_table(18);
  const json same = json::parse(render_json(groups)).at("output")[0].at("cells");
  ASSERT_EQ(same.size(), 2u);
  EXPECT_EQ(same[0].at("at"), same[1].at("at"));
  EXPECT_EQ(same[0].at("path"), (json{{"POUT_ # OF CASES", {"1", "5"}}, {"POUT_ VARIABLES", {"age"}}}));
  EXPECT_EQ(same[1].at("path"), (json{{"POUT_ # OF CASES", {"2", "5"}}, {"POUT_ VARIABLES", {"age"}}}));
  EXPECT_TRUE(same[0].at("value").is_null());  // a text cell
  EXPECT_EQ(same[0].at("text"), "X");

  // No system-missing value is written as a number: not a split value, a
  // table property, a category, a cell or a footnote parameter.
  OutputDocument missing;
  const Text sysmis = num(kSystemMissing, 2), rows = key("UOUT_ VARIABLES");
  missing.add_split({SplitValue{"g", kSystemMissing, "."}});
  missing.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), Text{});
  missing.table_property(3, 1, sysmis);
  missing.position_dimension(3, rows, {1, 0, 1, 0});
  missing.cell_dimension(3, key("UOUT_ STATISTICS"));
  missing.category(3, value(2, "a", kSystemMissing, "."), rows);
  missing.cell(3, sysmis, key("UOUT_ MEAN"));
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
