// Reading the data: the CSV reader, the loading pass (in place and the long
// way agree), type and format inference, the options and errors named by
// their place, the case reader; the dictionary's missing values, labels and
// file checks.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <random>
#include <sstream>
#include <tuple>

#include "host/data/csv_reader.h"
#include "host/data/data_set.h"
#include "host/data/dictionary_json.h"
#include "host/data/missing_values.h"
#include "host/data/number_text.h"
#include "host/output/text_display.h"
#include "host/reference_host.h"
#include "mva/frame/host/workspace.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

using Next = CaseReader::Next;
using nlohmann::json;
using test::cases_of;
using test::error_of;
using testing::IsSubstring;
using Records = std::vector<std::vector<std::string>>;

Records read_all(std::string_view text, char delimiter = ',') {
  CsvReader reader(text, delimiter, "t.csv");
  Records records;
  while (reader.next()) records.emplace_back(reader.fields().begin(), reader.fields().end());
  return records;
}

DataOptions named(std::vector<std::string> split = {}, std::optional<std::string> weight = {},
                  std::vector<std::string> missing = {}, std::vector<std::string> na = {}, char decimal = 0) {
  DataOptions options;
  std::tie(options.data_path, options.na_tokens, options.missing, options.weight, options.split) =
      std::tie("d.csv", na, missing, weight, split);
  if (decimal != 0) options.decimal = decimal;
  return options;
}

TEST(CsvReader, ReadsWellFormedInputAndDetectsTheDelimiter) {
  const std::tuple<std::string, char, Records> rows[] = {
      {"a,b\r\n1,2\r3,4", ',', {{"a", "b"}, {"1", "2"}, {"3", "4"}}},       // CRLF, lone CR, no final line end
      {"\xEF\xBB\xBF\na,b\n\n\r\n1,2\n\n", ',', {{"a", "b"}, {"1", "2"}}},  // byte-order mark, empty lines
      {"a,b\n\"x,y\",\"say \"\"hi\"\"\"\n", ',', {{"a", "b"}, {"x,y", "say \"hi\""}}},
      {"a\r\n\"x\r\ny\"\r\n\"\"\"\"\n", ',', {{"a"}, {"x\r\ny"}, {"\""}}},
      {"a,b\nx\"y, x \n", ',', {{"a", "b"}, {"x\"y", " x "}}},  // a quote inside a field, blanks kept
      {"a;b\n1,5;\n", ';', {{"a", "b"}, {"1,5", ""}}},
      {"", ',', {}},
      // One column: an empty line is a record (the last line end starts none);
      // empty lines before the header are skipped; with more columns, no record.
      {"x\n1\n\n2\n\n", ',', {{"x"}, {"1"}, {""}, {"2"}, {""}}},
      {"\n\r\nx\r\n\r\n\r1", ',', {{"x"}, {""}, {""}, {"1"}}},
  };
  for (const auto& [text, delimiter, expected] : rows) EXPECT_EQ(read_all(text, delimiter), expected) << text;

  // More escaped text than the scratch buffer starts with: the views must
  // stay valid as it grows.
  std::string csv = std::string(49, ',') + "\n";  // 50 fields
  std::vector<std::string> expected;
  for (int k = 0; k < 50; ++k) {
    expected.push_back(std::string(40 + k, 'x') + "\"");
    csv += (k > 0 ? ",\"" : "\"") + expected.back() + "\"\"";
  }
  EXPECT_EQ(read_all(csv + "\n").at(1), expected);

  // The delimiter is detected from the header.
  const std::pair<std::string, char> headers[] = {
      {"a,b,c\n1;2;3;4;5\n", ','},
      {"\"x;y;z\",b,c\n", ','},  // only the header counts, outside quotes
      {"a;b,c\n", ','},
      {"single\n", ','},  // a tie goes to the comma
      {"\xEF\xBB\xBF"
       "a;b",
       ';'},
      {"a\tb;c\td\n", '\t'},
  };
  for (const auto& [csv, delimiter] : headers) EXPECT_EQ(CsvReader::detect_delimiter(csv), delimiter) << csv;
}

