// Building the output document from the host's output calls: where each item
// goes (the open heading, the place a table was begun), and how a pivot table
// collects its dimensions, categories, cells and footnotes.
#include "host/output/output_document.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>

#include "host/output/row_spool.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

// Dimensions are the same when their keys are, or, without a key, their texts.
std::string dimension_identity(const Text& name) {
  std::string key = key_of(name);
  return key.empty() ? "t:" + display(name) : "k:" + key;
}

std::int64_t variable_of(const Text& text) {
  return text.kind == Text::Kind::Variable || text.kind == Text::Kind::VarValue ? text.variable : 0;
}

// Appends an item built in place (moving a whole variant into the vector
// trips a false maybe-uninitialized warning in g++ 12).
template <class T>
T& append(std::vector<Item>& items, T value) {
  return items.emplace_back().content.template emplace<T>(std::move(value));
}

[[noreturn]] void fault(int number, std::string_view call, std::string_view what) {
  throw std::logic_error("output call " + std::string(call) + " on table " + std::to_string(number) + ": " +
                         std::string(what));
}

}  // namespace

namespace {

struct KindWords {
  std::string_view name, label;
};

KindWords words_of(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return {"error", "Error"};
    case MessageKind::Warning: return {"warning", "Warning"};
    case MessageKind::Note: break;
  }
  return {"note", "Note"};
}

}  // namespace

std::string_view message_kind_name(MessageKind kind) { return words_of(kind).name; }

std::string_view message_label(MessageKind kind) { return words_of(kind).label; }

std::string describe_split(const SplitItem& split, std::string (*escape)(std::string_view)) {
  std::string line;
  for (const SplitValue& value : split.values) {
    if (!line.empty()) line += ", ";
    line += escape(value.variable) + " = " + escape(value.text);
  }
  return line;
}

MessageKind message_kind(int severity) {
  if (severity >= 3) return MessageKind::Error;
  if (severity == 2) return MessageKind::Warning;
  return MessageKind::Note;
}

std::string message_context(const MessageItem& message) {
  std::string context;
  if (message.source) {
    context = message.source->file + ", line " + std::to_string(message.source->line) + ", column " +
              std::to_string(message.source->column);
  }
  if (message.groups > 1) {
    if (!context.empty()) context += "; ";
    context += "in each of the " + std::to_string(message.groups) + " split groups";
  }
  return context;
}

std::string command_heading(const CommandItem& command) {
  return "Command (" + command.file + ", line " + std::to_string(command.line) + ")";
}

bool is_footnote_code(int code) {
  return code == static_cast<int>(AnnotationCode::Category) || code == static_cast<int>(AnnotationCode::Cell) ||
         code == static_cast<int>(AnnotationCode::Title);
}

std::string footnote_marker(int index) {
  std::string marker;
  int n = index;
  do {
    marker.insert(marker.begin(), static_cast<char>('a' + n % 26));
    n = n / 26 - 1;
  } while (n >= 0);
  return marker;
}

// ---- Cell store ------------------------------------------------------------------

namespace {

constexpr std::uint64_t kGolden = 0x9e3779b97f4a7c15ULL;

// Folds `v` into the running hash `h`.
void mix(std::uint64_t& h, std::uint64_t v) { h ^= v + kGolden + (h << 6) + (h >> 2); }

// Spreads the bits of a finished hash so that its low bits pick slots well.
std::uint64_t finish(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

std::uint64_t bits_of(double x) { return std::bit_cast<std::uint64_t>(x); }

// A hash of the bytes of `s`, eight at a time. The texts of a table are short
// (a mark, a case number, a variable name) and are hashed once a cell, so this
// does no more than it must; an empty text costs nothing.
[[gnu::always_inline]] inline std::uint64_t bytes_hash(std::string_view s) {
  std::uint64_t h = s.size();
  const char* p = s.data();
  std::size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * kGolden;
    h ^= h >> 29;
  }
  if (n > 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, n);
    h = (h ^ word) * kGolden;
    h ^= h >> 29;
  }
  return h;
}

