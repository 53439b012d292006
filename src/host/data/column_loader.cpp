// The loading pass. Most records of a data file are plain: numbers and
// short texts, no quotes, no blanks around numbers, one line each. A record
// like that is read in place, in one scan of its bytes: each number is parsed
// where it stands and its value written straight into its column. Anything
// else (a quote, an NA word, a cell longer than any seen before in its
// column, a record with the wrong number of fields, an empty line) sends the
// record to the general path, which reads it with the CSV reader and checks
// every cell the long way, with the exact messages; the fast path only ever
// accepts cells whose outcome the general path would give the same way.
#include "host/data/column_loader.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <fmt/format.h>

#include "host/data/data_error.h"
#include "host/data/number_text.h"

namespace mva::host::detail {

namespace {

// Reads `cell` (blanks trimmed) as a number written with the decimal mark
// `mark`, '.' or ','. With a comma for the mark a cell with a point is no
// number: a point there most often groups thousands ("1.234,5"), and to
// read "1.234" as a fraction would be a silent wrong value.
bool read_with_mark(std::string_view cell, char mark, double& value, NumberShape& shape) {
  const char* const end = cell.data() + cell.size();
  if (cell.empty()) return false;
  if (mark == '.') return read_number_at(cell.data(), end, value, shape) == end;
  const std::size_t comma = cell.find(',');
  if (cell.find('.') != std::string_view::npos) return false;
  if (comma == std::string_view::npos) return read_number_at(cell.data(), end, value, shape) == end;
  std::string text(cell);
  text[comma] = '.';  // a second comma is left in, and stops the number
  return read_number_at(text.data(), text.data() + text.size(), value, shape) == text.data() + text.size();
}

// Reads a cell of the column `s` as a number. A column whose decimal mark is
// not decided yet takes the mark of the first number with a fraction it
// meets; a number with the other mark is then no number.
bool read_cell_number(std::string_view cell, ColumnStats& s, double& value, NumberShape& shape) {
  if (s.mark != 0) return read_with_mark(cell, s.mark, value, shape);
  if (read_with_mark(cell, '.', value, shape)) {
    if (cell.find('.') != std::string_view::npos) s.mark = '.';
    return true;
  }
  if (read_with_mark(cell, ',', value, shape)) {  // a cell that failed with '.' and reads has a comma
    s.mark = ',';
    return true;
  }
  return false;
}

// Whether an NA token reads as a number: then a number is not simply a value,
// and every record takes the general path.
bool numbers_may_be_na(const DataContent& content) {
  return std::any_of(content.na_tokens.begin(), content.na_tokens.end(), [&](const std::string& token) {
    double value = 0.0;
    NumberShape shape;
    return read_with_mark(token, '.', value, shape) ||
           (content.decimal != '.' && read_with_mark(token, ',', value, shape));
  });
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A number read in place: where it stops (null when no number starts there)
// and its value and shape.
struct PlainNumber {
  const char* stop = nullptr;
  double value = 0.0;
  NumberShape shape;            // integer_width: at least the exact width (see exact_integer_width)
  const char* whole = nullptr;  // its whole digits, when read in place
  int whole_digits = 0;
  bool sign = false;  // a minus sign that counts in the width
};

// Reads the number that starts at `p` with read_number_at, for the forms
// read_plain_number leaves to it.
PlainNumber read_any_number(const char* p, const char* end) {
  PlainNumber n;
  n.stop = read_number_at(p, end, n.value, n.shape);
  return n;
}

// Reads the run of decimal digits that starts at `q` into `mantissa` (each
// digit appended as mantissa * 10 + digit, wrapping past 2^64 as that loop
// would; the caller refuses more than 19 digits) and returns where the run
// stops. Where 8 bytes are left before `end`, they are taken as one word:
// the first byte that is no digit is found by bit tricks and the digits
// before it are converted together, instead of a branch per digit.
template <bool kChecked>
[[gnu::always_inline]] inline const char* read_digit_run(const char* q, const char* const end,
                                                         std::uint64_t& mantissa) {
  constexpr std::uint64_t kZeros = 0x3030303030303030;  // '0' in every byte
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  while (end - q >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, q, 8);
    if constexpr (std::endian::native != std::endian::little) word = __builtin_bswap64(word);
    // A byte is a digit when byte ^ '0' is at most 9: adding 0x76 sets the
    // top bit of every byte of 10 or more; a byte with its top bit already
    // set is no digit either. A carry out of one byte only reaches bytes
    // after a byte that is no digit.
    const std::uint64_t x = word ^ kZeros;
    const std::uint64_t stops = ((x + kOnes * 0x76) | x) & (kOnes * 0x80);
    const int count = stops == 0 ? 8 : __builtin_ctzll(stops) / 8;
    if (count == 0) return q;
    // The first `count` bytes as digits, the first the most significant:
    // moved to the top of the word, the bytes below are leading zeros.
    std::uint64_t d = x << (8 * (8 - count));
    d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FF;      // pairs
    d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFF;    // fours
    d = (d * 10000 + (d >> 32)) & 0x00000000FFFFFFFF;  // eight
    static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    mantissa = mantissa * kScale[count] + d;
    q += count;
    if (count < 8) return q;
  }
  const auto more = [end](const char* at) { return !kChecked || at < end; };
  while (more(q) && static_cast<unsigned char>(*q - '0') < 10) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q++ - '0');
  }
  return q;
}

