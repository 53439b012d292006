// The case store: the status of a cell under every form of user-missing
// values, the categories collected and capped at MAXCAT, the weights that
// drop or keep a case, the counts and locations of complete and incomplete
// cases, and a message for every shortage of the workspace in the data pass.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "mva/cases/data_pass.h"
#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using Codes = std::vector<int>;
using Words = std::vector<std::int64_t>;
using Strings = std::vector<std::string>;

// The plans, the parser and the data pass of one command, left in place.
std::unique_ptr<ParseFixture> store(const TestData& setup, const std::string& command) {
  auto f = std::make_unique<ParseFixture>(setup);
  if (!f->parse(command)) ADD_FAILURE() << "command not accepted: " << command;
  f->host().OBINIT(f->cx().ws);
  f->host().OBPINI(f->cx().ws);
  DATA(f->cx());
  return f;
}

// The keys of the messages the host received, in order.
Strings keys_of(const RecordingHost& host) {
  Strings keys;
  for (const Message& m : host.messages) keys.push_back(m.key);
  return keys;
}

TEST(MissingCodes, EveryFormOfUserMissingValues) {
  // Column x is variable 1; its widest cell sets a string's width.
  const struct {
    const char* missing;
    Strings cells;  // CSV fields of x
    Codes codes;
  } rows[] = {
      {"x=9,99", {"9", "99", "1", "."}, {2, 3, 0, 1}},
      {"x=1,2,3", {"3", "2", "1", "4"}, {4, 3, 2, 0}},
      {"x=90:99", {"89.99", "90", "95", "99", "100"}, {0, 5, 5, 5, 0}},
      {"x=90:99,0", {"0", "95", "99", "100", "."}, {4, 5, 5, 0, 1}},
      // System-missing is told apart before a range that reaches down to it.
      {"x=LO:5", {".", "-1e300", "5", "6"}, {1, 5, 5, 0}},
      // Strings are compared by their characters and are never system-missing.
      {"x=NONE,N/A", {"NONE", "N/A", "none", "\"\"", "abcdefgh"}, {2, 3, 0, 0, 0}},
      // Width 12: the first 8 characters are compared and the rest of the
      // cell must be blank.
      {"x=NONE", {"NONE", "\"NONE    X\"", "NONEX", "abcdefghijkl"}, {2, 0, 0, 0}},
      {"x=ABCDEFGH", {"ABCDEFGH", "ABCDEFGHIJ", "abcdefghijkl"}, {2, 0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.missing);
    TestData data{"x,y\n", {}};
    for (const std::string& cell : row.cells) data.csv += cell + ",1\n";
    data.options.missing = {row.missing};
    auto f = store(data, "MVA x y.");
    ASSERT_EQ(f->cmn().NCASES, static_cast<std::int64_t>(row.codes.size()));
    Codes codes;
    for (std::int64_t L = 1; L <= f->cmn().NCASES; ++L) {
      codes.push_back(static_cast<int>(IQMSNG(f->cx(), L, 1)));
    }
    EXPECT_EQ(codes, row.codes);
  }
}

TEST(Categories, CollectedAscendingOnceAndCappedAtMaxcat) {
  // c has the values 3 1 2 and d the values 5 7 6 (one missing); s is a
  // string and categorical without being named.
  const char* csv = "c,d,s\n3,5,b\n1,.,a\n3,7,b\n2,5,c\n1,6,a\n";
  const struct {
    const char* command;
    std::vector<double> c_categories, d_categories;
    Strings message;  // parameters of the DINI message, empty for none
  } rows[] = {
      {"MVA c d s /CATEGORICAL=c d.", {1, 2, 3}, {5, 6, 7}, {}},
      {"MVA c d s /MAXCAT=3 /CATEGORICAL=c d.", {1, 2, 3}, {5, 6, 7}, {}},
      // c meets its third value in case 3 (after d has 5 and 7).
      {"MVA c d s /MAXCAT=2 /CATEGORICAL=c d.", {}, {}, {"c", "2"}},
      {"MVA c d s /MAXCAT=2 /CATEGORICAL=d.", {}, {}, {"s", "2"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    auto f = store({csv, {}}, row.command);
    const Context& cx = f->cx();
    if (!row.message.empty()) {
      ASSERT_EQ(keys_of(f->host()), Strings{"DINI_ VARIABLE ^1 HAS MORE THAN ^2 CATEGORIES"});
      EXPECT_EQ(f->host().messages[0].params, row.message);
      EXPECT_EQ(f->host().messages[0].severity, 3);
      continue;
    }
    EXPECT_TRUE(f->host().messages.empty());
    const auto categories = [&](std::int64_t v) {
      std::vector<double> values;
      for (std::int64_t k = 1; k <= NCATOF(cx, v); ++k) values.push_back(CATVL(cx, v, k));
      EXPECT_EQ(CATVL(cx, v, NCATOF(cx, v) + 1), 1e33);  // the rest of the row is empty
      return values;
    };
    EXPECT_EQ(categories(1), row.c_categories);
    EXPECT_EQ(categories(2), row.d_categories);
    Strings s_categories;
    for (const double value : categories(3)) s_categories.push_back(chars_of_cell(value));
    EXPECT_EQ(s_categories, (Strings{"a       ", "b       ", "c       "}));
    EXPECT_EQ(ICATIX(cx, 2, 3), 3);  // d = 7 in case 3
    EXPECT_EQ(ICATIX(cx, 2, 2), 0);  // d missing in case 2
  }
}

TEST(Categories, IncompleteCaseTakesBackTheValueItsMissingCellHas) {
  // A long string: "NONE    X" is valid and lists its first 8 characters
  // "NONE    ", the value a missing "NONE" cell has too. An incomplete case
  // takes that value back out of the list, so it stays only when the valid
  // cell comes after the missing one.
  const struct {
    const char* csv;
    std::int64_t categories;
    Words index;  // ICATIX of each case
  } rows[] = {
      {"s,y\n\"NONE    X\",1\nNONE,1\n", 0, {0, 0}},
      {"s,y\nNONE,1\n\"NONE    X\",1\n", 1, {0, 1}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.csv);
    TestData data{row.csv, {}};
    data.options.missing = {"s=NONE"};
    auto f = store(data, "MVA s y.");
    EXPECT_EQ(NCATOF(f->cx(), 1), row.categories);
    EXPECT_EQ((Words{ICATIX(f->cx(), 1, 1), ICATIX(f->cx(), 1, 2)}), row.index);
  }
}

TEST(DataPass, WeightsNotPositiveDropTheCaseAndKeptOnesAreTruncated) {
  const struct {
    const char* weight;
    double stored;  // 0: the case is dropped
  } rows[] = {{"1", 1}, {"0", 0},   {"-1", 0},  {".", 0},
              {"0.4", 0}, {"2.7", 2}, {"2.9999999999", 3}, {"3", 3}};
  TestData data{"x,w\n", {}};
  data.options.weight = "w";
  std::vector<double> x, w;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    data.csv += std::to_string(i + 1) + "," + rows[i].weight + "\n";
    if (rows[i].stored > 0) {
      x.push_back(static_cast<double>(i + 1));
      w.push_back(rows[i].stored);
    }
  }
  auto f = store(data, "MVA x.");
  const Context& cx = f->cx();
  ASSERT_EQ(f->cmn().NCASES, static_cast<std::int64_t>(x.size()));
  for (std::int64_t L = 1; L <= f->cmn().NCASES; ++L) {
    SCOPED_TRACE(L);
    EXPECT_EQ(CELLV(cx, 1, L), x[static_cast<std::size_t>(L - 1)]);
    EXPECT_EQ(CELLV(cx, 2, L), w[static_cast<std::size_t>(L - 1)]);
  }
  EXPECT_EQ(f->cmn().NCOMPL, f->cmn().NCASES);  // the weight is stored, not classified
}

TEST(DataPass, CountsAndLocationsOfIncompleteCases) {
  // Columns follow the dictionary (id a b c) whatever the list order; the
  // ID variable is stored but does not make a case incomplete. By hand:
  // cases 2 (a missing), 4 (b = 9, user-missing) and 5 (all missing) are
  // incomplete, at locations 1, 2, 3; cases 1, 3, 6 and 7 are complete.
  const char* csv =
      "id,a,b,c\n"
      "1,1,2,3\n"
      "2,.,2,3\n"
      "3,1,2,3\n"
      "4,1,9,3\n"
      "5,.,.,.\n"
      "6,1,2,3\n"
      ".,4,5,6\n";
  const struct {
    const char* csv;
    std::int64_t complete, incomplete;
    Words locof;
  } rows[] = {
      {csv, 4, 3, {0, 1, 0, 2, 3, 0, 0}},
      {"id,a,b,c\n", 0, 0, {}},                          // no cases
      {"id,a,b,c\n1,1,2,3\n2,4,5,6\n", 2, 0, {0, 0}},  // none missing
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.csv);
    TestData data{row.csv, {}};
    data.options.missing = {"b=9"};
    auto f = store(data, "MVA c a b /ID=id.");
    const Context& cx = f->cx();
    const MvaCommon& c = f->cmn();
    EXPECT_TRUE(f->host().messages.empty());
    EXPECT_EQ(c.NCASES, static_cast<std::int64_t>(row.locof.size()));
    EXPECT_EQ(c.NCOMPL, row.complete);
    EXPECT_EQ(c.NINCOM, row.incomplete);
    Words locof, corder;
    for (std::int64_t L = 1; L <= c.NCASES; ++L) {
      locof.push_back(IQLOCM(cx, L));
      corder.push_back(f->word(c.a.CORDER, L));
      if (IQLOCM(cx, L) > 0) {
        EXPECT_EQ(LOCCAS(cx, IQLOCM(cx, L)), L);
      }
    }
    EXPECT_EQ(locof, row.locof);
    for (std::size_t i = 0; i < corder.size(); ++i) EXPECT_EQ(corder[i], static_cast<std::int64_t>(i + 1));
  }

  TestData data{csv, {}};
  data.options.missing = {"b=9"};
  auto f = store(data, "MVA c a b /ID=id.");
  const Context& cx = f->cx();
  const CaseMatrix cases = cx.case_matrix();
  EXPECT_EQ((std::vector<double>{cases(4, 1), cases(4, 2), cases(4, 3), cases(4, 4)}),
            (std::vector<double>{4, 1, 9, 3}));
  // Location 2 is case 4: b is missing there, a is not.
  EXPECT_TRUE(ISMSLC(cx, 3, 2));
  EXPECT_FALSE(ISMSLC(cx, 2, 2));
  EXPECT_FALSE(ISMSLC(cx, 3, 4));  // no location 4
}

// A host whose string variables claim a range of missing values, a form the
// reference host itself refuses for strings.
class RangeOnStringHost : public RecordingHost {
 public:
  using RecordingHost::RecordingHost;
  const VarRecord& DICGET(std::int64_t v) override {
    record_ = RecordingHost::DICGET(v);
    if (record_.type > 0) record_.missing_form = kMissingRange;
    return record_;
  }

 private:
  VarRecord record_;
};

TEST(MissingCodes, BrokenConditionsAreInternalErrors) {
  auto f = store({"x\n1\n", {}}, "MVA x.");
  const Context& cx = f->cx();
  const struct {
    std::function<void()> call;
    Strings params;
  } rows[] = {
      {[&] { IQLOCM(cx, 0); }, {"IQLOCM", "L .GT. 0 .AND. L .LE. NCASES"}},
      {[&] { ISLOCM(cx, 2, 1); }, {"ISLOCM", "L .GT. 0 .AND. L .LE. NCASES"}},
  };
  for (const auto& row : rows) {
    f->host().messages.clear();
    EXPECT_THROW(row.call(), ProcedureStop);
    ASSERT_EQ(f->host().messages.size(), 1u);
    EXPECT_EQ(f->host().messages[0].params, row.params);
  }

  host::HostOptions options;
  options.workspace_bytes = 1 << 20;
  options.progress = false;
  RangeOnStringHost host(host::DataSet::from_text("s,y\nab,1\n", {}), options);
  EXPECT_EQ(run_command(host, "MVA s y."), 1);
  ASSERT_EQ(keys_of(host), Strings{"HOST_ INTERNAL ERROR IN ^1: ^2"});
  EXPECT_EQ(host.messages[0].params, (Strings{"IQMSNG", "DITYPE .EQ. 0"}));
}

TEST(DataPass, WorkspaceNeededInKilobytes) {
  // 8 bytes per dictionary variable and case, rounded up to whole kilobytes.
  EXPECT_EQ(workspace_kilobytes(128, 1), 1);  // 1024 bytes exactly
  EXPECT_EQ(workspace_kilobytes(129, 1), 2);
  EXPECT_EQ(workspace_kilobytes(INT64_MAX / 4, 1), std::nullopt);
  EXPECT_EQ(workspace_kilobytes(4, INT64_MAX / 2), std::nullopt);
}

TEST(DataPass, EveryShortageOfTheCaseStoreHasItsMessage) {
  // 1000 cases of three variables, one analysed: NVAR = 3, NV = 1.
  constexpr std::int64_t kCases = 1000, kCategoryCells = 25 * 3;
  TestData data{"a,b,c\n", {}};
  for (int i = 0; i < kCases; ++i) data.csv += std::to_string(i % 7) + ",1,2\n";
  const std::string command = "MVA a.";
  // Cells in use when the data pass starts (plans and case buffer).
  const std::int64_t before = [&] {
    ParseFixture f(data);
    EXPECT_TRUE(f.parse(command));
    f.host().OBINIT(f.cx().ws);
    f.host().OBPINI(f.cx().ws);
    return f.host().arena().capacity_cells() - f.host().arena().largest_free();
  }();
  const std::int64_t enough = before + kCases + kCategoryCells + 3 * kCases;

  const struct {
    std::int64_t cells;
    const char* command;
    const char* key;
    Strings params;
  } rows[] = {
      // Half the cases fit; reading goes on, so the size covers all 1000.
      {before + kCases / 2, "MVA a.", "DATA_ SET WORKSPACE TO ^1", {"24"}},
      {before + kCases - 1, "MVA a.", "DATA_ SET WORKSPACE TO ^1", {"24"}},
      {before + kCases + kCategoryCells - 1, "MVA a.", "DATA_ NOT ENOUGH MEMORY", {}},  // CATVAL
      {enough - 2 * kCases - 1, "MVA a.", "DATA_ NOT ENOUGH MEMORY", {}},                // LOCOF
      {enough - kCases - 1, "MVA a.", "DATA_ NOT ENOUGH MEMORY", {}},                    // CASEAT
      {enough - 1, "MVA a.", "DATA_ NOT ENOUGH MEMORY", {}},                             // CORDER
      // MAXCAT rows of NVAR cells: more than the workspace, or than a count holds.
      {1 << 20, "MVA a /MAXCAT=1E18.", "DATA_ NOT ENOUGH MEMORY", {}},
      {1 << 20, "MVA a /MAXCAT=4E18.", "DATA_ NOT ENOUGH MEMORY", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.cells);
    SCOPED_TRACE(row.command);
    data.workspace_bytes = row.cells * 8;
    auto host = make_host(data);
    EXPECT_EQ(run_command(*host, row.command), 1);
    ASSERT_EQ(keys_of(*host), Strings{row.key});
    EXPECT_EQ(host->messages[0].params, row.params);
    EXPECT_EQ(host->messages[0].msg_class, 2);
    EXPECT_EQ(host->messages[0].severity, 3);
    // Every case was read, the procedure ended, and the workspace is whole.
    const Strings calls = host->folded_calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "OBSERV*1000"), calls.end());
    EXPECT_EQ(calls.back(), "BP_END_PROCEDURE");
    EXPECT_EQ(host->arena().used_cells(), 0);
  }

  data.workspace_bytes = enough * 8;
  auto host = make_host(data);
  run_command(*host, command);
  for (const std::string& key : keys_of(*host)) {
    EXPECT_FALSE(key.starts_with("DATA_") || key.starts_with("DINI_")) << key;
  }
}

}  // namespace
}  // namespace mva::test
