// The text presentation, for a terminal: what the run analyses, each command
// as given (indented under its place in the script), messages as "Error: ...",
// "Warning: ...", "Note: ..." lines in the order they happen (with the place
// in the script and the number of split groups in parentheses), headings
// underlined, and each pivot table as an aligned grid with its notes and
// footnotes under it.
#include <algorithm>
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

// Appends a cell's text and markers, padded to `width` columns as it is aligned.
void append_padded(std::string& out, const TableGrid& grid, const GridCell& cell, std::size_t width) {
  const std::size_t w = shown_width(grid, cell);
  const std::size_t room = w >= width ? 0 : width - w;
  const std::size_t before = cell.align == Align::Right ? room : cell.align == Align::Center ? room / 2 : 0;
  out.append(before, ' ');
  out += grid.text(cell);
  if (const std::string& markers = grid.markers(cell); !markers.empty()) {
    out += '[';
    out += markers;
    out += ']';
  }
  out.append(room - before, ' ');
}

void trim_right(std::string& line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
}

// Appends one line of the grid, without trailing blanks.
void append_line(std::string& out, const TableGrid& grid, const std::vector<GridCell>& cells,
                 const std::vector<std::size_t>& widths) {
  const std::size_t start = out.size();
  std::size_t column = 0;
  for (const GridCell& cell : cells) {
    const auto span = static_cast<std::size_t>(cell.span);
    std::size_t width = kGap.size() * (span - 1);
    for (std::size_t k = column; k < column + span && k < widths.size(); ++k) width += widths[k];
    if (column > 0) out += kGap;
    append_padded(out, grid, cell, width);
    column += span;
  }
  while (out.size() > start && out.back() == ' ') out.pop_back();
  out += '\n';
}

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
    for (const auto& row : grid.header) append_line(out, grid, row, widths);
    if (!grid.header.empty()) {
      const std::size_t total = std::accumulate(widths.begin(), widths.end(), kGap.size() * (columns - 1));
      out += std::string(total, '-') + '\n';
    }
    body.for_each_body([&](const TableGrid& part) {
      for (const auto& row : part.body) append_line(out, part, row, widths);
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
