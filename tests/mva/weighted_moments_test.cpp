// The weighted moments state: per-chunk states merged by `combine` give what
// one pass of `update` over all the cases gives, and both give the two-pass
// moments (the mean first, then the weighted sums of squared deviations from
// it, in long double over the same doubles); `finish` and its degenerate cases.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mva/estimation/weighted_moments.h"

namespace mva::test {
namespace {

constexpr std::size_t kColumns = 3;
constexpr double kSysmis = -1.0e300;

struct Case {
  double x[kColumns];
  double w, f;
};

// Three columns: near 1e6 with spread 1, near -3e5 correlated with the
// first, and one of order 1; case weights 0.25 to 3, and on a third of the
// cases a factor other than 1 (as the t model gives them).
std::vector<Case> awkward_cases() {
  std::vector<Case> cases;
  for (int i = 0; i < 300; ++i) {
    const double u = ((i * 7919) % 1000) / 1000.0, v = ((i * 104729) % 997) / 997.0;
    cases.push_back({{1e6 + u, -3e5 + 0.5 * u + v, 0.5 - v}, 0.25 + (i % 12) * 0.25, i % 3 ? 1.0 : 0.6});
  }
  return cases;
}

WeightedMoments one_pass(const std::vector<Case>& cases, std::size_t begin, std::size_t end, SpreadRounding r) {
  WeightedMoments s(kColumns, r);
  double d[kColumns];
  for (std::size_t i = begin; i < end; ++i) update(s, cases[i].x, cases[i].w, cases[i].w * cases[i].f, d);
  return s;
}

TEST(WeightedMoments, CombinedChunksGiveTheOnePassAndTwoPassMoments) {
  const std::vector<Case> cases = awkward_cases();
  // The two-pass reference, weights w f.
  long double sumw = 0, W = 0, mean[kColumns] = {}, products[6] = {};
  for (const Case& c : cases) {
    sumw += c.w;
    W += c.w * c.f;
    for (std::size_t k = 0; k < kColumns; ++k) mean[k] += c.w * c.f * static_cast<long double>(c.x[k]);
  }
  for (long double& m : mean) m /= W;
  for (const Case& c : cases) {
    std::size_t cell = 0;
    for (std::size_t i = 0; i < kColumns; ++i) {
      for (std::size_t l = 0; l <= i; ++l) products[cell++] += c.w * c.f * (c.x[i] - mean[i]) * (c.x[l] - mean[l]);
    }
  }

  // Chunks: one case, an empty one, two long ones; the first merge is into
  // an empty state.
  const std::size_t bounds[] = {0, 1, 1, 130, 300};
  for (const SpreadRounding r : {SpreadRounding::product, SpreadRounding::share}) {
    const WeightedMoments whole = one_pass(cases, 0, cases.size(), r);
    WeightedMoments merged(kColumns, r);
    for (std::size_t c = 0; c + 1 < std::size(bounds); ++c) {
      combine(merged, one_pass(cases, bounds[c], bounds[c + 1], r));
    }

    for (const WeightedMoments* s : {&whole, static_cast<const WeightedMoments*>(&merged)}) {
      SCOPED_TRACE(s == &whole ? "one pass" : "combined");
      EXPECT_EQ(s->sumw, static_cast<double>(sumw));  // quarters: exact
      EXPECT_DOUBLE_EQ(s->sumwf, static_cast<double>(W));
      // The means within a few units in the last place (below 4 seen).
      for (std::size_t k = 0; k < kColumns; ++k) {
        const double m = static_cast<double>(mean[k]);
        EXPECT_NEAR(s->mean[k], m, 2e-15 * std::fabs(m) + 1e-16) << k;
      }
      // The sums of products, relative to the size of the two columns' sums
      // of squares (a cross-product may be near 0): values near 1e6 are
      // stored to 6e-11 against a spread of 1, so each deviation carries
      // that much of the data's own rounding; 1e-9 leaves room over the
      // 2.3e-10 seen, where the raw-sums formula would lose ten digits.
      for (std::size_t i = 0, cell = 0; i < kColumns; ++i) {
        for (std::size_t l = 0; l <= i; ++l, ++cell) {
          const double scale = std::sqrt(static_cast<double>(products[i * (i + 3) / 2] * products[l * (l + 3) / 2]));
          EXPECT_NEAR(s->products[cell], static_cast<double>(products[cell]), 1e-9 * scale) << cell;
        }
      }
    }
  }
}

TEST(WeightedMoments, UpdateRoundsEveryCellAsTheCellFormulas) {
  // `update` moves a row of products several cells at a time; it must give
  // the cell formulas' doubles, bit for bit, whatever the row length (here
  // 1 to 21 columns, on either side of every multiple of four). The values
  // mix scales from 1e-8 to 1e8 with ties and repeated cases (zero
  // deviations), a column that is another's multiple (collinear), and
  // weights from 0.125 to 40 with factors.
  for (std::size_t n = 1; n <= 21; ++n) {
    WeightedMoments fast(n, n % 2 ? SpreadRounding::product : SpreadRounding::share);
    WeightedMoments slow = fast;
    std::vector<double> x(n), d(n), reference(n);
    for (int i = 0; i < 200; ++i) {
      for (std::size_t k = 0; k < n; ++k) {
        const double u = ((i * 7919 + static_cast<int>(k) * 104729) % 1009) / 1009.0 - 0.5;
        const double scale[] = {1e-8, 1.0, 3e3, 1e8};
        x[k] = k == 2 && n > 2 ? -3.0 * x[0] : (i % 5 == 0 ? 0.25 : u) * scale[k % 4] + static_cast<double>(k);
      }
      const double w = 0.125 * (1 + (i * 31) % 320), c = w * (i % 3 ? 1.0 : 0.7);
      update(fast, x.data(), w, c, d.data());
      // The cell formulas one cell at a time.
      const MomentStep step = moment_step(slow.sumwf, c, slow.rounding);
      for (std::size_t k = 0; k < n; ++k) reference[k] = x[k] - slow.mean[k];
      for (std::size_t k = 0, cell = 0; k < n; ++k) {
        for (std::size_t l = 0; l <= k; ++l, ++cell)
          add_product(slow.products[cell], step.spread, reference[k], reference[l]);
      }
      for (std::size_t k = 0; k < n; ++k) move_mean(slow.mean[k], step, reference[k]);
      slow.sumw += w;
      slow.sumwf = step.after;
      ASSERT_EQ(d, reference) << n << " " << i;
    }
    EXPECT_EQ(fast.products, slow.products) << n;
    EXPECT_EQ(fast.mean, slow.mean) << n;
    EXPECT_EQ(fast.sumwf, slow.sumwf) << n;
  }
}

TEST(WeightedMoments, FinishOwnsTheDegenerateCases) {
  const double sysmis = kSysmis;
  const double x1[] = {1.0, 4.0, 3.0}, x3[] = {3.0, 6.0, 2.0};
  double d[kColumns];

  WeightedMoments none(kColumns);  // no weight: nothing is defined
  MomentEstimates e = finish(none, sysmis);
  EXPECT_EQ(e.mean, std::vector<double>(3, sysmis));
  EXPECT_EQ(e.covariance, std::vector<double>(6, sysmis));
  EXPECT_EQ(e.sd, std::vector<double>(3, sysmis));

  WeightedMoments one(kColumns);  // a weight sum of 1: a mean, no variance
  update(one, x1, 1.0, 1.0, d);
  e = finish(one, sysmis);
  EXPECT_EQ(e.mean, std::vector<double>(x1, x1 + 3));
  EXPECT_EQ(e.covariance, std::vector<double>(6, sysmis));
  EXPECT_EQ(e.sd, std::vector<double>(3, sysmis));

  // Columns x1, a constant 5 and x3 with weights 0.5, 1 and 1.5 (sum 3,
  // divisor 2). By hand: means 3, 5, 3.5; deviations of x1 -2, 1, 0 and of
  // x3 -0.5, 2.5, -1.5; weighted sums of products 3 (x1), 9.75 (x3), 3 (x1,
  // x3); the constant column's are 0 exactly.
  WeightedMoments three(kColumns);
  const double w[] = {0.5, 1.0, 1.5};
  for (int i = 0; i < 3; ++i) {
    const double x[] = {x1[i], 5.0, x3[i]};
    update(three, x, w[i], w[i], d);
  }
  e = finish(three, sysmis);
  const double means[] = {3.0, 5.0, 3.5};
  for (std::size_t k = 0; k < kColumns; ++k) EXPECT_NEAR(e.mean[k], means[k], 1e-15) << k;
  const double want[] = {1.5, 0.0, 0.0, 1.5, 0.0, 4.875};
  for (std::size_t cell = 0; cell < 6; ++cell) EXPECT_NEAR(e.covariance[cell], want[cell], 4e-16 * 4.875) << cell;
  EXPECT_EQ(e.covariance[2], 0.0);
  EXPECT_EQ(e.sd[1], 0.0);
  EXPECT_NEAR(e.sd[0], std::sqrt(1.5), 4e-16);
  // A variance that rounding left below 0 shows a standard deviation of 0.
  EXPECT_EQ(finish_sd(-1e-18), 0.0);
  EXPECT_EQ(finish_sd(1.0, 4.0, sysmis), sysmis);
  EXPECT_EQ(finish_sd(1.5, 4.0, sysmis), 2.0);
}

}  // namespace
}  // namespace mva::test
