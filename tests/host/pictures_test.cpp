// The pictures of the report: every one is well-formed XML with a text
// alternative, and what it draws reads back as the numbers of its table
// (bar lengths, dot positions, cell shades, matrix cells), taken from the
// JSON rendering of the same run rather than from the pictures' own reader.
#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "host/output/missing_matrix.h"
#include "host/output/pictures.h"
#include "host/output/renderers.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using boost::property_tree::ptree;

std::string airquality() { return source_file("tests/fixtures/mva/airquality.csv"); }

// The picture parsed as XML (throws when it is not well-formed).
ptree parse(const std::string& svg) {
  std::istringstream in(svg);
  ptree tree;
  boost::property_tree::read_xml(in, tree);
  return tree;
}

// Every element named `name` under `tree` whose class attribute starts with `cls`.
void collect(const ptree& tree, const std::string& name, const std::string& cls, std::vector<ptree>& out) {
  for (const auto& [child_name, child] : tree) {
    if (child_name == "<xmlattr>") continue;
    if (child_name == name && child.get("<xmlattr>.class", "").rfind(cls, 0) == 0) out.push_back(child);
    collect(child, name, cls, out);
  }
}

std::vector<ptree> elements(const std::string& svg, const std::string& name, const std::string& cls) {
  std::vector<ptree> out;
  collect(parse(svg), name, cls, out);
  return out;
}

double attr(const ptree& e, const std::string& name) { return e.get<double>("<xmlattr>." + name); }
std::string text_attr(const ptree& e, const std::string& name) { return e.get<std::string>("<xmlattr>." + name); }

// The plot area's scale and origin.
std::pair<double, double> scale_of(const std::string& svg) {
  const std::vector<ptree> area = elements(svg, "rect", "plot-area");
  EXPECT_EQ(area.size(), 1u);
  return {attr(area.at(0), "data-scale"), attr(area.at(0), "data-origin")};
}

// The pictures of one run by kind, and its JSON tables by title key.
struct PictureRun {
  Shown shown;
  std::map<std::string, std::string> pictures;
  std::map<std::string, nlohmann::json> tables;

  double cell(const std::string& table, const std::map<std::string, std::string>& at) const {
    for (const auto& c : tables.at(table)["cells"]) {
      bool match = true;
      for (const auto& [dim, category] : at) match = match && c["at"][dim] == category;
      if (match) return c["value"].is_null() ? std::nan("") : c["value"].get<double>();
    }
    ADD_FAILURE() << "no cell in " << table;
    return std::nan("");
  }
};

PictureRun run(const std::string& csv, const std::string& command) {
  PictureRun r{run_shown({csv, {}}, command), {}, {}};
  const host::OutputDocument& doc = r.shown.host->output();
  for (auto& [index, picture] : host::document_pictures(doc)) r.pictures[picture.kind] = picture.svg;
  const std::function<void(const nlohmann::json&)> walk = [&](const nlohmann::json& items) {
    for (const auto& item : items) {
      if (item["type"] == "table") r.tables[item["title"]["key"]] = item;
      if (item["type"] == "heading") walk(item["items"]);
    }
  };
  walk(r.shown.output);
  return r;
}

constexpr const char* kAll = "MVA ALL /TTEST PROB /MISMATCH /TPATTERN PERCENT=3 /MPATTERN /EM /REGRESSION.";

