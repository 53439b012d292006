// The case store: the status of a cell under every form of user-missing
// values, the categories collected and capped at MAXCAT, the locations of
// incomplete cases, and a message for every shortage of the workspace in the
// data pass. Weights that drop or keep a case are in the weighted fixture of
// tests/cli/expected_values_test.cpp.
#include <gtest/gtest.h>

#include "mva/cases/data_pass.h"
#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using Words = std::vector<std::int64_t>;
using Strings = std::vector<std::string>;

// The plans, the parser and the data pass of one command, left in place.
std::unique_ptr<ParseFixture> store(const std::string& csv, const std::string& command, Strings missing = {}) {
  TestData data{csv, {}};
  data.options.missing = std::move(missing);
  auto f = std::make_unique<ParseFixture>(data);
  if (!f->pass(command)) ADD_FAILURE() << "command not accepted: " << command;
  return f;
}

TEST(MissingCodes, EveryFormOfUserMissingValues) {
  // Column x is variable 1; its widest cell sets a string's width.
  // cells: the CSV fields of x.
  const struct {
    const char* missing;
    Strings cells;
    Words codes;
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
    std::string csv = "x,y\n";
    for (const std::string& cell : row.cells) csv += cell + ",1\n";
    auto f = store(csv, "MVA x y.", {row.missing});
    Words codes;
    for (std::int64_t L = 1; L <= f->cmn().NCASES; ++L)
      codes.push_back(static_cast<std::int64_t>(IQMSNG(f->cx(), L, 1)));
    EXPECT_EQ(codes, row.codes);
  }
}

