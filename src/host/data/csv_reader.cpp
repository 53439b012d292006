// The CSV reader. The hot path is the scan of an unquoted field (three
// comparisons per byte) and memchr over a quoted one; line counting inside
// quoted fields and the line/column of messages are worked out only when
// needed.
#include "host/data/csv_reader.h"

#include <cstring>
#include <fmt/format.h>

#include "host/data/data_error.h"

namespace mva::host {

namespace {

// Line ends in `text`: LF, CRLF and a lone CR each count once.
std::int64_t count_line_ends(std::string_view text) {
  std::int64_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lone_cr = text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n');
    if (text[i] == '\n' || lone_cr) ++count;
  }
  return count;
}

std::string describe_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7f) return fmt::format("'{}'", c);
  return fmt::format("byte 0x{:02X}", byte);
}

}  // namespace

CsvReader::CsvReader(std::string_view text, char delimiter, std::string source)
    : text_(text), delimiter_(delimiter), source_(std::move(source)) {
  position_.offset = bom_length(text);
}

std::size_t CsvReader::bom_length(std::string_view text) { return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; }

char CsvReader::detect_delimiter(std::string_view text) {
  text.remove_prefix(bom_length(text));
  std::int64_t comma = 0;
  std::int64_t semicolon = 0;
  std::int64_t tab = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;  // a doubled quote toggles twice
    } else if (!quoted) {
      if (c == '\n' || c == '\r') break;
      comma += c == ',';
      semicolon += c == ';';
      tab += c == '\t';
    }
  }
  if (semicolon > comma && semicolon > tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

bool CsvReader::next() {
  const char* const begin = text_.data();
  const char* const end = begin + text_.size();
  const char* p = begin + position_.offset;
  std::int64_t line = position_.line;
  // Completely empty lines are no records, except after the header of a file
  // of one column: there an empty line is a record of one empty cell (most
  // often a missing value), and only a line end that ends the text closes the
  // last record without starting one.
  while (expected_ != 1 && p < end && (*p == '\n' || *p == '\r')) {
    if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
    ++p;
    ++line;
  }
  if (p >= end) {
    position_.offset = text_.size();
    position_.line = line;
    return false;
  }
  fields_.clear();
  field_lines_.clear();
  escaped_.clear();
  record_line_ = line;
  record_start_ = p;

  const char delimiter = delimiter_;
  for (;;) {
    field_lines_.push_back(line);
    p = (p < end && *p == '"') ? quoted_field(p, end, line) : plain_field(p, end);
    if (p < end && *p == delimiter) {
      ++p;
      continue;
    }
    if (p < end) {  // the line end closing the record
      if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
      ++p;
      ++line;
    }
    break;
  }

  if (!escaped_.empty()) unescape_fields();

  position_.offset = static_cast<std::size_t>(p - begin);
  position_.line = line;
  ++position_.records;
  if (expected_ == 0) {
    expected_ = fields_.size();
  } else if (fields_.size() != expected_) {
    throw DataError(fmt::format("{}, line {}: {} field{} found, {} expected (as many as the header has)", source_,
                                record_line_, fields_.size(), fields_.size() == 1 ? "" : "s", expected_));
  }
  return true;
}

const char* CsvReader::quoted_field(const char* p, const char* end, std::int64_t& line) {
  const char delimiter = delimiter_;
  const char* const content = p + 1;
  const char* q = content;
  bool doubled = false;
  const char* close = nullptr;
  for (;;) {
    close = static_cast<const char*>(std::memchr(q, '"', static_cast<std::size_t>(end - q)));
    if (close == nullptr) fail(p, "unterminated quoted field (the quote opened here is never closed)");
    if (close + 1 < end && close[1] == '"') {
      doubled = true;
      q = close + 2;
      continue;
    }
    break;
  }
  const std::string_view raw(content, static_cast<std::size_t>(close - content));
  if (doubled) escaped_.push_back({fields_.size(), raw});
  fields_.push_back(raw);
  line += count_line_ends(raw);
  p = close + 1;
  if (p < end && *p != delimiter && *p != '\n' && *p != '\r') {
    fail(p, fmt::format("unexpected character {} after the closing quote of a field", describe_char(*p)));
  }
  return p;
}

const char* CsvReader::plain_field(const char* p, const char* end) {
  const char delimiter = delimiter_;
  const char* q = p;
  while (q < end) {
    const char c = *q;
    if (c == delimiter || c == '\n' || c == '\r') break;
    ++q;
  }
  fields_.emplace_back(p, static_cast<std::size_t>(q - p));
  return q;
}

void CsvReader::unescape_fields() {
  // Unescape into the reused buffer first, then point the fields at it, so
  // that growing the buffer cannot leave a view dangling.
  scratch_.clear();
  std::vector<std::size_t>& offsets = unescape_offsets_;
  offsets.clear();
  for (const Escaped& field : escaped_) {
    offsets.push_back(scratch_.size());
    for (std::size_t i = 0; i < field.raw.size(); ++i) {
      scratch_.push_back(field.raw[i]);
      if (field.raw[i] == '"') ++i;  // skip the second of a doubled quote
    }
  }
  for (std::size_t k = 0; k < escaped_.size(); ++k) {
    const std::size_t stop = k + 1 < escaped_.size() ? offsets[k + 1] : scratch_.size();
    fields_[escaped_[k].field] = std::string_view(scratch_.data() + offsets[k], stop - offsets[k]);
  }
}

std::int64_t CsvReader::line_at(const char* at) const {
  return record_line_ + count_line_ends(std::string_view(record_start_, static_cast<std::size_t>(at - record_start_)));
}

std::int64_t CsvReader::column_at(const char* at) const {
  // Records start at the beginning of a line, so the line of `at` starts at
  // the record or after the last line end before `at`.
  const char* line_start = at;
  while (line_start > record_start_ && line_start[-1] != '\n' && line_start[-1] != '\r') --line_start;
  std::int64_t column = 1;
  for (const char* c = line_start; c < at; ++c) {
    // Count characters, not bytes: UTF-8 continuation bytes are 10xxxxxx.
    if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++column;
  }
  return column;
}

std::int64_t CsvReader::field_line(std::size_t index) const { return field_lines_.at(index); }

void CsvReader::fail(const char* at, std::string_view what) const {
  throw DataError(fmt::format("{}, line {}, column {}: {}", source_, line_at(at), column_at(at), what));
}

}  // namespace mva::host
