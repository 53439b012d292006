// Loading a data set: the CSV file is read into memory once and walked once,
// checking its form and gathering, per column, what decides the variable's
// type and print format; then the dictionary is built (header names, inferred
// or declared types, the dictionary file, the command-line options).
#include "host/data/data_set.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
#include <memory>
#include <sys/mman.h>
#include <unordered_map>

#include "host/data/data_content.h"
#include "host/data/data_error.h"
#include "host/data/dictionary_json.h"
#include "host/data/number_text.h"

namespace mva::host {

namespace {

using detail::ColumnPlan;
using detail::DataContent;

const std::vector<std::string> kDefaultNaTokens = {"NA", "."};

// Asks the kernel to back a large buffer with huge pages: first touching a
// gigabyte page by page costs more than parsing it.
void advise_huge_pages([[maybe_unused]] char* bytes, [[maybe_unused]] std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kPage = 4096;
  if (size < (std::size_t{4} << 20)) return;
  const auto start = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (start + size) & ~(kPage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint only
#endif
}

// The whole file in one buffer, read once.
detail::TextBuffer read_file(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw DataError(fmt::format("{}: is a folder, not a data file", path));
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw DataError(fmt::format("{}: cannot open the data file ({})", path, std::strerror(errno)));
  }
  const bool regular = std::filesystem::is_regular_file(path, error);
  const auto size = regular ? std::filesystem::file_size(path, error) : 0;
  if (regular && !error) {
    // Straight into an uninitialised buffer: no zero fill, no chunk copies.
    auto bytes = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size) + 1);
    advise_huge_pages(bytes.get(), static_cast<std::size_t>(size));
    const std::size_t got = std::fread(bytes.get(), 1, static_cast<std::size_t>(size), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) throw DataError(fmt::format("{}: cannot read the data file ({})", path, std::strerror(errno)));
    return detail::TextBuffer(std::move(bytes), got);
  }
  // A pipe or device: read to its end.
  std::string text;
  char chunk[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw DataError(fmt::format("{}: cannot read the data file ({})", path, std::strerror(errno)));
  return detail::TextBuffer(std::move(text));
}

// At most this many cells that are not numbers make a column of numbers
// text "by a few odd cells", which a note at load points out.
constexpr std::int64_t kOddCells = 3;

// What the pass over the records learns about one column.
struct ColumnStats {
  std::optional<DeclaredType> declared;
  std::optional<int> declared_width;
  bool numeric = true;       // every cell so far is an NA token or a number
  bool may_be_string = true; // not declared numeric: its length matters
  bool counting = true;      // still counting numbers and other cells
  int decimals = 0;
  int integer_width = 1;
  std::size_t longest = 0;   // bytes, trailing blanks removed, NA cells left out
  std::int64_t longest_line = 0;   // where the longest cell stands
  std::int64_t overflow_line = 0;  // first cell longer than the declared width
  std::size_t overflow_length = 0;
  std::int64_t na_cells = 0;       // cells that are NA tokens (or empty)
  std::int64_t numbers = 0;        // cells that read as numbers (while counting)
  std::int64_t texts = 0;          // other cells (while counting)
  std::int64_t first_text_line = 0;
  std::string first_text;          // the first cell that is not a number
};

// A cell as a message quotes it: control bytes escaped (\xNN), and a long
// cell cut after 40 bytes with its length.
std::string shown_cell(std::string_view cell) {
  constexpr std::size_t kLongest = 40;
  std::string text;
  for (std::size_t i = 0; i < std::min(cell.size(), kLongest); ++i) {
    const auto byte = static_cast<unsigned char>(cell[i]);
    text += byte < 0x20 || byte == 0x7f ? fmt::format("\\x{:02X}", byte) : std::string(1, cell[i]);
  }
  if (cell.size() > kLongest) text += fmt::format("... ({} bytes)", cell.size());
  return text;
}

// A NUL byte has no place in a text file: most often the file is UTF-16.
void refuse_nul_bytes(std::string_view text, const std::string& source) {
  const std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return;
  std::int64_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < nul; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++line;
      line_start = i + 1;
    }
  }
  std::int64_t column = 1;
  for (std::size_t i = line_start; i < nul; ++i) column += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  throw DataError(fmt::format("{}, line {}, column {}: a NUL byte (\\x00) in the data; a CSV file holds text "
                              "(if it was saved as UTF-16, save it as UTF-8)", source, line, column));
}

std::string quoted_names(std::string_view a, std::string_view b) {
  if (a == b) return fmt::format("\"{}\"", a);
  return fmt::format("\"{}\"/\"{}\"", a, b);
}