// The cases of each row's data and each variable's type and print format,
// read in place or the long way (quoted cells, NA words, marks).
TEST(DataSet, ReadsCellsTypesAndFormatsAsWritten) {
  const struct {
    std::string csv;
    std::vector<std::string> cases;
    std::string types;
    DataOptions options = named();
    std::string dictionary = "";
  } rows[] = {
      {"a,b,c\n1,-2.5,+4\n.5,,1e-3\n-0,7,\n", {"1|-2.5|4;2", "0.5|.|0.001;3", "0|7|.;4"}, "0 F8.1, 0 F8.1, 0 F8.3"},
      // Decimals as written, capped; the longest text in bytes; trailing
      // blanks do not widen; inf and numbers out of range are text.
      {"x\n1\n22\n-3\n", {"1;2", "22;3", "-3;4"}, "0 F8.0"},
      {"x\n2.50\n1\n.5\n", {"2.5;2", "1;3", "0.5;4"}, "0 F8.2"},
      {"x\n0.12345678\n", {"0.12345678;2"}, "0 F8.6"},
      {"x\n1e-3\n+4\n", {"0.001;2", "4;3"}, "0 F8.3"},
      {"x\n-123456789.25\n", {"-123456789.25;2"}, "0 F13.2"},
      {"x\nNA\n.\n\"\"\n 7 \n", {".;2", ".;3", ".;4", "7;5"}, "0 F8.0"},
      {"x\nNA\n\"\"\n", {".;2", ".;3"}, "0 F8.0"},
      {"x\n12\nabc\n", {"12;2", "abc;3"}, "3 A3"},
      {"x\nZ\xC3\xBCrich\nBern\n", {"Z\xC3\xBCrich;2", "Bern;3"}, "7 A7"},
      {"x\nab   \nx\n", {"ab;2", "x;3"}, "2 A2"},
      {"x\n1\ninf\n", {"1;2", "inf;3"}, "3 A3"},
      {"x\n\"1,5\"\n", {"1,5;2"}, "3 A3"},
      {"x\n1e400\n", {"1e400;2"}, "5 A5"},
      // NA words, blanks and quotes between plain records
      {"a,b\n1,2\nNA,3\n 4 ,\"5\"\n6,.\n7,8", {"1|2;2", ".|3;3", "4|5;4", "6|.;5", "7|8;6"}, "0 F8.0, 0 F8.0"},
      // a column turns to text after numbers: their text is kept
      {"n,s\n1,12\n2,3.50\n3,abc\n4,\n", {"1|12;2", "2|3.50;3", "3|abc;4", "4|;5"}, "0 F8.0, 4 A4"},
      // quoted line ends, empty lines and CRLF move the lines
      {"a,s\r\n1,x\r\n2,\"two\nlines\"\r\n\r\n3,y\r\n", {"1|x;2", "2|two\nlines;3", "3|y;6"}, "0 F8.0, 9 A9"},
      {"s,n\nab,1\nabcdef,2\nabc,3\n", {"ab|1;2", "abcdef|2;3", "abc|3;4"}, "6 A6, 0 F8.0"},  // a longer text widens
      // A string over three cells; a cell without value is blank and does not count in the width.
      {"id,city\n1,Rio de Janeiro and more\n2,NA\n", {"1|Rio de Janeiro and more;2", "2|;3"}, "0 F8.0, 23 A23"},
      // NA tokens from the options replace the defaults and are trimmed
      {"a,b\n-99,NA\nn/a,.\n4,\n", {".|NA;2", ".|.;3", "4|;4"}, "0 F8.0, 2 A2", named({}, {}, {}, {"-99", " n/a "})},
      // What pandas and R write for no value, and the cell that is not one.
      {"x,s\nNaN,NaN\nnan,nan\nNULL,NULL\nNone,None\nN/A,N/A\nn/a,n/a\n#N/A,#N/A\n<NA>,<NA>\nNA,NA\n.,.\n,\n1,a\n",
       {".|;2", ".|;3", ".|;4", ".|;5", ".|;6", ".|;7", ".|;8", ".|;9", ".|;10", ".|;11", ".|;12", "1|a;13"},
       "0 F8.0, 1 A1"},
      // A token that a string column declares as its own missing value is
      // that value there, not blank.
      {"s,x\nN/A,1\nab,NaN\n,2\n",
       {"N/A|1;2", "ab|.;3", "|2;4"},
       "3 A3, 0 F8.0",
       named(),
       R"({"variables": [{"name": "s", "missing": {"values": ["N/A"]}}]})"},
      // Declared types and widths.
      {"zip,n,name\n007,1,Al\n", {"007|1|Al;2"}, "3 A3, 0 F12.0, 10 A10", named(), R"({"variables": [
      {"name": "ZIP", "type": "string"}, {"name": "n", "width": 12}, {"name": "name", "width": 10}]})"},
      // With ';' each column takes the mark its numbers use; quoted or not.
      {"a;b;c;d\n1,5;2;x;1.5\n\"2\";3,25;y;-2\n-,5;\"1,0\";z;\n",
       {"1.5|2|x|1.5;2", "2|3.25|y|-2;3", "-0.5|1|z|.;4"},
       "0 F8.1, 0 F8.2, 1 A1, 0 F8.1"},
      // Both marks in one column, or a point beside a comma: text.
      {"a;b\n1,5;1.234,5\n2.5;1\n", {"1,5|1.234,5;2", "2.5|1;3"}, "3 A3, 7 A7"},
      // Long mantissas and exponents, which the in-place reader leaves to the long way.
      {"a;b\n12345678901234567890,5;1,5e3\n1;2E-2\n", {"1.2345678901234567e+19|1500;2", "1|0.02;3"}, "0 F22.1, 0 F8.2"},
      // Told: a comma everywhere (any delimiter but the comma), or a point everywhere.
      {"a\tb\n1,5\t1.5\n", {"1.5|1.5;2"}, "0 F8.1, 3 A3", named({}, {}, {}, {}, ',')},
      {"a;b\n1,5;1.5\n", {"1,5|1.5;2"}, "3 A3, 0 F8.1", named({}, {}, {}, {}, '.')},
      // One column: an empty line is a case without a value.
      {"x\r\n1\r\n\r\n\r\n2.5\r\n\r\n", {"1;2", ".;3", ".;4", "2.5;5", ".;6"}, "0 F8.1"},
  };
  for (const auto& r : rows) {
    const DataSet data = DataSet::from_text(r.csv, r.options, r.dictionary);
    EXPECT_EQ(cases_of(data), r.cases) << r.csv;
    std::string types;
    for (const std::int64_t v : data.dictionary().variables()) {
      const VarRecord& x = data.dictionary().slot(v);
      types += fmt::format("{}{} {}", types.empty() ? "" : ", ", x.type, print_format_text(x.format));
    }
    EXPECT_EQ(types, r.types) << r.csv;
  }
  // A decimal mark told is not noted.
  EXPECT_TRUE(DataSet::from_text("a;b\n1,5;2\n", named({}, {}, {}, {}, ',')).notes().empty());
}

