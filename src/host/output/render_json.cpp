// The JSON presentation, for programs: one document {"output": [...]} with
// what the run analyses ("data"), each command as given ("command"), and
// every message, note, split marker, heading and table in order. Every title,
// dimension, category and message carries its message key (null when it has
// none) and its display text; every cell carries its raw number (null for
// system-missing and for texts), the text as shown, and its coordinates: the
// innermost category of each dimension ("at") and the categories from the
// outermost group down ("path"). A message carries its class (1 command
// syntax, 2 run-time), severity and the label it is shown with ("kind"), and,
// when raised while a command was read, its place in the script ("source").
// Every system-missing number is null. Footnote markers are listed on the
// elements they mark, and each footnote carries its marker.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/output/renderers.h"
#include "host/output/row_spool.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

using nlohmann::ordered_json;

ordered_json key_json(const Text& text) {
  std::string key = key_of(text);
  return key.empty() ? ordered_json(nullptr) : ordered_json(std::move(key));
}

ordered_json labelled(const Text& text) {
  ordered_json j;
  j["key"] = key_json(text);
  j["text"] = display(text);
  return j;
}

// Whole numbers as integers (counts read as 10, not 10.0); null for
// system-missing.
ordered_json number_json(double number) {
  if (is_system_missing(number)) return nullptr;
  constexpr double kExact = 9007199254740992.0;  // 2^53: integers up to here are exact
  if (std::trunc(number) == number && std::fabs(number) <= kExact) {
    return static_cast<std::int64_t>(number);
  }
  return number;
}

// The number a value stands for: null when system-missing or not a number.
ordered_json number_json(const Text& value) {
  const bool numeric =
      value.kind == Text::Kind::Number || (value.kind == Text::Kind::VarValue && value.format.type != 1);
  if (!numeric) return nullptr;
  return number_json(value.number);
}

// The parameters of a text: numbers as numbers, everything else as shown.
ordered_json params_json(const Text& text) {
  ordered_json params = ordered_json::array();
  if (text.kind == Text::Kind::Composite || text.kind == Text::Kind::Key) {
    for (const Text& p : text.params) {
      params.push_back(p.kind == Text::Kind::Number ? number_json(p) : ordered_json(display(p)));
    }
  }
  return params;
}

void add_markers(ordered_json& j, const PivotTable& table, const std::vector<int>& footnotes) {
  if (footnotes.empty()) return;
  ordered_json markers = ordered_json::array();
  for (const int f : footnotes)
    markers.push_back(footnote_marker(table.annotations[static_cast<std::size_t>(f)].marker));
  j["footnotes"] = std::move(markers);
}

ordered_json category_json(const PivotTable& table, const Dimension& dim, int index) {
  const Category& category = dim.categories[static_cast<std::size_t>(index)];
  ordered_json j;
  j["key"] = key_json(category.label);
  j["text"] = category.text;
  if (category.label.kind == Text::Kind::Variable) j["variable"] = category.label.name;
  if (category.label.kind == Text::Kind::VarValue) j["value"] = number_json(category.label);
  if (category.group || !category.children.empty()) {
    ordered_json children = ordered_json::array();
    for (const int c : category.children) children.push_back(category_json(table, dim, c));
    j["children"] = std::move(children);
    if (category.ungrouped) j["ungrouped"] = true;
  }
  add_markers(j, table, category.footnotes);
  return j;
}

// How a dimension or a category is named in a cell's "at": its key, else the
// variable it names, else its text.
std::string dimension_name(const Dimension& dim) {
  std::string key = key_of(dim.name);
  return key.empty() ? dim.text : key;
}

std::string category_name(const Category& category) {
  std::string key = key_of(category.label);
  if (!key.empty()) return key;
  if (category.label.kind == Text::Kind::Variable) return category.label.name;
  return category.text;
}

// The categories from the outermost group down to `leaf`, each named as in "at".
ordered_json category_path(const Dimension& dim, int leaf) {
  std::vector<std::string> names;
  for (int c = leaf; c >= 0; c = dim.categories[static_cast<std::size_t>(c)].parent) {
    names.push_back(category_name(dim.categories[static_cast<std::size_t>(c)]));
  }
  return ordered_json(std::vector<std::string>(names.rbegin(), names.rend()));
}

