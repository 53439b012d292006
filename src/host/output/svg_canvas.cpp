// The SVG canvas: markup written straight into a string, numbers in short
// fixed notation so that a picture with thousands of shapes stays small.
#include "host/output/svg_canvas.h"

#include <cmath>
#include <cstdio>

namespace mva::host {

std::string_view ink_on(int step) { return step <= 4 ? "#ffffff" : "#000000"; }

std::string markup_escape(std::string_view text, std::string_view newline) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\n': out += newline; break;
      default: out += c;
    }
  }
  return out;
}

std::string xml_escape(std::string_view text) { return markup_escape(text, " "); }

std::string svg_number(double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string out(buffer);
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  if (out == "-0") out = "0";
  return out;
}

double text_width(std::string_view text, double size) {
  // Multibyte characters count once: only the first byte of each is counted.
  std::size_t glyphs = 0;
  for (const char c : text) glyphs += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return static_cast<double>(glyphs) * size * 0.6;
}

SvgCanvas::SvgCanvas(double width, double height, std::string_view title, std::string_view description) {
  const std::string w = svg_number(std::ceil(width));
  const std::string h = svg_number(std::ceil(height));
  head_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
          " " + h + "\" role=\"img\" font-family=\"sans-serif\">\n<title>" + xml_escape(title) + "</title>\n<desc>" +
          xml_escape(description) + "</desc>\n<rect class=\"background\" x=\"0\" y=\"0\" width=\"" + w +
          "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
}

namespace {

// The rest of a shape element after its geometry: the fill, further
// attributes, and the tooltip as a <title> child when there is one.
void end_shape(std::string& body, std::string_view element, std::string_view fill, std::string_view attributes,
               std::string_view tip) {
  body += fill;
  body += '"';
  body += attributes;
  if (tip.empty()) {
    body += "/>\n";
    return;
  }
  body += "><title>" + xml_escape(tip) + "</title></";
  body += element;
  body += ">\n";
}

}  // namespace

void SvgCanvas::rect(double x, double y, double w, double h, std::string_view fill, std::string_view attributes,
                     std::string_view tip) {
  body_ += "<rect x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\" width=\"" + svg_number(w) + "\" height=\"" +
           svg_number(h) + "\" fill=\"";
  end_shape(body_, "rect", fill, attributes, tip);
}

void SvgCanvas::line(double x1, double y1, double x2, double y2, std::string_view stroke, double stroke_width) {
  body_ += "<line x1=\"" + svg_number(x1) + "\" y1=\"" + svg_number(y1) + "\" x2=\"" + svg_number(x2) + "\" y2=\"" +
           svg_number(y2) + "\" stroke=\"";
  body_ += stroke;
  body_ += "\" stroke-width=\"" + svg_number(stroke_width) + "\"/>\n";
}

void SvgCanvas::circle(double cx, double cy, double r, std::string_view fill, std::string_view attributes,
                       std::string_view tip) {
  body_ += "<circle cx=\"" + svg_number(cx) + "\" cy=\"" + svg_number(cy) + "\" r=\"" + svg_number(r) + "\" fill=\"";
  end_shape(body_, "circle", fill, attributes, tip);
}

void SvgCanvas::text(double x, double y, std::string_view text, Anchor anchor, double size, std::string_view css_class,
                     double rotate, std::string_view fill) {
  body_ += "<text class=\"";
  body_ += css_class;
  body_ += "\" x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\" font-size=\"" + svg_number(size) + "\"";
  if (anchor == Anchor::Middle) body_ += " text-anchor=\"middle\"";
  if (anchor == Anchor::End) body_ += " text-anchor=\"end\"";
  if (rotate != 0) {
    body_ += " transform=\"rotate(" + svg_number(rotate) + " " + svg_number(x) + " " + svg_number(y) + ")\"";
  }
  body_ += " fill=\"";
  body_ += fill;
  body_ += "\">" + xml_escape(text) + "</text>\n";
}

void SvgCanvas::raw(std::string_view markup) { body_ += markup; }

void SvgCanvas::begin_group(std::string_view attributes) {
  body_ += "<g";
  body_ += attributes;
  body_ += ">\n";
}

void SvgCanvas::end_group() { body_ += "</g>\n"; }

std::string SvgCanvas::finish() const { return head_ + body_ + "</svg>\n"; }

}  // namespace mva::host