// The cases and both columns' print formats of `csv`, as one text.
std::string read_back(const std::string& csv) {
  const DataSet data = DataSet::from_text(csv, {});
  return fmt::format("{} {} {}", fmt::join(cases_of(data), " "), print_format_text(data.dictionary().slot(1).format),
                     print_format_text(data.dictionary().slot(2).format));
}

TEST(LoadingPass, CellsReadInPlaceAsTheCheckedPathReadsThem) {
  // Each form, and a fraction of every run length from 0 to 21 digits (read
  // eight bytes at a time where eight bytes are left) followed by each byte
  // that borders the digits or by nothing, is read in place and quoted (the
  // checked path) in the first column (the delimiter follows) and in the last
  // (a line end or the end of the text follows), at several distances from
  // the end: the cells, types and formats must agree, and a number must read
  // as parse_number reads it. The long zeros first make the later cells short
  // enough to be read in place.
  std::vector<std::string> cells;
  std::istringstream forms(
      "0 -0 +7 -007.50 .5 -.5 5. 12345678 0.00000012 1e3 -1.5E-2 123456789012345678901 9007199254740993 0.1 1e400 "
      "-1e-400 1-2 1.2.3 --1 + . 1e 12a \xC3\xA9");
  for (std::string form; forms >> form;) cells.push_back(form);
  for (int length = 0; length <= 21; ++length) {
    std::string run;
    for (int i = 0; i < length; ++i) run += static_cast<char>('0' + (i * 7 + length) % 10);
    for (const std::string follower : {"", "/", ":", "\xC3\xA9"}) cells.push_back("-3." + run + follower);
  }
  for (const std::string& cell : cells) {
    for (const std::string tail : {"", "\n", "\n1,2\n", "\n12345678,1\n"}) {
      for (const bool first : {false, true}) {
        std::vector<std::string> seen;
        for (const std::string quote : {"", "\""}) {
          const std::string quoted = quote + cell + quote;
          seen.push_back(read_back("x,y\n-00000000000000000000000,-00000000000000000000000\n" +
                                   (first ? quoted + ",1" : "1," + quoted) + tail));
        }
        EXPECT_EQ(seen[0], seen[1]) << cell << " " << tail.size() << " " << first;
        const auto value = parse_number(cell);
        if (value && first) {
          EXPECT_NE(seen[0].find(fmt::format(" {}|1;", *value)), std::string::npos) << seen[0];
        }
      }
    }
  }
}

