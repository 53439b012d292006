// Loading a data set: the CSV file is read into memory once and walked once,
// checking its form, gathering per column what decides the variable's type
// and print format, and storing the values column by column; then the
// dictionary is built (header names, inferred or declared types, the
// dictionary file, the command-line options), string columns get their
// cells, and the file's text is let go.
#include "host/data/data_set.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
#include <memory>
#include <unordered_map>

#include <sys/mman.h>
#include <sys/stat.h>

#include "host/data/column_loader.h"
#include "host/data/data_content.h"
#include "host/data/data_error.h"
#include "host/data/dictionary_json.h"
#include "host/data/number_text.h"
#include "host/data/record_chunks.h"
#include "host/data/variable_names.h"

namespace mva::host {

const std::vector<std::string>& default_na_tokens() {
  // R writes NA; pandas NaN, nan, NULL, None, N/A, n/a, #N/A or <NA> as it is
  // asked or as its types print; "." is the missing value of many
  // statistical files.
  static const std::vector<std::string> tokens = {"NA",   ".",   "NaN", "nan",  "NULL",
                                                  "None", "N/A", "n/a", "#N/A", "<NA>"};
  return tokens;
}

namespace {

using detail::ColumnPlan;
using detail::ColumnStats;
using detail::DataContent;

// The whole file in memory. A regular file is mapped, its pages taken in one
// go from the page cache: no copy, no zeroed buffer. A pipe or device (or a
// file that cannot be mapped) is read to its end.
detail::TextBuffer read_file(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw DataError(fmt::format("{}: is a folder, not a data file", path));
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw DataError(fmt::format("{}: cannot open the data file ({})", path, std::strerror(errno)));
  }
  struct stat info {};
  if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(file), 0);
    if (mapped != MAP_FAILED) {
      std::fclose(file);
      madvise(mapped, size, MADV_SEQUENTIAL);  // a hint only
      return detail::TextBuffer(mapped, size);
    }
  }
  std::string text;
  char chunk[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw DataError(fmt::format("{}: cannot read the data file ({})", path, std::strerror(errno)));
  return detail::TextBuffer(std::move(text));
}

// The headers of the columns, blanks trimmed; they must be UTF-8 text. The
// variable names are made from them (variable_names.h).
std::vector<std::string> header_texts(const CsvReader& csv) {
  std::vector<std::string> headers;
  for (std::size_t c = 0; c < csv.fields().size(); ++c) {
    std::string header(trim_blanks(csv.fields()[c]));
    if (!valid_utf8(header)) {
      throw DataError(
          fmt::format("{}: the name of column {} in the header (line {}) is not UTF-8 text; "
                      "save the file as UTF-8",
                      csv.source(), c + 1, csv.line()));
    }
    headers.push_back(std::move(header));
  }
  return headers;
}

// The decimal mark the columns start with (DataContent::decimal).
char decimal_mark(const DataOptions& options, char delimiter) {
  if (!options.decimal) return delimiter == ';' ? 0 : '.';
  const char mark = *options.decimal;
  if (mark != '.' && mark != ',') {
    throw DataError(fmt::format("--decimal: the decimal mark is '.' or ',', not '{}'", mark));
  }
  if (mark == delimiter) {
    throw DataError(
        fmt::format("--decimal: the decimal mark cannot be the delimiter '{}'; give another "
                    "delimiter with --delimiter (';' or tab)",
                    delimiter));
  }
  return mark;
}

void poll_interrupt(const DataOptions& options) {
  if (options.interrupted && options.interrupted()) throw LoadInterrupted{};
}

// A string column keeps a cell that is an NA token as text when the token is
// one of its own missing values (fill_string_columns), so its width takes in
// those values.
void widen_for_kept_tokens(const DataContent& content, ColumnStats& s, const MissingSpec& spec) {
  for (const std::string& value : spec.values) {
    const std::string_view text = trim_blanks(value);
    if (!text.empty() && content.is_na(text)) s.kept_width = std::max(s.kept_width, text.size());
  }
}

