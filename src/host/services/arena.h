// The workspace arena: one reserved block of address space, handed out as
// arrays of 8-byte cells by 1-based base index. Pages are touched only when
// used, so an arena of several gigabytes costs nothing until arrays fill it;
// released blocks are given back to the system. The capacity is a hard
// limit, so every shortage the procedure can meet can be produced on purpose
// with a small arena.
#pragma once

#include <cstdint>
#include <map>

#include "mva/frame/host/workspace.h"

namespace mva::host {

class Arena {
 public:
  explicit Arena(std::int64_t capacity_bytes);
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  Workspace& workspace() { return workspace_; }
  std::int64_t capacity_cells() const { return capacity_; }

  // Lays out `cells` cells; false when no free block is large enough.
  bool allocate(std::int64_t cells, Index& base);
  // Lays out the largest free block, or `cells` of it when cells >= 0;
  // returns the number of cells obtained (0 leaves `base` at 0).
  std::int64_t allocate_up_to(std::int64_t cells, Index& base);
  // Keeps the first `cells` cells of an array and frees the rest.
  void shrink(Index base, std::int64_t cells);
  // Frees an array; the count must be the one it holds.
  void release(Index base, std::int64_t cells);
  // Frees every array.
  void reset();

  std::int64_t used_cells() const;
  std::int64_t largest_free() const;

 private:
  // First fit: the start of a new array of `cells` cells, 0 when none fits.
  Index take(std::int64_t cells);
  void add_free(Index base, std::int64_t cells);
  void return_pages(Index base, std::int64_t cells);

  std::byte* memory_ = nullptr;
  std::int64_t capacity_ = 0;
  Workspace workspace_;
  std::map<Index, std::int64_t> free_;   // start -> cells, coalesced
  std::map<Index, std::int64_t> taken_;  // start -> cells
};

}  // namespace mva::host
