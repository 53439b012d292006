// The output document of one run: messages, split-group markers, headings and
// pivot tables, kept in the order they happen, as the host's output calls
// build them. The renderers (renderers.h) read it; nothing here formats text
// beyond caching what each label displays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "mva/frame/host/types.h"

namespace mva::host {

class RowSpool;

// One split variable's value in the current split group.
struct SplitValue {
  std::string variable;
  double value = 0.0;  // NaN for a string value
  std::string text;    // the value as shown (its value label when it has one)
};

enum class Axis { Rows, Columns };

// Where BP_ANNOTATE puts its text (the codes of the host interface).
using mva::AnnotationCode;

// How a message is presented, by its severity alone: 3 and above an error,
// 2 a warning, anything lower a note. (The class says what the message is
// about: 1 command syntax, 2 a run-time condition.)
enum class MessageKind { Error, Warning, Note };
MessageKind message_kind(int severity);
// "error", "warning" or "note".
std::string_view message_kind_name(MessageKind kind);
// "Error", "Warning" or "Note".
std::string_view message_label(MessageKind kind);

// True for the codes that put a marked footnote on an element; every other
// code makes a note under the table.
bool is_footnote_code(int code);

// The marker of the footnote with this index: a, b, ..., z, aa, ab, ...
std::string footnote_marker(int index);

// A category of a dimension, or a group label with categories under it.
struct Category {
  Text label;
  std::string text;            // display(label)
  int parent = -1;             // index of the enclosing group; -1 at the top
  std::vector<int> children;   // in the order they were added
  bool group = false;          // opened by begin_group
  bool ungrouped = false;      // shown flat: its label beside its children
  std::vector<int> footnotes;  // indices into PivotTable::annotations
};

struct Dimension {
  Text name;
  std::string text;                // display(name)
  bool positioned = false;         // declared by position_dimension
  std::array<int, 4> placement{};  // order, axis (1 columns), show name, reserved
  int sequence = 0;                // declaration order within the table
  std::vector<Category> categories;
  std::vector<int> top;  // top-level categories in order

  // A dimension that is only the cell dimension sits innermost in the columns.
  Axis axis() const { return !positioned || placement[1] == 1 ? Axis::Columns : Axis::Rows; }
  int order() const { return placement[0]; }
  bool show_name() const { return positioned && placement[2] == 1; }
  const std::vector<int>& children_of(int parent) const {
    return parent < 0 ? top : categories[static_cast<std::size_t>(parent)].children;
  }

 private:
  friend class OutputDocument;
  // Category index + 1 by a hash of what makes a category the same: its
  // parent, the variable its label names and the text it shows; 0 free.
  std::vector<std::uint32_t> slots_;
  // Categories found lately, by a hash of parent and label: a label met again
  // (every cell names its variable) is found without being displayed. -1 empty.
  std::array<int, 64> recent_ = filled_recent();
  // An empty recent_: every slot -1.
  static constexpr std::array<int, 64> filled_recent() {
    std::array<int, 64> a{};
    a.fill(-1);
    return a;
  }
  std::vector<int> next_;  // by category: the category found right after it last time; -1 none
  int last_found_ = -1;    // the category found last
  std::vector<int> open_groups_;
  int current_ = -1;
};

// Where a stored cell stands: a category of every dimension, by dimension
// index. A view into the table's cell store, valid while the table is not changed.
class CellAt {
 public:
  using value_type = int;
  using iterator = const int*;
  using const_iterator = const int*;

  CellAt(const int* first, std::size_t size) : first_(first), size_(size) {}  // `size` ints from `first`
  std::size_t size() const { return size_; }                                  // number of dimensions
  int operator[](std::size_t d) const { return first_[d]; }                   // the category in dimension d
  int at(std::size_t d) const;                       // as [], but throws std::out_of_range past the end
  const int* begin() const { return first_; }        // the first dimension's category
  const int* end() const { return first_ + size_; }  // past the last
  friend bool operator==(const CellAt& a, const std::vector<int>& b);  // the same categories