// The dictionary from the names and what the pass found; a header that is
// not its variable's name becomes the variable's label.
void build_dictionary(DataContent& content, const std::vector<std::string>& headers,
                      const std::vector<std::string>& names, const std::vector<ColumnStats>& stats) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    const ColumnStats& s = stats[c];
    ColumnPlan plan;
    std::int64_t v = 0;
    if (s.numeric && s.declared != DeclaredType::String) {
      const int decimals = std::min(s.decimals, kMaxInferredDecimals);
      const int width =
          std::clamp(s.integer_width + (decimals > 0 ? decimals + 1 : 0), kMinInferredWidth, kMaxNumericWidth);
      v = content.dictionary.add_numeric(names[c], PrintFormat{kFormatF, width, decimals});
    } else {
      if (s.overflow_line != 0) {
        throw DataError(
            fmt::format("{}, line {}, column {} ({}): the text is {} bytes long, wider than the "
                        "declared width {}",
                        content.source, s.overflow_line, c + 1, names[c], s.overflow_length, *s.declared_width));
      }
      const int width = s.declared_width.value_or(
          static_cast<int>(std::clamp<std::size_t>(std::max(s.longest, s.kept_width), 1, kMaxStringWidth)));
      if (!s.declared_width && s.longest > static_cast<std::size_t>(kMaxStringWidth)) {
        throw DataError(fmt::format("{}, line {}, column {} ({}): a text of {} bytes; strings go up to {}",
                                    content.source, s.longest_line, c + 1, names[c], s.longest, kMaxStringWidth));
      }
      v = content.dictionary.add_string(names[c], width);
      plan.width = width;
      plan.cells = static_cast<int>(content.dictionary.slot_count(v));
    }
    if (!headers[c].empty() && headers[c] != names[c]) content.dictionary.set_label(v, headers[c]);
    plan.cell = static_cast<std::size_t>(v - 1);
    content.plans.push_back(plan);
  }
}

// A string column with cells that mean no value (read as blank) gets blank
// as its user-missing value; a dictionary file or --missing may replace it.
void declare_blank_missing(DataContent& content, const std::vector<std::string>& names,
                           const std::vector<ColumnStats>& stats) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    const auto v = static_cast<std::int64_t>(content.plans[c].cell) + 1;
    if (stats[c].na_cells > 0 && content.dictionary.is_string(v)) {
      MissingSpec blank;
      blank.values.emplace_back();
      content.dictionary.set_missing(v, blank, content.source);
    }
  }
}

void add_notes(DataContent& content, const std::vector<std::string>& headers, const std::vector<std::string>& names,
               const std::vector<ColumnStats>& stats) {
  const auto note = [&content](std::string_view key, std::vector<std::string> params) {
    params.insert(params.begin(), content.source);
    content.notes.push_back(LoadNote{std::string(key), std::move(params)});
  };
  std::vector<std::string> renamed;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (headers[c].empty() && c == 0) {
      note("HOST_ LOAD ^1 ROW NAMES ^2", {names[c]});
    } else if (headers[c].empty()) {
      note("HOST_ LOAD ^1 COLUMN ^2 UNNAMED ^3", {std::to_string(c + 1), names[c]});
    } else if (headers[c] != names[c]) {
      renamed.push_back(fmt::format("\"{}\" as {}", headers[c], names[c]));
    }
  }
  if (!renamed.empty()) note("HOST_ LOAD ^1 RENAMED ^2", {name_list(renamed)});

  std::vector<std::string> comma_columns;
  for (std::size_t c = 0; c < names.size(); ++c) {
    const auto v = static_cast<std::int64_t>(content.plans[c].cell) + 1;
    if (content.decimal == 0 && stats[c].mark == ',' && !content.dictionary.is_string(v)) {
      comma_columns.push_back(names[c]);
    }
  }
  if (!comma_columns.empty()) note("HOST_ LOAD ^1 DECIMAL COMMA ^2", {name_list(comma_columns)});

  std::vector<std::string> blank_read, blank_missing;
  for (std::size_t c = 0; c < names.size(); ++c) {
    const ColumnStats& s = stats[c];
    const auto v = static_cast<std::int64_t>(content.plans[c].cell) + 1;
    if (!content.dictionary.is_string(v)) continue;
    if (s.na_cells > 0) {
      blank_read.push_back(names[c]);
      const VarRecord& record = content.dictionary.slot(v);
      if (record.missing_form == 1 && trim_blanks(record.missing_text[0]).empty()) blank_missing.push_back(names[c]);
    }
    if (!s.declared && s.counting && s.texts > 0 && s.numbers > s.texts) {
      note("HOST_ LOAD ^1 COLUMN ^2 ^3 TEXT ^4 FIRST ^5 LINE ^6",
           {std::to_string(c + 1), names[c], std::to_string(s.texts), s.first_text, std::to_string(s.first_text_line)});
    }
  }
  if (blank_read.empty()) return;
  std::string tokens = "the empty cell";
  for (const std::string& token : content.na_tokens) tokens += ", " + token;
  if (blank_missing.empty()) {
    note("HOST_ LOAD ^1 BLANK STRINGS ^2 ^3", {name_list(blank_read), tokens});
  } else {
    note("HOST_ LOAD ^1 BLANK STRINGS ^2 ^3 MISSING ^4", {name_list(blank_read), tokens, name_list(blank_missing)});
  }
}

