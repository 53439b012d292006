// The case reader: walks the cases of a loaded data set, fills the case
// buffer from the data set's columns, and cuts the cases into split groups.
// The data were checked and converted when the set was loaded, so reading
// cannot fail and parses nothing.
#include "host/data/case_reader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>
#include <fmt/format.h>

#include "host/data/data_content.h"
#include "host/data/data_set.h"
#include "host/data/number_columns.h"
#include "host/data/number_text.h"
#include "host/services/workers.h"

namespace mva::host {

namespace {

// How many cases before a block, read one by one and not yet measured, the
// block measures too (a front end's columns).
constexpr std::size_t kMeasureBehind = 4096;

// Cases read between two givings back of the columns' pages (2 MiB of each
// column, a huge page).
constexpr std::int64_t kGiveBackCases = std::int64_t{1} << 18;

std::string bytes_of(const std::vector<double>& cells) {
  return std::string(reinterpret_cast<const char*>(cells.data()), cells.size() * sizeof(double));
}

// Takes a value of a front end's column into a case: NaN is the
// system-missing value; -0 + 0 is +0, so that equal split values compare
// equal byte for byte. Written as a select, not a branch: which cells have
// no value follows no pattern. True when the value is infinite.
inline bool take_raw(double value, double& cell) {
  value += 0.0;
  cell = std::isnan(value) ? kSystemMissing : value;
  return std::isinf(value);
}

// Copies cases `first` to before `last` of a front end's column (values
// `stride` doubles apart) into `cells`, one every `width` doubles, each
// taken as take_raw takes it; true when one is infinite. With kMeasure,
// `high` and `low` also take the largest and the smallest value (NaN left
// out), two running extremes each, so that neither waits on the last.
// The values two tiles ahead (of copy_raw's 256 cases) are asked for
// early, one cache line of a contiguous column at a time, up to case
// `ahead_end`: a column is read in short runs, one a tile, too short for
// the processor to see the stream by itself.
constexpr std::int64_t kPrefetchEvery = 8;
constexpr std::int64_t kPrefetchAhead = 512;
template <bool kMeasure>
bool copy_column(const double* values, std::ptrdiff_t stride, std::int64_t first, std::int64_t last,
                 std::int64_t ahead_end, double* cells, std::size_t width, double& high, double& low) {
  bool met = false;
  double h0 = high, h1 = high, l0 = low, l1 = low;
  std::int64_t k = first;
  for (; k + 2 <= last; k += 2, cells += 2 * width) {
    const double v0 = values[k * stride], v1 = values[(k + 1) * stride];
    if ((k & (kPrefetchEvery - 1)) == 0 && k + kPrefetchAhead < ahead_end) {
      __builtin_prefetch(values + (k + kPrefetchAhead) * stride);
    }
    met |= take_raw(v0, cells[0]);
    met |= take_raw(v1, cells[width]);
    if constexpr (kMeasure) {
      h0 = v0 > h0 ? v0 : h0;
      h1 = v1 > h1 ? v1 : h1;
      l0 = v0 < l0 ? v0 : l0;
      l1 = v1 < l1 ? v1 : l1;
    }
  }
  if (k < last) {
    const double v = values[k * stride];
    met |= take_raw(v, cells[0]);
    if constexpr (kMeasure) {
      h0 = v > h0 ? v : h0;
      l0 = v < l0 ? v : l0;
    }
  }
  if constexpr (kMeasure) {
    high = std::max(h0, h1);
    low = std::min(l0, l1);
  }
  return met;
}

}  // namespace

CaseReader::CaseReader(std::shared_ptr<const detail::DataContent> content) : content_(std::move(content)) {
  const Dictionary& dictionary = content_->dictionary;
  for (std::size_t c = 0; c < content_->columns; ++c) {
    const detail::ColumnPlan& plan = content_->plans[c];
    const detail::FreeCells& owner = content_->cells[c].get_deleter();
    // Only a numeric column in a mapping of its own can give its pages back.
    const bool releasable = plan.width == 0 && !plan.raw && !owner.borrowed;
    double* const cells = content_->cells[c].get();
    sources_.push_back({cells, static_cast<std::size_t>(plan.cells), plan.cell, plan.raw, plan.stride,
                        releasable && owner.mapped > 0 ? cells : nullptr, owner.mapped});
  }
  const auto single_of = [](bool raw) {
    return [raw](const Source& source) { return source.raw == raw && source.count == 1; };
  };
  if (std::all_of(sources_.begin(), sources_.end(), single_of(false))) {
    layout_ = Layout::Plain;
  } else if (std::all_of(sources_.begin(), sources_.end(), single_of(true))) {
    layout_ = Layout::Raw;
  }
  if (layout_ != Layout::Mixed) {
    for (const Source& source : sources_) singles_.push_back({source.cells, source.stride, source.into});
  }
  for (const std::int64_t v : dictionary.split()) {
    split_offsets_.push_back(split_cells_.size());
    for (std::int64_t k = 0; k < dictionary.slot_count(v); ++k) {
      split_cells_.push_back(static_cast<std::size_t>(v - 1 + k));
    }
  }
  if (!split_cells_.empty()) row_.assign(static_cast<std::size_t>(dictionary.size()), 0.0);
  rewind();
}

const Dictionary& CaseReader::dictionary() const { return content_->dictionary; }

void CaseReader::rewind() {
  if (given_back_bytes_ > 0) throw std::logic_error("the case reader gave its cells back and cannot read them again");
  record_ = 0;
  pending_ = false;
  in_group_ = false;
  exhausted_ = false;
  case_number_ = 0;
  line_ = 0;
  group_values_.clear();
  seen_groups_.clear();
  reported_.clear();
}

bool CaseReader::copy_cells(const Source& source, std::size_t record, double* into) {
  if (source.raw) return take_raw(source.cells[static_cast<std::ptrdiff_t>(record) * source.stride], into[source.into]);
  if (source.count == 1) {
    into[source.into] = source.cells[record];
  } else {
    std::memcpy(into + source.into, source.cells + record * source.count, source.count * sizeof(double));
  }
  return false;
}

bool CaseReader::read_record(double* into) {
  if (record_ >= content_->cases) {
    exhausted_ = true;
    if (giving_back_) give_back(record_);
    content_->settle();  // the measuring of columns in memory has read them all by now
    return false;
  }
  const auto record = static_cast<std::size_t>(record_);
  bool infinite = false;
  switch (layout_) {
    case Layout::Plain:
      for (const Single& single : singles_) into[single.into] = single.cells[record];
      break;
    case Layout::Raw:
      for (const Single& single : singles_) {
        infinite |= take_raw(single.cells[static_cast<std::ptrdiff_t>(record) * single.stride], into[single.into]);
      }
      break;
    case Layout::Mixed:
      for (const Source& source : sources_) infinite |= copy_cells(source, record, into);
      break;
  }
  if (infinite) {
    // No procedure sees an infinite value: the measuring of the columns,
    // ended here, names the first one in column order.
    content_->settle();
    throw std::logic_error("an infinite value that the measuring of the columns did not find");
  }
  record_line_ = content_->line_of(record_);
  ++record_;
  if (giving_back_ && (record_ & (kGiveBackCases - 1)) == 0) give_back(record_);
  return true;
}

bool CaseReader::copy_raw(const std::vector<Single>& from, std::int64_t first, std::int64_t last, double* rows,
                          std::size_t width, const std::vector<Measured>& measured, detail::NumberColumn* parts) {
  // Measured as measure_cases measures: the leading values one by one
  // until the decimals are found, then the largest and the smallest of all
  // (NaN left out, as a select leaves it) as the copy loads them, so that
  // the values are read from memory once.
  const auto first_case = static_cast<std::size_t>(first), last_case = static_cast<std::size_t>(last);
  for (std::size_t j = 0; j < measured.size(); ++j) {
    const Single& move = from[measured[j].move];
    detail::measure_leading(move.cells, move.stride, first_case, last_case, parts[j]);
  }
  std::vector<double> high(from.size(), -std::numeric_limits<double>::infinity());
  std::vector<double> low(from.size(), std::numeric_limits<double>::infinity());
  // Column by column over tiles of cases: each column's values are read in
  // order, and the rows of a tile stay in the cache while every column is
  // put into them.
  constexpr std::int64_t kTileCases = 256;
  bool met = false;
  for (std::int64_t tile = first; tile < last; tile += kTileCases) {
    const std::int64_t end = std::min(last, tile + kTileCases);
    for (std::size_t i = 0; i < from.size(); ++i) {
      const Single& move = from[i];
      double* const cells = rows + static_cast<std::size_t>(tile) * width + move.into;
      met |= measured.empty()
                 ? copy_column<false>(move.cells, move.stride, tile, end, last, cells, width, high[i], low[i])
                 : copy_column<true>(move.cells, move.stride, tile, end, last, cells, width, high[i], low[i]);
    }
  }
  for (std::size_t j = 0; j < measured.size(); ++j) {
    const Single& move = from[measured[j].move];
    detail::NumberWidths& widths = parts[j].widths;
    widths.highest = std::max(widths.highest, high[measured[j].move]);
    widths.lowest = std::min(widths.lowest, low[measured[j].move]);
    if (met) {
      parts[j].first_infinite =
          std::min(parts[j].first_infinite, detail::first_infinite_in(move.cells, move.stride, first_case, last_case));
    }
  }
  return met;
}

std::int64_t CaseReader::read_block(std::int64_t most, double* rows, std::size_t width,
                                    const std::vector<BlockMove>& moves, double* buffer, Workers* workers) {
  const std::int64_t left = content_->cases - record_;
  if (layout_ == Layout::Mixed || !split_cells_.empty() || exhausted_ || left < kBlockLeast) return 0;
  // At most up to the next giving back, so that the columns' pages leave as
  // the rows fill.
  const std::int64_t count = std::min({most, left, kGiveBackCases - (record_ & (kGiveBackCases - 1))});
  if (count < 1) return 0;
  // A front end's columns whose measuring goes on as the run reads them
  // are measured here when their measuring has come up to these cases, or
  // nearly (the first cases of a pass are read one by one).
  detail::MeasuringNumbers* const measuring = layout_ == Layout::Raw ? content_->measuring.get() : nullptr;
  std::vector<Single> from(moves.size());
  std::vector<Measured> measured;
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const auto single =
        std::find_if(singles_.begin(), singles_.end(), [&](const Single& s) { return s.into == moves[i].slot; });
    if (single == singles_.end()) throw std::logic_error("a case block names a cell the cases do not have");
    // A file's cells lie one after another; `into` is the cell of the row.
    const std::ptrdiff_t stride = layout_ == Layout::Plain ? 1 : single->stride;
    from[i] = {single->cells + record_ * stride, stride, moves[i].column};
    if (measuring == nullptr) continue;
    const auto column = static_cast<std::size_t>(single - singles_.begin());
    const std::size_t upto = measuring->measured_upto(column);
    if (upto <= static_cast<std::size_t>(record_) && static_cast<std::size_t>(record_) - upto < kMeasureBehind) {
      measured.push_back({i, column, upto});
    }
  }
  // Pieces of a fixed number of cases; each writes rows of its own, and
  // a piece of a front end's numbers that meets an infinite value says so.
  constexpr std::int64_t kPieceCases = 8192;
  const auto pieces = static_cast<std::size_t>((count + kPieceCases - 1) / kPieceCases);
  std::vector<detail::NumberColumn> parts(pieces * measured.size());  // parts[p * measured + j]
  std::atomic<bool> infinite = false;
  const auto piece = [&](std::size_t p) {
    const auto first = static_cast<std::int64_t>(p) * kPieceCases;
    const std::int64_t last = std::min(count, first + kPieceCases);
    if (layout_ == Layout::Plain) {
      for (std::int64_t k = first; k < last; ++k) {
        double* const row = rows + static_cast<std::size_t>(k) * width;
        for (const Single& move : from) row[move.into] = move.cells[k];
      }
    } else if (copy_raw(from, first, last, rows, width, measured, parts.data() + p * measured.size())) {
      infinite = true;
    }
  };
  if (workers != nullptr && workers->count() > 1) {
    workers->for_each(pieces, piece);
  } else {
    for (std::size_t p = 0; p < pieces; ++p) piece(p);
  }
  for (std::size_t j = 0; j < measured.size(); ++j) {
    detail::NumberColumn block;
    for (std::size_t p = 0; p < pieces; ++p) detail::absorb(block, parts[p * measured.size() + j]);
    if (block.first_infinite != detail::NumberColumn::kNoCase) {
      block.first_infinite += static_cast<std::size_t>(record_);
    }
    // With the cases read one by one before the block and not measured yet.
    const Single& column = singles_[measured[j].column];
    detail::NumberColumn whole;
    detail::measure_cases(column.cells, column.stride, measured[j].upto, static_cast<std::size_t>(record_), whole);
    detail::absorb(whole, block);
    measuring->add(measured[j].column, measured[j].upto, static_cast<std::size_t>(record_ + count), whole);
  }
  if (infinite) {
    content_->settle();
    throw std::logic_error("an infinite value that the measuring of the columns did not find");
  }
  record_ += count - 1;
  read_record(buffer);  // the last case, into the buffer as next() leaves it
  case_number_ += count;
  line_ = record_line_;
  if (giving_back_) give_back(record_);
  return count;
}

