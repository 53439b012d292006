// The mismatch table of the missing indicators (MISMATCH, table 13): the
// percent missing of every variable that reaches the PERCENT limit on the
// diagonal and the percent of cases in which exactly one of two variables is
// missing below it, rows and columns in one order: the VARIABLES list, or,
// unless NOSORT, the chain that puts similar missing patterns side by side.
// The percents come from the pairwise weight sums already computed, so the
// table costs no pass over the cases except the one the ordering reads.
#include "mva/diagnostics/indicator_correlations.h"
#include "mva/diagnostics/percent_text.h"

#include <string>

#include "mva/diagnostics/mismatch_percents.h"
#include "mva/diagnostics/variable_order.h"

namespace mva {

void IOUT(Context& cx, WordArray VCOLS, std::int64_t length, WordArray PATWRK, int table) {
  Host& host = cx.host;
  const MvaCommon& c = cx.cmn;
  const WordArray ANVAR = cx.words(c.a.ANVAR);
  const WordArray COLOF2 = cx.words(c.a.COLOF2);
  const WordArray VWIDTH = cx.words(c.a.VWIDTH);
  const MismatchPercents pct{cx.triangle(c.a.PWN), c.NCASES};

  // The variables that reach the limit, in list order; the rest of PATWRK is
  // cleared so that the ordering sees the list alone.
  std::int64_t m = 0;
  for (std::int64_t i = 1; i <= length; ++i) {
    const std::int64_t k = VCOLS(i);
    if (k < 1) continue;
    const std::int64_t v = ANVAR(k);
    if (v < 1 || var_type(VWIDTH(v)) == VarType::Continuation) continue;
    if (pct.missing(k) >= c.MMPCT) PATWRK(++m) = v;
  }
  for (std::int64_t i = m + 1; i <= c.NVAR; ++i) PATWRK(i) = 0;
  if (m == 0) {
    host.BP_ERROR(with_typed_percent(host, "IOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT", c.MMPTXT), MessageClass::Syntax,
                  Severity::Warning);
    return;
  }

  const Text title = host.BP_CSTRING("IOUT_ CORRELATION OF MISSING INDICATORS");
  host.BP_BEGIN_PIVOT_TABLE(table, title, title);
  host.BP_TABLE_PROPERTY(table, 1, host.BP_IVALUE(1, host.BP_N_FORMAT()));
  host.BP_ANNOTATE(host.BP_CSTRING("IOUT_ DIAG - PERCENT MISSING, OFFDIAG - PERCENT MISMATCH"), AnnotationCode::Title);
  if (is_true(c.MMSORT)) {
    VARORD(cx, c.NVAR, PATWRK);
    host.BP_ANNOTATE(host.BP_CSTRING("IOUT_ VARIABLES ARE SORTED ON MISSING PATTERNS"), AnnotationCode::TableNote);
  }
  if (c.MMPCT > 0.0)
    host.BP_ANNOTATE(with_typed_percent(host, "IOUT_ PERCENT LIMIT ^1", c.MMPTXT), AnnotationCode::TableNote);

  const Text columns = host.BP_CSTRING("IOUT_ COLUMNS");
  const Text rows = host.BP_CSTRING("IOUT_ ROWS");
  host.BP_POSITION_DIMENSION(table, columns, kColumnDimension);
  host.BP_POSITION_DIMENSION(table, rows, kRowDimension);
  host.BP_CELL_DIMENSION(table, columns);

  const Format format = host.DIFENC(5, 40, 2);
  for (std::int64_t i = 1; i <= m; ++i) {
    const std::int64_t v = PATWRK(i);
    const std::int64_t a = COLOF2(v);
    if (a <= 0) continue;
    host.BP_CATEGORY_DIMENSION(table, host.BP_VARIABLE(v, 0), rows);
    for (std::int64_t j = 1; j <= i; ++j) {
      const std::int64_t u = PATWRK(j);
      const std::int64_t b = COLOF2(u);
      if (b <= 0) continue;
      const double value = j == i ? pct.missing(b) : pct.mismatch(a, b);
      host.BP_CELL_IN_CATEGORY(table, host.BP_LRVALUE(value, format), host.BP_VARIABLE(u, 0));
    }
  }
  host.BP_END_PIVOT_TABLE(table);
}

}  // namespace mva