 private:
  const int* first_;
  std::size_t size_;
};

// One stored cell as the renderers read it; the references point into the
// table's cell store.
struct TableCell {
  CellAt at;                          // its category in every dimension
  const Text& value;                  // what it shows
  const std::vector<int>& footnotes;  // indices into PivotTable::annotations
  std::size_t value_index;            // which of the store's distinct values it shows
};

// The cells of one pivot table, in the order they were first stored. A table
// of case patterns has millions of cells that repeat a handful of values, so
// the store keeps every cell's coordinates in one flat array, each distinct
// value once, and a footnote list only for the few cells that have one; the
// index that finds a cell by its coordinates is an open-addressed table of
// cell numbers that reads the coordinates from the flat array.
class CellStore {
 public:
  static constexpr std::uint32_t kNoHint = 0xffffffffU;  // no likely value
  // The distinct values a column of a table was given lately, the latest
  // first (kNoHint where there is none): a column mostly repeats a few values,
  // found among these without hashing the value.
  using Hints = std::array<std::uint32_t, 4>;
  static constexpr Hints kNoHints{kNoHint, kNoHint, kNoHint, kNoHint};

  // Walks the cells in storage order, yielding TableCell views.
  class Iterator {
   public:
    Iterator(const CellStore* store, std::size_t i) : store_(store), i_(i) {}  // cell i of `store`
    TableCell operator*() const { return (*store_)[i_]; }                      // the cell it is at
    Iterator& operator++() {
      ++i_;
      return *this;
    }                                                                        // on to the next cell
    bool operator==(const Iterator& other) const { return i_ == other.i_; }  // at the same cell

   private:
    const CellStore* store_;
    std::size_t i_;
  };

  std::size_t size() const { return value_of_.size(); }          // number of cells
  bool empty() const { return value_of_.empty(); }               // true before the first cell
  TableCell operator[](std::size_t i) const;                     // cell i, in storage order
  Iterator begin() const { return {this, 0}; }                   // the first cell
  Iterator end() const { return {this, size()}; }                // past the last cell
  std::size_t value_count() const { return values_.size(); }     // distinct values kept
  const Text& value(std::size_t k) const { return values_[k]; }  // distinct value k

 private:
  friend class OutputDocument;
  friend class RowSpool;
  friend class StreamedLayout;

  // Stores `value` at `at` (one category per dimension), replacing the value
  // and dropping the footnotes of a cell already there; returns the cell's index.
  // `hints`, when given, are the values likely for `value`, and are brought
  // up to date with it.
  std::size_t put(const std::vector<int>& at, const Text& value, Hints* hints = nullptr);
  // Gives every stored cell category `blank` in a dimension added after them.
  void add_dimension(int blank);
  // The footnote list of cell i, made on first use.
  std::vector<int>& footnotes_of(std::size_t i);
  // Drops every cell, keeping the distinct values (their indices stay valid).
  void clear_cells();

  std::size_t intern(const Text& value, Hints* hints);  // the index of `value` among values_, added if new
  [[gnu::noinline]] std::size_t intern_hinted(const Text& value, Hints& hints);  // intern() past the latest hint
  [[gnu::noinline]] std::size_t intern_new(const Text& value);  // intern() without hints: by the value's hash
  std::size_t coordinate_hash(const int* at) const;             // hash of dims_ coordinates from `at`
  bool same_place(const int* a, const int* b) const;            // true when dims_ coordinates agree
  void grow_cell_slots();  // rehashes every cell, first doubling cell_slots_ until it has room for one more

  std::size_t dims_ = 0;                      // coordinates per cell
  std::vector<int> coords_;                   // cell i's at coords_[i * dims_ ...]
  std::vector<std::uint32_t> value_of_;       // cell i's index into values_
  std::vector<std::uint32_t> notes_of_;       // cell i's footnote list + 1; 0 for none
  std::vector<std::vector<int>> note_lists_;  // the footnote lists of the cells that have one
  std::vector<Text> values_;                  // distinct values, in order of first use
  std::vector<std::uint32_t> cell_slots_;     // cell index + 1 by coordinate hash; 0 free
  std::vector<std::uint32_t> value_slots_;    // value index + 1 by text hash; 0 free
};

struct Annotation {
  Text text;
  std::string shown;  // display(text)
  int code = 0;       // the code of its first use
  int marker = -1;    // footnote marker index; -1 for a note
};

struct PivotTable {
  int number = 0;
  Text title;
  Text subtype;
  bool open = true;
  std::map<int, Text> properties;
  std::vector<Dimension> dimensions;
  int cell_dimension = -1;
  CellStore cells;
  std::vector<Annotation> annotations;  // notes and footnotes, in order of first use
  std::vector<int> title_footnotes;
  // The cases of the split group the table was made in, as the host read
  // them (-1 when not known), and whether they carry weights: the patterns
  // picture sums the cases of the patterns its table leaves out from them.
  std::int64_t group_cases = -1;
  bool weighted = false;
  // A table of one row per case hands its finished rows to `spool` once they
  // pass the document's window; `dimensions[spool_dimension]` and `cells`
  // then hold only the rows since. Null while the table is held whole.
  std::shared_ptr<RowSpool> spool;
  int spool_dimension = -1;

