// Writing the finished rows of a streamed table to its temporary file and
// reading them back, block by block. The categories of the rows are written
// field by field, a label only with the fields that differ from a blank
// one's, integers as LEB128 variable-length numbers (signed ones
// zigzag-coded); the cells, millions of them, go as the cell store holds
// them: the coordinates and value indices as arrays of 32-bit integers, and
// the footnote lists of the few cells that have one after them.
#include "host/output/row_spool.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/types.h>

namespace mva::host {
namespace {

// The head of a spooled value. Its first byte holds the kind in the low bits
// and which of the strings and lists are written; its second which of the
// scalars differ from a blank value's. A case's category, a whole number in
// its format, is thus written as its head, its number and its format.
enum ValueHead : unsigned {
  kKindBits = 7U,
  kHasKey = 1U << 3,
  kHasName = 1U << 4,
  kHasLabel = 1U << 5,
  kHasParams = 1U << 6,
  kIsInteger = 1U << 7,
  // The second byte.
  kHasNumber = 1U << 0,
  kHasFormat = 1U << 1,
  kHasVariable = 1U << 2,
};
static_assert(static_cast<unsigned>(Text::Kind::RepeatList) <= kKindBits);

class Writer {
 public:
  // Writes over `out` from its start; finish() cuts it to what was written.
  // The bytes go through a cursor into room made ahead, not an append a
  // field: a block holds a few fields for each of thousands of rows.
  explicit Writer(std::string& out) : out_(out) { out_.resize(out_.capacity()); }

  void number(std::uint64_t v) {
    char* p = room(10);
    while (v >= 0x80) {
      *p++ = static_cast<char>((v & 0x7f) | 0x80);
      v >>= 7;
    }
    *p++ = static_cast<char>(v);
    used_ = static_cast<std::size_t>(p - out_.data());
  }
  void integer(std::int64_t v) { number((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63)); }
  void real(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    char* p = room(8);
    for (int k = 0; k < 8; ++k) p[k] = static_cast<char>(bits >> (8 * k));
    used_ += 8;
  }
  // `count` integers as they lie in memory.
  template <class T>
  void array(const T* items, std::size_t count) {
    bytes(reinterpret_cast<const char*>(items), count * sizeof(T));
  }
  void text(const std::string& s) {
    number(s.size());
    bytes(s.data(), s.size());
  }
  // A value: a head of two bytes (see ValueHead), then the fields that differ
  // from a blank value's.
  void value(const Text& t) {
    const Format blank;
    const bool has_number = std::bit_cast<std::uint64_t>(t.number) != 0;
    const bool has_format = t.format.kind != blank.kind || t.format.type != blank.type ||
                            t.format.width != blank.width || t.format.decimals != blank.decimals;
    const unsigned head = static_cast<unsigned>(t.kind) | (t.key.empty() ? 0U : kHasKey) |
                          (t.name.empty() ? 0U : kHasName) | (t.label.empty() ? 0U : kHasLabel) |
                          (t.params.empty() ? 0U : kHasParams) | (t.is_integer ? kIsInteger : 0U);
    const unsigned more =
        (has_number ? kHasNumber : 0U) | (has_format ? kHasFormat : 0U) | (t.variable != 0 ? kHasVariable : 0U);
    char* p = room(2);
    p[0] = static_cast<char>(head);
    p[1] = static_cast<char>(more);
    used_ += 2;
    if (!t.key.empty()) text(t.key);
    if (has_number) real(t.number);
    if (has_format) {
      integer(static_cast<std::int64_t>(t.format.kind));
      integer(t.format.type);
      integer(t.format.width);
      integer(t.format.decimals);
    }
    if (t.variable != 0) integer(t.variable);
    if (!t.name.empty()) text(t.name);
    if (!t.label.empty()) text(t.label);
    if (!t.params.empty()) {
      number(t.params.size());
      for (const Text& q : t.params) value(q);
    }
  }
  void list(const std::vector<int>& items) {
    number(items.size());
    for (const int i : items) integer(i);
  }
  // Cuts the output to the bytes written.
  void finish() { out_.resize(used_); }

