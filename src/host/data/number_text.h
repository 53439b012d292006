// Numbers as text: reading a cell as a number (locale-independent, the forms a
// data file may hold), the shape of a number as written (decimals, integer
// digits) from which print formats are inferred, print formats in their text
// form ("F8.2", "A10"), and a value shown in its print format.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mva/frame/host/types.h"

namespace mva::host {

// The system-missing value: a numeric cell that holds no value (the value
// the host's PCINMS gives).
inline constexpr double kSystemMissing = -std::numeric_limits<double>::max();
// The ends "LO" and "HI" of an open missing-value range. LO lies just above
// the system-missing value so the two stay apart.
inline constexpr double kLowest = -0x1.ffffffffffffep+1023;  // nextafter(-max, 0)
inline constexpr double kHighest = std::numeric_limits<double>::max();

inline constexpr int kFormatF = 5;  // PrintFormat::type of F (fixed decimals)
inline constexpr int kFormatA = 1;  // PrintFormat::type of A (characters)

inline constexpr int kMaxInferredDecimals = 6;
inline constexpr int kMinInferredWidth = 8;
inline constexpr int kMaxNumericWidth = 40;
inline constexpr int kMaxPrintDecimals = 16;
inline constexpr int kMaxStringWidth = 32767;

// Blanks (spaces and tabs) removed at both ends, or at the end only. Inline:
// they run on every cell of a data file.
inline std::string_view trim_trailing_blanks(std::string_view text) {
  std::size_t last = text.size();
  while (last > 0 && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(0, last);
}
inline std::string_view trim_blanks(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
  return trim_trailing_blanks(text.substr(first));
}

// A user's text (a token, a value or name from a file) as a message quotes
// it: as typed up to 40 bytes; a longer text is cut (at a character
// boundary) and ends with "... (N characters)", so that a huge value makes a
// message of normal length.
std::string shortened(std::string_view text);

// Names joined for a sentence: "a", "a and b", "a, b and c".
std::string name_list(const std::vector<std::string>& names);

// Reads a number: optional blanks around it, an optional sign, digits with an
// optional decimal point and exponent (12, -3.5, .5, 1e-3, +4). Infinities,
// NaNs, hexadecimal forms and numbers out of range are not numbers. A
// negative zero reads as zero. The result is the correctly rounded double.
std::optional<double> parse_number(std::string_view text);

// How a number was written: decimals shown (digits after the point, less the
// exponent: "2.50" has 2, "1.5e-3" has 4) and the digits before the point of
// the value, plus one for a minus sign ("-12.5" has 3).
struct NumberShape {
  int decimals = 0;
  int integer_width = 1;
};
// The shape of `text` when it reads as a number (as parse_number), else
// nothing. Cheaper than parse_number: most forms need no conversion.
std::optional<NumberShape> measure_number(std::string_view text);

// Reads the number that starts at `p` (no blanks before it) and stops at the
// first character that cannot continue it, for readers that parse in place:
// returns that position, with `value` and `shape` as parse_number and
// measure_number give them for the text up to it; null when no number
// starts at `p` or it is out of range.
const char* read_number_at(const char* p, const char* end, double& value, NumberShape& shape);

// "F8.2", "F8" (no decimals), "A10"; letters in either case. Throws
// DataError ("<context>: ...") for anything else or an impossible width.
PrintFormat parse_print_format(std::string_view text, std::string_view context);
// The text form: "F8.2", "A10".
std::string print_format_text(const PrintFormat& format);

// A numeric value as its print format shows it, without padding: "." for the
// system-missing value, "LO"/"HI" for the open range ends. The shortest
// decimal form of the value is rounded, halves away from zero (12.25 shows
// as 12.3 with one decimal); zero never has a minus sign. A value too wide
// for the format loses decimals, then goes to E notation.
std::string format_value(double value, const PrintFormat& format);

// The value with `decimals` decimals: the shortest decimal form that reads
// back as the value, rounded halves away from zero; no minus sign on zero.
std::string fixed_text(double value, int decimals);
// fixed_text by the general rule alone, for every value: fixed_text gives a
// whole number's text without it, and must give what this gives.
std::string fixed_text_by_digits(double value, int decimals);

}  // namespace mva::host
