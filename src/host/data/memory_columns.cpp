// Data sets from columns in memory: a front end's data frame becomes the
// host's data set without passing through text, its numeric columns
// measured on as many threads as options.threads gives. Numbers are read in
// place, contiguous or strided, never copied (the case reader turns NaN
// into the system-missing value, and a negative zero into zero because
// split groups compare cells byte for byte); texts are padded into their
// cells as a file's are. The dictionary
// follows the rules of a file's: the same names from the headers, print
// formats inferred from the values, blank a missing value of a string column
// that has cases without a value, and the same notes on how the data were
// read.
#include <algorithm>
#include <cstring>
#include <utility>
#include <fmt/format.h>

#include "host/data/data_content.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/number_columns.h"
#include "host/data/number_text.h"
#include "host/data/variable_names.h"
#include "host/services/workers.h"

namespace mva::host {

namespace {

using detail::ColumnPlan;
using detail::DataContent;

// Cases of a tile the columns are measured in (as measure_numbers takes
// them by default), and how many tiles the cases must fill for the
// measuring to be folded into the run rather than done before it.
constexpr std::size_t kMeasureTileCases = 4096;
constexpr std::size_t kMeasureFoldedTiles = 16;

// The print format a numeric column has until its measuring is settled.
constexpr PrintFormat kFormatToCome{kFormatF, 8, 2};

// Throws the error of the first infinite value, in column order, that the
// measuring found.
void refuse_first_infinite(const std::string& source, const std::vector<std::string>& headers,
                           const std::vector<std::string>& names, const std::vector<detail::NumberColumn>& measured) {
  for (std::size_t c = 0; c < measured.size(); ++c) {
    const std::size_t i = measured[c].first_infinite;
    if (i == detail::NumberColumn::kNoCase) continue;
    throw DataError(
        fmt::format("{}, column \"{}\" ({}), case {}: an infinite value; a value must be a finite "
                    "number or missing (NaN)",
                    source, headers[c], names[c], i + 1));
  }
}

// Sets the print format of each numeric column read in place to what its
// values say (the columns planned so far).
void set_formats(DataContent& content, const std::vector<detail::NumberColumn>& measured) {
  for (std::size_t c = 0; c < content.plans.size(); ++c) {
    const ColumnPlan& plan = content.plans[c];
    if (!plan.raw) continue;
    content.dictionary.set_format(static_cast<std::int64_t>(plan.cell) + 1, measured[c].widths.format(),
                                  content.source);
  }
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

  // The numeric columns are checked and measured where they lie, on the
  // workers; the first infinite value in column order is the one told.
  // With more than one worker and many cases, the measuring is folded into
  // the run's reading of the columns (the host settles it before it shows a
  // print format or hands on an infinite value, and at the end of a run):
  // the values are then read from memory once, for the run's copy of the
  // cases and for the measuring together.
  content->workers = Workers::shared(options.threads);  // kept for the host that analyses the cases
  Workers& workers = *content->workers;
  const std::size_t tile = options.chunk_bytes / sizeof(double);
  const bool folded = workers.count() > 1 && count > kMeasureFoldedTiles * (tile > 0 ? tile : kMeasureTileCases);
  const auto settle = [source = content->source, headers, names,
                       data = content.get()](const std::vector<detail::NumberColumn>& measured) {
    refuse_first_infinite(source, headers, names, measured);
    set_formats(*data, measured);
  };
  std::vector<detail::NumberColumn> measured;
  if (folded) {
    content->measuring = std::make_unique<detail::MeasuringNumbers>(columns, count, tile, content->workers, settle);
  } else {
    measured = detail::measure_numbers(columns, count, tile, workers);
    refuse_first_infinite(content->source, headers, names, measured);
  }

  try {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const MemoryColumn& column = columns[c];
      ColumnPlan plan;
      std::int64_t v = 0;
      if (column.numbers != nullptr) {
        // Read in place; the case reader converts each value as it reads it.
        plan.raw = true;
        plan.stride = column.stride;
        v = content->dictionary.add_numeric(names[c], folded ? kFormatToCome : measured[c].widths.format());
        content->cells.push_back(detail::ColumnCells(const_cast<double*>(column.numbers), detail::FreeCells{0, true}));
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
  } catch (const DataError&) {
    content->settle();  // an infinite value is told first, as when the columns are measured at once
    throw;
  }
  return DataSet(std::move(content));
}

}  // namespace mva::host
