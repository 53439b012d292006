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
  TestData weighted{kCsv, {}};
  weighted.options.weight = "w";
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
    ParseFixture f(row.weighted ? weighted : TestData{kCsv, {}});
    ASSERT_TRUE(f.parse(row.command));
    EXPECT_EQ(list_and_columns(f), std::pair(row.list, row.columns));
    EXPECT_EQ(f.cmn().NV, row.nv);
  }
  ParseFixture f(weighted);
  ASSERT_TRUE(f.parse("MVA a name c /ID=c."));
  EXPECT_EQ(f.cmn().IDVAR, 7);
  EXPECT_FALSE(ISCATV(f.cx(), 7));
  EXPECT_FALSE(DEPFL(f.cx(), 7, kEm));
  EXPECT_TRUE(DEPFL(f.cx(), 7, kRegression));  // the ID leaves only the EM half
}

TEST(VariableLists, RolesOfListedVariables) {
  ParseFixture g({kCsv, {}});
  ASSERT_TRUE(g.parse("MVA a b s c /CATEGORICAL=b name."));
  Context& cx = g.cx();
  EXPECT_TRUE(ISQUAN(cx, 1));
  EXPECT_FALSE(ISQUAN(cx, 2));  // numeric but named categorical
  EXPECT_TRUE(ISCATV(cx, 2));
  EXPECT_TRUE(ISCATV(cx, 6));   // a short string is categorical without being named
  EXPECT_FALSE(ISCATV(cx, 3));  // named categorical but not on the list: ignored
  EXPECT_EQ(NQUANT(cx), 2);
  EXPECT_EQ(NCATV(cx), 2);
  for (int m : {kEm, kRegression}) {
    EXPECT_TRUE(DEPFL(cx, 1, m) && INDFL(cx, 1, m));
    EXPECT_FALSE(DEPFL(cx, 2, m) || INDFL(cx, 2, m));  // categorical numeric loses both roles
    EXPECT_FALSE(DEPFL(cx, 6, m) || INDFL(cx, 6, m));  // strings never have them
    EXPECT_FALSE(DEPFL(cx, 8, m));                     // not listed
  }
  // A dependent or independent list replaces one half of the roles.
  ParseFixture f({kCsv, {}});
  ASSERT_TRUE(f.parse("MVA a b c /EM a WITH c (TDF=5)."));
  EXPECT_EQ(std::vector<bool>({ISDEPV(f.cx(), 1, kEm), ISDEPV(f.cx(), 2, kEm), ISINDP(f.cx(), 7, kEm),
                               ISINDP(f.cx(), 1, kEm)}),
            std::vector<bool>({true, false, true, false}));
  for (std::int64_t v : {1, 2, 7}) {  // REGRESSION keeps the default roles
    EXPECT_TRUE(ISDEPV(f.cx(), v, kRegression) && ISINDP(f.cx(), v, kRegression)) << v;
  }
  ParseFixture h({kCsv, {}});
  ASSERT_TRUE(h.parse("MVA a b c /REGRESSION WITH b c."));
  EXPECT_TRUE(ISDEPV(h.cx(), 1, kRegression));  // no dependent list: the default stays
  EXPECT_FALSE(ISINDP(h.cx(), 1, kRegression));
  EXPECT_TRUE(ISINDP(h.cx(), 2, kRegression));
}

}  // namespace
}  // namespace mva::test