TEST(LoadingPass, RandomNumbersReadInPlaceAsTheGeneralReaderReadsThem) {
  // Numbers of every shape (signs, leading zeros, long digit runs on either
  // side of the point, exponents, NA words) read in place; an NA token that
  // reads as a number sends every record to the general reader instead. Each
  // number must also read as the double from_chars gives for it, whether it
  // takes the fast path for short forms or goes to from_chars. With ';' as
  // the delimiter and a decimal comma, the same numbers read alike.
  std::mt19937 rng(11);
  const auto digits = [&](int n) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  std::string csv = "a,b,c\n", comma = "a;b;c\n";
  std::vector<std::string> numbers = {"9007199254740993",        "123456789012345678901234567890", "0.1",
                                      "2.2250738585072014e-308", "1.7976931348623157e308",         "4.9e-324"};
  for (int r = 0; r < 10000; ++r) {
    for (int c = 0; c < 3; ++c) {
      std::string cell = rng() % 4 == 0 ? "-" : rng() % 9 == 0 ? "+" : "";
      const int whole = static_cast<int>(rng() % (rng() % 5 == 0 ? 22 : 4));
      const int fraction = rng() % 3 == 0 ? -1 : static_cast<int>(rng() % (rng() % 5 == 0 ? 20 : 4));
      cell += digits(whole == 0 && fraction <= 0 ? 1 : whole);
      if (fraction >= 0) cell += "." + digits(fraction);
      if (rng() % 25 == 0) cell += "e" + std::to_string(static_cast<int>(rng() % 80) - 40);
      if (rng() % 40 == 0) cell = "NA";
      if (cell != "NA") numbers.push_back(cell[0] == '+' ? cell.substr(1) : cell);
      csv += cell + (c < 2 ? "," : "\n");
      std::replace(cell.begin(), cell.end(), '.', ',');
      comma += cell + (c < 2 ? ";" : "\n");
    }
  }
  const DataSet fast = DataSet::from_text(csv, {}),
                slow = DataSet::from_text(csv, named({}, {}, {}, {"NA", ".", "-987654321987"})),
                comma_fast = DataSet::from_text(comma, {}),
                comma_slow = DataSet::from_text(comma, named({}, {}, {}, {"NA", "-987654321,5"}));
  for (const DataSet* other : {&slow, &comma_fast, &comma_slow}) {
    EXPECT_EQ(cases_of(*other), cases_of(fast));
    for (std::int64_t v = 1; v <= 3; ++v) {
      EXPECT_EQ(other->dictionary().slot(v).type, 0);  // every column stays numeric
      EXPECT_EQ(print_format_text(other->dictionary().slot(v).format),
                print_format_text(fast.dictionary().slot(v).format));
    }
  }
  for (const std::string& text : numbers) {
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(parse_number(text), expected) << text;
  }
}

// The notes of a data set as the catalogue shows them.
std::vector<std::string> note_texts(const DataSet& data) {
  std::vector<std::string> texts;
  for (const LoadNote& note : data.notes()) texts.push_back(display(ReferenceHost::message(note.key, note.params)));
  return texts;
}

TEST(DataSet, NotesHowColumnsWereRead) {
  // Many records, most read in place, with a few that are not numbers far
  // apart: the column is named however many they are.
  std::string mostly = "a,b\n";
  for (int i = 0; i < 3000; ++i)
    mostly += i % 500 == 7 ? fmt::format("{},oops{}\n", i, i) : fmt::format("{},{}\n", i, i);
  const std::string dot = "a;b\n1;2,5\n2;\n";
  const std::tuple<std::string, std::string, std::vector<std::string>> rows[] = {
      // data, dictionary, notes
      {mostly,
       "",
       {"d.csv: column 2 (b) is read as text although most of its cells are numbers; cells that are not: "
        "6, the first \"oops7\" at line 9. If they mean no value, give them with --na; else correct the "
        "data."}},
      {"a\nx\n1\n2\ny\n", "", {}},  // as many texts as numbers: a text column
      {"a,b\nx,\n,y\n",
       "",
       {"d.csv: cells without a value (the empty cell, NA, ., NaN, nan, NULL, None, N/A, n/a, #N/A, <NA>) are read "
        "as blank in these string columns: a and b; blank is a user-missing value of a and b."}},
      {"a\n1\n2\n", R"({"variables": [{"name": "a", "type": "string"}]})", {}},
      {"a,b\nx,1\n,2\n",
       R"({"variables": [{"name": "a", "missing": {"values": ["x"]}}]})",
       {"d.csv: cells without a value (the empty cell, NA, ., NaN, nan, NULL, None, N/A, n/a, #N/A, <NA>) are read "
        "as blank in these string columns: a."}},
      {dot,
       "",
       {"d.csv: the delimiter is ';' and a comma is the decimal mark of the numbers in b (41,5 is read as "
        "41.5). Give --decimal . to read such cells as text."}},
      {",a b,A_b,,to\n1,2,3,4,5\n",
       "",
       {"d.csv: the first column has no name in the header (as R's write.csv and pandas' to_csv write row names); "
        "it is read as the variable rowname.",
        "d.csv: column 4 has no name in the header; it is read as the variable v4.",
        "d.csv: some headers are not names a command can use, so their columns are read under new names: \"a b\" as "
        "a_b_2 and \"to\" as to_. Each header is its variable's label."}},
  };
  for (const auto& [csv, json, notes] : rows)
    EXPECT_EQ(note_texts(DataSet::from_text(csv, named(), json)), notes) << csv;
  // Counted the long way (an NA token that reads as a number sends every
  // record there), the cells are the same.
  EXPECT_EQ(note_texts(DataSet::from_text(mostly, named({}, {}, {}, {"NA", "-987654321987"}))), std::get<2>(rows[0]));
}

