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
const char* kCsv =
    "a,b,name,s,c,w\n"
    "1,2,a rather long name,x,5,1\n"
    "3,,short,yy,6,2\n";

TestData setup(std::vector<std::string> weight = {}) {
  TestData s{kCsv, {}};
  if (!weight.empty()) s.options.weight = weight[0];
  return s;
}

std::vector<std::int64_t> list_of(ParseFixture& f) {
  std::vector<std::int64_t> list;
  for (std::int64_t i = 1; i <= f.cmn().NVAR; ++i) {
    if (f.word(f.cmn().a.VLIST, i) != 0) list.push_back(f.word(f.cmn().a.VLIST, i));
  }
  return list;
}

std::vector<std::int64_t> columns_of(ParseFixture& f) {
  std::vector<std::int64_t> cols;
  for (std::int64_t v = 1; v <= f.cmn().NVAR; ++v) cols.push_back(f.word(f.cmn().a.COLOF, v));
  return cols;
}

TEST(VariableLists, KeywordFormsReadTheSameList) {
  for (const char* command : {"MVA c a s.", "MVA VARIABLES=c a s.", "MVA VAR c a s.",
                              "MVA variab=c a s.", "MVA VARIABLES c, a, s."}) {
    SCOPED_TRACE(command);
    ParseFixture f(setup());
    ASSERT_TRUE(f.parse(command));
    EXPECT_EQ(list_of(f), (std::vector<std::int64_t>{7, 1, 6}));
    // Columns follow the dictionary order whatever the list order.
    EXPECT_EQ(columns_of(f), (std::vector<std::int64_t>{1, 0, 0, 0, 0, 2, 3, 0}));
    EXPECT_EQ(f.cmn().NV, 3);
    EXPECT_EQ(f.word(f.cmn().a.ANVAR, 1), 1);
    EXPECT_EQ(f.word(f.cmn().a.ANVAR, 3), 7);
  }
}

TEST(VariableLists, RolesOfListedVariables) {
  ParseFixture g(setup());
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
}

TEST(VariableLists, LongStringsIdAndWeightGetColumns) {
  ParseFixture f(setup({"w"}));
  ASSERT_TRUE(f.parse("MVA a name c /ID=c."));
  // ID c leaves the list but keeps a column; name brings its two
  // continuation slots; the weight is stored with every case.
  EXPECT_EQ(list_of(f), (std::vector<std::int64_t>{1, 3, 4, 5}));
  EXPECT_EQ(f.cmn().IDVAR, 7);
  EXPECT_EQ(columns_of(f), (std::vector<std::int64_t>{1, 0, 2, 3, 4, 0, 5, 6}));
  EXPECT_EQ(f.cmn().NV, 6);
  EXPECT_FALSE(ISCATV(f.cx(), 7));
  EXPECT_FALSE(DEPFL(f.cx(), 7, kEm));
  EXPECT_TRUE(DEPFL(f.cx(), 7, kRegression));  // the ID leaves only the EM half
}

TEST(VariableLists, DependentAndIndependentListsReplaceOneHalf) {
  ParseFixture f(setup());
  ASSERT_TRUE(f.parse("MVA a b c /EM a WITH c (TDF=5)."));
  Context& cx = f.cx();
  EXPECT_TRUE(ISDEPV(cx, 1, kEm));
  EXPECT_FALSE(ISDEPV(cx, 2, kEm));
  EXPECT_FALSE(ISDEPV(cx, 7, kEm));
  EXPECT_TRUE(ISINDP(cx, 7, kEm));
  EXPECT_FALSE(ISINDP(cx, 1, kEm));
  for (std::int64_t v : {1, 2, 7}) {  // REGRESSION keeps the default roles
    EXPECT_TRUE(ISDEPV(cx, v, kRegression) && ISINDP(cx, v, kRegression)) << v;
  }

  ParseFixture g(setup());
  ASSERT_TRUE(g.parse("MVA a b c /REGRESSION WITH b c."));
  EXPECT_TRUE(ISDEPV(g.cx(), 1, kRegression));  // no dependent list: the default stays
  EXPECT_FALSE(ISINDP(g.cx(), 1, kRegression));
  EXPECT_TRUE(ISINDP(g.cx(), 2, kRegression));
}

}  // namespace
}  // namespace mva::test
