// The four presentations of an output document: text for a terminal,
// Markdown, one self-contained HTML page, and JSON for programs.
#pragma once

#include <string>

#include "host/output/output_document.h"

namespace mva::host {

std::string render_text(const OutputDocument& document);
std::string render_markdown(const OutputDocument& document);
std::string render_html(const OutputDocument& document);
std::string render_json(const OutputDocument& document);  // 2-space indent

}  // namespace mva::host
