// Tests of the loading pass: records read in place and records read the long
// way must give the same cells, types and lines, whichever order they come
// in, and errors met after many plain records still name the right line.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {
namespace {

// Every case of `data` as "cell|cell|...;line", numbers by their shortest
// text ("." for system-missing), strings by their characters, trailing
// blanks removed.
std::vector<std::string> cases_of(const DataSet& data) {
  const Dictionary& d = data.dictionary();
  std::vector<double> cells(static_cast<std::size_t>(d.size()));
  std::vector<std::string> out;
  CaseReader reader = data.reader();
  while (reader.next(cells.data()) == CaseReader::Next::Case) {
    std::string text;
    for (std::int64_t v = 1; v <= d.size(); ++v) {
      const VarRecord& slot = d.slot(v);
      if (slot.type < 0) continue;
      if (!text.empty()) text += '|';
      const double cell = cells[static_cast<std::size_t>(v - 1)];
      if (slot.type == 0) {
        text += cell == kSystemMissing ? "." : fmt::format("{}", cell);
      } else {
        const std::string chars(reinterpret_cast<const char*>(&cells[static_cast<std::size_t>(v - 1)]),
                                static_cast<std::size_t>(slot.type));
        text += std::string(trim_trailing_blanks(chars));
      }
    }
    out.push_back(fmt::format("{};{}", text, reader.line()));
  }
  return out;
}

TEST(LoadingPass, PlainAndQuotedRecordsGiveTheSameCells) {
  struct Row {
    const char* name;
    std::string csv;
    std::vector<std::string> na;  // --na tokens; empty for the defaults
    std::vector<std::string> cases;
  };
  const std::vector<Row> rows = {
      {"plain numbers, signs, exponents, empty cells",
       "a,b,c\n1,-2.5,+4\n.5,,1e-3\n-0,7,\n", {}, {"1|-2.5|4;2", "0.5|.|0.001;3", "0|7|.;4"}},
      {"NA words, blanks and quotes between plain records",
       "a,b\n1,2\nNA,3\n 4 ,\"5\"\n6,.\n7,8", {}, {"1|2;2", ".|3;3", "4|5;4", "6|.;5", "7|8;6"}},
      {"a column turns to text after numbers: their text is kept",
       "n,s\n1,12\n2,3.50\n3,abc\n4,\n", {}, {"1|12;2", "2|3.50;3", "3|abc;4", "4|;5"}},
      {"quoted line ends, empty lines and CRLF move the lines",
       "a,s\r\n1,x\r\n2,\"two\nlines\"\r\n\r\n3,y\r\n", {}, {"1|x;2", "2|two\nlines;3", "3|y;6"}},
      {"a longer text later widens the column",
       "s,n\nab,1\nabcdef,2\nabc,3\n", {}, {"ab|1;2", "abcdef|2;3", "abc|3;4"}},
      {"a number given as an NA token is missing",
       "a,b\n99,1\n5,99\n", {"99"}, {".|1;2", "5|.;3"}},
  };
  for (const Row& row : rows) {
    DataOptions options;
    options.na_tokens = row.na;
    const DataSet data = DataSet::from_text(row.csv, options);
    EXPECT_EQ(cases_of(data), row.cases) << row.name;
  }
}

TEST(LoadingPass, NumbersReadInPlaceAsTheCheckedPathReadsThem) {
  // Each form is read in place and quoted (the checked path): the cell, the
  // column's type and its print format must agree, and a number must read
  // as parse_number reads it. The long zero first makes the later cells
  // short enough to be read in place.
  const char* const forms[] = {"0", "-0", "+7", "-007.50", ".5", "-.5", "5.", "12345678", "0.00000012",
                               "1e3", "-1.5E-2", "123456789012345678901", "9007199254740993", "0.1",
                               "1-2", "1.2.3", "--1", "+", ".", "1e", "12a", "\xC3\xA9"};
  for (const std::string form : forms) {
    std::vector<std::string> seen;
    for (const std::string& cell : {form, "\"" + form + "\""}) {
      const DataSet data = DataSet::from_text("x\n-00000000000000000000000\n" + cell + "\n1\n", {});
      const std::string read = cases_of(data).at(1);
      const VarRecord& x = data.dictionary().slot(1);
      seen.push_back(fmt::format("{} {}.{} {}", read.substr(0, read.find(';')), x.format.width, x.format.decimals,
                                 x.type));
    }
    EXPECT_EQ(seen[0], seen[1]) << form;
    if (const auto value = parse_number(form)) {
      EXPECT_EQ(seen[0].substr(0, seen[0].find(' ')), fmt::format("{}", *value)) << form;
    }
  }
}

TEST(LoadingPass, ErrorsAfterPlainRecordsNameTheirLine) {
  std::string many = "a,b\n";
  for (int i = 0; i < 1000; ++i) many += fmt::format("{},{}.5\n", i, i);
  const struct {
    std::string csv;
    std::string dictionary;
    std::string message;
  } rows[] = {
      {many + "1,2,3\n", "", "<data>, line 1002: 3 fields found, 2 expected"},
      {many + "1\n", "", "<data>, line 1002: 1 field found, 2 expected"},
      {many + "1,x\n", R"({"variables": [{"name": "b", "type": "numeric"}]})",
       "<data>, line 1002, column 2 (b): \"x\" is not a number, and b is declared numeric"},
      {many + "1,abcdefg\n", R"({"variables": [{"name": "b", "width": 6}]})",
       "<data>, line 1002, column 2 (b): the text is 7 bytes long, wider than the declared width 6"},
      // A NUL byte anywhere is found, and named before any other fault.
      {many + std::string("1,2\0\n", 5), "", "<data>, line 1002, column 4: a NUL byte"},
      {many + std::string("\0,1\n", 4), "", "<data>, line 1002, column 1: a NUL byte"},
      {many + std::string("1,\"x\0\"\n", 7), "", "<data>, line 1002, column 5: a NUL byte"},
      {many + std::string("1,x\n2,NA\0\n", 11), "", "<data>, line 1003, column 5: a NUL byte"},
      {std::string("a,b\n1,2,3\n\0\n", 13), "", "<data>, line 3, column 1: a NUL byte"},
      {std::string("a\0,b\n1,2\n", 10), "", "<data>, line 1, column 2: a NUL byte (\\x00) in the data; a CSV file holds text"},
  };
  for (const auto& row : rows) {
    std::string error = "(no error)";
    try {
      DataSet::from_text(row.csv, {}, row.dictionary);
    } catch (const DataError& e) {
      error = e.what();
    }
    EXPECT_NE(error.find(row.message), std::string::npos) << "got: " << error << "\nwanted: " << row.message;
  }
}

}  // namespace
}  // namespace mva::host
