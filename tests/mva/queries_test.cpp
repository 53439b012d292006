// The queries over the MVA common and the workspace: every index outside its
// range answers 0, FALSE or the empty category value, and the index at the
// edge of the range still reaches its cell.
#include <gtest/gtest.h>

#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

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
  // The query as written, its answer, and the answer wanted.
#define ROW(query, want) {#query, static_cast<double>(query), want}
  const struct { const char* call; double got, want; } rows[] = {
      ROW(IANVAR(cx, n), 3), ROW(IANVAR(cx, n + 1), 0), ROW(ICOL2(cx, 0), 0), ROW(ISANAL(cx, n + 1), 0),
      ROW(INVLST(cx, 0), 0), ROW(ISCATV(cx, n + 1), 0), ROW(ISQUAN(cx, 0), 0), ROW(DEPFL(cx, 1, 15), 1),
      ROW(DEPFL(cx, 1, 13), 0), ROW(DEPFL(cx, 1, 16), 0), ROW(DEPFL(cx, n + 1, 14), 0), ROW(INDFL(cx, 1, 13), 0),
      ROW(ISDEPV(cx, 1, 16), 0), ROW(ISINDP(cx, 0, 14), 0), ROW(ISDESC(cx, 1, 11), 0), ROW(ISDESC(cx, n + 1, 10), 0),
      ROW(CELLV(cx, 1, 2), 21), ROW(CELLV(cx, 1, 3), 0), ROW(CELLV(cx, 0, 1), 0), ROW(CELLV(cx, n + 1, 1), 0),
      ROW(LOCCAS(cx, 1), 2), ROW(LOCCAS(cx, 2), 0), ROW(NCATOF(cx, 2), 3), ROW(NCATOF(cx, n + 1), 0),
      ROW(CATVL(cx, 2, 3), 300), ROW(CATVL(cx, 2, 0), kEmpty), ROW(CATVL(cx, 2, 4), kEmpty),
      ROW(CATVL(cx, 1, 1), kEmpty), ROW(CATVL(cx, n + 1, 1), kEmpty), ROW(SORTK(cx, 2 * n + 1), 0),
      ROW(SORTSW(cx, 7), 1), ROW(SORTSW(cx, 8), 0), ROW(SFKIND(c, 11), 0),
  };
#undef ROW
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want) << row.call;
}

}  // namespace
}  // namespace mva::test