void CaseReader::give_back(std::int64_t cases) {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const bool all = exhausted_;
  const std::size_t upto = static_cast<std::size_t>(cases) * sizeof(double) / page * page;
  for (const Source& source : sources_) {
    if (source.mapping == nullptr) continue;
    // The mapping starts on a page; the cells of case `cases` and after
    // stay until they are read.
    const std::size_t end = all ? source.mapped : std::min(upto, source.mapped);
    if (end <= given_back_bytes_) continue;
    madvise(reinterpret_cast<char*>(source.mapping) + given_back_bytes_, end - given_back_bytes_, MADV_DONTNEED);
  }
  given_back_bytes_ = all ? std::numeric_limits<std::size_t>::max() : std::max(given_back_bytes_, upto);
}

CaseReader::Next CaseReader::next(double* buffer) {
  if (split_cells_.empty()) {
    if (exhausted_ || !read_record(buffer)) return Next::EndOfData;
    ++case_number_;
    line_ = record_line_;
    return Next::Case;
  }
  if (!pending_ && !exhausted_ && read_record(row_.data())) {
    pending_ = true;
    pending_line_ = record_line_;
  }
  if (!pending_) {
    if (in_group_) {  // the last group ends like any other
      in_group_ = false;
      return Next::EndOfGroup;
    }
    return Next::EndOfData;
  }
  if (in_group_ && !same_group(row_.data())) {
    in_group_ = false;  // the record waits for the next call
    return Next::EndOfGroup;
  }
  if (!in_group_) start_group(row_.data());
  std::copy(row_.begin(), row_.end(), buffer);
  pending_ = false;
  ++case_number_;
  line_ = pending_line_;
  return Next::Case;
}

