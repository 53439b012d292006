// Every message key the procedure can hand to the host has a text in the
// English catalogue. The procedure's sources are scanned for string literals
// that have the form of a key: a routine tag and an underscore, a blank, then
// the message ("PARS_ BAD SUBCOMMAND ^1").
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "host/output/catalogue.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;

// Undoes the C++ escapes a key literal can hold (\\, \" and \n).
std::string unescape(const std::string& literal) {
  std::string out;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) {
      ++i;
      out += literal[i] == 'n' ? '\n' : literal[i];
      continue;
    }
    out += literal[i];
  }
  return out;
}

std::set<std::string> keys_in_sources() {
  const std::regex key_literal(R"re("(_?[A-Z]{2,6}_ (?:[^"\\]|\\.)*)")re");
  std::set<std::string> keys;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(MVA_SOURCE_DIR) / "src/mva")) {
    if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator it(source.begin(), source.end(), key_literal), end; it != end; ++it) {
      keys.insert(unescape((*it)[1].str()));
    }
  }
  return keys;
}

TEST(Catalogue, EveryKeyOfTheProcedureHasAText) {
  const std::set<std::string> keys = keys_in_sources();
  EXPECT_GT(keys.size(), 10u);  // the scan found the procedure's messages
  for (const std::string& key : keys) {
    EXPECT_TRUE(host::english_text(key).has_value()) << "no catalogue entry for \"" << key << "\"";
  }
}

TEST(Catalogue, HostKeysUsedByTheHostHaveTexts) {
  for (const char* key : {"HOST_ UNKNOWN VARIABLE ^1", "HOST_ VARIABLE ^1 NAMED TWICE",
                          "HOST_ TO RANGE ^1 TO ^2 IS REVERSED", "HOST_ UNEXPECTED ^1 IN VARIABLE LIST",
                          "HOST_ VARIABLE LIST EXPECTED AT ^1", "HOST_ INTERNAL ERROR IN ^1: ^2",
                          "HOST_ INTERRUPTED", "HOST_ SPLIT FILE NOT SORTED BY ^1", "HOST_ ERROR ^1",
                          "HOST_ CANNOT OPEN OUTFILE ^1", "HOST_ CANNOT WRITE OUTFILE ^1",
                          "HOST_ EXPECTED FILE NAME AT ^1", "HOST_ UNKNOWN COMMAND ^1"}) {
    EXPECT_TRUE(host::english_text(key).has_value()) << key;
  }
}

}  // namespace
}  // namespace mva::test