TEST(Pictures, EveryPictureIsWellFormedAndStandsForItsTableCells) {
  const PictureRun r = run(airquality(), kAll);
  const std::set<std::string> kinds = {"missing-by-variable", "means-compared", "ttest-p", "mismatch",
                                       "missing-matrix",      "patterns"};
  std::set<std::string> got;
  for (const auto& [kind, svg] : r.pictures) {
    SCOPED_TRACE(kind);
    got.insert(kind);
    const ptree tree = parse(svg);
    const ptree& root = tree.get_child("svg");
    EXPECT_FALSE(root.get<std::string>("title").empty());
    EXPECT_GT(root.get<std::string>("desc").size(), 20u);
    EXPECT_EQ(root.get<std::string>("<xmlattr>.role"), "img");
  }
  EXPECT_EQ(got, kinds);
  // A data-pattern table draws its cases in file order; a second picture of
  // a kind in a command is numbered (the names are in plot_files_test.cpp).
  const PictureRun d = run(airquality(), "MVA Ozone SolarR Wind /DPATTERN.");
  ASSERT_EQ(d.pictures.count("data-matrix"), 1u);
  EXPECT_EQ(attr(elements(d.pictures.at("data-matrix"), "rect", "plot-area").at(0), "data-rows"), 153);
  EXPECT_EQ(host::picture_file_name({0, 1, 0}, {"patterns", ""}, 2), "command1-patterns-2.svg");
  // The shapes of each picture of kAll against its table's cells.
  {
    const std::string& svg = r.pictures.at("missing-by-variable");
    const auto [scale, origin] = scale_of(svg);
    const std::vector<ptree> bars = elements(svg, "rect", "bar");
    ASSERT_EQ(bars.size(), 6u);
    double last = 101;
    for (const ptree& bar : bars) {
      const std::string name = text_attr(bar, "data-label");
      const double percent =
          r.cell("EXEC_ UNIVARIATE STATISTICS", {{"UOUT_ VARIABLES", name}, {"UOUT_ STATISTICS", "UOUT_ MIS_PERCENT"}});
      EXPECT_NEAR(attr(bar, "width") / scale, percent, 0.01) << name;
      EXPECT_NEAR(attr(bar, "x"), origin, 0.01);
      EXPECT_LE(percent, last) << "sorted, most missing first";
      last = percent;
    }
  }
  {
    // Patterns of 111, 35 and 5 cases are shown; the one of 2 cases (1.3 %)
    // is hidden at PERCENT=3 and drawn in the last column.
    const std::string& svg = r.pictures.at("patterns");
    const auto [scale, base] = scale_of(svg);
    std::vector<double> counts;
    for (const ptree& bar : elements(svg, "rect", "bar")) {
      EXPECT_NEAR(attr(bar, "y") + attr(bar, "height"), base, 0.01);
      counts.push_back(std::round(attr(bar, "height") / scale * 100) / 100);
    }
    std::vector<double> expected;
    for (const auto& category : r.tables.at("POUT_ TABULATED PATTERNS")["dimensions"][1]["categories"]) {
      expected.push_back(std::stod(category["children"][0]["text"].get<std::string>()));
    }
    expected.push_back(2);
    EXPECT_EQ(counts, expected);
    // The variables missing in each shown pattern are marked: SolarR (5),
    // Ozone (35); pattern 0 marks none.
    EXPECT_EQ(elements(svg, "circle", "missing").size(), 2u);
  }
  {
    // A dot stands (mean - all-values mean) / all-values SD from zero.
    const std::string& svg = r.pictures.at("means-compared");
    const auto [scale, zero] = scale_of(svg);
    const std::map<std::string, std::string> methods = {
        {"All Values", "UOUT_ ALL VALUES"}, {"EM", "EOUT_ EM"}, {"Regression", "EOUT_ REGRESSION"}};
    std::size_t drawn = 0;
    for (const auto& shape : {"circle", "rect", "path"}) {
      for (const ptree& dot : elements(svg, shape, "dot")) {
        const auto row = dot.get_optional<std::string>("<xmlattr>.data-row");
        if (!row) continue;  // the legend
        const auto mean = [&](const std::string& m) {
          return r.cell("CMPB_ COMPARE MEANS", {{"CMPB_ VARIABLES", *row}, {"CMPB_ STATISTICS", m}});
        };
        const double sd = r.cell("CMPB_ COMPARE STANDARD DEVIATIONS",
                                 {{"CMPB_ VARIABLES", *row}, {"CMPB_ STATISTICS", "UOUT_ ALL VALUES"}});
        const double z = (mean(methods.at(text_attr(dot, "data-method"))) - mean("UOUT_ ALL VALUES")) / sd;
        const double cx = dot.get_optional<double>("<xmlattr>.cx").value_or(dot.get("<xmlattr>.data-cx", 0.0));
        EXPECT_NEAR((cx - zero) / scale, z, 0.02 / scale) << *row << " " << text_attr(dot, "data-method");
        ++drawn;
      }
    }
    EXPECT_EQ(drawn, 18u);  // six variables, three methods
  }
  {
    // p under 0.001 darkest; not computed (the variable with itself) crossed.
    const std::string& svg = r.pictures.at("ttest-p");
    std::size_t cells = 0;
    for (const ptree& cell : elements(svg, "rect", "cell")) {
      const double p = r.cell("TOUT_ MATRIX OF T STATISTICS", {{"TOUT_ ROW_VAR", text_attr(cell, "data-row")},
                                                               {"TOUT_ COL_VAR", text_attr(cell, "data-column")},
                                                               {"TOUT_ STATISTICS", "TOUT_ P(TAIL)"}});
      const int step = p < 0.001 ? 0 : p < 0.01 ? 2 : p < 0.05 ? 4 : p < 0.1 ? 6 : 8;
      EXPECT_EQ(attr(cell, "data-step"), step) << p;
      ++cells;
    }
    EXPECT_EQ(cells, 5u);
    EXPECT_EQ(elements(svg, "rect", "blank").size(), 1u);
  }
  {
    const std::string& svg = r.pictures.at("mismatch");
    const std::vector<ptree> cells = elements(svg, "rect", "cell");
    ASSERT_EQ(cells.size(), 1u);  // only Ozone is missing in 5 % or more
    const double percent =
        r.cell("IOUT_ CORRELATION OF MISSING INDICATORS", {{"IOUT_ ROWS", "Ozone"}, {"IOUT_ COLUMNS", "Ozone"}});
    EXPECT_EQ(attr(cells[0], "data-step"), 8 - std::lround(percent / 12.5));
  }
}

