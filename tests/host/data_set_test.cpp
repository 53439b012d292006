// Tests of the data set: type, width and format inference, NA tokens,
// declared types, the data options, loading from files, the dictionary file
// round trip, and the case reader's cells and split groups.
#include "host/data/data_set.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "host/data/data_error.h"
#include "host/data/dictionary_json.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {
namespace {

using Next = CaseReader::Next;

DataOptions named(std::string path = "d.csv") {
  DataOptions options;
  options.data_path = std::move(path);
  return options;
}

std::string load_error(const std::string& csv, const DataOptions& options = named(),
                       std::string_view dictionary = {}) {
  try {
    DataSet::from_text(csv, options, dictionary);
  } catch (const DataError& error) {
    return error.what();
  }
  return "(no error)";
}

// The text of string variable v in a case buffer.
std::string text_in(const DataSet& data, const std::vector<double>& cells, std::int64_t v) {
  const auto width = static_cast<std::size_t>(data.dictionary().slot(v).type);
  return std::string(reinterpret_cast<const char*>(&cells[static_cast<std::size_t>(v - 1)]), width);
}

TEST(DataSet, InfersTypesWidthsAndFormats) {
  struct Row {
    const char* name;
    std::string column;  // the records under the header "x"
    std::int64_t type;
    PrintFormat format;
  };
  const std::vector<Row> rows = {
      {"integers", "1\n22\n-3\n", 0, {kFormatF, 8, 0}},
      {"decimals as written", "2.50\n1\n.5\n", 0, {kFormatF, 8, 2}},
      {"decimals capped", "0.12345678\n", 0, {kFormatF, 8, 6}},
      {"exponent", "1e-3\n+4\n", 0, {kFormatF, 8, 3}},
      {"wide numbers", "-123456789.25\n", 0, {kFormatF, 13, 2}},
      {"NA tokens", "NA\n.\n\"\"\n 7 \n", 0, {kFormatF, 8, 0}},
      {"only NA", "NA\n\"\"\n", 0, {kFormatF, 8, 0}},
      {"text", "12\nabc\n", 3, {kFormatA, 3, 0}},
      {"longest cell in bytes", "Z\xC3\xBCrich\nBern\n", 7, {kFormatA, 7, 0}},
      {"trailing blanks do not widen", "ab   \nx\n", 2, {kFormatA, 2, 0}},
      {"inf is text", "1\ninf\n", 3, {kFormatA, 3, 0}},
      {"comma decimals are text", "\"1,5\"\n", 3, {kFormatA, 3, 0}},
      {"all empty string", "\"\"\n1\n", 0, {kFormatF, 8, 0}},
  };
  for (const Row& row : rows) {
    const DataSet data = DataSet::from_text("x\n" + row.column, named());
    const VarRecord& x = data.dictionary().slot(1);
    EXPECT_EQ(x.type, row.type) << row.name;
    EXPECT_EQ(x.format.type, row.format.type) << row.name;
    EXPECT_EQ(x.format.width, row.format.width) << row.name;
    EXPECT_EQ(x.format.decimals, row.format.decimals) << row.name;
  }
}

TEST(DataSet, ReadsCellsIntoSlots) {
  const DataSet data = DataSet::from_text(
      "id,city,score,flag\n1,Rio de Janeiro and more,2.5,NA\n2,,NA,.\n3,\"Bern\",,x\n", named());
  const Dictionary& d = data.dictionary();
  ASSERT_EQ(d.size(), 1 + 3 + 1 + 1);  // city is 23 wide: three slots
  EXPECT_EQ(d.slot(2).type, 23);
  EXPECT_LT(d.slot(3).type, 0);
  EXPECT_LT(d.slot(4).type, 0);
  EXPECT_EQ(d.find("score"), 5);
  // NA tokens and empty cells of a string column read as blank, a
  // user-missing value of the column; they do not count in its width.
  EXPECT_EQ(d.slot(6).type, 1);
  EXPECT_EQ(d.slot(6).missing_form, 1);
  EXPECT_EQ(d.slot(6).missing_text[0], " ");
  EXPECT_EQ(d.slot(2).missing_text[0], std::string(23, ' '));  // city has an empty cell
  EXPECT_EQ(data.notes(), std::vector<std::string>{
                              "d.csv: in the string columns city and flag, cells without a value (the empty "
                              "cell, NA, .) are read as blank, and blank is a user-missing value of city and flag"});
  EXPECT_EQ(data.case_count(), 3);

  std::vector<double> cells(static_cast<std::size_t>(d.size()));
  CaseReader reader = data.reader();
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(cells[0], 1.0);
  EXPECT_EQ(text_in(data, cells, 2), "Rio de Janeiro and more");
  EXPECT_EQ(cells[4], 2.5);
  EXPECT_EQ(chars_of_cell(cells[5]), "        ");
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(text_in(data, cells, 2), std::string(23, ' '));
  EXPECT_EQ(cells[4], kSystemMissing);
  EXPECT_EQ(chars_of_cell(cells[5]), "        ");
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(chars_of_cell(cells[1]), "Bern    ");
  EXPECT_EQ(cells[4], kSystemMissing);
  EXPECT_EQ(reader.line(), 4);
  EXPECT_EQ(reader.next(cells.data()), Next::EndOfData);
  EXPECT_EQ(reader.next(cells.data()), Next::EndOfData);
  EXPECT_TRUE(reader.at_end());
  reader.rewind();
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(cells[0], 1.0);
}

TEST(DataSet, TakesNaTokensFromTheOptions) {
  DataOptions options = named();
  options.na_tokens = {"-99", " n/a "};
  const DataSet data = DataSet::from_text("a,b\n-99,NA\nn/a,.\n4,\n", options);
  EXPECT_EQ(data.dictionary().slot(1).type, 0);  // -99 and n/a are NA now
  EXPECT_EQ(data.dictionary().slot(2).type, 2);  // NA and "." are not
  std::vector<double> cells(3);
  CaseReader reader = data.reader();
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(cells[0], kSystemMissing);
}

TEST(DataSet, NotesHowColumnsWereRead) {
  const struct {
    std::string csv;
    std::string dictionary;
    std::vector<std::string> notes;
  } rows[] = {
      {"a,b\n1,2\n3,4\n5,n/a\n", "",
       {"d.csv: column 2 (b) is read as text because 1 of its cells is not a number, the first \"n/a\" at line 4; "
        "if it means no value, give it with --na, or else correct the data"}},
      {"a\nx\n1\n2\ny\n", "", {}},              // as many texts as numbers: a text column
      {"a\nx\ny\nz\nw\n", "", {}},               // plain text
      {"a\n1\n2\n", R"({"variables": [{"name": "a", "type": "string"}]})", {}},
      {"a,b\nx,1\n,2\n", R"({"variables": [{"name": "a", "missing": {"values": ["x"]}}]})",
       {"d.csv: in the string column a, cells without a value (the empty cell, NA, .) are read as blank"}},
  };
  for (const auto& row : rows) {
    const DataSet data = DataSet::from_text(row.csv, named(), row.dictionary);
    EXPECT_EQ(data.notes(), row.notes) << row.csv;
  }
}

TEST(DataSet, HonoursDeclaredTypesAndWidths) {
  const DataSet data = DataSet::from_text("zip,n,name\n007,1,Al\n010,2,Bo\n", named(),
                                          R"({"variables": [{"name": "ZIP", "type": "string"},
                                              {"name": "n", "width": 12},
                                              {"name": "name", "width": 10}]})");
  const Dictionary& d = data.dictionary();
  EXPECT_EQ(d.slot(1).type, 3);
  EXPECT_EQ(d.slot(2).format.width, 12);
  EXPECT_EQ(d.slot(3).type, 10);
  EXPECT_EQ(d.size(), 4);
  std::vector<double> cells(4);
  CaseReader reader = data.reader();
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(chars_of_cell(cells[0]), "007     ");
  EXPECT_EQ(chars_of_cell(cells[2]), "Al      ");
  EXPECT_EQ(chars_of_cell(cells[3]), "        ");
}

