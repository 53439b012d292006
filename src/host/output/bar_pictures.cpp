// The pictures drawn as bars and dots: percent missing per variable, the
// tabulated patterns as counts over the variables each misses, and the
// compared means in standard deviations. Each marks its plot area (class
// "plot-area", with the scale it draws in as data attributes) and keeps its
// labels (class "label") outside it; numbers drawn inside it have class
// "value" and read as the table shows them.
#include <algorithm>
#include <array>
#include <cmath>

#include "host/output/picture_parts.h"
#include "host/output/svg_canvas.h"
#include "host/output/table_numbers.h"
#include "host/output/text_display.h"

namespace mva::host::picture_parts {

// Percent missing per variable, as horizontal bars, most missing first.
std::optional<Picture> missing_by_variable(const PivotTable& table) {
  const TableNumbers t(table);
  const int rows = t.dimension("UOUT_ VARIABLES");
  const int stats = t.dimension("UOUT_ STATISTICS");
  const int count = t.find(stats, "UOUT_ MIS_COUNT");
  const int percent = t.find(stats, "UOUT_ MIS_PERCENT");
  if (rows < 0 || count < 0 || percent < 0) return std::nullopt;
  struct Bar {
    std::string name, percent_text, count_text;
    double percent = 0;
  };
  std::vector<Bar> bars;
  const auto at = [&](int variable, int statistic) {
    std::vector<int> a(table.dimensions.size(), 0);
    a[static_cast<std::size_t>(rows)] = variable;
    a[static_cast<std::size_t>(stats)] = statistic;
    return a;
  };
  for (const int v : t.leaves(rows)) {
    const double p = t.number(at(v, percent));
    if (std::isnan(p) || p < 0) continue;  // no percent to draw as a bar
    bars.push_back({t.label(rows, v), shown(t.value(at(v, percent))), shown(t.value(at(v, count))), p});
  }
  if (bars.empty()) return std::nullopt;
  std::stable_sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.percent > b.percent; });

  std::vector<std::string> names;
  for (const Bar& b : bars) names.push_back(b.name);
  const double left = widest(names, kFont) + 16;
  const double top = 36;
  const double row = 20;
  const double plot_width = 300;
  const double plot_height = row * static_cast<double>(bars.size());
  const double axis_max = nice_ceiling(std::max(bars.front().percent, 1.0));
  const double scale = plot_width / axis_max;
  const double width = left + plot_width + 110;
  const double height = top + plot_height + 44;

  std::string desc = "Percent of cases missing, per variable, most missing first:";
  for (const Bar& b : bars) desc += " " + b.name + " " + b.percent_text + "% (" + b.count_text + ");";
  desc.back() = '.';
  SvgCanvas c(width, height, "Missing values per variable", desc);
  c.text(8, 18, "Missing values per variable", Anchor::Start, 13, "label");
  c.rect(left, top, plot_width, plot_height, "#ffffff", plot_area(scale, left));
  const int ticks = ticks_of(axis_max);
  for (int k = 0; k <= ticks; ++k) {
    const double x = left + plot_width * k / ticks;
    c.line(x, top, x, top + plot_height, "#dddddd");
    c.text(x, top + plot_height + 14, svg_number(axis_max * k / ticks) + "%", Anchor::Middle, kFont, "label");
  }
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& b = bars[i];
    const double y = top + row * static_cast<double>(i);
    c.text(left - 6, y + row * 0.68, b.name, Anchor::End, kFont, "label");
    c.rect(left, y + 3, b.percent * scale, row - 6, std::string(kViridis[2]),
           " class=\"bar\" data-label=\"" + xml_escape(b.name) + "\"",
           b.name + ": " + b.percent_text + "% missing (" + b.count_text + " cases)");
    c.text(left + b.percent * scale + 4, y + row * 0.68, b.percent_text + "% (" + b.count_text + ")", Anchor::Start,
           kFont - 1, "value");
  }
  c.text(left + plot_width / 2, top + plot_height + 32, "Percent missing (count)", Anchor::Middle, kFont, "label");
  return Picture{"missing-by-variable", c.finish()};
}