// The members of a table before its cells: type, number, title, subtype,
// properties, dimensions and the cell dimension.
ordered_json table_head_json(const PivotTable& table) {
  ordered_json j;
  j["type"] = "table";
  j["number"] = table.number;
  ordered_json title = labelled(table.title);
  add_markers(title, table, table.title_footnotes);
  j["title"] = std::move(title);
  const std::string subtype_key = key_of(table.subtype);
  j["subtype"] = subtype_key.empty() ? display(table.subtype) : subtype_key;

  ordered_json properties = ordered_json::object();
  for (const auto& [property, value] : table.properties) {
    properties[std::to_string(property)] =
        value.kind == Text::Kind::Number ? number_json(value) : ordered_json(display(value));
  }
  j["properties"] = std::move(properties);

  ordered_json dimensions = ordered_json::array();
  for (const Dimension& dim : table.dimensions) {
    ordered_json d;
    d["name"] = labelled(dim.name);
    d["axis"] = dim.axis() == Axis::Columns ? "column" : "row";
    d["codes"] = dim.positioned ? ordered_json(dim.placement) : ordered_json::array();
    ordered_json categories = ordered_json::array();
    for (const int c : dim.top) categories.push_back(category_json(table, dim, c));
    d["categories"] = std::move(categories);
    dimensions.push_back(std::move(d));
  }
  j["dimensions"] = std::move(dimensions);
  j["cell_dimension"] = table.cell_dimension < 0
                            ? ordered_json(nullptr)
                            : labelled(table.dimensions[static_cast<std::size_t>(table.cell_dimension)].name);
  return j;
}

// One cell: its coordinates, raw number, text and footnote markers. `names`
// holds each dimension's name as "at" and "path" key it.
ordered_json cell_json(const PivotTable& table, const TableCell& cell, const std::vector<std::string>& names) {
  ordered_json c;
  ordered_json at = ordered_json::object();
  ordered_json path = ordered_json::object();
  for (std::size_t d = 0; d < cell.at.size(); ++d) {
    const Dimension& dim = table.dimensions[d];
    at[names[d]] = category_name(dim.categories[static_cast<std::size_t>(cell.at[d])]);
    path[names[d]] = category_path(dim, cell.at[d]);
  }
  c["at"] = std::move(at);
  c["path"] = std::move(path);
  c["value"] = number_json(cell.value);
  c["text"] = display(cell.value);
  add_markers(c, table, cell.footnotes);
  return c;
}

// The table's notes and footnotes, in order of first use.
ordered_json footnotes_json(const PivotTable& table) {
  ordered_json footnotes = ordered_json::array();
  for (const Annotation& a : table.annotations) {
    ordered_json f;
    f["key"] = key_json(a.text);
    f["text"] = a.shown;
    f["code"] = a.code;
    f["params"] = params_json(a.text);
    if (a.marker >= 0) f["marker"] = footnote_marker(a.marker);
    footnotes.push_back(std::move(f));
  }
  return footnotes;
}

// ---- Writing -----------------------------------------------------------------------
// A table of case patterns has millions of cells, far too many to hold as one
// JSON tree; the document is written piece by piece instead, each piece laid
// out exactly as a pretty-printed dump of the whole tree would lay it out.

// Texts from the data may hold bytes that are not UTF-8: they are shown as
// replacement characters rather than fail.
std::string dumped(const ordered_json& j) { return j.dump(2, ' ', false, ordered_json::error_handler_t::replace); }

// Appends `j` as it stands at nesting depth `depth`: every line after its
// first indented by two more spaces a level. (Strings are escaped, so every
// line break in a dump falls between elements.)
void append_json(std::string& out, const ordered_json& j, int depth) {
  const std::string text = dumped(j);
  const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
  std::size_t from = 0;
  for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
    out.append(text, from, nl + 1 - from);
    out += indent;
    from = nl + 1;
  }
  out.append(text, from);
}

// Writes an object or an array at nesting depth `depth` member by member.
class Container {
 public:
  // Opens it with `open` ('{' or '[').
  Container(std::string& out, int depth, char open) : out_(out), depth_(depth), close_(open == '{' ? '}' : ']') {
    out_ += open;
  }
  // Starts the next element of an array.
  void element() {
    out_ += first_ ? "\n" : ",\n";
    first_ = false;
    out_.append(2 * (static_cast<std::size_t>(depth_) + 1), ' ');
  }
  // Starts the member `name` of an object; its value follows.
  void member(const std::string& name) {
    element();
    out_ += dumped(ordered_json(name));
    out_ += ": ";
  }
  // Closes it: an empty one stays on its line.
  void close() {
    if (!first_) {
      out_ += '\n';
      out_.append(2 * static_cast<std::size_t>(depth_), ' ');
    }
    out_ += close_;
  }