// Reads the number that starts at `p` in place, as read_number_at does, with
// the common form (at most 19 digits, a mantissa below 2^53, at most 22
// decimals, no exponent) worked out here in one scan, its fraction after the
// decimal mark `mark` ('.' or ','; 0 takes no fraction, and the number stops
// at either mark). Other forms go to read_number_at when the mark is '.',
// and are no number here otherwise (the general path reads them). Unchecked
// (kChecked false), the scan does not look for `end`: the caller knows that
// a line end stands before it.
template <bool kChecked>
PlainNumber read_plain_number(const char* const p, const char* const end, const char mark) {
  const auto more = [end](const char* at) { return !kChecked || at < end; };
  const char* q = p;
  const bool negative = more(q) && *q == '-';
  if (more(q) && (*q == '-' || *q == '+')) ++q;
  const char* const whole = q;
  std::uint64_t mantissa = 0;
  while (more(q) && static_cast<unsigned char>(*q - '0') < 10) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q++ - '0');
  }
  const auto whole_digits = static_cast<int>(q - whole);
  int fraction_digits = 0;
  if (mark != 0 && more(q) && *q == mark) {
    const char* const fraction = ++q;
    q = read_digit_run<kChecked>(q, end, mantissa);
    fraction_digits = static_cast<int>(q - fraction);
  }
  const int digits = whole_digits + fraction_digits;
  if (digits == 0) return {};
  if (digits > 19 || mantissa >= (std::uint64_t{1} << 53) || fraction_digits > 22 ||
      (more(q) && (*q == 'e' || *q == 'E'))) {
    return mark == '.' ? read_any_number(p, end) : PlainNumber{};
  }
  // Mantissa and power of ten are exact doubles, so one division rounds
  // correctly (Clinger's fast path); -0 reads as 0.
  // Below 2^53 the mantissa converts exactly as a signed integer, which is
  // one instruction.
  PlainNumber n;
  n.stop = q;
  n.value = static_cast<double>(static_cast<std::int64_t>(mantissa));
  if (fraction_digits > 0) n.value /= kPowersOfTen[fraction_digits];
  if (negative && mantissa != 0) n.value = -n.value;
  n.shape.decimals = std::min(fraction_digits, kMaxPrintDecimals);
  n.sign = negative && mantissa != 0;
  n.shape.integer_width = std::max(whole_digits, 1) + (n.sign ? 1 : 0);
  n.whole = whole;
  n.whole_digits = whole_digits;
  return n;
}

