// The reader of the pattern subcommands DPATTERN (a row per case), MPATTERN
// (a row per incomplete case) and TPATTERN (a row per distinct pattern).
// DESCRIBE names the variables whose values each table shows beside the
// patterns; DPATTERN orders its cases by SORT keys, MPATTERN and TPATTERN may
// keep the variables in list order (NOSORT); PERCENT, shared by the three,
// leaves rare patterns out of the tabulated patterns.
#include "mva/frame/queries.h"
#include "mva/syntax/percent_option.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

namespace {

// True on SORT or NOSORT, which end a DESCRIBE list.
bool at_sort_keyword(const Context& cx) { return keyword(cx, "SORT", 8) || keyword(cx, "NOSORT", 8); }

// DESCRIBE [=] variables, with DESCRIBE current; replaces the subcommand's
// DESCRIBE flags. The list ends at "/", at the end of the command, at SORT or
// NOSORT, or at a word that names no variable, which is then read as the next
// keyword. A variable off the VARIABLES list is passed over.
void read_describe(Context& cx, int subcommand) {
  const WordArray described = cx.describe_flags().block(subcommand);
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) described(v) = 0;
  advance(cx);
  skip_equals(cx);
  for (;;) {
    if (at_symbol(cx, Symbol::Comma)) {
      advance(cx);
      continue;
    }
    if (!at_name(cx) || at_sort_keyword(cx)) return;
    const std::int64_t v = cx.host.DICSCH(current(cx).text);
    if (v == 0) return;
    if (INVLST(cx, v)) described(v) = 1;
    advance(cx);
  }
}

// PERCENT [=] p, with PERCENT current; one threshold serves all three
// subcommands, the last one given is in force.
void read_pattern_percent(Context& cx) {
  advance(cx);
  skip_equals(cx);
  if (!take_percent(cx, cx.cmn.PATPCT, cx.cmn.PATTXT)) {
    syntax_error(cx, "PGET_ PERCENT MUST BE BETWEEN ZERO AND 100");
    return;
  }
  advance(cx);
}

}  // namespace

void PGET(Context& cx, int subcommand, Logical& status) {
  MvaCommon& c = cx.cmn;
  advance(cx);
  while (!at_end(cx) && !at_slash(cx) && !cx.host.error_flag()) {
    if (keyword(cx, "DESCRIBE", 8)) {
      read_describe(cx, subcommand);
    } else if (subcommand == kDpattern && keyword(cx, "SORT", 8)) {
      SRTV(cx, status);
    } else if (subcommand != kDpattern && keyword(cx, "NOSORT", 8)) {
      (subcommand == kMpattern ? c.MPSORT : c.TPSORT) = kFalse;
      advance(cx);
    } else if (keyword(cx, "PERCENT", 7)) {
      read_pattern_percent(cx);
    } else {
      // Also a number or a symbol where a keyword belongs.
      syntax_error(cx, "PGET_ BAD SYNTAX AT ^1", {token_text(cx)});
      return;
    }
  }
}

}  // namespace mva