  bool streamed() const { return spool != nullptr; }
  int find_dimension(const Text& name) const;  // index, or -1

 private:
  friend class OutputDocument;
  std::unordered_map<std::string, int> dimension_index_;
  std::vector<int> scratch_at_;               // the coordinates of the cell being stored, kept between calls
  std::vector<CellStore::Hints> value_hint_;  // by category of the cell dimension: the values it was given lately
  int footnote_count_ = 0;
  int last_dimension_ = -1;  // the category or group made current last
  int last_category_ = -1;
  int last_group_dimension_ = -1;  // the group begun last
  int last_group_ = -1;
  int last_cell_ = -1;
};

struct Item;

// Where in a command script a message was raised: the script's name ("-e"
// for commands given on the command line) and the line and column of the
// token being read.
struct SourcePlace {
  std::string file;
  int line = 0;
  int column = 0;
};

struct MessageItem {
  Text text;
  int msg_class = 0;                  // 1 command syntax, 2 a run-time condition
  int severity = 0;                   // 3 an error, 2 a warning, lower a note
  std::optional<SourcePlace> source;  // set when raised while a command is read
  int groups = 0;                     // when above 1: the same message came in each of this many split groups
};

// What is said of a message besides its text: where it was raised and how
// many split groups repeated it ("-e, line 1, column 16; in each of the 3
// split groups"); empty when there is neither.
std::string message_context(const MessageItem& message);

// A note under a heading, or between tables when no heading is open.
struct NoteItem {
  Text text;
};

struct SplitItem {
  std::vector<SplitValue> values;
};

// "sex = Male, region = North", each name and value passed through `escape`.
std::string describe_split(const SplitItem& split, std::string (*escape)(std::string_view));

struct HeadingItem {
  Text text;
  std::vector<Item> items;
};

struct TableItem {
  std::size_t table = 0;  // index for OutputDocument::table()
};

// What a run analyses, opening its output: the data file, its cases and
// variables, the weighting and the split groups. `lines` say it in words
// (catalogue messages); the members give the same numbers for programs.
struct DataItem {
  struct Weight {
    std::string variable;
    std::int64_t left_out = 0;   // cases whose weight is missing or truncates to 0 or below
    std::int64_t truncated = 0;  // cases whose weight has a fraction, cut to a whole number
  };
  struct Split {
    std::vector<std::string> variables;
    std::int64_t groups = 0;        // runs of consecutive cases with equal split values
    std::int64_t combinations = 0;  // distinct combinations of split values
    bool sorted() const { return groups == combinations; }
  };
  std::string file;
  std::int64_t cases = 0;
  std::int64_t variables = 0;
  std::optional<Weight> weight;
  std::optional<Split> split;
  std::vector<Text> lines;
};

// A command as the user gave it, opening that command's output.
struct CommandItem {
  std::string text;  // its lines, joined by line breaks
  std::string file;  // the script's name ("-e" for commands on the command line)
  int line = 0;      // the line the command starts on
};

// What stands over an echoed command: "Command (job.mva, line 3)".
std::string command_heading(const CommandItem& command);

struct Item {
  std::variant<MessageItem, NoteItem, SplitItem, HeadingItem, TableItem, DataItem, CommandItem> content;
};

class OutputDocument {
 public:
  // The host's own table, filled by the procedure without being begun.
  static constexpr int kFilesSavedTable = 1;

  OutputDocument() = default;
  OutputDocument(const OutputDocument&) = delete;
  OutputDocument& operator=(const OutputDocument&) = delete;
  OutputDocument(OutputDocument&&) = default;
  OutputDocument& operator=(OutputDocument&&) = default;

