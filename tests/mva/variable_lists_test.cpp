// The variable lists and the roles they leave: which variables are analysed,
// categorical, dependent and independent; the case-matrix columns (in
// dictionary order, with continuation slots of long strings, the ID and the
// weight); the ID variable taken off the list.
#include <gtest/gtest.h>

#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Slots: 1 a, 2 b, 3 name (width 20: slots 3, 4, 5), 6 s (width 3), 7 c, 8 w.
const char* kCsv = "a,b,name,s,c,w\n1,2,a rather long name,x,5,1\n3,,short,yy,6,2\n";

// The list and the case-matrix columns (COLOF) of every dictionary slot.
std::pair<std::vector<std::int64_t>, std::vector<std::int64_t>> list_and_columns(ParseFixture& f) {
  std::vector<std::int64_t> list, cols;
  for (std::int64_t i = 1; i <= f.cmn().NVAR; ++i) {
    if (f.word(f.cmn().a.VLIST, i) != 0) list.push_back(f.word(f.cmn().a.VLIST, i));
    cols.push_back(f.word(f.cmn().a.COLOF, i));
  }
  return {list, cols};
}

TEST(VariableLists, ListsAndColumns) {
  using Words = std::vector<std::int64_t>;
  const struct { const char* command; Words list, columns; std::int64_t nv; bool weighted; } rows[] = {
      // Columns follow the dictionary order whatever the list order.
      {"MVA c a s.", {7, 1, 6}, {1, 0, 0, 0, 0, 2, 3, 0}, 3, false},
      {"MVA variab=c, a, s.", {7, 1, 6}, {1, 0, 0, 0, 0, 2, 3, 0}, 3, false},
      // ID c leaves the list but keeps a column; name brings its two
      // continuation slots; the weight is stored with every case.
      {"MVA a name c /ID=c.", {1, 3, 4, 5}, {1, 0, 2, 3, 4, 0, 5, 6}, 6, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    TestData data{kCsv, {}};
    if (row.weighted) data.options.weight = "w";
    ParseFixture f(data);
    ASSERT_TRUE(f.parse(row.command));
    EXPECT_EQ(list_and_columns(f), std::pair(row.list, row.columns));
    EXPECT_EQ(f.cmn().NV, row.nv);
  }
}

TEST(VariableLists, RolesOfListedVariables) {
  // roles: ISQUAN, ISCATV, then DEPFL and INDFL under EM and under
  // REGRESSION; 1 true, 0 false, . not checked.
  const char* categorical = "MVA a b s c /CATEGORICAL=b name.";
  const char* em_lists = "MVA a b c /EM a WITH c (TDF=5).";
  const struct { const char* command; std::int64_t v; const char* roles; } rows[] = {
      {categorical, 1, "1.1111"},
      {categorical, 2, "010000"},  // numeric but named categorical: no EM or regression role
      {categorical, 6, ".10000"},  // a short string is categorical without being named
      {categorical, 3, ".0...."},  // named categorical but not on the list: ignored
      {categorical, 8, "..0.0."},  // not listed
      // A dependent or independent list replaces one half of the roles;
      // REGRESSION keeps the default ones.
      {em_lists, 1, "..1011"}, {em_lists, 2, "..0.11"}, {em_lists, 7, "...111"},
      {"MVA a b c /REGRESSION WITH b c.", 1, "....10"}, {"MVA a b c /REGRESSION WITH b c.", 2, ".....1"},
      {"MVA a name c /ID=c.", 7, ".00.1."},  // the ID leaves only the EM half
  };
  for (const auto& row : rows) {
    ParseFixture f({kCsv, {}});
    ASSERT_TRUE(f.parse(row.command));
    const Context& cx = f.cx();
    const std::int64_t v = row.v;
    const bool got[] = {ISQUAN(cx, v),     ISCATV(cx, v),     DEPFL(cx, v, kEm),
                        INDFL(cx, v, kEm), DEPFL(cx, v, kRegression), INDFL(cx, v, kRegression)};
    for (int i = 0; i < 6; ++i) {
      EXPECT_TRUE(row.roles[i] == '.' || got[i] == (row.roles[i] == '1')) << row.command << " v" << v << " role " << i;
    }
    if (row.command == categorical && v == 1) { EXPECT_TRUE(NQUANT(cx) == 2 && NCATV(cx) == 2); }
  }
}

}  // namespace
}  // namespace mva::test