TEST(DataSet, OptionsWinOverTheDictionaryFile) {
  const std::string csv = "g,h,wt,w2,s\n1,2,1.5,1,ab\n";
  const std::string dictionary = R"({"variables": [{"name": "g", "missing": {"values": [1]}}],
                                     "weight": "wt", "split": ["h"]})";
  EXPECT_EQ(DataSet::from_text(csv, named(), dictionary).dictionary().split(), (std::vector<std::int64_t>{2}));
  const DataSet data = DataSet::from_text(csv, named({"s,g", "wt"}, "W2", {"g=7:9", "s=ab"}), dictionary);
  const Dictionary& d = data.dictionary();
  EXPECT_EQ(d.split(), (std::vector<std::int64_t>{5, 1, 3}));
  EXPECT_EQ(fmt::format("{} {} {}", d.weight(), d.slot(1).missing_form, d.slot(5).missing_text[0]),
            fmt::format("4 {} ab", kMissingRange));
}

TEST(DataSet, ErrorsNameTheirPlace) {
  std::string many = "a,b\n";  // errors after many records read in place
  for (int i = 0; i < 1000; ++i) many += fmt::format("{},{}.5\n", i, i);
  const struct {
    std::string csv, dictionary, message;
    DataOptions options = named();
  } rows[] = {
      {"a,s\n1,x\n", "", "--weight: the weight variable must be numeric, and s is a string variable", named({}, "s")},
      {"a\n1\n", "", "--split: there is no variable named \"nobody\"", named({"a,nobody"})},
      {"a\n1\n", "", "--missing 'nobody=1': there is no variable named \"nobody\"", named({}, {}, {"nobody=1"})},
      {"\n\n", "", "d.csv: the file is empty"},
      {"a,b\n1,\"open\n", "", "d.csv, line 2, column 3: unterminated quoted field"},
      {"a,b\n\"multi\nline\" x,2\n", "", "d.csv, line 3, column 6: unexpected character ' ' after the closing quote"},
      // Columns count characters: the two-byte é is one.
      {"a,b\n\xC3\xA9,\"x\"!\n", "", "d.csv, line 2, column 6: unexpected character '!'"},
      {"a,b\n1,2\n\n7\n", "", "d.csv, line 4: 1 field found, 2 expected"},
      {"a,b\n\"x\ny\",2\n1\n", "", "d.csv, line 4: 1 field found, 2 expected"},
      {many + "1,2,3\n", "", "d.csv, line 1002: 3 fields found, 2 expected"},
      {many + "1,x\n", R"({"variables": [{"name": "b", "type": "numeric"}]})",
       "d.csv, line 1002, column 2 (b): \"x\" is not a number, and b is declared numeric"},
      {many + "1,abcdefg\n", R"({"variables": [{"name": "b", "width": 6}]})",
       "d.csv, line 1002, column 2 (b): the text is 7 bytes long, wider than the declared width 6"},
      {"a,b\n1,\t" + std::string(50, 'z') + "\n", R"({"variables": [{"name": "b", "type": "numeric"}]})",
       "(b): \"\\x09" + std::string(39, 'z') + "... (51 bytes)\" is not a number"},
      // A NUL byte anywhere is found, and named before any other fault.
      {many + std::string("1,2\0\n", 5), "",
       "d.csv, line 1002, column 4: a NUL byte (\\x00) in the data; a CSV file holds text"},
      {many + std::string("1,\"x\0\"\n", 7), "", "d.csv, line 1002, column 5: a NUL byte"},
      {many + std::string("1,x\n2,NA\0\n", 11), "", "d.csv, line 1003, column 5: a NUL byte"},
      {std::string("a,b\n1,2,3\n\0\n", 13), "", "d.csv, line 3, column 1: a NUL byte"},
      {"a,b\n1,2\n", R"({"variables": [{"name": "a", "width": 41}]})", "a numeric width goes up to 40, not 41"},
      {"a,b\n1,2\n", R"({"variables": [{"name": "c"}]})",
       "<dictionary>: the variable \"c\" is not in the data file d.csv"},
      {"a,b c\n1,2\n", R"({"variables": [{"name": "B C"}]})",
       "<dictionary>: the variable \"B C\" is not in the data file d.csv (its column is read as the variable b_c: "
       "name that in the dictionary)"},
      {"a,Solar R,b c\n1,2,3\n", "",
       "--missing 'solar r=9': \"solar r\" is the header of column 2, which is read as "
       "the variable Solar_R; give Solar_R",
       named({}, {}, {"solar r=9"})},
      {"a,Solar R,b c\n1,2,3\n", "", "--weight: \"b c\" is the header of column 3", named({}, "b c")},
      {"a,Solar R,b c\n1,2,3\n", "", "--split: \"Solar R\" is the header of column 2", named({"a,Solar R"})},
      {"a,b\n1,2\n", "", "--decimal: the decimal mark cannot be the delimiter ','; give another delimiter",
       named({}, {}, {}, {}, ',')},
      {"a;b\n1;1.5\n", R"({"variables": [{"name": "b", "type": "numeric"}]})",
       "(b): \"1.5\" is not a number, and b is declared numeric (its decimal mark is the comma)",
       named({}, {}, {}, {}, ',')},
      {"a,b\n1,2\n", "{\"variables\": [}", "<dictionary>: invalid JSON: parse error at line 1, column 16"},
  };
  for (const auto& r : rows) {
    EXPECT_PRED_FORMAT2(IsSubstring, r.message, error_of([&] { DataSet::from_text(r.csv, r.options, r.dictionary); }));
  }
}

