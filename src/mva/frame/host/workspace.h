// The workspace as the procedure sees it: one array of 8-byte cells, addressed
// by 1-based cell index. Every array of a split group is laid out in it by
// base index (the host's memory calls hand the indices out); element i of the
// array based at X is cell X + i - 1. A cell is read either as a 64-bit
// integer or as a double, and each array keeps to one of the two kinds; string
// values occupy cells as 8 characters each.
//
// In the checked build every view knows the length of its array (the cells
// the host laid out at its base) and checks each index against it; in other
// builds a view is a bare pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "mva/frame/host/invariant.h"

namespace mva {

using Index = std::int64_t;    // 1-based workspace cell index; 0 = not laid out
using Logical = std::int64_t;  // host logical word: TRUE = -1, FALSE = 0

inline constexpr Logical kTrue = -1;  // the host's TRUE
inline constexpr Logical kFalse = 0;  // the host's FALSE

// Host logicals are tested on their low bit.
constexpr bool is_true(Logical word) { return (word & 1) != 0; }
// The host logical of a truth value.
constexpr Logical logical(bool b) { return b ? kTrue : kFalse; }

// A 1-based view of one array laid out in the workspace, or of a vector the
// same routines work on.
template <class T>
class WorkArray {
 public:
  WorkArray() = default;  // an array that is not laid out
  // The array of `length` elements whose element 1 is *first.
  WorkArray(T* first, [[maybe_unused]] std::int64_t length) : first_(first) {
#if defined(MVA_CHECKED)
    length_ = length;
#endif
  }
  // The elements of `cells`, element i at cells[i - 1].
  explicit WorkArray(std::span<T> cells) : WorkArray(cells.data(), static_cast<std::int64_t>(cells.size())) {}
  // Element i (1-based).
  T& operator()(std::int64_t i) const {
    MVA_ASSERT(i >= 1 && i <= length());
    return first_[i - 1];
  }
  T* data() const { return first_; }  // element 1, for calls that take a pointer
  // Elements 1..count as a span (element i at span index i - 1).
  std::span<T> first(std::int64_t count) const {
    MVA_ASSERT(count >= 0 && count <= length());
    return {first_, static_cast<std::size_t>(count)};
  }
  // The elements from element `from` on, as a view of `count` of them.
  WorkArray part(std::int64_t from, std::int64_t count) const {
    MVA_ASSERT(from >= 1 && count >= 0 && from - 1 + count <= length());
    return WorkArray(first_ + (from - 1), count);
  }
  explicit operator bool() const { return first_ != nullptr; }  // laid out
  // The number of elements the checks hold indices to; unbounded outside the
  // checked build, which keeps no length.
  std::int64_t length() const {
#if defined(MVA_CHECKED)
    return length_;
#else
    return std::numeric_limits<std::int64_t>::max();
#endif
  }

 private:
  T* first_ = nullptr;
#if defined(MVA_CHECKED)
  std::int64_t length_ = 0;  // number of elements, checked on every index
#endif
};

using RealArray = WorkArray<double>;        // an array of doubles
using WordArray = WorkArray<std::int64_t>;  // an array of 64-bit integers

// Lengths of the arrays laid out in the workspace, as the host's memory calls
// know them; the checked build bounds every view by them.
class WorkspaceExtents {
 public:
  virtual ~WorkspaceExtents() = default;
  // The cells from `base` to the end of the array that holds cell `base`; 0
  // when no array holds it.
  virtual std::int64_t cells_from(Index base) const = 0;
};

// The host's array of 8-byte cells, handed to every routine.
class Workspace {
 public:
  Workspace() = default;  // no memory: every request fails
  // The cells of `memory`, capacity_cells of them; `extents` (when given)
  // knows the arrays laid out in them.
  Workspace(std::byte* memory, std::int64_t capacity_cells, const WorkspaceExtents* extents = nullptr)
      : memory_(memory), capacity_(capacity_cells), extents_(extents) {}

  std::int64_t capacity() const { return capacity_; }  // number of cells

  // Typed views of the array based at `base`; an empty view for base 0.
  RealArray reals(Index base) const {
    return {base > 0 ? reinterpret_cast<double*>(cell(base)) : nullptr, extent(base)};
  }
  WordArray words(Index base) const {
    return {base > 0 ? reinterpret_cast<std::int64_t*>(cell(base)) : nullptr, extent(base)};
  }
  // The characters of the cells from `base` on (8 to a cell).
  char* chars(Index base) const { return reinterpret_cast<char*>(cell(base)); }
  // The bytes of cell `index`.
  std::byte* cell(Index index) const {
    MVA_ASSERT(index >= 1 && index <= capacity_);
    return memory_ + (index - 1) * 8;
  }

  // Characters of `count` cells starting at `index`, as stored (blank padded).
  std::string_view text(Index index, std::int64_t count) const {
    return {chars(index), static_cast<std::size_t>(count * 8)};
  }

 private:
  // The length of the view of the array based at `base`: what the extents
  // say, or the cells to the end of the workspace. Only the checked build
  // asks.
  std::int64_t extent([[maybe_unused]] Index base) const {
#if defined(MVA_CHECKED)
    if (base <= 0) return 0;
    return extents_ != nullptr ? extents_->cells_from(base) : capacity_ - base + 1;
#else
    return 0;
#endif
  }

  std::byte* memory_ = nullptr;                                 // cell 1
  std::int64_t capacity_ = 0;                                   // number of cells
  [[maybe_unused]] const WorkspaceExtents* extents_ = nullptr;  // the arrays' lengths, when known
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
