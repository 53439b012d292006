// Data sets from columns in memory: a front end's data frame becomes the
// host's data set without passing through text, its numeric columns
// measured on as many threads as options.threads gives. Contiguous numbers are read
// in place (the case reader turns NaN into the system-missing value, and a
// negative zero into zero because split groups compare cells byte for
// byte); strided ones are copied with the same conversion; texts are padded
// into their cells as a file's are. The dictionary
// follows the rules of a file's: the same names from the headers, print
// formats inferred from the values, blank a missing value of a string column
// that has cases without a value, and the same notes on how the data were
// read.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <fmt/format.h>
#include <iterator>
#include <limits>
#include <utility>

#include "host/data/data_content.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/number_text.h"
#include "host/data/variable_names.h"
#include "host/services/workers.h"

namespace mva::host {

namespace {

using detail::ColumnPlan;
using detail::DataContent;

// What a numeric column's values say about its print format, as the cells of
// a file would: the most decimals of any value written in its shortest form
// (up to the most a format is inferred with), and the widest integer part
// with its minus sign, from the largest and the smallest value.
struct NumberWidths {
  int decimals = 0;
  double highest = -std::numeric_limits<double>::infinity();
  double lowest = std::numeric_limits<double>::infinity();

  // Digits before the point of a magnitude (at least 1).
  static int integer_digits(double magnitude) {
    int digits = 1;
    for (double bound = 10; magnitude >= bound && digits < kMaxNumericWidth; bound *= 10) ++digits;
    return digits;
  }

  // Whether the shortest text that reads back as `value` has at most `d`
  // decimals. With m = round(value * 10^d) below 2^51, it has exactly when
  // m / 10^d reads back as the value: the division is rounded once, as
  // reading the text "m e-d" is, and the product is within far less than
  // one half of m. Larger values take the text itself.
  static bool written_with(double value, int d) {
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    static_assert(std::size(kPowers) > kMaxInferredDecimals);
    const double scaled = value * kPowers[d];
    if (std::fabs(scaled) < 0x1p51) return round_to_integer(scaled) / kPowers[d] == value;
    char text[400];
    const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
    const char* point = std::find(static_cast<const char*>(text), end, '.');
    return point == end || end - point - 1 <= d;
  }

  // The integer nearest to x (ties to even) for |x| < 2^51: adding 1.5 * 2^52
  // leaves no bits for a fraction, so the sum is rounded to an integer, and
  // taking it off again is exact. What nearbyint gives, without its call.
  static double round_to_integer(double x) {
    constexpr double kShift = 0x1.8p52;
    return (x + kShift) - kShift;
  }

