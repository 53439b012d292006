// The estimation kernels: the sweep operator, its tolerance guard and forward
// selection against tools/estimation/sweep_reference.py (output in
// sweep_reference.txt); the moment update, the Mahalanobis distance, the
// pairwise moments by pattern and the weighted moments state (one pass, and
// per-chunk states combined) against two-pass computations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mva/estimation/mahalanobis.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/pattern_moments.h"
#include "mva/estimation/sweep.h"
#include "mva/estimation/weighted_moments.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using Cells = std::vector<double>;

// The 4 x 4 covariance matrix of the reference script, packed.
const Cells kS = {4.0, 2.0, 5.0, 0.6, 1.5, 3.0, 1.0, -0.5, 0.8, 2.5};

struct Sweeper {
  Cells a, status, work, refdiag;
  Sweeper(Cells packed, Cells s) : a(std::move(packed)), status(s), work(s.size()), refdiag(s.size()) {}
  SweepResult run(std::int64_t maxsteps, double tol, double fmin = 0.0, std::int64_t n = 0) {
    return SWEEP(static_cast<std::int64_t>(status.size()), RealTriangle(RealArray(a)), RealArray(status),
                 RealArray(work), RealArray(refdiag), maxsteps, tol, fmin, n);
  }
};

void expect_cells_near(const Cells& got, const Cells& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-14 * std::fabs(want[i])) << i;
}

TEST(Sweep, FullAndPartialSweepsAgainstNumpyAndSweepingOutRestores) {
  Sweeper full(kS, {1, 1, 1, 1});
  const SweepResult r = full.run(4, 1e-8);
  expect_cells_near(full.a, {-0.39793031566408577, 0.20741512805241213, -0.36480047647409164, -0.084871947587849883,
                             0.19952352590827865, -0.47647409172126254, 0.22781417510422869, -0.21977367480643234,
                             0.22632519356759967, -0.6075044669446098});
  EXPECT_NEAR(r.logdet, 4.2070778322093405, 1e-14 * 4.2);
  EXPECT_TRUE(r.remaining == 0 && full.status == (Cells{0, 0, 0, 0}));

  Sweeper s(kS, {1, 0, 1, 0});
  const SweepResult in = s.run(4, 1e-8);
  expect_cells_near(
      s.a, {-0.25773195876288657, 0.43814432989690716, 3.5051546391752577, 0.051546391752577317, 0.41237113402061853,
            -0.3436426116838488, 0.21649484536082472, -1.268041237113402, 0.22336769759450176, 2.104810996563574});
  EXPECT_NEAR(in.logdet, 2.4544474423032918, 1e-14 * 2.5);
  s.status = {-1, 0, -1, 0};  // both swept in: take them out again
  const SweepResult out = s.run(4, -1e-8);
  expect_cells_near(s.a, kS);
  EXPECT_TRUE(out.logdet == 0.0 && out.remaining == 0);  // sweeping out adds no pivot logarithm
}

TEST(Sweep, ToleranceRefusesCollinearColumns) {
  // Columns 1 and 2 correlate 0.99999: once column 2 is in (the later of two
  // equal candidates), column 1 keeps 2e-5 of its variance, below the
  // tolerance, and stays a candidate.
  Sweeper s({1.0, 0.99999, 1.0, 0.0, 0.0, 1.0}, {1, 1, 1});
  s.run(1, 1e-3);
  EXPECT_EQ(s.status, (Cells{1, 1, 0}));
  EXPECT_EQ(s.run(3, 1e-3).remaining, 1);
  EXPECT_EQ(s.status, (Cells{1, 0, 0}));
  // Columns 1 and 2 in; candidate 3 keeps 25% of its variance, but entering
  // it would leave column 1 with 6.4% of its own (found by a search in numpy,
  // tolerance 10%): it is refused, comes back a candidate, and the matrix is
  // untouched.
  Sweeper t({0.34, -0.46, 0.78, 0.03, -0.27, 0.45}, {1, 1, 0});
  t.run(2, 0.1);
  const Cells swept = t.a;
  t.status = {0, 0, 1};
  EXPECT_EQ(t.run(3, -0.1).remaining, 1);  // keeps the first call's reference diagonal
  EXPECT_EQ(t.status, (Cells{0, 0, 1}));
  EXPECT_EQ(t.a, swept);
}

TEST(Sweep, ForwardSelectionTakesTheLastOfEqualCriteria) {
  // Dependent column 3 explained equally by columns 1 and 2: q = 0.25 each,
  // criterion (n - 2) q / (2 - q) = 8 * 0.25 / 1.75 = 1.142857 with n = 10.
  const struct {
    double fmin;
    Cells status_after;
  } rows[] = {{0.0, {1, 0, 2}}, {1.1, {1, 0, 2}}, {1.2, {1, 1, 2}}};
  for (const auto& row : rows) {
    Sweeper s({1.0, 0.0, 1.0, 0.5, 0.5, 2.0}, {1, 1, 2});
    const SweepResult r = s.run(1, 1e-8, row.fmin, 10);
    EXPECT_EQ(s.status, row.status_after) << row.fmin;
    EXPECT_EQ(r.remaining, row.fmin > 1.15 ? 2 : 1) << row.fmin;
    EXPECT_EQ(s.refdiag[2], 0.0);  // the dependent column has no reference
  }
}

