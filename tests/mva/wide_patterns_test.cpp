// Pairwise moments gathered by pattern over more than 64 columns, where a
// pattern's key takes several words: the groups give what the case-by-case
// update (PAIRUPD, taken for every case when the budget holds no group)
// gives, pair by pair.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mva/estimation/pattern_moments.h"

namespace mva {
namespace {

TEST(PatternMoments, PatternsOfSeveralWordsGiveTheCaseByCaseMoments) {
  constexpr std::int64_t p = 70, n = 300;
  std::vector<ColumnRole> role_list;
  for (std::int64_t k = 1; k <= p; ++k) role_list.push_back({k, true, true, false});
  const ColumnRoles roles(role_list);
  std::mt19937 rng(11);
  std::normal_distribution<double> value(50.0, 2.0);
  std::uniform_int_distribution<int> pattern(0, 5);
  std::vector<std::vector<double>> x(n, std::vector<double>(p));
  std::vector<std::vector<std::int64_t>> miss(n, std::vector<std::int64_t>(p));
  for (std::int64_t i = 0; i < n; ++i) {
    // Six patterns, told apart only by columns beyond the first word.
    const int kind = pattern(rng);
    for (std::int64_t k = 0; k < p; ++k) {
      x[i][k] = value(rng);
      miss[i][k] = k >= 64 && k - 64 == kind ? 1 : 0;
    }
  }

  const std::int64_t cells = p * (p + 1) / 2;
  struct Arrays {
    std::vector<double> pwn, pww, pwcov, pwmean, pwvar;
  };
  const auto gather = [&](std::size_t budget) {
    Arrays a{std::vector<double>(cells), std::vector<double>(cells), std::vector<double>(cells),
             std::vector<double>(p * p), std::vector<double>(p * p)};
    const PairwiseArrays pw{RealTriangle(RealArray(a.pwn)), RealTriangle(RealArray(a.pww)),
                            RealSquare(RealArray(a.pwmean), p), RealTriangle(RealArray(a.pwcov)),
                            RealSquare(RealArray(a.pwvar), p)};
    PatternMoments moments(roles, budget);
    for (std::int64_t i = 0; i < n; ++i) moments.add(1.5, RealArray(x[i]), WordArray(miss[i]), pw);
    moments.merge_into(pw);
    return a;
  };
  const Arrays grouped = gather(std::size_t{1} << 20);
  const Arrays by_case = gather(0);
  for (std::int64_t i = 0; i < cells; ++i) {
    EXPECT_EQ(grouped.pwn[i], by_case.pwn[i]) << i;
    EXPECT_NEAR(grouped.pwcov[i], by_case.pwcov[i], 1e-12 * std::abs(by_case.pwcov[i]) + 1e-9) << i;
  }
  for (std::int64_t i = 0; i < p * p; ++i) {
    EXPECT_NEAR(grouped.pwmean[i], by_case.pwmean[i], 1e-13 * std::abs(by_case.pwmean[i])) << i;
    EXPECT_NEAR(grouped.pwvar[i], by_case.pwvar[i], 1e-12 * std::abs(by_case.pwvar[i]) + 1e-9) << i;
  }
}

}  // namespace
}  // namespace mva
