// User-missing values: parsing the option form and storing a checked form in
// a dictionary record.
#include "host/data/missing_values.h"

#include <algorithm>
#include <fmt/format.h>

#include "host/data/data_error.h"
#include "host/data/number_text.h"

namespace mva::host {

namespace {

bool equals_upper(std::string_view text, std::string_view upper) {
  return text.size() == upper.size() && std::equal(text.begin(), text.end(), upper.begin(), [](char a, char b) {
           return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
         });
}

bool is_lowest(std::string_view text) {
  text = trim_blanks(text);
  return equals_upper(text, "LO") || equals_upper(text, "LOWEST");
}

bool is_highest(std::string_view text) {
  text = trim_blanks(text);
  return equals_upper(text, "HI") || equals_upper(text, "HIGHEST");
}

double numeric_value(std::string_view text, std::string_view context) {
  if (is_lowest(text) || is_highest(text)) {
    throw DataError(
        fmt::format("{}: {} can only end a range of missing values (as in LO:5)", context, trim_blanks(text)));
  }
  const auto value = parse_number(text);
  if (!value) throw DataError(fmt::format("{}: \"{}\" is not a number", context, shortened(text)));
  return *value;
}

double range_end(std::string_view text, bool low, std::string_view context) {
  if (low && is_lowest(text)) return kLowest;
  if (!low && is_highest(text)) return kHighest;
  if (is_lowest(text) || is_highest(text)) {
    throw DataError(
        fmt::format("{}: {} cannot be the {} end of a range", context, trim_blanks(text), low ? "low" : "high"));
  }
  return numeric_value(text, context);
}

}  // namespace

MissingOption parse_missing_option(std::string_view option) {
  const std::string context = fmt::format("--missing '{}'", option);
  const std::size_t equals = option.find('=');
  if (equals == std::string_view::npos) {
    throw DataError(fmt::format("{}: expected VARIABLE=VALUES, such as age=9,99 or age=90:99", context));
  }
  MissingOption result;
  result.variable = std::string(trim_blanks(option.substr(0, equals)));
  if (result.variable.empty()) throw DataError(fmt::format("{}: no variable named before '='", context));
  std::string_view rest = option.substr(equals + 1);
  if (trim_blanks(rest).empty()) return result;  // VAR= clears the missing values
  for (;;) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = trim_blanks(rest.substr(0, comma));
    if (item.empty()) throw DataError(fmt::format("{}: an empty value in the list", context));
    const std::size_t colon = item.find(':');
    if (colon == std::string_view::npos) {
      result.spec.values.emplace_back(item);
    } else {
      if (result.spec.range) throw DataError(fmt::format("{}: only one range is allowed", context));
      const std::string_view low = trim_blanks(item.substr(0, colon));
      const std::string_view high = trim_blanks(item.substr(colon + 1));
      if (low.empty() || high.empty()) {
        throw DataError(
            fmt::format("{}: the range \"{}\" needs both ends (LO and HI stand for open ends)", context, item));
      }
      result.spec.range.emplace(std::string(low), std::string(high));
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return result;
}

void apply_missing(VarRecord& record, const MissingSpec& spec, std::string_view context) {
  VarRecord updated = record;
  updated.missing_form = kNoMissing;
  updated.missing = {};
  updated.missing_text = {};
  const std::size_t count = spec.values.size();
  if (spec.range) {
    if (record.type > 0) {
      throw DataError(
          fmt::format("{}: a range of missing values applies only to numeric variables, "
                      "and {} is a string variable",
                      context, record.name));
    }
    if (count > 1) {
      throw DataError(fmt::format("{}: a range of missing values can go with one more value, not {}", context, count));
    }
    const double low = range_end(spec.range->first, true, context);
    const double high = range_end(spec.range->second, false, context);
    if (low > high) {
      throw DataError(fmt::format("{}: the range {}:{} has its low end above its high end", context, spec.range->first,
                                  spec.range->second));
    }
    updated.missing[0] = low;
    updated.missing[1] = high;
    updated.missing_form = kMissingRange;
    if (count == 1) {
      updated.missing[2] = numeric_value(spec.values[0], context);
      updated.missing_form = kMissingRangeOne;
    }
  } else if (count > 3) {
    throw DataError(fmt::format("{}: at most three missing values are allowed ({} given)", context, count));
  } else if (record.type > 0) {
    const auto width = static_cast<std::size_t>(record.type);
    for (std::size_t k = 0; k < count; ++k) {
      const std::string_view text = trim_trailing_blanks(spec.values[k]);
      if (text.size() > width) {
        throw DataError(fmt::format("{}: the missing value \"{}\" is longer than the width {} of {}", context,
                                    shortened(text), width, record.name));
      }
      // A string missing value is one 8-byte cell, matched against the
      // first cell of the variable: a longer value could never match.
      if (text.size() > kMaxMissingStringLength) {
        throw DataError(
            fmt::format("{}: the missing value \"{}\" of {} is {} characters long; a string "
                        "missing value has at most {} characters",
                        context, shortened(text), record.name, text.size(), kMaxMissingStringLength));
      }
      updated.missing_text[k] = std::string(text);
      updated.missing_text[k].resize(width, ' ');
    }
    updated.missing_form = static_cast<int>(count);
  } else {
    for (std::size_t k = 0; k < count; ++k) updated.missing[k] = numeric_value(spec.values[k], context);
    updated.missing_form = static_cast<int>(count);
  }
  record = std::move(updated);
}

}  // namespace mva::host
