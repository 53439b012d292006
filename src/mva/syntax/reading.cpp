// Helpers shared by the command readers: the typed text of the current token
// and the reporting of message keys with parameters.
#include "mva/syntax/reading.h"

namespace mva {

std::string token_text(const Context& cx) {
  const std::string& typed = current(cx).typed;
  return typed.substr(0, static_cast<std::size_t>(cx.host.ICHWDC(typed)));
}

void report(Context& cx, std::string_view key, std::initializer_list<std::string_view> params, MessageClass msg_class,
            Severity severity) {
  Host& host = cx.host;
  if (params.size() == 0) {
    host.BP_ERROR(host.BP_CSTRING(key), msg_class, severity);
    return;
  }
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(key));
  for (std::string_view p : params) host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(p));
  host.BP_ERROR(host.BP_END_COMPSTRING(), msg_class, severity);
}

}  // namespace mva