// The cases of the patterns that the tabulated table leaves out, per month
// (or in all months, key 0) of airquality, counted from the file: a pattern
// of Ozone and SolarR is left out when it holds at most `percent` percent of
// its group's cases.
std::map<int, double> left_out_by_month(double percent, bool by_month) {
  std::istringstream in(airquality());
  std::string line;
  std::getline(in, line);
  std::map<int, std::map<int, int>> patterns;  // group -> (Ozone missing + 2 x SolarR missing) -> cases
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
    const bool ozone = f[0] == "NA" || f[0].empty(), solar = f[1] == "NA" || f[1].empty();
    ++patterns[by_month ? std::stoi(f[4]) : 0][ozone + 2 * solar];
  }
  std::map<int, double> out;
  for (const auto& [group, counts] : patterns) {
    double cases = 0;
    for (const auto& [pattern, n] : counts) cases += n;
    out[group] = 0;
    for (const auto& [pattern, n] : counts) {
      if (pattern != 0 && 100.0 * n / cases <= percent) out[group] += n;
    }
  }
  return out;
}

// The hidden column sums the patterns the table leaves out, whether the
// number of cases comes from the univariate table or, under NOUNIVARIATE,
// from the host; it is absent when nothing is left out. With weights the
// table counts complete cases and patterns in different units: no column,
// and the picture says so.
TEST(Pictures, HiddenColumnSumsThePatternsLeftOut) {
  struct Case {
    std::string command;
    double percent;
    bool by_month, weighted = false;
  };
  const std::vector<Case> cases = {
      {"MVA ALL /NOUNIVARIATE /TPATTERN PERCENT=3.", 3, false},
      {"MVA ALL /TPATTERN PERCENT=1.", 1, false},  // cut-off of 1.5 cases; the 2-case pattern stays
      {"MVA ALL /NOUNIVARIATE /TPATTERN PERCENT=10.", 10, true},
      {"MVA ALL /TPATTERN PERCENT=10.", 10, true},
      // Under the counts of 5 and 2 cases, weighted by Month (5 to 9).
      {"MVA ALL /TPATTERN PERCENT=3.", 3, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command + (c.by_month ? " by Month" : ""));
    TestData data;
    data.csv = airquality();
    if (c.by_month) data.options.split = {"Month"};
    if (c.weighted) data.options.weight = "Month";
    const Shown shown = run_shown(data, c.command);
    const std::map<int, double> expected = left_out_by_month(c.percent, c.by_month);
    std::vector<double> got;
    for (const auto& [index, picture] : host::document_pictures(shown.host->output())) {
      if (picture.kind != "patterns") continue;
      double hidden = 0;
      for (const ptree& bar : elements(picture.svg, "rect", "bar")) {
        if (text_attr(bar, "data-label") == "hidden") hidden = attr(bar, "height") / scale_of(picture.svg).first;
      }
      got.push_back(std::round(hidden * 100) / 100);
      if (c.weighted) {
        EXPECT_NE(picture.svg.find("not drawn: their total is not known"), std::string::npos);
      }
    }
    std::vector<double> want;
    for (const auto& [group, n] : expected) want.push_back(c.weighted ? 0 : n);
    EXPECT_EQ(got, want);
  }
}

