// The executive, run through the whole procedure: the notes it gives in place
// of an analysis (plain without split variables, the SPLIT form naming the
// group with them; notes on the data in every group, notes on the command in
// the first group only), the table numbers it announces, and the memory
// message of its scratch arrays, after which every array is given back.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/output/renderers.h"
#include "mva/cases/data_pass.h"
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

  void BP_BEGIN_PIVOT_TABLE(int number, const Text& title, const Text& subtype) override {
    tables.push_back("+" + std::to_string(number));
    RecordingHost::BP_BEGIN_PIVOT_TABLE(number, title, subtype);
  }
  void BP_END_PIVOT_TABLE(int number) override {
    tables.push_back("-" + std::to_string(number));
    RecordingHost::BP_END_PIVOT_TABLE(number);
  }

  void BP_TABLE_ID(int number) override {
    announced.push_back(number);
    RecordingHost::BP_TABLE_ID(number);
  }
  void BP_END_TABLE_IDS() override {
    announced.push_back(0);
    RecordingHost::BP_END_TABLE_IDS();
  }
};

std::unique_ptr<ExecHost> exec_host(const std::string& csv, bool split,
                                    std::int64_t workspace_cells = 1 << 20) {
  host::DataOptions data;
  if (split) data.split = {"g"};
  host::HostOptions options;
  options.workspace_bytes = workspace_cells * 8;
  options.progress = false;
  return std::make_unique<ExecHost>(host::DataSet::from_text(csv, data), options);
}

// Two split groups (g = 1, g = 2) of two cases each.
const char* kNoMissing = "g,a,b,k\n1,1,2,1\n1,3,4,2\n2,5,6,1\n2,7,8,2\n";
const char* kNoComplete = "g,a,b\n1,1,\n1,,2\n2,3,\n2,,4\n";
const char* kCategoricalOnly = "g,k\n1,1\n1,\n2,2\n2,\n";

struct Note {
  std::string key;
  int msg_class = 2;
  bool operator==(const Note&) const = default;
  friend void PrintTo(const Note& note, std::ostream* os) {
    *os << "(" << note.key << ", class " << note.msg_class << ")";
  }
};

std::vector<Note> notes_of(const RecordingHost& host) {
  std::vector<Note> notes;
  for (const Message& m : host.messages) {
    EXPECT_EQ(m.severity, 2) << m.key;
    notes.push_back({m.key, m.msg_class});
  }
  return notes;
}

std::string split_key(const std::string& plain) {
  return "EXEC_ SPLIT [:^1=^2, :$2=$1]1 " + plain.substr(6);
}

// Notes on the data come in every group, in the order of the analyses
// whatever the order of the subcommands; notes on the command only in the
// first. The EM note is class 1.
TEST(Executive, NotesInPlaceOfAnAnalysis) {
  const std::string no_em = "EXEC_ NO MISSING VALUE => NO EM_EST";
  const struct {
    const char* csv;
    std::string command;
    std::vector<std::string> keys;  // of one group
    bool every_group;
  } rows[] = {
      {kNoMissing, "MVA a b /NOUNIVARIATE /EM /TPATTERN /MPATTERN /TTEST.",
       {"EXEC_ NO MISSING VALUE => NO T-STAT", "EXEC_ NO MISSING VALUE => NO MPATT",
        "EXEC_ NO MISSING VALUE => NO TPATT", no_em},
       true},
      {kNoMissing, "MVA a b /NOUNIVARIATE /REGRESSION.", {"EXEC_ NO MISSING VALUE => NO REGR"}, true},
      {kNoComplete, "MVA a b /NOUNIVARIATE /LISTWISE.", {"EXEC_ NO COMPLETE CASE => NO LISTWISE"}, true},
      {kCategoricalOnly, "MVA k /CATEGORICAL=k /NOUNIVARIATE /TTEST /EM.",
       {"EXEC_ NO QUANTITATIVE => NO T-STAT", "EXEC_ NO QUANTITATIVE => NO EMA"}, false},
      {kCategoricalOnly, "MVA k /CATEGORICAL=k /NOUNIVARIATE /LISTWISE.", {"EXEC_ NO QUANTITATIVE => NO LISTWISE"},
       false},
      {kCategoricalOnly, "MVA k /CATEGORICAL=k /PAIRWISE.", {"EXEC_ NO QUANTITATIVE => NO PAIRWISE"}, false},
      {kCategoricalOnly, "MVA k /CATEGORICAL=k /NOUNIVARIATE /REGRESSION.", {"EXEC_ NO QUANTITATIVE => NO REG"},
       false},
      {kNoMissing, "MVA a b /CROSSTAB.", {"EXEC_ NO CATEGORICAL => NO TABULATE"}, false},
  };
  for (const auto& row : rows) {
    for (const bool split : {false, true}) {
      SCOPED_TRACE(row.command + (split ? " (split)" : ""));
      auto host = exec_host(row.csv, split);
      EXPECT_EQ(run_command(*host, row.command), 0);
      std::vector<Note> expected;
      for (int group = 0; group < (split && row.every_group ? 2 : 1); ++group) {
        for (const std::string& key : row.keys) {
          expected.push_back({split && row.every_group ? split_key(key) : key, key == no_em ? 1 : 2});
        }
      }
      EXPECT_EQ(notes_of(*host), expected);
      if (split && row.every_group && row.keys.size() == 4) {  // the split form names the group when shown
        const std::string shown = host::render_text(host->output());
        EXPECT_NE(shown.find("g=2: there are no missing values, so no t tests"), std::string::npos) << shown;
      }
    }
  }
}

