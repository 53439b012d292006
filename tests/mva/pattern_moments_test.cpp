// Pairwise moments gathered by pattern, whole, with a budget that sends part
// of the cases to the case-by-case update, and with none, against a two-pass
// computation of each pair's weighted means, sums of squares and products.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "mva/estimation/pattern_moments.h"

namespace mva {
namespace {

TEST(PatternMoments, EveryBudgetGivesTheTwoPassMomentsOfEachPair) {
  constexpr std::int64_t p = 5, n = 400;
  // Column 3 is categorical: it counts in the pair weights only.
  std::vector<ColumnRole> role_list;
  for (std::int64_t k = 1; k <= p; ++k) role_list.push_back({k, true, k != 3, k == 3});
  const ColumnRoles roles(role_list);
  std::mt19937 rng(7);
  std::normal_distribution<double> value(100.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::vector<double>> x(n, std::vector<double>(p));
  std::vector<std::vector<std::int64_t>> miss(n, std::vector<std::int64_t>(p));
  std::vector<double> w(n);
  for (std::int64_t i = 0; i < n; ++i) {
    w[i] = 0.25 + 2.0 * unit(rng);
    for (std::int64_t k = 0; k < p; ++k) {
      x[i][k] = k == 2 ? 0.0 : value(rng) + static_cast<double>(k);
      miss[i][k] = unit(rng) < 0.15 * static_cast<double>(k) ? 1 : 0;
    }
  }

  for (const std::size_t budget : {std::size_t{1} << 20, std::size_t{40}, std::size_t{0}}) {
    const std::int64_t cells = p * (p + 1) / 2;
    std::vector<double> pwn(cells, 0.0), pww(cells, 0.0), pwcov(cells, 0.0), pwmean(p * p, 0.0), pwvar(p * p, 0.0);
    const PairwiseArrays pw{RealTriangle(RealArray(pwn.data())), RealTriangle(RealArray(pww.data())),
                            RealSquare(RealArray(pwmean.data()), p), RealTriangle(RealArray(pwcov.data())),
                            RealSquare(RealArray(pwvar.data()), p)};
    PatternMoments moments(roles, budget);
    for (std::int64_t i = 0; i < n; ++i) moments.add(w[i], RealArray(x[i].data()), WordArray(miss[i].data()), pw);
    moments.merge_into(pw);

    for (std::int64_t j = 1; j <= p; ++j) {
      for (std::int64_t k = 1; k <= j; ++k) {
        // Two passes over the cases with both present: weights and means, then the centred sums.
        double W = 0, mj = 0, mk = 0, sjj = 0, skk = 0, sjk = 0;
        for (int pass = 0; pass < 2; ++pass) {
          for (std::int64_t i = 0; i < n; ++i) {
            if (miss[i][j - 1] != 0 || miss[i][k - 1] != 0) continue;
            const double dj = x[i][j - 1] - (pass ? mj : 0), dk = x[i][k - 1] - (pass ? mk : 0);
            if (pass == 0) W += w[i], mj += w[i] * dj, mk += w[i] * dk;
            else sjj += w[i] * dj * dj, skk += w[i] * dk * dk, sjk += w[i] * dj * dk;
          }
          if (pass == 0) mj /= W, mk /= W;
        }
        SCOPED_TRACE(::testing::Message() << "budget " << budget << ", pair " << j << "," << k);
        EXPECT_NEAR(pw.PWN(j, k), W, 1e-12 * W);
        EXPECT_NEAR(pw.PWMEAN(j, k), mj, 1e-12 * std::abs(mj));
        EXPECT_NEAR(pw.PWMEAN(k, j), mk, 1e-12 * std::abs(mk));
        EXPECT_NEAR(pw.PWVAR(j, k), sjj, 1e-12 * sjj + 1e-300);
        EXPECT_NEAR(pw.PWVAR(k, j), skk, 1e-12 * skk + 1e-300);
        EXPECT_NEAR(pw.PWCOV(j, k), sjk, 1e-12 * std::sqrt(sjj * skk) + 1e-300);
      }
    }
  }
}

}  // namespace
}  // namespace mva
