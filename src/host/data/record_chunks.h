// Chunks of the records of a data file, for reading them on several
// workers. The text after the header is cut near fixed offsets, each cut
// moved forward to the start of a record: the parity of the quotes before an
// offset says whether it stands inside a quoted field, whose line ends do
// not end a record. Where the cuts fall depends on the text and the chunk
// size only, never on the number of workers. Each chunk also gets a bound on
// the records that start in it (its line ends), so that its values can be
// written straight to their place in the columns.
//
// The quote parity is a guess: a quote inside an unquoted field (a"b) is
// read as text and upsets it. The loader therefore checks that every chunk's
// last record ends exactly where the next chunk starts, and reads the file
// in one piece when one does not.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "host/services/workers.h"

namespace mva::host::detail {

// The size the records after the header are cut at.
inline constexpr std::size_t kChunkBytes = std::size_t{1} << 21;

struct RecordChunk {
  std::size_t begin = 0;         // offset of its first record
  std::size_t end = 0;           // where the next chunk begins (the text's end for the last)
  std::size_t most_records = 0;  // no more records start in it than this
  std::size_t first_slot = 0;    // the sum of most_records of the chunks before it
};

// The chunks of text[from, text.size()), about `chunk_bytes` each (at least
// one; one when the text is short). `from` must be where a record starts,
// outside any quote. The scans run on `workers`.
std::vector<RecordChunk> record_chunks(std::string_view text, std::size_t from, std::size_t chunk_bytes,
                                       Workers& workers);

}  // namespace mva::host::detail
