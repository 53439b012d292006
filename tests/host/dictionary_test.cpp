// Tests of the dictionary: reading numbers and print formats, user-missing
// values in every form (option and dictionary file) with their errors, value
// labels and value texts, continuation slots, and the dictionary file's
// checks and round trip.
#include "host/data/dictionary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/data/data_error.h"
#include "host/data/dictionary_json.h"
#include "host/data/missing_values.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {
namespace {

std::string error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const DataError& error) {
    return error.what();
  }
  return "(no error)";
}

// A dictionary with a numeric "age" (F8.0), a 4-wide "code" and a 20-wide "city".
Dictionary sample() {
  Dictionary d;
  d.add_numeric("Age", PrintFormat{kFormatF, 8, 0});
  d.add_string("code", 4);
  d.add_string("city", 20);
  d.add_numeric("wt", PrintFormat{kFormatF, 8, 2});
  return d;
}

TEST(NumberText, ParsesNumbersLikeADataFile) {
  struct Row {
    const char* text;
    std::optional<double> value;
  };
  const std::vector<Row> rows = {
      {"12", 12.0},      {"-3.5", -3.5},   {".5", 0.5},      {"1e-3", 0.001}, {"+4", 4.0},
      {" 7 ", 7.0},      {"\t2.\t", 2.0},  {"-0", 0.0},      {"1E+2", 100.0}, {"", std::nullopt},
      {"  ", std::nullopt}, {"inf", std::nullopt}, {"-inf", std::nullopt}, {"nan", std::nullopt},
      {"+-1", std::nullopt}, {"1,5", std::nullopt}, {"0x1A", std::nullopt}, {"1e", std::nullopt},
      {".", std::nullopt}, {"1e999", std::nullopt}, {"12abc", std::nullopt}, {"- 1", std::nullopt},
      {"1e-400", 0.0},   {"-1e-400", 0.0}, {"1e-320", 1e-320},  // below the doubles: the nearest
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parse_number(row.text), row.value) << '"' << row.text << '"';
    EXPECT_EQ(measure_number(row.text).has_value(), row.value.has_value()) << '"' << row.text << '"';
  }
  EXPECT_FALSE(std::signbit(*parse_number("-0.0")));
  EXPECT_EQ(kLowest, std::nextafter(kSystemMissing, 0.0));
}

TEST(NumberText, ParsesToTheCorrectlyRoundedDouble) {
  // Short forms take a fast path of their own; long mantissas and large
  // exponents go to from_chars. Either way the result must be the double
  // from_chars gives for the same text.
  std::mt19937 random(20240501);
  auto digits = [&](int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  for (int trial = 0; trial < 200000; ++trial) {
    std::string text = random() % 4 == 0 ? "-" : "";
    text += digits(static_cast<int>(random() % 12));
    if (random() % 2) text += "." + digits(1 + static_cast<int>(random() % 12));
    if (text.empty() || text == "-") text += "1";
    if (random() % 5 == 0) text += "e" + std::to_string(static_cast<int>(random() % 80) - 40);
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    if (expected == 0.0) expected = 0.0;
    const auto value = parse_number(text);
    ASSERT_TRUE(value) << text;
    ASSERT_EQ(*value, expected) << text;
  }
  for (const char* text : {"9007199254740993", "123456789012345678901234567890", "0.1", "0.3",
                           "2.2250738585072014e-308", "1.7976931348623157e308", "4.9e-324"}) {
    double expected = 0.0;
    std::from_chars(text, text + std::strlen(text), expected);
    EXPECT_EQ(parse_number(text), expected) << text;
  }
}

TEST(NumberText, MeasuresNumbersAsWritten) {
  struct Row {
    const char* text;
    int decimals;
    int integer_width;
  };
  const std::vector<Row> rows = {
      {"2.50", 2, 1}, {"12", 0, 2}, {"-3.5", 1, 2}, {".5", 1, 1}, {"-0.25", 2, 2},
      {"00042", 0, 2}, {"1e-3", 3, 1}, {"1.5e-3", 4, 1}, {"1.5e3", 0, 4}, {"123456.7", 1, 6},
      {"-0", 0, 1}, {"+7.25", 2, 1}, {"1e2", 0, 3}, {"-1E+2", 0, 4}, {"0.000", 3, 1},
      {"-0.0", 1, 1}, {"12345678901234567890123", 0, 23}, {"-1e-30", 16, 2},
  };
  for (const Row& row : rows) {
    const auto shape = measure_number(row.text);
    ASSERT_TRUE(shape) << row.text;
    EXPECT_EQ(shape->decimals, row.decimals) << row.text;
    EXPECT_EQ(shape->integer_width, row.integer_width) << row.text;
  }
}

TEST(NumberText, ReadsAndWritesPrintFormats) {
  struct Good {
    const char* text;
    PrintFormat format;
    const char* written;
  };
  const std::vector<Good> good = {
      {"F8.2", {kFormatF, 8, 2}, "F8.2"}, {"f5", {kFormatF, 5, 0}, "F5.0"},
      {" A10 ", {kFormatA, 10, 0}, "A10"}, {"F40.16", {kFormatF, 40, 16}, "F40.16"},
  };
  for (const Good& row : good) {
    const PrintFormat format = parse_print_format(row.text, "x");
    EXPECT_EQ(format.type, row.format.type) << row.text;
    EXPECT_EQ(format.width, row.format.width) << row.text;
    EXPECT_EQ(format.decimals, row.format.decimals) << row.text;
    EXPECT_EQ(print_format_text(format), row.written);
  }
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"", "x: format \"\" is empty"},
      {"E8.2", "is not understood"},
      {"F8.x", "is not understood"},
      {"A8.2", "has decimals, which A formats do not take"},
      {"F0.0", "has width 0"},
      {"F41.2", "has width 41"},
      {"F4.4", "has 4 decimals, too many for width 4"},
  };
  for (const auto& [text, message] : bad) {
    EXPECT_NE(error_of([&] { parse_print_format(text, "x"); }).find(message), std::string::npos) << text;
  }
}

