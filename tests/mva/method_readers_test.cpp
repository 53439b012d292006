// The readers of EM, REGRESSION, LISTWISE and PAIRWISE: every message with
// its key, parameters, class and severity; the option values they leave
// (defaults, bounds, truncation, the last of repeated values); and the
// OUTFILE requests kept for the outfile hand-over.
#include <map>
#include <sstream>

#include "reader_rows.h"

namespace mva::test {
namespace {

const TestData kData{"age,income,region,educ,id\n30,10,North,12,1\n40,,South,16,2\n", {}};

Message error(const char* key, std::vector<std::string> params = {}) {
  return {key, std::move(params), 1, 3};
}

TEST(MethodReaders, Messages) {
  const Message em_star{"EGET_ OUTFILE cannot be asterisk ...", {}, 2, 3};
  const Message reg_star{"RGET_ OUTFILE cannot be asterisk ...", {}, 2, 3};
  expect_messages(kData, {
      {"MVA age income /EM (TOLERANCE=0 TDF=200 ITERATIONS=0 OUTFILE=f) /EM.",
       {{"PARS_ MORE THAN ONE ^1", {"EM"}, 1, 2}}},
      {"MVA age income /EM (TOLERANCE=1).", {error("EGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (TOLERANCE=-0.1).",
       {error("EGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (TDF=1.9).", {error("EGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      {"MVA age income /EM (TDF 201).", {error("EGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      // A fraction is reported and the parameters after it are still read.
      {"MVA age income /EM (TDF=4.5 ITERATIONS=-1).",
       {error("EGET_ TDF MUST BE AN INTEGER"), error("EGET_ ITERATION MUST BE A POSITIVE INTEGER")}},
      {"MVA age income /EM (PROPORTION=0).",
       {error("EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (PROPORTION=1).",
       {error("EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (LAMBDA=0).", {error("EGET_ LAMBDA MUST BE A POSITIVE VALUE")}},
      {"MVA age income /EM (CONVERGENCE=1).",
       {error("EGET_ CONVERGENCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (CONVERGENCE=0).",
       {error("EGET_ CONVERGENCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /EM (ITERATIONS=many).",
       {error("EGET_ ITERATION MUST BE A POSITIVE INTEGER")}},
      {"MVA age income /EM (OUTFILE=*).", {em_star}},
      {"MVA age income /EM (TDFS=5).", {error("EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1", {"TDFS"})}},
      {"MVA age income /EM (TDF=5 /LISTWISE.",
       {error("EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1", {"/"})}},
      {"MVA age income /EM = (TDF=5).",
       {error("EGET_ UNRECOGNIZED SYMBOL IN EMALG SUBCOMMAND\\: ^1", {"="})}},

      {"MVA age income /REGRESSION (TOLERANCE=1).",
       {error("RGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA age income /REGRESSION (FLIMIT=-1).", {error("RGET_ FLIMIT MUST BE POSITIVE")}},
      {"MVA age income /REGRESSION (NPREDICTORS=-1).",
       {error("RGET_ NPREDICTORS MUST BE A POSITIVE INTEGER")}},
      {"MVA age income /REGRESSION (ADDTYPE=5).",
       {error("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED")}},
      // An unknown ADDTYPE word is reported and reading goes on.
      {"MVA age income /REGRESSION (ADDTYPE=UNIFORM FLIMIT=-1).",
       {error("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED"), error("RGET_ FLIMIT MUST BE POSITIVE")}},
      {"MVA age income /REGRESSION (ADDTYPE=T(1)).", {error("RGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      {"MVA age income /REGRESSION (ADDTYPE=T(x)).", {error("RGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      {"MVA age income /REGRESSION (ADDTYPE=T(2.5) OUTFILE=*).",
       {error("RGET_ TDF MUST BE AN INTEGER"), reg_star}},
      {"MVA age income /REGRESSION (OUTFILE=f WITH).",
       {error("RGET_ UNRECOGNIZED REGRESSION PARAMETER\\: ^1", {"WITH"})}},
      {"MVA age income /REGRESSION 'age'.",
       {error("RGET_ UNRECOGNIZED SYMBOL IN REGRESSION SUBCOMMAND\\: ^1", {"'age'"})}},

      {"MVA age income /LISTWISE /PAIRWISE.", {}},
      {"MVA age income /LISTWISE OUTFILE=f.",
       {error("SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2", {"LISTWISE", "OUTFILE"})}},
      {"MVA age income /PAIRWISE (x).",
       {error("SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2", {"PAIRWISE", "("})}},
  });
}

std::string show(ParseFixture& f, const std::string& option) {
  const MvaCommon& c = f.cmn();
  const std::map<std::string, double> values = {
      {"EMTOL", c.EMTOL},   {"EMTDF", c.EMTDF},   {"EMPROP", c.EMPROP},
      {"EMLAMB", c.EMLAMB}, {"EMCONV", c.EMCONV}, {"EMITER", static_cast<double>(c.EMITER)},
      {"RTOL", c.RTOL},     {"RFLIM", c.RFLIM},   {"NPRED", static_cast<double>(c.NPRED)},
      {"RADDTY", static_cast<double>(c.RADDTY)},  {"RTDF", c.RTDF},
  };
  std::ostringstream out;
  out << values.at(option);
  return out.str();
}

TEST(MethodReaders, OptionValues) {
  expect_options(kData, {
      // Defaults.
      {"MVA age income /EM.", "EMTOL", "0.001"},
      {"MVA age income /EM.", "EMCONV", "0.0001"},
      {"MVA age income /EM.", "EMITER", "25"},
      {"MVA age income /EM.", "EMPROP", "0"},
      {"MVA age income /EM.", "EMLAMB", "0"},
      {"MVA age income /REGRESSION.", "RTOL", "0.001"},
      {"MVA age income /REGRESSION.", "RFLIM", "4"},
      {"MVA age income /REGRESSION.", "RADDTY", "1"},
      {"MVA age income /REGRESSION.", "RTDF", "5"},
      {"MVA age income /REGRESSION.", "NPRED", "2"},  // all: the two analysis variables
      // Each EM starts without a t model; the second EM here names none.
      {"MVA age income /EM (TDF=5) /EM.", "EMTDF", "0"},
      {"MVA age income /EM (TDF 5).", "EMTDF", "5"},
      // A fraction is cut off and the parameters after it still count.
      {"MVA age income /EM (TDF=4.5 CONVERGENCE=0.01).", "EMTDF", "4"},
      {"MVA age income /EM (TDF=4.5 CONVERGENCE=0.01).", "EMCONV", "0.01"},
      {"MVA age income /EM (ITERATIONS=7.9).", "EMITER", "7"},
      {"MVA age income /EM (ITERATIONS=1e300).", "EMITER", "9.22337e+18"},  // saturated
      {"MVA age income /EM (TOLERANCE=0.2 TOLERANCE=0).", "EMTOL", "0"},  // the last one
      {"MVA age income /EMALGORITHM age WITH income (PROPORTION=0.1 LAMBDA=3).", "EMPROP", "0.1"},
      {"MVA age income /EMALGORITHM age WITH income (PROPORTION=0.1 LAMBDA=3).", "EMLAMB", "3"},
      {"MVA age income /REGRESSION (NPREDICTORS=2.9).", "NPRED", "2"},
      {"MVA age income /REGRESSION (NPREDICTORS=0 FLIMIT=0 TOLERANCE=0).", "NPRED", "0"},
      {"MVA age income /REGRESSION (NPREDICTORS=0 FLIMIT=0 TOLERANCE=0).", "RFLIM", "0"},
      {"MVA age income /REGRESSION (ADDTYPE=NONE).", "RADDTY", "2"},
      {"MVA age income /REGRESSION (ADDTYPE NORMAL).", "RADDTY", "3"},
      {"MVA age income /REGRESSION (ADDTYPE=RESIDUALS).", "RADDTY", "1"},
      {"MVA age income /REGRESSION (ADDTYPE=T FLIMIT=2).", "RADDTY", "4"},
      {"MVA age income /REGRESSION (ADDTYPE=T FLIMIT=2).", "RTDF", "5"},
      {"MVA age income /REGRESSION (ADDTYPE=T FLIMIT=2).", "RFLIM", "2"},
      {"MVA age income /REGRESSION (ADDTYPE=T(7) FLIMIT=3).", "RTDF", "7"},
      {"MVA age income /REGRESSION (ADDTYPE=T(7) FLIMIT=3).", "RFLIM", "3"},
      {"MVA age income /REGRESSION (ADDTYPE=T(2.5)).", "RTDF", "2"},
      {"MVA age income /REGRESSION (OUTFILE=f FLIMIT=3).", "RFLIM", "3"},
  }, show);
}

// The file specification a request points at, as the outfile hand-over
// will find it: the token at the recorded position ("" for no position).
std::string specification_at(ParseFixture& f, std::int64_t position) {
  if (position == 0) return "";
  Context& cx = f.cx();
  cx.host.SSETPT(cx.ws, cx.handle, position - 1);
  cx.host.SSNXT1(cx.ws, cx.handle);
  return cx.host.token().typed;
}

TEST(MethodReaders, OutfileRequests) {
  const struct {
    const char* command;
    int method;
    std::int64_t kind;
    const char* file;
  } rows[] = {
      {"MVA age income /EM (OUTFILE=done CONVERGENCE=0.001).", kEm, kDataFile, "done"},
      {"MVA age income /EM age (TDF=3 OUTFILE 'em out.csv').", kEm, kDataFile, "'em out.csv'"},
      {"MVA age income /EM.", kEm, kNoFile, ""},
      {"MVA age income /REGRESSION (OUTFILE=f).", kRegression, kDataFile, "f"},
      {"MVA age income /REGRESSION (OUTFILE=f FLIMIT=3).", kRegression, kDataFile, "f"},
      {"MVA age income /REGRESSION (OUTFILE=f DATA).", kRegression, kDataFile, "f"},
      {"MVA age income /REGRESSION (OUTFILE=f INDICATORS).", kRegression, kIndicatorFile, "f"},
      {"MVA age income /REGRESSION (OUTFILE=f IMPUTES).", kRegression, kImputesFile, "f"},
      {"MVA age income /REGRESSION (OUTFILE=f STATISTICS NPREDICTORS=1).", kRegression,
       kStatisticsFile, "f"},
      {"MVA age income /LISTWISE /PAIRWISE /EM (OUTFILE=e) /REGRESSION (OUTFILE=r).", kEm,
       kDataFile, "e"},
      {"MVA age income /LISTWISE /PAIRWISE /EM (OUTFILE=e) /REGRESSION (OUTFILE=r).",
       kRegression, kDataFile, "r"},
      {"MVA age income /LISTWISE /PAIRWISE /EM (OUTFILE=e) /REGRESSION (OUTFILE=r).", kListwise,
       kNoFile, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    ASSERT_TRUE(f.parse(row.command));
    const OutfileRequest request = f.cmn().outfiles[row.method];
    EXPECT_EQ(request.kind, row.kind);
    EXPECT_EQ(specification_at(f, request.position), row.file);
  }
}

// In later split groups the files of the first group stay in use: the parse
// of the same command records no position.
TEST(MethodReaders, OutfileInLaterGroupsIsNotRecorded) {
  ParseFixture f(kData);
  ASSERT_TRUE(f.parse("MVA age income /EM (OUTFILE=e) /REGRESSION (OUTFILE=f IMPUTES)."));
  ASSERT_GT(f.cmn().outfiles[kEm].position, 0);
  Context& cx = f.cx();
  cx.cmn.FIRSTG = kFalse;
  cx.host.SSETPT(cx.ws, cx.handle, 0);
  cx.host.SSNXT1(cx.ws, cx.handle);
  IMEM1(cx);
  PARS(cx);
  EXPECT_TRUE(f.host().messages.empty());
  EXPECT_EQ(cx.cmn.outfiles[kEm].position, 0);
  EXPECT_EQ(cx.cmn.outfiles[kRegression].position, 0);
  EXPECT_EQ(cx.cmn.outfiles[kRegression].kind, kImputesFile);
}

}  // namespace
}  // namespace mva::test
