// Smoke tests of the Markdown and HTML presentations: the values are there,
// and text from the data cannot break the markup.
#include <gtest/gtest.h>

#include "host/output_fixture.h"
#include "host/output/renderers.h"

namespace mva::host {
namespace {

using namespace testing;

void add_hostile_table(OutputDocument& doc) {
  doc.begin_table(26, key("MMAP_ MAP OF MISSING VALUES"), Text{});
  doc.position_dimension(26, key("MMAP_ PATTERN CODES"), {1, 1, 0, 0});
  doc.position_dimension(26, key("MMAP_ VARIABLES"), {1, 0, 1, 0});
  doc.cell_dimension(26, key("MMAP_ PATTERN CODES"));
  doc.category(26, var(1, "a|b_c"), key("MMAP_ VARIABLES"));
  doc.cell(26, value(1, "a|b_c", 9, "<b>&\"nine\"</b>"), lit("A"));
  doc.end_table(26);
  doc.add_message(lit("x < y & *z*"), 2, 3);
}

TEST(OutputMarkup, TablesValuesAndEscaping) {
  OutputDocument doc;
  build_univariate(doc);
  add_hostile_table(doc);
  const std::string md = render_markdown(doc);
  for (const char* shown : {
           "> **Warning:** The EM subcommand is given more than once",
           "**Univariate Statistics**<sup>a</sup>",
           "| Variables | Statistics / N | Statistics / Mean | Statistics / Extremes<sup>b</sup> / Low |",
           "| --- | ---: | ---: | ---: | ---: |",
           "| age | 10 | 35.20 | 0 | 2<sup>c</sup> |",
           "| a\\|b\\_c | \\<b\\>&\"nine\"\\</b\\> |",
           "> **Error:** x \\< y & \\*z\\*",
       }) {
    EXPECT_NE(md.find(shown), std::string::npos) << shown << "\n" << md;
  }
  EXPECT_EQ(md.find("<b>"), std::string::npos);

  const std::string html = render_html(doc);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(html.find("<link"), std::string::npos);  // nothing fetched
  for (const char* shown : {
           "<caption>Univariate Statistics<sup>a</sup></caption>",
           "<th colspan=\"2\">Extremes<sup>b</sup></th>",
           "<td class=\"num\">35.20</td>",
           "&lt;b&gt;&amp;&quot;nine&quot;&lt;/b&gt;",
           "x &lt; y &amp; *z*",
           "</body>\n</html>\n",
       }) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown << "\n" << html;
  }
  EXPECT_EQ(html.find("<b>"), std::string::npos);
}

}  // namespace
}  // namespace mva::host
