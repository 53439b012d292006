// The map of missing values, run end to end: which variables get a row,
// the value shown under each letter for every form of user-missing values
// (discrete numbers, a range with and without its extra value, a string),
// and the system-missing footnote, which depends on whether a system-missing
// value was met in the list before the table was opened.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/output/renderers.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;

// p: missing 8 and 9; r: the range 90 to 99 and the value 0; t: the string
// NONE; s: no user-missing values, system-missing in case 1; q: none at all.
const char* const kData = "q,s,p,r,t\n1,,8,0,NONE\n2,1,9,95,ab\n3,3,1,2,cd\n";

// The cells of table 26 as "variable:letter" -> shown text, "rows" -> the
// row labels in order; "no table" when it is absent; "S" -> "yes" when the
// system-missing footnote is given.
std::map<std::string, std::string> map_of(const std::string& command) {
  host::DataOptions options;
  options.missing = {"p=8,9", "r=90:99,0", "t=NONE"};
  auto host = make_host({kData, options});
  run_command(*host, command);
  const json document = json::parse(host::render_json(host->output()));
  for (const json& item : document["output"]) {
    if (item["type"] != "table" || item["number"] != 26) continue;
    std::map<std::string, std::string> out;
    for (const json& d : item["dimensions"]) {
      if (d["axis"] != "row") continue;
      for (const json& c : d["categories"]) out["rows"] += c["text"].get<std::string>() + " ";
    }
    for (const json& c : item["cells"]) {
      out[c["at"]["MMAP_ VARIABLES"].get<std::string>() + ":" +
          c["at"]["MMAP_ PATTERN CODES"].get<std::string>()] = c["text"];
    }
    for (const json& f : item["footnotes"]) {
      if (f["key"] == "MMAP_ S DENOTES SYSTEM MISSING VALUES" && f["code"] == 6) out["S"] = "yes";
    }
    return out;
  }
  return {{"no table", ""}};
}

TEST(MissingValueMap, RowsLettersAndSystemMissingNote) {
  using Cells = std::map<std::string, std::string>;
  const Cells all = {{"p:A", "8"},        {"p:B", "9"},    {"r:C", "0"},
                     {"r:D", "90 TO 99"}, {"t:A", "NONE"}, {"rows", "p r t "}};
  const struct {
    const char* command;
    Cells expected;
  } cases[] = {
      // s is scanned only after p's row opened the table: no S footnote.
      {"MVA p r t s q /NOUNIVARIATE /MPATTERN.", all},
      // s comes first: its system-missing value is found before the table opens.
      {"MVA s q p r t /NOUNIVARIATE /DPATTERN.",
       {{"p:A", "8"}, {"p:B", "9"}, {"r:C", "0"}, {"r:D", "90 TO 99"}, {"t:A", "NONE"}, {"S", "yes"},
        {"rows", "p r t "}}},
      {"MVA q r /NOUNIVARIATE /MPATTERN /DPATTERN.", {{"r:C", "0"}, {"r:D", "90 TO 99"}, {"rows", "r "}}},
      // No user-missing values in the list: no table, system-missing or not.
      {"MVA s q /NOUNIVARIATE /DPATTERN.", {{"no table", ""}}},
      // Neither pattern subcommand: no map.
      {"MVA p r /NOUNIVARIATE /TPATTERN.", {{"no table", ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(map_of(c.command), c.expected) << c.command;
}

}  // namespace
}  // namespace mva::test
