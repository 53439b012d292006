// Tests of the JSON presentation: the document of output_fixture.h read back
// with nlohmann::json, field by field (keys and texts, dimensions, groups,
// cell coordinates, null for system-missing, footnotes and their markers).
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

  EXPECT_EQ(out[0].at("type"), "split");
  EXPECT_EQ(out[0].at("values")[0], (json{{"variable", "sex"}, {"value", 1}, {"text", "Male"}}));
  EXPECT_TRUE(out[0].at("values")[1].at("value").is_null());

  const json& message = out[1];
  EXPECT_EQ(message.at("type"), "message");
  EXPECT_EQ(message.at("key"), "PARS_ MORE THAN ONE ^1");
  EXPECT_EQ(message.at("text"), "The EM subcommand is given more than once; the last one is used.");
  EXPECT_EQ(message.at("params"), json::array({"EM"}));
  EXPECT_EQ(message.at("class"), "warning");
  EXPECT_EQ(message.at("severity"), 2);

  const json& table = out[2];
  EXPECT_EQ(table.at("type"), "table");
  EXPECT_EQ(table.at("number"), 3);
  EXPECT_EQ(table.at("title").at("key"), "EXEC_ UNIVARIATE STATISTICS");
  EXPECT_EQ(table.at("title").at("text"), "Univariate Statistics");
  EXPECT_EQ(table.at("title").at("footnotes"), json::array({"a"}));
  EXPECT_EQ(table.at("subtype"), "EXEC_ UNIVARIATE STATISTICS");
  EXPECT_EQ(table.at("properties").at("1"), 1);

  const json& dims = table.at("dimensions");
  ASSERT_EQ(dims.size(), 2u);
  EXPECT_EQ(dims[0].at("name"), (json{{"key", "UOUT_ VARIABLES"}, {"text", "Variables"}}));
  EXPECT_EQ(dims[0].at("axis"), "row");
  EXPECT_EQ(dims[0].at("codes"), json::array({1, 0, 1, 0}));
  EXPECT_EQ(dims[0].at("categories")[0], (json{{"key", nullptr}, {"text", "age"}, {"variable", "age"}}));
  EXPECT_EQ(dims[0].at("categories")[1].at("footnotes"), json::array({"a"}));
  EXPECT_EQ(dims[1].at("axis"), "column");
  const json& extremes = dims[1].at("categories")[2];
  EXPECT_EQ(extremes.at("key"), "UOUT_ EXTREMES");
  EXPECT_EQ(extremes.at("children").size(), 2u);
  EXPECT_EQ(extremes.at("children")[1].at("text"), "High");
  EXPECT_FALSE(extremes.contains("ungrouped"));
  EXPECT_EQ(extremes.at("footnotes"), json::array({"b"}));
  EXPECT_EQ(table.at("cell_dimension").at("key"), "UOUT_ VARIABLES");

  const json& cells = table.at("cells");
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells[2].at("at"), (json{{"UOUT_ VARIABLES", "age"}, {"UOUT_ STATISTICS", "UOUT_ MEAN"}}));
  EXPECT_DOUBLE_EQ(cells[2].at("value").get<double>(), 35.2);
  EXPECT_EQ(cells[2].at("text"), "35.20");
  EXPECT_EQ(cells[3].at("at").at("UOUT_ VARIABLES"), "income");
  EXPECT_TRUE(cells[3].at("value").is_null());  // system-missing
  EXPECT_EQ(cells[3].at("text"), ".");
  EXPECT_EQ(cells[0].at("value"), 10);
  EXPECT_EQ(cells[6].at("footnotes"), json::array({"c"}));

  const json& notes = table.at("footnotes");
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].at("key"), "UOUT_ . INDICATES THAT IQR=0");
  EXPECT_EQ(notes[0].at("code"), 6);
  EXPECT_EQ(notes[0].at("marker"), "a");
  EXPECT_EQ(notes[2].at("params"), json::array({"5"}));
  EXPECT_EQ(notes[3].at("code"), 1);
  EXPECT_FALSE(notes[3].contains("marker"));  // a note under the table
}

TEST(OutputJson, HeadingsTextCellsAndCellOnlyDimensions) {
  OutputDocument doc;
  doc.begin_heading(key("MOUT_ PAIRWISE STATISTICS"));
  doc.annotate(lit("a heading note"), 0);
  doc.cell_dimension(1, key("Contents"));
  doc.begin_group(1, key("Files Saved"), key("Contents"));
  doc.ungroup(1);
  doc.cell(1, lit("/tmp/x.csv"), key("EM Imputed Data"));
  doc.end_group(1, key("Contents"));
  doc.end_heading();
  const json j = json::parse(render_json(doc));
  const json& heading = j.at("output")[0];
  EXPECT_EQ(heading.at("type"), "heading");
  EXPECT_EQ(heading.at("key"), "MOUT_ PAIRWISE STATISTICS");
  EXPECT_EQ(heading.at("text"), "Pairwise Statistics");
  ASSERT_EQ(heading.at("items").size(), 2u);
  EXPECT_EQ(heading.at("items")[0].at("key"), nullptr);
  EXPECT_EQ(heading.at("items")[0].at("text"), "a heading note");
  const json& files = heading.at("items")[1];
  EXPECT_EQ(files.at("number"), 1);
  EXPECT_EQ(files.at("title").at("key"), "Files Saved");
  EXPECT_EQ(files.at("dimensions")[0].at("axis"), "column");
  EXPECT_EQ(files.at("dimensions")[0].at("codes"), json::array());
  EXPECT_EQ(files.at("dimensions")[0].at("categories")[0].at("ungrouped"), true);
  const json& cell = files.at("cells")[0];
  EXPECT_EQ(cell.at("at"), (json{{"Contents", "EM Imputed Data"}}));
  EXPECT_TRUE(cell.at("value").is_null());  // a text cell
  EXPECT_EQ(cell.at("text"), "/tmp/x.csv");
}

}  // namespace
}  // namespace mva::host
