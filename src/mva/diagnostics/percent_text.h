// The PERCENT threshold as the user typed it, for the warnings and footnotes
// of the t tests, crosstabulations and indicator correlations: the typed text
// (trailing blanks removed through the host's ICHWDC) as the one parameter of
// a message key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mva/frame/host/host.h"

namespace mva {

// The message `key` with the typed PERCENT text `typed` as its parameter ^1.
inline Text with_typed_percent(Host& host, std::string_view key, const std::string& typed) {
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(key));
  const auto length = static_cast<std::size_t>(host.ICHWDC(typed));
  host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(typed.substr(0, length)));
  return host.BP_END_COMPSTRING();
}

}  // namespace mva