// A group without missing values and files asked for on EM and REGRESSION:
// the EM note on the file always names the split group (here there is none),
// the regression note never does.
TEST(Executive, NoOutfileNotesWithoutMissingValues) {
  ParseFixture fx({"a,b\n1,2\n3,4\n", {}});
  ASSERT_TRUE(fx.parse("MVA a b /NOUNIVARIATE /EM /REGRESSION."));
  Context& cx = fx.cx();
  cx.host.OBINIT(cx.ws);
  cx.host.OBPINI(cx.ws);
  DATA(cx);
  ASSERT_EQ(cx.cmn.NINCOM, 0);
  SFSETS(cx.cmn, kEm, kDataFile, 0);
  SFSETS(cx.cmn, kRegression, kStatisticsFile, 0);
  EXEC(cx);
  std::vector<Note> expected = {{"EXEC_ NO MISSING VALUE => NO EM_EST", 1},
                                {"EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO OUTFILE", 2},
                                {"EXEC_ NO MISSING VALUE => NO REGR", 2},
                                {"EXEC_ NO MISSING VALUE => NO OUTFILE", 2}};
  EXPECT_EQ(notes_of(fx.host()), expected);
}

// Table 3 is begun before the comparison tables and ended before the other
// analyses; the comparison tables are ended last. The order of the
// subcommands does not matter.
TEST(Executive, TablesInTheirFixedOrder) {
  const char* csv = "a,b\n1,2\n3,\n5,6\n,8\n9,10\n";
  const std::vector<std::string> listwise = {"+4", "-4", "+5", "-5", "+6", "-6"};
  const std::vector<std::string> pairwise = {"+7", "-7", "+8", "-8", "+9", "-9", "+10", "-10",
                                             "+11", "-11"};
  const std::vector<std::string> em = {"+20", "-20", "+21", "-21", "+22", "-22", "-27", "-28"};
  const auto order = [&](std::vector<std::string> head, bool with_pairwise,
                         std::vector<std::string> tail) {
    head.insert(head.end(), listwise.begin(), listwise.end());
    if (with_pairwise) head.insert(head.end(), pairwise.begin(), pairwise.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const struct {
    std::string command;
    std::vector<std::string> tables;
  } rows[] = {
      {"MVA a b /EM /LISTWISE /TTEST.", order({"+3", "+27", "+28", "-3", "+12", "-12"}, false, em)},
      {"MVA a b /TTEST /LISTWISE /EM.", order({"+3", "+27", "+28", "-3", "+12", "-12"}, false, em)},
      {"MVA a b /PAIRWISE /NOUNIVARIATE /LISTWISE.", order({"+27", "+28"}, true, {"-27", "-28"})},
      {"MVA a b /LISTWISE /NOUNIVARIATE.", order({}, false, {})},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    auto host = exec_host(csv, false);
    EXPECT_EQ(run_command(*host, row.command), 0);
    EXPECT_EQ(host->tables, row.tables);
  }
}

// Tables 3 to 28, then with CROSSTAB 28 + v for every categorical variable
// v in dictionary order; announced in the first group only.
TEST(Executive, TableNumbersAnnouncedInTheFirstGroup) {
  std::vector<int> standard;
  for (int n = 3; n <= 28; ++n) standard.push_back(n);
  const auto with = [&](std::vector<int> extra) {
    std::vector<int> ids = standard;
    ids.insert(ids.end(), extra.begin(), extra.end());
    ids.push_back(0);
    return ids;
  };
  const char* csv = "g,a,b,c,d\n1,1,2,3,4\n2,5,6,7,8\n";  // a and d: 2 and 5 in the dictionary
  const struct {
    std::string command;
    std::vector<int> announced;
  } rows[] = {
      {"MVA a b c d /CATEGORICAL=d a /CROSSTAB.", with({30, 33})},
      {"MVA a b c d /CATEGORICAL=a d.", with({})},
      {"MVA a b c d /CROSSTAB.", with({})},
  };
  for (const auto& row : rows) {
    for (const bool split : {false, true}) {
      SCOPED_TRACE(row.command + (split ? " (split)" : ""));
      auto host = exec_host(csv, split);
      run_command(*host, row.command);
      EXPECT_EQ(host->announced, row.announced);
    }
  }
}

// Two variables, two cases. Before the executive the workspace holds the case
// buffer (2 cells), the first plan (21 per variable: 42), the second plan
// (25) and the case store (4 values, 50 category slots, 3 per case: 60):
// 129 cells. The executive's scratch arrays take 20 more (2 for VCOLS and
// each work vector, 2 for each of the seven per-variable arrays), and the
// quartile rule's two work arrays 4 more while it runs.
TEST(Executive, ShortWorkspace) {
  const struct {
    std::int64_t cells;
    int status;
    std::vector<std::string> messages;  // key and severity
    bool announced;
  } rows[] = {
      {153, 0, {}, true},
      {152, 0, {"EXTR_ FORCED TO MEAN+-2*SD 2"}, true},
      {149, 0, {"EXTR_ FORCED TO MEAN+-2*SD 2"}, true},
      {148, 1, {"EXEC_ INSUFFICIENT MEMORY 3"}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.cells);
    auto host = exec_host("a,b\n1,2\n3,\n", false, row.cells);
    EXPECT_EQ(run_command(*host, "MVA a b."), row.status);
    std::vector<std::string> messages;
    for (const Message& m : host->messages) {
      EXPECT_EQ(m.msg_class, 2);
      messages.push_back(m.key + " " + std::to_string(m.severity));
    }
    EXPECT_EQ(messages, row.messages);
    EXPECT_EQ(host->announced.empty(), !row.announced);
    EXPECT_EQ(host->arena().used_cells(), 0);  // every array given back
  }
}

}  // namespace
}  // namespace mva::test
