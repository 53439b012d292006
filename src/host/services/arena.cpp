// The workspace arena: first-fit allocation over a reserved block, with
// coalescing free lists. Arrays are addressed by 1-based cell index, the
// form in which the procedure keeps them.
#include "host/services/arena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define MVA_ARENA_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MVA_ARENA_POISON 1
#endif
#endif
#if defined(MVA_ARENA_POISON)
#include <sanitizer/asan_interface.h>
#endif

namespace mva::host {

#if defined(MVA_ARENA_POISON)
const std::int64_t Arena::kRedZoneCells = 2;
#else
const std::int64_t Arena::kRedZoneCells = 0;
#endif

namespace {
constexpr std::int64_t kCell = 8;
// Most arrays laid out at once that get a red zone each; beyond it a request
// may fail for want of room for its red zone (only with AddressSanitizer).
constexpr std::int64_t kMostRedZones = 1 << 16;
// Blocks at least this large hand their pages back to the system when freed.
constexpr std::int64_t kReturnPagesCells = 1 << 15;
}  // namespace

Arena::Arena(std::int64_t capacity_bytes) {
  capacity_ = std::max<std::int64_t>(capacity_bytes / kCell, 1);
  span_ = capacity_ + kRedZoneCells * std::min(capacity_, kMostRedZones);
  void* p = mmap(nullptr, static_cast<std::size_t>(span_ * kCell), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  // The case matrix of a large file spans hundreds of megabytes written
  // case after case: in huge pages it takes one fault per 2 MB instead of
  // one per 4 KB. A hint only; without it the pages are small.
  madvise(p, static_cast<std::size_t>(span_ * kCell), MADV_HUGEPAGE);
  memory_ = static_cast<std::byte*>(p);
  workspace_ = Workspace(memory_, span_, this);
  free_[1] = span_;
}

Arena::~Arena() {
  unpoison(1, high_water_ - 1);  // the address range may be mapped again for something else
  munmap(memory_, static_cast<std::size_t>(span_ * kCell));
}

bool Arena::allocate(std::int64_t cells, Index& base) {
  if (cells < 0) return false;
  if (cells == 0) {
    // An empty array still gets a valid base index; it owns no cells.
    base = free_.empty() ? 1 : free_.begin()->first;
    return true;
  }
  const Index start = take(cells);
  if (start == 0) return false;
  base = start;
  return true;
}

std::int64_t Arena::allocate_up_to(std::int64_t cells, Index& base) {
  const std::int64_t largest = largest_free();
  const std::int64_t want = cells < 0 ? largest : std::min(cells, largest);
  base = want > 0 ? take(want) : 0;
  return base > 0 ? want : 0;
}

Index Arena::take(std::int64_t cells) {
  if (cells > capacity_ - used_cells()) return 0;
  const std::int64_t footprint = cells + kRedZoneCells;
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->second < footprint) continue;
    const Index start = it->first;
    const std::int64_t left = it->second - footprint;
    free_.erase(it);
    if (left > 0) free_[start + footprint] = left;
    taken_[start] = cells;
    unpoison(start, cells);
    poison(start + cells, kRedZoneCells);
    high_water_ = std::max(high_water_, start + footprint);
    return start;
  }
  return 0;
}

void Arena::shrink(Index base, std::int64_t cells) {
  auto it = taken_.find(base);
  if (it == taken_.end() || cells < 0 || cells > it->second) {
    throw std::logic_error("KPMEM of an array that is not laid out, or beyond its size");
  }
  const std::int64_t tail = it->second - cells;
  // The red zone moves to the new end; the cells after it are freed. An
  // array cut to nothing gives back its red zone too.
  const std::int64_t red = cells == 0 ? 0 : kRedZoneCells;
  if (cells == 0) {
    taken_.erase(it);
  } else {
    it->second = cells;
  }
  poison(base + cells, tail);
  if (tail + kRedZoneCells - red > 0) {
    return_pages(base + cells + red, tail + kRedZoneCells - red);
    add_free(base + cells + red, tail + kRedZoneCells - red);
  }
}

void Arena::release(Index base, std::int64_t cells) {
  if (cells == 0) return;
  auto it = taken_.find(base);
  if (it == taken_.end()) throw std::logic_error("FREMEM of an array that is not laid out");
  if (it->second != cells) {
    throw std::logic_error("FREMEM with " + std::to_string(cells) + " cells of an array of " +
                           std::to_string(it->second));
  }
  taken_.erase(it);
  poison(base, cells);
  return_pages(base, cells + kRedZoneCells);
  add_free(base, cells + kRedZoneCells);
}

void Arena::reset() {
  for (const auto& [base, cells] : taken_) {
    poison(base, cells);
    return_pages(base, cells + kRedZoneCells);
  }
  taken_.clear();
  free_.clear();
  free_[1] = span_;
}

std::int64_t Arena::used_cells() const {
  std::int64_t used = 0;
  for (const auto& block : taken_) used += block.second;
  return used;
}

std::int64_t Arena::largest_free() const {
  std::int64_t largest = 0;
  for (const auto& block : free_) largest = std::max(largest, block.second);
  return std::clamp<std::int64_t>(largest - kRedZoneCells, 0, capacity_ - used_cells());
}

std::int64_t Arena::cells_from(Index base) const {
  auto it = taken_.upper_bound(base);
  if (it == taken_.begin()) return 0;
  --it;
  const Index end = it->first + it->second;
  return base < end ? end - base : 0;
}

#if defined(MVA_ARENA_POISON)
// Poisoning costs a write of one shadow byte per cell, on every request and
// release; a workspace of gigabytes, whose whole free space a request may
// take, would spend seconds a command on it. Only arenas up to this many
// cells (256 MiB) are poisoned: the tests' small workspaces, where overruns
// are looked for.
constexpr std::int64_t kMaxPoisonedSpan = (std::int64_t{256} << 20) / kCell;
#endif

void Arena::poison([[maybe_unused]] Index base, [[maybe_unused]] std::int64_t cells) const {
#if defined(MVA_ARENA_POISON)
  if (cells > 0 && span_ <= kMaxPoisonedSpan)
    ASAN_POISON_MEMORY_REGION(memory_ + (base - 1) * kCell, static_cast<std::size_t>(cells * kCell));
#endif
}

void Arena::unpoison([[maybe_unused]] Index base, [[maybe_unused]] std::int64_t cells) const {
#if defined(MVA_ARENA_POISON)
  if (cells > 0 && span_ <= kMaxPoisonedSpan)
    ASAN_UNPOISON_MEMORY_REGION(memory_ + (base - 1) * kCell, static_cast<std::size_t>(cells * kCell));
#endif
}

void Arena::add_free(Index base, std::int64_t cells) {
  auto next = free_.lower_bound(base);
  if (next != free_.end() && base + cells == next->first) {
    cells += next->second;
    next = free_.erase(next);
  }
  if (next != free_.begin()) {
    auto prev = std::prev(next);
    if (prev->first + prev->second == base) {
      prev->second += cells;
      return;
    }
  }
  free_[base] = cells;
}

void Arena::return_pages(Index base, std::int64_t cells) {
  if (cells < kReturnPagesCells) return;
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  auto first = reinterpret_cast<std::uintptr_t>(memory_ + (base - 1) * kCell);
  auto last = first + static_cast<std::uintptr_t>(cells * kCell);
  first = (first + page - 1) / page * page;
  last = last / page * page;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace mva::host