// A hash of every field of a text, its parameters included.
std::uint64_t text_hash(const Text& t) {
  std::uint64_t h = static_cast<std::uint64_t>(t.kind) ^ static_cast<std::uint64_t>(t.is_integer ? 1 : 0) << 8 ^
                    static_cast<std::uint64_t>(t.format.kind) << 16 ^ static_cast<std::uint64_t>(t.format.type) << 24 ^
                    static_cast<std::uint64_t>(static_cast<std::uint32_t>(t.format.width)) << 32 ^
                    static_cast<std::uint64_t>(t.format.decimals) << 56;
  h = (h ^ bits_of(t.number)) * kGolden;
  h = (h ^ static_cast<std::uint64_t>(t.variable)) * kGolden;
  h = (h ^ bytes_hash(t.key)) * kGolden;
  h = (h ^ bytes_hash(t.name)) * kGolden;
  h = (h ^ bytes_hash(t.label)) * kGolden;
  for (const Text& p : t.params) mix(h, text_hash(p));
  return h;
}

// The bytes of a `Word` from `p`.
template <class Word>
[[gnu::always_inline]] inline Word load(const char* p) {
  Word w;
  std::memcpy(&w, p, sizeof(Word));
  return w;
}

// Two strings of the same bytes. The texts compared are short (a mark, a
// variable name, a key): up to 16 bytes are compared as two overlapping
// words from each end, without a loop or a call.
[[gnu::always_inline]] inline bool same_bytes(const std::string& a, const std::string& b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  if (n >= 8) {
    if (n > 16) return std::memcmp(p, q, n) == 0;
    return load<std::uint64_t>(p) == load<std::uint64_t>(q) &&
           load<std::uint64_t>(p + n - 8) == load<std::uint64_t>(q + n - 8);
  }
  if (n >= 4) {
    return load<std::uint32_t>(p) == load<std::uint32_t>(q) &&
           load<std::uint32_t>(p + n - 4) == load<std::uint32_t>(q + n - 4);
  }
  // 0 to 3 bytes: the first, middle and last cover them all.
  return n == 0 || (p[0] == q[0] && p[n / 2] == q[n / 2] && p[n - 1] == q[n - 1]);
}

bool same_params(const Text& a, const Text& b);

// Two formats of the same four fields, compared as two words.
[[gnu::always_inline]] inline bool same_format(const Format& a, const Format& b) {
  static_assert(sizeof(Format) == 2 * sizeof(std::uint64_t));
  const auto* p = reinterpret_cast<const char*>(&a);
  const auto* q = reinterpret_cast<const char*>(&b);
  return load<std::uint64_t>(p) == load<std::uint64_t>(q) && load<std::uint64_t>(p + 8) == load<std::uint64_t>(q + 8);
}

// True when two texts agree in every field (numbers bit for bit, so that -0
// and 0 stay apart), and so show the same wherever they are shown. The
// scalars are compared as plain words, and the fields in which the values
// of a column mostly differ (the kind, the number, the key of a mark) come
// first: a table compares a text with the ones it expects millions of
// times, and when they differ it should know soon.
[[gnu::always_inline]] inline bool same_text(const Text& a, const Text& b) {
  return a.kind == b.kind && bits_of(a.number) == bits_of(b.number) && same_bytes(a.key, b.key) &&
         a.variable == b.variable && a.is_integer == b.is_integer && same_format(a.format, b.format) &&
         same_bytes(a.name, b.name) && same_bytes(a.label, b.label) &&
         (a.params.empty() ? b.params.empty() : same_params(a, b));
}

bool same_params(const Text& a, const Text& b) {
  if (a.params.size() != b.params.size()) return false;
  for (std::size_t i = 0; i < a.params.size(); ++i) {
    if (!same_text(a.params[i], b.params[i])) return false;
  }
  return true;
}

const std::vector<int> kNoFootnotes;

// Makes `slots` an open-addressed table with room for one more than its
// `count` entries, at most two-thirds full (doubled as needed), and puts back
// entry k (stored as k + 1) at the slot hash_of(k) picks.
template <class HashOf>
void rebuild_slots(std::vector<std::uint32_t>& slots, std::size_t count, HashOf hash_of) {
  std::size_t size = slots.empty() ? 16 : slots.size();
  while (size * 2 < (count + 1) * 3) size *= 2;
  slots.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t k = 0; k < count; ++k) {
    std::size_t slot = static_cast<std::size_t>(hash_of(k)) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = static_cast<std::uint32_t>(k + 1);
  }
}

}  // namespace

int CellAt::at(std::size_t d) const {
  if (d >= size_) throw std::out_of_range("cell coordinate " + std::to_string(d) + " of " + std::to_string(size_));
  return first_[d];
}