namespace {

constexpr std::string_view kUncounted = "Patterns the table leaves out are not drawn: their total is not known";

// The number of cases in the patterns the tabulated table leaves out, from
// the number of cases of the split group less the counts it shows: the
// univariate table's N plus missing count of its first variable, or else the
// host's count of the group's cases. A pattern is left out when it has at
// most the cut-off's number of cases; below one case none is, and the table
// then has no cut-off footnote. With weights the table counts the complete
// cases and the patterns in different units (cases and summed weights), so
// no table of the run gives the left-out patterns' weight: nullopt, as when
// the number of cases is not known.
std::optional<double> hidden_cases(const PivotTable& table, const PivotTable* univariate, double shown_total) {
  const bool cut = std::any_of(table.annotations.begin(), table.annotations.end(), [](const Annotation& a) {
    return key_of(a.text) == "POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED";
  });
  if (!cut) return 0.0;
  if (table.weighted) return std::nullopt;
  double cases = table.group_cases >= 0 ? static_cast<double>(table.group_cases) : std::nan("");
  if (univariate != nullptr) {
    const TableNumbers u(*univariate);
    const int vars = u.dimension("UOUT_ VARIABLES");
    const int stats = u.dimension("UOUT_ STATISTICS");
    const std::vector<int> leaves = u.leaves(vars);
    const int n = u.find(stats, "UOUT_ FREQUENCY");
    const int missing = u.find(stats, "UOUT_ MIS_COUNT");
    if (!leaves.empty() && n >= 0 && missing >= 0) {
      std::vector<int> at(univariate->dimensions.size(), 0);
      at[static_cast<std::size_t>(vars)] = leaves.front();
      at[static_cast<std::size_t>(stats)] = n;
      const double present = u.number(at);
      at[static_cast<std::size_t>(stats)] = missing;
      const double total = present + u.number(at);
      if (!std::isnan(total)) cases = total;
    }
  }
  if (std::isnan(cases)) return std::nullopt;
  return std::max(cases - shown_total, 0.0);
}

// A column of the pattern chart: a tabulated pattern, or the patterns the
// table leaves out.
struct PatternColumn {
  std::string name;
  double count = 0;
  std::string count_text;
  std::vector<bool> missing;  // per variable
  bool hidden = false;
};

// The tabulated patterns with a count to draw, each with the variables it
// misses; `shown_total` gets the sum of their counts.
std::vector<PatternColumn> tabulated_patterns(const TableNumbers& t, int columns, int rows,
                                              const std::vector<int>& variables, double& shown_total) {
  const PivotTable& table = t.table();
  const Dimension& row_dim = table.dimensions[static_cast<std::size_t>(rows)];
  std::vector<PatternColumn> patterns;
  for (const int leaf : t.leaves(rows)) {
    const Category& category = row_dim.categories[static_cast<std::size_t>(leaf)];
    PatternColumn p;
    p.name = category.parent >= 0 ? row_dim.categories[static_cast<std::size_t>(category.parent)].text : category.text;
    p.count = label_number(category);
    p.count_text = category.text;
    if (std::isnan(p.count) || p.count < 0) continue;  // no count to draw as a bar
    for (const int v : variables) {
      std::vector<int> at(table.dimensions.size(), 0);
      at[static_cast<std::size_t>(columns)] = v;
      at[static_cast<std::size_t>(rows)] = leaf;
      const std::string mark = shown(t.value(at));
      p.missing.push_back(mark.find_first_not_of(' ') != std::string::npos);
    }
    shown_total += p.count;
    patterns.push_back(std::move(p));
  }
  return patterns;
}

// The text description of the pattern chart; `counted` is false when the
// left-out patterns are not drawn.
std::string pattern_description(const std::vector<PatternColumn>& patterns, const std::vector<std::string>& names,
                                bool counted) {
  std::string desc = "Cases per missing-value pattern:";
  for (const PatternColumn& p : patterns) {
    desc += p.hidden ? " patterns not shown in the table: " + p.count_text + (p.count == 1 ? " case;" : " cases;")
                     : " pattern " + p.name + ", " + p.count_text + (p.count == 1 ? " case" : " cases");
    if (p.hidden) continue;
    std::string missing;
    for (std::size_t v = 0; v < names.size(); ++v) {
      if (p.missing[v]) missing += (missing.empty() ? "" : ", ") + names[v];
    }
    desc += missing.empty() ? ", nothing missing;" : ", missing " + missing + ";";
  }
  desc.back() = '.';
  if (!counted) desc += " " + std::string(kUncounted) + ".";
  return desc;
}

// Where the parts of the pattern chart stand: the bars above, the matrix of
// missing marks below them.
struct PatternFrame {
  double left = 0;
  double top = 36;
  double column = 30;
  double bar_height = 150;
  double dot_row = 16;
  double plot_width = 0;
  double scale = 0;
  double matrix_top = 0;
  double matrix_height = 0;
};

// One column of the chart: its bar, its count above it and its name below
// the matrix, and its mark per variable.
void draw_pattern_column(SvgCanvas& c, const PatternFrame& f, const PatternColumn& p, double x, std::size_t variables) {
  const double h = p.count * f.scale;
  c.rect(x + 4, f.top + f.bar_height - h, f.column - 8, h, std::string(p.hidden ? kViridis[5] : kViridis[0]),
         " class=\"bar\" data-label=\"" + xml_escape(p.name) + "\"",
         (p.hidden ? "patterns not shown" : "pattern " + p.name) + ": " + p.count_text + " cases");
  c.text(x + f.column / 2, f.top + f.bar_height - h - 3, p.count_text, Anchor::Middle, kFont - 2, "value");
  c.text(x + f.column / 2, f.matrix_top + f.matrix_height + 14, p.name, Anchor::Middle, kFont - 1, "label");
  if (p.hidden) return;
  for (std::size_t v = 0; v < variables; ++v) {
    const double y = f.matrix_top + f.dot_row * (static_cast<double>(v) + 0.5);
    c.circle(x + f.column / 2, y, 5, p.missing[v] ? std::string(kViridis[0]) : std::string(kPresent),
             p.missing[v] ? " class=\"missing\"" : "");
  }
}

}  // namespace

