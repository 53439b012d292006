// The executive through the whole procedure: the notes it gives in place of
// an analysis, the tables it begins and announces in their fixed order, the
// memory messages of every workspace shortage (arrays all given back), and
// cell counts that cannot be represented.
#include <gtest/gtest.h>

#include <limits>
#include <numeric>

#include "host/output/renderers.h"
#include "mva/frame/executive.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// The reference host, also recording the table numbers announced (0 for the
// end of the announcements) and the tables begun and ended.
class ExecHost : public RecordingHost {
 public:
  using RecordingHost::RecordingHost;
  std::vector<int> announced;
  std::vector<std::string> tables;  // "+n" when table n is begun, "-n" when ended

  void BP_BEGIN_PIVOT_TABLE(int n, const Text& title, const Text& subtype) override {
    tables.push_back("+" + std::to_string(n)), RecordingHost::BP_BEGIN_PIVOT_TABLE(n, title, subtype);
  }
  void BP_END_PIVOT_TABLE(int n) override {
    tables.push_back("-" + std::to_string(n)), RecordingHost::BP_END_PIVOT_TABLE(n);
  }
  void BP_TABLE_ID(int n) override { announced.push_back(n), RecordingHost::BP_TABLE_ID(n); }
  void BP_END_TABLE_IDS() override { announced.push_back(0), RecordingHost::BP_END_TABLE_IDS(); }
};

std::unique_ptr<ExecHost> exec_host(const std::string& csv, bool split, std::int64_t workspace_cells = 1 << 20,
                                    std::vector<std::string> missing = {}) {
  host::DataOptions data;
  if (split) data.split = {"g"};
  data.missing = std::move(missing);
  host::HostOptions options;
  options.workspace_bytes = workspace_cells * 8;
  options.progress = false;
  return std::make_unique<ExecHost>(host::DataSet::from_text(csv, data), options);
}

// Notes on the data come in every group, in the order of the analyses
// whatever the order of the subcommands; notes on the command only in the
// first. The EM note is class 1. Two split groups of two cases each.
TEST(Executive, NotesInPlaceOfAnAnalysis) {
  const char* no_missing = "g,a,b,k\n1,1,2,1\n1,3,4,2\n2,5,6,1\n2,7,8,2\n";
  const char* categorical_only = "g,k\n1,1\n1,\n2,2\n2,\n";
  // keys: the messages of one group, less their "EXEC_ ".
  const std::string nm = "NO MISSING VALUE => NO ", nq = "NO QUANTITATIVE => NO ";
  const struct {
    const char* csv;
    std::string command;
    std::vector<std::string> keys;
    bool every_group;
  } rows[] = {
      {no_missing,
       "MVA a b /NOUNIVARIATE /EM /TPATTERN /MPATTERN /TTEST.",
       {nm + "T-STAT", nm + "MPATT", nm + "TPATT", nm + "EM_EST"},
       true},
      {no_missing, "MVA a b /NOUNIVARIATE /REGRESSION.", {nm + "REGR"}, true},
      {"g,a,b\n1,1,\n1,,2\n2,3,\n2,,4\n",
       "MVA a b /NOUNIVARIATE /LISTWISE.",
       {"NO COMPLETE CASE => NO LISTWISE"},
       true},
      {categorical_only, "MVA k /CATEGORICAL=k /NOUNIVARIATE /TTEST /EM.", {nq + "T-STAT", nq + "EMA"}, false},
      {categorical_only, "MVA k /CATEGORICAL=k /NOUNIVARIATE /LISTWISE.", {nq + "LISTWISE"}, false},
      {categorical_only, "MVA k /CATEGORICAL=k /PAIRWISE.", {nq + "PAIRWISE"}, false},
      {categorical_only, "MVA k /CATEGORICAL=k /NOUNIVARIATE /REGRESSION.", {nq + "REG"}, false},
      {no_missing, "MVA a b /CROSSTAB.", {"NO CATEGORICAL => NO TABULATE"}, false},
  };
  for (const auto& row : rows) {
    for (const bool split : {false, true}) {
      SCOPED_TRACE(row.command + (split ? " (split)" : ""));
      auto host = exec_host(row.csv, split);
      EXPECT_EQ(run_command(*host, row.command), 0);
      const bool per_group = split && row.every_group;
      std::vector<std::string> expected;
      for (int group = 0; group < (per_group ? 2 : 1); ++group) {
        for (const std::string& key : row.keys) {
          expected.push_back((per_group ? "EXEC_ SPLIT [:^1=^2, :$2=$1]1 " : "EXEC_ ") + key +
                             (key.ends_with("EM_EST") ? "|12" : "|22"));
        }
      }
      EXPECT_EQ(message_lines(host->messages, false), expected);
      if (per_group && row.keys.size() == 4) {  // the split form names the group when shown
        const std::string shown = host::render_text(host->output());
        EXPECT_NE(shown.find("g=2: there are no missing values, so no t tests"), std::string::npos) << shown;
      }
    }
  }

  // Files asked for on EM and REGRESSION in a group without missing values:
  // the EM note on the file always has the split form (here there is no
  // split), the regression note never has.
  ParseFixture fx({"a,b\n1,2\n3,4\n", {}});
  ASSERT_TRUE(fx.pass("MVA a b /NOUNIVARIATE /EM /REGRESSION."));
  Context& cx = fx.cx();
  SFSETS(cx.cmn, kEm, kDataFile, 0), SFSETS(cx.cmn, kRegression, kStatisticsFile, 0);
  EXEC(cx);
  EXPECT_EQ(
      message_lines(fx.host().messages, false),
      (std::vector<std::string>{"EXEC_ NO MISSING VALUE => NO EM_EST|12",
                                "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO OUTFILE|22",
                                "EXEC_ NO MISSING VALUE => NO REGR|22", "EXEC_ NO MISSING VALUE => NO OUTFILE|22"}));
}

