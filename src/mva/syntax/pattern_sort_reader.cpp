// The SORT list of DPATTERN: the variables whose values order the cases of
// the data-pattern table, the first one the major key, each ascending unless
// "(D)" follows it. A key is the variable's dictionary index, negated for
// descending order; the list of keys ends at the first 0.
#include "mva/frame/queries.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

namespace {

// True when one of the first `stored` keys is a key of variable v.
bool keyed(WordArray keys, std::int64_t stored, std::int64_t v) {
  for (std::int64_t i = 1; i <= stored; ++i) {
    if (keys(i) == v || keys(i) == -v) return true;
  }
  return false;
}

}  // namespace

void SRTV(Context& cx, Logical& status) {
  status = kFalse;
  const auto fail = [&](std::string_view key) {
    syntax_error(cx, key, {token_text(cx)});
    status = kTrue;
  };
  // A new list replaces any earlier one whole.
  const WordArray keys = cx.words(cx.cmn.a.SORTKY);
  for (std::int64_t i = 1; i <= 2 * cx.cmn.NVAR; ++i) keys(i) = 0;
  std::int64_t stored = 0;

  advance(cx);
  skip_equals(cx);
  for (;;) {
    if (keyword(cx, "DESCRIBE", 8)) return;  // read next by the pattern reader
    if (at_symbol(cx, Symbol::Comma)) {
      advance(cx);
      continue;
    }
    if (at_end(cx) || at_slash(cx)) return;
    if (!at_name(cx)) return fail("SRTV_ BAD SORT SUBCOMMAND ^1");

    const std::int64_t v = cx.host.DICSCH(current(cx).text);
    if (v == 0) return fail("SRTV_ UNKNOWN VARIABLE ^1");
    if (!INVLST(cx, v)) return fail("SRTV_ VARIABLE ^1 IS NOT IN VAR_LIST");
    // A variable named again could never decide an order its first key left
    // open, so only its first key is kept; this also bounds the list by the
    // number of listed variables.
    std::int64_t repeated = 0;
    std::int64_t& key = keyed(keys, stored, v) ? repeated : keys(++stored);
    key = v;
    advance(cx);
    if (!at_symbol(cx, Symbol::LeftParen)) continue;

    advance(cx);
    const std::string& order = current(cx).text;
    const char first = order.empty() ? ' ' : order.front();
    if (cx.host.QCHEQL(first, 'D')) {
      key = -v;
    } else if (!cx.host.QCHEQL(first, 'A')) {
      return fail("SRTV_ BAD SORT ORDER ^1");
    }
    advance(cx);
    if (!at_symbol(cx, Symbol::RightParen)) return fail("SRTV_ MISSING CLOSE PAREN AT ^1");
    advance(cx);
  }
}

}  // namespace mva
