// The HTML presentation: one self-contained page (styles inline, nothing
// fetched) with what the run analyses, each command as given, and the
// messages, headings and pivot tables in order. Every text
// is escaped; spanning column headers use colspan.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "host/output/renderers.h"
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
table { border-collapse: collapse; margin: 0.4em 0; }
caption { text-align: left; font-weight: bold; padding-bottom: 0.3em; }
th, td { padding: 0.15em 0.6em; border-bottom: 1px solid #ddd; vertical-align: top; }
thead th { border-bottom: 1px solid #888; text-align: center; }
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
div.table { margin: 1em 0 1.5em; }
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

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\n': out += "<br>"; break;
      default: out += c;
    }
  }
  return out;
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

void render_table(const PivotTable& table, std::string& out, const Write& write) {
  // A streamed table's body comes block by block.
  std::optional<StreamedLayout> streamed;
  if (table.streamed()) streamed.emplace(table);
  const TableGrid grid = streamed ? streamed->head() : layout_table(table);
  out += "<div class=\"table\">\n<table>\n<caption>" + escape(grid.title) + sup(grid.title_markers) + "</caption>\n";
  if (streamed ? streamed->rows() > 0 : !grid.body.empty()) {
    if (!grid.header.empty()) {
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
    out += "<tbody>\n";
    const auto rows = [&](const TableGrid& part) {
      for (const auto& row : part.body) {
        out += "<tr>";
        for (const GridCell& cell : row) {
          const std::string content = escape(part.text(cell)) + sup(part.markers(cell));
          if (cell.role == GridRole::RowLabel) {
            out += "<th scope=\"row\">" + content + "</th>";
          } else {
            out += std::string(cell.align == Align::Right ? "<td class=\"num\">" : "<td>") + content + "</td>";
          }
        }
        out += "</tr>\n";
      }
      spill(out, write);
    };
    if (streamed) {
      streamed->for_each_body(rows);
    } else {
      rows(grid);
    }
    out += "</tbody>\n";
  }
  out += "</table>\n";
  for (const std::string& note : grid.notes) out += "<p class=\"note\">" + escape(note) + "</p>\n";
  for (const auto& [marker, text] : grid.footnotes) {
    out += "<p class=\"footnote\">" + sup(marker) + " " + escape(text) + "</p>\n";
  }
  out += "</div>\n";
}

void render_items(const OutputDocument& document, const std::vector<Item>& items, int depth, std::string& out,
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
      out += "<p class=\"split\"><strong>Split group:</strong> " + describe_split(*split, escape) + "</p>\n";
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      const std::string level = std::to_string(std::min(depth + 2, 6));
      out += "<section class=\"heading\">\n<h" + level + ">" + escape(display(heading->text)) + "</h" + level + ">\n";
      render_items(document, heading->items, depth + 1, out, write);
      out += "</section>\n";
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      render_table(document.table(table->table), out, write);
    } else if (const auto* data = std::get_if<DataItem>(&item.content)) {
      out += "<div class=\"data\">\n";
      for (const Text& line : data->lines) out += "<p>" + escape(display(line)) + "</p>\n";
      out += "</div>\n";
    } else if (const auto* command = std::get_if<CommandItem>(&item.content)) {
      // Inside <pre> the command keeps its own line ends.
      std::string text;
      std::size_t from = 0;
      for (std::size_t nl = 0; nl != std::string::npos; from = nl + 1) {
        nl = command->text.find('\n', from);
        if (from > 0) text += '\n';
        text += escape(std::string_view(command->text).substr(from, nl == std::string::npos ? nl : nl - from));
      }
      out += "<div class=\"command\">\n<p class=\"where\">" + escape(command_heading(*command)) + "</p>\n<pre>" + text +
             "</pre>\n</div>\n";
    }
  }
}

}  // namespace

std::string render_html(const OutputDocument& document) {
  std::string out(kPageStart);
  render_items(document, document.items(), 0, out, nullptr);
  out += kPageEnd;
  return out;
}

void render_html_to(const OutputDocument& document, const Write& write) {
  std::string out(kPageStart);
  render_items(document, document.items(), 0, out, write);
  out += kPageEnd;
  write(out);
}

}  // namespace mva::host