TEST(DataSet, ReportsBadDataWithPlace) {
  struct Row {
    std::string csv;
    std::string dictionary;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"id,Age,x,y,age\n", "", "d.csv: columns 2 and 5 have the same name \"Age\"/\"age\""},
      {"a,a\n", "", "d.csv: columns 1 and 2 have the same name \"a\""},
      {"a, ,b\n", "", "d.csv: column 2 has no name in the header"},
      {"", "", "d.csv: the file is empty"},
      {"\n\n", "", "d.csv: the file is empty"},
      {"a,b\n1,2\n3,\"x\n", "", "d.csv, line 3, column 3: unterminated quoted field"},
      {"a,b\n1,\"x\ny\"\n2,\"toolong\"\n", R"({"variables": [{"name": "b", "width": 4}]})",
       "d.csv, line 4, column 2 (b): the text is 7 bytes long, wider than the declared width 4"},
      {"a,b\n1,2\n3,4\n5," + std::string(40000, 'x') + "\n", "",
       "d.csv, line 4, column 2 (b): a text of 40000 bytes; strings go up to 32767"},
      {"a,b\n1,\t" + std::string(50, 'z') + "\n", R"({"variables": [{"name": "b", "type": "numeric"}]})",
       "(b): \"\\x09" + std::string(39, 'z') + "... (51 bytes)\" is not a number"},
      {"a,b\n1,2\n", R"({"variables": [{"name": "c"}]})", "<dictionary>: the variable \"c\" is not in the data file d.csv"},
      {"a,b\n1,2\n", R"({"variables": [{"name": "a", "width": 41}]})", "a numeric width goes up to 40, not 41"},
      {"a,b\n1,2\n", "{\"variables\": [}", "<dictionary>: invalid JSON: parse error at line 1, column 16"},
  };
  for (const Row& row : rows) {
    const std::string error = load_error(row.csv, named(), row.dictionary);
    EXPECT_NE(error.find(row.message), std::string::npos) << "got: " << error << "\nwanted: " << row.message;
  }
}