TEST(DataSet, LoadsFilesAndTheDictionaryRoundTrips) {
  const std::string dir = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/";
  DataOptions options;
  options.data_path = dir + "survey.csv";
  options.dict_path = dir + "survey.dict.json";
  const DataSet data = DataSet::load(options);
  EXPECT_EQ(data.delimiter(), ';');  // byte-order mark, CRLF, semicolons
  EXPECT_EQ(cases_of(data).at(0), "1|North|1200,5|said \"no\"; left;2");
  options.data_path = dir + "absent.csv";
  EXPECT_PRED_FORMAT2(IsSubstring, dir + "absent.csv: cannot open the data file",
                      error_of([&] { DataSet::load(options); }));

  // A string column with a cell without value whose dictionary declares no
  // missing values keeps its blanks valid when the dictionary reads back.
  const std::string csv = "id,name,score,code,note\n1,Alexandria Troas,2.25,A,x\n2,Bo,NA,B,NA\n";
  const DataSet original = DataSet::from_text(csv, named(), R"({"variables": [
      {"name": "note", "missing": {}},
      {"name": "name", "width": 24, "label": "Full name", "missing": {"values": ["none", "n/a"]}},
      {"name": "score", "format": "F7.3", "value_labels": {"2.25": "typical"}, "missing": {"range": [90, "HI"], "value": -1}},
      {"name": "code", "type": "string", "value_labels": {"A": "Alpha"}},
      {"name": "id", "missing": {"range": ["LO", 0]}}],
    "weight": "id", "split": ["code"]})");
  const std::string written = dictionary_to_json(original.dictionary()).dump(2);
  const DataSet again = DataSet::from_text(csv, named(), written);
  EXPECT_TRUE(again.dictionary() == original.dictionary()) << written;
  EXPECT_EQ(dictionary_to_json(again.dictionary()).dump(2), written);
}

TEST(CaseReader, ReadsAGroupAtATimeAndReportsUnsortedGroupsOncePerPass) {
  // Two split variables, one a 10-wide string over two cells; value labels
  // show in the group texts.
  const DataSet data = DataSet::from_text(
      "place,n,v\nNorthfield,1,10\nNorthfield,1,11\nNorthfield,2,12\n"
      "Southfield,2,13\nNorthfield,1,14\nNorthfield,1,15\nEast,1,16\n",
      named({"place,n"}), R"({"variables": [{"name": "n", "value_labels": {"2": "two"}}]})");
  CaseReader reader = data.reader();
  std::vector<std::string> unsorted;
  reader.set_unsorted_callback([&](std::string text) { unsorted.push_back(std::move(text)); });
  std::vector<double> cells(static_cast<std::size_t>(data.dictionary().size()));
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> groups;
    do {
      std::string values;
      while (reader.next(cells.data()) == Next::Case) values += fmt::format(" {}", cells[3]);
      groups.push_back(reader.group_value_text(0) + "/" + reader.group_value_text(1) + ":" + values);
    } while (!reader.at_end());
    EXPECT_EQ(groups, (std::vector<std::string>{"Northfield/1: 10 11", "Northfield/two: 12", "Southfield/two: 13",
                                                "Northfield/1: 14 15", "East/1: 16"}));
    EXPECT_EQ(unsorted, std::vector<std::string>{"place=Northfield, n=1 (again at line 6)"});
    EXPECT_EQ(reader.next(cells.data()), Next::EndOfData);
    unsorted.clear();
    reader.rewind();  // each pass reports again
  }

  // No cases: the end at once; a reader outlives its data set.
  EXPECT_EQ(DataSet::from_text("a,b\n", named({"a"})).reader().next(cells.data()), Next::EndOfData);
  CaseReader kept = DataSet::from_text("a\n5\n", named()).reader();
  ASSERT_EQ(kept.next(cells.data()), Next::Case);
  EXPECT_EQ(cells[0], 5.0);
}

// A numeric "Age" (F8.0), a 4-wide "code", a 20-wide "city" and a numeric "wt" (F8.2).
Dictionary sample() {
  return DataSet::from_text("Age,code,city,wt\n1,abcd," + std::string(20, 'c') + ",1.25\n", named()).dictionary();
}