TEST(Categories, CollectedAscendingOnceAndCappedAtMaxcat) {
  // c has the values 3 1 2 and d the values 5 7 6 (one missing); s is a
  // string and categorical without being named.
  const char* csv = "c,d,s\n3,5,b\n1,.,a\n3,7,b\n2,5,c\n1,6,a\n";
  const auto categories = [](const Context& cx, std::int64_t v) {
    std::vector<double> values;
    for (std::int64_t k = 1; k <= NCATOF(cx, v); ++k) values.push_back(CATVL(cx, v, k));
    EXPECT_EQ(CATVL(cx, v, NCATOF(cx, v) + 1), 1e33);  // the rest of the row is empty
    return values;
  };
  auto f = store(csv, "MVA c d s /MAXCAT=3 /CATEGORICAL=c d.");
  const Context& cx = f->cx();
  EXPECT_TRUE(f->host().messages.empty());
  EXPECT_EQ(categories(cx, 1), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(categories(cx, 2), (std::vector<double>{5, 6, 7}));
  Strings s_categories;
  for (const double value : categories(cx, 3)) s_categories.push_back(chars_of_cell(value));
  EXPECT_EQ(s_categories, (Strings{"a       ", "b       ", "c       "}));
  EXPECT_EQ((Words{ICATIX(cx, 2, 3), ICATIX(cx, 2, 2)}), (Words{3, 0}));  // d = 7 in case 3, missing in case 2

  // c meets its third value in case 3 (after d has 5 and 7); without c, s does.
  const char* key = "DINI_ VARIABLE ^1 HAS MORE THAN ^2 CATEGORIES";
  EXPECT_EQ(message_lines(store(csv, "MVA c d s /MAXCAT=2 /CATEGORICAL=c d.")->host().messages),
            Strings{std::string(key) + "|c|2|23"});
  EXPECT_EQ(message_lines(store(csv, "MVA c d s /MAXCAT=2 /CATEGORICAL=d.")->host().messages),
            Strings{std::string(key) + "|s|2|23"});

  // A long string: "NONE    X" is valid and lists its first 8 characters
  // "NONE    ", the value a missing "NONE" cell has too. An incomplete case
  // takes that value back out of the list, so it stays only when the valid
  // cell comes after the missing one.
  for (const auto& [rows, count] :
       {std::pair{"\"NONE    X\",1\nNONE,1\n", 0}, std::pair{"NONE,1\n\"NONE    X\",1\n", 1}}) {
    auto g = store(std::string("s,y\n") + rows, "MVA s y.", {"s=NONE"});
    EXPECT_EQ(NCATOF(g->cx(), 1), count) << rows;
    EXPECT_EQ(ICATIX(g->cx(), 1, 2), count) << rows;
  }
}

TEST(DataPass, CountsAndLocationsOfIncompleteCases) {
  // Columns follow the dictionary (id a b c) whatever the list order; the
  // ID variable is stored but does not make a case incomplete. By hand:
  // cases 2 (a missing), 4 (b = 9, user-missing) and 5 (all missing) are
  // incomplete, at locations 1, 2, 3; cases 1, 3, 6 and 7 are complete.
  auto f =
      store("id,a,b,c\n1,1,2,3\n2,.,2,3\n3,1,2,3\n4,1,9,3\n5,.,.,.\n6,1,2,3\n.,4,5,6\n", "MVA c a b /ID=id.", {"b=9"});
  const Context& cx = f->cx();
  const MvaCommon& c = f->cmn();
  EXPECT_TRUE(f->host().messages.empty());
  EXPECT_EQ(std::pair(c.NCOMPL, c.NINCOM), std::pair(std::int64_t{4}, std::int64_t{3}));
  Words locof;
  for (std::int64_t L = 1; L <= c.NCASES; ++L) {
    locof.push_back(IQLOCM(cx, L));
    if (IQLOCM(cx, L) > 0) {
      EXPECT_EQ(LOCCAS(cx, IQLOCM(cx, L)), L);
    }
  }
  EXPECT_EQ(locof, (Words{0, 1, 0, 2, 3, 0, 0}));
  const CaseMatrix m = cx.case_matrix();
  EXPECT_EQ((std::vector<double>{m(4, 1), m(4, 2), m(4, 3), m(4, 4)}), (std::vector<double>{4, 1, 9, 3}));
  // Location 2 is case 4: b is missing there, a is not.
  EXPECT_EQ(std::vector<bool>({ISMSLC(cx, 3, 2), ISMSLC(cx, 2, 2), ISMSLC(cx, 3, 4)}),  // no location 4
            (std::vector<bool>{true, false, false}));
  f->host().messages.clear();
  EXPECT_THROW(IQLOCM(cx, 0), ProcedureStop);
  EXPECT_EQ(f->host().messages.at(0).params, (Strings{"IQLOCM", "L .GT. 0 .AND. L .LE. NCASES"}));
}

TEST(DataPass, EveryShortageOfTheCaseStoreHasItsMessage) {
  // 8 bytes per dictionary variable and case, rounded up to whole kilobytes.
  EXPECT_EQ(workspace_kilobytes(128, 1), 1);
  EXPECT_EQ(workspace_kilobytes(129, 1), 2);
  EXPECT_EQ(workspace_kilobytes(INT64_MAX / 4, 1), std::nullopt);
  EXPECT_EQ(workspace_kilobytes(4, INT64_MAX / 2), std::nullopt);

  // 1000 cases of three variables, one analysed: NVAR = 3, NV = 1.
  constexpr std::int64_t kCases = 1000, kCategoryCells = 25 * 3;
  TestData data{"a,b,c\n", {}};
  for (int i = 0; i < kCases; ++i) data.csv += std::to_string(i % 7) + ",1,2\n";
  // Cells in use when the data pass starts (plans and case buffer).
  ParseFixture plans(data);
  EXPECT_TRUE(plans.parse("MVA a."));
  plans.host().OBINIT(plans.cx().ws);
  plans.host().OBPINI(plans.cx().ws);
  const std::int64_t before = plans.host().arena().capacity_cells() - plans.host().arena().largest_free();
  const std::int64_t enough = before + kCases + kCategoryCells + 3 * kCases;
  const std::string set_workspace = "DATA_ SET WORKSPACE TO ^1|24|23", no_memory = "DATA_ NOT ENOUGH MEMORY|23";
  const struct {
    std::int64_t cells;
    const char* command;
    std::string message;
  } rows[] = {
      // Half the cases fit; reading goes on, so the size covers all 1000.
      {before + kCases / 2, "MVA a.", set_workspace},
      {before + kCases - 1, "MVA a.", set_workspace},
      {before + kCases + kCategoryCells - 1, "MVA a.", no_memory},  // CATVAL
      {enough - 2 * kCases - 1, "MVA a.", no_memory},               // LOCOF
      {enough - kCases - 1, "MVA a.", no_memory},                   // CASEAT
      {enough - 1, "MVA a.", no_memory},                            // CORDER
      // MAXCAT rows of NVAR cells: more than the workspace, or than a count holds.
      {1 << 20, "MVA a /MAXCAT=1E18.", no_memory},
      {1 << 20, "MVA a /MAXCAT=4E18.", no_memory},
      {enough, "MVA a.", "EXEC_ INSUFFICIENT MEMORY|23"},  // the case store fits
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.command) + " in " + std::to_string(row.cells) + " cells");
    data.workspace_bytes = row.cells * 8;
    auto host = make_host(data);
    EXPECT_EQ(run_command(*host, row.command), 1);
    EXPECT_EQ(message_lines(host->messages), Strings{row.message});
    // Every case was read, the procedure ended, and the workspace is whole.
    const Strings calls = host->folded_calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "OBSERV*1000"), calls.end());
    EXPECT_EQ(calls.back(), "BP_END_PROCEDURE");
    EXPECT_EQ(host->arena().used_cells(), 0);
  }
}

}  // namespace
}  // namespace mva::test
