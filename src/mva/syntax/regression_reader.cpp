// The REGRESSION subcommand reader. REGRESSION may name the variables to
// impute and the predictors, and take, in parentheses, the tolerance and F
// limit of predictor entry, the largest number of predictors, what is added
// to each predicted value (ADDTYPE) and a file with the kind of record it
// receives. A repeated parameter takes the last value.
#include <string_view>

#include "mva/syntax/method_parameters.h"
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

namespace {

constexpr NumericParameter kRegressionParameters[] = {
    {.keyword = "TOLERANC",
     .real = &MvaCommon::RTOL,
     .accepts = [](double t) { return t >= 0.0 && t < 1.0; },
     .message = "RGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1"},
    {.keyword = "FLIMIT",
     .real = &MvaCommon::RFLIM,
     .accepts = [](double f) { return f >= 0.0; },
     .message = "RGET_ FLIMIT MUST BE POSITIVE"},
    {.keyword = "NPREDICT",
     .count = &MvaCommon::NPRED,
     .accepts = [](double n) { return n >= 0.0; },
     .message = "RGET_ NPREDICTORS MUST BE A POSITIVE INTEGER"},
};

// A word naming a choice, compared on eight characters (blank padded).
struct Choice {
  std::string_view word;  // the word as compared
  std::int64_t code;      // the code it stands for
};

// What ADDTYPE adds to each predicted value (RADDTY); T is read on its own.
constexpr Choice kAddTypes[] = {{"RESIDUAL", kAddResidual}, {"NONE", kAddNone}, {"NORMAL", kAddNormal}};

// The kind of file written after OUTFILE=file.
constexpr Choice kFileKinds[] = {
    {"DATA", kDataFile}, {"INDICATO", kIndicatorFile}, {"IMPUTES", kImputesFile}, {"STATISTI", kStatisticsFile}};

// The choice whose word is current, or null.
const Choice* find_choice(const Context& cx, std::span<const Choice> choices) {
  for (const Choice& choice : choices) {
    if (keyword(cx, choice.word, 8)) return &choice;
  }
  return nullptr;
}

// ADDTYPE [=] RESIDUAL | NONE | NORMAL | T [(df)], with ADDTYPE current;
// leaves the next parameter current. False when the subcommand must end.
bool read_addtype(Context& cx) {
  constexpr std::string_view kExpected = "RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED";
  MvaCommon& c = cx.cmn;
  advance(cx);
  skip_equals(cx);
  if (!at_name(cx)) {
    syntax_error(cx, kExpected);
    return false;
  }
  if (keyword(cx, "T", 8)) {
    c.RADDTY = kAddT;
    advance(cx);
    if (!at_symbol(cx, Symbol::LeftParen)) return true;  // t deviates keep 5 df
    advance(cx);
    if (!read_degrees_of_freedom(cx, c.RTDF, "RGET_ TDF MUST BE BETWEEN 2 AND 200", "RGET_ TDF MUST BE AN INTEGER")) {
      return false;
    }
    advance(cx);  // the closing parenthesis, passed over
    advance(cx);
    return true;
  }
  if (const Choice* choice = find_choice(cx, kAddTypes)) {
    c.RADDTY = choice->code;
  } else {
    syntax_error(cx, kExpected);  // reading goes on with the next parameter
  }
  advance(cx);
  return true;
}

}  // namespace

void RGET(Context& cx, OutfileRequest& outfile) {
  outfile.kind = kNoFile;
  cx.cmn.RTDF = 5.0;  // degrees of freedom of ADDTYPE=T without its own
  advance(cx);
  if (!read_method_lists(cx, kRegression)) return;
  if (open_parameters(cx, "RGET_ UNRECOGNIZED SYMBOL IN REGRESSION SUBCOMMAND\\: ^1") != ParameterList::Open) {
    return;
  }
  advance(cx);
  for (;;) {
    if (const NumericParameter* p = find_parameter(cx, kRegressionParameters)) {
      if (!read_numeric_parameter(cx, *p)) return;
      advance(cx);
    } else if (keyword(cx, "ADDTYPE", 8)) {
      if (!read_addtype(cx)) return;
    } else if (keyword(cx, "OUTFILE", 8)) {
      if (!read_outfile(cx, outfile, "RGET_ OUTFILE cannot be asterisk ...")) return;
      if (const Choice* kind = find_choice(cx, kFileKinds)) {
        outfile.kind = kind->code;
        advance(cx);
      }
    } else if (at_symbol(cx, Symbol::RightParen)) {
      return;
    } else {
      syntax_error(cx, "RGET_ UNRECOGNIZED REGRESSION PARAMETER\\: ^1", {token_text(cx)});
      return;
    }
  }
}

}  // namespace mva
