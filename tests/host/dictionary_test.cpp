// The dictionary: reading numbers and print formats, user-missing values in
// every form (option and dictionary file) with their errors, value labels and
// value texts, continuation slots, and the dictionary file's checks.
#include "host/data/dictionary.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <random>
#include <tuple>

#include "host/data/dictionary_json.h"
#include "host/data/missing_values.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

using test::error_of;

// A numeric "Age" (F8.0), a 4-wide "code", a 20-wide "city" and a numeric "wt" (F8.2).
Dictionary sample() {
  Dictionary d;
  d.add_numeric("Age", PrintFormat{kFormatF, 8, 0});
  d.add_string("code", 4);
  d.add_string("city", 20);
  d.add_numeric("wt", PrintFormat{kFormatF, 8, 2});
  return d;
}

TEST(NumberText, ParsesMeasuresAndFormatsNumbersLikeADataFile) {
  const std::pair<const char*, std::optional<double>> parsed[] = {
      {"12", 12.0},      {"-3.5", -3.5},      {".5", 0.5},          {"1e-3", 0.001},      {"+4", 4.0},
      {" 7 ", 7.0},      {"\t2.\t", 2.0},     {"-0", 0.0},          {"1E+2", 100.0},      {"", std::nullopt},
      {"  ", {}},        {"inf", {}},         {"nan", {}},          {"+-1", {}},          {"1,5", {}},
      {"0x1A", {}},      {"1e", {}},          {".", {}},            {"1e400", {}},        {"12abc", {}},
      {"- 1", {}},       {"1e-400", 0.0},     {"-1e-400", 0.0},     {"1e-320", 1e-320},  // below the doubles: the nearest
  };
  for (const auto& [text, value] : parsed) {
    EXPECT_EQ(parse_number(text), value) << '"' << text << '"';
    EXPECT_EQ(measure_number(text).has_value(), value.has_value()) << '"' << text << '"';
  }
  EXPECT_FALSE(std::signbit(*parse_number("-0.0")));

  // Decimals and integer digits as written.
  const std::tuple<const char*, int, int> shapes[] = {
      {"2.50", 2, 1}, {"-3.5", 1, 2}, {"00042", 0, 2}, {"1.5e-3", 4, 1}, {"1.5e3", 0, 4}, {"+7.25", 2, 1},
      {"-1E+2", 0, 4}, {"0.000", 3, 1}, {"-0.0", 1, 1}, {"12345678901234567890123", 0, 23}, {"-1e-30", 16, 2}};
  for (const auto& [text, decimals, width] : shapes) {
    const NumberShape shape = measure_number(text).value_or(NumberShape{});
    EXPECT_EQ(std::pair(shape.decimals, shape.integer_width), std::pair(decimals, width)) << text;
  }

  const PrintFormat f82{kFormatF, 8, 2};
  const std::tuple<double, PrintFormat, const char*> shown[] = {
      {2.5, f82, "2.50"},  {0.125, f82, "0.13"},  {-2.675, f82, "-2.68"},  {9.96, {kFormatF, 8, 1}, "10.0"},
      {1e-7, f82, "0.00"}, {-0.001, f82, "0.00"}, {kSystemMissing, f82, "."}, {kLowest, f82, "LO"},
      {kHighest, f82, "HI"}, {12345.678, {kFormatF, 6, 2}, "12346"}, {123456789.0, {kFormatF, 6, 0}, "1E+08"},
  };
  for (const auto& [value, format, text] : shown) EXPECT_EQ(format_value(value, format), text) << value;
}

