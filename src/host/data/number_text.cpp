// Numbers as text: parsing cells, inferring shapes, print formats and the
// display of a value in its print format.
#include "host/data/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>

#include "host/data/data_error.h"

namespace mva::host {

namespace {

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

// A number's text taken apart by one scan of its form.
struct ScannedNumber {
  std::string_view text;  // blanks trimmed, sign included
  bool negative = false;
  std::uint64_t mantissa = 0;  // all digits, point ignored (exact when digits <= 19)
  int digits = 0;
  std::string_view whole;  // digits before the point
  int fraction_digits = 0;
  bool has_exponent = false;
  int exponent = 0;

  // Clinger's fast path: a mantissa below 2^53 and a power of ten up to
  // 10^22 are both exact doubles, so one multiplication or division rounds
  // correctly, and the value is finite.
  int scale() const { return exponent - fraction_digits; }
  bool fast() const { return digits <= 19 && mantissa < (std::uint64_t{1} << 53) && scale() >= -22 && scale() <= 22; }
};

// Scans the number that starts at `p`: an optional sign, digits with an
// optional point, an optional exponent. Fills `n` (its text from `p` to the
// end of the number) and returns where the number ends: the first character
// that cannot continue it. Null when there is no number at `p` (no digit, or
// an exponent without digits). (An out parameter rather than an optional
// result: copying the struct out costs store-forwarding stalls in the
// hottest loop of loading.)
const char* scan_number_at(const char* p, const char* const end, ScannedNumber& n) {
  const char* const start = p;
  if (p < end && (*p == '+' || *p == '-')) n.negative = *p++ == '-';
  const char* const whole = p;
  while (p < end && is_digit(*p)) {
    n.mantissa = n.mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    ++p;
  }
  n.whole = std::string_view(whole, static_cast<std::size_t>(p - whole));
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && is_digit(*p)) {
      n.mantissa = n.mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
      ++p;
    }
    n.fraction_digits = static_cast<int>(p - fraction);
  }
  n.digits = static_cast<int>(n.whole.size()) + n.fraction_digits;
  if (n.digits == 0) return nullptr;
  if (p < end && (*p == 'e' || *p == 'E')) {
    n.has_exponent = true;
    ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || !is_digit(*p)) return nullptr;
    while (p < end && is_digit(*p)) {
      if (n.exponent < 100000) n.exponent = n.exponent * 10 + (*p - '0');  // far out of range already
      ++p;
    }
    if (negative) n.exponent = -n.exponent;
  }
  n.text = std::string_view(start, static_cast<std::size_t>(p - start));
  return p;
}

// Fills `n` and says whether `text`, blanks trimmed, has the form of a number.
bool scan_number(std::string_view text, ScannedNumber& n) {
  text = trim_blanks(text);
  const char* const end = text.data() + text.size();
  return scan_number_at(text.data(), end, n) == end;
}

// The value of a scanned number; false when it is out of range.
bool value_of(const ScannedNumber& n, double& result) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  double value = 0.0;
  if (n.fast()) {
    value = static_cast<double>(n.mantissa);
    value = n.scale() < 0 ? value / kPowers[-n.scale()] : value * kPowers[n.scale()];
    if (n.negative) value = -value;
  } else {
    // from_chars takes no plus sign.
    const std::string_view text = n.text.front() == '+' ? n.text.substr(1) : n.text;
    auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range && n.scale() < 0) {
      value = 0.0;  // too small for a double even as a subnormal: the nearest is zero
    } else if (ec != std::errc{} || stop != text.data() + text.size()) {
      return false;
    }
  }
  result = value == 0.0 ? 0.0 : value;  // -0 reads as 0
  return true;
}

}  // namespace

std::string shortened(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  if (text.size() <= kLongest) return std::string(text);
  std::size_t cut = kLongest - 10;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return std::string(text.substr(0, cut)) + "... (" + std::to_string(characters) + " characters)";
}

std::string name_list(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t k = 0; k < names.size(); ++k) {
    list += k == 0 ? "" : k + 1 == names.size() ? " and " : ", ";
    list += names[k];
  }
  return list;
}

std::optional<double> parse_number(std::string_view text) {
  ScannedNumber n;
  double value = 0.0;
  if (!scan_number(text, n) || !value_of(n, value)) return std::nullopt;
  return value;
}

