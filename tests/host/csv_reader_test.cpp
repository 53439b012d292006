// Tests of the CSV reader: well-formed inputs record by record, malformed
// inputs by the exact place their message names, and delimiter detection.
#include "host/data/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/data/data_error.h"

namespace mva::host {
namespace {

using Records = std::vector<std::vector<std::string>>;

Records read_all(std::string_view text, char delimiter = ',') {
  CsvReader reader(text, delimiter, "t.csv");
  Records records;
  while (reader.next()) records.emplace_back(reader.fields().begin(), reader.fields().end());
  return records;
}

TEST(CsvReader, ReadsWellFormedInput) {
  struct Row {
    const char* name;
    std::string text;
    char delimiter;
    Records expected;
  };
  const std::vector<Row> rows = {
      {"plain", "a,b\n1,2\n3,4\n", ',', {{"a", "b"}, {"1", "2"}, {"3", "4"}}},
      {"CRLF", "a,b\r\n1,2\r\n", ',', {{"a", "b"}, {"1", "2"}}},
      {"lone CR, no final line end", "a,b\r1,2", ',', {{"a", "b"}, {"1", "2"}}},
      {"byte-order mark", "\xEF\xBB\xBF" "a,b\n1,2\n", ',', {{"a", "b"}, {"1", "2"}}},
      {"empty lines skipped", "\na,b\n\n\r\n1,2\n\n", ',', {{"a", "b"}, {"1", "2"}}},
      {"empty fields", "a,b,c\n,,\n1,,\n", ',', {{"a", "b", "c"}, {"", "", ""}, {"1", "", ""}}},
      {"quoted delimiter", "a,b\n\"x,y\",2\n", ',', {{"a", "b"}, {"x,y", "2"}}},
      {"doubled quotes", "a,b\n\"say \"\"hi\"\"\",\"\"\"\"\n", ',', {{"a", "b"}, {"say \"hi\"", "\""}}},
      {"newline in quotes", "a,b\n\"one\ntwo\",2\n", ',', {{"a", "b"}, {"one\ntwo", "2"}}},
      {"CRLF in quotes kept", "a\r\n\"x\r\ny\"\r\n", ',', {{"a"}, {"x\r\ny"}}},
      {"quote inside unquoted field", "a,b\nx\"y,2\n", ',', {{"a", "b"}, {"x\"y", "2"}}},
      {"blanks kept", "a,b\n 1 , x \n", ',', {{"a", "b"}, {" 1 ", " x "}}},
      {"semicolon", "a;b\n1,5;\n", ';', {{"a", "b"}, {"1,5", ""}}},
      {"UTF-8", "nom,ville\nRen\xC3\xA9,Z\xC3\xBCrich\n", ',', {{"nom", "ville"}, {"Ren\xC3\xA9", "Z\xC3\xBCrich"}}},
      {"header only", "a,b\n", ',', {{"a", "b"}}},
      {"nothing", "", ',', {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(read_all(row.text, row.delimiter), row.expected) << row.name;
  }
}

TEST(CsvReader, ReportsMalformedInputWithLineAndColumn) {
  struct Row {
    std::string text;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"a,b\n1,\"open\n", "t.csv, line 2, column 3: unterminated quoted field"},
      {"a,b\n1,2\n3,\"x\"y\n", "t.csv, line 3, column 6: unexpected character 'y' after the closing quote"},
      {"a,b\n\"multi\nline\" x,2\n", "t.csv, line 3, column 6: unexpected character ' ' after the closing quote"},
      {"a,b\n1,2,3\n", "t.csv, line 2: 3 fields found, 2 expected"},
      {"a,b\n1,2\n\n7\n", "t.csv, line 4: 1 field found, 2 expected"},
      {"a,b\n\"x\ny\",2\n1\n", "t.csv, line 4: 1 field found, 2 expected"},
      // Columns count characters: the two-byte é is one.
      {"a,b\n\xC3\xA9,\"x\"!\n", "t.csv, line 2, column 6: unexpected character '!'"},
  };
  for (const Row& row : rows) {
    try {
      read_all(row.text);
      ADD_FAILURE() << "no error for: " << row.text;
    } catch (const DataError& error) {
      EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos)
          << "got: " << error.what() << "\nwanted: " << row.message;
    }
  }
}

TEST(CsvReader, GivesFieldPositionsAndResumesFromAPosition) {
  const std::string text = "a,b\n\"x\ny\",22\n3,4\n";
  CsvReader reader(text, ',', "t.csv");
  ASSERT_TRUE(reader.next());
  const CsvReader::Position after_header = reader.position();
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.line(), 2);
  EXPECT_EQ(reader.field_line(1), 3);
  EXPECT_EQ(reader.field_column(1), 4);
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.line(), 4);
  EXPECT_FALSE(reader.next());

  CsvReader again(text, ',', "t.csv");
  again.expect_fields(2);
  again.seek(after_header);
  ASSERT_TRUE(again.next());
  EXPECT_EQ(again.fields()[0], "x\ny");
  EXPECT_EQ(again.line(), 2);
}

TEST(CsvReader, DetectsTheDelimiterFromTheHeader) {
  struct Row {
    std::string text;
    char expected;
  };
  const std::vector<Row> rows = {
      {"a,b,c\n1;2;3;4;5\n", ','},
      {"a;b;c\n1,2\n", ';'},
      {"\"x;y;z\",b,c\n", ','},    // delimiters inside quotes do not count
      {"a;b,c\n", ','},            // a tie goes to the comma
      {"single\n", ','},
      {"\xEF\xBB\xBF" "a;b\n", ';'},
      {"a;b", ';'},
      {"a\tb;c\td\n", '\t'},
  };
  for (const Row& row : rows) EXPECT_EQ(CsvReader::detect_delimiter(row.text), row.expected) << row.text;
}

TEST(CsvReader, UnescapesManyQuotedFieldsInOneRecord) {
  // More escaped text than the scratch buffer starts with: the views must
  // stay valid as it grows.
  std::string header;
  std::string record;
  std::vector<std::string> expected;
  for (int k = 0; k < 50; ++k) {
    header += (k ? "," : "") + std::string("c") + std::to_string(k);
    const std::string body(40 + k, 'x');
    record += (k ? "," : "") + std::string("\"") + body + "\"\"" + "\"";
    expected.push_back(body + "\"");
  }
  const Records records = read_all(header + "\n" + record + "\n");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], expected);
}

}  // namespace
}  // namespace mva::host