  PrintFormat format() const {
    const double largest_positive = highest > 0 ? highest : 0;  // the largest magnitude of a value >= 0
    const double largest_negative = lowest < 0 ? -lowest : 0;   // ... and of a value < 0
    const int integer_width =
        std::max(integer_digits(largest_positive), largest_negative > 0 ? integer_digits(largest_negative) + 1 : 1);
    const int width =
        std::clamp(integer_width + (decimals > 0 ? decimals + 1 : 0), kMinInferredWidth, kMaxNumericWidth);
    return PrintFormat{kFormatF, width, decimals};
  }
};

[[noreturn]] void refuse_infinite(const DataContent& content, const MemoryColumn& column, const std::string& name,
                                  std::size_t i) {
  throw DataError(
      fmt::format("{}, column \"{}\" ({}), case {}: an infinite value; a value must be a finite "
                  "number or missing (NaN)",
                  content.source, column.header, name, i + 1));
}

// The largest and the smallest of `highest`, `lowest` and the values from
// case `first` to before `last` (`stride` doubles apart; 1 when
// kContiguous), NaN left out: four running extremes each, kept without
// branches (a NaN compares false and leaves them as they are).
template <bool kContiguous>
std::pair<double, double> extremes(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                                   double highest, double lowest) {
  const std::ptrdiff_t step = kContiguous ? 1 : stride;
  const auto at = [values, step](std::size_t i) { return values[static_cast<std::ptrdiff_t>(i) * step]; };
  double h0 = highest, h1 = highest, h2 = highest, h3 = highest;
  double l0 = lowest, l1 = lowest, l2 = lowest, l3 = lowest;
  std::size_t i = first;
  for (; i + 4 <= last; i += 4) {
    const double v0 = at(i), v1 = at(i + 1), v2 = at(i + 2), v3 = at(i + 3);
    h0 = v0 > h0 ? v0 : h0;
    h1 = v1 > h1 ? v1 : h1;
    h2 = v2 > h2 ? v2 : h2;
    h3 = v3 > h3 ? v3 : h3;
    l0 = v0 < l0 ? v0 : l0;
    l1 = v1 < l1 ? v1 : l1;
    l2 = v2 < l2 ? v2 : l2;
    l3 = v3 < l3 ? v3 : l3;
  }
  for (; i < last; ++i) {
    const double v = at(i);
    h0 = v > h0 ? v : h0;
    l0 = v < l0 ? v : l0;
  }
  return {std::max({h0, h1, h2, h3}), std::min({l0, l1, l2, l3})};
}

// Checks a numeric column's values and learns its print format from them;
// copies them into `cells` unless that is null (NaN as the system-missing
// value, -0 as +0, which is what the case reader makes of values read in
// place).
//
// Every value is looked at until the decimals reach the most a format is
// inferred with; after that only the largest and the smallest value are
// left to find, and an infinite value shows as one of them, when its case
// is looked up.
NumberWidths take_numbers(const DataContent& content, const MemoryColumn& column, const std::string& name,
                          std::size_t cases, double* cells) {
  const double* values = column.numbers;
  const std::ptrdiff_t stride = column.stride;
  const auto value_at = [values, stride](std::size_t i) { return values[static_cast<std::ptrdiff_t>(i) * stride]; };
  if (cells != nullptr) {
    for (std::size_t i = 0; i < cases; ++i) {
      const double value = value_at(i) + 0.0;  // -0 + 0 is +0
      cells[i] = std::isnan(value) ? kSystemMissing : value;
    }
  }
  NumberWidths widths;
  std::size_t i = 0;
  for (; i < cases && widths.decimals < kMaxInferredDecimals; ++i) {
    const double value = value_at(i);
    if (std::isnan(value)) continue;
    if (std::isinf(value)) refuse_infinite(content, column, name, i);
    widths.highest = std::max(widths.highest, value);
    widths.lowest = std::min(widths.lowest, value);
    while (widths.decimals < kMaxInferredDecimals && !NumberWidths::written_with(value, widths.decimals)) {
      ++widths.decimals;
    }
  }
  const std::size_t rest = i;
  const auto [highest, lowest] = stride == 1
                                     ? extremes<true>(values, stride, rest, cases, widths.highest, widths.lowest)
                                     : extremes<false>(values, stride, rest, cases, widths.highest, widths.lowest);
  widths.highest = highest;
  widths.lowest = lowest;
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (widths.highest == kInfinity || widths.lowest == -kInfinity) {
    for (i = rest; i < cases; ++i) {
      if (std::isinf(value_at(i))) refuse_infinite(content, column, name, i);
    }
  }
  return widths;
}

// The width of a string column: its longest text in bytes without trailing
// blanks (at least 1).
int string_width(const DataContent& content, const MemoryColumn& column, const std::string& name, std::size_t cases) {
  if (column.texts.size() != cases || column.no_value.size() != cases) {
    throw DataError(fmt::format("{}, column \"{}\" ({}): {} texts for {} cases", content.source, column.header, name,
                                column.texts.size(), cases));
  }
  std::size_t longest = 1;
  for (std::size_t i = 0; i < cases; ++i) {
    if (column.no_value[i]) continue;
    const std::size_t length = trim_trailing_blanks(column.texts[i]).size();
    if (length > static_cast<std::size_t>(kMaxStringWidth)) {
      throw DataError(fmt::format("{}, column \"{}\" ({}), case {}: a text of {} bytes; strings go up to {}",
                                  content.source, column.header, name, i + 1, length, kMaxStringWidth));
    }
    longest = std::max(longest, length);
  }
  return static_cast<int>(longest);
}

// Pads each text into its cells, 8 characters a cell; a case without a value
// is blank.
void fill_texts(const MemoryColumn& column, const ColumnPlan& plan, std::size_t cases, double* cells) {
  const std::size_t size = static_cast<std::size_t>(plan.cells) * sizeof(double);
  for (std::size_t i = 0; i < cases; ++i) {
    char* chars = reinterpret_cast<char*>(cells + i * static_cast<std::size_t>(plan.cells));
    const std::string_view text = column.no_value[i] ? std::string_view() : trim_trailing_blanks(column.texts[i]);
    if (!text.empty()) std::memcpy(chars, text.data(), text.size());  // an empty view may hold no pointer
    std::memset(chars + text.size(), ' ', size - text.size());
  }
}

// The notes a file's loading gives that apply to columns in memory: headers
// renamed, and string columns with cases without a value.
void add_notes(DataContent& content, const std::vector<MemoryColumn>& columns, const std::vector<std::string>& names) {
  const auto note = [&content](std::string_view key, std::vector<std::string> params) {
    params.insert(params.begin(), content.source);
    content.notes.push_back(LoadNote{std::string(key), std::move(params)});
  };
  std::vector<std::string> renamed, blank_read, blank_missing;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].header != names[c]) renamed.push_back(fmt::format("\"{}\" as {}", columns[c].header, names[c]));
    const auto v = static_cast<std::int64_t>(content.plans[c].cell) + 1;
    const auto& no_value = columns[c].no_value;
    if (!content.dictionary.is_string(v) || std::find(no_value.begin(), no_value.end(), true) == no_value.end()) {
      continue;
    }
    blank_read.push_back(names[c]);
    const VarRecord& record = content.dictionary.slot(v);
    if (record.missing_form == 1 && trim_blanks(record.missing_text[0]).empty()) blank_missing.push_back(names[c]);
  }
  if (!renamed.empty()) note("HOST_ LOAD ^1 RENAMED ^2", {name_list(renamed)});
  if (blank_read.empty()) return;
  const std::string no_value_text = "None, NaN, NA";
  if (blank_missing.empty()) {
    note("HOST_ LOAD ^1 BLANK STRINGS ^2 ^3", {name_list(blank_read), no_value_text});
  } else {
    note("HOST_ LOAD ^1 BLANK STRINGS ^2 ^3 MISSING ^4",
         {name_list(blank_read), no_value_text, name_list(blank_missing)});
  }
}

}  // namespace

