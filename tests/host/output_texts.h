// Builders of the output texts the reference host's text calls would hand
// over, made directly, and a small document for the renderer tests.
#pragma once

#include <cmath>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "host/data/number_text.h"
#include "host/output/output_document.h"
#include "mva/frame/host/types.h"

namespace mva::host::testing {

inline Format format(FormatKind kind, int decimals) { return Format{.kind = kind, .decimals = decimals}; }

inline Text text_of(Text::Kind kind, std::string k = {}, std::vector<Text> params = {}, double number = 0.0,
                    Format f = {}, std::int64_t variable = 0, std::string name = {}, std::string label = {}) {
  Text t;
  std::tie(t.kind, t.key, t.params, t.number, t.format, t.variable, t.name, t.label) =
      std::tie(kind, k, params, number, f, variable, name, label);
  return t;
}

inline Text key(std::string k) { return text_of(Text::Kind::Key, std::move(k)); }
inline Text lit(std::string s) { return text_of(Text::Kind::Literal, std::move(s)); }
inline Text comp(std::string k, std::vector<Text> p) { return text_of(Text::Kind::Composite, k, std::move(p)); }
// One item of a repeat list (its own parameters), and the list.
inline Text item(std::vector<Text> params) { return text_of(Text::Kind::Empty, {}, std::move(params)); }
inline Text list(std::vector<Text> items) { return text_of(Text::Kind::RepeatList, {}, std::move(items)); }

inline Text num(double v, int decimals, FormatKind kind = FormatKind::GenStat) {
  return text_of(Text::Kind::Number, {}, {}, v, format(kind, decimals));
}
inline Text count(double v) { return num(v, 0, FormatKind::Count); }
inline Text var(std::int64_t index, std::string name) {
  return text_of(Text::Kind::Variable, {}, {}, 0.0, {}, index, std::move(name));
}
inline Text value(std::int64_t index, std::string name, double v, std::string label) {
  return text_of(Text::Kind::VarValue, {}, {}, v, format(FormatKind::Print, 0), index, name, label);
}

// A split marker, a warning, and a univariate table with a group,
// system-missing cells, footnotes on the title, a group, a row and a cell,
// and a note.
inline void build_univariate(OutputDocument& doc) {
  doc.add_split({SplitValue{"sex", 1.0, "Male"}, SplitValue{"region", std::nan(""), "North"}});
  doc.add_message(comp("PARS_ MORE THAN ONE ^1", {lit("EM")}), 1, 2);
  const Text vars = key("UOUT_ VARIABLES"), stats = key("UOUT_ STATISTICS");
  doc.begin_table(3, key("EXEC_ UNIVARIATE STATISTICS"), key("EXEC_ UNIVARIATE STATISTICS"));
  doc.table_property(3, 1, count(1));
  doc.position_dimension(3, vars, {1, 0, 1, 0});
  doc.position_dimension(3, stats, {1, 1, 1, 0});
  doc.cell_dimension(3, vars);
  doc.annotate(key("UOUT_ . INDICATES THAT IQR=0"), 6);  // title footnote
  doc.category(3, key("UOUT_ FREQUENCY"), stats);
  doc.cell(3, count(10), var(1, "age"));
  doc.cell(3, count(9), var(2, "income"));
  doc.category(3, key("UOUT_ MEAN"), stats);
  doc.cell(3, num(35.2, 2, FormatKind::Mean), var(1, "age"));
  doc.cell(3, num(kSystemMissing, 2, FormatKind::Mean), var(2, "income"));
  doc.begin_group(3, key("UOUT_ EXTREMES"), stats);
  doc.annotate(key("UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)"), 3);  // on the group
  doc.category(3, key("UOUT_ LOW"), stats);
  doc.cell(3, count(0), var(1, "age"));
  doc.cell(3, num(kSystemMissing, 3), var(2, "income"));
  doc.annotate(key("UOUT_ . INDICATES THAT IQR=0"), 3);  // on the income row, same text as the title's
  doc.category(3, key("UOUT_ HIGH"), stats);
  doc.cell(3, count(2), var(1, "age"));
  doc.annotate(comp("IOUT_ PERCENT LIMIT ^1", {lit("5")}), 4);  // on that cell
  doc.end_group(3, stats);
  doc.annotate(comp("TOUT_ T_TEST, MISSING ^1", {lit("5")}), 1);
  doc.end_table(3);
}

}  // namespace mva::host::testing