bool operator==(const CellAt& a, const std::vector<int>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

TableCell CellStore::operator[](std::size_t i) const {
  const std::uint32_t notes = notes_of_[i];
  return TableCell{CellAt(coords_.data() + i * dims_, dims_), values_[value_of_[i]],
                   notes == 0 ? kNoFootnotes : note_lists_[notes - 1], value_of_[i]};
}

bool CellStore::same_place(const int* a, const int* b) const {
  for (std::size_t d = 0; d < dims_; ++d) {
    if (a[d] != b[d]) return false;
  }
  return true;
}

std::size_t CellStore::coordinate_hash(const int* at) const {
  std::uint64_t h = kGolden;
  for (std::size_t d = 0; d < dims_; ++d) h = (h ^ static_cast<std::uint32_t>(at[d])) * kGolden + d;
  return static_cast<std::size_t>(finish(h));
}

void CellStore::grow_cell_slots() {
  rebuild_slots(cell_slots_, size(), [this](std::size_t i) { return coordinate_hash(coords_.data() + i * dims_); });
}

std::size_t CellStore::intern(const Text& value, Hints* hints) {
  if (hints != nullptr) {
    Hints& h = *hints;
    // The latest value again: the hints stay as they are.
    if (h[0] < values_.size() && same_text(values_[h[0]], value)) return h[0];
    return intern_hinted(value, h);
  }
  return intern_new(value);
}

std::size_t CellStore::intern_hinted(const Text& value, Hints& h) {
  for (std::size_t k = 1; k < h.size(); ++k) {
    const std::uint32_t v = h[k];
    if (v < values_.size() && same_text(values_[v], value)) {
      std::rotate(h.begin(), h.begin() + static_cast<std::ptrdiff_t>(k),
                  h.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      return v;
    }
  }
  const std::size_t v = intern_new(value);
  std::rotate(h.begin(), h.end() - 1, h.end());
  h[0] = static_cast<std::uint32_t>(v);
  return v;
}

std::size_t CellStore::intern_new(const Text& value) {
  if (value_slots_.size() * 2 < (values_.size() + 1) * 3) {
    rebuild_slots(value_slots_, values_.size(), [this](std::size_t k) { return finish(text_hash(values_[k])); });
  }
  const std::size_t mask = value_slots_.size() - 1;
  std::size_t slot = static_cast<std::size_t>(finish(text_hash(value))) & mask;
  for (; value_slots_[slot] != 0; slot = (slot + 1) & mask) {
    const std::size_t k = value_slots_[slot] - 1;
    if (same_text(values_[k], value)) return k;
  }
  values_.push_back(value);
  value_slots_[slot] = static_cast<std::uint32_t>(values_.size());
  return values_.size() - 1;
}

std::size_t CellStore::put(const std::vector<int>& at, const Text& value, Hints* hints) {
  if (empty()) dims_ = at.size();
  if (cell_slots_.size() * 2 < (size() + 1) * 3) grow_cell_slots();
  const std::size_t mask = cell_slots_.size() - 1;
  std::size_t slot = coordinate_hash(at.data()) & mask;
  for (; cell_slots_[slot] != 0; slot = (slot + 1) & mask) {
    const std::size_t i = cell_slots_[slot] - 1;
    if (same_place(at.data(), coords_.data() + i * dims_)) {
      value_of_[i] = static_cast<std::uint32_t>(intern(value, hints));
      if (notes_of_[i] != 0) note_lists_[notes_of_[i] - 1].clear();
      return i;
    }
  }
  if (size() >= std::numeric_limits<std::uint32_t>::max() - 1) {
    throw std::length_error("a pivot table holds at most 2^32 - 2 cells");
  }
  const std::size_t i = size();
  // A cell has a few coordinates: pushed one by one, without a copy call.
  for (const int c : at) coords_.push_back(c);
  value_of_.push_back(static_cast<std::uint32_t>(intern(value, hints)));
  notes_of_.push_back(0);
  cell_slots_[slot] = static_cast<std::uint32_t>(i + 1);
  return i;
}

void CellStore::add_dimension(int blank) {
  std::vector<int> wider;
  wider.reserve(size() * (dims_ + 1));
  for (std::size_t i = 0; i < size(); ++i) {
    const auto first = coords_.begin() + static_cast<std::ptrdiff_t>(i * dims_);
    wider.insert(wider.end(), first, first + static_cast<std::ptrdiff_t>(dims_));
    wider.push_back(blank);
  }
  coords_ = std::move(wider);
  ++dims_;
  if (!empty()) grow_cell_slots();
}

std::vector<int>& CellStore::footnotes_of(std::size_t i) {
  if (notes_of_[i] == 0) {
    note_lists_.emplace_back();
    notes_of_[i] = static_cast<std::uint32_t>(note_lists_.size());
  }
  return note_lists_[notes_of_[i] - 1];
}

void CellStore::clear_cells() {
  coords_.clear();
  value_of_.clear();
  notes_of_.clear();
  note_lists_.clear();
  // The next rows are as many: the index keeps its size.
  std::fill(cell_slots_.begin(), cell_slots_.end(), 0);
}

int PivotTable::find_dimension(const Text& name) const {
  // Rows name their dimensions by the texts that made them: a dimension whose
  // name is the very same text is found without making its identity.
  for (std::size_t d = 0; d < dimensions.size(); ++d) {
    if (same_text(dimensions[d].name, name)) return static_cast<int>(d);
  }
  const auto it = dimension_index_.find(dimension_identity(name));
  return it == dimension_index_.end() ? -1 : it->second;
}

// ---- Document items -----------------------------------------------------------

std::vector<Item>& OutputDocument::current_items() { return headings_.empty() ? items_ : headings_.back()->items; }

void OutputDocument::add_message(const Text& text, int msg_class, int severity) {
  add_message(MessageItem{text, msg_class, severity, std::nullopt, 0});
}

void OutputDocument::add_message(MessageItem message) { append(current_items(), std::move(message)); }

void OutputDocument::add_split(std::vector<SplitValue> values) {
  append(current_items(), SplitItem{std::move(values)});
}

void OutputDocument::add_data(DataItem data) { append(items_, std::move(data)); }

void OutputDocument::add_command(CommandItem command) { append(items_, std::move(command)); }

void OutputDocument::begin_heading(const Text& text) {
  headings_.push_back(&append(current_items(), HeadingItem{text, {}}));
  last_target_ = Target::Heading;
}

void OutputDocument::end_heading() {
  if (headings_.empty()) throw std::logic_error("output call END_HEADING with no open heading");
  headings_.pop_back();
  last_target_ = headings_.empty() ? Target::None : Target::Heading;
}

void OutputDocument::close_all() {
  for (const auto& [number, index] : open_) tables_[index]->open = false;
  open_.clear();
  headings_.clear();
  last_target_ = Target::None;
}

namespace {

// Messages are the same when they read the same, are of the same class and
// severity, and were raised at the same place.
std::string message_identity(const MessageItem& m) {
  std::string id = key_of(m.text) + '\x1f' + display(m.text) + '\x1f' + std::to_string(m.msg_class) + '\x1f' +
                   std::to_string(m.severity);
  if (m.source) {
    id += '\x1f' + m.source->file + ':' + std::to_string(m.source->line) + ':' + std::to_string(m.source->column);
  }
  return id;
}

}  // namespace

void OutputDocument::fold_group_repeats(std::size_t first) {
  std::vector<std::size_t> markers;
  for (std::size_t i = first; i < items_.size(); ++i) {
    if (std::holds_alternative<SplitItem>(items_[i].content)) markers.push_back(i);
  }
  if (markers.size() < 2) return;
  const auto group_of = [&](std::size_t i) {
    return static_cast<std::size_t>(std::upper_bound(markers.begin(), markers.end(), i) - markers.begin()) - 1;
  };

  // For every message of the first group: in how many groups it stands.
  std::vector<std::string> order;
  std::unordered_map<std::string, std::vector<bool>> seen;
  for (std::size_t i = markers[0]; i < items_.size(); ++i) {
    const auto* m = std::get_if<MessageItem>(&items_[i].content);
    if (m == nullptr || m->severity >= 3) continue;
    const std::string id = message_identity(*m);
    const std::size_t g = group_of(i);
    if (g == 0 && seen.find(id) == seen.end()) {
      order.push_back(id);
      seen[id].assign(markers.size(), false);
    }
    const auto it = seen.find(id);
    if (it != seen.end()) it->second[g] = true;
  }
  std::vector<std::string> repeated;
  for (const std::string& id : order) {
    const std::vector<bool>& in = seen[id];
    if (std::all_of(in.begin(), in.end(), [](bool b) { return b; })) repeated.push_back(id);
  }
  if (repeated.empty()) return;

  // Rebuild: the items before the first marker, the repeated messages once,
  // then the groups without their first copy of each.
  std::vector<Item> rebuilt;
  rebuilt.reserve(items_.size());
  for (std::size_t i = 0; i < markers[0]; ++i) rebuilt.push_back(std::move(items_[i]));
  std::vector<std::vector<bool>> taken(markers.size(), std::vector<bool>(repeated.size(), false));
  std::vector<Item> groups_part;
  for (std::size_t i = markers[0]; i < items_.size(); ++i) {
    if (const auto* m = std::get_if<MessageItem>(&items_[i].content); m != nullptr && m->severity < 3) {
      const auto r = std::find(repeated.begin(), repeated.end(), message_identity(*m));
      const std::size_t g = group_of(i);
      if (r != repeated.end() && !taken[g][static_cast<std::size_t>(r - repeated.begin())]) {
        taken[g][static_cast<std::size_t>(r - repeated.begin())] = true;
        if (g == 0) {
          MessageItem once = *m;
          once.groups = static_cast<int>(markers.size());
          append(rebuilt, std::move(once));
        }
        continue;
      }
    }
    groups_part.push_back(std::move(items_[i]));
  }
  for (Item& item : groups_part) rebuilt.push_back(std::move(item));
  items_ = std::move(rebuilt);
}

// ---- Tables --------------------------------------------------------------------

PivotTable& OutputDocument::create_table(int number, const Text& title, const Text& subtype) {
  auto table = std::make_unique<PivotTable>();
  table->number = number;
  table->title = title;
  table->subtype = subtype;
  const std::size_t index = tables_.size();
  tables_.push_back(std::move(table));
  open_[number] = index;
  append(current_items(), TableItem{index});
  last_target_ = Target::Table;
  last_table_ = index;
  return *tables_.back();
}

void OutputDocument::begin_table(int number, const Text& title, const Text& subtype) {
  if (is_open(number)) fault(number, "BEGIN_PIVOT_TABLE", "the table is already open");
  create_table(number, title, subtype);
}

void OutputDocument::describe_group(int number, std::int64_t cases, bool weighted) {
  PivotTable& table = open_table(number, "BEGIN_PIVOT_TABLE");
  table.group_cases = cases;
  table.weighted = weighted;
}

PivotTable& OutputDocument::open_table(int number, std::string_view call) {
  // The calls of a table come in runs: the table named last is checked first.
  if (last_target_ == Target::Table && last_table_ < tables_.size()) {
    PivotTable& last = *tables_[last_table_];
    if (last.number == number && last.open) return last;
  }
  return find_open_table(number, call);
}

PivotTable& OutputDocument::find_open_table(int number, std::string_view call) {
  auto it = open_.find(number);
  if (it == open_.end()) {
    if (number != kFilesSavedTable) fault(number, call, "the table is not open");
    Text title;
    title.kind = Text::Kind::Key;
    title.key = "Files Saved";
    return create_table(number, title, title);
  }
  last_target_ = Target::Table;
  last_table_ = it->second;
  return *tables_[it->second];
}

void OutputDocument::end_table(int number) {
  PivotTable& table = open_table(number, "END_PIVOT_TABLE");
  table.open = false;
  open_.erase(number);
  last_target_ = Target::None;
}

void OutputDocument::table_property(int number, int property, const Text& value) {
  open_table(number, "TABLE_PROPERTY").properties[property] = value;
}

int OutputDocument::add_dimension(PivotTable& table, const Text& name) {
  const int index = static_cast<int>(table.dimensions.size());
  Dimension dimension;
  dimension.name = name;
  dimension.text = display(name);
  dimension.sequence = index;
  table.dimensions.push_back(std::move(dimension));
  table.dimension_index_[dimension_identity(name)] = index;
  if (table.streamed()) fault(table.number, "a dimension call", "a dimension added after rows were written out");
  if (!table.cells.empty()) {
    // Cells stored before the dimension existed stand in its blank category.
    table.cells.add_dimension(blank_category(table.dimensions.back()));
  }
  return index;
}

void OutputDocument::position_dimension(int number, const Text& name, std::array<int, 4> placement) {
  PivotTable& table = open_table(number, "POSITION_DIMENSION");
  int index = table.find_dimension(name);
  if (index < 0) index = add_dimension(table, name);
  Dimension& dimension = table.dimensions[static_cast<std::size_t>(index)];
  dimension.positioned = true;
  dimension.placement = placement;
}

void OutputDocument::cell_dimension(int number, const Text& name) {
  PivotTable& table = open_table(number, "CELL_DIMENSION");
  int index = table.find_dimension(name);
  if (index < 0) index = add_dimension(table, name);
  table.cell_dimension = index;
}

int OutputDocument::dimension_of(PivotTable& table, const Text& name, std::string_view call) {
  const int index = table.find_dimension(name);
  if (index < 0) fault(table.number, call, "no dimension named \"" + display(name) + "\"");
  return index;
}

int OutputDocument::find_or_add(Dimension& dimension, const Text& label, int parent) {
  // The rows of a table name the categories of a dimension in the same order
  // each time (a case table names its columns in every row): the category
  // that followed the one found last time is tried first.
  const int previous = dimension.last_found_;
  if (previous >= 0) {
    const int guess = dimension.next_[static_cast<std::size_t>(previous)];
    if (guess >= 0) {
      const Category& c = dimension.categories[static_cast<std::size_t>(guess)];
      if (c.parent == parent && same_text(c.label, label)) {
        dimension.last_found_ = guess;
        return guess;
      }
    }
  }
  return find_or_add_missed(dimension, label, parent);
}

int OutputDocument::find_or_add_missed(Dimension& dimension, const Text& label, int parent) {
  const int previous = dimension.last_found_;
  // The same label under the same parent is the same category; only a label
  // not met lately is displayed and looked up by its identity.
  std::uint64_t h = text_hash(label);
  mix(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(parent)));
  int& recent = dimension.recent_[finish(h) % dimension.recent_.size()];
  const auto found = [&] {
    if (recent >= 0) {
      const Category& c = dimension.categories[static_cast<std::size_t>(recent)];
      if (c.parent == parent && same_text(c.label, label)) return recent;
    }
    recent = find_or_add_shown(dimension, label, parent);
    return recent;
  }();
  dimension.next_.resize(dimension.categories.size(), -1);
  if (previous >= 0) dimension.next_[static_cast<std::size_t>(previous)] = found;
  dimension.last_found_ = found;
  return found;
}

namespace {

// Categories under one parent are the same when they show the same text and
// name the same variable: the hash of that identity.
std::uint64_t identity_hash(int parent, std::int64_t variable, std::string_view shown) {
  std::uint64_t h = bytes_hash(shown);
  mix(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(parent)));
  mix(h, static_cast<std::uint64_t>(variable));
  return finish(h);
}

}  // namespace