 private:
  // Room for `n` more bytes: where they go.
  char* room(std::size_t n) {
    if (out_.size() - used_ < n) out_.resize(std::max(2 * out_.size(), used_ + n + 256));
    return out_.data() + used_;
  }
  void bytes(const char* from, std::size_t n) {
    if (n == 0) return;
    std::memcpy(room(n), from, n);
    used_ += n;
  }

  std::string& out_;
  std::size_t used_ = 0;
};

class Reader {
 public:
  explicit Reader(const std::string& in) : in_(in) {}

  std::uint64_t number() {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      if (shift > 63) throw std::runtime_error("spooled rows: a number runs too long");
      const auto byte = static_cast<std::uint8_t>(next());
      v |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
      if ((byte & 0x80) == 0) return v;
    }
  }
  std::int64_t integer() {
    const std::uint64_t v = number();
    return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
  }
  int small() { return static_cast<int>(integer()); }
  double real() {
    std::uint64_t bits = 0;
    const char* p = take(8);
    for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(p[k])) << (8 * k);
    return std::bit_cast<double>(bits);
  }
  // Reads a text into `s`, whose room is kept.
  void text(std::string& s) {
    const auto size = static_cast<std::size_t>(number());
    if (size > in_.size() - at_) throw std::runtime_error("spooled rows: a text runs past its block");
    s.assign(in_.data() + at_, size);
    at_ += size;
  }
  // Reads a value into `t`, whose strings keep their room.
  void value(Text& t) {
    const char* p = take(2);
    const auto head = static_cast<unsigned>(static_cast<std::uint8_t>(p[0]));
    const auto more = static_cast<unsigned>(static_cast<std::uint8_t>(p[1]));
    t.kind = static_cast<Text::Kind>(head & kKindBits);
    optional_text(head & kHasKey, t.key);
    t.number = (more & kHasNumber) != 0 ? real() : 0.0;
    if ((more & kHasFormat) != 0) {
      t.format.kind = static_cast<FormatKind>(integer());
      t.format.type = small();
      t.format.width = small();
      t.format.decimals = small();
    } else {
      t.format = Format{};
    }
    t.variable = (more & kHasVariable) != 0 ? integer() : 0;
    optional_text(head & kHasName, t.name);
    optional_text(head & kHasLabel, t.label);
    t.is_integer = (head & kIsInteger) != 0;
    t.params.resize((head & kHasParams) != 0 ? static_cast<std::size_t>(number()) : 0);
    for (Text& q : t.params) value(q);
  }
  void list(std::vector<int>& items) {
    items.resize(static_cast<std::size_t>(number()));
    for (int& i : items) i = small();
  }
  // `count` integers as array() wrote them, into `items`.
  template <class T>
  void array(T* items, std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (bytes / sizeof(T) != count || bytes > in_.size() - at_) {
      throw std::runtime_error("spooled rows: a block ends early");
    }
    if (bytes > 0) std::memcpy(items, in_.data() + at_, bytes);
    at_ += bytes;
  }

 private:
  char next() {
    if (at_ == in_.size()) throw std::runtime_error("spooled rows: a block ends early");
    return in_[at_++];
  }
  // Reads a text into `s` when `present`, else empties `s`.
  void optional_text(unsigned present, std::string& s) {
    if (present != 0) {
      text(s);
    } else {
      s.clear();
    }
  }
  // The next `n` bytes.
  const char* take(std::size_t n) {
    if (n > in_.size() - at_) throw std::runtime_error("spooled rows: a block ends early");
    const char* p = in_.data() + at_;
    at_ += n;
    return p;
  }

  const std::string& in_;
  std::size_t at_ = 0;
};

}  // namespace

std::shared_ptr<RowSpool> RowSpool::open() {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return nullptr;
  return std::shared_ptr<RowSpool>(new RowSpool(file));
}

RowSpool::~RowSpool() { std::fclose(file_); }