TEST(MomentUpdate, MatchesTwoPassOnLargeMeans) {
  // Two variables around 1e9 with spread 1e-3, weights 1 to 3: the raw-sums
  // formula sum(w x^2) - W mean^2 loses every digit here (the terms agree to
  // 1e-12 of 1e18).
  const int n = 1000;
  std::vector<std::vector<double>> data(n);
  std::vector<double> w(n);
  for (int i = 0; i < n; ++i) {
    const double x1 = 1e9 + 1e-3 * ((i * 7919) % 1000) / 1000.0;
    data[i] = {x1, -1e9 + 1e-3 * ((i * 104729) % 997) / 997.0 + 0.5e-3 * (x1 - 1e9) * 1e3};
    w[i] = 1 + i % 3;
  }
  const test::TwoPass ref = test::two_pass(data, w, 0, 1);
  // Variables 3 and 1 of the dictionary in columns 1 and 2; column 3 is
  // categorical and takes no part.
  const ColumnRoles roles({{3, true, true, false}, {1, true, true, false}, {2, true, false, true}});
  Cells x(3), means(3, 99.0), cp(6, 99.0), work(3);
  MomentWeights sums{7.0, 7.0};
  for (int i = 0; i < n; ++i) {
    x = {data[i][1], 123.0, data[i][0]};
    MOMUPD(i == 0, i == 0, 3, 6, roles, 1, 3, w[i], 1.0, RealArray(x), sums, RealArray(means),
           RealTriangle(RealArray(cp)), RealArray(work));
  }
  EXPECT_EQ(means[1], 0.0);  // zeroed, then left alone (categorical)
  EXPECT_EQ(std::pair(sums.sumw, sums.sumwf), std::pair(ref.w, ref.w));
  EXPECT_NEAR(means[2], ref.mean_a, 1e-6);  // within 8 units in the last place
  EXPECT_NEAR(means[0], ref.mean_b, 1e-6);
  // Each stored value is 1e9 to within ulp(1e9)/2 = 6e-8 against a spread of
  // 3e-4, and the running means are good to a few units in the last place:
  // the sums of squares agree to 1e-4 (3e-5 seen).
  const double want[] = {ref.saa, ref.sab, ref.sbb};
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(cp[k], want[k], 1e-4 * std::fabs(want[k])) << k;
  EXPECT_EQ(cp[3] + cp[4] + cp[5], 0.0);  // zeroed; the categorical row stays empty
}

TEST(Mahalanobis, OverSweptInColumnsOnly) {
  const ColumnRoles all(
      {{1, true, true, false}, {2, true, true, false}, {3, true, true, false}, {4, true, true, false}});
  Cells mu = {0.5, 1.0, -0.75, 2.0}, x = {1.5, -2.0, 0.25, 3.0};
  const double sysmis = -1.0e300;
  const auto distance = [&](const Cells& status, const ColumnRoles& r) {
    Sweeper s(kS, status);
    s.run(4, 1e-8);
    return MAHAL(4, RealArray(mu), RealTriangle(RealArray(s.a)), RealArray(x), r, sysmis);
  };
  EXPECT_NEAR(distance({1, 1, 1, 1}, all), 5.1495681953543784, 1e-14 * 5.15);
  EXPECT_NEAR(distance({1, 0, 1, 0}, all), 0.49828178694158076, 1e-14 * 0.5);
  EXPECT_EQ(distance({0, 0, 0, 0}, all), 0.0);
  // A categorical column or a system-missing value leaves its column out.
  const ColumnRoles categorical(
      {{1, true, true, false}, {2, true, false, true}, {3, true, true, false}, {4, true, false, true}});
  const double by_role = distance({1, 1, 1, 1}, categorical);
  x[1] = mu[3] = sysmis;
  EXPECT_EQ(distance({1, 1, 1, 1}, all), by_role);
  EXPECT_GT(by_role, 0.0);
}