int OutputDocument::find_shown(const Dimension& dimension, int parent, std::int64_t variable, std::string_view shown) {
  if (dimension.slots_.empty()) return -1;
  const std::size_t mask = dimension.slots_.size() - 1;
  for (std::size_t slot = identity_hash(parent, variable, shown) & mask; dimension.slots_[slot] != 0;
       slot = (slot + 1) & mask) {
    const std::size_t k = dimension.slots_[slot] - 1;
    const Category& c = dimension.categories[k];
    if (c.parent == parent && variable_of(c.label) == variable && c.text == shown) return static_cast<int>(k);
  }
  return -1;
}

int OutputDocument::find_or_add_shown(Dimension& dimension, const Text& label, int parent) {
  // A group's own label under it (a case's number under the group of that
  // case) shows as the group does; under a group that holds nothing yet,
  // every label is new.
  const Category* group = parent >= 0 ? &dimension.categories[static_cast<std::size_t>(parent)] : nullptr;
  std::string shown = group != nullptr && same_text(group->label, label) ? group->text : display(label);
  const std::int64_t variable = variable_of(label);
  if (group == nullptr || !group->children.empty()) {
    const int found = find_shown(dimension, parent, variable, shown);
    if (found >= 0) return found;
  }
  const int index = static_cast<int>(dimension.categories.size());
  const auto hash_of = [&](std::size_t k) {
    const Category& c = dimension.categories[k];
    return identity_hash(c.parent, variable_of(c.label), c.text);
  };
  if (dimension.slots_.size() * 2 < (dimension.categories.size() + 1) * 3) {
    rebuild_slots(dimension.slots_, dimension.categories.size(), hash_of);
  }
  Category category;
  category.label = label;
  category.text = std::move(shown);
  category.parent = parent;
  dimension.categories.push_back(std::move(category));
  if (parent < 0) {
    dimension.top.push_back(index);
  } else {
    dimension.categories[static_cast<std::size_t>(parent)].children.push_back(index);
  }
  const std::size_t mask = dimension.slots_.size() - 1;
  std::size_t slot = hash_of(static_cast<std::size_t>(index)) & mask;
  while (dimension.slots_[slot] != 0) slot = (slot + 1) & mask;
  dimension.slots_[slot] = static_cast<std::uint32_t>(index + 1);
  return index;
}