bool CaseReader::same_group(const double* row) const {
  // Bytes, not doubles: string cells are characters. Numeric cells compare
  // alike both ways, since parsing never yields -0 or a NaN.
  for (std::size_t k = 0; k < split_cells_.size(); ++k) {
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): bytes on purpose, as said above
    if (std::memcmp(&row[split_cells_[k]], &group_values_[k], sizeof(double)) != 0) return false;
  }
  return true;
}

void CaseReader::start_group(const double* row) {
  group_values_.resize(split_cells_.size());
  for (std::size_t k = 0; k < split_cells_.size(); ++k) group_values_[k] = row[split_cells_[k]];
  in_group_ = true;
  std::string key = bytes_of(group_values_);
  if (seen_groups_.insert(key).second) return;
  if (!reported_.insert(std::move(key)).second) return;
  if (unsorted_) unsorted_(fmt::format("{} (again at line {})", group_description(), pending_line_));
}

std::string CaseReader::group_value_text(std::size_t k) const {
  content_->settle();  // a number is shown in its print format
  const Dictionary& dictionary = content_->dictionary;
  const std::int64_t v = dictionary.split().at(k);
  const std::size_t first = split_offsets_.at(k);
  if (group_values_.empty()) return {};
  if (!dictionary.is_string(v)) return dictionary.value_text(v, group_values_[first]);
  const auto width = static_cast<std::size_t>(dictionary.slot(v).type);
  const std::string_view chars(reinterpret_cast<const char*>(&group_values_[first]), width);
  return dictionary.value_text(v, chars);
}

std::string CaseReader::group_description() const {
  const Dictionary& dictionary = content_->dictionary;
  std::string text;
  for (std::size_t k = 0; k < dictionary.split().size(); ++k) {
    if (k > 0) text += ", ";
    text += fmt::format("{}={}", dictionary.slot(dictionary.split()[k]).name, group_value_text(k));
  }
  return text;
}

}  // namespace mva::host