std::vector<std::string> header_names(const CsvReader& csv) {
  std::vector<std::string> names;
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t c = 0; c < csv.fields().size(); ++c) {
    std::string name(trim_blanks(csv.fields()[c]));
    if (name.empty()) {
      throw DataError(fmt::format("{}: column {} has no name in the header (line {})", csv.source(), c + 1,
                                  csv.line()));
    }
    const auto [at, fresh] = seen.emplace(fold_name(name), c);
    if (!fresh) {
      throw DataError(fmt::format("{}: columns {} and {} have the same name {}", csv.source(), at->second + 1,
                                  c + 1, quoted_names(names[at->second], name)));
    }
    names.push_back(std::move(name));
  }
  return names;
}

// How many records are read between two polls of the user's interrupt.
constexpr std::int64_t kInterruptPollRecords = 1 << 16;

void poll_interrupt(const DataOptions& options) {
  if (options.interrupted && options.interrupted()) throw LoadInterrupted{};
}

void scan_records(CsvReader& csv, const DataContent& content, const std::vector<std::string>& names,
                  std::vector<ColumnStats>& stats, std::int64_t& cases, const DataOptions& options) {
  const std::size_t columns = stats.size();
  while (csv.next()) {
    if (++cases % kInterruptPollRecords == 0) poll_interrupt(options);
    const auto fields = csv.fields();
    for (std::size_t c = 0; c < columns; ++c) {
      ColumnStats& s = stats[c];
      const std::string_view cell = fields[c];
      const std::string_view trimmed = trim_blanks(cell);
      const bool na = content.is_na(trimmed);
      if (s.may_be_string) {
        const std::size_t length = trim_trailing_blanks(cell).size();
        if (na) {
          ++s.na_cells;
        } else if (length > s.longest) {
          s.longest = length;
          s.longest_line = csv.field_line(c);
          if (s.declared_width && length > static_cast<std::size_t>(*s.declared_width) && s.overflow_line == 0) {
            s.overflow_line = s.longest_line;
            s.overflow_length = length;
          }
        }
      }
      if (na || !s.counting) continue;
      if (const auto shape = measure_number(trimmed)) {
        ++s.numbers;
        s.decimals = std::max(s.decimals, shape->decimals);
        s.integer_width = std::max(s.integer_width, shape->integer_width);
      } else if (s.declared == DeclaredType::Numeric) {
        throw DataError(fmt::format("{}, line {}, column {} ({}): \"{}\" is not a number, and {} is declared numeric",
                                    csv.source(), csv.field_line(c), c + 1, names[c], shown_cell(cell), names[c]));
      } else {
        s.numeric = false;
        if (s.texts++ == 0) {
          s.first_text = shown_cell(trimmed);
          s.first_text_line = csv.field_line(c);
        }
        s.counting = s.texts <= kOddCells;  // past a few, the column is plainly text
      }
    }
  }
}

// The dictionary from the names and what the pass found.
void build_dictionary(DataContent& content, const std::vector<std::string>& names,
                      const std::vector<ColumnStats>& stats) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    const ColumnStats& s = stats[c];
    ColumnPlan plan;
    std::int64_t v = 0;
    if (s.numeric && s.declared != DeclaredType::String) {
      const int decimals = std::min(s.decimals, kMaxInferredDecimals);
      const int width = std::clamp(s.integer_width + (decimals > 0 ? decimals + 1 : 0), kMinInferredWidth,
                                   kMaxNumericWidth);
      v = content.dictionary.add_numeric(names[c], PrintFormat{kFormatF, width, decimals});
    } else {
      if (s.overflow_line != 0) {
        throw DataError(fmt::format("{}, line {}, column {} ({}): the text is {} bytes long, wider than the "
                                    "declared width {}", content.source, s.overflow_line, c + 1, names[c],
                                    s.overflow_length, *s.declared_width));
      }
      const int width = s.declared_width.value_or(
          static_cast<int>(std::clamp<std::size_t>(s.longest, 1, kMaxStringWidth)));
      if (!s.declared_width && s.longest > static_cast<std::size_t>(kMaxStringWidth)) {
        throw DataError(fmt::format("{}, line {}, column {} ({}): a text of {} bytes; strings go up to {}",
                                    content.source, s.longest_line, c + 1, names[c], s.longest, kMaxStringWidth));
      }
      v = content.dictionary.add_string(names[c], width);
      plan.width = width;
      plan.cells = static_cast<int>(content.dictionary.slot_count(v));
    }
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

std::string name_list(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t k = 0; k < names.size(); ++k) {
    list += k == 0 ? "" : k + 1 == names.size() ? " and " : ", ";
    list += names[k];
  }
  return list;
}