 private:
  std::string& out_;
  int depth_;
  char close_;
  bool first_ = true;
};

// Appends `text` as a JSON string. A text of printable ASCII with no quote
// or backslash stands as it is between quotes; any other goes through the
// library's escaping, so that both read the same.
void append_string(std::string& out, std::string_view text) {
  const bool plain =
      std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7e && c != '"' && c != '\\'; });
  if (plain) {
    out += '"';
    out += text;
    out += '"';
  } else {
    out += dumped(ordered_json(std::string(text)));
  }
}

void append_indent(std::string& out, int depth) { out.append(2 * static_cast<std::size_t>(depth), ' '); }

// Appends an array of strings at nesting depth `depth`, as append_json lays
// out the same array.
void append_strings(std::string& out, const std::vector<std::string>& items, int depth) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (std::size_t k = 0; k < items.size(); ++k) {
    append_indent(out, depth + 1);
    append_string(out, items[k]);
    out += k + 1 < items.size() ? ",\n" : "\n";
  }
  append_indent(out, depth);
  out += ']';
}

// The text that starts each member of a category at a nesting depth ("{\n"
// or ",\n", the indentation and the quoted name with ": "), and the text that
// ends the category, made once a depth: a case table writes them for a
// category a row.
class MemberStarts {
 public:
  enum Member : std::size_t { kKey, kText, kVariable, kValue, kChildren, kUngrouped, kFootnotes, kEnd, kCount };

  const std::string& operator()(int depth, Member member) {
    const auto d = static_cast<std::size_t>(depth);
    if (made_.size() <= d) made_.resize(d + 1);
    std::array<std::string, kCount>& texts = made_[d];
    if (texts[kKey].empty()) {
      constexpr std::array<std::string_view, kEnd> kNames = {"key",      "text",      "variable", "value",
                                                             "children", "ungrouped", "footnotes"};
      for (std::size_t m = 0; m < kNames.size(); ++m) {
        std::string& t = texts[m];
        t = m == kKey ? "{\n" : ",\n";
        append_indent(t, depth + 1);
        t.append("\"").append(kNames[m]).append("\": ");
      }
      texts[kEnd] = "\n";
      append_indent(texts[kEnd], depth);
      texts[kEnd] += '}';
    }
    return texts[member];
  }

 private:
  std::vector<std::array<std::string, kCount>> made_;  // by depth
};

// Appends category `index` of `dim` at nesting depth `depth`, as append_json
// lays out category_json(table, dim, index): a case table has a category a
// row, too many to build each as a JSON tree.
void append_category(std::string& out, const PivotTable& table, const Dimension& dim, int index, int depth,
                     MemberStarts& starts) {
  const Category& category = dim.categories[static_cast<std::size_t>(index)];
  const auto member = [&](MemberStarts::Member m) { out += starts(depth, m); };
  member(MemberStarts::kKey);
  const std::string key = key_of(category.label);
  if (key.empty()) {
    out += "null";
  } else {
    append_string(out, key);
  }
  member(MemberStarts::kText);
  append_string(out, category.text);
  if (category.label.kind == Text::Kind::Variable) {
    member(MemberStarts::kVariable);
    append_string(out, category.label.name);
  }
  if (category.label.kind == Text::Kind::VarValue) {
    member(MemberStarts::kValue);
    out += dumped(number_json(category.label));
  }
  if (category.group || !category.children.empty()) {
    member(MemberStarts::kChildren);
    if (category.children.empty()) {
      out += "[]";
    } else {
      out += "[\n";
      for (std::size_t k = 0; k < category.children.size(); ++k) {
        append_indent(out, depth + 2);
        append_category(out, table, dim, category.children[k], depth + 2, starts);
        out += k + 1 < category.children.size() ? ",\n" : "\n";
      }
      append_indent(out, depth + 1);
      out += ']';
    }
    if (category.ungrouped) {
      member(MemberStarts::kUngrouped);
      out += "true";
    }
  }
  if (!category.footnotes.empty()) {
    std::vector<std::string> markers;
    for (const int f : category.footnotes) {
      markers.push_back(footnote_marker(table.annotations[static_cast<std::size_t>(f)].marker));
    }
    member(MemberStarts::kFootnotes);
    append_strings(out, markers, depth + 1);
  }
  member(MemberStarts::kEnd);
}

