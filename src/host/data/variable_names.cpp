// Variable names from headers: the check of a name against what the command
// reader takes as one (a name token, not a reserved word, not cut short by
// a period that ends the command), the repair of a header that fails it, and
// the suffixes that make the names unique.
#include "host/data/variable_names.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <unordered_set>

#include "host/data/dictionary.h"
#include "host/data/number_text.h"

namespace mva::host {

namespace {

// The words a variable list reads as part of its syntax (WITH is a symbol
// to the lexer, ALL and TO are read in lists, BY joins lists). Comparison
// words such as GT or EQ mean nothing in an MVA command and stay names: R's
// mammalsleep has a column `gt`.
constexpr std::array<std::string_view, 4> kReservedWords = {"ALL", "BY", "TO", "WITH"};

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }
// The characters a name may start with, and those it may go on with.
bool starts_name(char c) { return is_letter(c) || c == '_' || c == '@' || c == '#' || c == '$'; }
bool continues_name(char c) { return starts_name(c) || is_digit(c) || c == '.'; }

bool is_reserved(std::string_view name) {
  if (name.size() > 4) return false;
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return std::find(kReservedWords.begin(), kReservedWords.end(), upper) != kReservedWords.end();
}

// Rules 2 and 4 for the header of column `column` (1-based), which is not a
// valid name.
std::string repaired_name(std::string_view header, std::size_t column) {
  if (header.empty()) return column == 1 ? "rowname" : fmt::format("v{}", column);
  std::string name;
  bool in_run = false;  // within a run of characters that cannot stand in a name
  for (const char c : header) {
    if (continues_name(c)) {
      name += c;
      in_run = false;
    } else if (!in_run) {
      name += '_';
      in_run = true;
    }
  }
  const std::size_t first = name.find_first_not_of("_.");
  if (first == std::string::npos) return fmt::format("v{}", column);
  name = name.substr(first, name.find_last_not_of("_.") - first + 1);
  if (is_digit(name.front())) {
    std::string prefixed(1, 'v');
    prefixed += name;
    name = std::move(prefixed);
  }
  if (is_reserved(name)) name += '_';
  return name;
}

}  // namespace

bool is_valid_variable_name(std::string_view name) {
  if (name.empty() || !starts_name(name.front()) || name.back() == '.') return false;
  if (!std::all_of(name.begin(), name.end(), continues_name)) return false;
  return !is_reserved(name);
}

std::vector<std::string> variable_names(const std::vector<std::string>& headers) {
  std::vector<std::string> names(headers.size());
  std::unordered_set<std::string> taken;  // folded
  std::vector<std::size_t> to_make;       // columns whose name is made below, in order
  for (std::size_t c = 0; c < headers.size(); ++c) {
    const std::string trimmed(trim_blanks(headers[c]));
    if (is_valid_variable_name(trimmed) && taken.insert(fold_name(trimmed)).second) {
      names[c] = trimmed;
    } else {
      to_make.push_back(c);
    }
  }
  for (const std::size_t c : to_make) {
    const std::string trimmed(trim_blanks(headers[c]));
    const std::string base = is_valid_variable_name(trimmed) ? trimmed : repaired_name(trimmed, c + 1);
    std::string name = base;
    for (int suffix = 2; !taken.insert(fold_name(name)).second; ++suffix) name = fmt::format("{}_{}", base, suffix);
    names[c] = std::move(name);
  }
  return names;
}

}  // namespace mva::host
