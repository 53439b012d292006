// The queries over the MVA common and the workspace: every index outside its
// range answers 0, FALSE or the empty category value, and the index at the
// edge of the range still reaches its cell.
#include <gtest/gtest.h>

#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Any answer of a query (index, count, logical, value), as a double.
struct Answer {
  template <class T>
  Answer(T v) : value(static_cast<double>(v)) {}  // implicit: one column for all queries
  double value;
};

TEST(Queries, IndicesOutsideTheirRangeAnswerNothing) {
  // Slots: 1 a, 2 b (categorical), 3 s (a short string).
  ParseFixture f({"a,b,s\n1,2,x\n3,,y\n", {}});
  ASSERT_TRUE(f.parse("MVA a b s /CATEGORICAL=b /MAXCAT=3."));
  Context& cx = f.cx();
  MvaCommon& c = f.cmn();
  // A case store of two cases, the second incomplete, and three categories
  // of b, laid out by hand as the data pass would.
  c.NCASES = 2;
  c.NINCOM = 1;
  ASSERT_FALSE(cx.host.QNOMEM(cx.ws, c.a.CASES, 8, c.NV * c.NCASES));
  ASSERT_FALSE(cx.host.QNOMEM(cx.ws, c.a.CASEAT, 8, c.NINCOM));
  ASSERT_FALSE(cx.host.QNOMEM(cx.ws, c.a.CATVAL, 8, c.MAXCAT * c.NVAR));
  for (std::int64_t L = 1; L <= 2; ++L) {
    for (std::int64_t k = 1; k <= 3; ++k) cx.case_matrix()(L, k) = 10.0 * L + k;
  }
  cx.words(c.a.CASEAT)(1) = 2;
  cx.words(c.a.CATROW)(2) = 1;
  cx.words(c.a.NCATS)(2) = 3;
  for (std::int64_t k = 1; k <= 3; ++k) cx.category_values()(1, k) = 100.0 * k;

  constexpr double kEmpty = 1e33;
  const std::int64_t n = c.NVAR;  // 3
  const struct {
    const char* call;
    Answer got;
    double want;
  } rows[] = {
      {"IANVAR(0)", IANVAR(cx, 0), 0},     {"IANVAR(3)", IANVAR(cx, 3), 3},
      {"IANVAR(4)", IANVAR(cx, 4), 0},     {"ICOL2(0)", ICOL2(cx, 0), 0},
      {"ICOL2(3)", ICOL2(cx, n), 3},       {"ICOL2(4)", ICOL2(cx, n + 1), 0},
      {"ISANAL(0)", ISANAL(cx, 0), 0},             {"ISANAL(4)", ISANAL(cx, n + 1), 0},
      {"INVLST(0)", INVLST(cx, 0), 0},             {"INVLST(4)", INVLST(cx, n + 1), 0},
      {"ISCATV(0)", ISCATV(cx, 0), 0},             {"ISCATV(4)", ISCATV(cx, n + 1), 0},
      {"ISQUAN(0)", ISQUAN(cx, 0), 0},             {"ISQUAN(4)", ISQUAN(cx, n + 1), 0},
      {"DEPFL(1,15)", DEPFL(cx, 1, 15), 1},        {"DEPFL(1,13)", DEPFL(cx, 1, 13), 0},
      {"DEPFL(1,16)", DEPFL(cx, 1, 16), 0},        {"DEPFL(0,14)", DEPFL(cx, 0, 14), 0},
      {"DEPFL(4,14)", DEPFL(cx, n + 1, 14), 0},    {"INDFL(1,13)", INDFL(cx, 1, 13), 0},
      {"INDFL(4,15)", INDFL(cx, n + 1, 15), 0},    {"ISDEPV(1,16)", ISDEPV(cx, 1, 16), 0},
      {"ISINDP(0,14)", ISINDP(cx, 0, 14), 0},      {"ISDESC(1,7)", ISDESC(cx, 1, 7), 0},
      {"ISDESC(1,11)", ISDESC(cx, 1, 11), 0},      {"ISDESC(4,10)", ISDESC(cx, n + 1, 10), 0},
      {"CELLV(1,2)", CELLV(cx, 1, 2), 21},         {"CELLV(1,0)", CELLV(cx, 1, 0), 0},
      {"CELLV(1,3)", CELLV(cx, 1, 3), 0},          {"CELLV(0,1)", CELLV(cx, 0, 1), 0},
      {"CELLV(4,1)", CELLV(cx, n + 1, 1), 0},      {"LOCCAS(1)", LOCCAS(cx, 1), 2},
      {"LOCCAS(0)", LOCCAS(cx, 0), 0},     {"LOCCAS(2)", LOCCAS(cx, 2), 0},
      {"NCATOF(2)", NCATOF(cx, 2), 3},     {"NCATOF(0)", NCATOF(cx, 0), 0},
      {"NCATOF(4)", NCATOF(cx, n + 1), 0}, {"CATVL(2,3)", CATVL(cx, 2, 3), 300},
      {"CATVL(2,0)", CATVL(cx, 2, 0), kEmpty},     {"CATVL(2,4)", CATVL(cx, 2, 4), kEmpty},
      {"CATVL(1,1)", CATVL(cx, 1, 1), kEmpty},     {"CATVL(0,1)", CATVL(cx, 0, 1), kEmpty},
      {"CATVL(4,1)", CATVL(cx, n + 1, 1), kEmpty}, {"SORTK(0)", SORTK(cx, 0), 0},
      {"SORTK(7)", SORTK(cx, 2 * n + 1), 0}, {"SORTSW(7)", SORTSW(cx, 7), 1},
      {"SORTSW(8)", SORTSW(cx, 8), 0},             {"SORTSW(11)", SORTSW(cx, 11), 0},
      {"SFKIND(11)", SFKIND(c, 11), 0},    {"SFGETH(16)", SFGETH(c, 16), 0},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got.value, row.want) << row.call;
}

}  // namespace
}  // namespace mva::test