// Table 3 is begun before the comparison tables and ended before the other
// analyses, whatever the order of the subcommands; the comparison tables are
// ended last; the diagnostic tables follow in their fixed order. Tables 3 to 28 are announced in the first group only,
// then with CROSSTAB 28 + v for every categorical variable v in dictionary order.
TEST(Executive, TablesInTheirFixedOrder) {
  const std::vector<std::string> em_order = {"+3", "+27", "+28", "-3",  "+12", "-12", "+4",  "-4",  "+5",  "-5",
                                             "+6", "-6",  "+20", "-20", "+21", "-21", "+22", "-22", "-27", "-28"};
  for (const char* command : {"MVA a b /EM /LISTWISE /TTEST.", "MVA a b /TTEST /LISTWISE /EM."}) {
    auto host = exec_host("a,b\n1,2\n3,\n5,6\n,8\n9,10\n", false);
    EXPECT_EQ(run_command(*host, command), 0);
    EXPECT_EQ(host->tables, em_order) << command;
  }

  // The diagnostic tables in the order of the executive, whatever the order
  // of their subcommands: univariate statistics, t tests, the
  // crosstabulation of d (28 + 4), mismatch, the map of the user-missing
  // codes, then the data, missing and tabulated patterns.
  const std::vector<std::string> diagnostics = {"+3",  "-3",  "+12", "-12", "+32", "-32", "+13", "-13",
                                                "+26", "-26", "+14", "-14", "+16", "-16", "+18", "-18"};
  for (const char* command :
       {"MVA a b c d /CATEGORICAL=d /TPATTERN PERCENT=0 /MPATTERN /DPATTERN /MISMATCH PERCENT=0 /CROSSTAB PERCENT=0"
        " /TTEST PERCENT=0.",
        "MVA a b c d /CATEGORICAL=d /TTEST PERCENT=0 /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0 /DPATTERN /MPATTERN"
        " /TPATTERN PERCENT=0."}) {
    auto host =
        exec_host("a,b,c,d\n1,,3,1\n2,2,,2\n3,3,3,1\n,4,4,2\n5,5,5,1\n6,,6,2\n7,7,7,1\n", false, 1 << 20, {"c=6"});
    EXPECT_EQ(run_command(*host, command), 0);
    EXPECT_EQ(host->tables, diagnostics) << command;
  }

  const struct {
    std::string command;
    std::vector<int> extra;
  } rows[] = {// a and d: 2 and 5 in the dictionary
              {"MVA a b c d /CATEGORICAL=d a /CROSSTAB.", {30, 33}},
              {"MVA a b c d /CATEGORICAL=a d.", {}},
              {"MVA a b c d /CROSSTAB.", {}}};
  for (const auto& row : rows) {
    for (const bool split : {false, true}) {
      SCOPED_TRACE(row.command + (split ? " (split)" : ""));
      auto host = exec_host("g,a,b,c,d\n1,1,2,3,4\n2,5,6,7,8\n", split);
      run_command(*host, row.command);
      std::vector<int> want(26);
      std::iota(want.begin(), want.end(), 3);
      want.insert(want.end(), row.extra.begin(), row.extra.end());
      want.push_back(0);
      EXPECT_EQ(host->announced, want);
    }
  }
}

