// Pieces shared by the EM and REGRESSION readers. Both subcommands take the
// form NAME [dependent list] [WITH independent list] [(parameter ...)]; a
// parameter is a keyword, an optional "=" and a value, and a value out of its
// bounds ends the subcommand with that parameter's message.
#include "mva/syntax/method_parameters.h"

#include <cmath>

#include "mva/syntax/reading.h"
#include "mva/syntax/variable_lists.h"

namespace mva {

bool read_method_lists(Context& cx, int m) {
  if (at_name(cx) && !at_with(cx)) {
    DEPV(cx, m);
    if (cx.host.error_flag()) return false;
  }
  if (at_with(cx)) {  // a list that starts with WITH names predictors only
    advance(cx);
    INDV(cx, m);
    if (cx.host.error_flag()) return false;
  }
  return true;
}

ParameterList open_parameters(Context& cx, std::string_view bad_symbol) {
  if (at_end(cx) || at_slash(cx)) return ParameterList::None;
  if (at_symbol(cx, Symbol::LeftParen)) return ParameterList::Open;
  syntax_error(cx, bad_symbol, {token_text(cx)});
  return ParameterList::Bad;
}

const NumericParameter* find_parameter(const Context& cx, std::span<const NumericParameter> table) {
  for (const NumericParameter& p : table) {
    if (keyword(cx, p.keyword, 8)) return &p;
  }
  return nullptr;
}

bool read_numeric_parameter(Context& cx, const NumericParameter& parameter) {
  advance(cx);
  skip_equals(cx);
  const double value = current(cx).number;
  if (!at_number(cx) || !parameter.accepts(value)) {
    syntax_error(cx, parameter.message);
    return false;
  }
  if (parameter.real != nullptr) cx.cmn.*parameter.real = value;
  if (parameter.count != nullptr) cx.cmn.*parameter.count = truncated_count(value);
  return true;
}

std::int64_t truncated_count(double value) {
  // 2**63 and beyond do not fit a count; they stand for "no limit".
  constexpr double kLimit = 9223372036854775808.0;
  return value >= kLimit ? INT64_MAX : static_cast<std::int64_t>(std::trunc(value));
}

bool read_degrees_of_freedom(Context& cx, double& df, std::string_view out_of_range, std::string_view not_integer) {
  const double value = current(cx).number;
  if (!at_number(cx) || !(value >= 2.0 && value <= 200.0)) {
    syntax_error(cx, out_of_range);
    return false;
  }
  df = std::trunc(value);
  if (df != value) syntax_error(cx, not_integer);
  return true;
}

bool read_outfile(Context& cx, OutfileRequest& request, std::string_view asterisk) {
  advance(cx);
  skip_equals(cx);
  if (is_true(cx.cmn.FIRSTG)) {
    // "*" would name the active file, which the procedure only reads.
    if (at_symbol(cx, Symbol::Asterisk)) {
      report(cx, asterisk, {}, MessageClass::Runtime, Severity::Error);
      request.position = 0;
      return false;
    }
    request.position = cx.host.token_position();
  }
  advance(cx);
  request.kind = kDataFile;
  return true;
}

}  // namespace mva
