// Every message key the procedure or the host can pass has a text in the
// English catalogue. Their sources are scanned for string literals that have
// the form of a key: a routine tag and an underscore, a blank, then the
// message ("PARS_ BAD SUBCOMMAND ^1", "HOST_ UNKNOWN VARIABLE ^1").
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
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(MVA_SOURCE_DIR) / "src")) {
    if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
    if (entry.path().filename() == "catalogue.cpp") continue;  // the catalogue itself
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

TEST(Catalogue, EveryKeyOfTheProcedureAndTheHostHasAText) {
  const std::set<std::string> keys = keys_in_sources();
  EXPECT_TRUE(keys.count("PARS_ BAD SUBCOMMAND ^1") && keys.count("HOST_ INTERRUPTED"));  // the scan sees both
  for (const std::string& key : keys) {
    EXPECT_TRUE(host::english_text(key).has_value()) << "no catalogue entry for \"" << key << "\"";
  }
}

}  // namespace
}  // namespace mva::test
