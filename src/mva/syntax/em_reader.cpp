// The EM subcommand reader. EM may name its dependent and independent
// variables and take, in parentheses, the tolerance of the sweep, the model
// (TDF for a t model, PROPORTION and LAMBDA for a contaminated normal one),
// the convergence criterion, the iteration limit and a file for the
// completed data. A repeated parameter takes the last value.
#include <string_view>

#include "mva/syntax/method_parameters.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

namespace {

constexpr NumericParameter kEmParameters[] = {
    {.keyword = "TOLERANC",
     .real = &MvaCommon::EMTOL,
     .accepts = [](double t) { return t >= 0.0 && t < 1.0; },
     .message = "EGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1"},
    {.keyword = "PROPORTI",
     .real = &MvaCommon::EMPROP,
     .accepts = [](double p) { return p > 0.0 && p < 1.0; },
     .message = "EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1"},
    {.keyword = "LAMBDA",
     .real = &MvaCommon::EMLAMB,
     .accepts = [](double l) { return l > 0.0; },
     .message = "EGET_ LAMBDA MUST BE A POSITIVE VALUE"},
    {.keyword = "CONVERGE",
     .real = &MvaCommon::EMCONV,
     .accepts = [](double c) { return c > 0.0 && c < 1.0; },
     .message = "EGET_ CONVERGENCE MUST BE POSITIVE AND .LT. 1"},
    {.keyword = "ITERATIO",
     .count = &MvaCommon::EMITER,
     .accepts = [](double n) { return n >= 0.0; },
     .message = "EGET_ ITERATION MUST BE A POSITIVE INTEGER"},
};

}  // namespace

void EGET(Context& cx, OutfileRequest& outfile) {
  MvaCommon& c = cx.cmn;
  outfile.kind = kNoFile;
  c.EMTDF = 0.0;  // no t model unless this subcommand asks for one
  advance(cx);
  if (!read_method_lists(cx, kEm)) return;
  if (open_parameters(cx, "EGET_ UNRECOGNIZED SYMBOL IN EMALG SUBCOMMAND\\: ^1") != ParameterList::Open) {
    return;
  }
  advance(cx);
  for (;;) {
    if (const NumericParameter* p = find_parameter(cx, kEmParameters)) {
      if (!read_numeric_parameter(cx, *p)) return;
    } else if (keyword(cx, "TDF", 8)) {
      advance(cx);
      skip_equals(cx);
      if (!read_degrees_of_freedom(cx, c.EMTDF, "EGET_ TDF MUST BE BETWEEN 2 AND 200",
                                   "EGET_ TDF MUST BE AN INTEGER")) {
        return;
      }
    } else if (keyword(cx, "OUTFILE", 8)) {
      // The token after the file specification is the next parameter.
      if (!read_outfile(cx, outfile, "EGET_ OUTFILE cannot be asterisk ...")) return;
      continue;
    } else if (at_symbol(cx, Symbol::RightParen)) {
      return;
    } else {
      syntax_error(cx, "EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1", {token_text(cx)});
      return;
    }
    advance(cx);
  }
}

}  // namespace mva
