// The workspace guards of the special builds: the checked build (MVA_CHECKED)
// stops on an index outside a view or arrays too small for a kernel; under
// AddressSanitizer a write into an array's red zone is reported. Skipped in
// the other builds.
#include <gtest/gtest.h>

#include "host/services/arena.h"
#include "mva/estimation/sweep.h"
#include "mva/frame/views.h"

namespace mva::host {
namespace {

TEST(CheckedBuild, IndexOutsideAViewOrAKernelsArraysStops) {
#if !defined(MVA_CHECKED)
  GTEST_SKIP() << "the checks are compiled in the checked build only (make checked)";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Arena arena(64 * 8);
  Index a = 0, b = 0, c = 0;
  ASSERT_TRUE(arena.allocate(10, a) && arena.allocate(5, b) && arena.allocate(3, c));
  const RealArray x = arena.workspace().reals(a);
  ASSERT_EQ(x.length(), 10);
  x(10) = 1.0;                                                                 // the last cell is the array's own
  EXPECT_DEATH(x(11) = 1.0, "invariant broken: i >= 1 && i <= length\\(\\)");  // the first of b's
  EXPECT_DEATH(x(0) = 1.0, "invariant broken");
  EXPECT_DEATH(x.first(11), "invariant broken");
  EXPECT_EQ(arena.workspace().reals(a + 4).length(), 6);  // a base inside an array: the rest of it

  const RealSquare m(x, 3);  // 9 of the 10 cells
  m(3, 3) = 1.0;
  EXPECT_DEATH(m(4, 1) = 1.0, "invariant broken");  // a cell of x, but not of the matrix
  const CaseMatrix cases(x, 4);
  EXPECT_DEATH(cases(3, 3) = 1.0, "invariant broken");  // cell 11 of the 10
  EXPECT_DEATH(cases.row(3), "invariant broken");

  const RealTriangle t(arena.workspace().reals(b));  // 5 cells: order 2 fits (3 cells), order 3 does not (6)
  EXPECT_TRUE(t.holds_order(2));
  EXPECT_FALSE(t.holds_order(3));
  EXPECT_DEATH(t(3, 3) = 1.0, "invariant broken");
  const RealArray status = arena.workspace().reals(c);
  EXPECT_DEATH(SWEEP(3, t, status, status, status, 3, 0.0, 0.0, 10), "invariant broken: A.holds_order\\(p\\)");
#endif
}

TEST(SanitizerBuild, WritePastAnArrayIntoTheNextIsReported) {
  if (Arena::kRedZoneCells == 0)
    GTEST_SKIP() << "the red zones are laid out only with AddressSanitizer (make sanitize)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Arena arena(64 * 8);
  Index a = 0, b = 0;
  ASSERT_TRUE(arena.allocate(4, a) && arena.allocate(4, b));
  double* const cells = arena.workspace().reals(a).data();
  cells[3] = 1.0;
  EXPECT_DEATH(cells[4] = 2.0, "use-after-poison");  // the red zone before b
  arena.release(b, 4);
  EXPECT_DEATH(arena.workspace().reals(b).data()[0] = 2.0, "use-after-poison");  // a freed array
}

}  // namespace
}  // namespace mva::host
