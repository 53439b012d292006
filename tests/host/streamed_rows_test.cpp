// The per-case pattern tables written out in windows of rows come out in every
// format, and in the pictures drawn from them, byte for byte as the whole
// table laid out at once; the JSON is exactly what the JSON library makes of
// the same document, awkward texts included.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/output/pictures.h"
#include "host/output/renderers.h"
#include "host/output/row_spool.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Texts that JSON, Markdown and HTML must escape or pass through: quotes,
// a backslash, a tab, a control character, a line break, markup, accented
// letters and a byte that is not UTF-8.
const std::vector<std::string> kAwkward = {"plain",      "say \"\"hi\"\"", "back\\slash", "tab\there", "bell\x01",
                                           "two\nlines", "<b>&amp;|*_#",   "caf\xc3\xa9", "bad\xff"};

// 2,000 cases: a split variable in two sorted groups, a numeric ID, four
// numbers with missing cells in several patterns (x4 with the user-missing
// code 99 and a few extreme values), a short string and a string of awkward
// texts.
std::string case_file() {
  std::string csv = "id,g,x1,x2,x3,x4,code,tag\n";
  for (int i = 1; i <= 2000; ++i) {
    const auto cell = [&](bool missing, double value) { return missing ? std::string() : std::to_string(value); };
    csv += std::to_string(1000 + i) + "," + (i <= 1100 ? "1" : "2") + ",";
    csv += cell(i % 7 == 0, (i % 13) * 0.5) + ",";
    csv += cell(i % 11 == 3, 10.0 - (i % 17)) + ",";
    csv += cell(i % 5 == 1 && i % 3 == 0, (i % 29) * 1.25) + ",";
    csv += (i % 19 == 4 ? std::string("99") : cell(i % 23 == 2, i % 97 == 0 ? 400.0 : (i % 31) - 15.0)) + ",";
    csv += i % 9 == 0 ? std::string() : "c" + std::to_string(i % 6);
    csv += ",\"" + kAwkward[static_cast<std::size_t>(i) % kAwkward.size()] + "\"\n";
  }
  return csv;
}

struct Rendered {
  std::vector<std::string> formats;             // text, Markdown, HTML, JSON; again with picture files
  std::map<std::string, std::string> pictures;  // SVG by table index and kind
  int streamed_tables = 0;                      // tables that went through a spool
  std::size_t blocks = 0;                       // blocks written out in all
};

// Runs `command` with the document holding `window` rows of a case table
// (0: every table whole) and renders it in each format, as a string and in
// pieces, without and with picture files named; the two must agree.
Rendered run(const std::string& command, const std::vector<std::string>& split, std::size_t window) {
  TestData data;
  data.csv = case_file();
  data.options.split = split;
  data.options.missing = {"x4=99"};
  auto host = make_host(data);
  host->output().stream_rows_after(window);
  run_command(*host, command);
  const host::OutputDocument& doc = host->output();
  Rendered out;
  host::PlotFiles plots;
  for (const auto& [t, picture] : host::document_pictures(doc)) {
    out.pictures[std::to_string(t) + " " + picture.kind] = picture.svg;
    plots[t] = "plots/table" + std::to_string(t) + ".svg";
  }
  using Whole = std::string (*)(const host::OutputDocument&, const host::PlotFiles&);
  using Pieces = void (*)(const host::OutputDocument&, const host::Write&, const host::PlotFiles&);
  const std::vector<std::pair<Whole, Pieces>> renderers = {{host::render_text, host::render_text_to},
                                                           {host::render_markdown, host::render_markdown_to},
                                                           {host::render_html, host::render_html_to},
                                                           {host::render_json, host::render_json_to}};
  for (const host::PlotFiles& files : {host::PlotFiles{}, plots}) {
    for (const auto& [whole, pieces] : renderers) {
      out.formats.push_back(whole(doc, files));
      std::string joined;
      pieces(
          doc, [&](std::string_view piece) { joined += piece; }, files);
      EXPECT_EQ(joined, out.formats.back()) << command;
    }
  }
  for (std::size_t t = 0; t < doc.table_count(); ++t) {
    if (!doc.table(t).streamed()) continue;
    ++out.streamed_tables;
    out.blocks += doc.table(t).spool->blocks();
  }
  return out;
}

