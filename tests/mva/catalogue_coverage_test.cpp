// Every message key the procedure or the host can pass has a text in the
// English catalogue. Their sources are scanned for string literals that have
// the form of a key: a routine tag and an underscore, a blank, then the
// message ("PARS_ BAD SUBCOMMAND ^1", "HOST_ UNKNOWN VARIABLE ^1").
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "host/output/catalogue.h"
#include "support/harness.h"

namespace mva::test {
namespace {

TEST(Catalogue, EveryKeyOfTheProcedureAndTheHostHasAText) {
  const std::regex key_literal(R"re("(_?[A-Z]{2,6}_ (?:[^"\\]|\\.)*)")re");
  std::set<std::string> keys;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(MVA_SOURCE_DIR "/src")) {
    const auto& path = entry.path();
    if ((path.extension() != ".cpp" && path.extension() != ".h") || path.filename() == "catalogue.cpp") continue;
    const std::string source = file_text(path);
    for (std::sregex_iterator it(source.begin(), source.end(), key_literal), end; it != end; ++it) {
      // Undo the C++ escapes \\ and \"; the catalogue finds \n written out.
      keys.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\([\\"]))"), "$1"));
    }
  }
  EXPECT_TRUE(keys.count("PARS_ BAD SUBCOMMAND ^1") && keys.count("HOST_ INTERRUPTED"));  // the scan sees both
  for (const std::string& key : keys) {
    EXPECT_TRUE(host::english_text(key).has_value()) << "no catalogue entry for \"" << key << "\"";
  }
}

}  // namespace
}  // namespace mva::test
