// The CSV reader: walks the records of a CSV text held in memory (RFC 4180:
// quoted fields with embedded delimiters, doubled quotes and line ends; CRLF,
// LF or CR line ends; a leading UTF-8 byte-order mark is ignored; a last line
// without a line end is fine; completely empty lines are skipped, except in
// a file of one column, where each is a record of one empty cell). Fields are
// views into the text; only a field with doubled quotes is copied (into a
// buffer the reader reuses), so reading allocates nothing per field. The first
// record fixes the number of fields; every later record must have as many.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mva::host {

class CsvReader {
 public:
  // Where the reader stands: the offset of the next record in the text, its
  // line number and how many records have been read before it.
  struct Position {
    std::size_t offset = 0;
    std::int64_t line = 1;
    std::int64_t records = 0;
  };

  // `text` must outlive the reader; `source` names the file in messages.
  // The delimiter must not be a quote or a line-end character.
  CsvReader(std::string_view text, char delimiter, std::string source);

  // Reads the next record; false at the end of the text. Throws DataError on
  // an unterminated quote, a character after a closing quote, or a record
  // whose field count differs from the first record's.
  bool next();

  // The fields of the record last read; valid until the next call to next().
  std::span<const std::string_view> fields() const { return fields_; }
  // The line on which the record last read starts (1-based).
  std::int64_t line() const { return record_line_; }
  // Number of records read so far, the first (the header) included.
  std::int64_t records() const { return position_.records; }

  // The line (1-based) where field `index` of the record last read starts,
  // for messages.
  std::int64_t field_line(std::size_t index) const;

  Position position() const { return position_; }
  void seek(const Position& position) { position_ = position; }

  // Sets the number of fields every record must have (found from the first
  // record otherwise), for a reader that starts after the header.
  void expect_fields(std::size_t count) { expected_ = count; }
  const std::string& source() const { return source_; }

  // The delimiter that occurs most often outside quotes in the first line,
  // among comma, semicolon and tab; comma when there is a tie or none.
  static char detect_delimiter(std::string_view text);
  // Length of a leading UTF-8 byte-order mark (3 or 0).
  static std::size_t bom_length(std::string_view text);

 private:
  struct Escaped {
    std::size_t field;
    std::string_view raw;  // between the quotes, doubled quotes included
  };

  // The quoted field starting at `p` (its opening quote), taken into the
  // record; returns where it ends, after the closing quote. Counts the line
  // ends inside it into `line`.
  const char* quoted_field(const char* p, const char* end, std::int64_t& line);
  // The unquoted field starting at `p`, taken into the record; returns where
  // it ends, at the delimiter, a line end or the end of the text.
  const char* plain_field(const char* p, const char* end);
  // Points the fields with doubled quotes at their unescaped copies.
  void unescape_fields();
  [[noreturn]] void fail(const char* at, std::string_view what) const;
  std::int64_t line_at(const char* at) const;
  std::int64_t column_at(const char* at) const;

  std::string_view text_;
  char delimiter_;
  std::string source_;
  Position position_;
  std::size_t expected_ = 0;
  std::int64_t record_line_ = 0;
  const char* record_start_ = nullptr;
  std::vector<std::string_view> fields_;
  std::vector<std::int64_t> field_lines_;  // the line each field starts on
  std::vector<Escaped> escaped_;
  std::string scratch_;  // unescaped fields
  std::vector<std::size_t> unescape_offsets_;
};

}  // namespace mva::host