int OutputDocument::blank_category(Dimension& dimension) { return find_or_add(dimension, Text{}, -1); }

void OutputDocument::category(int number, const Text& category, const Text& dimension) {
  PivotTable& table = open_table(number, "CATEGORY_DIMENSION");
  const int d = dimension_of(table, dimension, "CATEGORY_DIMENSION");
  Dimension& dim = table.dimensions[static_cast<std::size_t>(d)];
  const int parent = dim.open_groups_.empty() ? -1 : dim.open_groups_.back();
  if (parent < 0) spill_rows(table, d, category);
  dim.current_ = find_or_add(dim, category, parent);
  table.last_dimension_ = d;
  table.last_category_ = dim.current_;
}

void OutputDocument::begin_group(int number, const Text& group, const Text& dimension) {
  PivotTable& table = open_table(number, "BEGIN_GROUP");
  const int d = dimension_of(table, dimension, "BEGIN_GROUP");
  Dimension& dim = table.dimensions[static_cast<std::size_t>(d)];
  const int parent = dim.open_groups_.empty() ? -1 : dim.open_groups_.back();
  if (parent < 0) spill_rows(table, d, group);
  const int index = find_or_add(dim, group, parent);
  dim.categories[static_cast<std::size_t>(index)].group = true;
  dim.open_groups_.push_back(index);
  table.last_dimension_ = table.last_group_dimension_ = d;
  table.last_category_ = table.last_group_ = index;
}