TEST(NumberText, ShowsValuesInTheirPrintFormat) {
  struct Row {
    double value;
    PrintFormat format;
    const char* text;
  };
  const std::vector<Row> rows = {
      {2.5, {kFormatF, 8, 2}, "2.50"},       {-1.0, {kFormatF, 8, 0}, "-1"},
      {0.125, {kFormatF, 8, 2}, "0.13"},    {-2.675, {kFormatF, 8, 2}, "-2.68"},
      {12.25, {kFormatF, 8, 1}, "12.3"},    {9.96, {kFormatF, 8, 1}, "10.0"},
      {1e-7, {kFormatF, 8, 2}, "0.00"},    {3.0, {kFormatF, 8, 2}, "3.00"},     {-0.001, {kFormatF, 8, 2}, "0.00"},
      {kSystemMissing, {kFormatF, 8, 2}, "."},      {kLowest, {kFormatF, 8, 2}, "LO"},
      {kHighest, {kFormatF, 8, 2}, "HI"},    {12345.678, {kFormatF, 6, 2}, "12346"},
      {123456789.0, {kFormatF, 6, 0}, "1E+08"}, {1234.5, {kFormatF, 8, 3}, "1234.500"},
  };
  for (const Row& row : rows) EXPECT_EQ(format_value(row.value, row.format), row.text) << row.value;
}

TEST(Dictionary, FindsVariablesByNameNotByContinuationSlot) {
  const Dictionary d = sample();
  EXPECT_EQ(d.variables(), (std::vector<std::int64_t>{1, 2, 3, 6}));  // city takes 3, 4 and 5
  EXPECT_EQ(d.slot(5).type, -2);
  EXPECT_EQ(d.find("AGE"), 1);
  EXPECT_EQ(d.find("City"), 3);
  EXPECT_EQ(d.find(""), 0);
  EXPECT_THROW(d.slot(7), std::out_of_range);
}

