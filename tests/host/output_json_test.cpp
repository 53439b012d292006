// Tests of the JSON presentation: the document of output_fixture.h read back
// with nlohmann::json (keys and texts, dimensions, groups, cell coordinates,
// null for system-missing, footnotes and their markers, message fields), and
// cell paths that tell apart cells whose innermost categories read the same.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/output_fixture.h"
#include "host/output/renderers.h"

namespace mva::host {
namespace {

using namespace testing;
using nlohmann::json;

TEST(OutputJson, SmallDocumentStructure) {
  OutputDocument doc;
  build_univariate(doc);
  const json j = json::parse(render_json(doc));
  const json& out = j.at("output");
  ASSERT_EQ(out.size(), 3u);

  EXPECT_EQ(out[0].at("values")[0], (json{{"variable", "sex"}, {"value", 1}, {"text", "Male"}}));
  EXPECT_TRUE(out[0].at("values")[1].at("value").is_null());  // a string value

  // The numeric class and severity as given, the label apart.
  EXPECT_EQ(out[1], (json{{"type", "message"},
                          {"key", "PARS_ MORE THAN ONE ^1"},
                          {"text", "The EM subcommand is given more than once; all are read, and a setting "
                                   "given later replaces the same setting given earlier."},
                          {"params", {"EM"}},
                          {"class", 1},
                          {"severity", 2},
                          {"kind", "warning"}}));

  const json& table = out[2];
  EXPECT_EQ(table.at("title"),
            (json{{"key", "EXEC_ UNIVARIATE STATISTICS"}, {"text", "Univariate Statistics"}, {"footnotes", {"a"}}}));
  EXPECT_EQ(table.at("properties").at("1"), 1);
  const json& dims = table.at("dimensions");
  ASSERT_EQ(dims.size(), 2u);
  EXPECT_EQ(dims[0].at("name"), (json{{"key", "UOUT_ VARIABLES"}, {"text", "Variables"}}));
  EXPECT_EQ(dims[0].at("codes"), json::array({1, 0, 1, 0}));
  EXPECT_EQ(dims[0].at("categories")[0], (json{{"key", nullptr}, {"text", "age"}, {"variable", "age"}}));
  EXPECT_EQ(dims[0].at("categories")[1].at("footnotes"), json::array({"a"}));
  const json& extremes = dims[1].at("categories")[2];
  EXPECT_EQ(extremes.at("children")[1].at("text"), "High");
  EXPECT_EQ(extremes.at("footnotes"), json::array({"b"}));

  const json& cells = table.at("cells");
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells[2].at("at"), (json{{"UOUT_ VARIABLES", "age"}, {"UOUT_ STATISTICS", "UOUT_ MEAN"}}));
  EXPECT_TRUE(cells[3].at("value").is_null());  // system-missing
  EXPECT_EQ(cells[3].at("text"), ".");
  EXPECT_EQ(cells[0].at("value"), 10);
  EXPECT_EQ(cells[6].at("path"),
            (json{{"UOUT_ VARIABLES", {"age"}}, {"UOUT_ STATISTICS", {"UOUT_ EXTREMES", "UOUT_ HIGH"}}}));
  EXPECT_EQ(cells[6].at("footnotes"), json::array({"c"}));

  const json& notes = table.at("footnotes");
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0], (json{{"key", "UOUT_ . INDICATES THAT IQR=0"},
                            {"text", ". indicates that the interquartile range (IQR) is 0."},
                            {"code", 6},
                            {"params", json::array()},
                            {"marker", "a"}}));
  EXPECT_FALSE(notes[3].contains("marker"));  // a note under the table
}

TEST(OutputJson, PathsTellApartCellsUnderDifferentGroups) {
  OutputDocument doc;
  const Text cases = key("POUT_ # OF CASES"), vars = key("POUT_ VARIABLES");
  doc.begin_table(18, key("POUT_ TABULATED PATTERNS"), Text{});
  doc.position_dimension(18, cases, {1, 0, 0, 0});
  doc.cell_dimension(18, vars);
  for (const int pattern : {1, 2}) {
    doc.begin_group(18, count(pattern), cases);
    doc.category(18, count(5), cases);  // the same leaf in both groups
    doc.cell(18, lit("X"), var(1, "age"));
    doc.end_group(18, cases);
  }
  doc.end_table(18);
  const json cells = json::parse(render_json(doc)).at("output")[0].at("cells");
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].at("at"), cells[1].at("at"));
  EXPECT_EQ(cells[0].at("path"), (json{{"POUT_ # OF CASES", {"1", "5"}}, {"POUT_ VARIABLES", {"age"}}}));
  EXPECT_EQ(cells[1].at("path"), (json{{"POUT_ # OF CASES", {"2", "5"}}, {"POUT_ VARIABLES", {"age"}}}));
}

TEST(OutputJson, NotesAndTextCells) {
  OutputDocument doc;
  doc.annotate(lit("a note between tables"), 0);
  doc.cell_dimension(1, key("Contents"));
  doc.cell(1, lit("/tmp/x.csv"), key("EM Imputed Data"));
  const json out = json::parse(render_json(doc)).at("output");
  EXPECT_EQ(out[0], (json{{"type", "note"}, {"key", nullptr}, {"text", "a note between tables"}, {"params", json::array()}}));
  const json& cell = out[1].at("cells")[0];
  EXPECT_TRUE(cell.at("value").is_null());  // a text cell
  EXPECT_EQ(cell.at("text"), "/tmp/x.csv");
}

}  // namespace
}  // namespace mva::host