// Two variables, two cases. Before the executive the workspace holds the case
// buffer (2 cells), the first plan (21 per variable: 42), the second plan
// (25) and the case store (4 values, 50 category slots, 3 per case: 60):
// 129 cells. The executive's scratch arrays take 20 more (2 for VCOLS and
// each work vector, 2 for each of the seven per-variable arrays), and the
// quartile rule's two work arrays 4 more while it runs. With three variables
// in the dictionary, the plans meet the shortage first: the case buffer
// takes 3 cells and the first plan 63; the second plan of two variables 25.
TEST(Executive, ShortWorkspace) {
  const char *two = "a,b\n1,2\n3,\n", *three = "a,b,c\n1,2,3\n", *forced = "EXTR_ FORCED TO MEAN+-2*SD|22";
  // message: the one message, with its class and severity ("" none).
  const struct {
    const char *csv, *command;
    std::int64_t cells;
    int status;
    const char* message;
  } rows[] = {
      {two, "MVA a b.", 153, 0, ""},
      {two, "MVA a b.", 152, 0, forced},
      {two, "MVA a b.", 149, 0, forced},
      {two, "MVA a b.", 148, 1, "EXEC_ INSUFFICIENT MEMORY|23"},
      {three, "MVA a b.", 65, 1, "IMEM_ NOT ENOUGH MEMORY|23"},  // the first plan does not fit
      {three, "MVA a b.", 66, 1, "IMEM_ NOT ENOUGH MEMORY|23"},  // the second does not
      {three, "MVA a b /EM a.", 66, 1, "DEPV_ ERROR READING DEPENDENT VARIABLE LIST|13"},
      {three, "MVA a b /REGRESSION WITH b.", 66, 1, "INDV_ NOT ENOUGH MEMORY|13"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.command << " in " << row.cells << " cells");
    auto host = exec_host(row.csv, false, row.cells);
    EXPECT_EQ(run_command(*host, row.command), row.status);
    EXPECT_EQ(message_lines(host->messages, false), std::vector<std::string>(*row.message != 0, row.message));
    EXPECT_EQ(host->announced.empty(), row.status != 0);
    EXPECT_EQ(host->arena().used_cells(), 0);  // every array given back
  }
}

TEST(WorkspacePlan, CellCountsThatCannotBeRepresented) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  // T(p) = p(p + 1)/2 is representable up to p = 4294967295 (T =
  // 9223372034707292160); T(4294967296) = 9223372039002259456 is not.
  EXPECT_EQ(checked_product(3, kMax / 3), kMax - 1);
  EXPECT_EQ(checked_product(2, kMax / 2 + 1), std::nullopt);
  EXPECT_EQ(checked_product(-1, 1), std::nullopt);
  EXPECT_EQ(checked_sum(kMax, 1), std::nullopt);
  EXPECT_EQ(checked_triangle_cells(4294967295), 9223372034707292160);
  EXPECT_EQ(checked_triangle_cells(4294967296), std::nullopt);
}

TEST(WorkspacePlan, LargestCategoryLimitIsReleasedWithoutOverflow) {
  // MAXCAT accepts 2**63, kept as the largest word; the release step must
  // not form MAXCAT * NVAR for the category values that were never laid out.
  ParseFixture f({"a,b\n1,2\n", {}});
  ASSERT_TRUE(f.parse("MVA a b /MAXCAT=9223372036854775808."));
  EXPECT_EQ(f.cmn().MAXCAT, std::numeric_limits<std::int64_t>::max());
  FMEM(f.cx());
  EXPECT_EQ(f.host().arena().used_cells(), 0);
  EXPECT_TRUE(f.host().messages.empty());
}

