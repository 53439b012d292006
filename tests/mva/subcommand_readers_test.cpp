// The command readers, table-driven: each row is a command and either the
// messages it reports (key, parameters, class, severity, in order) or the
// values of some options it leaves: defaults, bounds, truncation, the last
// of repeated values, typed PERCENT texts, DESCRIBE flags, sort keys, the
// method-comparison switch and the OUTFILE requests kept for the hand-over.
#include <gtest/gtest.h>

#include <sstream>

#include "support/harness.h"

namespace mva::test {
namespace {

// Dictionary indices: x 1, y 2, s 3 (a string), z 4, id 5.
const TestData kData{"x,y,s,z,id\n30,10,North,12,1\n40,,South,16,2\n", {}};

// A command-syntax error (class 1, severity 3).
Message syntax(const char* key, std::vector<std::string> params = {}) { return {key, std::move(params), 1, 3}; }

TEST(SubcommandReaders, Messages) {
  const char* em_unknown = "EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1";
  const char* bad = "PGET_ BAD SYNTAX AT ^1";
  const char* maxcat = "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER";
  const char* negative = "PARS_ PERCENT MAY NOT BE NEGATIVE";
  const char* unknown = "HOST_ UNKNOWN VARIABLE ^1";
  const char* sget = "SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2";
  const std::vector<std::pair<const char*, std::vector<Message>>> rows = {
      // Every bound that is included, in accepted subcommands.
      {"MVA x y s /CATEGORICAL=s /MAXCAT=10 /TTEST /EM (TOLERANCE=0 TDF=200 ITERATIONS=0 OUTFILE=f) "
       "/REGRESSION (TOLERANCE=0 FLIMIT=0 NPREDICTORS=0 ADDTYPE=T(2)) /LISTWISE /PAIRWISE.",
       {}},
      {"MVA x y s /DPATTERN SORT=x(ascending), y(D) DESCRIBE=s "
       "/MPATTERN NOSORT DESCRIBE=x, z PERCENT=3 /TPATTERN NOSORT PERCENT 0 /MISMATCH NOSORT PERCENT=0.",
       {}},
      {"MVA x /MAXCAT=0.", {syntax(maxcat)}},
      {"MVA x /MAXCAT=1e20.", {syntax(maxcat)}},
      {"MVA x /TTEST /CATEGORICAL=s.", {syntax("PARS_ /CAT, /MAXCAT, AND /ID MUST BE UP FRONT")}},
      {"MVA x /BOGUS.", {syntax("PARS_ BAD SUBCOMMAND ^1", {"BOGUS"})}},
      {"MVA x /CAT=s.", {syntax("PARS_ BAD SUBCOMMAND ^1", {"CAT"})}},
      {"MVA x /TTEST PERCENT=-1.", {syntax(negative)}},
      {"MVA x /CROSSTAB PERCENT=100.", {syntax(negative)}},  // the upper bound has the same message
      {"MVA x /TTEST PROBABILITY.", {syntax("PARS_ SYNTAX ERROR IN /TTEST SUBCOMMAND")}},
      {"MVA x /CROSSTAB COUNTS.", {syntax("PARS_ SYNTAX ERROR IN /TABULATE SUBCOMMAND")}},
      {"MVA x /TTEST /TTEST PROB.", {{"PARS_ MORE THAN ONE ^1", {"TTEST"}, 1, 2}}},
      {"MVA x /EM /EMALGORITHM.", {{"PARS_ MORE THAN ONE ^1", {"EMALGORITHM"}, 1, 2}}},
      {"MVA x s /CATEGORICAL=nosuch.", {syntax(unknown, {"nosuch"}), syntax("CATV_ ERROR READING VARIABLE LIST")}},
      {"MVA x /ID=nosuch.", {syntax("LABV_ BAD VARIABLE ^1", {"nosuch"})}},
      {"MVA id /ID=id.", {syntax("LABV_ THERE ARE NO VARIABLE TO USE")}},
      {"MVA x y s /EM s.", {syntax("DEPV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG", {"s"})}},
      {"MVA x y /EM x WITH z.", {syntax("INDV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG", {"z"})}},
      {"MVA x y /REGRESSION WITH (TOLERANCE=0.1).",
       {syntax("HOST_ VARIABLE LIST EXPECTED AT ^1", {"("}), syntax("INDV_ ERROR READING INDEPENDENT VARIABLE LIST")}},
      {"MVA x y /EM nosuch.", {syntax(unknown, {"nosuch"}), syntax("DEPV_ ERROR READING DEPENDENT VARIABLE LIST")}},
      {"MVA nosuch.", {syntax(unknown, {"nosuch"})}},
      {"MVA x y /EM (TOLERANCE=1).", {syntax("EGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (TDF=1.9).", {syntax("EGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      // A fraction is reported and the parameters after it are still read.
      {"MVA x y /EM (TDF=4.5 ITERATIONS=-1).",
       {syntax("EGET_ TDF MUST BE AN INTEGER"), syntax("EGET_ ITERATION MUST BE A POSITIVE INTEGER")}},
      {"MVA x y /EM (PROPORTION=1).", {syntax("EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (LAMBDA=0).", {syntax("EGET_ LAMBDA MUST BE A POSITIVE VALUE")}},
      {"MVA x y /EM (CONVERGENCE=0).", {syntax("EGET_ CONVERGENCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (OUTFILE=*).", {{"EGET_ OUTFILE cannot be asterisk ...", {}, 2, 3}}},
      {"MVA x y /EM (TDFS=5).", {syntax(em_unknown, {"TDFS"})}},
      {"MVA x y /EM (TDF=5 /LISTWISE.", {syntax(em_unknown, {"/"})}},
      {"MVA x y /EM = (TDF=5).", {syntax("EGET_ UNRECOGNIZED SYMBOL IN EMALG SUBCOMMAND\\: ^1", {"="})}},
      {"MVA x y /REGRESSION (TOLERANCE=1).", {syntax("RGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /REGRESSION (NPREDICTORS=-1).", {syntax("RGET_ NPREDICTORS MUST BE A POSITIVE INTEGER")}},
      {"MVA x y /REGRESSION (ADDTYPE=5).", {syntax("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED")}},
      // An unknown ADDTYPE word is reported and reading goes on.
      {"MVA x y /REGRESSION (ADDTYPE=UNIFORM FLIMIT=-1).",
       {syntax("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED"), syntax("RGET_ FLIMIT MUST BE POSITIVE")}},
      {"MVA x y /REGRESSION (ADDTYPE=T(201)).", {syntax("RGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      {"MVA x y /REGRESSION (ADDTYPE=T(2.5) OUTFILE=*).",
       {syntax("RGET_ TDF MUST BE AN INTEGER"), {"RGET_ OUTFILE cannot be asterisk ...", {}, 2, 3}}},
      {"MVA x y /REGRESSION (OUTFILE=f WITH).", {syntax("RGET_ UNRECOGNIZED REGRESSION PARAMETER\\: ^1", {"WITH"})}},
      {"MVA x y /REGRESSION 'x'.", {syntax("RGET_ UNRECOGNIZED SYMBOL IN REGRESSION SUBCOMMAND\\: ^1", {"'x'"})}},
      {"MVA x y /LISTWISE OUTFILE=f.", {syntax(sget, {"LISTWISE", "OUTFILE"})}},
      {"MVA x y /PAIRWISE (x).", {syntax(sget, {"PAIRWISE", "("})}},
      {"MVA x y /TPATTERN PERCENT=100.", {syntax("PGET_ PERCENT MUST BE BETWEEN ZERO AND 100")}},
      {"MVA x y /MPATTERN DESCRIBE=x zz.", {syntax(bad, {"zz"})}},
      {"MVA x y /DPATTERN NOSORT.", {syntax(bad, {"NOSORT"})}},
      {"MVA x y /DPATTERN PERCENT=5 (7).", {syntax(bad, {"("})}},
      {"MVA x y /DPATTERN SORT=zz.", {syntax("SRTV_ UNKNOWN VARIABLE ^1", {"zz"})}},
      {"MVA x y /DPATTERN SORT=z.", {syntax("SRTV_ VARIABLE ^1 IS NOT IN VAR_LIST", {"z"})}},
      {"MVA x y /DPATTERN SORT=x(Up).", {syntax("SRTV_ BAD SORT ORDER ^1", {"Up"})}},
      {"MVA x y /DPATTERN SORT=x(D y.", {syntax("SRTV_ MISSING CLOSE PAREN AT ^1", {"y"})}},
      {"MVA x y /DPATTERN SORT=x 5.", {syntax("SRTV_ BAD SORT SUBCOMMAND ^1", {"5"})}},
      {"MVA x y /MISMATCH PERCENT=100.", {syntax("IGET_ PERCENT MUST BE .GE.0.0 AND .LT.100")}},
      {"MVA x y /MISMATCH = 5.", {syntax("IGET_ SYNTAX ERROR IN ICORR SUBCOMMAND")}},
      {"MVA x y /MISMATCH SORT.", {syntax("IGET_ UNRECOGNIZED PARAMETER IN ICORR SUBCOMMAND")}},
  };
  for (const auto& [command, expected] : rows) {
    SCOPED_TRACE(command);
    ParseFixture f(kData);
    f.parse(command);
    EXPECT_EQ(message_lines(f.host().messages), message_lines(expected));
  }
}

// The value of one named option as text. "tt" gives the t-test switches
// (T, DF, PROB, COUNTS, MEANS), "sorts" the MPATTERN, TPATTERN and MISMATCH
// ones, SORTKY its first four keys, and D, M and T the DESCRIBE flags of
// each pattern subcommand, one digit per variable.
std::string option(ParseFixture& f, const std::string& name) {
  const MvaCommon& c = f.cmn();
  const auto w = [](std::int64_t v) { return static_cast<double>(v); };
  const std::map<std::string, double> numbers = {
      {"EMTOL", c.EMTOL},      {"EMTDF", c.EMTDF},      {"EMPROP", c.EMPROP},    {"EMLAMB", c.EMLAMB},
      {"EMCONV", c.EMCONV},    {"EMITER", w(c.EMITER)}, {"RTOL", c.RTOL},        {"RFLIM", c.RFLIM},
      {"RTDF", c.RTDF},        {"NPRED", w(c.NPRED)},   {"RADDTY", w(c.RADDTY)}, {"TTPCT", c.TTPCT},
      {"MAXCAT", w(c.MAXCAT)}, {"CTPCT", c.CTPCT},      {"PATPCT", c.PATPCT},    {"MMPCT", c.MMPCT}};
  const std::map<std::string, std::string> texts = {
      {"TTPTXT", c.TTPTXT}, {"CTPTXT", c.CTPTXT}, {"PATTXT", c.PATTXT}, {"MMPTXT", c.MMPTXT}};
  std::ostringstream out;
  if (numbers.count(name)) out << numbers.at(name);
  if (texts.count(name)) out << texts.at(name);
  if (name == "CMPMTH") out << is_true(c.CMPMTH);
  if (name == "tt")
    out << is_true(c.TTT) << is_true(c.TTDF) << is_true(c.TTPROB) << is_true(c.TTCNT) << is_true(c.TTMEAN);
  if (name == "sorts") out << is_true(c.MPSORT) << is_true(c.TPSORT) << is_true(c.MMSORT);
  for (std::int64_t i = 1; name == "SORTKY" && i <= 4; ++i) out << (i > 1 ? "," : "") << f.word(c.a.SORTKY, i);
  const std::string blocks = "DMT";
  if (name.size() == 1 && blocks.find(name) != std::string::npos) {
    const FlagBlocks described = f.cx().describe_flags();
    for (std::int64_t v = 1; v <= c.NVAR; ++v) out << described(kDpattern + static_cast<int>(blocks.find(name)), v);
  }
  return out.str();
}

TEST(SubcommandReaders, OptionValues) {
  // options: option names, separated by blanks;
  // expected: their values, separated by blanks.
  const struct {
    const char* command;
    const char* options;
    const char* expected;
  } rows[] = {
      {"MVA x y /EM.", "NPRED CMPMTH", "2 1"},  // all 2 predictors; univariate counts as a method
      {"MVA x y s /CATEGORICAL=s /MAXCAT=10 /TTEST PROB NOCOUNTS PERCENT=2.50 /CROSSTAB PERCENT=0.",
       "MAXCAT tt TTPCT TTPTXT CTPCT CTPTXT", "10 11101 2.5 2.50 0 0"},
      {"MVA x /MAXCAT 2.7 /TTEST NOT NODF NOMEANS.", "MAXCAT tt", "2 00010"},
      {"MVA x y /NOUNIVARIATE /EM.", "CMPMTH", "0"},
      // Fractions are cut off; the parameters after TDF=4.5 still count; the
      // last TOLERANCE holds; a huge count saturates.
      {"MVA x y /EMALGORITHM x WITH y (TDF=4.5 CONVERGENCE=0.01 ITERATIONS=7.9 TOLERANCE=0.2 TOLERANCE=0 "
       "PROPORTION=0.1 LAMBDA=3).",
       "EMTOL EMCONV EMITER EMTDF EMPROP EMLAMB", "0 0.01 7 4 0.1 3"},
      {"MVA x y /EM (ITERATIONS=1e300).", "EMITER", "9.22337e+18"},
      {"MVA x y /REGRESSION (NPREDICTORS=2.9 FLIMIT=0 TOLERANCE=0.5).", "RTOL RFLIM NPRED RADDTY RTDF", "0.5 0 2 1 5"},
      {"MVA x y /REGRESSION (ADDTYPE NORMAL).", "RADDTY", "3"},
      {"MVA x y /EM (TDF=5) /EM.", "EMTDF", "0"},  // each EM starts without a t model
      {"MVA x y /REGRESSION (ADDTYPE=T FLIMIT=2).", "RADDTY RTDF RFLIM", "4 5 2"},
      {"MVA x y /REGRESSION (ADDTYPE=T(7) FLIMIT=3).", "RTDF RFLIM", "7 3"},
      {"MVA x y /MPATTERN NOSORT /MISMATCH NOSORT.", "sorts", "010"},
      {"MVA x y /TPATTERN NOSORT.", "sorts", "101"},
      // One PERCENT serves the three pattern subcommands; its text as typed.
      {"MVA x y /DPATTERN PERCENT=2.50 /TPATTERN.", "PATPCT PATTXT", "2.5 2.50"},
      {"MVA x y /MISMATCH PERCENT=03.0.", "MMPCT MMPTXT", "3 03.0"},
      // A second MISMATCH starts again from the defaults, value and text.
      {"MVA x y /MISMATCH PERCENT=3 /MISMATCH.", "MMPCT MMPTXT", "5 5.0"},
      // The list ends at a keyword; s is not on the VARIABLES list.
      {"MVA x y z /MPATTERN DESCRIBE=x, s y PERCENT=3.", "D M T PATPCT", "00000 11000 00000 3"},
      {"MVA x y z /TPATTERN DESCRIBE=x DESCRIBE=z.", "T", "00010"},
      // Keys in the order given, descending ones negated, a 0 after the last.
      {"MVA x y s /DPATTERN SORT=y(D), x DESCRIBE=s.", "SORTKY D", "-2,1,0,0 00100"},
      {"MVA x y s /DPATTERN SORT=x(Ascending) s(descending).", "SORTKY", "1,-3,0,0"},
      // A variable named again keeps its first key; a later SORT list
      // replaces the earlier one whole.
      {"MVA x y /DPATTERN SORT=x y(D) x(D).", "SORTKY", "1,-2,0,0"},
      {"MVA x y /DPATTERN SORT=x y DESCRIBE=x SORT=y.", "SORTKY", "2,0,0,0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    f.parse(row.command);
    std::istringstream names(row.options);
    std::string values;
    for (std::string name; names >> name;) values += (values.empty() ? "" : " ") + option(f, name);
    EXPECT_EQ(values, row.expected) << row.options;
  }
}

// The file specification a request points at, as the outfile hand-over
// will find it: the token at the recorded position ("" for no position).
// That later split groups keep the first group's files is seen in the files
// of saved_files_test.cpp.
std::string specification_at(Context& cx, std::int64_t position) {
  if (position == 0) return "";
  cx.host.SSETPT(cx.ws, cx.handle, position - 1);
  cx.host.SSNXT1(cx.ws, cx.handle);
  return cx.host.token().typed;
}

TEST(SubcommandReaders, OutfileRequests) {
  const char* both = "MVA x y /LISTWISE /EM (OUTFILE=e) /REGRESSION (OUTFILE=r).";
  const struct {
    const char* command;
    int method;
    std::int64_t kind;
    const char* file;
  } rows[] = {
      {"MVA x y /EM x (TDF=3 OUTFILE 'em out.csv').", kEm, kDataFile, "'em out.csv'"},
      {"MVA x y /REGRESSION (OUTFILE=f INDICATORS).", kRegression, kIndicatorFile, "f"},
      {"MVA x y /REGRESSION (OUTFILE=f STATISTICS NPREDICTORS=1).", kRegression, kStatisticsFile, "f"},
      {both, kEm, kDataFile, "e"},
      {both, kRegression, kDataFile, "r"},
      {both, kListwise, kNoFile, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    ASSERT_TRUE(f.parse(row.command));
    const OutfileRequest request = f.cmn().outfiles[row.method];
    EXPECT_EQ(request.kind, row.kind);
    EXPECT_EQ(specification_at(f.cx(), request.position), row.file);
  }
}

}  // namespace
}  // namespace mva::test
