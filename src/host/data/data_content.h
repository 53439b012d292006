// What a data set holds once it is loaded, shared by the DataSet and its case
// readers: the file's text, where the records start, the dictionary, and for
// each CSV column the cells it fills in the case buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "host/data/csv_reader.h"
#include "host/data/dictionary.h"
#include "host/data/data_set.h"
#include "host/data/number_columns.h"

#include <sys/mman.h>
#include <unistd.h>

namespace mva::host::detail {

// A column's cells, uninitialised. A large column is mapped with its pages
// taken in one go (cheaper than a page fault each) and grows by remapping;
// a small one is held by malloc and grows with realloc.
struct FreeCells {
  std::size_t mapped = 0;  // bytes of the mapping; 0 when malloc holds the cells
  bool borrowed = false;   // the cells are a front end's, read in place: not freed here
  void operator()(double* cells) const {
    if (borrowed) return;
    if (mapped > 0) {
      munmap(cells, mapped);
    } else {
      std::free(cells);
    }
  }
};
using ColumnCells = std::unique_ptr<double[], FreeCells>;

// Columns of at least this many bytes are mapped.
inline constexpr std::size_t kMappedColumn = std::size_t{1} << 20;

// An uninitialised array of `count` cells for a column's values. A mapped
// one has its pages taken now when `populate`; otherwise they come as they
// are first written (by the threads that write them).
inline ColumnCells column_array(std::size_t count, bool populate = true) {
  const std::size_t bytes = std::max<std::size_t>(count, 1) * sizeof(double);
  if (bytes >= kMappedColumn) {
    void* cells = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
    if (cells == MAP_FAILED) throw std::bad_alloc();
    // Pages written later may come as huge pages: one fault per 2 MB.
    if (!populate) madvise(cells, bytes, MADV_HUGEPAGE);
    return ColumnCells(static_cast<double*>(cells), FreeCells{bytes});
  }
  auto* cells = static_cast<double*>(std::malloc(bytes));
  if (cells == nullptr) throw std::bad_alloc();
  return ColumnCells(cells);
}

// Makes room for `count` cells, keeping the ones already written.
inline void grow_column(ColumnCells& cells, std::size_t count) {
  const std::size_t bytes = count * sizeof(double);
  const std::size_t mapped = cells.get_deleter().mapped;
  if (mapped > 0) {
    void* grown = mremap(cells.get(), mapped, bytes, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) throw std::bad_alloc();
    static_cast<void>(cells.release());
    cells = ColumnCells(static_cast<double*>(grown), FreeCells{bytes});
    return;
  }
  auto* grown = static_cast<double*>(std::realloc(cells.get(), bytes));
  if (grown == nullptr) throw std::bad_alloc();
  static_cast<void>(cells.release());
  cells.reset(grown);
}

// Unmaps a file mapping of `size` bytes.
struct Unmap {
  std::size_t size = 0;
  void operator()(char* bytes) const { munmap(bytes, size); }
};

// The bytes of the data file: a file mapped into memory (read straight from
// the page cache, nothing copied or zeroed), or a string handed over
// (in-memory data, or a pipe read to its end).
class TextBuffer {
 public:
  TextBuffer() = default;
  explicit TextBuffer(std::string text) : owned_(std::move(text)) {}
  // Takes over a mapping of `size` bytes made with mmap.
  TextBuffer(void* mapped, std::size_t size) : mapped_(static_cast<char*>(mapped), Unmap{size}), size_(size) {}
  std::string_view view() const { return mapped_ ? std::string_view(mapped_.get(), size_) : std::string_view(owned_); }
  // Drops the whole pages of bytes [from, to) of a mapped file from the
  // process's memory once they are read: they stay in the page cache, and a
  // later read takes them from there again, so nothing a reader sees
  // changes. Text held in a string is kept.
  void release(std::size_t from, std::size_t to) const {
    if (!mapped_) return;
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto base = reinterpret_cast<std::uintptr_t>(mapped_.get());  // page-aligned, as mmap returns it
    from = (from + page - 1) / page * page;
    to = std::min(to, size_) / page * page;
    if (to > from) madvise(reinterpret_cast<void*>(base + from), to - from, MADV_DONTNEED);
  }

 private:
  std::unique_ptr<char, Unmap> mapped_;
  std::size_t size_ = 0;
  std::string owned_;
};

// Where one CSV column goes in the case buffer.
struct ColumnPlan {
  std::size_t cell = 0;  // first cell (0-based slot)
  int width = 0;         // string width; 0 for a numeric column
  int cells = 1;         // cells it fills
  // The cells are a front end's numbers read in place, `stride` doubles
  // apart: NaN stands for the system-missing value and a zero may be
  // negative, so the case reader converts each cell as it reads it.
  bool raw = false;
  std::ptrdiff_t stride = 1;
};

struct DataContent {
  TextBuffer buffer;      // released once the cells are filled
  std::string_view text;  // buffer.view()
  std::string source;
  char delimiter = ',';
  std::size_t columns = 0;
  std::int64_t cases = 0;
  Dictionary dictionary;
  std::vector<ColumnPlan> plans;
  std::vector<std::string> na_tokens;  // besides the empty cell
  // The decimal mark every column starts with: '.' or ',', or 0 when each
  // column takes the mark of the first number with a fraction it meets.
  char decimal = '.';
  std::vector<LoadNote> notes;  // what the user should know about how the file was read

  // The values, column by column: plans[c].cells doubles per case, case
  // after case, as the case buffer takes them.
  std::vector<ColumnCells> cells;
  // The line of each case, kept only when records do not follow one per
  // line from first_line on (quoted line ends, empty lines).
  std::int64_t first_line = 2;
  std::vector<std::int64_t> lines;

  // The measuring of columns in memory that goes on as the run reads them
  // (DataSet::from_columns); null for data measured as they were read. The
  // print formats of those columns are set, and an infinite value refused,
  // by settle(), which does nothing for other data or once done.
  std::unique_ptr<MeasuringNumbers> measuring;
  // The workers that read a file, kept for the host that analyses its cases
  // (Workers::shared).
  std::shared_ptr<Workers> workers;
  void settle() const {
    if (measuring) measuring->settle();
  }

  std::int64_t line_of(std::int64_t record) const {
    return lines.empty() ? first_line + record : lines[static_cast<std::size_t>(record)];
  }

  // Whether a cell, blanks trimmed, is an NA token.
  bool is_na(std::string_view trimmed) const {
    if (trimmed.empty()) return true;
    for (const std::string& token : na_tokens) {
      if (trimmed.size() == token.size() && trimmed.front() == token.front() && trimmed == token) return true;
    }
    return false;
  }
};

// Applies the options that name variables (missing values, weight, split) to
// a dictionary built from `headers`, whose variables are `names`; an option
// naming a header that was renamed is refused with the name to give.
void apply_data_options(Dictionary& dictionary, const DataOptions& options, const std::vector<std::string>& headers,
                        const std::vector<std::string>& names);

}  // namespace mva::host::detail
