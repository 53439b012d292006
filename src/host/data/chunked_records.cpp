// The records of a data file read in chunks on several workers. Every chunk
// is read as if it were the first after the header, into its own place in
// the columns (record_chunks.h bounds its records) and into stats of its
// own with its lines counted from 1. What the chunks learnt is then put
// together in the order of the file, as one pass over all of them would have
// learnt it: counts add up, maxima take the larger with the earlier line on
// a tie, firsts come from the first chunk that has one.
//
// A chunk read as if it were first reads its cells as a pass that reached it
// through the chunks before would, with one exception: a column that has
// not decided its decimal mark yet (a file delimited by ';') decides it in
// the chunk by the chunk's own numbers. That is only wrong when the chunk
// decides another mark than the chunks before it did. In that case, and when
// a chunk does not end where the next one starts, has more records than its
// bound, or fails (an error is reported with the line of the whole file), the
// records are read again in one piece, which is the reference for all this.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>

#include "host/data/column_loader.h"
#include "host/data/data_error.h"
#include "host/data/record_chunks.h"

namespace mva::host::detail {

namespace {

// A first guess at the number of records from `text` on: its size over the
// mean length of the lines in its first 64 KiB, with a margin. It saves a
// pass over the whole text; the columns grow when the guess falls short.
std::size_t estimated_records(std::string_view text) {
  const std::string_view sample = text.substr(0, std::size_t{1} << 16);
  std::size_t lines = 1;
  for (const char *p = sample.data(), *const end = p + sample.size();
       (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr; ++p) {
    ++lines;
  }
  const std::size_t line_length = std::max<std::size_t>(sample.size() / lines, 1);
  return text.size() / line_length / 8 * 9 + 64;
}

// Arrays of `count` cells for the columns that may be numeric; the others
// get none.
void make_columns(DataContent& content, const std::vector<ColumnStats>& stats, std::size_t count, bool populate) {
  content.cells.clear();
  content.cells.resize(stats.size());
  for (std::size_t c = 0; c < stats.size(); ++c) {
    if (stats[c].numeric) content.cells[c] = column_array(count, populate);
  }
}

std::vector<double*> first_cells(const DataContent& content, std::size_t first) {
  std::vector<double*> cells(content.cells.size(), nullptr);
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (content.cells[c]) cells[c] = content.cells[c].get() + first;
  }
  return cells;
}

// Drops the arrays of the columns found to hold text.
void drop_text_columns(DataContent& content, const std::vector<ColumnStats>& stats) {
  for (std::size_t c = 0; c < stats.size(); ++c) {
    if (!stats[c].numeric) content.cells[c].reset();
  }
}

// The records read in one piece, the columns growing as they fill.
std::vector<CaseRun> read_whole(const CsvReader::Position start, DataContent& content,
                                const std::vector<std::string>& names, std::vector<ColumnStats>& stats,
                                const std::function<void()>& poll) {
  const std::size_t estimate = estimated_records(content.text.substr(start.offset));
  make_columns(content, stats, estimate, true);
  CellTarget target{first_cells(content, 0), estimate, {}};
  target.grow = [&](std::size_t count) {
    for (std::size_t c = 0; c < stats.size(); ++c) {
      if (stats[c].numeric) grow_column(content.cells[c], count);
    }
    target.cells = first_cells(content, 0);
    target.capacity = count;
  };
  RangeResult result = read_range(content, names, start, content.text.size(), stats, target, poll);
  drop_text_columns(content, stats);
  content.cases = static_cast<std::int64_t>(result.records);
  content.lines = std::move(result.lines);
  return {CaseRun{start, 0, result.records}};
}

// Adds what a chunk learnt (its lines counted from 1, `shift` before the
// file's) to what the chunks before it learnt; false when the chunk decided
// a decimal mark other than the one they decided.
bool add_chunk_stats(ColumnStats& s, const ColumnStats& chunk, std::int64_t shift) {
  if (s.mark != 0 && chunk.mark != 0 && chunk.mark != s.mark) return false;
  if (s.mark == 0) s.mark = chunk.mark;
  s.numeric = s.numeric && chunk.numeric;
  s.decimals = std::max(s.decimals, chunk.decimals);
  s.integer_width = std::max(s.integer_width, chunk.integer_width);
  if (chunk.longest > s.longest) {
    s.longest = chunk.longest;
    s.longest_line = chunk.longest_line + shift;
  }
  if (s.overflow_line == 0 && chunk.overflow_line != 0) {
    s.overflow_line = chunk.overflow_line + shift;
    s.overflow_length = chunk.overflow_length;
  }
  if (s.texts == 0 && chunk.texts > 0) {
    s.first_text = chunk.first_text;
    s.first_text_line = chunk.first_text_line + shift;
  }
  s.na_cells += chunk.na_cells;
  s.numbers += chunk.numbers;
  s.texts += chunk.texts;
  return true;
}

struct ChunkRead {
  std::vector<ColumnStats> stats;
  RangeResult result;
  bool failed = false;
};

// The records read chunk by chunk; nothing (and content and stats as they
// were) when they must be read in one piece.
std::optional<std::vector<CaseRun>> read_chunks(const CsvReader::Position start, const std::vector<RecordChunk>& chunks,
                                                DataContent& content, const std::vector<std::string>& names,
                                                std::vector<ColumnStats>& stats, const std::function<void()>& poll,
                                                Workers& workers) {
  const std::size_t slots = chunks.back().first_slot + chunks.back().most_records;
  // Not populated here: the workers take the pages as they write them.
  make_columns(content, stats, slots, false);
  std::vector<ChunkRead> reads(chunks.size());
  workers.for_each(chunks.size(), [&](std::size_t k) {
    poll();
    const RecordChunk& chunk = chunks[k];
    ChunkRead& read = reads[k];
    read.stats = stats;
    CellTarget target{first_cells(content, chunk.first_slot), chunk.most_records, {}};
    try {
      read.result =
          read_range(content, names, CsvReader::Position{chunk.begin, 1, 0}, chunk.end, read.stats, target, poll);
    } catch (const DataError&) {
      read.failed = true;  // told again, with its line in the file, when read in one piece
    }
    // The chunk's text is in its cells now: its pages leave the process's
    // memory as the columns fill, so that the two are not held whole at once.
    content.buffer.release(chunk.begin, chunk.end);
  });

  std::vector<ColumnStats> merged = stats;
  std::vector<CaseRun> runs;
  std::int64_t line = start.line;  // where the chunk starts
  std::size_t cases = 0;
  bool one_per_line = true;
  for (std::size_t k = 0; k < chunks.size(); ++k) {
    const ChunkRead& read = reads[k];
    if (read.failed || read.result.overflow) return std::nullopt;
    if (k + 1 < chunks.size() && read.result.end.offset != chunks[k + 1].begin) return std::nullopt;
    for (std::size_t c = 0; c < merged.size(); ++c) {
      if (!add_chunk_stats(merged[c], read.stats[c], line - 1)) return std::nullopt;
    }
    // One record per line so far, and in the chunk (whose last record may
    // take several lines, which the next chunk's first line shows).
    one_per_line = one_per_line && line == start.line + static_cast<std::int64_t>(cases) && read.result.lines.empty();
    runs.push_back(CaseRun{CsvReader::Position{chunks[k].begin, line, static_cast<std::int64_t>(cases)}, cases,
                           read.result.records});
    cases += read.result.records;
    line += read.result.end.line - 1;
  }

  if (!one_per_line) {
    content.lines.reserve(cases);
    for (std::size_t k = 0; k < chunks.size(); ++k) {
      const std::vector<std::int64_t>& lines = reads[k].result.lines;
      const std::int64_t shift = runs[k].start.line - 1;
      for (std::size_t r = 0; r < runs[k].cases; ++r) {
        content.lines.push_back((lines.empty() ? static_cast<std::int64_t>(r) + 1 : lines[r]) + shift);
      }
    }
  }
  // Close the gaps that chunks with fewer records than their bound left.
  std::vector<std::size_t> numeric;
  for (std::size_t c = 0; c < merged.size(); ++c) {
    if (merged[c].numeric) numeric.push_back(c);
  }
  workers.for_each(numeric.size(), [&](std::size_t i) {
    double* const cells = content.cells[numeric[i]].get();
    for (std::size_t k = 0; k < chunks.size(); ++k) {
      assert(runs[k].first_case <= chunks[k].first_slot);
      if (runs[k].first_case == chunks[k].first_slot) continue;
      std::memmove(cells + runs[k].first_case, cells + chunks[k].first_slot, runs[k].cases * sizeof(double));
    }
  });
  stats = std::move(merged);
  drop_text_columns(content, stats);
  content.cases = static_cast<std::int64_t>(cases);
  return runs;
}

}  // namespace

std::vector<CaseRun> read_records(CsvReader& csv, DataContent& content, const std::vector<std::string>& names,
                                  std::vector<ColumnStats>& stats, const std::function<void()>& poll, Workers& workers,
                                  std::size_t chunk_bytes) {
  const CsvReader::Position start = csv.position();
  content.first_line = start.line;
  content.lines.clear();
  const std::vector<RecordChunk> chunks = record_chunks(content.text, start.offset, chunk_bytes, workers);
  if (chunks.size() > 1) {
    if (std::optional<std::vector<CaseRun>> runs = read_chunks(start, chunks, content, names, stats, poll, workers)) {
      return std::move(*runs);
    }
  }
  return read_whole(start, content, names, stats, poll);
}

void fill_string_columns(DataContent& content, const std::vector<CaseRun>& runs, const std::function<void()>& poll,
                         Workers& workers) {
  const StringFill fill(content);
  if (fill.empty()) return;
  const auto cases = static_cast<std::size_t>(content.cases);
  for (const std::size_t c : fill.columns()) {
    content.cells[c] = column_array(cases * static_cast<std::size_t>(content.plans[c].cells));
  }
  // The text is read again for these columns; each run's pages leave the
  // process's memory again once its strings are in their cells.
  workers.for_each(runs.size(), [&](std::size_t k) {
    fill.fill(runs[k], poll);
    content.buffer.release(runs[k].start.offset, k + 1 < runs.size() ? runs[k + 1].start.offset : content.text.size());
  });
}

}  // namespace mva::host::detail