// The headers and the variable names of the columns, for the options that
// name a variable by a header that was renamed.
struct ColumnNames {
  const std::vector<std::string>& headers;
  const std::vector<std::string>& names;

  // Refuses `name` when it is no variable's name but the header of a column
  // read under another name, saying which name to give.
  void refuse_header(const Dictionary& dictionary, std::string_view name, std::string_view context) const {
    if (dictionary.find(name) != 0) return;
    for (std::size_t c = 0; c < headers.size(); ++c) {
      if (!headers[c].empty() && headers[c] != names[c] && fold_name(headers[c]) == fold_name(name)) {
        throw DataError(
            fmt::format("{}: \"{}\" is the header of column {}, which is read as the variable {}; "
                        "give {}",
                        context, name, c + 1, names[c], names[c]));
      }
    }
  }
};

void apply_options(Dictionary& dictionary, const DataOptions& options, const ColumnNames& columns) {
  for (const std::string& text : options.missing) {
    const MissingOption option = parse_missing_option(text);
    const std::string context = fmt::format("--missing '{}'", text);
    columns.refuse_header(dictionary, option.variable, context);
    const std::int64_t v = dictionary.find(option.variable);
    if (v == 0) throw DataError(fmt::format("{}: there is no variable named \"{}\"", context, option.variable));
    dictionary.set_missing(v, option.spec, context);
  }
  if (options.weight) {
    const std::string_view name = trim_blanks(*options.weight);
    if (name.empty()) {
      dictionary.set_weight(std::int64_t{0}, "--weight");
    } else {
      columns.refuse_header(dictionary, name, "--weight");
      dictionary.set_weight(name, "--weight");
    }
  }
  if (!options.split.empty()) {
    // Each option may itself be a comma-separated list.
    std::vector<std::string> names;
    for (const std::string& item : options.split) {
      std::string_view rest = item;
      for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = trim_blanks(rest.substr(0, comma));
        if (!name.empty()) names.emplace_back(name);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
    for (const std::string& name : names) columns.refuse_header(dictionary, name, "--split");
    dictionary.set_split(names, "--split");
  }
}

}  // namespace

void detail::apply_data_options(Dictionary& dictionary, const DataOptions& options,
                                const std::vector<std::string>& headers, const std::vector<std::string>& names) {
  apply_options(dictionary, options, ColumnNames{headers, names});
}

namespace {

// The delimiter, the decimal mark and the missing-value tokens the text is
// read with.
void set_text_options(DataContent& content, const DataOptions& options) {
  if (options.delimiter) {
    const char d = *options.delimiter;
    if (d == '"' || d == '\n' || d == '\r') {
      throw DataError("--delimiter: the delimiter cannot be a quote or a line end");
    }
    content.delimiter = d;
  } else {
    content.delimiter = CsvReader::detect_delimiter(content.text);
  }
  content.decimal = decimal_mark(options, content.delimiter);
  const std::vector<std::string>& tokens = options.na_tokens.empty() ? default_na_tokens() : options.na_tokens;
  for (const std::string& token : tokens) {
    const std::string_view trimmed = trim_blanks(token);
    if (!trimmed.empty()) content.na_tokens.emplace_back(trimmed);
  }
}

// What the dictionary file declares of each column: its type, width and
// missing values; a variable it names must be a column of the data.
void declare_columns(const DictionaryFile& file, const DataContent& content, const std::vector<std::string>& headers,
                     const std::vector<std::string>& names, std::vector<ColumnStats>& stats) {
  const auto same = [](std::string_view name) {
    return [folded = fold_name(name)](const std::string& other) { return fold_name(other) == folded; };
  };
  for (const VariableEntry& entry : file.variables()) {
    const auto at = std::find_if(names.begin(), names.end(), same(entry.name));
    if (at == names.end()) {
      const auto header = std::find_if(headers.begin(), headers.end(), same(entry.name));
      throw DataError(fmt::format(
          "{}: the variable \"{}\" is not in the data file {}{}", file.source(), shortened(entry.name), content.source,
          header == headers.end() ? ""
                                  : fmt::format(" (its column is read as the variable {}: name that in the dictionary)",
                                                names[static_cast<std::size_t>(header - headers.begin())])));
    }
    ColumnStats& s = stats[static_cast<std::size_t>(at - names.begin())];
    if (entry.missing) widen_for_kept_tokens(content, s, *entry.missing);
    s.declared = entry.type;
    if (entry.type == DeclaredType::String) s.numeric = s.counting = false;
    if (entry.type == DeclaredType::Numeric) s.may_be_string = false;
    s.declared_width = entry.width;
  }
}

// The columns whose --missing values are tokens to keep as they are.
void widen_for_missing_options(const DataOptions& options, const DataContent& content,
                               const std::vector<std::string>& names, std::vector<ColumnStats>& stats) {
  for (const std::string& text : options.missing) {
    const MissingOption option = parse_missing_option(text);
    const auto at = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
      return fold_name(name) == fold_name(option.variable);
    });
    if (at != names.end())
      widen_for_kept_tokens(content, stats[static_cast<std::size_t>(at - names.begin())], option.spec);
  }
}

}  // namespace

