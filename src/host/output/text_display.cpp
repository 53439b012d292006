// Display of output texts: catalogue look-up, number formatting and the
// filling of message templates (placeholders and repeat groups).
#include "host/output/text_display.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <limits>

#include "host/output/catalogue.h"
#include "host/data/number_text.h"

namespace mva::host {
namespace {

constexpr int kMaxDecimals = kMaxPrintDecimals;

// From this magnitude on a number is shown in scientific notation: a double
// holds 15 to 17 significant digits, so the fixed form of a larger number
// (up to 309 digits) would show digits that mean nothing, and no table
// column could hold it.
constexpr double kLargestFixed = 1e15;

// Scientific notation with the format's decimals in the mantissa (at least
// two, so that the figure still says something): 1.23E+20, -4.50E+300.
std::string scientific_text(double value, int decimals) {
  std::array<char, 64> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific,
                                    std::clamp(decimals, 2, kMaxDecimals));
  std::string text(buffer.data(), result.ptr);
  // to_chars writes 1.23e+20; the exponent is shown with a capital E.
  const std::size_t e = text.find('e');
  if (e != std::string::npos) text[e] = 'E';
  return text;
}

// Reads the digits at `pos` (advancing it); 0 when there are none.
int read_number(std::string_view s, std::size_t& pos) {
  int n = 0;
  bool any = false;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && n < 100000) {
    n = n * 10 + (s[pos] - '0');
    ++pos;
    any = true;
  }
  return any ? n : 0;
}

bool is_digit_at(std::string_view s, std::size_t pos) {
  return pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]));
}

// Index of the `]` that closes the repeat group opened at `open`, when that
// `]` is followed by a parameter number; npos when `[` opens no group.
std::size_t group_end(std::string_view s, std::size_t open) {
  for (std::size_t i = open + 1; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == '[') {
      return std::string_view::npos;
    } else if (s[i] == ']') {
      return is_digit_at(s, i + 1) ? i : std::string_view::npos;
    }
  }
  return std::string_view::npos;
}

// Splits the inside of a repeat group at its unescaped colons.
std::vector<std::string_view> split_parts(std::string_view s) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == ':') {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
  return parts;
}

const Text* param_at(const std::vector<Text>& params, int n) {
  if (n < 1 || static_cast<std::size_t>(n) > params.size()) return nullptr;
  return &params[static_cast<std::size_t>(n - 1)];
}

void append_escaped(std::string& out, char c) { out += (c == 'n') ? '\n' : c; }

// Fills the part of a repeat group for one item: `marker` followed by digits
// is the item's parameter; other text as it stands (escapes resolved).
std::string fill_item(std::string_view part, char marker, const Text& item) {
  std::string out;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '\\' && i + 1 < part.size()) {
      append_escaped(out, part[++i]);
    } else if (c == marker && is_digit_at(part, i + 1)) {
      std::size_t pos = i + 1;
      const int n = read_number(part, pos);
      if (const Text* p = param_at(item.params, n)) out += display(*p);
      i = pos - 1;
    } else {
      out += c;
    }
  }
  return out;
}

// The text after the last placeholder of ITEM: the separator between items.
std::size_t trailing_separator_length(std::string_view item) {
  std::size_t last_end = std::string_view::npos;
  for (std::size_t i = 0; i < item.size(); ++i) {
    if (item[i] == '\\') {
      ++i;
    } else if (item[i] == '^' && is_digit_at(item, i + 1)) {
      std::size_t pos = i + 1;
      read_number(item, pos);
      last_end = pos;
      i = pos - 1;
    }
  }
  return last_end == std::string_view::npos ? 0 : item.size() - last_end;
}

bool has_placeholder(std::string_view part, char marker) {
  for (std::size_t i = 0; i + 1 < part.size(); ++i) {
    if (part[i] == '\\') {
      ++i;
    } else if (part[i] == marker && is_digit_at(part, i + 1)) {
      return true;
    }
  }
  return false;
}