// The integer width of a number: its whole digits without leading zeros (at
// least one), and its sign. read_plain_number leaves the leading zeros in,
// and this is asked for only when that width may widen the column.
int exact_integer_width(const PlainNumber& n) {
  if (n.whole == nullptr) return n.shape.integer_width;
  int leading_zeros = 0;
  while (leading_zeros + 1 < n.whole_digits && n.whole[leading_zeros] == '0') ++leading_zeros;
  return std::max(n.whole_digits - leading_zeros, 1) + (n.sign ? 1 : 0);
}

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

class RecordPass {
 public:
  // `columns` are where the values of the stretch of records read go: the
  // first cell of each numeric column (null for one of text).
  RecordPass(const DataContent& content, std::vector<ColumnStats>& stats, std::vector<double*> columns)
      : content_(content),
        stats_(stats),
        columns_(std::move(columns)),
        delimiter_(content.delimiter),
        hot_(stats.size()),
        na_(stats.size()),
        not_numbers_(stats.size()),
        text_numbers_(stats.size()) {
    load_hot();
  }

  // Reads the record at `p` in place as the case numbered `record` (0-based)
  // and returns where the next record starts; null when the record needs the
  // general path. A record given up may leave values and maxima half
  // written, which the general path overwrites and the maxima absorb; the
  // counts of NA cells and numbers are only added once the record is read.
  // Unchecked (kChecked false), the scans do not look for `end`: the caller
  // knows that a line end stands before it, and every scan stops at one.
  // This is the load's innermost loop over every cell of the file; its cases
  // stay in one function so that the compiler keeps the column state in
  // registers across them.
  template <bool kChecked>
  // NOLINTNEXTLINE(readability-function-cognitive-complexity)
  const char* read_plain(const char* p, const char* const end, std::size_t record) {
    const std::size_t columns = hot_.size();
    std::size_t exceptions = 0;  // NA cells of this record, in exceptions_
    std::size_t numbers = 0;     // numbers in text columns of this record, in numbers_at_
    for (std::size_t c = 0; c < columns; ++c) {
      HotColumn& h = hot_[c];
      const char* const start = p;
      if (h.cells != nullptr) {  // numeric, and so still counting
        double value = kSystemMissing;
        const PlainNumber number = read_plain_number<kChecked>(p, end, h.mark);
        const char* const stop = number.stop;
        if (stop != nullptr && ends_field(stop, end)) {
          p = stop;
          if (static_cast<std::size_t>(p - start) > h.longest) return nullptr;
          h.decimals = std::max(h.decimals, number.shape.decimals);
          if (number.shape.integer_width > h.integer_width) {
            h.integer_width = std::max(h.integer_width, exact_integer_width(number));
          }
          value = number.value;
        } else {
          // Not a plain number: an empty cell or an NA word is still plain,
          // anything else is not.
          if (p < end && *p == '"') return nullptr;
          p = field_end(p, end);
          if (!content_.is_na(trim_blanks(std::string_view(start, static_cast<std::size_t>(p - start))))) {
            return nullptr;
          }
          exceptions_[exceptions++] = c;
        }
        h.cells[record] = value;
      } else {
        if (p < end && *p == '"') return nullptr;
        p = field_end(p, end);
        const std::string_view cell(start, static_cast<std::size_t>(p - start));
        const std::string_view trimmed = trim_blanks(cell);
        if (content_.is_na(trimmed)) {
          exceptions_[exceptions++] = c;
        } else if (trim_trailing_blanks(cell).size() > h.longest) {
          return nullptr;
        } else if (stats_[c].counting && may_start_number(trimmed.front())) {
          // Counted as the general path counts it. A column whose decimal
          // mark is not decided leaves a cell with either mark to the general
          // path, which decides it; without one, both marks read it alike.
          if (h.mark == 0 && trimmed.find_first_of(".,") != std::string_view::npos) return nullptr;
          double value = 0.0;
          NumberShape shape;
          if (read_with_mark(trimmed, h.mark == 0 ? '.' : h.mark, value, shape)) numbers_at_[numbers++] = c;
        }
      }
      if (c + 1 < columns) {
        if (p == end || *p != delimiter_) return nullptr;
        ++p;
      }
    }
    const char* next = nullptr;
    if (p == end) {
      next = p;
    } else if (*p == '\n') {
      next = p + 1;
    } else if (*p == '\r') {
      next = p + 1 < end && p[1] == '\n' ? p + 2 : p + 1;
    } else {
      return nullptr;  // more fields than the header has
    }
    // An NA cell counts as one, except in a column declared numeric, where
    // only its lack of a number counts.
    for (std::size_t e = 0; e < exceptions; ++e) {
      const std::size_t c = exceptions_[e];
      if (hot_[c].cells != nullptr) ++not_numbers_[c];
      if (stats_[c].may_be_string) ++na_[c];
    }
    for (std::size_t k = 0; k < numbers; ++k) ++text_numbers_[numbers_at_[k]];
    ++in_place_;
    return next;
  }

