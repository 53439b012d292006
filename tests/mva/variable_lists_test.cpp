// The variable lists and the roles and case-matrix columns they leave; the
// queries over the common and the workspace answer 0, FALSE or the empty
// category value outside their range and reach the cell at its edge.
#include <gtest/gtest.h>

#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Slots: 1 a, 2 b, 3 name (width 20: slots 3, 4, 5), 6 s (width 3), 7 c, 8 w.
const char* kCsv = "a,b,name,s,c,w\n1,2,a rather long name,x,5,1\n3,,short,yy,6,2\n";

TEST(VariableLists, ListsAndColumns) {
  using Words = std::vector<std::int64_t>;
  const struct {
    const char* command;
    Words list, columns;
    std::int64_t nv;
    bool weighted;
  } rows[] = {
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
    Words list, columns;  // the list, and the case-matrix column (COLOF) of every dictionary slot
    for (std::int64_t i = 1; i <= f.cmn().NVAR; ++i) {
      if (f.word(f.cmn().a.VLIST, i) != 0) list.push_back(f.word(f.cmn().a.VLIST, i));
      columns.push_back(f.word(f.cmn().a.COLOF, i));
    }
    EXPECT_EQ(std::pair(list, columns), std::pair(row.list, row.columns));
    EXPECT_EQ(f.cmn().NV, row.nv);
  }
}

TEST(VariableLists, RolesOfListedVariables) {
  // roles: ISQUAN, ISCATV, then DEPFL and INDFL under EM and under
  // REGRESSION; 1 true, 0 false, . not checked.
  const char* categorical = "MVA a b s c /CATEGORICAL=b name.";
  const char* em_lists = "MVA a b c /EM a WITH c (TDF=5).";
  const struct {
    const char* command;
    std::int64_t v;
    const char* roles;
  } rows[] = {
      {categorical, 1, "1.1111"},
      {categorical, 2, "010000"},  // numeric but named categorical: no EM or regression role
      {categorical, 6, ".10000"},  // a short string is categorical without being named
      {categorical, 3, ".0...."},  // named categorical but not on the list: ignored
      {categorical, 8, "..0.0."},  // not listed
      // A dependent or independent list replaces one half of the roles;
      // REGRESSION keeps the default ones.
      {em_lists, 1, "..1011"},
      {em_lists, 2, "..0.11"},
      {em_lists, 7, "...111"},
      {"MVA a b c /REGRESSION WITH b c.", 1, "....10"},
      {"MVA a b c /REGRESSION WITH b c.", 2, ".....1"},
      {"MVA a name c /ID=c.", 7, ".00.1."},  // the ID leaves only the EM half
  };
  for (const auto& row : rows) {
    ParseFixture f({kCsv, {}});
    ASSERT_TRUE(f.parse(row.command));
    const Context& cx = f.cx();
    const std::int64_t v = row.v;
    const bool got[] = {ISQUAN(cx, v),
                        ISCATV(cx, v),
                        DEPFL(cx, v, kEm),
                        INDFL(cx, v, kEm),
                        DEPFL(cx, v, kRegression),
                        INDFL(cx, v, kRegression)};
    for (int i = 0; i < 6; ++i) {
      EXPECT_TRUE(row.roles[i] == '.' || got[i] == (row.roles[i] == '1')) << row.command << " v" << v << " role " << i;
    }
    if (row.command == categorical && v == 1) {
      EXPECT_TRUE(NQUANT(cx) == 2 && NCATV(cx) == 2);
    }
  }
}

TEST(Queries, IndicesOutsideTheirRangeAnswerNothing) {
  // Slots: 1 a, 2 b (categorical), 3 s (a short string).
  ParseFixture f({"a,b,s\n1,2,x\n3,,y\n", {}});
  ASSERT_TRUE(f.parse("MVA a b s /CATEGORICAL=b /MAXCAT=3."));
  Context& cx = f.cx();
  MvaCommon& c = f.cmn();
  // A case store of two cases, the second incomplete, and three categories
  // of b, laid out by hand as the data pass would.
  c.NCASES = 2, c.NINCOM = 1;
  ASSERT_FALSE(cx.host.QNOMEM(cx.ws, c.a.CASES, 8, c.NV * c.NCASES) || cx.host.QNOMEM(cx.ws, c.a.CASEAT, 8, 1) ||
               cx.host.QNOMEM(cx.ws, c.a.CATVAL, 8, c.MAXCAT * c.NVAR));
  for (std::int64_t L = 1; L <= 2; ++L) {
    for (std::int64_t k = 1; k <= 3; ++k) cx.case_matrix()(L, k) = 10.0 * L + k;
  }
  cx.words(c.a.CASEAT)(1) = 2, cx.words(c.a.CATROW)(2) = 1, cx.words(c.a.NCATS)(2) = 3;
  for (std::int64_t k = 1; k <= 3; ++k) cx.category_values()(1, k) = 100.0 * k;

  constexpr double kEmpty = 1e33;
  const std::int64_t n = c.NVAR;  // 3
  // Word answers: the last index in range, then outside it.
  EXPECT_EQ((std::vector<std::int64_t>{IANVAR(cx, n), IANVAR(cx, n + 1), ICOL2(cx, 0), LOCCAS(cx, 1), LOCCAS(cx, 2),
                                       NCATOF(cx, 2), NCATOF(cx, n + 1), SORTK(cx, 2 * n + 1), SFKIND(c, 11)}),
            (std::vector<std::int64_t>{3, 0, 0, 2, 0, 3, 0, 0, kNoFile}));
  // Flags: only DEPFL(1, 15) and SORTSW(7) are in range and set.
  EXPECT_EQ(
      (std::vector<bool>{ISANAL(cx, n + 1), INVLST(cx, 0), ISCATV(cx, n + 1), ISQUAN(cx, 0), DEPFL(cx, 1, 15),
                         DEPFL(cx, 1, 13), DEPFL(cx, 1, 16), DEPFL(cx, n + 1, 14), INDFL(cx, 1, 13), ISDEPV(cx, 1, 16),
                         ISINDP(cx, 0, 14), ISDESC(cx, 1, 11), ISDESC(cx, n + 1, 10), SORTSW(cx, 7), SORTSW(cx, 8)}),
      (std::vector<bool>{false, false, false, false, true, false, false, false, false, false, false, false, false, true,
                         false}));
  // Cells: the last case and category in range, then outside.
  EXPECT_EQ(
      (std::vector<double>{CELLV(cx, 1, 2), CELLV(cx, 1, 3), CELLV(cx, 0, 1), CELLV(cx, n + 1, 1), CATVL(cx, 2, 3),
                           CATVL(cx, 2, 0), CATVL(cx, 2, 4), CATVL(cx, 1, 1), CATVL(cx, n + 1, 1)}),
      (std::vector<double>{21, 0, 0, 0, 300, kEmpty, kEmpty, kEmpty, kEmpty}));
}

}  // namespace
}  // namespace mva::test