TEST(Dictionary, StoresMissingValuesFromOptions) {
  struct Row {
    const char* option;
    std::int64_t slot;
    int form;
    std::array<double, 3> values;
    std::array<std::string, 3> texts;
  };
  const std::vector<Row> rows = {
      {"age=9,99", 1, 2, {9, 99, 0}, {}},
      {"age = 1, 2 ,3", 1, 3, {1, 2, 3}, {}},
      {"AGE=90:99", 1, kMissingRange, {90, 99, 0}, {}},
      {"age=90:99,0", 1, kMissingRangeOne, {90, 99, 0}, {}},
      {"age=0,90:99", 1, kMissingRangeOne, {90, 99, 0}, {}},
      {"age=LO:5", 1, kMissingRange, {kLowest, 5, 0}, {}},
      {"age=lowest:5", 1, kMissingRange, {kLowest, 5, 0}, {}},
      {"age=90:HI", 1, kMissingRange, {90, kHighest, 0}, {}},
      {"age=", 1, kNoMissing, {0, 0, 0}, {}},
      {"code=NONE,N/A", 2, 2, {}, {"NONE", "N/A "}},
      {"city=unknown", 3, 1, {}, {std::string("unknown") + std::string(13, ' ')}},
  };
  for (const Row& row : rows) {
    Dictionary d = sample();
    d.set_missing(1, parse_missing_option("age=1,2,3").spec, "setup");  // replaced, not added to
    const MissingOption option = parse_missing_option(row.option);
    const std::int64_t v = d.find(option.variable);
    ASSERT_EQ(v, row.slot) << row.option;
    d.set_missing(v, option.spec, row.option);
    const VarRecord& r = d.slot(v);
    EXPECT_EQ(r.missing_form, row.form) << row.option;
    if (r.type == 0) {
      EXPECT_EQ(r.missing, row.values) << row.option;
    } else {
      EXPECT_EQ(r.missing_text, row.texts) << row.option;
    }
  }
}

TEST(Dictionary, RejectsBadMissingValues) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"age=1,2,3,4", "--missing 'age=1,2,3,4': at most three missing values are allowed (4 given)"},
      {"age=90:99,1,2", "a range of missing values can go with one more value, not 2"},
      {"age=1:2,3:4", "only one range is allowed"},
      {"age=99:90", "the range 99:90 has its low end above its high end"},
      {"age=9x", "--missing 'age=9x': \"9x\" is not a number"},
      {"age=LO", "LO can only end a range"},
      {"age=HI:5", "HI cannot be the low end of a range"},
      {"age=1,,2", "an empty value in the list"},
      {"age=:5", "needs both ends"},
      {"age", "expected VARIABLE=VALUES"},
      {"=5", "no variable named before '='"},
      {"code=A:B", "a range of missing values applies only to numeric variables, and code is a string variable"},
      {"code=TOOLONG", "the missing value \"TOOLONG\" is longer than the width 4 of code"},
      {"city=ninechars", "--missing 'city=ninechars': the missing value \"ninechars\" of city is 9 characters "
                         "long; a string missing value has at most 8 characters"},
  };
  for (const auto& [option, message] : rows) {
    const std::string error = error_of([&] {
      Dictionary d = sample();
      const MissingOption parsed = parse_missing_option(option);
      d.set_missing(d.find(parsed.variable), parsed.spec, "--missing '" + option + "'");
    });
    EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nwanted: " << message;
  }
}

TEST(Dictionary, StoresMissingValuesFromTheDictionaryFile) {
  struct Row {
    const char* missing;
    int form;
    std::array<double, 3> values;
  };
  const std::vector<Row> rows = {
      {R"({"values": [9, "-1.5"]})", 2, {9, -1.5, 0}},
      {R"({"range": [90, 99], "value": 0})", kMissingRangeOne, {90, 99, 0}},
      {R"({"range": ["LO", 5]})", kMissingRange, {kLowest, 5, 0}},
      {R"(null)", kNoMissing, {0, 0, 0}},
  };
  for (const Row& row : rows) {
    Dictionary d = sample();
    apply_dictionary_json(d, nlohmann::json::parse(std::string(R"({"variables": [{"name": "age", "missing": )") +
                                       row.missing + "}]}"),
                 "d.json");
    EXPECT_EQ(d.slot(1).missing_form, row.form) << row.missing;
    EXPECT_EQ(d.slot(1).missing, row.values) << row.missing;
  }
}