// Writes the cells of a table, laid out as dumps of cell_json() would be.
// A cell is a run of pieces made once and kept one after another in a
// string of their own: each category's member of "at" and of "path" (with
// the text before and the separator after it), and each distinct value's
// number and text with the end of the cell. A case table has millions of
// cells: each is copied piece by piece into a buffer of the writer's own,
// which is handed on as it fills. Every piece and the buffer have room to
// spare past their ends, so that a piece is copied in whole 64-byte steps
// and nothing is filled before it is written.
class CellWriter {
 public:
  // For cells at nesting depth `depth` of tables with these dimension names
  // (at least one); `rows` is the dimension whose categories change from one
  // part of the table to the next (-1 for none).
  CellWriter(const std::vector<std::string>& names, int depth, int rows)
      : depth_(depth), rows_(rows), at_(names.size()), path_(names.size()), parts_(2 * names.size() + 1) {
    for (const std::string& name : names) {
      std::string key;
      append_indent(key, depth + 2);
      key += dumped(ordered_json(name)).append(": ");
      keys_.push_back(std::move(key));
    }
    const auto line = [&](std::string_view before, int levels, std::string_view after) {
      std::string piece(before);
      append_indent(piece, depth + levels);
      piece += after;
      return piece;
    };
    separator_ = line(",\n", 0, "");
    open_ = line("{\n", 1, "\"at\": {\n");
    to_path_ = line("", 1, "},\n") + line("", 1, "\"path\": {\n");
    to_value_ = line("", 1, "},\n") + line("", 1, "\"value\": ");
    to_text_ = line(",\n", 1, "\"text\": ");
    to_footnotes_ = line(",\n", 1, "\"footnotes\": ");
    close_ = line("\n", 0, "}");
    for (std::size_t d = 0; d < keys_.size(); ++d) {
      // The first member of "at" comes with the start of the cell and the
      // separator before it, cut off for the first cell.
      at_starts_.push_back((d == 0 ? separator_ + open_ : std::string()) + keys_[d]);
      path_starts_.push_back((d == 0 ? to_path_ : std::string()) + keys_[d] + line("[\n", 3, ""));
    }
    path_between_ = line(",\n", 3, "");
    path_end_ = line("\n", 2, "]");
  }

  // Starts a part of the table: its own case categories, the same values.
  void begin(const PivotTable& part) {
    table_ = &part;
    if (rows_ >= 0) {
      at_[static_cast<std::size_t>(rows_)].clear();
      path_[static_cast<std::size_t>(rows_)].clear();
    }
  }

  // Adds one cell of the part begun last to the writer's buffer, after the
  // separator from the cell before when `separated`.
  void write(const TableCell& cell, bool separated) {
    assert(cell.at.size() > 0 && cell.at.size() == keys_.size());
    const std::size_t dims = cell.at.size();
    for (std::size_t d = 0; d < dims; ++d) {
      parts_[d] = piece(at_[d], d, cell.at[d], false);
      parts_[dims + d] = piece(path_[d], d, cell.at[d], true);
    }
    std::string_view value = value_piece(cell);
    // A cell with footnotes has them between its text and its end.
    const bool noted = !cell.footnotes.empty();
    if (noted) value.remove_suffix(close_.size());
    parts_[2 * dims] = value;
    if (!separated) parts_[0].remove_prefix(separator_.size());
    std::size_t size = 0;
    for (const std::string_view part : parts_) size += part.size();
    room(size);
    char* p = buffer_.get() + used_;
    for (const std::string_view part : parts_) p = copy(p, part);
    used_ = static_cast<std::size_t>(p - buffer_.get());
    if (noted) {
      ordered_json markers;
      add_markers(markers, *table_, cell.footnotes);
      std::string tail = to_footnotes_;
      append_json(tail, markers["footnotes"], depth_ + 1);
      tail += close_;
      room(tail.size());
      std::memcpy(buffer_.get() + used_, tail.data(), tail.size());
      used_ += tail.size();
    }
  }

