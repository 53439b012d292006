// Sets of case-matrix columns as bit words (bit k - 1 of the words for column
// k), the keys by which the regression equations and the pairwise moments of
// a missing-value pattern are found again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mva {

// A set of columns: bit k - 1 set when column k is in it.
using ColumnSet = std::vector<std::uint64_t>;

// Hash of a column set, for unordered containers keyed by one.
struct ColumnSetHash {
  std::size_t operator()(const ColumnSet& set) const {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL;
    for (const std::uint64_t word : set) {
      h ^= word + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
      h *= 0xBF58476D1CE4E5B9ULL;
    }
    return static_cast<std::size_t>(h ^ (h >> 31));
  }
};

}  // namespace mva