TEST(StreamedRows, EveryFormatAsTheWholeTable) {
  struct Case {
    std::string command;
    std::vector<std::string> split;
    int streamed;  // case tables expected to stream
  };
  const std::vector<Case> cases = {
      // ID labels beside the case numbers, values of numbers and strings,
      // two split groups each with both tables.
      {"MVA x1 TO x4 /ID=id /DPATTERN DESCRIBE=x1 code /MPATTERN DESCRIBE=x4.", {"g"}, 4},
      // Case numbers alone (shown once), cases sorted on two keys with the
      // footnote that says so, variables sorted on patterns.
      {"MVA x1 TO x4 /NOUNIVARIATE /DPATTERN SORT=x2(D) x1 DESCRIBE=code /MPATTERN.", {}, 2},
      // A table every row of which is missing nothing but the ones shown.
      {"MVA x1 x3 /NOUNIVARIATE /MPATTERN NOSORT DESCRIBE=id.", {}, 1},
      // Row labels and described values that must be escaped.
      {"MVA x1 TO x4 /ID=tag /NOUNIVARIATE /DPATTERN DESCRIBE=tag /MPATTERN DESCRIBE=tag code.", {}, 2},
  };
  for (const Case& c : cases) {
    const Rendered whole = run(c.command, c.split, 0);
    EXPECT_EQ(whole.streamed_tables, 0);
    for (const std::size_t window : {std::size_t{7}, std::size_t{250}}) {
      const Rendered streamed = run(c.command, c.split, window);
      EXPECT_EQ(streamed.streamed_tables, c.streamed) << c.command << " window " << window;
      // At least a block for each table; with 7 rows a window, many.
      EXPECT_GE(streamed.blocks, static_cast<std::size_t>(window == 7 ? 20 * c.streamed : c.streamed)) << c.command;
      ASSERT_EQ(streamed.formats.size(), whole.formats.size());
      for (std::size_t f = 0; f < whole.formats.size(); ++f) {
        EXPECT_TRUE(streamed.formats[f] == whole.formats[f]) << c.command << " window " << window << " format " << f;
      }
      // The JSON, written piece by piece, is laid out and escaped exactly as
      // the JSON library dumps the same document.
      const std::string& text = streamed.formats[3];
      const std::string dumped =
          nlohmann::ordered_json::parse(text).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
      EXPECT_TRUE(dumped + "\n" == text) << c.command << " window " << window;
      // A matrix for each case table, drawn from its rows read back in order.
      int matrices = 0;
      for (const auto& [name, svg] : whole.pictures) matrices += name.find("-matrix") != std::string::npos ? 1 : 0;
      EXPECT_EQ(matrices, c.streamed) << c.command;
      ASSERT_EQ(streamed.pictures.size(), whole.pictures.size()) << c.command;
      for (const auto& [name, svg] : whole.pictures) {
        EXPECT_TRUE(streamed.pictures.at(name) == svg) << c.command << " window " << window << " picture " << name;
      }
    }
  }
}

// The row categories come back from the spool as they were written, every
// field of their labels included; a block read after one with fuller labels
// keeps nothing of them.
TEST(StreamedRows, LabelsComeBackWhole) {
  Text full, param, blank, number;
  full.kind = Text::Kind::Composite;
  full.key = "KEY_ ^1";
  full.number = -0.0;
  full.format = Format{FormatKind::Mean, 1, 12, 5};
  full.variable = -3;
  full.name = "name";
  full.label = "two\nlines";
  full.is_integer = true;
  param.kind = number.kind = Text::Kind::Number;
  param.number = 2.5e300;
  param.variable = 7;
  full.params = {param, blank};
  number.number = 123456;
  number.format.kind = FormatKind::Count;
  number.is_integer = true;

  host::PivotTable table;
  table.dimensions.resize(1);
  table.spool = host::RowSpool::open();
  ASSERT_TRUE(table.streamed());
  table.spool_dimension = 0;
  const std::vector<std::vector<Text>> blocks = {{full, number, full}, {blank, number}};
  for (const std::vector<Text>& labels : blocks) {
    host::Dimension rows;
    for (const Text& label : labels) {
      host::Category c;
      c.label = label;
      c.text = "shown";
      rows.categories.push_back(c);
    }
    ASSERT_TRUE(table.spool->write(rows, host::CellStore{}));
  }
  // Every field of a label, its parameters' included, as one text.
  const std::function<std::string(const Text&)> fields = [&](const Text& t) {
    std::string text = fmt::format("{} [{}] {} {} {} {} {} {} {} [{}] [{}] {} (", static_cast<int>(t.kind), t.key,
                                   std::signbit(t.number), t.number, static_cast<int>(t.format.kind), t.format.type,
                                   t.format.width, t.format.decimals, t.variable, t.name, t.label, t.is_integer);
    for (const Text& p : t.params) text += fields(p) + ", ";
    return text + ")";
  };
  std::size_t block = 0;
  table.spool->for_each_block(table, [&](const host::PivotTable& part) {
    if (&part == &table) return;  // the rows still held: none here
    const std::vector<host::Category>& read = part.dimensions[0].categories;
    ASSERT_EQ(read.size(), blocks[block].size());
    for (std::size_t k = 0; k < read.size(); ++k) {
      EXPECT_EQ(fields(read[k].label), fields(blocks[block][k])) << "block " << block << " row " << k;
      EXPECT_EQ(read[k].text, "shown");
    }
    ++block;
  });
  EXPECT_EQ(block, blocks.size());
}

}  // namespace
}  // namespace mva::test
