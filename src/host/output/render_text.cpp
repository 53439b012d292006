// The text presentation, for a terminal: what the run analyses, each command
// as given (indented under its place in the script), messages as "Error: ...",
// "Warning: ...", "Note: ..." lines in the order they happen (with the place
// in the script and the number of split groups in parentheses), headings
// underlined, and each pivot table as an aligned grid with its notes and
// footnotes under it.
#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>
#include <string_view>

#include "host/output/renderers.h"
#include "host/output/streamed_layout.h"
#include "host/output/table_layout.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

constexpr std::string_view kGap = "  ";

// Columns taken on a terminal: one per UTF-8 character.
std::size_t text_width(std::string_view s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Footnote markers stand in brackets after the text they annotate: "Mean[a]".
std::string bracketed(const std::string& markers) { return markers.empty() ? "" : "[" + markers + "]"; }

// Columns a cell takes: its text and its bracketed markers.
std::size_t shown_width(const TableGrid& grid, const GridCell& cell) {
  const std::string& markers = grid.markers(cell);
  return text_width(grid.text(cell)) + (markers.empty() ? 0 : text_width(markers) + 2);
}

void trim_right(std::string& line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
}

// Writes the lines of a grid, each cell's text and markers padded to its
// columns as it is aligned, without trailing blanks. A block of a case
// table has millions of cells showing a few texts, so the grid's strings
// are measured once a block, and each line is written in place into a
// buffer of the writer's own with copies of a fixed 16 bytes (the buffer
// and the copy of the strings have that much room past their ends); the
// buffer goes to the output once a block.
class LineWriter {
 public:
  explicit LineWriter(const std::vector<std::size_t>& widths) : widths_(widths) {}

  // Measures the strings of `grid`, whose lines come next.
  void use(const TableGrid& grid) {
    grid_ = &grid;
    width_.resize(grid.strings.size());
    offset_.resize(grid.strings.size());
    ink_.resize(grid.strings.size());
    chars_.clear();
    for (std::size_t k = 0; k < grid.strings.size(); ++k) {
      const std::string& text = grid.strings[k];
      width_[k] = text_width(text);
      offset_[k] = chars_.size();
      const std::size_t last = text.find_last_not_of(' ');
      ink_[k] = last == std::string::npos ? 0 : last + 1;
      chars_ += text;
    }
    chars_.append(kSlack, ' ');
  }

  void line(const std::vector<GridCell>& cells) {
    // Room for the line: every cell at most its columns and all its bytes.
    std::size_t bound = 1 + kSlack;
    std::size_t column = 0;
    for (const GridCell& cell : cells) {
      const auto span = static_cast<std::size_t>(cell.span);
      bound += kGap.size() * span + columns(column, span) + size(cell.text) + size(cell.markers) + 2;
      column += span;
    }
    if (buffer_.size() < used_ + bound) buffer_.resize(std::max(2 * buffer_.size(), used_ + bound));
    char* const start = buffer_.data() + used_;
    char* p = start;
    char* ink = start;  // past the last character that is not a blank
    column = 0;
    for (const GridCell& cell : cells) {
      const auto span = static_cast<std::size_t>(cell.span);
      const std::size_t width = columns(column, span);
      if (column > 0) p = blanks(p, kGap.size());
      const bool marked = size(cell.markers) > 0;
      const std::size_t w = width_[cell.text] + (marked ? width_[cell.markers] + 2 : 0);
      const std::size_t room = w >= width ? 0 : width - w;
      const std::size_t before = cell.align == Align::Right ? room : cell.align == Align::Center ? room / 2 : 0;
      p = blanks(p, before);
      if (ink_[cell.text] > 0) ink = p + ink_[cell.text];
      p = put(p, cell.text);
      if (marked) {
        *p++ = '[';
        p = put(p, cell.markers);
        *p++ = ']';
        ink = p;
      }
      p = blanks(p, room - before);
      column += span;
    }
    // The trailing blanks are left out.
    p = ink;
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.data());
  }

  // Appends the lines written so far to `out`.
  void flush(std::string& out) {
    out.append(buffer_.data(), used_);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kSlack = 16;
  static constexpr char kBlanks[kSlack + 1] = "                ";

  std::size_t size(std::uint32_t k) const { return grid_->strings[k].size(); }
  // The width of `span` columns from `column`, with the gaps between them.
  std::size_t columns(std::size_t column, std::size_t span) const {
    if (span == 1) return column < widths_.size() ? widths_[column] : 0;
    std::size_t width = kGap.size() * (span - 1);
    for (std::size_t k = column; k < column + span && k < widths_.size(); ++k) width += widths_[k];
    return width;
  }
  static char* blanks(char* p, std::size_t n) {
    for (std::size_t k = 0; k < n; k += kSlack) std::memcpy(p + k, kBlanks, kSlack);
    return p + n;
  }
  char* put(char* p, std::uint32_t k) const {
    const std::size_t n = size(k);
    const char* from = chars_.data() + offset_[k];
    for (std::size_t i = 0; i < n; i += kSlack) std::memcpy(p + i, from + i, kSlack);
    return p + n;
  }

  const std::vector<std::size_t>& widths_;
  const TableGrid* grid_ = nullptr;
  std::vector<std::size_t> width_;   // by string of the grid: its columns
  std::vector<std::size_t> offset_;  // by string of the grid: where it starts in chars_
  std::vector<std::size_t> ink_;     // by string of the grid: its length without trailing blanks
  std::string chars_;                // the grid's strings one after another, then kSlack blanks
  std::string buffer_;
  std::size_t used_ = 0;
};

void render_table(const PivotTable& table, std::string& out, const Write& write) {
  // A streamed table's body comes block by block, its column widths found
  // as its head is laid out.
  const TableBody body(table, [](std::string_view text, std::string_view markers) {
    return text_width(text) + (markers.empty() ? 0 : text_width(markers) + 2);
  });
  const TableGrid& grid = body.head();
  out += grid.title + bracketed(grid.title_markers) + '\n';
  const auto columns = static_cast<std::size_t>(grid.label_columns) + static_cast<std::size_t>(grid.value_columns);
  if (body.has_body() && columns > 0) {
    std::vector<std::size_t> widths = body.body_widths();
    widths.resize(columns, 0);
    // Single-column headers first, then widen the last column under each
    // spanning header that does not fit yet, narrowest spans first.
    std::vector<std::pair<std::size_t, const GridCell*>> spanning;  // (first column, cell)
    for (const auto& row : grid.header) {
      std::size_t column = 0;
      for (const GridCell& cell : row) {
        if (cell.span == 1) {
          widths[column] = std::max(widths[column], shown_width(grid, cell));
        } else {
          spanning.emplace_back(column, &cell);
        }
        column += static_cast<std::size_t>(cell.span);
      }
    }
    std::stable_sort(spanning.begin(), spanning.end(),
                     [](const auto& a, const auto& b) { return a.second->span < b.second->span; });
    for (const auto& [first, cell] : spanning) {
      const auto span = static_cast<std::size_t>(cell->span);
      const std::size_t have =
          std::accumulate(widths.begin() + static_cast<std::ptrdiff_t>(first),
                          widths.begin() + static_cast<std::ptrdiff_t>(first + span), kGap.size() * (span - 1));
      const std::size_t need = shown_width(grid, *cell);
      if (need > have) widths[first + span - 1] += need - have;
    }
    LineWriter lines(widths);
    lines.use(grid);
    for (const auto& row : grid.header) lines.line(row);
    lines.flush(out);
    if (!grid.header.empty()) {
      const std::size_t total = std::accumulate(widths.begin(), widths.end(), kGap.size() * (columns - 1));
      out += std::string(total, '-') + '\n';
    }
    body.for_each_body([&](const TableGrid& part) {
      lines.use(part);
      for (const auto& row : part.body) lines.line(row);
      lines.flush(out);
      spill(out, write);
    });
  }
  for (const std::string& note : grid.notes) out += note + '\n';
  for (const auto& [marker, text] : grid.footnotes) out += bracketed(marker) + " " + text + '\n';
}

std::string as_is(std::string_view text) { return std::string(text); }

// Makes the output end in an empty line, so that the next block stands apart.
void blank_line(std::string& out) {
  if (out.empty()) return;
  while (out.size() < 2 || out.compare(out.size() - 2, 2, "\n\n") != 0) out += '\n';
}

void render_items(const OutputDocument& document, const PlotFiles& plots, const std::vector<Item>& items, int depth,
                  std::string& out, const Write& write) {
  for (const Item& item : items) {
    if (const auto* message = std::get_if<MessageItem>(&item.content)) {
      const std::string context = message_context(*message);
      out += std::string(message_label(message_kind(message->severity))) + ": " + display(message->text) +
             (context.empty() ? "" : " (" + context + ")") + '\n';
    } else if (const auto* note = std::get_if<NoteItem>(&item.content)) {
      out += display(note->text) + '\n';
    } else if (const auto* split = std::get_if<SplitItem>(&item.content)) {
      blank_line(out);
      out += "Split group: " + describe_split(*split, as_is) + "\n\n";
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      blank_line(out);
      const std::string text = display(heading->text);
      out += text + '\n' + std::string(text_width(text), depth == 0 ? '=' : '-') + '\n';
      render_items(document, plots, heading->items, depth + 1, out, write);
      blank_line(out);
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      blank_line(out);
      render_table(document.table(table->table), out, write);
      if (const auto file = plots.find(table->table); file != plots.end()) out += "Picture: " + file->second + '\n';
      blank_line(out);
    } else if (const auto* data = std::get_if<DataItem>(&item.content)) {
      for (const Text& line : data->lines) out += display(line) + '\n';
      blank_line(out);
    } else if (const auto* command = std::get_if<CommandItem>(&item.content)) {
      // The command indented under its place, so it stands apart from what it prints.
      blank_line(out);
      out += command_heading(*command) + ":\n";
      std::size_t from = 0;
      for (std::size_t nl = 0; nl != std::string::npos; from = nl + 1) {
        nl = command->text.find('\n', from);
        std::string line = "  " + command->text.substr(from, nl == std::string::npos ? nl : nl - from);
        trim_right(line);
        out += line + '\n';
      }
      blank_line(out);
    }
  }
}

}  // namespace

namespace {

void render(const OutputDocument& document, const PlotFiles& plots, std::string& out, const Write& write) {
  render_items(document, plots, document.items(), 0, out, write);
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
}

}  // namespace

std::string render_text(const OutputDocument& document, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, nullptr);
  return out;
}

void render_text_to(const OutputDocument& document, const Write& write, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, write);
  write(out);
}

}  // namespace mva::host
