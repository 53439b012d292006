// The workspace arena: one reserved block of address space, handed out as
// arrays of 8-byte cells by 1-based base index. Pages are touched only when
// used, so an arena of several gigabytes costs nothing until arrays fill it;
// released blocks are given back to the system. The capacity is a hard
// limit, so every shortage the procedure can meet can be produced on purpose
// with a small arena.
//
// Built with AddressSanitizer, the arena poisons the cells of freed arrays
// and a red zone of kRedZoneCells cells after every array, so that a read or
// write past the end of an array, into the next one, is reported. The red
// zones lie outside the capacity: the arena reserves room for them beyond it
// and counts only the arrays' own cells, so that a request succeeds or fails
// as it would without them; only the base indices differ.
#pragma once

#include <cstdint>
#include <map>

#include "mva/frame/host/workspace.h"

namespace mva::host {

class Arena final : public WorkspaceExtents {
 public:
  // Cells of the poisoned red zone after each array (0 without
  // AddressSanitizer).
  static const std::int64_t kRedZoneCells;

  explicit Arena(std::int64_t capacity_bytes);
  ~Arena() override;
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
  // The cells from `base` to the end of the array that holds it; 0 outside
  // every array.
  std::int64_t cells_from(Index base) const override;

 private:
  // First fit: the start of a new array of `cells` cells, 0 when none fits.
  Index take(std::int64_t cells);
  void add_free(Index base, std::int64_t cells);
  void return_pages(Index base, std::int64_t cells);
  // Marks cells unusable (freed, red zones) or usable (laid out) for
  // AddressSanitizer; nothing without it.
  void poison(Index base, std::int64_t cells) const;
  void unpoison(Index base, std::int64_t cells) const;

  std::byte* memory_ = nullptr;
  std::int64_t capacity_ = 0;  // cells the arrays may hold together
  std::int64_t span_ = 0;      // cells of address space: the capacity and room for red zones
  Index high_water_ = 1;       // one past the last cell ever laid out
  Workspace workspace_;
  std::map<Index, std::int64_t> free_;   // start -> cells, coalesced
  std::map<Index, std::int64_t> taken_;  // start -> cells
};

}  // namespace mva::host