  // Adds the counts of the records read in place to the columns' counts,
  // and the maxima learnt in place to their stats.
  void add_plain_counts() {
    for (std::size_t c = 0; c < stats_.size(); ++c) {
      ColumnStats& s = stats_[c];
      if (hot_[c].cells != nullptr) {
        s.numbers += in_place_ - not_numbers_[c];
        s.decimals = hot_[c].decimals;
        s.integer_width = hot_[c].integer_width;
      } else if (s.counting) {  // a text column: its cells are NA, numbers or texts
        s.numbers += text_numbers_[c];
        s.texts += in_place_ - na_[c] - text_numbers_[c];
      }
      s.na_cells += na_[c];
      na_[c] = not_numbers_[c] = text_numbers_[c] = 0;
    }
    in_place_ = 0;
  }

  // Moves the columns of numbers (once they have grown).
  void set_columns(const std::vector<double*>& columns) {
    for (std::size_t c = 0; c < hot_.size(); ++c) {
      if (columns_[c] == nullptr) continue;
      columns_[c] = columns[c];
      if (hot_[c].cells != nullptr) hot_[c].cells = columns[c];
    }
  }

  // Reads the record the CSV reader has just read, cell by cell, as the case
  // numbered `record`, with the columns' stats brought up to date first.
  void read_general(const CsvReader& csv, const std::vector<std::string>& names, std::size_t record) {
    add_plain_counts();
    read_cells(csv, names, record);
    load_hot();
  }

 private:
  // What the in-place reading of a column needs, packed for the hot loop.
  struct HotColumn {
    double* cells = nullptr;  // the values of a numeric column; null for a text column
    std::size_t longest = 0;  // a longer cell takes the general path (no limit when its length cannot matter)
    int decimals = 0;         // ColumnStats::decimals, as it grows in place
    int integer_width = 1;    // ColumnStats::integer_width, as it grows in place
    char mark = '.';          // ColumnStats::mark
  };

  // Takes the columns' state from their stats and cells.
  void load_hot() {
    for (std::size_t c = 0; c < stats_.size(); ++c) {
      const ColumnStats& s = stats_[c];
      HotColumn& h = hot_[c];
      h.cells = s.numeric ? columns_[c] : nullptr;
      h.longest = s.may_be_string ? s.longest : static_cast<std::size_t>(-1);
      h.decimals = s.decimals;
      h.integer_width = s.integer_width;
      h.mark = s.mark;
    }
    exceptions_.resize(stats_.size());
    numbers_at_.resize(stats_.size());
  }

  // Whether a cell that starts with `c` may read as a number (a number
  // starts with a sign, a digit or a decimal mark).
  static bool may_start_number(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == ',';
  }