DataSet DataSet::build(detail::TextBuffer text, std::string source, const std::optional<DictionaryFile>& file,
                       const DataOptions& options) {
  auto content = std::make_shared<DataContent>();
  content->buffer = std::move(text);
  content->text = content->buffer.view();
  content->source = std::move(source);
  set_text_options(*content, options);

  const auto poll = [&options] { poll_interrupt(options); };
  CsvReader csv(content->text, content->delimiter, content->source);
  std::vector<std::string> headers;
  std::vector<std::string> names;
  std::vector<ColumnStats> stats;
  content->workers = Workers::shared(options.threads);
  Workers& workers = *content->workers;
  std::vector<detail::CaseRun> runs;
  // NUL bytes are looked for as the records are read, not in a pass of their
  // own; one anywhere in the file is reported before any other fault.
  try {
    if (!csv.next()) {
      throw DataError(fmt::format("{}: the file is empty; its first line must name the columns", content->source));
    }
    if (content->text.substr(0, csv.position().offset).find('\0') != std::string_view::npos) {
      detail::refuse_nul_bytes(content->text, content->source);
    }
    headers = header_texts(csv);
    names = variable_names(headers);
    content->columns = names.size();

    stats.resize(names.size());
    for (ColumnStats& s : stats) s.mark = content->decimal;
    if (file) declare_columns(*file, *content, headers, names, stats);
    widen_for_missing_options(options, *content, names, stats);
    poll();
    runs = detail::read_records(csv, *content, names, stats, poll, workers,
                                options.chunk_bytes > 0 ? options.chunk_bytes : detail::kChunkBytes);
  } catch (const DataError&) {
    detail::refuse_nul_bytes(content->text, content->source);
    throw;
  }
  poll();
  build_dictionary(*content, headers, names, stats);
  declare_blank_missing(*content, names, stats);
  if (file) content->dictionary.apply(*file);
  apply_options(content->dictionary, options, ColumnNames{headers, names});
  add_notes(*content, headers, names, stats);
  detail::fill_string_columns(*content, runs, poll, workers);
  // Every value is in the cells now; the text is no longer needed.
  content->text = {};
  content->buffer = detail::TextBuffer();
  return DataSet(std::move(content));
}

DataSet DataSet::load(const DataOptions& options) {
  std::optional<DictionaryFile> file;
  if (!options.dict_path.empty()) file = DictionaryFile::read(options.dict_path);
  return build(read_file(options.data_path), options.data_path, file, options);
}

DataSet DataSet::from_text(std::string csv, const DataOptions& options, std::string_view dictionary_json) {
  std::optional<DictionaryFile> file;
  if (!dictionary_json.empty()) {
    file = DictionaryFile::parse_text(dictionary_json, options.dict_path.empty() ? "<dictionary>" : options.dict_path);
  } else if (!options.dict_path.empty()) {
    file = DictionaryFile::read(options.dict_path);
  }
  return build(detail::TextBuffer(std::move(csv)), options.data_path.empty() ? "<data>" : options.data_path, file,
               options);
}

const Dictionary& DataSet::dictionary() const { return content_->dictionary; }
std::int64_t DataSet::case_count() const { return content_->cases; }
char DataSet::delimiter() const { return content_->delimiter; }
const std::string& DataSet::source() const { return content_->source; }
const std::vector<LoadNote>& DataSet::notes() const { return content_->notes; }
CaseReader DataSet::reader() const { return CaseReader(content_); }

void DataSet::settle() const { content_->settle(); }

}  // namespace mva::host