void OutputDocument::end_group(int number, const Text& dimension) {
  PivotTable& table = open_table(number, "END_GROUP");
  Dimension& dim = table.dimensions[static_cast<std::size_t>(dimension_of(table, dimension, "END_GROUP"))];
  if (dim.open_groups_.empty()) fault(number, "END_GROUP", "no open group in \"" + dim.text + "\"");
  dim.open_groups_.pop_back();
}

void OutputDocument::ungroup(int number) {
  PivotTable& table = open_table(number, "UNGROUP");
  if (table.last_group_ < 0) fault(number, "UNGROUP", "no group has been begun");
  table.dimensions[static_cast<std::size_t>(table.last_group_dimension_)]
      .categories[static_cast<std::size_t>(table.last_group_)]
      .ungrouped = true;
}

void OutputDocument::cell(int number, const Text& value, const Text& category) {
  const Text* const given[] = {&value};
  store_cells(number, given, std::span<const Text>(&category, 1), "CELL_IN_CATEGORY");
}

void OutputDocument::cells(int number, std::span<const Text* const> values, std::span<const Text> categories) {
  if (values.size() != categories.size()) {
    fault(number, "CELLS_IN_CATEGORIES", "values and categories differ in number");
  }
  if (!values.empty()) store_cells(number, values, categories, "CELLS_IN_CATEGORIES");
}