DataSet DataSet::from_columns(const std::vector<MemoryColumn>& columns, std::int64_t cases,
                              const DataOptions& options) {
  auto content = std::make_shared<DataContent>();
  content->source = options.data_path.empty() ? "<data>" : options.data_path;
  if (columns.empty()) throw DataError(fmt::format("{}: there are no columns", content->source));
  if (cases < 0) throw DataError(fmt::format("{}: a negative number of cases", content->source));
  content->columns = columns.size();
  content->cases = cases;
  content->first_line = 1;  // a case's "line" is its row number
  const auto count = static_cast<std::size_t>(cases);

  std::vector<std::string> headers;
  for (const MemoryColumn& column : columns) headers.push_back(column.header);
  const std::vector<std::string> names = variable_names(headers);

  // The numeric columns are checked and measured (and copied when strided)
  // on the workers, a column each; the first problem in column order is
  // the one told.
  std::vector<detail::ColumnCells> numbers(columns.size());
  std::vector<NumberWidths> widths(columns.size());
  std::vector<std::exception_ptr> problems(columns.size());
  Workers workers(options.threads);
  workers.for_each(columns.size(), [&](std::size_t c) {
    const MemoryColumn& column = columns[c];
    if (column.numbers == nullptr) return;
    try {
      // Contiguous values are read in place; the case reader converts them.
      numbers[c] = column.stride == 1
                       ? detail::ColumnCells(const_cast<double*>(column.numbers), detail::FreeCells{0, true})
                       : detail::column_array(count);
      widths[c] = take_numbers(*content, column, names[c], count, column.stride == 1 ? nullptr : numbers[c].get());
    } catch (const DataError&) {
      problems[c] = std::current_exception();
    }
  });
  for (const std::exception_ptr& problem : problems) {
    if (problem) std::rethrow_exception(problem);
  }

  for (std::size_t c = 0; c < columns.size(); ++c) {
    const MemoryColumn& column = columns[c];
    ColumnPlan plan;
    std::int64_t v = 0;
    if (column.numbers != nullptr) {
      plan.raw = column.stride == 1;
      v = content->dictionary.add_numeric(names[c], widths[c].format());
      content->cells.push_back(std::move(numbers[c]));
    } else {
      const int width = string_width(*content, column, names[c], count);
      v = content->dictionary.add_string(names[c], width);
      plan.width = width;
      plan.cells = static_cast<int>(content->dictionary.slot_count(v));
      detail::ColumnCells cells = detail::column_array(count * static_cast<std::size_t>(plan.cells));
      fill_texts(column, plan, count, cells.get());
      content->cells.push_back(std::move(cells));
      if (std::find(column.no_value.begin(), column.no_value.end(), true) != column.no_value.end()) {
        MissingSpec blank;
        blank.values.emplace_back();
        content->dictionary.set_missing(v, blank, content->source);
      }
    }
    if (!column.header.empty() && column.header != names[c]) content->dictionary.set_label(v, column.header);
    if (!column.value_labels.empty()) {
      content->dictionary.set_value_labels(v, column.value_labels,
                                           fmt::format("{}, column \"{}\"", content->source, column.header));
    }
    plan.cell = static_cast<std::size_t>(v - 1);
    content->plans.push_back(plan);
  }
  detail::apply_data_options(content->dictionary, options, headers, names);
  add_notes(*content, columns, names);
  return DataSet(std::move(content));
}

}  // namespace mva::host