  // Whether a number that stops at `at` fills its field.
  bool ends_field(const char* at, const char* end) const {
    return at == end || *at == delimiter_ || *at == '\n' || *at == '\r';
  }

  // The cells of the record the CSV reader has just read, the long way.
  void read_cells(const CsvReader& csv, const std::vector<std::string>& names, std::size_t record) {
    const auto fields = csv.fields();
    for (std::size_t c = 0; c < stats_.size(); ++c) {
      ColumnStats& s = stats_[c];
      const std::string_view cell = fields[c];
      const std::string_view trimmed = trim_blanks(cell);
      const bool na = content_.is_na(trimmed);
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
      if (na && s.numeric) columns_[c][record] = kSystemMissing;
      if (na || !s.counting) continue;
      double value = 0.0;
      NumberShape shape;
      if (read_cell_number(trimmed, s, value, shape)) {
        ++s.numbers;
        s.decimals = std::max(s.decimals, shape.decimals);
        s.integer_width = std::max(s.integer_width, shape.integer_width);
        if (s.numeric) columns_[c][record] = value;
      } else if (s.declared == DeclaredType::Numeric) {
        throw DataError(fmt::format("{}, line {}, column {} ({}): \"{}\" is not a number, and {} is declared numeric{}",
                                    csv.source(), csv.field_line(c), c + 1, names[c], shown_cell(cell), names[c],
                                    s.mark == ',' ? " (its decimal mark is the comma)" : ""));
      } else {
        if (s.numeric) {  // its values are of no use now
          s.numeric = false;
          columns_[c] = nullptr;
        }
        if (s.texts++ == 0) {
          s.first_text = shown_cell(trimmed);
          s.first_text_line = csv.field_line(c);
        }
      }
    }
  }

  // Where an unquoted field that starts at `p` ends; a NUL byte stops it
  // too, so that no record with one is read in place.
  const char* field_end(const char* p, const char* const end) const {
    while (p < end && *p != delimiter_ && *p != '\n' && *p != '\r' && *p != '\0') ++p;
    return p;
  }

  const DataContent& content_;
  std::vector<ColumnStats>& stats_;
  std::vector<double*> columns_;  // the first cell of each numeric column
  const char delimiter_;
  std::vector<HotColumn> hot_;
  std::vector<std::size_t> exceptions_;     // the columns of the NA cells of the record being read in place
  std::int64_t in_place_ = 0;               // records read in place since the counts were last added
  std::vector<std::int64_t> na_;            // their NA cells that count as such, per column
  std::vector<std::int64_t> not_numbers_;   // their cells of numeric columns that are not numbers
  std::vector<std::int64_t> text_numbers_;  // their cells of text columns that are numbers
  std::vector<std::size_t> numbers_at_;     // the text columns of the numbers of the record being read in place
};

}  // namespace

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
  throw DataError(
      fmt::format("{}, line {}, column {}: a NUL byte (\\x00) in the data; a CSV file holds text "
                  "(if it was saved as UTF-16, save it as UTF-8)",
                  source, line, column));
}

