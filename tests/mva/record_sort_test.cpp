// The record sort: the permutation it returns against a stable sort of the
// same records (ties keep their input order), on every range size around the
// switch to insertion sort; string keys read over the variable's width, into
// its continuation column. The case sort on the DPATTERN keys is checked
// through the pattern tables (SORT with descending keys and ties).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>

#include "mva/diagnostics/record_sort.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// The order a stable sort gives: records by number, compared cell by cell
// on the numeric keys (negative = descending).
std::vector<std::int64_t> stable_order(const std::vector<double>& cells, std::int64_t reclen,
                                       std::int64_t n, const std::vector<std::int64_t>& keys) {
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 1);
  const auto cell = [&](std::int64_t record, std::int64_t j) { return cells[(record - 1) * reclen + j - 1]; };
  std::stable_sort(order.begin(), order.end(), [&](std::int64_t x, std::int64_t y) {
    for (std::size_t k = 0; k < keys.size() && keys[k] != 0; ++k) {
      const double a = cell(x, std::abs(keys[k])), b = cell(y, std::abs(keys[k]));
      if (a != b) return keys[k] > 0 ? a < b : a > b;
    }
    return false;
  });
  return order;
}

TEST(RecordSort, SameOrderAsAStableSortOnTheKeys) {
  ParseFixture fx({"a\n1\n", {}});
  ASSERT_TRUE(fx.parse("MVA a."));
  std::mt19937 random(7);
  // distinct: values per cell (few values make many ties).
  const struct { std::int64_t reclen; std::vector<std::int64_t> keys; int distinct; } shapes[] = {
      {1, {1, 0}, 1000}, {1, {-1, 0}, 3}, {3, {2, -1, 0}, 3},
      {3, {3, 0}, 2},        // one key: ties on it keep record order
      {2, {1, 2, 1, 2}, 4},  // more keys than cells: only the first two are read
  };
  for (const auto& shape : shapes) {
    for (const std::int64_t n : {1, 2, 3, 11, 12, 13, 24, 100, 2000}) {
      SCOPED_TRACE(::testing::Message() << "reclen " << shape.reclen << ", n " << n << ", values " << shape.distinct);
      std::uniform_int_distribution<int> pick(1, shape.distinct);
      std::vector<double> cells(static_cast<std::size_t>(n * shape.reclen));
      for (double& x : cells) x = pick(random);
      std::vector<std::int64_t> perm(static_cast<std::size_t>(n), -1);
      RSORT(fx.cx(), shape.reclen, n, RealArray(cells.data()), shape.keys, WordArray(perm.data()));
      EXPECT_EQ(perm, stable_order(cells, shape.reclen, n, shape.keys));
    }
  }
}

// A record of s x: the characters of s in two cells, blank padded, then x = 5.
std::vector<double> record(std::string s) {
  std::vector<double> out(3, 5.0);
  s.resize(16, ' ');
  std::memcpy(out.data(), s.data(), 16);
  return out;
}

TEST(RecordSort, StringKeysReadTheVariablesWidth) {
  // s is a string of width 12: two columns (the slot and its continuation),
  // then x. Records are rows of 3 cells: s, its continuation, x.
  ParseFixture fx({"s,x\nabcdefghijkl,1\n", {}});
  ASSERT_TRUE(fx.parse("MVA s x."));
  ASSERT_EQ(fx.cmn().NV, 3);
  const std::int64_t string_key = 3 + 1;  // NV + the column of s
  const struct { std::string a, b; std::vector<std::int64_t> keys; int expected; } rows[] = {
      {"abc", "abd", {string_key, 0}, -1}, {"abc", "abd", {-string_key, 0}, 1},
      {"abcdefghXY", "abcdefghXZ", {string_key, 0}, -1},  // differ in the continuation column
      {"abcdefghijkl", "abcdefghijkl", {string_key, 0}, -1},  // equal: record numbers decide
      {"b", "a", {3, string_key, 0}, 1},  // x equal, then the string
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.a + " vs " + row.b);
    std::vector<double> a = record(row.a), b = record(row.b);
    EXPECT_EQ(RCOMP(fx.cx(), 3, RealArray(a.data()), 1, RealArray(b.data()), 2, row.keys), row.expected);
    EXPECT_EQ(RCOMP(fx.cx(), 3, RealArray(b.data()), 2, RealArray(a.data()), 1, row.keys), -row.expected);
  }
}

}  // namespace
}  // namespace mva::test