bool RowSpool::write(const Dimension& rows, const CellStore& cells) {
  if (failed_) return false;
  std::string& block = buffer_;
  Writer w(block);
  w.number(rows.categories.size());
  for (const Category& c : rows.categories) {
    w.value(c.label);
    w.text(c.text);
    w.integer(c.parent);
    w.number((c.group ? 1U : 0U) | (c.ungrouped ? 2U : 0U));
    w.list(c.footnotes);
  }
  w.number(cells.dims_);
  w.number(cells.size());
  static_assert(sizeof(int) == 4);
  w.array(cells.coords_.data(), cells.coords_.size());
  w.array(cells.value_of_.data(), cells.value_of_.size());
  // The cells with footnotes: how many, then each one's index and list.
  std::size_t noted = 0;
  for (const std::uint32_t notes : cells.notes_of_) noted += notes != 0 ? 1 : 0;
  w.number(noted);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (cells.notes_of_[i] == 0) continue;
    w.number(i);
    w.list(cells.note_lists_[cells.notes_of_[i] - 1]);
  }
  w.finish();
  const off_t offset = fseeko(file_, 0, SEEK_END) == 0 ? ftello(file_) : -1;
  if (offset < 0 || std::fwrite(block.data(), 1, block.size(), file_) != block.size() || std::fflush(file_) != 0) {
    failed_ = true;
    return false;
  }
  blocks_.emplace_back(static_cast<long>(offset), block.size());
  return true;
}

void RowSpool::read(std::size_t k, int dimension, PivotTable& view) const {
  const auto [offset, size] = blocks_[k];
  std::string& block = buffer_;
  block.resize(size);
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 || std::fread(block.data(), 1, size, file_) != size) {
    throw std::runtime_error("spooled rows: cannot read the temporary file back");
  }
  Reader r(block);
  Dimension& rows = view.dimensions[static_cast<std::size_t>(dimension)];
  rows.categories.resize(static_cast<std::size_t>(r.number()));
  rows.top.clear();
  for (std::size_t i = 0; i < rows.categories.size(); ++i) {
    Category& c = rows.categories[i];
    r.value(c.label);
    r.text(c.text);
    c.parent = r.small();
    const std::uint64_t flags = r.number();
    c.group = (flags & 1U) != 0;
    c.ungrouped = (flags & 2U) != 0;
    r.list(c.footnotes);
    c.children.clear();
    // Children were added in the order their categories were made.
    if (c.parent < 0) {
      rows.top.push_back(static_cast<int>(i));
    } else {
      rows.categories.at(static_cast<std::size_t>(c.parent)).children.push_back(static_cast<int>(i));
    }
  }
  CellStore& cells = view.cells;
  cells.dims_ = static_cast<std::size_t>(r.number());
  const auto count = static_cast<std::size_t>(r.number());
  // A block without cells (its rows hold none) has no coordinates to fit.
  if ((count > 0 && cells.dims_ != view.dimensions.size()) || count > block.size()) {
    throw std::runtime_error("spooled rows: a block does not fit its table");
  }
  cells.coords_.resize(count * cells.dims_);
  cells.value_of_.resize(count);
  r.array(cells.coords_.data(), cells.coords_.size());
  r.array(cells.value_of_.data(), cells.value_of_.size());
  cells.notes_of_.assign(count, 0);
  cells.note_lists_.clear();
  const auto noted = static_cast<std::size_t>(r.number());
  for (std::size_t n = 0; n < noted; ++n) {
    const auto i = static_cast<std::size_t>(r.number());
    if (i >= count) throw std::runtime_error("spooled rows: a footnote of a cell past the block");
    r.list(cells.note_lists_.emplace_back());
    cells.notes_of_[i] = static_cast<std::uint32_t>(cells.note_lists_.size());
  }
}

void RowSpool::for_each_block(const PivotTable& table, const std::function<void(const PivotTable&)>& visit) const {
  PivotTable view = table_without_cells(table);
  view.cells.values_ = table.cells.values_;
  for (std::size_t k = 0; k < blocks_.size(); ++k) {
    read(k, table.spool_dimension, view);
    visit(view);
  }
  visit(table);
}

PivotTable table_without_cells(const PivotTable& table) {
  PivotTable t;
  t.number = table.number;
  t.title = table.title;
  t.subtype = table.subtype;
  t.open = table.open;
  t.properties = table.properties;
  t.dimensions = table.dimensions;
  t.cell_dimension = table.cell_dimension;
  t.annotations = table.annotations;
  t.title_footnotes = table.title_footnotes;
  return t;
}

void for_each_row_block(const PivotTable& table, const std::function<void(const PivotTable&)>& visit) {
  if (table.streamed()) {
    table.spool->for_each_block(table, visit);
  } else {
    visit(table);
  }
}

}  // namespace mva::host