RangeResult read_range(const DataContent& content, const std::vector<std::string>& names, CsvReader::Position at,
                       std::size_t stop, std::vector<ColumnStats>& stats, CellTarget& target,
                       const std::function<void()>& poll) {
  const std::string_view text = content.text;
  assert(stop <= text.size() && target.cells.size() == stats.size());
  CsvReader csv(text, content.delimiter, content.source);
  csv.expect_fields(content.columns);
  RecordPass pass(content, stats, target.cells);
  const bool plain_allowed = !numbers_may_be_na(content);
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // A record that starts before the last line end is read without looking
  // for the end of the text: every scan stops at a line end.
  const char* last_line_end = static_cast<const char*>(memrchr(begin, '\n', text.size()));
  if (last_line_end == nullptr) last_line_end = begin;
  RangeResult result;
  const std::int64_t first_line = at.line;
  std::size_t record = 0;
  for (;;) {
    if (at.offset >= stop) break;
    const char* const p = begin + at.offset;
    if ((record + 1) % kInterruptPollRecords == 0) poll();
    if (record == target.capacity) {
      if (!target.grow) {
        result.overflow = true;
        break;
      }
      target.grow(target.capacity + target.capacity / 2);
      pass.set_columns(target.cells);
    }
    std::int64_t line = at.line;
    const char* next = nullptr;
    if (plain_allowed && *p != '\n' && *p != '\r') {
      next = p < last_line_end ? pass.read_plain<false>(p, end, record) : pass.read_plain<true>(p, end, record);
    }
    if (next != nullptr) {
      at.offset = static_cast<std::size_t>(next - begin);
      at.line += 1;
      at.records += 1;
    } else {
      csv.seek(at);
      if (!csv.next()) break;  // only empty lines were left
      const CsvReader::Position after = csv.position();
      if (std::memchr(p, '\0', after.offset - at.offset) != nullptr) refuse_nul_bytes(text, content.source);
      pass.read_general(csv, names, record);
      line = csv.line();
      at = after;
    }
    // Line numbers are kept only once a record stands off the one-per-line count.
    const auto record_number = static_cast<std::int64_t>(record);
    const bool off_count = line != first_line + record_number;
    if (result.lines.empty() && off_count) {
      result.lines.reserve(record + 1);
      for (std::int64_t r = 0; r < record_number; ++r) result.lines.push_back(first_line + r);
    }
    if (!result.lines.empty() || off_count) result.lines.push_back(line);
    ++record;
  }
  pass.add_plain_counts();
  result.records = record;
  result.end = at;
  return result;
}

StringFill::StringFill(const DataContent& content) : content_(content), kept_(content.plans.size()) {
  for (std::size_t c = 0; c < content.plans.size(); ++c) {
    if (content.plans[c].width > 0) strings_.push_back(c);
  }
  // An NA token that is one of a string column's own user-missing values
  // (a dictionary that declares "N/A" missing) is that value there, not blank.
  for (const std::size_t c : strings_) {
    const VarRecord& record = content.dictionary.slot(static_cast<std::int64_t>(content.plans[c].cell) + 1);
    for (int k = 0; k < record.missing_form && k < 3; ++k) {
      const std::string_view text = trim_blanks(record.missing_text[static_cast<std::size_t>(k)]);
      if (!text.empty() && content.is_na(text)) kept_[c].push_back(text);
    }
  }
}

void StringFill::fill(const CaseRun& run, const std::function<void()>& poll) const {
  CsvReader csv(content_.text, content_.delimiter, content_.source);
  csv.seek(run.start);
  csv.expect_fields(content_.columns);
  for (std::size_t k = 0; k < run.cases && csv.next(); ++k) {
    if ((k + 1) % kInterruptPollRecords == 0) poll();
    const std::size_t record = run.first_case + k;
    for (const std::size_t c : strings_) {
      // Blank padded, 8 characters per cell, as the case buffer holds them.
      const ColumnPlan& plan = content_.plans[c];
      const std::string_view cell = csv.fields()[c];
      const std::size_t size = static_cast<std::size_t>(plan.cells) * 8;
      char* chars = reinterpret_cast<char*>(content_.cells[c].get() + record * static_cast<std::size_t>(plan.cells));
      const std::string_view trimmed = trim_blanks(cell);
      const bool na = content_.is_na(trimmed) && std::find(kept_[c].begin(), kept_[c].end(), trimmed) == kept_[c].end();
      const std::size_t used = na ? 0 : std::min(cell.size(), static_cast<std::size_t>(plan.width));
      std::memcpy(chars, cell.data(), used);
      std::memset(chars + used, ' ', size - used);
    }
  }
}

}  // namespace mva::host::detail
