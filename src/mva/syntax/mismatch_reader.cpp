// The MISMATCH subcommand reader: NOSORT keeps the variables of the
// missing-indicator table in list order, and PERCENT sets the percent of
// missing values a variable needs to enter the table.
#include "mva/syntax/percent_option.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

void IGET(Context& cx) {
  MvaCommon& c = cx.cmn;
  // Each MISMATCH starts from the defaults; the typed text goes back with the
  // value so that the table never quotes a threshold that is not in force.
  const ParseOptions defaults;
  c.MMSORT = kTrue;
  c.MMPCT = defaults.MMPCT;
  c.MMPTXT = defaults.MMPTXT;
  advance(cx);
  while (!at_end(cx) && !at_slash(cx) && !cx.host.error_flag()) {
    if (!at_name(cx)) {
      syntax_error(cx, "IGET_ SYNTAX ERROR IN ICORR SUBCOMMAND");
      return;
    }
    if (keyword(cx, "NOSORT", 8)) {
      c.MMSORT = kFalse;
    } else if (keyword(cx, "PERCENT", 7)) {
      advance(cx);
      skip_equals(cx);
      if (!take_percent(cx, c.MMPCT, c.MMPTXT)) {
        syntax_error(cx, "IGET_ PERCENT MUST BE .GE.0.0 AND .LT.100");
        return;
      }
    } else {
      syntax_error(cx, "IGET_ UNRECOGNIZED PARAMETER IN ICORR SUBCOMMAND");
      return;
    }
    advance(cx);
  }
}

}  // namespace mva
