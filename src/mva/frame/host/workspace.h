// The workspace as the procedure sees it: one array of 8-byte cells, addressed
// by 1-based cell index. Every array of a split group is laid out in it by
// base index (the host's memory calls hand the indices out); element i of the
// array based at X is cell X + i - 1. A cell is read either as a 64-bit
// integer or as a double, and each array keeps to one of the two kinds; string
// values occupy cells as 8 characters each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace mva {

using Index = std::int64_t;    // 1-based workspace cell index; 0 = not laid out
using Logical = std::int64_t;  // host logical word: TRUE = -1, FALSE = 0

inline constexpr Logical kTrue = -1;  // the host's TRUE
inline constexpr Logical kFalse = 0;  // the host's FALSE

// Host logicals are tested on their low bit.
constexpr bool is_true(Logical word) { return (word & 1) != 0; }
// The host logical of a truth value.
constexpr Logical logical(bool b) { return b ? kTrue : kFalse; }

// A 1-based view of one array laid out in the workspace.
template <class T>
class WorkArray {
 public:
  WorkArray() = default;                                         // an array that is not laid out
  explicit WorkArray(T* first) : first_(first) {}                // the array whose element 1 is *first
  T& operator()(std::int64_t i) const { return first_[i - 1]; }  // element i (1-based)
  T* data() const { return first_; }                             // element 1, for calls that take a pointer
  // Elements 1..count as a span (element i at span index i - 1).
  std::span<T> first(std::int64_t count) const { return {first_, static_cast<std::size_t>(count)}; }
  explicit operator bool() const { return first_ != nullptr; }  // laid out

 private:
  T* first_ = nullptr;
};

using RealArray = WorkArray<double>;        // an array of doubles
using WordArray = WorkArray<std::int64_t>;  // an array of 64-bit integers

// The host's array of 8-byte cells, handed to every routine.
class Workspace {
 public:
  Workspace() = default;  // no memory: every request fails
  // The cells of `memory`, capacity_cells of them.
  Workspace(std::byte* memory, std::int64_t capacity_cells) : memory_(memory), capacity_(capacity_cells) {}

  std::int64_t capacity() const { return capacity_; }  // number of cells

  // Typed views of the array based at `base`; an empty view for base 0.
  RealArray reals(Index base) const { return RealArray(base > 0 ? reinterpret_cast<double*>(cell(base)) : nullptr); }
  WordArray words(Index base) const {
    return WordArray(base > 0 ? reinterpret_cast<std::int64_t*>(cell(base)) : nullptr);
  }
  // The characters of the cells from `base` on (8 to a cell).
  char* chars(Index base) const { return reinterpret_cast<char*>(cell(base)); }
  // The bytes of cell `index`.
  std::byte* cell(Index index) const { return memory_ + (index - 1) * 8; }

  // Characters of `count` cells starting at `index`, as stored (blank padded).
  std::string_view text(Index index, std::int64_t count) const {
    return {chars(index), static_cast<std::size_t>(count * 8)};
  }

 private:
  std::byte* memory_ = nullptr;  // cell 1
  std::int64_t capacity_ = 0;    // number of cells
};

// The 8 characters of a cell read as a double (how string cells travel in the
// case matrix), and back.
inline double cell_of_chars(std::string_view chars8) {
  char buffer[8];
  std::memset(buffer, ' ', 8);
  std::memcpy(buffer, chars8.data(), chars8.size() < 8 ? chars8.size() : 8);
  double value;
  std::memcpy(&value, buffer, 8);
  return value;
}

inline std::string chars_of_cell(double value) {
  char buffer[8];
  std::memcpy(buffer, &value, 8);
  return std::string(buffer, 8);
}

}  // namespace mva
