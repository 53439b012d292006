// Every message key the procedure or the host can report has a text in the
// English catalogue. The sources of both are scanned for string literals that
// have the form of a key: a routine tag and an underscore, a blank, then the
// message ("PARS_ BAD SUBCOMMAND ^1").
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
  for (const char* folder : {"src/mva", "src/host"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(MVA_SOURCE_DIR) / folder)) {
      if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      const std::string source = text.str();
      for (std::sregex_iterator it(source.begin(), source.end(), key_literal), end; it != end;
           ++it) {
        keys.insert(unescape((*it)[1].str()));
      }
    }
  }
  return keys;
}

TEST(Catalogue, EveryKeyHasAText) {
  const std::set<std::string> keys = keys_in_sources();
  EXPECT_GT(keys.size(), 10u);  // the scan found the procedure's messages
  for (const std::string& key : keys) {
    EXPECT_TRUE(host::english_text(key).has_value()) << "no catalogue entry for \"" << key << "\"";
  }
}

}  // namespace
}  // namespace mva::test
