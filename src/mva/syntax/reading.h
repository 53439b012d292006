// Small helpers the command readers share: tests on the current token,
// stepping through the token stream, and reporting a message key with its
// parameters through the host.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "mva/frame/common.h"

namespace mva {

// The current token.
inline const Token& current(const Context& cx) { return cx.host.token(); }
// Makes the next token current.
inline void advance(Context& cx) { cx.host.SSNXT1(cx.ws, cx.handle); }

// The current token is the end of the command.
inline bool at_end(const Context& cx) { return current(cx).kind == TokenKind::End; }
// The current token is a name.
inline bool at_name(const Context& cx) { return current(cx).kind == TokenKind::Name; }
// The current token is a number.
inline bool at_number(const Context& cx) { return current(cx).kind == TokenKind::Number; }
// The current token is the special symbol s.
inline bool at_symbol(const Context& cx, Symbol s) {
  return current(cx).kind == TokenKind::Special && current(cx).symbol == s;
}
// The current token is "/".
inline bool at_slash(const Context& cx) { return at_symbol(cx, Symbol::Slash); }
// The current token is the word WITH.
inline bool at_with(const Context& cx) { return at_name(cx) && current(cx).symbol == Symbol::With; }

// Passes over an optional "=".
inline void skip_equals(Context& cx) {
  if (at_symbol(cx, Symbol::Equals)) advance(cx);
}

// True when the current token matches the keyword on its first n characters.
inline bool keyword(const Context& cx, std::string_view word, int n) {
  return at_name(cx) && cx.host.QABEQL(current(cx).text, word, n);
}

// The current token's text as typed, trailing blanks removed.
std::string token_text(const Context& cx);

// Reports `key` with literal parameters through BP_ERROR.
void report(Context& cx, std::string_view key, std::initializer_list<std::string_view> params, MessageClass msg_class,
            Severity severity);

// A command-syntax error.
inline void syntax_error(Context& cx, std::string_view key, std::initializer_list<std::string_view> params = {}) {
  report(cx, key, params, MessageClass::Syntax, Severity::Error);
}

}  // namespace mva
