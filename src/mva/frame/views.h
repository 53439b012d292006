// Typed 1-based views over the arrays the procedure lays out in the
// workspace. Every shape the procedure uses has one view here: the case
// matrix, packed lower triangles, square column-major matrices, the EM and
// REGRESSION halves of the dependent and independent flags, the three blocks
// of DESCRIBE flags and the rows of category values. The index arithmetic of
// those shapes lives in this header and nowhere else; the analyses use these
// views and never compute a cell offset themselves. In the checked build each
// view checks its indices against its shape, and the array beneath it checks
// the cell against the array's length.
#pragma once

#include <cstdint>
#include <optional>

#include "mva/frame/host/workspace.h"

namespace mva {

// Case matrix CASES: NV doubles per stored case, case after case; element
// (L, k) is column k of stored case L.
class CaseMatrix {
 public:
  CaseMatrix() = default;  // no case matrix laid out
  // The cases of `cases`, nv columns each.
  CaseMatrix(RealArray cases, std::int64_t nv) : cases_(cases), nv_(nv) {}
  // Column k of stored case L.
  double& operator()(std::int64_t L, std::int64_t k) const {
    MVA_ASSERT(L >= 1 && k >= 1 && k <= nv_);
    return cases_((L - 1) * nv_ + k);
  }
  // The NV values of stored case L, as a 1-based vector over the columns.
  RealArray row(std::int64_t L) const {
    MVA_ASSERT(L >= 1);
    return cases_.part((L - 1) * nv_ + 1, nv_);
  }
  std::int64_t columns() const { return nv_; }                          // NV
  explicit operator bool() const { return static_cast<bool>(cases_); }  // laid out

 private:
  RealArray cases_;
  std::int64_t nv_ = 0;
};

// Cell counts of workspace requests, computed without overflow: the product
// (or sum) of non-negative counts, or nullopt when it cannot be represented.
// A request whose size is nullopt gives the memory message of its step.
//
// The product a * b.
inline std::optional<std::int64_t> checked_product(std::int64_t a, std::int64_t b) {
  std::int64_t out = 0;
  if (a < 0 || b < 0 || __builtin_mul_overflow(a, b, &out)) return std::nullopt;
  return out;
}
// The sum a + b.
inline std::optional<std::int64_t> checked_sum(std::int64_t a, std::int64_t b) {
  std::int64_t out = 0;
  if (a < 0 || b < 0 || __builtin_add_overflow(a, b, &out)) return std::nullopt;
  return out;
}

// Number of cells of a packed triangle of order p: T(p) = p(p + 1) / 2.
constexpr std::int64_t triangle_cells(std::int64_t p) { return p * (p + 1) / 2; }

// T(p) for a workspace request, nullopt when it cannot be represented. The
// even one of p and p + 1 is halved first, so that no intermediate product
// overflows before T(p) itself does.
inline std::optional<std::int64_t> checked_triangle_cells(std::int64_t p) {
  const std::optional<std::int64_t> next = checked_sum(p, 1);
  if (!next) return std::nullopt;
  return p % 2 == 0 ? checked_product(p / 2, *next) : checked_product(p, *next / 2);
}

// Position of element (j, k), k <= j, of a packed lower triangle stored row by
// row.
constexpr std::int64_t packed_position(std::int64_t j, std::int64_t k) { return j * (j - 1) / 2 + k; }

// A symmetric matrix stored as its packed lower triangle; (j, k) and (k, j)
// name the same cell.
template <class T>
class PackedTriangle {
 public:
  PackedTriangle() = default;                                     // no triangle laid out
  explicit PackedTriangle(WorkArray<T> cells) : cells_(cells) {}  // the triangle in `cells`
  // Element (j, k), either order.
  T& operator()(std::int64_t j, std::int64_t k) const {
    MVA_ASSERT(j >= 1 && k >= 1);
    return j >= k ? cells_(packed_position(j, k)) : cells_(packed_position(k, j));
  }
  // Whether the cells hold a triangle of order p (the checked build knows;
  // elsewhere always true).
  bool holds_order(std::int64_t p) const { return p >= 0 && cells_.length() >= triangle_cells(p); }
  // Row j, elements (j, 1)..(j, j), which lie side by side.
  WorkArray<T> row(std::int64_t j) const {
    MVA_ASSERT(j >= 1);
    return cells_.part(packed_position(j, 1), j);
  }
  // Cell i of the triangle in storage order (1..T(p)).
  T& at(std::int64_t i) const { return cells_(i); }
  WorkArray<T> cells() const { return cells_; }                         // the cells in storage order
  explicit operator bool() const { return static_cast<bool>(cells_); }  // laid out