// Every budget of pattern groups gives the two-pass moments of each pair.
void expect_two_pass_moments(const ColumnRoles& roles, std::vector<std::vector<double>>& x,
                             std::vector<std::vector<std::int64_t>>& miss, const std::vector<double>& w) {
  const auto n = static_cast<std::int64_t>(x.size());
  const auto p = static_cast<std::int64_t>(x.front().size());
  std::vector<std::vector<double>> present = x;  // the values with NaN where missing
  for (std::int64_t i = 0; i < n; ++i)
    for (std::int64_t k = 0; k < p; ++k)
      if (miss[i][k] != 0) present[i][k] = std::nan("");

  for (const std::size_t budget : {std::size_t{1} << 20, std::size_t{40}, std::size_t{0}}) {
    const std::int64_t cells = p * (p + 1) / 2;
    std::vector<double> pwn(cells, 0.0), pww(cells, 0.0), pwcov(cells, 0.0), pwmean(p * p, 0.0), pwvar(p * p, 0.0);
    const PairwiseArrays pw{RealTriangle(RealArray(pwn)), RealTriangle(RealArray(pww)),
                            RealSquare(RealArray(pwmean), p), RealTriangle(RealArray(pwcov)),
                            RealSquare(RealArray(pwvar), p)};
    PatternMoments moments(roles, budget);
    for (std::int64_t i = 0; i < n; ++i) moments.add(w[i], RealArray(x[i]), WordArray(miss[i]), pw);
    moments.merge_into(pw);

    for (std::int64_t j = 1; j <= p; ++j) {
      for (std::int64_t k = 1; k <= j; ++k) {
        const test::TwoPass r = test::two_pass(present, w, j - 1, k - 1);
        SCOPED_TRACE(::testing::Message() << "budget " << budget << ", pair " << j << "," << k);
        EXPECT_NEAR(pw.PWN(j, k), r.w, 1e-12 * r.w);
        EXPECT_NEAR(pw.PWMEAN(j, k), r.mean_a, 1e-12 * std::abs(r.mean_a));
        EXPECT_NEAR(pw.PWMEAN(k, j), r.mean_b, 1e-12 * std::abs(r.mean_b));
        EXPECT_NEAR(pw.PWVAR(j, k), r.saa, 1e-12 * r.saa + 1e-300);
        EXPECT_NEAR(pw.PWVAR(k, j), r.sbb, 1e-12 * r.sbb + 1e-300);
        EXPECT_NEAR(pw.PWCOV(j, k), r.sab, 1e-12 * std::sqrt(r.saa * r.sbb) + 1e-300);
      }
    }
  }
}

TEST(PatternMoments, EveryBudgetGivesTheTwoPassMomentsOfEachPair) {
  std::mt19937 rng(7);
  std::normal_distribution<double> value(100.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  {
    SCOPED_TRACE("five columns, the third categorical: it counts in the pair weights only");
    constexpr std::int64_t p = 5, n = 400;
    std::vector<ColumnRole> role_list;
    for (std::int64_t k = 1; k <= p; ++k) role_list.push_back({k, true, k != 3, k == 3});
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
    expect_two_pass_moments(ColumnRoles(role_list), x, miss, w);
  }
  {
    SCOPED_TRACE("70 columns: six patterns told apart only beyond the first 64, a key of two words");
    constexpr std::int64_t p = 70, n = 300;
    std::vector<ColumnRole> role_list;
    for (std::int64_t k = 1; k <= p; ++k) role_list.push_back({k, true, true, false});
    std::vector<std::vector<double>> x(n, std::vector<double>(p));
    std::vector<std::vector<std::int64_t>> miss(n, std::vector<std::int64_t>(p));
    for (std::int64_t i = 0; i < n; ++i) {
      const auto kind = static_cast<std::int64_t>(unit(rng) * 6);
      for (std::int64_t k = 0; k < p; ++k) {
        x[i][k] = value(rng);
        miss[i][k] = k - 64 == kind ? 1 : 0;
      }
    }
    expect_two_pass_moments(ColumnRoles(role_list), x, miss, std::vector<double>(n, 1.5));
  }
}

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
  std::vector<std::vector<double>> x;
  std::vector<double> wf;
  double sumw = 0;  // quarters: exact
  for (const Case& c : cases) x.emplace_back(c.x, c.x + kColumns), wf.push_back(c.w * c.f), sumw += c.w;

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
      EXPECT_EQ(s->sumw, sumw);
      EXPECT_DOUBLE_EQ(s->sumwf, test::two_pass(x, wf, 0, 0).w);
      // The means within a few units in the last place (below 4 seen). The
      // sums of products, relative to the size of the two columns' sums of
      // squares (a cross-product may be near 0): values near 1e6 are stored
      // to 6e-11 against a spread of 1, so each deviation carries that much
      // of the data's own rounding; 1e-9 leaves room over the 2.3e-10 seen,
      // where the raw-sums formula would lose ten digits.
      for (std::size_t i = 0, cell = 0; i < kColumns; ++i) {
        for (std::size_t l = 0; l <= i; ++l, ++cell) {
          const test::TwoPass r = test::two_pass(x, wf, i, l);
          if (l == i) {
            EXPECT_NEAR(s->mean[i], r.mean_a, 2e-15 * std::fabs(r.mean_a) + 1e-16) << i;
          }
          EXPECT_NEAR(s->products[cell], r.sab, 1e-9 * std::sqrt(r.saa * r.sbb)) << cell;
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
