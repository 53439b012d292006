// A small output document used by the renderer tests: a split marker, a
// warning, and a univariate table with a group, an ungrouped-free layout,
// system-missing cells, footnotes of three kinds and a note.
#pragma once

#include <cmath>

#include "host/output/output_document.h"
#include "host/output_texts.h"

namespace mva::host::testing {

inline void build_univariate(OutputDocument& doc) {
  doc.add_split({SplitValue{"sex", 1.0, "Male"}, SplitValue{"region", std::nan(""), "North"}});
  doc.add_message(comp("PARS_ MORE THAN ONE ^1", {lit("EM")}), 1, 2);

  const Text vars = key("UOUT_ VARIABLES");
  const Text stats = key("UOUT_ STATISTICS");
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
  doc.cell(3, num(kSysmis, 2, FormatKind::Mean), var(2, "income"));
  doc.begin_group(3, key("UOUT_ EXTREMES"), stats);
  doc.annotate(key("UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)"), 3);  // on the group
  doc.category(3, key("UOUT_ LOW"), stats);
  doc.cell(3, count(0), var(1, "age"));
  doc.cell(3, num(kSysmis, 3), var(2, "income"));
  doc.annotate(key("UOUT_ . INDICATES THAT IQR=0"), 3);  // on the income row, same text as the title's
  doc.category(3, key("UOUT_ HIGH"), stats);
  doc.cell(3, count(2), var(1, "age"));
  doc.annotate(comp("IOUT_ PERCENT LIMIT ^1", {lit("5")}), 4);  // on that cell
  doc.end_group(3, stats);
  doc.annotate(comp("TOUT_ T_TEST, MISSING ^1", {lit("5")}), 1);
  doc.end_table(3);
}

}  // namespace mva::host::testing
