// The Markdown presentation: the same content as the text output, each pivot
// table as a Markdown table whose column headers join their nesting levels
// with " / ", messages as quoted lines, footnote markers as superscripts,
// each command as given in a code block.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include <string_view>

#include "host/output/renderers.h"
#include "host/output/streamed_layout.h"
#include "host/output/table_layout.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

// Escapes the characters that Markdown would read as markup, and turns line
// breaks into blanks (a table cell or a quoted line holds one line).
void append_escaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      out += ' ';
      continue;
    }
    if (std::string_view("\\`*_[]<>|#").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
}

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_escaped(out, text);
  return out;
}

// An escaped paragraph: a leading "+", "-" or digit-and-period would start a list.
std::string paragraph(std::string_view text) {
  const std::string body = escape(text);
  const std::size_t digits = body.find_first_not_of("0123456789");
  const bool list_start = !body.empty() && (body.front() == '+' || body.front() == '-');
  const bool numbered = digits != std::string::npos && digits > 0 && body[digits] == '.';
  if (!list_start && !numbered) return body;
  const std::size_t at = list_start ? 0 : digits;
  std::string out;
  out.reserve(body.size() + 1);
  out.append(body, 0, at).push_back('\\');
  out.append(body, at);
  return out;
}

std::string sup(const std::string& markers) { return markers.empty() ? "" : "<sup>" + markers + "</sup>"; }

std::string cell_text(const TableGrid& grid, const GridCell& cell) {
  return escape(grid.text(cell)) + sup(grid.markers(cell));
}

// Appends cell_text(grid, cell).
void append_cell(std::string& out, const TableGrid& grid, const GridCell& cell) {
  append_escaped(out, grid.text(cell));
  if (const std::string& markers = grid.markers(cell); !markers.empty()) out += sup(markers);
}

// The header line and the alignment rule: each column's labels from the
// outermost level down.
void append_header(const TableBody& body, std::size_t columns, std::string& out) {
  const TableGrid& grid = body.head();
  std::vector<std::string> headers(columns);
  for (const auto& row : grid.header) {
    std::size_t column = 0;
    for (const GridCell& cell : row) {
      const std::string text = cell_text(grid, cell);
      for (std::size_t k = column; k < column + static_cast<std::size_t>(cell.span); ++k) {
        if (text.empty()) continue;
        if (!headers[k].empty()) headers[k] += " / ";
        headers[k] += text;
      }
      column += static_cast<std::size_t>(cell.span);
    }
  }
  std::vector<bool> right = body.right_aligned();
  right.resize(columns, false);
  std::string line = "|";
  std::string rule = "|";
  for (std::size_t k = 0; k < columns; ++k) {
    line.append(" ").append(headers[k].empty() ? " " : headers[k]).append(" |");
    rule += right[k] ? " ---: |" : " --- |";
  }
  out += line + '\n' + rule + '\n';
}

// The body lines, block by block. A block of a case table has millions of
// cells showing a few texts: a cell without markers is made once a block
// for each text, and copied after.
void append_body(const TableBody& body, std::string& out, const Write& write) {
  std::vector<std::string> made;
  body.for_each_body([&](const TableGrid& part) {
    made.assign(part.strings.size(), std::string());
    for (const auto& row : part.body) {
      out += '|';
      for (const GridCell& cell : row) {
        if (cell.markers != 0) {
          out += ' ';
          append_cell(out, part, cell);
          out += " |";
          continue;
        }
        std::string& piece = made[cell.text];
        if (piece.empty()) {
          piece += ' ';
          append_cell(piece, part, cell);
          piece += " |";
        }
        out += piece;
      }
      out += '\n';
    }
    spill(out, write);
  });
}

void render_table(const PivotTable& table, std::string& out, const Write& write) {
  // A streamed table's body comes block by block, the alignment of its
  // columns found as its head is laid out.
  const TableBody body(table);
  const TableGrid& grid = body.head();
  out += "**" + escape(grid.title) + "**" + sup(grid.title_markers) + "\n\n";
  const auto columns = static_cast<std::size_t>(grid.label_columns) + static_cast<std::size_t>(grid.value_columns);
  if (body.has_body() && columns > 0) {
    append_header(body, columns, out);
    append_body(body, out, write);
    out += '\n';
  }
  for (const std::string& note : grid.notes) out += paragraph(note) + "\n\n";
  for (const auto& [marker, text] : grid.footnotes) out += sup(marker) + " " + escape(text) + "\n\n";
}

void render_items(const OutputDocument& document, const PlotFiles& plots, const std::vector<Item>& items, int depth,
                  std::string& out, const Write& write) {
  for (const Item& item : items) {
    if (const auto* message = std::get_if<MessageItem>(&item.content)) {
      const std::string context = message_context(*message);
      out += "> **" + std::string(message_label(message_kind(message->severity))) + ":** " +
             escape(display(message->text)) + (context.empty() ? "" : " *(" + escape(context) + ")*") + "\n\n";
    } else if (const auto* note = std::get_if<NoteItem>(&item.content)) {
      out += paragraph(display(note->text)) + "\n\n";
    } else if (const auto* split = std::get_if<SplitItem>(&item.content)) {
      out += "**Split group:** " + describe_split(*split, escape) + "\n\n";
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      out += std::string(static_cast<std::size_t>(std::min(depth + 2, 6)), '#') + " " + escape(display(heading->text)) +
             "\n\n";
      render_items(document, plots, heading->items, depth + 1, out, write);
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      render_table(document.table(table->table), out, write);
      if (const auto file = plots.find(table->table); file != plots.end()) {
        // An image link: the picture shows where Markdown is rendered, the path where it is not.
        out += "![Picture: " + escape(display(document.table(table->table).title)) + "](<" + file->second + ">)\n\n";
      }
    } else if (const auto* data = std::get_if<DataItem>(&item.content)) {
      for (const Text& line : data->lines) out += paragraph(display(line)) + "\n\n";
    } else if (const auto* command = std::get_if<CommandItem>(&item.content)) {
      // A code block shows the command as typed; its fence is longer than
      // any run of backticks inside it.
      std::size_t longest = 0;
      for (std::size_t run = 0; const char c : command->text) {
        run = c == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
      out += "*" + escape(command_heading(*command)) + "*\n\n" + fence + "\n" + command->text + "\n" + fence + "\n\n";
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

std::string render_markdown(const OutputDocument& document, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, nullptr);
  return out;
}

void render_markdown_to(const OutputDocument& document, const Write& write, const PlotFiles& plots) {
  std::string out;
  render(document, plots, out, write);
  write(out);
}

}  // namespace mva::host
