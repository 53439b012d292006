// The readers of EM, REGRESSION, LISTWISE, PAIRWISE, the pattern subcommands
// (with the SORT list) and MISMATCH, table-driven: each row is a command and
// either the messages it reports (key, parameters, class, severity, in order)
// or the values of some options it leaves: defaults, bounds, truncation, the
// last of repeated values, typed PERCENT texts, DESCRIBE flags, sort keys and
// the OUTFILE requests kept for the outfile hand-over.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "support/harness.h"

namespace mva::test {
namespace {

// Dictionary indices: x 1, y 2, s 3 (a string), z 4, id 5.
const TestData kData{"x,y,s,z,id\n30,10,North,12,1\n40,,South,16,2\n", {}};

// A command-syntax error (class 1, severity 3).
Message syntax(const char* key, std::vector<std::string> params = {}) {
  return {key, std::move(params), 1, 3};
}

// Parses each command in a fresh fixture and compares every message.
void expect_messages(const std::vector<std::pair<const char*, std::vector<Message>>>& rows) {
  for (const auto& [command, expected] : rows) {
    SCOPED_TRACE(command);
    ParseFixture f(kData);
    f.parse(command);
    const auto& got = f.host().messages;
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      const Message& e = expected[i];
      EXPECT_EQ(std::tie(got[i].key, got[i].params, got[i].msg_class, got[i].severity),
                std::tie(e.key, e.params, e.msg_class, e.severity));
    }
  }
}

// Writes the value of one named option.
using ShowOption = std::function<void(ParseFixture&, const std::string&, std::ostream&)>;

struct OptionRow {
  const char* command;
  const char* options;   // option names, separated by blanks
  const char* expected;  // their values as `show` writes them, separated by blanks
};

// Parses each command and compares the values of the row's options; values
// stored before an error stay, so rows may report messages.
void expect_options(const std::vector<OptionRow>& rows, const ShowOption& show) {
  for (const OptionRow& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    f.parse(row.command);
    std::istringstream names(row.options);
    std::ostringstream values;
    for (std::string name; names >> name;) {
      if (values.tellp() > 0) values << ' ';
      show(f, name, values);
    }
    EXPECT_EQ(values.str(), row.expected) << row.options;
  }
}

TEST(SubcommandReaders, Messages) {
  const Message em_star{"EGET_ OUTFILE cannot be asterisk ...", {}, 2, 3};
  const Message reg_star{"RGET_ OUTFILE cannot be asterisk ...", {}, 2, 3};
  const char* em_unknown = "EGET_ UNRECOGNIZED EMALGORITHM PARAMETER\\: ^1";
  const char* bad = "PGET_ BAD SYNTAX AT ^1";
  const char* percent = "PGET_ PERCENT MUST BE BETWEEN ZERO AND 100";
  expect_messages({
      // Every bound that is included, in one accepted subcommand.
      {"MVA x y /EM (TOLERANCE=0 TDF=200 ITERATIONS=0 OUTFILE=f) "
       "/REGRESSION (TOLERANCE=0 FLIMIT=0 NPREDICTORS=0 ADDTYPE=T(2)) /LISTWISE /PAIRWISE.",
       {}},
      {"MVA x y /EM (TOLERANCE=1).", {syntax("EGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (TDF=1.9).", {syntax("EGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      // A fraction is reported and the parameters after it are still read.
      {"MVA x y /EM (TDF=4.5 ITERATIONS=-1).",
       {syntax("EGET_ TDF MUST BE AN INTEGER"),
        syntax("EGET_ ITERATION MUST BE A POSITIVE INTEGER")}},
      {"MVA x y /EM (PROPORTION=0).", {syntax("EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (PROPORTION=1).", {syntax("EGET_ PROPORTION MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (LAMBDA=0).", {syntax("EGET_ LAMBDA MUST BE A POSITIVE VALUE")}},
      {"MVA x y /EM (CONVERGENCE=0).", {syntax("EGET_ CONVERGENCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /EM (ITERATIONS=x).", {syntax("EGET_ ITERATION MUST BE A POSITIVE INTEGER")}},
      {"MVA x y /EM (OUTFILE=*).", {em_star}},
      {"MVA x y /EM (TDFS=5).", {syntax(em_unknown, {"TDFS"})}},
      {"MVA x y /EM (TDF=5 /LISTWISE.", {syntax(em_unknown, {"/"})}},
      {"MVA x y /EM = (TDF=5).",
       {syntax("EGET_ UNRECOGNIZED SYMBOL IN EMALG SUBCOMMAND\\: ^1", {"="})}},
      {"MVA x y /REGRESSION (TOLERANCE=1).",
       {syntax("RGET_ TOLERANCE MUST BE POSITIVE AND .LT. 1")}},
      {"MVA x y /REGRESSION (FLIMIT=-1).", {syntax("RGET_ FLIMIT MUST BE POSITIVE")}},
      {"MVA x y /REGRESSION (NPREDICTORS=-1).",
       {syntax("RGET_ NPREDICTORS MUST BE A POSITIVE INTEGER")}},
      {"MVA x y /REGRESSION (ADDTYPE=5).", {syntax("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED")}},
      // An unknown ADDTYPE word is reported and reading goes on.
      {"MVA x y /REGRESSION (ADDTYPE=UNIFORM FLIMIT=-1).",
       {syntax("RGET_ RESIDUAL, NONE, NORMAL, OR T EXPECTED"),
        syntax("RGET_ FLIMIT MUST BE POSITIVE")}},
      {"MVA x y /REGRESSION (ADDTYPE=T(201)).", {syntax("RGET_ TDF MUST BE BETWEEN 2 AND 200")}},
      {"MVA x y /REGRESSION (ADDTYPE=T(2.5) OUTFILE=*).",
       {syntax("RGET_ TDF MUST BE AN INTEGER"), reg_star}},
      {"MVA x y /REGRESSION (OUTFILE=f WITH).",
       {syntax("RGET_ UNRECOGNIZED REGRESSION PARAMETER\\: ^1", {"WITH"})}},
      {"MVA x y /REGRESSION 'x'.",
       {syntax("RGET_ UNRECOGNIZED SYMBOL IN REGRESSION SUBCOMMAND\\: ^1", {"'x'"})}},
      {"MVA x y /LISTWISE OUTFILE=f.",
       {syntax("SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2", {"LISTWISE", "OUTFILE"})}},
      {"MVA x y /PAIRWISE (x).",
       {syntax("SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2", {"PAIRWISE", "("})}},
      {"MVA x y s /DPATTERN SORT=x(ascending), y(D) DESCRIBE=s "
       "/MPATTERN NOSORT DESCRIBE=x, z PERCENT=3 /TPATTERN NOSORT PERCENT 0 "
       "/MISMATCH NOSORT PERCENT=0.",
       {}},
      {"MVA x y /TPATTERN PERCENT=100.", {syntax(percent)}},
      {"MVA x y /DPATTERN PERCENT=-1.", {syntax(percent)}},
      {"MVA x y /MPATTERN PERCENT.", {syntax(percent)}},
      {"MVA x y /MPATTERN DESCRIBE=x zz.", {syntax(bad, {"zz"})}},
      {"MVA x y /DPATTERN NOSORT.", {syntax(bad, {"NOSORT"})}},
      {"MVA x y /MPATTERN SORT=x.", {syntax(bad, {"SORT"})}},
      {"MVA x y /DPATTERN PERCENT=5 (7).", {syntax(bad, {"("})}},
      {"MVA x y /DPATTERN SORT=zz.", {syntax("SRTV_ UNKNOWN VARIABLE ^1", {"zz"})}},
      {"MVA x y /DPATTERN SORT=z.", {syntax("SRTV_ VARIABLE ^1 IS NOT IN VAR_LIST", {"z"})}},
      {"MVA x y /DPATTERN SORT=x(Up).", {syntax("SRTV_ BAD SORT ORDER ^1", {"Up"})}},
      {"MVA x y /DPATTERN SORT=x(D y.", {syntax("SRTV_ MISSING CLOSE PAREN AT ^1", {"y"})}},
      {"MVA x y /DPATTERN SORT=x 5.", {syntax("SRTV_ BAD SORT SUBCOMMAND ^1", {"5"})}},
      {"MVA x y /MISMATCH PERCENT=100.", {syntax("IGET_ PERCENT MUST BE .GE.0.0 AND .LT.100")}},
      {"MVA x y /MISMATCH = 5.", {syntax("IGET_ SYNTAX ERROR IN ICORR SUBCOMMAND")}},
      {"MVA x y /MISMATCH SORT.", {syntax("IGET_ UNRECOGNIZED PARAMETER IN ICORR SUBCOMMAND")}},
  });
}

TEST(SubcommandReaders, MethodOptionValues) {
  const ShowOption show = [](ParseFixture& f, const std::string& name, std::ostream& out) {
    const MvaCommon& c = f.cmn();
    const std::map<std::string, double> values = {{"EMTOL", c.EMTOL},
                                                  {"EMTDF", c.EMTDF},
                                                  {"EMPROP", c.EMPROP},
                                                  {"EMLAMB", c.EMLAMB},
                                                  {"EMCONV", c.EMCONV},
                                                  {"EMITER", static_cast<double>(c.EMITER)},
                                                  {"RTOL", c.RTOL},
                                                  {"RFLIM", c.RFLIM},
                                                  {"NPRED", static_cast<double>(c.NPRED)},
                                                  {"RTDF", c.RTDF},
                                                  {"RADDTY", static_cast<double>(c.RADDTY)}};
    out << values.at(name);
  };
  const char* em = "EMTOL EMCONV EMITER EMTDF EMPROP EMLAMB";
  const char* reg = "RTOL RFLIM NPRED RADDTY RTDF";
  expect_options(
      {
          {"MVA x y /EM /REGRESSION.", em, "0.001 0.0001 25 0 0 0"},
          {"MVA x y /EM /REGRESSION.", reg, "0.001 4 2 1 5"},  // all of the 2 predictors
          // Each EM starts without a t model; the second EM here names none.
          {"MVA x y /EM (TDF=5) /EM.", "EMTDF", "0"},
          // Fractions are cut off; the parameters after TDF=4.5 still count; the
          // last TOLERANCE holds; a huge count saturates.
          {"MVA x y /EMALGORITHM x WITH y (TDF=4.5 CONVERGENCE=0.01 ITERATIONS=7.9 "
           "TOLERANCE=0.2 TOLERANCE=0 PROPORTION=0.1 LAMBDA=3).",
           em, "0 0.01 7 4 0.1 3"},
          {"MVA x y /EM (ITERATIONS=1e300).", "EMITER", "9.22337e+18"},
          {"MVA x y /REGRESSION (NPREDICTORS=2.9 FLIMIT=0 TOLERANCE=0.5).", reg, "0.5 0 2 1 5"},
          {"MVA x y /REGRESSION (ADDTYPE=NONE).", "RADDTY", "2"},
          {"MVA x y /REGRESSION (ADDTYPE NORMAL).", "RADDTY", "3"},
          {"MVA x y /REGRESSION (ADDTYPE=RESIDUALS).", "RADDTY", "1"},
          {"MVA x y /REGRESSION (ADDTYPE=T FLIMIT=2).", "RADDTY RTDF RFLIM", "4 5 2"},
          {"MVA x y /REGRESSION (ADDTYPE=T(7) FLIMIT=3).", "RTDF RFLIM", "7 3"},
          {"MVA x y /REGRESSION (ADDTYPE=T(2.5)).", "RTDF", "2"},
      },
      show);
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

TEST(SubcommandReaders, OutfileRequests) {
  const char* both = "MVA x y /LISTWISE /EM (OUTFILE=e) /REGRESSION (OUTFILE=r).";
  const struct {
    const char* command;
    int method;
    std::int64_t kind;
    const char* file;
  } rows[] = {
      {"MVA x y /EM x (TDF=3 OUTFILE 'em out.csv').", kEm, kDataFile, "'em out.csv'"},
      {"MVA x y /REGRESSION (OUTFILE=f FLIMIT=3).", kRegression, kDataFile, "f"},
      {"MVA x y /REGRESSION (OUTFILE=f INDICATORS).", kRegression, kIndicatorFile, "f"},
      {"MVA x y /REGRESSION (OUTFILE=f STATISTICS NPREDICTORS=1).", kRegression, kStatisticsFile,
       "f"},
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
    EXPECT_EQ(specification_at(f, request.position), row.file);
  }
}

// In later split groups the files of the first group stay in use: the parse
// of the same command records no position.
TEST(SubcommandReaders, OutfileInLaterGroupsIsNotRecorded) {
  ParseFixture f(kData);
  ASSERT_TRUE(f.parse("MVA x y /EM (OUTFILE=e) /REGRESSION (OUTFILE=f IMPUTES)."));
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

TEST(SubcommandReaders, PatternOptionValues) {
  // DESCRIBE flags come as D, M and T (the block of each subcommand), one
  // digit per variable; "sorts" gives the MPATTERN, TPATTERN and MISMATCH
  // switches; SORTKY its first four keys.
  const ShowOption show = [](ParseFixture& f, const std::string& name, std::ostream& out) {
    const MvaCommon& c = f.cmn();
    const std::string blocks = "DMT";
    if (name == "PATPCT") out << c.PATPCT;
    if (name == "PATTXT") out << c.PATTXT;
    if (name == "MMPCT") out << c.MMPCT;
    if (name == "MMPTXT") out << c.MMPTXT;
    if (name == "sorts") out << is_true(c.MPSORT) << is_true(c.TPSORT) << is_true(c.MMSORT);
    for (std::int64_t i = 1; name == "SORTKY" && i <= 4; ++i)
      out << (i > 1 ? "," : "") << f.word(c.a.SORTKY, i);
    if (name.size() == 1 && blocks.find(name) != std::string::npos) {
      const FlagBlocks described = f.cx().describe_flags();
      for (std::int64_t v = 1; v <= c.NVAR; ++v) {
        out << described(kDpattern + static_cast<int>(blocks.find(name)), v);
      }
    }
  };
  expect_options(
      {
          {"MVA x y.", "PATPCT PATTXT MMPCT MMPTXT sorts", "1 1.0 5 5.0 111"},
          {"MVA x y /MPATTERN NOSORT /MISMATCH NOSORT.", "sorts", "010"},
          {"MVA x y /TPATTERN NOSORT.", "sorts", "101"},
          // One PERCENT serves the three pattern subcommands; its text as typed.
          {"MVA x y /DPATTERN PERCENT=2.50 /TPATTERN.", "PATPCT PATTXT", "2.5 2.50"},
          {"MVA x y /TPATTERN PERCENT 0.", "PATPCT PATTXT", "0 0"},
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
      },
      show);
}

}  // namespace
}  // namespace mva::test
