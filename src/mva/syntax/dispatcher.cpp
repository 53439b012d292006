// The subcommand dispatcher. Every parse starts from the option defaults,
// reads the variable list after the command name, then the subcommands one
// by one, each introduced by "/": it recognises each by its keyword, enforces
// that CATEGORICAL, MAXCAT and ID come first, warns about a subcommand given
// twice, and hands each subcommand to its reader. At the end it decides
// whether the method-comparison tables are wanted.
#include "mva/syntax/dispatcher.h"

#include <cmath>
#include <string>

#include "mva/syntax/outfile_handover.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"
#include "mva/syntax/variable_lists.h"

namespace mva {

namespace {

// A subcommand keyword as compared.
struct Keyword {
  int number;             // the subcommand number
  std::string_view word;  // blank padded to the length compared
  int length;             // characters compared
};

// In the order compared; the first match decides. A word padded with blanks
// matches only itself; an unpadded one matches every word it begins.
constexpr Keyword kSubcommands[] = {
    {kCategorical, "CATEGORI", 8}, {kMaxcat, "MAXCAT  ", 8},
    {kId, "ID      ", 8},          {kTtest, "TTEST   ", 8},
    {kCrosstab, "CROSSTAB", 8},    {kMismatch, "MISMATCH", 8},
    {kDpattern, "DPATTERN", 8},    {kMpattern, "MPATTERN", 8},
    {kTpattern, "TPATTERN", 8},    {kUnivariate, "NOUNIVARIATE", 12},
    {kListwise, "LISTWISE", 8},    {kPairwise, "PAIRWISE", 8},
    {kEm, "EMALGORI", 8},          {kEm, "EM      ", 8},
    {kRegression, "REGRESSI", 8},
};

// The state of one parse that the readers share with the dispatcher.
struct ParseState {
  bool up_front = true;         // no subcommand but CATEGORICAL, MAXCAT, ID seen yet
  Logical list_error = kFalse;  // error switch of the list readers
};

// MAXCAT [=] n, with 1 <= n <= 2**63; the value is truncated.
void read_maxcat(Context& cx) {
  advance(cx);
  skip_equals(cx);
  constexpr double kLimit = 9223372036854775808.0;
  const double value = current(cx).number;
  if (!at_number(cx) || !(value >= 1.0 && value <= kLimit)) {
    syntax_error(cx, "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER");
    return;
  }
  // 2**63 itself does not fit a signed word; it stands for "no limit".
  cx.cmn.MAXCAT = value >= kLimit ? INT64_MAX : static_cast<std::int64_t>(std::trunc(value));
}

// PERCENT [=] p with 0 <= p < 100, starting on the PERCENT keyword; the
// number stays current. False (with the message) on a bad value.
bool read_percent(Context& cx, double& percent, std::string& typed) {
  advance(cx);
  skip_equals(cx);
  const double p = current(cx).number;
  if (!at_number(cx) || !(p >= 0.0 && p < 100.0)) {
    syntax_error(cx, "PARS_ PERCENT MAY NOT BE NEGATIVE");
    return false;
  }
  percent = p;
  typed = current(cx).typed.substr(0, 255);
  return true;
}

// TTEST [PERCENT [=] p] and the switches T, DF, PROB, COUNTS, MEANS and
// their NO forms.
void read_ttest(Context& cx) {
  MvaCommon& c = cx.cmn;
  // A switch of the t-test table: its two words and the option they set.
  struct Switch {
    std::string_view on, off;   // the word that sets it TRUE, and FALSE
    Logical MvaCommon::*field;  // the option
  };
  constexpr Switch kSwitches[] = {
      {"T", "NOT", &MvaCommon::TTT},
      {"DF", "NODF", &MvaCommon::TTDF},
      {"PROB", "NOPROB", &MvaCommon::TTPROB},
      {"COUNTS", "NOCOUNTS", &MvaCommon::TTCNT},
      {"MEANS", "NOMEANS", &MvaCommon::TTMEAN},
  };
  advance(cx);
  while (at_name(cx)) {
    if (keyword(cx, "PERCENT", 7)) {
      read_percent(cx, c.TTPCT, c.TTPTXT);
    } else {
      const Switch* hit = nullptr;
      bool on = false;
      for (const Switch& s : kSwitches) {
        if (current(cx).text == s.on || current(cx).text == s.off) {
          hit = &s;
          on = current(cx).text == s.on;
          break;
        }
      }
      if (hit == nullptr) {
        syntax_error(cx, "PARS_ SYNTAX ERROR IN /TTEST SUBCOMMAND");
      } else {
        c.*(hit->field) = logical(on);
      }
    }
    if (cx.host.error_flag()) return;
    advance(cx);
  }
  if (!at_slash(cx) && !at_end(cx)) syntax_error(cx, "PARS_ SYNTAX ERROR IN /TTEST SUBCOMMAND");
}

// CROSSTAB [PERCENT [=] p].
void read_crosstab(Context& cx) {
  advance(cx);
  if (at_slash(cx) || at_end(cx)) return;
  if (keyword(cx, "PERCENT", 7)) {
    read_percent(cx, cx.cmn.CTPCT, cx.cmn.CTPTXT);
    return;
  }
  syntax_error(cx, "PARS_ SYNTAX ERROR IN /TABULATE SUBCOMMAND");
}

// Hands subcommand n to its reader.
void run_reader(Context& cx, int n, ParseState& state) {
  switch (n) {
    case kCategorical: CATV(cx, state.list_error); break;
    case kMaxcat: read_maxcat(cx); break;
    case kId: LABV(cx, state.list_error); break;
    case kTtest: read_ttest(cx); break;
    case kCrosstab: read_crosstab(cx); break;
    case kMismatch: IGET(cx); break;
    case kDpattern:
    case kMpattern:
    case kTpattern: PGET(cx, n, state.list_error); break;
    case kUnivariate: break;  // no parameters
    case kListwise:
    case kPairwise: SGET(cx, n, cx.cmn.outfiles[n]); break;
    case kEm: EGET(cx, cx.cmn.outfiles[n]); break;
    case kRegression: RGET(cx, cx.cmn.outfiles[n]); break;
    default: break;
  }
}

}  // namespace

void PARS(Context& cx) {
  MvaCommon& c = cx.cmn;
  Host& host = cx.host;
  ParseState state;
  c.reset_options();

  read_variables(cx, state.list_error);
  c.SUBCMD[kUnivariate] = kTrue;

  for (;;) {
    advance(cx);
    if (at_slash(cx)) advance(cx);
    if (at_end(cx) || host.error_flag()) break;

    if (!at_name(cx)) {
      syntax_error(cx, "PARS_ BAD SUBCOMMAND ^1", {token_text(cx)});
      if (host.error_flag()) break;
      continue;
    }
    const Keyword* match = nullptr;
    for (const Keyword& k : kSubcommands) {
      if (host.QABEQL(current(cx).text, k.word, k.length)) {
        match = &k;
        break;
      }
    }
    if (match == nullptr) {
      syntax_error(cx, "PARS_ BAD SUBCOMMAND ^1", {token_text(cx)});
      break;
    }

    const int n = match->number;
    const bool up_front_only = n == kCategorical || n == kMaxcat || n == kId;
    if (up_front_only && !state.up_front) {
      syntax_error(cx, "PARS_ /CAT, /MAXCAT, AND /ID MUST BE UP FRONT");
      break;
    }
    const std::string word = current(cx).text;
    const bool seen = n == kUnivariate ? !is_true(c.SUBCMD[static_cast<std::size_t>(n)])
                                       : is_true(c.SUBCMD[static_cast<std::size_t>(n)]);
    run_reader(cx, n, state);
    if (seen) report(cx, "PARS_ MORE THAN ONE ^1", {word}, MessageClass::Syntax, Severity::Warning);
    c.SUBCMD[static_cast<std::size_t>(n)] = logical(n != kUnivariate);
    if (!up_front_only) state.up_front = false;
    if (host.error_flag()) break;
  }

  // Univariate statistics count as one method, as do the pairwise tables.
  const int methods = ((is_true(c.SUBCMD[kUnivariate]) || is_true(c.SUBCMD[kPairwise])) ? 1 : 0) +
                      (is_true(c.SUBCMD[kListwise]) ? 1 : 0) + (is_true(c.SUBCMD[kEm]) ? 1 : 0) +
                      (is_true(c.SUBCMD[kRegression]) ? 1 : 0);
  c.CMPMTH = logical(methods > 1);

  // The files asked for are defined once, when the first group's parse ends.
  const bool files_asked = c.outfiles[kEm].position > 0 || c.outfiles[kRegression].position > 0;
  if (is_true(c.FIRSTG) && files_asked) OUTINFO(cx);
}

}  // namespace mva
