// The HTML presentation: one self-contained page (styles inline, pictures as
// inline SVG, no script, nothing fetched): the run header (what the run
// analyses), a table of contents by command and split group, then each
// command as given with its messages, headings and pivot tables in order,
// each table with its picture beside it. Every text is escaped; spanning
// column headers use colspan. A table scrolls inside its own box, sideways
// when wide and down when long, with its header rows held at the top.
#include <algorithm>
#include <map>
#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "host/output/pictures.h"
#include "host/output/renderers.h"
#include "host/output/svg_canvas.h"
#include "host/output/streamed_layout.h"
#include "host/output/table_layout.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

constexpr std::string_view kPageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>mva output</title>
<style>
body { font-family: system-ui, sans-serif; margin: 1.5em; color: #222; }
h2, h3, h4 { margin: 1.2em 0 0.4em; }
table { border-collapse: collapse; margin: 0 0 0.4em; }
caption { text-align: left; font-weight: bold; padding-bottom: 0.3em; }
th, td { padding: 0.15em 0.6em; border-bottom: 1px solid #ddd; vertical-align: top; white-space: nowrap; }
thead { position: sticky; top: 0; z-index: 1; background: #fff; }
thead th { border-bottom: 1px solid #888; text-align: center; background: #fff; }
thead th.left { text-align: left; }
thead th.num { text-align: right; }
tbody th { text-align: left; font-weight: normal; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
sup { font-size: 0.7em; }
p.message { margin: 0.3em 0; }
span.where { color: #666; }
p.error { color: #a00; }
p.warning { color: #850; }
p.note, p.split { color: #333; }
div.pair { display: flex; flex-wrap: wrap; gap: 1.5em; align-items: flex-start; margin: 1em 0 1.5em; }
div.table { width: min-content; min-width: min(26em, 100%); max-width: 100%; }
div.scroll { overflow: auto; max-width: 100%; max-height: 85vh; }
figure.picture { margin: 0; max-width: 100%; overflow-x: auto; }
figure.picture svg { display: block; }
header.run { border-bottom: 1px solid #ccc; padding-bottom: 0.5em; }
header.run h1 { font-size: 1.4em; margin: 0 0 0.4em; }
nav.toc { margin: 1em 0; font-size: 0.95em; }
nav.toc ol { margin: 0.2em 0; padding-left: 1.4em; }
div.table p { margin: 0.1em 0; font-size: 0.9em; }
div.data p { margin: 0.2em 0; }
div.command { margin: 1.2em 0 0.6em; }
div.command p.where { margin: 0; color: #666; font-size: 0.9em; }
div.command pre { margin: 0.2em 0; padding: 0.3em 0.6em; background: #f4f4f4; }
</style>
</head>
<body>
)";

constexpr std::string_view kPageEnd = "</body>\n</html>\n";

std::string escape(std::string_view text) { return markup_escape(text, "<br>"); }

// Appends escape(text); a text with nothing to escape goes as it stands.
void append_escaped(std::string& out, std::string_view text) {
  if (text.find_first_of("&<>\"'\n") == std::string_view::npos) {
    out += text;
  } else {
    out += escape(text);
  }
}

std::string sup(const std::string& markers) { return markers.empty() ? "" : "<sup>" + escape(markers) + "</sup>"; }

std::string align_class(Align align) {
  switch (align) {
    case Align::Right: return " class=\"num\"";
    case Align::Left: return " class=\"left\"";
    case Align::Center: break;
  }
  return "";
}

// The page's state while it is written: the pictures, and the command and
// split group being written (for the anchors the contents link to).
struct Page {
  std::map<std::size_t, Picture> pictures;
  const PlotFiles* plots = nullptr;
  int command = 0;
  int group = 0;
};

std::string group_anchor(int command, int group) {
  return "command" + std::to_string(command) + "-group" + std::to_string(group);
}

// The header rows of a table, spanning headers with colspan.
void render_head(const TableGrid& grid, std::string& out) {
  if (grid.header.empty()) return;
  out += "<thead>\n";
  for (const auto& row : grid.header) {
    out += "<tr>";
    for (const GridCell& cell : row) {
      out += "<th";
      if (cell.span > 1) out += " colspan=\"" + std::to_string(cell.span) + "\"";
      out += align_class(cell.align) + ">" + escape(grid.text(cell)) + sup(grid.markers(cell)) + "</th>";
    }
    out += "</tr>\n";
  }
  out += "</thead>\n";
}

// Appends one cell of a body row: a row label as <th>, a value as <td>.
void append_body_cell(std::string& out, const TableGrid& part, const GridCell& cell) {
  const bool label = cell.role == GridRole::RowLabel;
  out += label ? "<th scope=\"row\">" : cell.align == Align::Right ? "<td class=\"num\">" : "<td>";
  append_escaped(out, part.text(cell));
  if (const std::string& markers = part.markers(cell); !markers.empty()) out += sup(markers);
  out += label ? "</th>" : "</td>";
}

// The body rows of one block. A block of a case table has millions of value
// cells showing a few texts: a value cell without markers is made once a
// block for each text and alignment, and copied after.
void render_body_rows(const TableGrid& part, std::string& out) {
  std::vector<std::string> made(2 * part.strings.size());  // by text: left, then right aligned
  for (const auto& row : part.body) {
    out += "<tr>";
    for (const GridCell& cell : row) {
      if (cell.role == GridRole::RowLabel || cell.markers != 0) {
        append_body_cell(out, part, cell);
        continue;
      }
      std::string& piece = made[2 * cell.text + (cell.align == Align::Right ? 1 : 0)];
      if (piece.empty()) append_body_cell(piece, part, cell);
      out += piece;
    }
    out += "</tr>\n";
  }
}

// The picture of table `index`, when it has one, with the file it was saved in.
void render_picture(std::size_t index, const Page& page, std::string& out) {
  const auto picture = page.pictures.find(index);
  if (picture == page.pictures.end()) return;
  // The SVG document goes in as it stands: an inline <svg> element.
  out += "<figure class=\"picture\">\n" + picture->second.svg;
  if (const auto file = page.plots->find(index); file != page.plots->end()) {
    out +=
        "<figcaption>Saved as <a href=\"" + escape(file->second) + "\">" + escape(file->second) + "</a></figcaption>\n";
  }
  out += "</figure>\n";
}

void render_table(const PivotTable& table, std::size_t index, const Page& page, std::string& out, const Write& write) {
  // A streamed table's body comes block by block.
  const TableBody body(table);
  const TableGrid& grid = body.head();
  out += "<div class=\"pair\" id=\"table" + std::to_string(index) + "\">\n";
  out += "<div class=\"table\">\n<div class=\"scroll\">\n<table>\n<caption>" + escape(grid.title) +
         sup(grid.title_markers) + "</caption>\n";
  if (body.has_body()) {
    render_head(grid, out);
    out += "<tbody>\n";
    body.for_each_body([&](const TableGrid& part) {
      render_body_rows(part, out);
      spill(out, write);
    });
    out += "</tbody>\n";
  }
  out += "</table>\n</div>\n";
  for (const std::string& note : grid.notes) out += "<p class=\"note\">" + escape(note) + "</p>\n";
  for (const auto& [marker, text] : grid.footnotes) {
    out += "<p class=\"footnote\">" + sup(marker) + " " + escape(text) + "</p>\n";
  }
  out += "</div>\n";
  render_picture(index, page, out);
  out += "</div>\n";
}

// The start of a command for the contents: its first line, cut at a word
// after 60 characters.
std::string first_words(const std::string& command) {
  const std::string line = command.substr(0, command.find('\n'));
  if (line.size() <= 60) return line;
  const std::size_t blank = line.find(' ', 60);
  return blank == std::string::npos ? line : line.substr(0, blank) + " ...";
}

// The table of contents: each command, its split groups, and their tables.
void contents(const OutputDocument& document, const std::vector<Item>& items, int& command, int& group,
              std::string& out, int& depth) {
  const auto close_to = [&](int level) {
    for (; depth > level; --depth) out += "</ol></li>\n";
  };
  for (const Item& item : items) {
    if (const auto* c = std::get_if<CommandItem>(&item.content)) {
      ++command;
      group = 0;
      close_to(0);
      out += "<li><a href=\"#command" + std::to_string(command) + "\">" + escape(command_heading(*c)) + "</a> <code>" +
             escape(first_words(c->text)) + "</code><ol>\n";
      depth = 1;
    } else if (const auto* split = std::get_if<SplitItem>(&item.content)) {
      // Under its command; at the top when no command was echoed.
      ++group;
      const int level = command > 0 ? 1 : 0;
      close_to(level);
      out += "<li><a href=\"#" + group_anchor(command, group) + "\">Split group: " + describe_split(*split, escape) +
             "</a><ol>\n";
      depth = level + 1;
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      contents(document, heading->items, command, group, out, depth);
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      out += "<li><a href=\"#table" + std::to_string(table->table) + "\">" +
             escape(display(document.table(table->table).title)) + "</a></li>\n";
    }
  }
}

void render_items(const OutputDocument& document, std::span<const Item> items, int depth, Page& page, std::string& out,
                  const Write& write) {
  for (const Item& item : items) {
    if (const auto* message = std::get_if<MessageItem>(&item.content)) {
      const MessageKind kind = message_kind(message->severity);
      const std::string context = message_context(*message);
      out += "<p class=\"message " + std::string(message_kind_name(kind)) + "\"><strong>" +
             std::string(message_label(kind)) + ":</strong> " + escape(display(message->text)) +
             (context.empty() ? "" : " <span class=\"where\">(" + escape(context) + ")</span>") + "</p>\n";
    } else if (const auto* note = std::get_if<NoteItem>(&item.content)) {
      out += "<p class=\"note\">" + escape(display(note->text)) + "</p>\n";
    } else if (const auto* split = std::get_if<SplitItem>(&item.content)) {
      out += "<p class=\"split\" id=\"" + group_anchor(page.command, ++page.group) +
             "\"><strong>Split group:</strong> " + describe_split(*split, escape) + "</p>\n";
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      const std::string level = std::to_string(std::min(depth + 2, 6));
      out += "<section class=\"heading\">\n<h" + level + ">" + escape(display(heading->text)) + "</h" + level + ">\n";
      render_items(document, heading->items, depth + 1, page, out, write);
      out += "</section>\n";
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      render_table(document.table(table->table), table->table, page, out, write);
    } else if (const auto* data = std::get_if<DataItem>(&item.content)) {
      out += "<header class=\"run\">\n<h1>Missing value analysis</h1>\n<div class=\"data\">\n";
      for (const Text& line : data->lines) out += "<p>" + escape(display(line)) + "</p>\n";
      out += "</div>\n</header>\n";
    } else if (const auto* command = std::get_if<CommandItem>(&item.content)) {
      // Inside <pre> the command keeps its own line ends.
      std::string text;
      std::size_t from = 0;
      for (std::size_t nl = 0; nl != std::string::npos; from = nl + 1) {
        nl = command->text.find('\n', from);
        if (from > 0) text += '\n';
        text += escape(std::string_view(command->text).substr(from, nl == std::string::npos ? nl : nl - from));
      }
      page.group = 0;
      out += "<div class=\"command\" id=\"command" + std::to_string(++page.command) + "\">\n<p class=\"where\">" +
             escape(command_heading(*command)) + "</p>\n<pre>" + text + "</pre>\n</div>\n";
    }
  }
}

}  // namespace

namespace {

// The whole page, handed to `write` block by block when there is one.
void render_page(const OutputDocument& document, const PlotFiles& plots, std::string& out, const Write& write) {
  out += kPageStart;
  Page page;
  page.plots = &plots;
  page.pictures = document_pictures(document);
  // The run header (what the run analyses and the notes on loading it)
  // stands first; the contents follow it.
  std::size_t first = 0;
  const std::vector<Item>& items = document.items();
  while (first < items.size() && (std::holds_alternative<DataItem>(items[first].content) ||
                                  std::holds_alternative<MessageItem>(items[first].content) ||
                                  std::holds_alternative<NoteItem>(items[first].content))) {
    ++first;
  }
  render_items(document, std::span<const Item>(items).first(first), 0, page, out, write);
  std::string toc;
  int command = 0;
  int group = 0;
  int depth = 0;
  contents(document, items, command, group, toc, depth);
  for (; depth > 0; --depth) toc += "</ol></li>\n";
  if (command > 0) out += "<nav class=\"toc\">\n<h2>Contents</h2>\n<ol>\n" + toc + "</ol>\n</nav>\n";
  render_items(document, std::span<const Item>(items).subspan(first), 0, page, out, write);
  out += kPageEnd;
}

}  // namespace

std::string render_html(const OutputDocument& document, const PlotFiles& plots) {
  std::string out;
  render_page(document, plots, out, nullptr);
  return out;
}

void render_html_to(const OutputDocument& document, const Write& write, const PlotFiles& plots) {
  std::string out;
  render_page(document, plots, out, write);
  write(out);
}

}  // namespace mva::host