// The tabulated patterns: a column per pattern with its count as a bar, the
// variables missing in it marked below, and the cases of the patterns the
// table leaves out in one last column (see hidden_cases).
std::optional<Picture> pattern_chart(const PivotTable& table, const PivotTable* univariate) {
  const TableNumbers t(table);
  const int columns = t.dimension("POUT_ VARIABLES");
  const int rows = t.dimension("POUT_ # OF CASES");
  const std::vector<int> variables = t.leaves_under(columns, "POUT_ PATTERNS");
  if (columns < 0 || rows < 0 || variables.empty()) return std::nullopt;
  double shown_total = 0;
  std::vector<PatternColumn> patterns = tabulated_patterns(t, columns, rows, variables, shown_total);
  if (patterns.empty()) return std::nullopt;
  const std::optional<double> hidden = hidden_cases(table, univariate, shown_total);
  if (hidden && *hidden >= 0.5) {
    PatternColumn h;
    h.name = "hidden";
    h.count = *hidden;
    h.count_text = svg_number(*hidden);
    h.hidden = true;
    patterns.push_back(std::move(h));
  }

  std::vector<std::string> names;
  for (const int v : variables) names.push_back(t.label(columns, v));
  double most = 0;
  for (const PatternColumn& p : patterns) most = std::max(most, p.count);
  const double axis_max = nice_ceiling(std::max(most, 1.0));
  PatternFrame f;
  f.left = std::max(widest(names, kFont), text_width(svg_number(axis_max), kFont) + 16) + 16;
  f.plot_width = f.column * static_cast<double>(patterns.size());
  f.scale = (f.bar_height - 14) / axis_max;
  f.matrix_top = f.top + f.bar_height + 8;
  f.matrix_height = f.dot_row * static_cast<double>(variables.size());
  const double note = hidden ? 0 : 18;  // the line that says the left-out patterns are not drawn
  const double width =
      std::max({f.left + f.plot_width + 20, 300.0, hidden ? 0 : text_width(kUncounted, kFont - 1) + 16});
  const double height = f.matrix_top + f.matrix_height + 40 + note;

  SvgCanvas c(width, height, "Missing-value patterns", pattern_description(patterns, names, hidden.has_value()));
  c.text(8, 18, "Missing-value patterns", Anchor::Start, 13, "label");
  c.rect(f.left, f.top, f.plot_width, f.bar_height, "#ffffff", plot_area(f.scale, f.top + f.bar_height));
  c.line(f.left, f.top + f.bar_height, f.left + f.plot_width, f.top + f.bar_height, "#888888");
  c.text(f.left - 6, f.top + f.bar_height, "0", Anchor::End, kFont, "label");
  c.text(f.left - 6, f.top + f.bar_height - axis_max * f.scale + 4, svg_number(axis_max), Anchor::End, kFont, "label");
  c.text(12, f.top + f.bar_height / 2, "Cases", Anchor::Middle, kFont, "label", -90);
  for (std::size_t v = 0; v < names.size(); ++v) {
    const double y = f.matrix_top + f.dot_row * static_cast<double>(v);
    c.text(f.left - 6, y + f.dot_row * 0.7, names[v], Anchor::End, kFont, "label");
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    draw_pattern_column(c, f, patterns[i], f.left + f.column * static_cast<double>(i), names.size());
  }
  c.text(f.left + f.plot_width / 2, f.matrix_top + f.matrix_height + 30, "Pattern (dark: missing)", Anchor::Middle,
         kFont, "label");
  if (!hidden) c.text(8, f.matrix_top + f.matrix_height + 48, kUncounted, Anchor::Start, kFont - 1, "label");
  return Picture{"patterns", c.finish()};
}

