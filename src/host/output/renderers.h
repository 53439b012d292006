// The four presentations of an output document: text for a terminal,
// Markdown, one self-contained HTML page, and JSON for programs. The HTML
// page draws every table's picture beside it; the others name the picture
// files written for --plots, when given (text and Markdown by their paths,
// JSON by file name). Each comes whole as a string, or in pieces to a writer
// as it is made, so that a table of a million rows is never held as text.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "host/output/output_document.h"

namespace mva::host {

// Table index -> the path of the file its picture was written to.
using PlotFiles = std::map<std::size_t, std::string>;

// Takes the rendered text piece by piece, in order.
using Write = std::function<void(std::string_view)>;

std::string render_text(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_markdown(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_html(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_json(const OutputDocument& document, const PlotFiles& plots = {});  // 2-space indent

// The same, handed to `write` piece by piece as it is made.
void render_text_to(const OutputDocument& document, const Write& write, const PlotFiles& plots = {});
void render_markdown_to(const OutputDocument& document, const Write& write, const PlotFiles& plots = {});
void render_html_to(const OutputDocument& document, const Write& write, const PlotFiles& plots = {});
void render_json_to(const OutputDocument& document, const Write& write, const PlotFiles& plots = {});

// Hands `out` to `write` once it holds more than a few megabytes, all but
// its trailing line ends (which the text renderers may still trim); does
// nothing without a writer.
void spill(std::string& out, const Write& write);

}  // namespace mva::host