// A repeat group over the items of `list`.
std::string fill_group(std::string_view inside, const Text& list) {
  if (list.kind != Text::Kind::RepeatList) return display(list);
  const std::vector<Text>& items = list.params;
  if (items.empty()) return {};
  const std::vector<std::string_view> parts = split_parts(inside);
  const std::string_view prefix = parts.size() > 1 ? parts[0] : std::string_view{};
  const std::string_view item = parts.size() > 1 ? parts[1] : parts[0];

  std::string out;
  std::size_t first = 0;
  if (has_placeholder(prefix, '%')) {
    out += fill_item(prefix, '%', items.front());
    first = 1;
  } else {
    out += fill_item(prefix, '^', Text{});
  }
  const std::size_t separator = trailing_separator_length(item);
  for (std::size_t k = first; k < items.size(); ++k) {
    std::string one = fill_item(item, '^', items[k]);
    if (k + 1 == items.size()) {
      // The separator left off is the template's, which may itself hold escapes;
      // fill it on its own to know how long it shows.
      const std::string tail = fill_item(item.substr(item.size() - separator), '^', Text{});
      if (one.size() >= tail.size() && one.compare(one.size() - tail.size(), tail.size(), tail) == 0) {
        one.resize(one.size() - tail.size());
      }
    }
    out += one;
  }
  return out;
}

bool is_blank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

}  // namespace

bool is_system_missing(double value) { return value == kSystemMissing || !std::isfinite(value); }

std::string format_number(double value, const Format& format) {
  if (is_system_missing(value)) return ".";
  const int decimals = format.kind == FormatKind::Count ? 0 : std::clamp(format.decimals, 0, kMaxDecimals);
  if (std::fabs(value) >= kLargestFixed) return scientific_text(value, decimals);
  return fixed_text(value, decimals);
}

std::string fill_template(std::string_view pattern, const std::vector<Text>& params) {
  std::string out;
  bool capitalize_next = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\\' && i + 1 < pattern.size()) {
      append_escaped(out, pattern[++i]);
    } else if (c == '^' && is_digit_at(pattern, i + 1)) {
      std::size_t pos = i + 1;
      const int n = read_number(pattern, pos);
      if (const Text* p = param_at(params, n)) {
        out += display(*p);
      } else {
        out.append(pattern.substr(i, pos - i));  // no such parameter: keep the placeholder
      }
      i = pos - 1;
    } else if (c == '[' && group_end(pattern, i) != std::string_view::npos) {
      const std::size_t close = group_end(pattern, i);
      std::size_t pos = close + 1;
      const int n = read_number(pattern, pos);
      const Text* p = param_at(params, n);
      const std::string filled = p ? fill_group(pattern.substr(i + 1, close - i - 1), *p) : "";
      i = pos - 1;
      if (!filled.empty()) {
        out += filled;
      } else if (is_blank(out)) {
        // An empty list at the start of a sentence ("[...]1: there are ..."):
        // drop the punctuation that would follow it and start the sentence
        // with a capital.
        while (i + 1 < pattern.size() && std::string_view(":,; ").find(pattern[i + 1]) != std::string_view::npos) {
          ++i;
        }
        out.clear();
        capitalize_next = true;
      } else {
        while (!out.empty() && out.back() == ' ') out.pop_back();
        if (i + 1 < pattern.size() && std::isalnum(static_cast<unsigned char>(pattern[i + 1]))) {
          out += ' ';
        }
      }
      continue;
    } else {
      out += c;
    }
    if (capitalize_next && !out.empty()) {
      out.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(out.front())));
      capitalize_next = false;
    }
  }
  return out;
}

std::string display(const Text& text) {
  switch (text.kind) {
    case Text::Kind::Empty: return {};
    case Text::Kind::Literal: return text.key;
    case Text::Kind::Key: {
      const auto found = english_text(text.key);
      return found ? fill_template(*found, text.params) : text.key;
    }
    case Text::Kind::Number: return format_number(text.number, text.format);
    case Text::Kind::Variable: return text.name;
    case Text::Kind::VarValue:
      if (!text.label.empty()) return text.label;
      return text.format.type == 1 ? std::string{} : format_number(text.number, text.format);
    case Text::Kind::Composite: {
      const auto found = english_text(text.key);
      return fill_template(found ? *found : std::string_view(text.key), text.params);
    }
    case Text::Kind::RepeatList: {
      std::string out;
      for (const Text& item : text.params) {
        if (!out.empty()) out += ", ";
        std::string one;
        for (const Text& p : item.params) {
          if (!one.empty()) one += '=';
          one += display(p);
        }
        out += one;
      }
      return out;
    }
  }
  return {};
}

std::string key_of(const Text& text) {
  if (text.kind == Text::Kind::Key || text.kind == Text::Kind::Composite) return text.key;
  return {};
}

}  // namespace mva::host
