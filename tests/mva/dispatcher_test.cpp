// The subcommand dispatcher: every message of the command language with its
// key, parameters, class and severity, the option values the subcommands
// leave, the up-front and duplicate rules and the method-comparison switch.
#include <gtest/gtest.h>

#include <tuple>

#include "support/harness.h"

namespace mva::test {
namespace {

const TestData kData{"age,income,region,educ,id\n30,10,North,12,1\n40,,South,16,2\n", {}};

struct Row {
  const char* command;
  std::vector<Message> expected;  // every message, in order
};

TEST(Dispatcher, MessagesOfTheCommandLanguage) {
  const Row rows[] = {
      {"MVA age income region /CATEGORICAL=region /MAXCAT=10 /TTEST.", {}},
      {"MVA age /MAXCAT=0.", {{"PARS_ /MAXCAT MUST BE A POSITIVE INTEGER", {}, 1, 3}}},
      {"MVA age /MAXCAT=1e20.", {{"PARS_ /MAXCAT MUST BE A POSITIVE INTEGER", {}, 1, 3}}},
      {"MVA age /TTEST /CATEGORICAL=region.",
       {{"PARS_ /CAT, /MAXCAT, AND /ID MUST BE UP FRONT", {}, 1, 3}}},
      {"MVA age /NOUNIVARIATE /ID=id.",
       {{"PARS_ /CAT, /MAXCAT, AND /ID MUST BE UP FRONT", {}, 1, 3}}},
      {"MVA age /BOGUS.", {{"PARS_ BAD SUBCOMMAND ^1", {"BOGUS"}, 1, 3}}},
      {"MVA age /CAT=region.", {{"PARS_ BAD SUBCOMMAND ^1", {"CAT"}, 1, 3}}},
      {"MVA age /TTEST PERCENT=-1.", {{"PARS_ PERCENT MAY NOT BE NEGATIVE", {}, 1, 3}}},
      {"MVA age /TTEST PERCENT=100.", {{"PARS_ PERCENT MAY NOT BE NEGATIVE", {}, 1, 3}}},
      {"MVA age /CROSSTAB PERCENT=100.", {{"PARS_ PERCENT MAY NOT BE NEGATIVE", {}, 1, 3}}},
      {"MVA age /TTEST PROBABILITY.", {{"PARS_ SYNTAX ERROR IN /TTEST SUBCOMMAND", {}, 1, 3}}},
      {"MVA age /CROSSTAB COUNTS.", {{"PARS_ SYNTAX ERROR IN /TABULATE SUBCOMMAND", {}, 1, 3}}},
      {"MVA age /TTEST /TTEST PROB.", {{"PARS_ MORE THAN ONE ^1", {"TTEST"}, 1, 2}}},
      {"MVA age /EM /EMALGORITHM.", {{"PARS_ MORE THAN ONE ^1", {"EMALGORITHM"}, 1, 2}}},
      {"MVA age region /CATEGORICAL=nosuch.",
       {{"HOST_ UNKNOWN VARIABLE ^1", {"nosuch"}, 1, 3},
        {"CATV_ ERROR READING VARIABLE LIST", {}, 1, 3}}},
      {"MVA age /ID=nosuch.", {{"LABV_ BAD VARIABLE ^1", {"nosuch"}, 1, 3}}},
      {"MVA id /ID=id.", {{"LABV_ THERE ARE NO VARIABLE TO USE", {}, 1, 3}}},
      {"MVA age income region /EM region.",
       {{"DEPV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG", {"region"}, 1, 3}}},
      {"MVA age income /EM age WITH educ.",
       {{"INDV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG", {"educ"}, 1, 3}}},
      {"MVA age income /REGRESSION WITH (TOLERANCE=0.1).",
       {{"HOST_ VARIABLE LIST EXPECTED AT ^1", {"("}, 1, 3},
        {"INDV_ ERROR READING INDEPENDENT VARIABLE LIST", {}, 1, 3}}},
      {"MVA age income /EM nosuch.",
       {{"HOST_ UNKNOWN VARIABLE ^1", {"nosuch"}, 1, 3},
        {"DEPV_ ERROR READING DEPENDENT VARIABLE LIST", {}, 1, 3}}},
      {"MVA nosuch.", {{"HOST_ UNKNOWN VARIABLE ^1", {"nosuch"}, 1, 3}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    f.parse(row.command);
    const auto& got = f.host().messages;
    ASSERT_EQ(got.size(), row.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      const Message& e = row.expected[i];
      EXPECT_EQ(std::tie(got[i].key, got[i].params, got[i].msg_class, got[i].severity),
                std::tie(e.key, e.params, e.msg_class, e.severity));
    }
  }
}

TEST(Dispatcher, OptionValuesAndDefaults) {
  ParseFixture f(kData);
  ASSERT_TRUE(f.parse("MVA age income region /CATEGORICAL=region /MAXCAT=10 /TTEST PROB NOCOUNTS "
                      "PERCENT=2.50 /CROSSTAB PERCENT=0."));
  const MvaCommon& c = f.cmn();
  EXPECT_EQ(c.MAXCAT, 10);
  EXPECT_TRUE(is_true(c.TTPROB));
  EXPECT_FALSE(is_true(c.TTCNT));
  EXPECT_TRUE(is_true(c.TTT) && is_true(c.TTDF) && is_true(c.TTMEAN));
  EXPECT_EQ(c.TTPCT, 2.5);
  EXPECT_EQ(c.TTPTXT, "2.50");  // the number as typed
  EXPECT_EQ(c.CTPCT, 0.0);
  EXPECT_EQ(c.CTPTXT, "0");
  EXPECT_EQ(c.MMPTXT, "5.0");
  EXPECT_EQ(c.PATPCT, 1.0);
  for (int n : {kCategorical, kMaxcat, kTtest, kCrosstab, kUnivariate}) {
    EXPECT_TRUE(is_true(c.SUBCMD[n])) << n;
  }
  EXPECT_FALSE(is_true(c.SUBCMD[kEm]));
  EXPECT_EQ(c.NPRED, c.NANAL);  // an unset predictor count becomes the analysis count

  ParseFixture g(kData);
  ASSERT_TRUE(g.parse("MVA age /MAXCAT 2.7 /TTEST NOT NODF NOMEANS."));
  EXPECT_EQ(g.cmn().MAXCAT, 2);  // truncated
  EXPECT_FALSE(is_true(g.cmn().TTT) || is_true(g.cmn().TTDF) || is_true(g.cmn().TTMEAN));
}

TEST(Dispatcher, MethodComparisonWanted) {
  const struct {
    const char* command;
    bool compare;
  } rows[] = {
      {"MVA age income /PAIRWISE /EM.", true},
      {"MVA age income /EM.", true},  // univariate statistics count as a method
      {"MVA age income /NOUNIVARIATE /EM.", false},
      {"MVA age income /NOUNIVARIATE /PAIRWISE /LISTWISE.", true},
      {"MVA age income.", false},
      {"MVA age income /EMALGORITHM age income WITH age (TDF=4) /REGRESSION.", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(kData);
    ASSERT_TRUE(f.parse(row.command));
    EXPECT_EQ(is_true(f.cmn().CMPMTH), row.compare);
  }
}

}  // namespace
}  // namespace mva::test
