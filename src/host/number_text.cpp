// Numbers as text: parsing cells, inferring shapes, print formats and the
// display of a value in its print format.
#include "host/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fmt/format.h>

#include "host/data_error.h"

namespace mva::host {

const double kLowest = std::nextafter(-std::numeric_limits<double>::max(), 0.0);

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads an unsigned decimal integer that must fill `text`.
std::optional<int> parse_small_int(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

// The value with `decimals` decimals; a result that rounds to zero loses its
// minus sign ("-0.00" shows as "0.00").
std::string fixed_text(double value, int decimals) {
  std::string text = fmt::format("{:.{}f}", value, decimals);
  if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

}  // namespace

std::string_view trim_blanks(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && is_blank(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && is_blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string_view trim_trailing_blanks(std::string_view text) {
  std::size_t last = text.size();
  while (last > 0 && is_blank(text[last - 1])) --last;
  return text.substr(0, last);
}

std::optional<double> parse_number(std::string_view text) {
  text = trim_blanks(text);
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* const end = first + text.size();
  if (*first == '+') {
    ++first;
    if (first == end || *first == '-') return std::nullopt;
  }
  // from_chars also takes "inf", "nan" and friends: require a digit or a
  // point after the sign.
  const char* mantissa = (*first == '-') ? first + 1 : first;
  if (mantissa == end || !(is_digit(*mantissa) || *mantissa == '.')) return std::nullopt;
  double value = 0.0;
  auto [stop, ec] = std::from_chars(first, end, value, std::chars_format::general);
  if (ec != std::errc{} || stop != end) return std::nullopt;
  if (value == 0.0) value = 0.0;  // -0 reads as 0
  return value;
}

NumberShape shape_of_number(std::string_view text, double value) {
  text = trim_blanks(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  const std::size_t e = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, e);
  int exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = text.substr(e + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
  }
  const std::size_t point = mantissa.find('.');
  const int written = point == std::string_view::npos
                          ? 0
                          : static_cast<int>(mantissa.size() - point - 1);
  NumberShape shape;
  // Clamp before subtracting so that absurd exponents cannot overflow.
  const long long decimals = static_cast<long long>(written) - exponent;
  shape.decimals = static_cast<int>(std::clamp<long long>(decimals, 0, kMaxDecimals));
  const double magnitude = std::fabs(value);
  if (magnitude >= 1.0) {
    if (e == std::string_view::npos) {
      std::string_view whole = mantissa.substr(0, point);
      while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
      shape.integer_width = static_cast<int>(whole.size());
    } else {
      shape.integer_width = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
    }
  }
  if (value < 0.0) ++shape.integer_width;
  return shape;
}

PrintFormat parse_print_format(std::string_view text, std::string_view context) {
  const std::string_view given = text;
  text = trim_blanks(text);
  auto bad = [&](std::string_view why) {
    return DataError(fmt::format("{}: format \"{}\" {}", context, given, why));
  };
  if (text.empty()) throw bad("is empty");
  const char letter = text.front();
  PrintFormat format;
  if (letter == 'F' || letter == 'f') {
    format.type = kFormatF;
  } else if (letter == 'A' || letter == 'a') {
    format.type = kFormatA;
  } else {
    throw bad("is not understood (expected Fw.d or Aw, such as F8.2 or A10)");
  }
  text.remove_prefix(1);
  const std::size_t point = text.find('.');
  const auto width = parse_small_int(text.substr(0, point));
  if (!width) throw bad("is not understood (expected Fw.d or Aw, such as F8.2 or A10)");
  format.width = *width;
  format.decimals = 0;
  if (point != std::string_view::npos) {
    if (format.type == kFormatA) throw bad("has decimals, which A formats do not take");
    const auto decimals = parse_small_int(text.substr(point + 1));
    if (!decimals) throw bad("is not understood (expected Fw.d or Aw, such as F8.2 or A10)");
    format.decimals = *decimals;
  }
  if (format.type == kFormatF) {
    if (format.width < 1 || format.width > kMaxNumericWidth) {
      throw bad(fmt::format("has width {}; F widths go from 1 to {}", format.width, kMaxNumericWidth));
    }
    if (format.decimals > kMaxDecimals || format.decimals >= format.width) {
      throw bad(fmt::format("has {} decimals, too many for width {}", format.decimals, format.width));
    }
  } else if (format.width < 1 || format.width > kMaxStringWidth) {
    throw bad(fmt::format("has width {}; A widths go from 1 to {}", format.width, kMaxStringWidth));
  }
  return format;
}

std::string print_format_text(const PrintFormat& format) {
  if (format.type == kFormatA) return fmt::format("A{}", format.width);
  return fmt::format("F{}.{}", format.width, format.decimals);
}

std::string format_number(double value, const PrintFormat& format) {
  if (value == kSysmis) return ".";
  if (value == kLowest) return "LO";
  if (value == kHighest) return "HI";
  if (!std::isfinite(value)) return fmt::format("{}", value);
  const auto width = static_cast<std::size_t>(std::max(format.width, 1));
  int decimals = std::clamp(format.decimals, 0, kMaxDecimals);
  std::string text = fixed_text(value, decimals);
  // Too wide: give up decimals first, as fixed formats do, then the E form.
  while (text.size() > width && decimals > 0) text = fixed_text(value, --decimals);
  if (text.size() <= width) return text;
  // d.ddd E+nn takes 6 characters besides the decimals, one more for a sign.
  const int spare = static_cast<int>(width) - 6 - (value < 0 ? 1 : 0);
  return fmt::format("{:.{}E}", value, std::max(spare, 0));
}

}  // namespace mva::host
