// Numbers as text: reading a cell as a number (locale-independent, the forms a
// data file may hold), the shape of a number as written (decimals, integer
// digits) from which print formats are inferred, print formats in their text
// form ("F8.2", "A10"), and a value shown in its print format.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "mva/frame/host/types.h"

namespace mva::host {

// The system-missing value: a numeric cell that holds no value.
inline constexpr double kSysmis = -std::numeric_limits<double>::max();
// The ends "LO" and "HI" of an open missing-value range. LO lies just above
// the system-missing value so the two stay apart.
extern const double kLowest;
inline constexpr double kHighest = std::numeric_limits<double>::max();

inline constexpr int kFormatF = 5;  // PrintFormat::type of F (fixed decimals)
inline constexpr int kFormatA = 1;  // PrintFormat::type of A (characters)

inline constexpr int kMaxInferredDecimals = 6;
inline constexpr int kMinInferredWidth = 8;
inline constexpr int kMaxNumericWidth = 40;
inline constexpr int kMaxDecimals = 16;
inline constexpr int kMaxStringWidth = 32767;

// Blanks (spaces and tabs) removed at both ends, or at the end only.
std::string_view trim_blanks(std::string_view text);
std::string_view trim_trailing_blanks(std::string_view text);

// Reads a number: optional blanks around it, an optional sign, digits with an
// optional decimal point and exponent (12, -3.5, .5, 1e-3, +4). Infinities,
// NaNs, hexadecimal forms and numbers out of range are not numbers. A
// negative zero reads as zero.
std::optional<double> parse_number(std::string_view text);

// How a number was written: decimals shown (digits after the point, less the
// exponent: "2.50" has 2, "1.5e-3" has 4) and the digits before the point of
// the value, plus one for a minus sign. `text` must have read as `value`.
struct NumberShape {
  int decimals = 0;
  int integer_width = 1;
};
NumberShape shape_of_number(std::string_view text, double value);

// "F8.2", "F8" (no decimals), "A10"; letters in either case. Throws
// DataError ("<context>: ...") for anything else or an impossible width.
PrintFormat parse_print_format(std::string_view text, std::string_view context);
// The text form: "F8.2", "A10".
std::string print_format_text(const PrintFormat& format);

// A numeric value as its print format shows it, without padding: "." for the
// system-missing value, "LO"/"HI" for the open range ends. A value too wide
// for the format loses decimals, then goes to E notation.
std::string format_number(double value, const PrintFormat& format);

}  // namespace mva::host