TEST(NumberText, ParsesMeasuresAndFormatsNumbersAndPrintFormatsLikeADataFile) {
  const std::pair<const char*, std::optional<double>> parsed[] = {
      {"12", 12.0}, {"-3.5", -3.5},  {".5", 0.5},      {"1e-3", 0.001},    {"+4", 4.0},
      {" 7 ", 7.0}, {"\t2.\t", 2.0}, {"-0", 0.0},      {"1E+2", 100.0},    {"", std::nullopt},
      {"  ", {}},   {"inf", {}},     {"nan", {}},      {"+-1", {}},        {"1,5", {}},
      {"0x1A", {}}, {"1e", {}},      {".", {}},        {"1e400", {}},      {"12abc", {}},
      {"- 1", {}},  {"1e-400", 0.0}, {"-1e-400", 0.0}, {"1e-320", 1e-320},  // below the doubles: the nearest
  };
  for (const auto& [text, value] : parsed) {
    EXPECT_EQ(parse_number(text), value) << '"' << text << '"';
    EXPECT_EQ(measure_number(text).has_value(), value.has_value()) << '"' << text << '"';
  }
  EXPECT_FALSE(std::signbit(*parse_number("-0.0")));

  const PrintFormat f82{kFormatF, 8, 2};
  const std::tuple<double, PrintFormat, const char*> shown[] = {
      {2.5, f82, "2.50"},
      {0.125, f82, "0.13"},
      {-2.675, f82, "-2.68"},
      {9.96, {kFormatF, 8, 1}, "10.0"},
      {1e-7, f82, "0.00"},
      {-0.001, f82, "0.00"},
      {kSystemMissing, f82, "."},
      {kLowest, f82, "LO"},
      {kHighest, f82, "HI"},
      {12345.678, {kFormatF, 6, 2}, "12346"},
      {123456789.0, {kFormatF, 6, 0}, "1E+08"},
  };
  for (const auto& [value, format, text] : shown) EXPECT_EQ(format_value(value, format), text) << value;

  // Print formats read and written.
  const std::pair<const char*, const char*> good[] = {{"f5", "F5.0"}, {" A10 ", "A10"}, {"F40.16", "F40.16"}};
  for (const auto& [text, written] : good) EXPECT_EQ(print_format_text(parse_print_format(text, "x")), written);
  const std::pair<const char*, const char*> bad[] = {
      {"", "x: format \"\" is empty"},
      {"E8.2", "is not understood"},
      {"F8.x", "is not understood"},
      {"A8.2", "has decimals, which A formats do not take"},
      {"F0.0", "has width 0"},
      {"F41.2", "has width 41"},
      {"F4.4", "has 4 decimals, too many for width 4"},
  };
  for (const auto& [text, message] : bad) {
    EXPECT_PRED_FORMAT2(IsSubstring, std::string(message), error_of([&] { parse_print_format(text, "x"); }));
  }
}

// The missing values of a variable as "form: values", LO and HI by name,
// texts in brackets.
std::string missing_of(const VarRecord& r) {
  std::string out = std::to_string(r.missing_form) + ":";
  for (int i = 0; i < 3; ++i) {
    const double v = r.missing[static_cast<std::size_t>(i)];
    out += " " + (r.type > 0      ? "[" + r.missing_text[static_cast<std::size_t>(i)] + "]"
                  : v == kLowest  ? "LO"
                  : v == kHighest ? "HI"
                                  : fmt::format("{}", v));
  }
  return out;
}

TEST(Dictionary, StoresMissingValuesOfEveryForm) {
  // A --missing option, or the "missing" of age in a dictionary file (JSON).
  const std::pair<std::string, std::string> rows[] = {
      {"age = 1, 2 ,3", "3: 1 2 3"},
      {"AGE=90:99", "-2: 90 99 0"},
      {"age=0,90:99", "-3: 90 99 0"},
      {"age=lowest:5", "-2: LO 5 0"},
      {"age=90:HI", "-2: 90 HI 0"},
      {"age=", "0: 0 0 0"},
      {"code=NONE,N/A", "2: [NONE] [N/A ] []"},  // padded to the width
      {"city=unknown", "1: [unknown" + std::string(13, ' ') + "] [] []"},
      {R"({"values": [9, "-1.5"]})", "2: 9 -1.5 0"},
      {R"({"range": [90, 99], "value": 0})", "-3: 90 99 0"},
      {R"({"range": ["LO", 5]})", "-2: LO 5 0"},
      {R"(null)", "0: 0 0 0"},
  };
  for (const auto& [given, expected] : rows) {
    Dictionary d = sample();
    d.set_missing(1, parse_missing_option("age=7,8,9").spec, "setup");  // replaced, not added to
    std::int64_t v = 1;
    if (given.find('=') == std::string::npos) {
      const std::string text = R"({"variables": [{"name": "age", "missing": )" + given + "}]}";
      apply_dictionary_json(d, json::parse(text), "d.json");
    } else {
      const MissingOption parsed = parse_missing_option(given);
      d.set_missing(v = d.find(parsed.variable), parsed.spec, given);
    }
    EXPECT_EQ(missing_of(d.slot(v)), expected) << given;
  }
}

