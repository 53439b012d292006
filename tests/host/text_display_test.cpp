// Tests of the display of output texts: catalogue look-up, placeholders,
// repeat groups over split lists, and number formatting.
#include "host/output/text_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/output_texts.h"

namespace mva::host {
namespace {

using namespace testing;

const char* const kNoTStat = "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT";

Text split_list() {
  return list({item({var(1, "sex"), value(1, "sex", 1, "Male")}),
               item({var(2, "region"), value(2, "region", 3, "North")})});
}

TEST(TextDisplay, FillsPlaceholdersAndRepeatGroups) {
  struct Row {
    const char* name;
    Text text;
    std::string expected;
  };
  const Row rows[] = {
      {"empty", Text{}, ""},
      {"literal", lit("as typed ^1"), "as typed ^1"},
      {"key", key("EXEC_ UNIVARIATE STATISTICS"), "Univariate Statistics"},
      {"key without entry", key("NO SUCH KEY ^1"), "NO SUCH KEY ^1"},
      {"value label", value(1, "sex", 1, "Male"), "Male"},
      {"one placeholder", comp("PARS_ BAD SUBCOMMAND ^1", {lit("FOO")}), "Unrecognized subcommand: FOO."},
      {"placeholder without parameter", comp("PARS_ BAD SUBCOMMAND ^1", {}), "Unrecognized subcommand: ^1."},
      {"escaped colon in key", comp("EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1", {lit("XYZ")}),
       "Unrecognized EM parameter: XYZ."},
      {"untranslated template", comp("^1 TO ^2", {num(90, 0), num(99, 0)}), "90 TO 99"},
      {"count parameter", comp("DATA_ SET WORKSPACE TO ^1", {count(2048)}),
       "The cases do not fit in the workspace; give at least 2048 KB (--workspace)."},
      {"split list", comp(kNoTStat, {split_list()}),
       "sex=Male, region=North: there are no missing values, so no t tests are computed."},
      {"empty split list", comp(kNoTStat, {list({})}), "There are no missing values, so no t tests are computed."},
      {"outer parameters after the list",
       comp("EOUT_ FOR [:^1=^2, :$2=$1]1, MCAR CHISQ=^2, DF=^3 PROB=^4",
            {split_list(), num(12.3456, 3), count(4), num(0.0154, 3, FormatKind::Significance)}),
       "sex=Male, region=North: Little's MCAR test: Chi-Square = 12.346, DF = 4, Sig. = 0.015"},
      {"first item in the prefix",
       comp("POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1",
            {list({item({var(1, "a")}), item({var(2, "b")}), item({var(3, "c")})})}),
       "Cases are sorted by a, b, c."},
      {"prefix form with one item", comp("POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1", {list({item({var(1, "a")})})}),
       "Cases are sorted by a."},
      {"prefix form, empty list mid-sentence", comp("POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1", {list({})}),
       "Cases are sorted by."},
      {"pairs in the prefix form", comp("NO DPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {split_list(), count(700), count(600)}),
       "sex=Male,region=North: the data patterns table is not shown: it would have 700 cells, more than the limit "
       "of 600 (--max-cells)."},
      {"repeat list alone", split_list(), "sex=Male, region=North"},
      {"composite without entry keeps its group", comp("X [:^1=^2; :]1 done", {split_list()}),
       "X sex=Male; region=North done"},
  };
  for (const Row& row : rows) EXPECT_EQ(display(row.text), row.expected) << row.name;
}

TEST(TextDisplay, TemplateEscapesAndLongPlaceholders) {
  std::vector<Text> params;
  for (int i = 1; i <= 11; ++i) params.push_back(lit(std::string("p").append(std::to_string(i))));
  EXPECT_EQ(fill_template("^11 ^1 ^10", params), "p11 p1 p10");
  EXPECT_EQ(fill_template("a\\:b \\% c\\nd \\^1", params), "a:b % c\nd ^1");
  EXPECT_EQ(fill_template("[not a group] ^2", params), "[not a group] p2");
  EXPECT_EQ(fill_template("trailing ^", params), "trailing ^");
}

TEST(TextDisplay, FormatsNumbers) {
  struct Row {
    double value;
    Format format;
    std::string expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {12.3456, format(FormatKind::GenStat, 3), "12.346"},
      {12.25, format(FormatKind::PercentNS, 1), "12.3"},   // halves away from zero
      {-12.25, format(FormatKind::PercentNS, 1), "-12.3"},
      {2.5, format(FormatKind::Count, 0), "3"},
      {7.0, format(FormatKind::Count, 2), "7"},            // counts never show decimals
      {99.95, format(FormatKind::PercentNS, 1), "100.0"},  // carry into a new digit
      {0.9996, format(FormatKind::Correlation, 3), "1.000"},
      {1e20, format(FormatKind::Count, 0), "100000000000000000000"},
      {-0.0, format(FormatKind::GenStat, 2), "0.00"},
      {-0.0004, format(FormatKind::GenStat, 3), "0.000"},
      {-0.4, format(FormatKind::Count, 0), "0"},
      {3.7, format(FormatKind::Print, -1), "4"},
      {kSysmis, format(FormatKind::Mean, 2), "."},
      {nan, format(FormatKind::Mean, 2), "."},
      {-inf, format(FormatKind::Count, 0), "."},
  };
  for (const Row& row : rows) EXPECT_EQ(format_number(row.value, row.format), row.expected) << row.value;
}

}  // namespace
}  // namespace mva::host
