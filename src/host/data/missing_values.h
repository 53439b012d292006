// User-missing values: the forms a user gives them in (the --missing option,
// the dictionary file), and how they are checked and stored in a variable's
// record (up to three discrete values; a range; a range and one value).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mva/frame/host/types.h"

namespace mva::host {

// Missing values as given, before they are checked against the variable:
// discrete values and an optional range, as texts. Range ends may be "LO" /
// "LOWEST" and "HI" / "HIGHEST" (any case). Empty: no missing values.
struct MissingSpec {
  std::vector<std::string> values;
  std::optional<std::pair<std::string, std::string>> range;

  bool empty() const { return values.empty() && !range; }
};

// The longest string missing value: one 8-byte cell.
constexpr std::size_t kMaxMissingStringLength = 8;

// One --missing option: "VAR=9,99", "VAR=90:99", "VAR=90:99,0", "VAR=LO:5",
// "VAR=NONE,N/A"; "VAR=" clears the variable's missing values.
struct MissingOption {
  std::string variable;
  MissingSpec spec;
};
MissingOption parse_missing_option(std::string_view option);

// Checks `spec` against the variable and stores it in `record` (its form,
// values and texts; texts blank-padded to the string width). Throws
// DataError "<context>: ..." for more than three values, a range on a string
// variable, a value that is not a number, a text wider than the variable or
// longer than kMaxMissingStringLength.
void apply_missing(VarRecord& record, const MissingSpec& spec, std::string_view context);

}  // namespace mva::host