void OutputDocument::store_cells(int number, std::span<const Text* const> values, std::span<const Text> categories,
                                 std::string_view call) {
  PivotTable& table = open_table(number, call);
  if (table.cell_dimension < 0) fault(number, call, "no cell dimension has been named");
  // The other dimensions stand where each cell finds them: nothing in
  // between changes them.
  std::vector<int>& at = table.scratch_at_;
  at.resize(table.dimensions.size());
  const auto column_dimension = static_cast<std::size_t>(table.cell_dimension);
  for (std::size_t d = 0; d < table.dimensions.size(); ++d) {
    Dimension& dim = table.dimensions[d];
    if (d == column_dimension) continue;
    at[d] = dim.positioned && dim.current_ >= 0 ? dim.current_ : blank_category(dim);
  }
  Dimension& columns = table.dimensions[column_dimension];
  const int parent = columns.open_groups_.empty() ? -1 : columns.open_groups_.back();
  // A column mostly repeats a value: the one it was given last is tried first.
  std::vector<CellStore::Hints>& hints = table.value_hint_;
  std::size_t i = 0;
  for (std::size_t k = 0; k < values.size(); ++k) {
    const int column = find_or_add(columns, categories[k], parent);
    at[column_dimension] = column;
    if (hints.size() <= static_cast<std::size_t>(column)) {
      hints.resize(static_cast<std::size_t>(column) + 1, CellStore::kNoHints);
    }
    i = table.cells.put(at, *values[k], &hints[static_cast<std::size_t>(column)]);
  }
  columns.current_ = at[column_dimension];
  table.last_dimension_ = table.cell_dimension;
  table.last_category_ = columns.current_;
  table.last_cell_ = static_cast<int>(i);
}

