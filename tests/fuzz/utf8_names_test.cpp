// Header names must be UTF-8 text, since every dictionary and JSON document
// the program writes carries them: the check and the load's message.
#include <gtest/gtest.h>

#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/dictionary.h"

namespace mva::host {
namespace {

TEST(Utf8Names, WellFormedTextOnly) {
  const struct {
    std::string text;
    bool valid;
  } rows[] = {
      {"income", true},           {"\xC3\xA9t\xC3\xA9", true},       {"\xE2\x82\xAC", true},
      {"\xF0\x9F\x98\x80", true}, {"\xF4\x8F\xBF\xBF", true},        {"\x9A" "d", false},
      {"\xC0\x80", false},        {"\xE0\x9F\xBF", false},           {"\xED\xA0\x80", false},
      {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false},      {"\xE2\x82", false},
      {"\xC3\x28", false},
  };
  for (const auto& row : rows) EXPECT_EQ(valid_utf8(row.text), row.valid) << row.text;
}

TEST(Utf8Names, HeaderNameNotUtf8IsRefused) {
  DataOptions options;
  options.data_path = "latin1.csv";
  try {
    DataSet::from_text("id,\xE9t\xE9\n1,2\n", options);
    FAIL() << "loaded";
  } catch (const DataError& e) {
    EXPECT_STREQ(e.what(), "latin1.csv: the name of column 2 in the header (line 1) is not UTF-8 text; "
                           "save the file as UTF-8");
  }
}

}  // namespace
}  // namespace mva::host
