// Passes over the cases in chunks. A pass over many cases is cut into
// chunks of a fixed number of cases, whatever the number of workers the host
// has, so that the sums gathered per chunk and merged in chunk order are the
// same on any number of threads. A group of at most one chunk takes the
// plain case-by-case pass.
#pragma once

#include <algorithm>
#include <cstdint>

namespace mva {

// Cases per chunk.
inline constexpr std::int64_t kChunkCases = 65536;

// Most chunks whose states are held at once before they are merged: a bound
// on memory, not on the answer (the merge order is the chunk order).
inline constexpr std::int64_t kChunksPerWave = 16;

// The cases of chunk c (0-based) of a pass over cases 1..ncases.
struct CaseChunk {
  std::int64_t first = 1;  // first case
  std::int64_t last = 0;   // last case
};

inline std::int64_t chunk_count(std::int64_t ncases) { return (ncases + kChunkCases - 1) / kChunkCases; }

inline CaseChunk case_chunk(std::int64_t c, std::int64_t ncases) {
  const std::int64_t first = c * kChunkCases + 1;
  return {first, std::min(ncases, first + kChunkCases - 1)};
}

}  // namespace mva
