// Chunks of the records of a data file. Two scans, each spread over the
// workers block by block (a block is the stretch between two nominal cuts):
// the first counts the quotes and line ends of each block, which gives the
// quote parity at every nominal cut; the second moves each cut forward to
// the first record start after it. Both scans go by memchr, and a file
// without quotes is scanned for quotes once per block.
#include "host/data/record_chunks.h"

#include <cassert>
#include <cstring>

namespace mva::host::detail {

namespace {

std::size_t count_byte(const char* p, const char* const end, char byte) {
  std::size_t count = 0;
  while (p < end &&
         (p = static_cast<const char*>(std::memchr(p, byte, static_cast<std::size_t>(end - p)))) != nullptr) {
    ++count;
    ++p;
  }
  return count;
}

// Line ends in text[from, to): LF, CRLF and a lone CR each count once (a
// CR counts when no LF follows it, so a CRLF pair split at `to` counts on
// the side of its LF).
std::size_t count_line_ends(std::string_view text, std::size_t from, std::size_t to) {
  const char* const begin = text.data();
  std::size_t count = count_byte(begin + from, begin + to, '\n');
  for (const char *p = begin + from, *const end = begin + to;
       p < end && (p = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)))) != nullptr;
       ++p) {
    if (static_cast<std::size_t>(p - begin) + 1 == text.size() || p[1] != '\n') ++count;
  }
  return count;
}

// Where the first record after `from` starts, when the line end before it
// ends by `stop` (text.size() otherwise): right after the first line end outside quotes,
// `quoted` telling whether `from` stands inside a quoted field, that closes
// a line that is not empty. A cut inside a run of empty lines would not be
// where the reader stands after a record, as it skips empty lines before a
// record rather than after one.
std::size_t next_record_start(std::string_view text, std::size_t from, std::size_t stop, bool quoted) {
  for (std::size_t i = from; i < stop; ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted || (c != '\n' && c != '\r')) continue;
    std::size_t after = i + 1;
    if (c == '\r' && after < text.size() && text[after] == '\n') ++after;
    if (after > stop) break;  // a CRLF pair across `stop` is left to the next block
    if (i > 0 && text[i - 1] != '\n' && text[i - 1] != '\r') return after;
    i = after - 1;
  }
  return text.size();
}

struct Block {
  std::size_t quotes = 0;
  std::size_t line_ends = 0;
  std::size_t cut = 0;               // the record start its nominal cut moves to
  std::size_t line_ends_to_cut = 0;  // line ends from its start to the cut
};

}  // namespace

std::vector<RecordChunk> record_chunks(std::string_view text, std::size_t from, std::size_t chunk_bytes,
                                       Workers& workers) {
  assert(chunk_bytes > 0 && from <= text.size());
  const std::size_t size = text.size();
  const std::size_t blocks = std::max<std::size_t>((size - from) / chunk_bytes + ((size - from) % chunk_bytes != 0), 1);
  const auto nominal = [&](std::size_t j) { return j >= blocks ? size : from + j * chunk_bytes; };
  std::vector<Block> block(blocks);
  workers.for_each(blocks, [&](std::size_t j) {
    block[j].quotes = count_byte(text.data() + nominal(j), text.data() + nominal(j + 1), '"');
    block[j].line_ends = count_line_ends(text, nominal(j), nominal(j + 1));
  });
  std::vector<bool> quoted(blocks, false);  // at the nominal cut of each block
  for (std::size_t j = 1; j < blocks; ++j) quoted[j] = quoted[j - 1] != (block[j - 1].quotes % 2 == 1);
  block[0].cut = from;
  workers.for_each(blocks - 1, [&](std::size_t k) {
    const std::size_t j = k + 1;
    Block& b = block[j];
    b.cut = next_record_start(text, nominal(j), nominal(j + 1), quoted[j]);
    if (b.cut < size) b.line_ends_to_cut = count_line_ends(text, nominal(j), b.cut);
  });

  // A block whose cut found no record start joins the chunk before it.
  std::vector<RecordChunk> chunks;
  std::size_t line_ends = 0;  // from the last cut kept to the end of the block before j
  std::size_t slot = 0;
  for (std::size_t j = 0; j <= blocks; ++j) {
    const bool last = j == blocks;
    if (!last && (j == 0 || block[j].cut < size)) {
      if (j > 0) {
        RecordChunk& chunk = chunks.back();
        chunk.end = block[j].cut;
        chunk.most_records = line_ends + block[j].line_ends_to_cut;
        chunk.first_slot = slot;
        slot += chunk.most_records;
      }
      chunks.push_back(RecordChunk{block[j].cut, size, 0, 0});
      line_ends = block[j].line_ends - block[j].line_ends_to_cut;
      continue;
    }
    if (last) {
      RecordChunk& chunk = chunks.back();
      chunk.most_records = line_ends + 1;  // the last record may have no line end
      chunk.first_slot = slot;
      break;
    }
    line_ends += block[j].line_ends;
  }
  return chunks;
}

}  // namespace mva::host::detail
