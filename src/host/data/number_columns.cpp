// The numeric columns of data in memory, checked and measured where they
// lie. The cases are cut into chunks and the columns into groups; each
// (chunk, group) is one item for the workers, which measures its chunk a
// tile of cases at a time across the group's columns. What the chunks say
// of a column is then put together: the most decimals, the largest and the
// smallest value, the first infinite value. None of these depends on the
// order the values are met in, so neither the chunks nor the workers change
// a result.
#include "host/data/number_columns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

#include "host/data/number_text.h"
#include "host/services/workers.h"

namespace mva::host::detail {

namespace {

// Cases of a tile: 4096 rows of 64 interleaved columns take 2 MiB.
constexpr std::size_t kTileCases = 4096;
// Columns of a group, measured together tile by tile.
constexpr std::size_t kGroupColumns = 64;
// The most partial results (a chunk's of a column) kept at once.
constexpr std::size_t kMostPartials = std::size_t{1} << 20;
// Items the workers share, per worker, when there are that many tiles.
constexpr std::size_t kItemsPerWorker = 4;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Digits before the point of a magnitude (at least 1).
int integer_digits(double magnitude) {
  int digits = 1;
  for (double bound = 10; magnitude >= bound && digits < kMaxNumericWidth; bound *= 10) ++digits;
  return digits;
}

// The integer nearest to x (ties to even) for |x| < 2^51: adding 1.5 * 2^52
// leaves no bits for a fraction, so the sum is rounded to an integer, and
// taking it off again is exact. What nearbyint gives, without its call.
double round_to_integer(double x) {
  constexpr double kShift = 0x1.8p52;
  return (x + kShift) - kShift;
}

// Whether the shortest text that reads back as `value` has at most `d`
// decimals. With m = round(value * 10^d) below 2^51, it has exactly when
// m / 10^d reads back as the value: the division is rounded once, as
// reading the text "m e-d" is, and the product is within far less than
// one half of m. Larger values take the text itself. True for d once true
// for a smaller d, so the most decimals a column needs is the largest of
// its values' least, whatever their order.
bool written_with(double value, int d) {
  static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  static_assert(std::size(kPowers) > kMaxInferredDecimals);
  const double scaled = value * kPowers[d];
  if (std::fabs(scaled) < 0x1p51) return round_to_integer(scaled) / kPowers[d] == value;
  char text[400];
  const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
  const char* point = std::find(static_cast<const char*>(text), end, '.');
  return point == end || end - point - 1 <= d;
}

// The largest and the smallest of `highest`, `lowest` and the values from
// case `first` to before `last` (`stride` doubles apart; 1 when
// kContiguous), NaN left out: four running extremes each, kept without
// branches (a NaN compares false and leaves them as they are).
template <bool kContiguous>
std::pair<double, double> extremes(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                                   double highest, double lowest) {
  const std::ptrdiff_t step = kContiguous ? 1 : stride;
  const auto at = [=](std::size_t i) { return values[static_cast<std::ptrdiff_t>(i) * step]; };
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

}  // namespace

std::size_t measure_leading(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                            NumberColumn& measured) {
  NumberWidths& widths = measured.widths;
  std::size_t i = first;
  for (; i < last && widths.decimals < kMaxInferredDecimals; ++i) {
    const double value = values[static_cast<std::ptrdiff_t>(i) * stride];
    if (std::isnan(value)) continue;
    if (std::isinf(value)) {
      measured.first_infinite = std::min(measured.first_infinite, i);
      continue;
    }
    widths.highest = std::max(widths.highest, value);
    widths.lowest = std::min(widths.lowest, value);
    while (widths.decimals < kMaxInferredDecimals && !written_with(value, widths.decimals)) ++widths.decimals;
  }
  return i;
}

std::size_t first_infinite_in(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last) {
  for (std::size_t i = first; i < last; ++i) {
    if (std::isinf(values[static_cast<std::ptrdiff_t>(i) * stride])) return i;
  }
  return NumberColumn::kNoCase;
}

// Every value is looked at until the decimals reach the most a format is
// inferred with; after that only the largest and the smallest value are
// left to find, and an infinite value shows as one of them, when its case
// is looked up.
void measure_cases(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                   NumberColumn& measured) {
  const std::size_t rest = measure_leading(values, stride, first, last, measured);
  if (rest == last) return;
  NumberWidths& widths = measured.widths;
  const auto [highest, lowest] = stride == 1
                                     ? extremes<true>(values, stride, rest, last, widths.highest, widths.lowest)
                                     : extremes<false>(values, stride, rest, last, widths.highest, widths.lowest);
  widths.highest = highest;
  widths.lowest = lowest;
  if ((highest == kInfinity || lowest == -kInfinity) && measured.first_infinite == NumberColumn::kNoCase) {
    measured.first_infinite = first_infinite_in(values, stride, rest, last);
  }
}

PrintFormat NumberWidths::format() const {
  const double largest_positive = highest > 0 ? highest : 0;  // the largest magnitude of a value >= 0
  const double largest_negative = lowest < 0 ? -lowest : 0;   // ... and of a value < 0
  const int integer_width =
      std::max(integer_digits(largest_positive), largest_negative > 0 ? integer_digits(largest_negative) + 1 : 1);
  const int width = std::clamp(integer_width + (decimals > 0 ? decimals + 1 : 0), kMinInferredWidth, kMaxNumericWidth);
  return PrintFormat{kFormatF, width, decimals};
}

std::vector<NumberColumn> measure_numbers(const std::vector<MemoryColumn>& columns, std::size_t cases,
                                          std::size_t tile_cases, Workers& workers) {
  const std::size_t tile = tile_cases > 0 ? tile_cases : kTileCases;
  const std::size_t width = columns.size();
  const std::size_t groups = std::max<std::size_t>(1, (width + kGroupColumns - 1) / kGroupColumns);
  const std::size_t tiles = std::max<std::size_t>(1, (cases + tile - 1) / tile);
  const std::size_t wanted = kItemsPerWorker * static_cast<std::size_t>(workers.count());
  const std::size_t chunks = std::clamp<std::size_t>((wanted + groups - 1) / groups, 1,
                                                     std::min(tiles, std::max<std::size_t>(1, kMostPartials / width)));

  // partial[r * width + c]: what chunk r says of column c.
  std::vector<NumberColumn> partial(chunks * width);
  workers.for_each(chunks * groups, [&](std::size_t item) {
    const std::size_t r = item / groups;
    const std::size_t g = item % groups;
    const std::size_t first = r * tiles / chunks * tile;
    const std::size_t last = std::min(cases, (r + 1) * tiles / chunks * tile);
    const std::size_t end_column = std::min(width, (g + 1) * kGroupColumns);
    for (std::size_t from = first; from < last; from += tile) {
      const std::size_t to = std::min(last, from + tile);
      for (std::size_t c = g * kGroupColumns; c < end_column; ++c) {
        if (columns[c].numbers != nullptr) {
          measure_cases(columns[c].numbers, columns[c].stride, from, to, partial[r * width + c]);
        }
      }
    }
  });

  std::vector<NumberColumn> measured(width);
  for (std::size_t r = 0; r < chunks; ++r) {
    for (std::size_t c = 0; c < width; ++c) absorb(measured[c], partial[r * width + c]);
  }
  return measured;
}

void absorb(NumberColumn& whole, const NumberColumn& part) {
  whole.widths.decimals = std::max(whole.widths.decimals, part.widths.decimals);
  whole.widths.highest = std::max(whole.widths.highest, part.widths.highest);
  whole.widths.lowest = std::min(whole.widths.lowest, part.widths.lowest);
  whole.first_infinite = std::min(whole.first_infinite, part.first_infinite);
}

MeasuringNumbers::MeasuringNumbers(const std::vector<MemoryColumn>& columns, std::size_t cases, std::size_t tile_cases,
                                   std::shared_ptr<Workers> workers, Apply apply)
    : columns_(columns.size()),
      cases_(cases),
      tile_cases_(tile_cases),
      workers_(std::move(workers)),
      measured_(columns.size()),
      upto_(columns.size(), 0),
      apply_(std::move(apply)) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    columns_[c].numbers = columns[c].numbers;
    columns_[c].stride = columns[c].stride;
  }
}