TEST(Dictionary, RejectsBadDictionaryFiles) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {R"({"variables": [{"name": "age", "lable": "x"}]})",
       "d.json: variable \"age\": unknown field \"lable\""},
      {R"({"variables": [{"name": "nope"}]})", "d.json: the variable \"nope\" is not in the data"},
      {R"({"variables": [{"label": "x"}]})", "d.json: variables[0]: has no \"name\""},
      {R"({"variables": [{"name": "age"}, {"name": "AGE"}]})", "the variable \"AGE\" is described twice"},
      {R"({"variables": [{"name": "age", "type": "text"}]})", "\"type\" must be \"numeric\" or \"string\""},
      {R"({"variables": [{"name": "age", "type": "string"}]})", "is declared string, but it is a numeric variable"},
      {R"({"variables": [{"name": "code", "width": 6}]})", "is declared with width 6, but it has width 4"},
      {R"({"variables": [{"name": "age", "format": "A8"}]})", "Age is a numeric variable and cannot take the format A8"},
      {R"({"variables": [{"name": "code", "format": "F8.2"}]})", "code is a string variable and cannot take the format F8.2"},
      {R"({"variables": [{"name": "age", "missing": {"values": [1, 2, 3, 4]}}]})",
       "d.json: variable \"age\": at most three missing values are allowed (4 given)"},
      {R"({"variables": [{"name": "age", "missing": {"value": 1}}]})", "a missing \"value\" goes with a \"range\""},
      {R"({"variables": [{"name": "age", "missing": {"values": [1], "range": [2, 3]}}]})", "not both"},
      {R"({"variables": [{"name": "age", "missing": {"values": [true]}}]})", "must be a number or a text, not boolean"},
      {R"({"variables": [{"name": "code", "missing": {"range": ["A", "B"]}}]})", "applies only to numeric variables"},
      {R"({"variables": [{"name": "city", "missing": {"values": ["unknown", "not known"]}}]})",
       "d.json: variable \"city\": the missing value \"not known\" of city is 9 characters long; a string "
       "missing value has at most 8 characters"},
      {R"({"variables": [{"name": "age", "value_labels": {"one": "x"}}]})",
       "the labelled value \"one\" of the numeric variable Age is not a number"},
      {R"({"variables": [{"name": "age", "value_labels": {"1": "x", "1.0": "y"}}]})", "is labelled twice"},
      {R"({"variables": [{"name": "code", "value_labels": {"LONGER": "x"}}]})", "longer than the width 4 of code"},
      {R"({"weight": "code"})", "d.json: the weight variable must be numeric, and code is a string variable"},
      {R"({"weight": "nobody"})", "d.json: there is no variable named \"nobody\""},
      {R"({"split": ["age", "Age"]})", "the split variable Age is named twice"},
      {R"([1, 2])", "the dictionary must be a JSON object"},
  };
  for (const auto& [text, message] : rows) {
    const std::string error = error_of([&] {
      Dictionary d = sample();
      apply_dictionary_json(d, nlohmann::json::parse(text), "d.json");
    });
    EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nwanted: " << message;
  }
  const std::string syntax = error_of([] { DictionaryFile::parse_text("{\n  \"variables\": [,]\n}", "d.json"); });
  EXPECT_NE(syntax.find("d.json: invalid JSON: parse error at line 2, column 17"), std::string::npos) << syntax;
}

TEST(Dictionary, GivesValueTextsAndLabels) {
  Dictionary d = sample();
  apply_dictionary_json(d, nlohmann::json::parse(R"({"variables": [
      {"name": "age", "format": "F8.1", "value_labels": {"1": "One", "2.5": "Two and a half"}},
      {"name": "code", "value_labels": {"AB": "Alpha Bravo"}},
      {"name": "city", "value_labels": {"Zurich": "Zürich", "Rio de Janeiro": "Rio"}}]})"),
               "d.json");
  EXPECT_EQ(d.value_text(1, 1.0), "One");
  EXPECT_EQ(d.value_text(1, 2.5), "Two and a half");
  EXPECT_EQ(d.value_text(1, 3.0), "3.0");
  EXPECT_EQ(d.value_text(1, kSystemMissing), ".");
  EXPECT_EQ(d.value_label(1, 3.0), std::nullopt);
  EXPECT_EQ(d.value_text(2, cell_of_chars("AB")), "Alpha Bravo");
  EXPECT_EQ(d.value_text(2, cell_of_chars("CD")), "CD");
  EXPECT_EQ(d.value_text(2, std::string_view("AB  ")), "Alpha Bravo");
  EXPECT_EQ(d.value_text(3, std::string_view("Rio de Janeiro      ")), "Rio");
  EXPECT_EQ(d.value_text(3, std::string_view("Geneva              ")), "Geneva");
  EXPECT_EQ(d.value_text(3, cell_of_chars("Zurich")), "Zürich");  // first cell of a wider string
  EXPECT_EQ(d.value_text(3, cell_of_chars("Rio de J")), "Rio de J");
  EXPECT_EQ(d.value_text(6, 1.0), "1.00");
  EXPECT_EQ(d.value_text(6, -0.5), "-0.50");
}

}  // namespace
}  // namespace mva::host