TEST(Dictionary, RejectsBadMissingValues) {
  const std::pair<std::string, std::string> rows[] = {
      {"age=1,2,3,4", "--missing 'age=1,2,3,4': at most three missing values are allowed (4 given)"},
      {"age=90:99,1,2", "a range of missing values can go with one more value, not 2"},
      {"age=1:2,3:4", "only one range is allowed"},
      {"age=LO", "LO can only end a range"},
      {"age=99:90", "the range 99:90 has its low end above its high end"},
      {"age=9x", "--missing 'age=9x': \"9x\" is not a number"},
      {"age=HI:5", "HI cannot be the low end of a range"},
      {"age=1,,2", "an empty value in the list"},
      {"age=:5", "needs both ends"},
      {"age", "expected VARIABLE=VALUES"},
      {"=5", "no variable named before '='"},
      {"code=A:B", "a range of missing values applies only to numeric variables, and code is a string variable"},
      {"code=TOOLONG", "the missing value \"TOOLONG\" is longer than the width 4 of code"},
      {"city=ninechars",
       "--missing 'city=ninechars': the missing value \"ninechars\" of city is 9 characters "
       "long; a string missing value has at most 8 characters"},
  };
  for (const auto& [option, message] : rows) {
    Dictionary d = sample();
    EXPECT_PRED_FORMAT2(IsSubstring, message, error_of([&] {
                          const MissingOption parsed = parse_missing_option(option);
                          d.set_missing(d.find(parsed.variable), parsed.spec, "--missing '" + option + "'");
                        }));
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
      {R"({"variables": [{"name": "age", "format": "A8"}]})",
       "Age is a numeric variable and cannot take the format A8"},
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
    Dictionary d = sample();
    EXPECT_PRED_FORMAT2(IsSubstring, message, error_of([&] { apply_dictionary_json(d, json::parse(text), "d.json"); }));
  }
  EXPECT_PRED_FORMAT2(IsSubstring, "d.json: invalid JSON: parse error at line 2, column 17",
                      error_of([] { DictionaryFile::parse_text("{\n  \"variables\": [,]\n}", "d.json"); }));
}

// Hostile dictionary files get a message of normal length: nesting beyond
// the bound is refused while the text is read (a "width" nested 100,000 deep
// once overflowed the stack while its message was built), and a huge value
// is shown cut.
TEST(Dictionary, RefusesHostileFilesWithShortMessages) {
  const std::string huge(1 << 20, 'x');
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  const auto variable = [](const std::string& fields) { return R"({"variables": [{"name": "a", )" + fields + "}]}"; };
  const std::string cut = "\"" + std::string(30, 'x') + "... (1048576 characters)\"";
  const std::pair<std::string, std::string> rows[] = {
      {variable(R"("width": )" + nested(100000)), "d.json: arrays and objects are nested more than 16 deep"},
      // Three levels enclose the label: 13 arrays in it make 16 levels, 14 make 17.
      {variable(R"("label": )" + nested(13)), "d.json: variable \"a\": \"label\" must be a text, not array"},
      {variable(R"("label": )" + nested(14)), "d.json: arrays and objects are nested more than 16 deep"},
      {variable(R"("width": [1])"), "\"width\" must be a whole number from 1 to 32767, not array"},
      {variable(R"("width": ")" + huge + "\""), "\"width\" must be a whole number from 1 to 32767, not " + cut},
      {variable(R"("type": ")" + huge + "\""), "\"type\" must be \"numeric\" or \"string\", not " + cut},
      {variable("\"" + huge + R"(": 1)"), "unknown field " + cut + " (known fields"},
      {variable(R"("missing": {"values": [")" + huge + R"("]})"), cut + " is not a number"},
      {variable(R"("value_labels": {")" + huge + R"(": "x"})"), "the labelled value " + cut + " of the numeric"},
      {R"({"variables": [{"name": ")" + huge + R"("}]})", "d.json: the variable " + cut + " is not in the data"},
      // A character is not split: "é" takes bytes 30 and 31.
      {R"({"variables": [{"name": ")" + std::string(29, 'x') + "\xC3\xA9" + huge + R"("}]})",
       "the variable \"" + std::string(29, 'x') + "... (1048606 characters)\" is not in the data"},
  };
  DataOptions options = named();
  options.dict_path = "d.json";
  for (const auto& [text, message] : rows) {
    const std::string error = error_of([&] { DataSet::from_text("a,b\n1,2\n", options, text); });
    EXPECT_PRED_FORMAT2(IsSubstring, message, error);
    EXPECT_LT(error.size(), 200U) << error.substr(0, 300);
  }
}

TEST(Dictionary, FindsVariablesAndGivesValueTexts) {
  Dictionary d = sample();
  EXPECT_EQ(d.variables(), (std::vector<std::int64_t>{1, 2, 3, 6}));  // city takes 3, 4 and 5
  EXPECT_EQ(d.find("City"), 3);
  apply_dictionary_json(d, json::parse(R"({"variables": [
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