TEST(NumberText, ParsesToTheCorrectlyRoundedDouble) {
  // Short forms take a fast path of their own; long mantissas and large
  // exponents go to from_chars. Either way the result must be the double
  // from_chars gives for the same text.
  std::mt19937 random(20240501);
  const auto digits = [&](int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  std::vector<std::string> texts = {"9007199254740993", "123456789012345678901234567890", "0.1",
                                    "2.2250738585072014e-308", "1.7976931348623157e308", "4.9e-324"};
  for (int trial = 0; trial < 200000; ++trial) {
    std::string text = (random() % 4 == 0 ? "-" : "") + digits(static_cast<int>(random() % 12));
    if (random() % 2) text += "." + digits(1 + static_cast<int>(random() % 12));
    if (text.empty() || text == "-") text += "1";
    if (random() % 5 == 0) text += "e" + std::to_string(static_cast<int>(random() % 80) - 40);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(parse_number(text), expected) << text;
  }
}

TEST(NumberText, ReadsAndWritesPrintFormats) {
  const std::pair<const char*, const char*> good[] = {{"F8.2", "F8.2"}, {"f5", "F5.0"}, {" A10 ", "A10"},
                                                      {"F40.16", "F40.16"}};
  for (const auto& [text, written] : good) EXPECT_EQ(print_format_text(parse_print_format(text, "x")), written);
  const std::pair<const char*, const char*> bad[] = {
      {"", "x: format \"\" is empty"},  {"E8.2", "is not understood"}, {"F8.x", "is not understood"},
      {"A8.2", "has decimals, which A formats do not take"},            {"F0.0", "has width 0"},
      {"F41.2", "has width 41"},        {"F4.4", "has 4 decimals, too many for width 4"},
  };
  for (const auto& [text, message] : bad) {
    EXPECT_NE(error_of([&] { parse_print_format(text, "x"); }).find(message), std::string::npos) << text;
  }
}

// The missing values of a variable as "form: values", LO and HI by name,
// texts in brackets.
std::string missing_of(const VarRecord& r) {
  std::string out = std::to_string(r.missing_form) + ":";
  for (int i = 0; i < 3; ++i) {
    const double v = r.missing[static_cast<std::size_t>(i)];
    out += " " + (r.type > 0 ? "[" + r.missing_text[static_cast<std::size_t>(i)] + "]"
                             : v == kLowest ? "LO" : v == kHighest ? "HI" : fmt::format("{}", v));
  }
  return out;
}

TEST(Dictionary, StoresMissingValuesOfEveryForm) {
  const std::pair<const char*, std::string> options[] = {
      {"age = 1, 2 ,3", "3: 1 2 3"},   {"AGE=90:99", "-2: 90 99 0"},     {"age=0,90:99", "-3: 90 99 0"},
      {"age=lowest:5", "-2: LO 5 0"},  {"age=90:HI", "-2: 90 HI 0"},     {"age=", "0: 0 0 0"},
      {"code=NONE,N/A", "2: [NONE] [N/A ] []"},  // padded to the width
      {"city=unknown", "1: [unknown" + std::string(13, ' ') + "] [] []"},
  };
  for (const auto& [option, expected] : options) {
    Dictionary d = sample();
    d.set_missing(1, parse_missing_option("age=7,8,9").spec, "setup");  // replaced, not added to
    const MissingOption parsed = parse_missing_option(option);
    const std::int64_t v = d.find(parsed.variable);
    d.set_missing(v, parsed.spec, option);
    EXPECT_EQ(missing_of(d.slot(v)), expected) << option;
  }
  const std::pair<const char*, const char*> files[] = {
      {R"({"values": [9, "-1.5"]})", "2: 9 -1.5 0"}, {R"({"range": [90, 99], "value": 0})", "-3: 90 99 0"},
      {R"({"range": ["LO", 5]})", "-2: LO 5 0"},     {R"(null)", "0: 0 0 0"},
  };
  for (const auto& [missing, expected] : files) {
    Dictionary d = sample();
    const std::string text = std::string(R"({"variables": [{"name": "age", "missing": )") + missing + "}]}";
    apply_dictionary_json(d, nlohmann::json::parse(text), "d.json");
    EXPECT_EQ(missing_of(d.slot(1)), expected) << missing;
  }
}

TEST(Dictionary, RejectsBadMissingValues) {
  const std::pair<std::string, std::string> rows[] = {
      {"age=1,2,3,4", "--missing 'age=1,2,3,4': at most three missing values are allowed (4 given)"},
      {"age=90:99,1,2", "a range of missing values can go with one more value, not 2"},
      {"age=1:2,3:4", "only one range is allowed"},     {"age=LO", "LO can only end a range"},
      {"age=99:90", "the range 99:90 has its low end above its high end"},
      {"age=9x", "--missing 'age=9x': \"9x\" is not a number"},
      {"age=HI:5", "HI cannot be the low end of a range"}, {"age=1,,2", "an empty value in the list"},
      {"age=:5", "needs both ends"}, {"age", "expected VARIABLE=VALUES"}, {"=5", "no variable named before '='"},
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

TEST(Dictionary, RejectsBadDictionaryFiles) {
  const std::pair<std::string, std::string> rows[] = {
      {R"({"variables": [{"name": "age", "lable": "x"}]})", "d.json: variable \"age\": unknown field \"lable\""},
      {R"({"variables": [{"name": "nope"}]})", "d.json: the variable \"nope\" is not in the data"},
      {R"({"variables": [{"label": "x"}]})", "d.json: variables[0]: has no \"name\""},
      {R"({"variables": [{"name": "age"}, {"name": "AGE"}]})", "the variable \"AGE\" is described twice"},
      {R"({"variables": [{"name": "age", "type": "string"}]})", "is declared string, but it is a numeric variable"},
      {R"({"variables": [{"name": "code", "width": 6}]})", "is declared with width 6, but it has width 4"},
      {R"({"variables": [{"name": "age", "format": "A8"}]})", "Age is a numeric variable and cannot take the format A8"},
      {R"({"variables": [{"name": "age", "missing": {"value": 1}}]})",
       "d.json: variable \"age\": a missing \"value\" goes with a \"range\""},
      {R"({"variables": [{"name": "age", "missing": {"values": [1], "range": [2, 3]}}]})", "not both"},
      {R"({"variables": [{"name": "age", "missing": {"values": [true]}}]})", "must be a number or a text, not boolean"},
      {R"({"variables": [{"name": "age", "value_labels": {"one": "x"}}]})",
       "the labelled value \"one\" of the numeric variable Age is not a number"},
      {R"({"variables": [{"name": "age", "value_labels": {"1": "x", "1.0": "y"}}]})", "is labelled twice"},
      {R"({"variables": [{"name": "code", "value_labels": {"LONGER": "x"}}]})", "longer than the width 4 of code"},
      {R"({"weight": "code"})", "d.json: the weight variable must be numeric, and code is a string variable"},
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

TEST(Dictionary, FindsVariablesAndGivesValueTexts) {
  Dictionary d = sample();
  EXPECT_EQ(d.variables(), (std::vector<std::int64_t>{1, 2, 3, 6}));  // city takes 3, 4 and 5
  EXPECT_EQ(d.find("City"), 3);
  EXPECT_THROW(d.slot(7), std::out_of_range);
  apply_dictionary_json(d, nlohmann::json::parse(R"({"variables": [
      {"name": "age", "format": "F8.1", "value_labels": {"1": "One", "2.5": "Two and a half"}},
      {"name": "code", "value_labels": {"AB": "Alpha Bravo"}},
      {"name": "city", "value_labels": {"Zurich": "Zürich", "Rio de Janeiro": "Rio"}}]})"),
                        "d.json");
  // A string's value by its whole text, or by the first cell of a wider string.
  EXPECT_EQ(d.value_text(1, 2.5) + "/" + d.value_text(1, 3.0) + "/" + d.value_text(6, -0.5) + "/" +
                d.value_text(2, cell_of_chars("AB")) + "/" + d.value_text(3, std::string_view("Rio de Janeiro      ")) +
                "/" + d.value_text(3, std::string_view("Geneva              ")) + "/" +
                d.value_text(3, cell_of_chars("Zurich")) + "/" + d.value_text(3, cell_of_chars("Rio de J")),
            "Two and a half/3.0/-0.50/Alpha Bravo/Rio/Geneva/Zürich/Rio de J");
}

}  // namespace
}  // namespace mva::host