TEST(DataSet, AppliesTheOptionsOverTheDictionaryFile) {
  const std::string csv = "g,h,wt,w2,s\n1,2,1.5,1,ab\n";
  const std::string dictionary = R"({"variables": [{"name": "g", "missing": {"values": [1]}}],
                                     "weight": "wt", "split": ["h"]})";
  {
    const DataSet data = DataSet::from_text(csv, named(), dictionary);
    EXPECT_EQ(data.dictionary().weight(), 3);
    EXPECT_EQ(data.dictionary().split(), (std::vector<std::int64_t>{2}));
  }
  DataOptions options = named();
  options.weight = "W2";
  options.split = {"s,g", "wt"};
  options.missing = {"g=7:9", "s=ab"};
  const DataSet data = DataSet::from_text(csv, options, dictionary);
  const Dictionary& d = data.dictionary();
  EXPECT_EQ(d.weight(), 4);
  EXPECT_EQ(d.split(), (std::vector<std::int64_t>{5, 1, 3}));
  EXPECT_EQ(d.slot(1).missing_form, kMissingRange);
  EXPECT_EQ(d.slot(5).missing_form, 1);
  EXPECT_EQ(d.slot(5).missing_text[0], "ab");

  const struct {
    std::optional<std::string> weight;
    std::vector<std::string> split, missing;
    std::string message;
  } bad[] = {
      {"s", {}, {}, "--weight: the weight variable must be numeric, and s is a string variable"},
      {"nobody", {}, {}, "--weight: there is no variable named \"nobody\""},
      {{}, {"g,nobody"}, {}, "--split: there is no variable named \"nobody\""},
      {{}, {}, {"nobody=1"}, "--missing 'nobody=1': there is no variable named \"nobody\""},
  };
  for (const auto& row : bad) {
    DataOptions o = named();
    o.weight = row.weight;
    o.split = row.split;
    o.missing = row.missing;
    const std::string error = load_error(csv, o);
    EXPECT_NE(error.find(row.message), std::string::npos) << "got: " << error << "\nwanted: " << row.message;
  }
}

TEST(DataSet, LoadsFilesAndNamesThemInMessages) {
  const std::string dir = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/";
  DataOptions options;
  options.data_path = dir + "survey.csv";
  options.dict_path = dir + "survey.dict.json";
  const DataSet data = DataSet::load(options);
  EXPECT_EQ(data.delimiter(), ';');  // byte-order mark, CRLF, semicolons
  const Dictionary& d = data.dictionary();
  EXPECT_EQ(d.find("id"), 1);
  EXPECT_EQ(d.slot(d.find("income")).type, 6);
  EXPECT_EQ(d.slot(d.find("income")).label, "Monthly income as written");
  EXPECT_EQ(d.slot(d.find("comment")).type, 15);  // said "no"; left
  EXPECT_EQ(d.split(), (std::vector<std::int64_t>{2}));
  EXPECT_EQ(data.case_count(), 3);
  std::vector<double> cells(static_cast<std::size_t>(d.size()));
  CaseReader reader = data.reader();
  ASSERT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(text_in(data, cells, d.find("comment")), "said \"no\"; left");
  EXPECT_EQ(text_in(data, cells, d.find("income")), "1200,5");
  EXPECT_EQ(reader.group_value_text(0), "Northern region");
  EXPECT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(reader.next(cells.data()), Next::EndOfGroup);
  EXPECT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(text_in(data, cells, d.find("comment")), "two\r\nlines     ");
  EXPECT_EQ(reader.line(), 4);

  options.data_path = dir + "absent.csv";
  try {
    DataSet::load(options);
    ADD_FAILURE() << "a missing file loaded";
  } catch (const DataError& error) {
    EXPECT_NE(std::string(error.what()).find(dir + "absent.csv: cannot open the data file"), std::string::npos);
  }
}

