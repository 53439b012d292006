// The variable-list reader behind the host's list call: reads names, "a TO b"
// ranges and ALL from a token stack into dictionary indices. It sees the
// dictionary only through a small view, so it can be used (and tested) without
// the dictionary class.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/commands/token_stream.h"
#include "mva/frame/host/host.h"

namespace mva::host {

struct DictionaryView {
  std::int64_t size = 0;  // dictionary slots 1..size
  // Index of the variable with this name (case-insensitive); 0 when there is
  // none. Never a continuation slot.
  std::function<std::int64_t(std::string_view)> find;
  // False for continuation slots of long strings.
  std::function<bool(std::int64_t)> is_variable;
  std::function<std::string(std::int64_t)> name;
};

// A host message key and its parameters.
struct ListFault {
  std::string key;
  std::vector<std::string> params;
};

struct ListResult {
  std::vector<std::int64_t> indices;  // on a fault: the variables read before it
  std::optional<ListFault> fault;
};

// Message keys of the list faults.
inline constexpr std::string_view kUnknownVariable = "HOST_ UNKNOWN VARIABLE ^1";
inline constexpr std::string_view kNamedTwice = "HOST_ VARIABLE ^1 NAMED TWICE";
inline constexpr std::string_view kReversedRange = "HOST_ TO RANGE ^1 TO ^2 IS REVERSED";
inline constexpr std::string_view kUnexpectedInList = "HOST_ UNEXPECTED ^1 IN VARIABLE LIST";
inline constexpr std::string_view kListExpected = "HOST_ VARIABLE LIST EXPECTED AT ^1";

// Reads a variable list from the current token of `stream` (stepping with
// `handle`). Items are a variable name, "a TO b" (every variable from a to b
// in dictionary order, continuation slots skipped) and ALL (every variable,
// unless a variable is named ALL); a comma may follow any item. The list ends
// at the end of the command, at the special symbol whose code is
// options.terminator, and also at WITH or "(" when options.list is 3, at "("
// when it is 2; that token is left current. On a fault the offending token is
// left current. options.duplicates: 2 a variable named twice is a fault, 3
// repeats are dropped, any other value keeps them.
ListResult read_variable_list(TokenStream& stream, StackHandle handle, const ListOptions& options,
                              const DictionaryView& dictionary);

}  // namespace mva::host