namespace {

// The shape of a scanned number; false when it is out of range.
bool shape_of(const ScannedNumber& n, NumberShape& shape) {
  shape.decimals = static_cast<int>(std::clamp<long>(long{n.fraction_digits} - n.exponent, 0, kMaxPrintDecimals));
  if (!n.fast() || n.has_exponent) {
    // The value decides: whether it is in range, and its integer digits.
    double value = 0.0;
    if (!value_of(n, value)) return false;
    const double magnitude = std::fabs(value);
    shape.integer_width = magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
    if (value < 0.0) ++shape.integer_width;
    return true;
  }
  // A plain decimal: count the digits before the point, less leading zeros.
  std::string_view whole = n.whole;
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  shape.integer_width = whole.empty() ? 1 : static_cast<int>(whole.size());
  if (n.negative && n.mantissa != 0) ++shape.integer_width;
  return true;
}

}  // namespace

std::optional<NumberShape> measure_number(std::string_view text) {
  ScannedNumber n;
  NumberShape shape;
  if (!scan_number(text, n) || !shape_of(n, shape)) return std::nullopt;
  return shape;
}

const char* read_number_at(const char* p, const char* end, double& value, NumberShape& shape) {
  ScannedNumber n;
  const char* const stop = scan_number_at(p, end, n);
  if (stop == nullptr || !shape_of(n, shape) || !value_of(n, value)) return nullptr;
  return stop;
}

PrintFormat parse_print_format(std::string_view text, std::string_view context) {
  const std::string_view given = text;
  text = trim_blanks(text);
  auto bad = [&](std::string_view why) { return DataError(fmt::format("{}: format \"{}\" {}", context, given, why)); };
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
    if (format.decimals > kMaxPrintDecimals || format.decimals >= format.width) {
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

// The value with `decimals` decimals. The shortest decimal form that reads
// back as the value is rounded, halves away from zero, so that a value
// written 0.125 shows as 0.13, as its writer would expect; a result that
// rounds to zero loses its minus sign.
std::string fixed_text(double value, int decimals) {
  // A whole number (a count, a case number) is its digits and the zeros of
  // its decimals, as the general form below gives it (0 for -0).
  constexpr double kExact = 9007199254740992.0;  // 2^53: integers up to here are exact
  if (std::trunc(value) == value && std::fabs(value) < kExact && decimals >= 0) {
    std::array<char, 24> digits;
    const auto whole = static_cast<std::int64_t>(value);
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), whole).ptr;
    std::string text(digits.data(), end);
    if (decimals > 0) {
      text += '.';
      text.append(static_cast<std::size_t>(decimals), '0');
    }
    return text;
  }
  return fixed_text_by_digits(value, decimals);
}

std::string fixed_text_by_digits(double value, int decimals) {
  std::array<char, 400> buffer;  // fixed notation of any finite double fits
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  std::string_view shortest(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const bool negative = shortest.front() == '-';
  if (negative) shortest.remove_prefix(1);
  const std::size_t point = shortest.find('.');
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : shortest.substr(point + 1);
  const auto kept = static_cast<std::size_t>(decimals);
  std::string digits(shortest.substr(0, point));
  digits += fraction.substr(0, kept);
  digits.append(kept - std::min(kept, fraction.size()), '0');
  if (fraction.size() > kept && fraction[kept] >= '5') {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[i - 1];
    }
  }
  std::string text = digits.substr(0, digits.size() - kept);
  if (kept > 0) text += '.' + digits.substr(digits.size() - kept);
  if (negative && text.find_first_not_of("0.") != std::string::npos) text.insert(text.begin(), '-');
  return text;
}

std::string format_value(double value, const PrintFormat& format) {
  if (value == kSystemMissing) return ".";
  if (value == kLowest) return "LO";
  if (value == kHighest) return "HI";
  if (!std::isfinite(value)) return fmt::format("{}", value);
  const auto width = static_cast<std::size_t>(std::max(format.width, 1));
  int decimals = std::clamp(format.decimals, 0, kMaxPrintDecimals);
  std::string text = fixed_text(value, decimals);
  // Too wide: give up decimals first, as fixed formats do, then the E form.
  while (text.size() > width && decimals > 0) text = fixed_text(value, --decimals);
  if (text.size() <= width) return text;
  // d.ddd E+nn takes 6 characters besides the decimals, one more for a sign.
  const int spare = static_cast<int>(width) - 6 - (value < 0 ? 1 : 0);
  return fmt::format("{:.{}E}", value, std::max(spare, 0));
}

}  // namespace mva::host