  // Hands on the buffered cells once there are enough of them: to `write`
  // after what `out` holds, or appended to `out` when there is no `write`.
  // As spill() does, line ends at the very end wait for what follows.
  void spill(std::string& out, const Write& write) {
    if (used_ < kSpillBytes) return;
    std::size_t safe = used_;
    while (safe > 0 && buffer_[safe - 1] == '\n') --safe;
    if (!write || safe == 0) {
      finish(out);
      return;
    }
    if (!out.empty()) {
      write(out);
      out.clear();
    }
    write(std::string_view(buffer_.get(), safe));
    std::memmove(buffer_.get(), buffer_.get() + safe, used_ - safe);
    used_ -= safe;
  }

  // Appends what is still buffered to `out`.
  void finish(std::string& out) {
    out.append(buffer_.get(), used_);
    used_ = 0;
  }

 private:
  // The pieces of one kind, one after another in `chars`; `where` holds each
  // one's start and size by category or value (size 0 while not made).
  struct Pieces {
    std::string chars;
    std::vector<std::pair<std::size_t, std::size_t>> where;

    void clear() {
      chars.clear();
      where.clear();
    }
    // Piece k, or an empty view while it is not made.
    std::string_view find(std::size_t k) const {
      if (k >= where.size()) return {};
      return std::string_view(chars.data() + where[k].first, where[k].second);
    }
    // Keeps `piece` as piece k, with kSlack bytes after it that copy() may read.
    std::string_view keep(std::size_t k, const std::string& piece) {
      const std::size_t start = chars.size();
      chars += piece;
      return keep_made(k, start);
    }
    // Keeps what was added to `chars` from `start` on as piece k.
    std::string_view keep_made(std::size_t k, std::size_t start) {
      if (where.size() <= k) where.resize(k + 1, {0, 0});
      where[k] = {start, chars.size() - start};
      chars.append(kSlack, '\0');
      return find(k);
    }
  };

  static constexpr std::size_t kStep = 64;
  static constexpr std::size_t kSlack = kStep;
  // Hand the buffer on from this size: small enough to stay in the
  // processor's cache while it is filled.
  static constexpr std::size_t kSpillBytes = std::size_t{1} << 18;

  // Copies a kept piece to `to` in whole steps, which may write up to a step
  // past its end; returns the end of the copy.
  static char* copy(char* to, std::string_view piece) {
    for (std::size_t k = 0; k < piece.size(); k += kStep) std::memcpy(to + k, piece.data() + k, kStep);
    return to + piece.size();
  }