std::size_t MeasuringNumbers::measured_upto(std::size_t column) {
  const std::lock_guard lock(mutex_);
  return settled_ || columns_.at(column).numbers == nullptr ? cases_ : upto_[column];
}

void MeasuringNumbers::add(std::size_t column, std::size_t first, std::size_t last, const NumberColumn& part) {
  const std::lock_guard lock(mutex_);
  if (settled_ || columns_.at(column).numbers == nullptr || upto_[column] != first || last > cases_) return;
  absorb(measured_[column], part);
  upto_[column] = last;
}

void MeasuringNumbers::settle() {
  const std::lock_guard lock(mutex_);
  if (!settled_) {
    settled_ = true;
    try {
      // The cases no reader measured: the columns from the same case on
      // are measured together, so that columns interleaved in one block are
      // read from memory once.
      std::vector<std::size_t> starts;
      for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c].numbers != nullptr && upto_[c] < cases_) starts.push_back(upto_[c]);
      }
      std::sort(starts.begin(), starts.end());
      starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
      for (const std::size_t start : starts) {
        std::vector<MemoryColumn> rest(columns_.size());
        for (std::size_t c = 0; c < columns_.size(); ++c) {
          if (columns_[c].numbers == nullptr || upto_[c] != start) continue;
          rest[c].numbers = columns_[c].numbers + static_cast<std::ptrdiff_t>(start) * columns_[c].stride;
          rest[c].stride = columns_[c].stride;
        }
        std::vector<NumberColumn> found = measure_numbers(rest, cases_ - start, tile_cases_, *workers_);
        for (std::size_t c = 0; c < columns_.size(); ++c) {
          if (rest[c].numbers == nullptr) continue;
          if (found[c].first_infinite != NumberColumn::kNoCase) found[c].first_infinite += start;
          absorb(measured_[c], found[c]);
          upto_[c] = cases_;
        }
      }
      apply_(measured_);
    } catch (...) {
      failure_ = std::current_exception();
    }
  }
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace mva::host::detail