 private:
  WorkArray<T> cells_;
};

using RealTriangle = PackedTriangle<double>;  // LWCOV, PWCOV, EMCOV, PWW, PWN

// A square matrix of order n stored column by column: element (a, b) at
// (b - 1) * n + a.
template <class T>
class SquareMatrix {
 public:
  SquareMatrix() = default;  // no matrix laid out
  // The matrix of order n in `cells`.
  SquareMatrix(WorkArray<T> cells, std::int64_t n) : cells_(cells), n_(n) {}
  // Element (a, b): row a of column b.
  T& operator()(std::int64_t a, std::int64_t b) const {
    MVA_ASSERT(a >= 1 && a <= n_ && b >= 1 && b <= n_);
    return cells_((b - 1) * n_ + a);
  }
  // Column b as a 1-based vector.
  WorkArray<T> column(std::int64_t b) const {
    MVA_ASSERT(b >= 1 && b <= n_);
    return cells_.part((b - 1) * n_ + 1, n_);
  }
  std::int64_t order() const { return n_; }                             // n
  explicit operator bool() const { return static_cast<bool>(cells_); }  // laid out

 private:
  WorkArray<T> cells_;
  std::int64_t n_ = 0;
};

using RealSquare = SquareMatrix<double>;  // PWMEAN, PWVAR

// Consecutive blocks of `length` words each, numbered from `first_block`:
// entry (m, v) is element v of block m. The dependent and independent flags
// are two such blocks (14 EM, 15 REGRESSION) of NVAR words; the DESCRIBE
// flags three (8 DPATTERN, 9 MPATTERN, 10 TPATTERN).
class FlagBlocks {
 public:
  FlagBlocks() = default;  // no blocks laid out
  // Blocks first_block..last_block of `length` words each, in `words`.
  FlagBlocks(WordArray words, std::int64_t length, int first_block, int last_block)
      : words_(words), length_(length), first_(first_block), last_(last_block) {}
  bool has_block(int m) const { return m >= first_ && m <= last_; }  // m names a block
  int first() const { return first_; }                               // number of the first block
  int last() const { return last_; }                                 // number of the last block
  // Element v of block m.
  std::int64_t& operator()(int m, std::int64_t v) const {
    MVA_ASSERT(has_block(m) && v >= 1 && v <= length_);
    return words_((m - first_) * length_ + v);
  }
  // Block m as a 1-based vector of `length` words.
  WordArray block(int m) const {
    MVA_ASSERT(has_block(m));
    return words_.part((m - first_) * length_ + 1, length_);
  }
  std::int64_t length() const { return length_; }  // words per block

 private:
  WordArray words_;
  std::int64_t length_ = 0;
  int first_ = 0;
  int last_ = -1;
};

// Rows of `width` doubles each: row r holds elements (r - 1) * width + 1 ..
// r * width. CATVAL keeps one row of MAXCAT category values per categorical
// variable.
class RowTable {
 public:
  RowTable() = default;  // no table laid out
  // Rows of `width` doubles in `cells`.
  RowTable(RealArray cells, std::int64_t width) : cells_(cells), width_(width) {}
  // Element k of row r.
  double& operator()(std::int64_t r, std::int64_t k) const {
    MVA_ASSERT(r >= 1 && k >= 1 && k <= width_);
    return cells_((r - 1) * width_ + k);
  }
  // Row r as a 1-based vector.
  RealArray row(std::int64_t r) const {
    MVA_ASSERT(r >= 1);
    return cells_.part((r - 1) * width_ + 1, width_);
  }
  std::int64_t width() const { return width_; }  // elements per row

 private:
  RealArray cells_;
  std::int64_t width_ = 0;
};

}  // namespace mva