// The rectangles of a matrix's paths, as the (row, column) cells they cover.
std::set<std::pair<int, int>> dark_cells(const std::string& svg, double left, double top, double cell_w, double row_h) {
  std::set<std::pair<int, int>> out;
  for (const ptree& path : elements(svg, "path", "missing")) {
    std::istringstream d(text_attr(path, "d"));
    char m, h, v;
    double x, y, w, height, back;
    while (d >> m >> x >> y >> h >> w >> v >> height >> h >> back >> m) {
      const int column = static_cast<int>(std::floor((x - left) / cell_w));
      for (int row = static_cast<int>(std::lround((y - top) / row_h)); row < std::lround((y + height - top) / row_h);
           ++row) {
        out.insert({row, column});
      }
    }
  }
  return out;
}

TEST(Pictures, MatrixDarkensTheMissingCellsOfThePatternTable) {
  const PictureRun r = run(airquality(), "MVA ALL /MPATTERN.");
  const std::string& svg = r.pictures.at("missing-matrix");
  const ptree area = elements(svg, "rect", "plot-area").at(0);
  const nlohmann::json& table = r.tables.at("POUT_ MISSING PATTERNS");
  std::vector<std::string> variables, cases;
  for (const auto& c : table["dimensions"][0]["categories"][2]["children"]) variables.push_back(c["text"]);
  for (const auto& c : table["dimensions"][1]["categories"]) cases.push_back(c["text"]);
  ASSERT_EQ(attr(area, "data-rows"), static_cast<double>(cases.size()));
  std::set<std::pair<int, int>> expected;
  for (const auto& c : table["cells"]) {
    const auto v = std::find(variables.begin(), variables.end(), c["at"]["POUT_ VARIABLES"]);
    if (v == variables.end() || c["text"] != "S") continue;
    const auto row = std::find(cases.begin(), cases.end(), c["at"]["POUT_ CASE"]) - cases.begin();
    expected.insert({static_cast<int>(row), static_cast<int>(v - variables.begin())});
  }
  EXPECT_EQ(expected.size(), 44u);  // 7 SolarR and 37 Ozone values are missing
  const double cell_w = attr(area, "width") / static_cast<double>(variables.size());
  EXPECT_EQ(dark_cells(svg, attr(area, "x"), attr(area, "y"), cell_w, attr(area, "height") / cases.size()), expected);
}

// Binning as rows arrive gives what binning the whole list at once gives:
// the smallest power-of-two width that leaves at most 2 x bins bins, and
// each bin's count of missing cells.
TEST(Pictures, MatrixBinsLikeBinningTheWholeListAtOnce) {
  std::mt19937 random(7);
  for (const std::size_t n : {1u, 7u, 8u, 9u, 16u, 17u, 100u, 1000u, 4097u}) {
    SCOPED_TRACE(n);
    std::vector<std::array<std::uint8_t, 3>> rows(n);
    for (auto& row : rows) {
      for (auto& cell : row) cell = static_cast<std::uint8_t>(random() % 3 == 0);
    }
    host::MissingMatrix matrix({"a", "b", "c"}, 4);
    for (const auto& row : rows) matrix.add_row(row);
    std::size_t width = 1;
    while ((n + width - 1) / width > 8) width *= 2;
    ASSERT_EQ(matrix.rows_per_bin(), width);
    ASSERT_EQ(matrix.bin_count(), (n + width - 1) / width);
    for (std::size_t b = 0; b < matrix.bin_count(); ++b) {
      const std::size_t end = std::min(n, (b + 1) * width);
      EXPECT_EQ(matrix.bin_rows(b), end - b * width);
      for (std::size_t v = 0; v < 3; ++v) {
        std::uint32_t missing = 0;
        for (std::size_t i = b * width; i < end; ++i) missing += rows[i][v];
        EXPECT_EQ(matrix.missing(b, v), missing);
      }
    }
    EXPECT_NO_THROW(parse(matrix.finish("t", "cases")));
  }
  // Any missing cell shows; only a bin with every case missing is darkest.
  EXPECT_EQ(host::missing_step(0, 5), 0);
  EXPECT_EQ(host::missing_step(1, 1000), 1);
  EXPECT_EQ(host::missing_step(999, 1000), 7);
  EXPECT_EQ(host::missing_step(5, 5), 8);
}

}  // namespace
}  // namespace mva::test
