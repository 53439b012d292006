// The four presentations of an output document: text for a terminal,
// Markdown, one self-contained HTML page, and JSON for programs. Each comes
// whole as a string, or in pieces to a writer as it is made, so that a table
// of a million rows is never held as text.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "host/output/output_document.h"

namespace mva::host {

// Takes the rendered text piece by piece, in order.
using Write = std::function<void(std::string_view)>;

std::string render_text(const OutputDocument& document);
std::string render_markdown(const OutputDocument& document);
std::string render_html(const OutputDocument& document);
std::string render_json(const OutputDocument& document);  // 2-space indent

// The same, handed to `write` piece by piece as it is made.
void render_text_to(const OutputDocument& document, const Write& write);
void render_markdown_to(const OutputDocument& document, const Write& write);
void render_html_to(const OutputDocument& document, const Write& write);
void render_json_to(const OutputDocument& document, const Write& write);

// Hands `out` to `write` once it holds more than a few megabytes, all but
// its trailing line ends (which the text renderers may still trim); does
// nothing without a writer.
void spill(std::string& out, const Write& write);

}  // namespace mva::host
