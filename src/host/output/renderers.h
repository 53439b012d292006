// The four presentations of an output document: text for a terminal,
// Markdown, one self-contained HTML page, and JSON for programs. The HTML
// page draws every table's picture beside it; the others name the picture
// files written for --plots, when given (text and Markdown by their paths,
// JSON by file name).
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "host/output/output_document.h"

namespace mva::host {

// Table index -> the path of the file its picture was written to.
using PlotFiles = std::map<std::size_t, std::string>;

std::string render_text(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_markdown(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_html(const OutputDocument& document, const PlotFiles& plots = {});
std::string render_json(const OutputDocument& document, const PlotFiles& plots = {});  // 2-space indent

}  // namespace mva::host