namespace {

// The place of a cell in a table of compared means: category c1 of
// dimension d1 and c2 of d2, the first category of every other dimension.
std::vector<int> cell_at(std::size_t dims, int d1, int c1, int d2, int c2) {
  std::vector<int> a(dims, 0);
  a[static_cast<std::size_t>(d1)] = c1;
  a[static_cast<std::size_t>(d2)] = c2;
  return a;
}

// Where the variables and methods stand in the table of means and in the
// table of standard deviations (the s_ ones), and the reference method.
struct MeansPlaces {
  int vars = -1;
  int methods = -1;
  int s_vars = -1;
  int s_methods = -1;
  int reference = -1;
  int s_reference = -1;
  std::vector<int> method_rows;
  std::vector<int> variables;
  std::vector<int> s_variables;
};

// A row of the dot plot: a variable and its standardised mean per method.
struct MeansRow {
  std::string name;
  std::vector<double> z;  // per method; NaN when not drawn
};

// Each variable's means as distances from the reference mean in reference
// standard deviations; `extent` gets the largest distance drawn.
std::vector<MeansRow> standardised_means(const TableNumbers& m, const TableNumbers& s, const MeansPlaces& p,
                                         double& extent) {
  const std::size_t m_dims = m.table().dimensions.size();
  const std::size_t s_dims = s.table().dimensions.size();
  std::vector<MeansRow> rows;
  for (std::size_t v = 0; v < p.variables.size(); ++v) {
    MeansRow row{m.label(p.vars, p.variables[v]), {}};
    const double centre = m.number(cell_at(m_dims, p.vars, p.variables[v], p.methods, p.reference));
    const double sd = s.number(cell_at(s_dims, p.s_vars, p.s_variables[v], p.s_methods, p.s_reference));
    for (const int method : p.method_rows) {
      const double mean = m.number(cell_at(m_dims, p.vars, p.variables[v], p.methods, method));
      // No spread (or no reference): the variable has no standardised scale.
      const double z = sd > 0 ? (mean - centre) / sd : std::nan("");
      row.z.push_back(z);
      if (!std::isnan(z)) extent = std::max(extent, std::fabs(z));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The marker of method k: its own colour and shape, so that methods stay
// apart in grey as well.
void draw_marker(SvgCanvas& c, std::size_t k, double x, double y, std::string_view attributes, std::string_view tip) {
  static constexpr std::array<int, 6> kSteps = {0, 3, 5, 7, 1, 6};
  static constexpr std::array<std::string_view, 4> kShapes = {"circle", "square", "triangle", "diamond"};
  const std::string fill(kViridis[static_cast<std::size_t>(kSteps[k % kSteps.size()])]);
  const std::string shape(kShapes[k % kShapes.size()]);
  const std::string attrs = " class=\"dot " + shape + "\"" + std::string(attributes);
  const std::string title = tip.empty() ? "" : "<title>" + xml_escape(tip) + "</title>";
  if (shape == "circle") {
    c.circle(x, y, 5, fill, attrs, tip);
  } else if (shape == "square") {
    c.rect(x - 4.5, y - 4.5, 9, 9, fill, attrs + " data-cx=\"" + svg_number(x) + "\"", tip);
  } else {
    const std::string d = shape == "triangle" ? "M" + svg_number(x) + " " + svg_number(y - 6) + "l5.5 10h-11z"
                                              : "M" + svg_number(x) + " " + svg_number(y - 6) + "l6 6l-6 6l-6 -6z";
    c.raw("<path d=\"" + d + "\" fill=\"" + fill + "\"" + attrs + " data-cx=\"" + svg_number(x) + "\">" + title +
          "</path>\n");
  }
}

// The legend: each method's marker and name in a line from `left`.
void draw_method_legend(SvgCanvas& c, const std::vector<std::string>& method_names, double left, double legend_top) {
  double x = left;
  for (std::size_t k = 0; k < method_names.size(); ++k) {
    draw_marker(c, k, x + 6, legend_top + 8, "", "");
    c.text(x + 16, legend_top + 12, method_names[k], Anchor::Start, kFont, "label");
    x += 22 + text_width(method_names[k], kFont) + 10;
  }
}

}  // namespace

// The compared means, each as (mean - reference mean) / reference standard
// deviation, the reference being the all-values row (or the first method).
std::optional<Picture> means_dot_plot(const PivotTable& means, const PivotTable* deviations) {
  if (deviations == nullptr) return std::nullopt;
  const TableNumbers m(means);
  const TableNumbers s(*deviations);
  MeansPlaces p;
  p.vars = m.dimension("CMPB_ VARIABLES");
  p.methods = m.dimension("CMPB_ STATISTICS");
  p.s_vars = s.dimension("CMPB_ VARIABLES");
  p.s_methods = s.dimension("CMPB_ STATISTICS");
  if (p.vars < 0 || p.methods < 0 || p.s_vars < 0 || p.s_methods < 0) return std::nullopt;
  p.method_rows = m.leaves(p.methods);
  p.variables = m.leaves(p.vars);
  if (p.method_rows.size() < 2 || p.variables.empty()) return std::nullopt;
  p.reference = m.find(p.methods, "UOUT_ ALL VALUES");
  if (p.reference < 0) p.reference = p.method_rows.front();
  p.s_reference = s.find(p.s_methods, key_of(means.dimensions[static_cast<std::size_t>(p.methods)]
                                                 .categories[static_cast<std::size_t>(p.reference)]
                                                 .label));
  p.s_variables = s.leaves(p.s_vars);
  if (p.s_reference < 0 || p.s_variables.size() != p.variables.size()) return std::nullopt;

  double extent = 0;
  const std::vector<MeansRow> rows = standardised_means(m, s, p, extent);
  const double axis = nice_ceiling(std::max(extent, 0.01));
  std::vector<std::string> names;
  for (const MeansRow& r : rows) names.push_back(r.name);
  std::vector<std::string> method_names;
  for (const int method : p.method_rows) method_names.push_back(m.label(p.methods, method));

  const double left = widest(names, kFont) + 16;
  const double top = 36;
  const double row_h = 22;
  const double plot_width = 360;
  const double plot_height = row_h * static_cast<double>(rows.size());
  const double scale = plot_width / (2 * axis);
  const double zero = left + plot_width / 2;
  const double legend_top = top + plot_height + 42;
  double legend_width = 0;
  for (const std::string& n : method_names) legend_width += 22 + text_width(n, kFont) + 10;
  const double width = std::max(left + plot_width + 30, left + legend_width + 10);
  const double height = legend_top + 30;

  const std::string reference_name = m.label(p.methods, p.reference);
  std::string desc = "Means by method, in standard deviations of the " + reference_name +
                     " estimate away from its mean, per variable.";
  SvgCanvas c(width, height, "Estimated means compared", desc);
  c.text(8, 18, "Estimated means compared", Anchor::Start, 13, "label");
  c.rect(left, top, plot_width, plot_height, "#ffffff", plot_area(scale, zero));
  for (int k = -2; k <= 2; ++k) {
    const double x = zero + plot_width / 4 * k;
    c.line(x, top, x, top + plot_height, k == 0 ? "#888888" : "#dddddd");
    c.text(x, top + plot_height + 14, svg_number(axis * k / 2), Anchor::Middle, kFont, "label");
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double y = top + row_h * (static_cast<double>(i) + 0.5);
    c.text(left - 6, y + 4, rows[i].name, Anchor::End, kFont, "label");
    c.line(left, y, left + plot_width, y, "#f0f0f0");
    for (std::size_t k = 0; k < p.method_rows.size(); ++k) {
      const double z = rows[i].z[k];
      if (std::isnan(z)) continue;
      const std::string mean_text =
          shown(m.value(cell_at(means.dimensions.size(), p.vars, p.variables[i], p.methods, p.method_rows[k])));
      draw_marker(c, k, zero + z * scale, y,
                  " data-row=\"" + xml_escape(rows[i].name) + "\" data-method=\"" + xml_escape(method_names[k]) + "\"",
                  rows[i].name + ", " + method_names[k] + ": mean " + mean_text);
    }
  }
  c.text(zero, top + plot_height + 30, "Difference from the " + reference_name + " mean, in its standard deviations",
         Anchor::Middle, kFont, "label");
  draw_method_legend(c, method_names, left, legend_top);
  return Picture{"means-compared", c.finish()};
}
}  // namespace mva::host::picture_parts
