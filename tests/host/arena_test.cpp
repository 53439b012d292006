// The workspace arena: arrays laid out by 1-based base index within a hard
// capacity, the largest free block taken whole and cut back, freed blocks
// joined again, and faults of the caller refused.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/services/arena.h"

namespace mva::host {
namespace {

TEST(Arena, LaysOutWithinItsCapacityAndJoinsFreedBlocks) {
  Arena arena(100 * 8);
  Index a = 0, b = 0, c = 0, d = 0;
  ASSERT_TRUE(arena.allocate(40, a));
  ASSERT_TRUE(arena.allocate(40, b));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 41);
  EXPECT_FALSE(arena.allocate(21, c));  // only 20 cells are left
  EXPECT_EQ(c, 0);
  ASSERT_TRUE(arena.allocate(20, c));
  EXPECT_EQ(arena.largest_free(), 0);

  // An empty array gets a valid index and owns nothing.
  ASSERT_TRUE(arena.allocate(0, d));
  EXPECT_GE(d, 1);
  arena.release(d, 0);

  arena.release(a, 40);
  arena.release(b, 40);  // joins with a's block
  EXPECT_EQ(arena.largest_free(), 80);
  ASSERT_TRUE(arena.allocate(80, a));
  EXPECT_EQ(a, 1);

  // Cells are 8 bytes, read as doubles or as words.
  arena.workspace().reals(a)(80) = 2.5;
  arena.workspace().words(c)(1) = -7;
  EXPECT_EQ(arena.workspace().reals(a)(80), 2.5);
  EXPECT_EQ(arena.workspace().words(c)(1), -7);
}

TEST(Arena, TakesTheLargestFreeBlockAndCutsItBack) {
  Arena arena(100 * 8);
  Index a = 0, rest = 0, after = 0;
  ASSERT_TRUE(arena.allocate(10, a));
  EXPECT_EQ(arena.allocate_up_to(-1, rest), 90);
  EXPECT_EQ(rest, 11);
  arena.shrink(rest, 30);
  EXPECT_EQ(arena.used_cells(), 40);
  ASSERT_TRUE(arena.allocate(60, after));
  EXPECT_EQ(after, 41);
  Index none = 5;
  EXPECT_EQ(arena.allocate_up_to(-1, none), 0);  // nothing left
  EXPECT_EQ(none, 0);
  arena.reset();
  EXPECT_EQ(arena.used_cells(), 0);
  EXPECT_EQ(arena.largest_free(), 100);
}

TEST(Arena, RefusesFaultsOfTheCaller) {
  Arena arena(100 * 8);
  Index a = 0;
  ASSERT_TRUE(arena.allocate(10, a));
  EXPECT_THROW(arena.release(a, 9), std::logic_error);   // wrong size
  EXPECT_THROW(arena.release(50, 5), std::logic_error);  // not laid out
  EXPECT_THROW(arena.shrink(a, 11), std::logic_error);   // beyond its size
  arena.release(a, 10);
  EXPECT_THROW(arena.release(a, 10), std::logic_error);  // twice
}

}  // namespace
}  // namespace mva::host