// Warnings of a variable without a valid value, before the EM and the
// regression estimates that carry it (in each group where it has none, in
// the SPLIT form with split variables), only for a variable those analyses
// use; and the note, once a command, of two values of a categorical string
// that agree in their first 8 characters and so count as one category.
TEST(Executive, VariablesWithoutValuesAndStringsAlikeInEightCharacters) {
  const auto lines = [](const ExecHost& host, std::string_view part) {
    std::vector<std::string> out;
    for (const std::string& line : message_lines(host.messages)) {
      if (line.find(part) != std::string::npos) out.push_back(line);
    }
    return out;
  };
  const std::string em = "EXEC_ NO VALID VALUE OF ^1 => EM", reg = "EXEC_ NO VALID VALUE OF ^1 => REG";
  const char* c_empty = "g,a,b,c\n1,1,2,\n1,2,,\n1,3,5,\n2,4,3,\n2,5,7,\n2,6,1,\n";
  const struct {
    const char* csv;
    bool split;
    std::string command;
    std::vector<std::string> keys;
  } rows[] = {
      {c_empty, false, "MVA a b c /NOUNIVARIATE /EM /REGRESSION.", {em + "|c|22", reg + "|c|22"}},
      // c not on the list, or used by no estimate.
      {c_empty, false, "MVA a b /NOUNIVARIATE /EM /REGRESSION.", {}},
      {c_empty, false, "MVA a b c /PAIRWISE /LISTWISE.", {}},
      // Split: b has no value in group 1 only; c in both.
      {"g,a,b\n1,1,\n1,2,\n2,3,4\n2,,5\n2,6,7\n",
       true,
       "MVA a b /NOUNIVARIATE /EM.",
       {"EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO VALID VALUE OF ^2 => EM||b|22"}},
      {c_empty,
       true,
       "MVA a b c /NOUNIVARIATE /REGRESSION.",
       {"EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO VALID VALUE OF ^2 => REG||c|22",
        "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO VALID VALUE OF ^2 => REG||c|22"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    auto host = exec_host(row.csv, row.split);
    EXPECT_EQ(run_command(*host, row.command), 0);
    EXPECT_EQ(lines(*host, "NO VALID VALUE"), row.keys);  // the split list is a parameter of its own
  }

  // Strings: city has Washington and Washingtonian (one category); town's
  // values differ within 8 characters; code is no wider than 8; the note
  // comes once however many groups.
  const std::string note = "EXEC_ CATEGORIES OF ^1 ON 8 CHARACTERS ^2 ^3";
  const char* strings =
      "g,city,town,code,x\n1,Washington,Springfield,abcdefgh,1\n1,Boston,Sprangfield,abcdefgX,\n"
      "2,Washingtonian,Springs,abc,3\n2,Washington   x,Spring,abc,4\n";
  for (const bool split : {false, true}) {
    auto host = exec_host(strings, split);
    EXPECT_EQ(run_command(*host, "MVA x city town code /NOUNIVARIATE /CROSSTAB."), 0);
    EXPECT_EQ(lines(*host, "8 CHARACTERS"), std::vector<std::string>{note + "|city|Washington|Washingtonian|21"});
  }
  auto host = exec_host(strings, false);
  run_command(*host, "MVA x town /NOUNIVARIATE /TPATTERN.");
  EXPECT_EQ(lines(*host, "8 CHARACTERS"), std::vector<std::string>{});
  // In the data set: the first pair met, blanks at the end not counted.
  const host::DataSet data = host::DataSet::from_text("s,n\nabcdefgh1,1\nabcdefgh1  ,2\nabcdefgh2,3\n", {});
  EXPECT_EQ(data.values_sharing_first_cell(1),
            std::make_optional(std::make_pair(std::string("abcdefgh1"), std::string("abcdefgh2"))));
  EXPECT_EQ(data.values_sharing_first_cell(3), std::nullopt);  // numeric
}

}  // namespace
}  // namespace mva::test