  // Makes room in the buffer for `size` more bytes and the slack of a copy.
  void room(std::size_t size) {
    const std::size_t need = used_ + size + kSlack;
    if (need <= capacity_) return;
    const std::size_t capacity = std::max(need, std::max(2 * capacity_, kSpillBytes + 4096));
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (used_ > 0) std::memcpy(grown.get(), buffer_.get(), used_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
  }

  // The member of category c of dimension d in "at" or "path", made on first use.
  std::string_view piece(Pieces& pieces, std::size_t d, int c, bool path) {
    const std::string_view made = pieces.find(static_cast<std::size_t>(c));
    return made.empty() ? make_piece(pieces, d, c, path) : made;
  }
  [[gnu::noinline]] std::string_view make_piece(Pieces& pieces, std::size_t d, int c, bool path) {
    const Dimension& dim = table_->dimensions[d];
    // Made in place at the end of the kept pieces, from texts made once.
    std::string& p = pieces.chars;
    const std::size_t start = p.size();
    if (path) {
      // The names from the outermost group down, as append_strings lays them out.
      chain_.clear();
      for (int k = c; k >= 0; k = dim.categories[static_cast<std::size_t>(k)].parent) chain_.push_back(k);
      p += path_starts_[d];
      for (std::size_t k = chain_.size(); k-- > 0;) {
        append_string(p, category_name(dim.categories[static_cast<std::size_t>(chain_[k])]));
        p += k > 0 ? path_between_ : path_end_;
      }
    } else {
      p += at_starts_[d];
      append_string(p, category_name(dim.categories[static_cast<std::size_t>(c)]));
    }
    p += d + 1 < keys_.size() ? ",\n" : "\n";
    return pieces.keep_made(static_cast<std::size_t>(c), start);
  }

  // The number and text of the cell's value with what stands around them,
  // made on first use.
  std::string_view value_piece(const TableCell& cell) {
    const std::string_view made = value_.find(cell.value_index);
    return made.empty() ? make_value_piece(cell) : made;
  }
  [[gnu::noinline]] std::string_view make_value_piece(const TableCell& cell) {
    return value_.keep(cell.value_index, to_value_ + dumped(number_json(cell.value)) + to_text_ +
                                             dumped(ordered_json(display(cell.value))) + close_);
  }

  const PivotTable* table_ = nullptr;
  int depth_;
  int rows_;
  std::vector<std::string> keys_;  // each dimension's name as a cell's key, indented, with ": "
  std::string separator_, open_, to_path_, to_value_, to_text_, to_footnotes_, close_;  // the text between the parts
  std::vector<Pieces> at_, path_;                                                       // by dimension, by category
  Pieces value_;                                                                        // by distinct value
  std::unique_ptr<char[]> buffer_;                                                      // the cells not yet handed on
  std::size_t used_ = 0, capacity_ = 0;
  std::vector<std::string_view> parts_;               // the pieces of the cell being written
  std::vector<std::string> at_starts_, path_starts_;  // by dimension: the text before its member's name(s)
  std::string path_between_, path_end_;               // between the names of a path and after the last
  std::vector<int> chain_;                            // the categories of a path being made, innermost first
};

// The "dimensions" member of a streamed table: the case dimension's
// categories read back block by block, every other dimension as it stands.
void write_streamed_dimensions(std::string& out, const PivotTable& table, const ordered_json& dimensions, int depth,
                               const Write& write) {
  const auto rows = static_cast<std::size_t>(table.spool_dimension);
  Container array(out, depth, '[');
  for (std::size_t d = 0; d < dimensions.size(); ++d) {
    array.element();
    if (d != rows) {
      append_json(out, dimensions[d], depth + 1);
      continue;
    }
    Container object(out, depth + 1, '{');
    for (auto it = dimensions[d].begin(); it != dimensions[d].end(); ++it) {
      object.member(it.key());
      if (it.key() != "categories") {
        append_json(out, it.value(), depth + 2);
        continue;
      }
      Container categories(out, depth + 2, '[');
      MemberStarts starts;
      for_each_row_block(table, [&](const PivotTable& part) {
        const Dimension& dim = part.dimensions[rows];
        for (const int c : dim.top) {
          categories.element();
          append_category(out, part, dim, c, depth + 3, starts);
          spill(out, write);
        }
      });
      categories.close();
    }
    object.close();
  }
  array.close();
}

void write_table(std::string& out, const PivotTable& table, const std::string* plot, int depth, const Write& write) {
  Container object(out, depth, '{');
  const ordered_json head = table_head_json(table);
  for (auto it = head.begin(); it != head.end(); ++it) {
    object.member(it.key());
    if (table.streamed() && it.key() == "dimensions") {
      write_streamed_dimensions(out, table, it.value(), depth + 1, write);
    } else {
      append_json(out, it.value(), depth + 1);
    }
  }
  std::vector<std::string> names;
  names.reserve(table.dimensions.size());
  for (const Dimension& dim : table.dimensions) names.push_back(dimension_name(dim));
  object.member("cells");
  Container cells(out, depth + 1, '[');
  // Two dimensions of one name share one key in "at" and "path": such a
  // table's cells go through the general object.
  const bool distinct = !names.empty() && std::set<std::string>(names.begin(), names.end()).size() == names.size();
  // A streamed table's cells come block by block, each block with the case
  // categories of its own rows.
  CellWriter writer(names, depth + 2, table.streamed() ? table.spool_dimension : -1);
  bool first = true;
  for_each_row_block(table, [&](const PivotTable& part) {
    writer.begin(part);
    for (const TableCell& cell : part.cells) {
      // The writer puts the separator between cells itself.
      if (first || !distinct) cells.element();
      if (distinct) {
        writer.write(cell, !first);
        writer.spill(out, write);
      } else {
        append_json(out, cell_json(part, cell, names), depth + 2);
        spill(out, write);
      }
      first = false;
    }
  });
  writer.finish(out);
  cells.close();
  object.member("footnotes");
  append_json(out, footnotes_json(table), depth + 1);
  if (plot != nullptr) {
    // The picture's file name only: the folder is the caller's.
    object.member("plot");
    append_json(out, ordered_json(std::filesystem::path(*plot).filename().string()), depth + 1);
  }
  object.close();
}

ordered_json message_json(const MessageItem& message) {
  ordered_json j;
  j["type"] = "message";
  j["key"] = key_json(message.text);
  j["text"] = display(message.text);
  j["params"] = params_json(message.text);
  j["class"] = message.msg_class;
  j["severity"] = message.severity;
  j["kind"] = message_kind_name(message_kind(message.severity));
  if (message.source) {
    j["source"] = {{"file", message.source->file}, {"line", message.source->line}, {"column", message.source->column}};
  }
  if (message.groups > 1) j["groups"] = message.groups;
  return j;
}

// What the run analyses: the numbers as members (weight and split null when
// there are none) and the lines that say them, as messages are given.
ordered_json data_json(const DataItem& data) {
  ordered_json j;
  j["type"] = "data";
  j["file"] = data.file;
  j["cases"] = data.cases;
  j["variables"] = data.variables;
  j["weight"] = nullptr;
  if (data.weight) {
    j["weight"] = {{"variable", data.weight->variable},
                   {"left_out", data.weight->left_out},
                   {"truncated", data.weight->truncated}};
  }
  j["split"] = nullptr;
  if (data.split) {
    j["split"] = {{"variables", data.split->variables},
                  {"groups", data.split->groups},
                  {"combinations", data.split->combinations},
                  {"sorted", data.split->sorted()}};
  }
  ordered_json lines = ordered_json::array();
  for (const Text& line : data.lines) {
    ordered_json l;
    l["key"] = key_json(line);
    l["text"] = display(line);
    l["params"] = params_json(line);
    lines.push_back(std::move(l));
  }
  j["lines"] = std::move(lines);
  return j;
}

void write_items(std::string& out, const OutputDocument& document, const PlotFiles& plots,
                 const std::vector<Item>& items, int depth, const Write& write) {
  Container array(out, depth, '[');
  for (const Item& item : items) {
    array.element();
    if (const auto* message = std::get_if<MessageItem>(&item.content)) {
      append_json(out, message_json(*message), depth + 1);
    } else if (const auto* note = std::get_if<NoteItem>(&item.content)) {
      // A note under a heading or between tables, made by BP_ANNOTATE.
      ordered_json j;
      j["type"] = "note";
      j["key"] = key_json(note->text);
      j["text"] = display(note->text);
      j["params"] = params_json(note->text);
      append_json(out, j, depth + 1);
    } else if (const auto* split = std::get_if<SplitItem>(&item.content)) {
      ordered_json values = ordered_json::array();
      for (const SplitValue& v : split->values) {
        ordered_json value;
        value["variable"] = v.variable;
        value["value"] = number_json(v.value);  // null for a string or a missing value
        value["text"] = v.text;
        values.push_back(std::move(value));
      }
      ordered_json j;
      j["type"] = "split";
      j["values"] = std::move(values);
      append_json(out, j, depth + 1);
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      Container object(out, depth + 1, '{');
      object.member("type");
      out += "\"heading\"";
      object.member("key");
      append_json(out, key_json(heading->text), depth + 2);
      object.member("text");
      append_json(out, ordered_json(display(heading->text)), depth + 2);
      object.member("items");
      write_items(out, document, plots, heading->items, depth + 2, write);
      object.close();
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      const auto file = plots.find(table->table);
      write_table(out, document.table(table->table), file == plots.end() ? nullptr : &file->second, depth + 1, write);
    } else if (const auto* data = std::get_if<DataItem>(&item.content)) {
      append_json(out, data_json(*data), depth + 1);
    } else if (const auto* command = std::get_if<CommandItem>(&item.content)) {
      ordered_json j;
      j["type"] = "command";
      j["text"] = command->text;
      j["source"] = {{"file", command->file}, {"line", command->line}};
      append_json(out, j, depth + 1);
    }
  }
  array.close();
}

}  // namespace

namespace {

void render(const OutputDocument& document, const PlotFiles& plots, std::string& out, const Write& write) {
  Container object(out, 0, '{');
  object.member("output");
  write_items(out, document, plots, document.items(), 1, write);
  object.close();
  out += '\n';
}

}  // namespace

std::string render_json(const OutputDocument& document, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, nullptr);
  return out;
}

void render_json_to(const OutputDocument& document, const Write& write, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, write);
  write(out);
}

}  // namespace mva::host
