// The workspace plans: every shortage of workspace gives the message of the
// step that meets it, a cell count that cannot be represented is a shortage
// and never a wrapped count, and the release step hands back what was laid
// out even under the largest category limit.
#include <gtest/gtest.h>

#include <limits>

#include "support/harness.h"

namespace mva::test {
namespace {

TEST(WorkspacePlan, EveryShortageOfWorkspaceHasItsMessage) {
  // Three variables: the case buffer takes 3 cells and the first plan 63
  // (21 per variable); the second plan of two variables takes 25 more.
  // key, then the class and severity of the message.
  const struct { std::int64_t cells; const char* command; const char* key; const char* cs; } rows[] = {
      {65, "MVA a b.", "IMEM_ NOT ENOUGH MEMORY", "|23"},  // the first plan does not fit
      {66, "MVA a b.", "IMEM_ NOT ENOUGH MEMORY", "|23"},  // the second does not
      {66, "MVA a b /EM a.", "DEPV_ ERROR READING DEPENDENT VARIABLE LIST", "|13"},
      {66, "MVA a b /REGRESSION WITH b.", "INDV_ NOT ENOUGH MEMORY", "|13"},
  };
  TestData data{"a,b,c\n1,2,3\n", {}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    data.workspace_bytes = row.cells * 8;
    auto host = make_host(data);
    EXPECT_EQ(run_command(*host, row.command), 1);
    EXPECT_EQ(message_lines(host->messages, false), std::vector<std::string>{row.key + std::string(row.cs)});
  }
}

TEST(WorkspacePlan, CellCountsThatCannotBeRepresented) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  using Count = std::optional<std::int64_t>;
  // T(p) = p(p + 1)/2 is representable up to p = 4294967295 (T =
  // 9223372034707292160); T(4294967296) = 9223372039002259456 is not.
  const struct { const char* what; Count got, want; } rows[] = {
      {"3 * (max / 3)", checked_product(3, kMax / 3), kMax - 1},
      {"2 * (max / 2 + 1)", checked_product(2, kMax / 2 + 1), std::nullopt},
      {"-1 * 1", checked_product(-1, 1), std::nullopt}, {"max + 1", checked_sum(kMax, 1), std::nullopt},
      {"T(4)", checked_triangle_cells(4), 10},
      {"T(4294967295)", checked_triangle_cells(4294967295), 9223372034707292160},
      {"T(4294967296)", checked_triangle_cells(4294967296), std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want) << row.what;
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

}  // namespace
}  // namespace mva::test