void add_notes(DataContent& content, const std::vector<std::string>& names, const std::vector<ColumnStats>& stats) {
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
    if (!s.declared && s.texts > 0 && s.texts <= kOddCells && s.numbers > s.texts) {
      content.notes.push_back(fmt::format(
          "{}: column {} ({}) is read as text because {} of its cells {} not a number, the first \"{}\" at "
          "line {}; if {} no value, give {} with --na, or else correct the data",
          content.source, c + 1, names[c], s.texts, s.texts == 1 ? "is" : "are", s.first_text,
          s.first_text_line, s.texts == 1 ? "it means" : "they mean", s.texts == 1 ? "it" : "them"));
    }
  }
  if (blank_read.empty()) return;
  std::string tokens = "the empty cell";
  for (const std::string& token : content.na_tokens) tokens += ", " + token;
  std::string note = fmt::format("{}: in the string column{} {}, cells without a value ({}) are read as blank",
                                 content.source, blank_read.size() == 1 ? "" : "s", name_list(blank_read), tokens);
  if (!blank_missing.empty()) {
    note += fmt::format(", and blank is a user-missing value of {}", name_list(blank_missing));
  }
  content.notes.push_back(std::move(note));
}

void apply_options(Dictionary& dictionary, const DataOptions& options) {
  for (const std::string& text : options.missing) {
    const MissingOption option = parse_missing_option(text);
    const std::string context = fmt::format("--missing '{}'", text);
    const std::int64_t v = dictionary.find(option.variable);
    if (v == 0) throw DataError(fmt::format("{}: there is no variable named \"{}\"", context, option.variable));
    dictionary.set_missing(v, option.spec, context);
  }
  if (options.weight) {
    const std::string_view name = trim_blanks(*options.weight);
    if (name.empty()) {
      dictionary.set_weight(std::int64_t{0}, "--weight");
    } else {
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
    dictionary.set_split(names, "--split");
  }
}

}  // namespace

DataSet DataSet::build(detail::TextBuffer text, std::string source, const std::optional<DictionaryFile>& file,
                       const DataOptions& options) {
  auto content = std::make_shared<DataContent>();
  content->buffer = std::move(text);
  content->text = content->buffer.view();
  content->source = std::move(source);
  if (options.delimiter) {
    const char d = *options.delimiter;
    if (d == '"' || d == '\n' || d == '\r') {
      throw DataError("--delimiter: the delimiter cannot be a quote or a line end");
    }
    content->delimiter = d;
  } else {
    content->delimiter = CsvReader::detect_delimiter(content->text);
  }
  const std::vector<std::string>& tokens = options.na_tokens.empty() ? kDefaultNaTokens : options.na_tokens;
  for (const std::string& token : tokens) {
    const std::string_view trimmed = trim_blanks(token);
    if (!trimmed.empty()) content->na_tokens.emplace_back(trimmed);
  }

  refuse_nul_bytes(content->text, content->source);
  CsvReader csv(content->text, content->delimiter, content->source);
  if (!csv.next()) {
    throw DataError(fmt::format("{}: the file is empty; its first line must name the columns", content->source));
  }
  const std::vector<std::string> names = header_names(csv);
  content->columns = names.size();
  content->first_record = csv.position();

  std::vector<ColumnStats> stats(names.size());
  if (file) {
    for (const VariableEntry& entry : file->variables()) {
      const auto at = std::find_if(names.begin(), names.end(),
                                   [&](const std::string& name) { return fold_name(name) == fold_name(entry.name); });
      if (at == names.end()) {
        throw DataError(fmt::format("{}: the variable \"{}\" is not in the data file {}", file->source(), entry.name,
                                    content->source));
      }
      ColumnStats& s = stats[static_cast<std::size_t>(at - names.begin())];
      s.declared = entry.type;
      if (entry.type == DeclaredType::String) s.numeric = s.counting = false;
      if (entry.type == DeclaredType::Numeric) s.may_be_string = false;
      s.declared_width = entry.width;
    }
  }
  poll_interrupt(options);
  scan_records(csv, *content, names, stats, content->cases, options);
  poll_interrupt(options);
  build_dictionary(*content, names, stats);
  declare_blank_missing(*content, names, stats);
  if (file) content->dictionary.apply(*file);
  apply_options(content->dictionary, options);
  add_notes(*content, names, stats);
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
  return build(detail::TextBuffer(std::move(csv)), options.data_path.empty() ? "<data>" : options.data_path, file, options);
}

const Dictionary& DataSet::dictionary() const { return content_->dictionary; }
std::int64_t DataSet::case_count() const { return content_->cases; }
char DataSet::delimiter() const { return content_->delimiter; }
const std::string& DataSet::source() const { return content_->source; }
const std::vector<std::string>& DataSet::notes() const { return content_->notes; }
CaseReader DataSet::reader() const { return CaseReader(content_); }

}  // namespace mva::host