// ---- Streamed rows ------------------------------------------------------------------

namespace {

// The rows of the case tables: one top-level category per case, each case
// once, every cell of a row stored after its category.
constexpr std::string_view kCaseRows = "POUT_ CASE";

// A table streams when its case dimension is its only row dimension.
bool streams_rows(const PivotTable& table, int d) {
  const Dimension& rows = table.dimensions[static_cast<std::size_t>(d)];
  if (key_of(rows.name) != kCaseRows || !rows.positioned || rows.axis() != Axis::Rows || d == table.cell_dimension) {
    return false;
  }
  return std::all_of(table.dimensions.begin(), table.dimensions.end(),
                     [&](const Dimension& dim) { return &dim == &rows || dim.axis() == Axis::Columns; });
}

}  // namespace

void OutputDocument::spill_rows(PivotTable& table, int d, const Text& label) {
  Dimension& dim = table.dimensions[static_cast<std::size_t>(d)];
  if (window_ == 0 || dim.top.size() < window_ || !dim.open_groups_.empty()) return;
  if (table.streamed() ? table.spool_dimension != d : !streams_rows(table, d)) return;
  // A label met before in these rows names the same category: nothing ends.
  if (find_shown(dim, -1, variable_of(label), display(label)) >= 0) return;
  if (!table.streamed()) {
    table.spool = RowSpool::open();
    if (!table.streamed()) return;  // no temporary file: the table is held whole
    table.spool_dimension = d;
  }
  if (!table.spool->write(dim, table.cells)) return;  // the file is full: the rows stay here
  dim.categories.clear();
  dim.top.clear();
  std::fill(dim.slots_.begin(), dim.slots_.end(), 0);
  dim.recent_ = Dimension::filled_recent();
  dim.next_.clear();
  dim.last_found_ = -1;
  dim.current_ = -1;
  table.cells.clear_cells();
  table.last_cell_ = -1;
  if (table.last_dimension_ == d) table.last_category_ = -1;
  if (table.last_group_dimension_ == d) table.last_group_ = -1;
}

// ---- Notes and footnotes ----------------------------------------------------------

void OutputDocument::attach_footnote(PivotTable& table, std::vector<int>& target, const Text& text, int code) {
  const std::string shown = display(text);
  const std::string key = key_of(text);
  auto same = [&](const Annotation& a) { return a.marker >= 0 && a.shown == shown && key_of(a.text) == key; };
  auto it = std::find_if(table.annotations.begin(), table.annotations.end(), same);
  int index = static_cast<int>(it - table.annotations.begin());
  if (it == table.annotations.end()) {
    table.annotations.push_back(Annotation{text, shown, code, table.footnote_count_++});
  }
  if (std::find(target.begin(), target.end(), index) == target.end()) target.push_back(index);
}

void OutputDocument::add_note(PivotTable& table, const Text& text, int code) {
  const std::string shown = display(text);
  for (const Annotation& a : table.annotations) {
    if (a.marker < 0 && a.shown == shown) return;
  }
  table.annotations.push_back(Annotation{text, shown, code, -1});
}

void OutputDocument::annotate(const Text& text, int code) {
  PivotTable* table = nullptr;
  if (last_target_ == Target::Table && tables_[last_table_]->open) table = tables_[last_table_].get();
  if (table == nullptr) {
    // No table took the last call: a note under the open heading, or between
    // the tables when there is none.
    append(current_items(), NoteItem{text});
    return;
  }
  switch (code) {
    case static_cast<int>(AnnotationCode::Category):
      if (table->last_category_ >= 0) {
        Dimension& dim = table->dimensions[static_cast<std::size_t>(table->last_dimension_)];
        attach_footnote(*table, dim.categories[static_cast<std::size_t>(table->last_category_)].footnotes, text, code);
        return;
      }
      break;
    case static_cast<int>(AnnotationCode::Cell):
      if (table->last_cell_ >= 0) {
        attach_footnote(*table, table->cells.footnotes_of(static_cast<std::size_t>(table->last_cell_)), text, code);
        return;
      }
      break;
    case static_cast<int>(AnnotationCode::Title): attach_footnote(*table, table->title_footnotes, text, code); return;
    default: break;
  }
  add_note(*table, text, code);
}

}  // namespace mva::host
