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

namespace mva::host {

namespace {
constexpr std::int64_t kCell = 8;
// Blocks at least this large hand their pages back to the system when freed.
constexpr std::int64_t kReturnPagesCells = 1 << 15;
}  // namespace

Arena::Arena(std::int64_t capacity_bytes) {
  capacity_ = std::max<std::int64_t>(capacity_bytes / kCell, 1);
  void* p = mmap(nullptr, static_cast<std::size_t>(capacity_ * kCell), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  memory_ = static_cast<std::byte*>(p);
  workspace_ = Workspace(memory_, capacity_);
  free_[1] = capacity_;
}

Arena::~Arena() { munmap(memory_, static_cast<std::size_t>(capacity_ * kCell)); }

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
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->second < cells) continue;
    const Index start = it->first;
    const std::int64_t left = it->second - cells;
    free_.erase(it);
    if (left > 0) free_[start + cells] = left;
    taken_[start] = cells;
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
  if (cells == 0) {
    taken_.erase(it);
  } else {
    it->second = cells;
  }
  if (tail > 0) {
    return_pages(base + cells, tail);
    add_free(base + cells, tail);
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
  return_pages(base, cells);
  add_free(base, cells);
}

void Arena::reset() {
  for (const auto& [base, cells] : taken_) return_pages(base, cells);
  taken_.clear();
  free_.clear();
  free_[1] = capacity_;
}

std::int64_t Arena::used_cells() const {
  std::int64_t used = 0;
  for (const auto& block : taken_) used += block.second;
  return used;
}

std::int64_t Arena::largest_free() const {
  std::int64_t largest = 0;
  for (const auto& block : free_) largest = std::max(largest, block.second);
  return largest;
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
  static const std::int64_t page = sysconf(_SC_PAGESIZE);
  auto first = reinterpret_cast<std::uintptr_t>(memory_ + (base - 1) * kCell);
  auto last = first + static_cast<std::uintptr_t>(cells * kCell);
  first = (first + page - 1) / page * page;
  last = last / page * page;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace mva::host
