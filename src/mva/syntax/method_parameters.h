// Pieces shared by the readers of the EM and REGRESSION subcommands: the
// dependent and independent lists that open them, the opening of their
// parameter list, numeric parameters checked against their bounds, the
// degrees of freedom of a t model and the OUTFILE request.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "mva/frame/common.h"

namespace mva {

// A numeric parameter inside the parentheses: its keyword (compared on eight
// characters, blank padded), the field it sets, the values it accepts and the
// message for any other value.
struct NumericParameter {
  std::string_view keyword;                  // the keyword as compared
  double MvaCommon::*real = nullptr;         // set to the value, or
  std::int64_t MvaCommon::*count = nullptr;  // set to the value's integer part
  bool (*accepts)(double) = nullptr;         // the bounds of the value
  std::string_view message;                  // reported for a value out of bounds
};

// Reads "[dependent list] [WITH independent list]" of method m (14 EM, 15
// REGRESSION) from the current token; false when a list could not be read.
bool read_method_lists(Context& cx, int m);

// What follows the variable lists of a method subcommand.
enum class ParameterList {
  None,  // the end of the command or "/": no parameters
  Open,  // "(": the parameters follow
  Bad,   // anything else, reported with `bad_symbol`
};

// Classifies the current token after the lists; reports `bad_symbol` with the
// token's text when it is neither the end, "/" nor "(".
ParameterList open_parameters(Context& cx, std::string_view bad_symbol);

// The parameter of `table` whose keyword is current, or null.
const NumericParameter* find_parameter(const Context& cx, std::span<const NumericParameter> table);

// Reads the value of the parameter whose keyword is current (an optional "="
// before it) and stores it; false, with the parameter's message, when the
// value is no number or out of bounds. The number stays current.
bool read_numeric_parameter(Context& cx, const NumericParameter& parameter);

// The integer part of a non-negative count, saturating at the largest count.
std::int64_t truncated_count(double value);

// Degrees of freedom of a t model at the current token: a number from 2 to
// 200, stored truncated in `df`. A value out of range is reported as
// `out_of_range` (false); a value with a fraction is stored truncated and
// reported as `not_integer`, and reading goes on (true).
bool read_degrees_of_freedom(Context& cx, double& df, std::string_view out_of_range, std::string_view not_integer);

// OUTFILE [=] file, with OUTFILE current. In the first split group records
// where the file specification stands, and reports `asterisk` (false) when it
// is "*"; in later groups the file of the first group stays in use and
// nothing is recorded. Passes over the file name, leaving the token
// after it current, and asks for a data file.
bool read_outfile(Context& cx, OutfileRequest& request, std::string_view asterisk);

}  // namespace mva
