// Drawing one picture as SVG text: a canvas with a title and a description
// for screen readers, rectangles, lines, circles and text, all in user units
// (pixels at 100 %). The pictures (pictures.h, missing_matrix.h) are built on
// it; nothing here knows a table.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace mva::host {

// Nine steps of the viridis scale, dark purple (0) to yellow (8). Their
// lightness rises step by step, so they stay in order when printed in grey
// and for readers who do not tell red from green.
inline constexpr std::array<std::string_view, 9> kViridis = {"#440154", "#472d7b", "#3b528b", "#2c728e", "#21918c",
                                                             "#28ae80", "#5ec962", "#addc30", "#fde725"};

// A colour of text drawn on a fill of viridis step `step`: white on the dark
// half, black on the light half.
std::string_view ink_on(int step);

// `text` with the five characters XML reserves replaced by entities.
// `text` with the five markup characters escaped and each line end written
// as `newline` (a blank inside SVG, <br> in an HTML page).
std::string markup_escape(std::string_view text, std::string_view newline);
std::string xml_escape(std::string_view text);

// A coordinate or length with at most two decimals and no trailing zeros.
std::string svg_number(double value);

// The width a text of `size` pixels takes, estimated from its length (a
// sans-serif glyph is about 0.6 of the size wide); used to leave room for labels.
double text_width(std::string_view text, double size);

enum class Anchor { Start, Middle, End };

class SvgCanvas {
 public:
  // A picture of `width` x `height`; `title` and `description` are its text
  // alternative (<title> and <desc>).
  SvgCanvas(double width, double height, std::string_view title, std::string_view description);

  // A rectangle; `attributes` (already escaped, with a leading blank) are
  // written as they stand; a non-empty `tip` becomes its <title>.
  void rect(double x, double y, double w, double h, std::string_view fill, std::string_view attributes = {},
            std::string_view tip = {});
  void line(double x1, double y1, double x2, double y2, std::string_view stroke, double stroke_width = 1);
  void circle(double cx, double cy, double r, std::string_view fill, std::string_view attributes = {},
              std::string_view tip = {});
  // A text at (x, y) (its baseline), in `size` pixels, of class `css_class`
  // ("label" for a label outside the plot area, "value" for a number drawn in
  // it); `rotate` turns it by that many degrees about (x, y).
  void text(double x, double y, std::string_view text, Anchor anchor, double size, std::string_view css_class,
            double rotate = 0, std::string_view fill = "#222");
  // Raw SVG markup, already escaped.
  void raw(std::string_view markup);
  // Opens and closes a group (<g>) with the given attributes.
  void begin_group(std::string_view attributes);
  void end_group();

  // The whole document, from the <svg> element on.
  std::string finish() const;

 private:
  std::string body_;
  std::string head_;
};

}  // namespace mva::host