  void add_message(const Text& text, int msg_class, int severity);
  void add_message(MessageItem message);
  void add_split(std::vector<SplitValue> values);
  // Both go at the top level, outside any heading.
  void add_data(DataItem data);
  void add_command(CommandItem command);
  void begin_heading(const Text& text);
  void end_heading();

  // Every call that names a table which is not open throws std::logic_error,
  // except that table 1 is created by the first call naming it.
  void begin_table(int number, const Text& title, const Text& subtype);
  // Records the group_cases and weighted of open table `number`.
  void describe_group(int number, std::int64_t cases, bool weighted);
  void end_table(int number);
  void table_property(int number, int property, const Text& value);
  void position_dimension(int number, const Text& name, std::array<int, 4> placement);
  void cell_dimension(int number, const Text& name);
  void category(int number, const Text& category, const Text& dimension);
  void begin_group(int number, const Text& group, const Text& dimension);
  void end_group(int number, const Text& dimension);
  void ungroup(int number);
  void cell(int number, const Text& value, const Text& category);
  // cell() for each value and its category in turn, the categories of the
  // other dimensions worked out once for the row.
  void cells(int number, std::span<const Text* const> values, std::span<const Text> categories);
  void annotate(const Text& text, int code);

  // Ends every table still open, table 1 included, and every heading: what
  // the next procedure writes stands on its own.
  void close_all();
  // Among the top-level items from index `first` on, which hold one
  // procedure's split groups (each begun by its split marker): a message
  // other than an error that stands identically in every group is taken out
  // of the groups and shown once, before the first marker, with the number
  // of groups. Call after close_all().
  void fold_group_repeats(std::size_t first);

  bool empty() const { return items_.empty(); }
  const std::vector<Item>& items() const { return items_; }
  const PivotTable& table(std::size_t index) const { return *tables_.at(index); }
  std::size_t table_count() const { return tables_.size(); }
  bool is_open(int number) const { return open_.count(number) != 0; }

  // A table of one row per case keeps at most `rows` rows in memory: the
  // rows before are written to a temporary file as the next one begins, and
  // the renderers read them back. 0 holds every table whole.
  void stream_rows_after(std::size_t rows) { window_ = rows; }
  static constexpr std::size_t kDefaultWindow = 512;

 private:
  enum class Target { None, Table, Heading };

  std::vector<Item>& current_items();
  PivotTable& create_table(int number, const Text& title, const Text& subtype);
  PivotTable& open_table(int number, std::string_view call);
  // open_table() when the table named last is not it.
  [[gnu::noinline]] PivotTable& find_open_table(int number, std::string_view call);
  int dimension_of(PivotTable& table, const Text& name, std::string_view call);
  int add_dimension(PivotTable& table, const Text& name);
  int find_or_add(Dimension& dimension, const Text& label, int parent);  // the category, added if new
  // find_or_add() when the category after the one found last is not it.
  [[gnu::noinline]] int find_or_add_missed(Dimension& dimension, const Text& label, int parent);
  int find_or_add_shown(Dimension& dimension, const Text& label, int parent);  // the same, by its identity
  // Stores values[k] in categories[k] of the cell dimension of table
  // `number` (as `call` of the host), for k in turn.
  void store_cells(int number, std::span<const Text* const> values, std::span<const Text> categories,
                   std::string_view call);
  // The category under `parent` that names `variable` (0 for none) and shows
  // `shown`; -1 when there is none.
  static int find_shown(const Dimension& dimension, int parent, std::int64_t variable, std::string_view shown);
  int blank_category(Dimension& dimension);
  void attach_footnote(PivotTable& table, std::vector<int>& target, const Text& text, int code);
  void add_note(PivotTable& table, const Text& text, int code);
  // Before a new top-level category of dimension d: hands the rows held so
  // far to the table's spool when they fill the window.
  void spill_rows(PivotTable& table, int d, const Text& label);

  std::vector<Item> items_;
  std::vector<HeadingItem*> headings_;  // open headings, outermost first
  std::vector<std::unique_ptr<PivotTable>> tables_;
  std::unordered_map<int, std::size_t> open_;  // table number -> index
  Target last_target_ = Target::None;
  std::size_t last_table_ = 0;
  std::size_t window_ = kDefaultWindow;
};

}  // namespace mva::host