TEST(DataSet, DictionaryFileRoundTrips) {
  const std::string csv = "id,name,score,code\n1,Alexandria Troas,2.25,A\n2,Bo,NA,B\n";
  const std::string first = R"({"variables": [
      {"name": "name", "width": 24, "label": "Full name", "missing": {"values": ["none", "n/a"]}},
      {"name": "score", "format": "F7.3", "value_labels": {"2.25": "typical"}, "missing": {"range": [90, "HI"], "value": -1}},
      {"name": "code", "type": "string", "value_labels": {"A": "Alpha"}},
      {"name": "id", "missing": {"range": ["LO", 0]}}],
    "weight": "id", "split": ["code"]})";
  const DataSet original = DataSet::from_text(csv, named(), first);
  const std::string written = dictionary_to_json(original.dictionary()).dump(2);
  const DataSet again = DataSet::from_text(csv, named(), written);
  EXPECT_TRUE(again.dictionary() == original.dictionary()) << written;
  EXPECT_EQ(dictionary_to_json(again.dictionary()).dump(2), written);
  EXPECT_EQ(again.dictionary().slot(2).type, 24);
  EXPECT_EQ(again.dictionary().size(), 1 + 3 + 1 + 1);
}

// Region runs: North North | South | North (again) | South (again) South | East.
const char* kSplitCsv =
    "region,x\n"
    "North,1\nNorth,2\n"
    "South,3\n"
    "North,4\n"
    "South,5\nSouth,6\n"
    "East,7\n";

TEST(CaseReader, CutsSplitGroupsAndReportsUnsortedOnce) {
  DataOptions options = named();
  options.split = {"region"};
  const DataSet data = DataSet::from_text(kSplitCsv, options);
  CaseReader reader = data.reader();
  std::vector<std::string> unsorted;
  reader.set_unsorted_callback([&](std::string detail) { unsorted.push_back(std::move(detail)); });

  std::vector<double> cells(2);
  std::string trace;
  for (int pass = 0; pass < 2; ++pass) {
    trace.clear();
    for (;;) {
      const Next next = reader.next(cells.data());
      if (next == Next::Case) {
        trace += fmt::format("{}", cells[1]);
      } else if (next == Next::EndOfGroup) {
        trace += fmt::format("|{}{}", reader.group_value_text(0), reader.at_end() ? "$" : "");
      } else {
        trace += "#";
        break;
      }
    }
    EXPECT_EQ(trace, "12|North3|South4|North56|South7|East$#");
    EXPECT_EQ(unsorted, (std::vector<std::string>{"region=North (again at line 5)",
                                                  "region=South (again at line 6)"}));
    unsorted.clear();
    reader.rewind();  // each pass reports again
  }
  EXPECT_EQ(reader.next(cells.data()), Next::Case);
  EXPECT_EQ(reader.group_number(), 1);
  EXPECT_EQ(chars_of_cell(reader.group_values()[0]), "North   ");
}

TEST(CaseReader, ReadsAGroupAtATimeAsAProcedureDoes) {
  // Two split variables, one a 10-wide string over two cells; value labels
  // show in the group texts.
  DataOptions options = named();
  options.split = {"place,n"};
  const DataSet data = DataSet::from_text("place,n,v\nNorthfield,1,10\nNorthfield,1,11\nNorthfield,2,12\n"
                                          "Southfield,2,13\nNorthfield,1,14\nNorthfield,1,15\n",
                                          options, R"({"variables": [{"name": "n", "value_labels": {"2": "two"}}]})");
  CaseReader reader = data.reader();
  int reports = 0;
  std::string detail;
  reader.set_unsorted_callback([&](std::string text) { ++reports; detail = std::move(text); });
  std::vector<double> cells(static_cast<std::size_t>(data.dictionary().size()));
  std::vector<std::string> groups;
  do {
    std::vector<double> values;
    while (reader.next(cells.data()) == Next::Case) values.push_back(cells[3]);
    std::string group = reader.group_value_text(0) + "/" + reader.group_value_text(1) + ":";
    for (double value : values) group += fmt::format(" {}", value);
    groups.push_back(group);
  } while (!reader.at_end());
  EXPECT_EQ(groups, (std::vector<std::string>{"Northfield/1: 10 11", "Northfield/two: 12", "Southfield/two: 13",
                                              "Northfield/1: 14 15"}));
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(detail, "place=Northfield, n=1 (again at line 6)");
  EXPECT_EQ(reader.group_values().size(), 3u);  // two cells of place, one of n
  EXPECT_EQ(reader.next(cells.data()), Next::EndOfData);
}

TEST(CaseReader, EndsAtOnceWithoutCasesAndOutlivesItsDataSet) {
  DataOptions options = named();
  options.split = {"a"};
  std::vector<double> cells(2);
  CaseReader empty = DataSet::from_text("a,b\n", options).reader();
  EXPECT_EQ(empty.next(cells.data()), Next::EndOfData);
  EXPECT_TRUE(empty.at_end());
  CaseReader kept = DataSet::from_text("a\n5\n", named()).reader();
  ASSERT_EQ(kept.next(cells.data()), Next::Case);
  EXPECT_EQ(cells[0], 5.0);
}

}  // namespace
}  // namespace mva::host
