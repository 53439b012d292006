// One EM iteration over the pattern groups, the observed-data sums of the
// groups, and Little's MCAR statistic.
//
// For a group with swept-in (observed, independent) columns J and missing
// dependent columns M, every case is completed by x_M = mu_M + B (x_J - mu_J),
// B = S(M, J) after the sweep. The completed cases' weighted mean and centred
// cross-products therefore follow from the group's observed mean m and
// scatter C over its present columns K: mean_M = mu_M + B (m_J - mu_J),
// C(M, K) = B C(J, K), C(M, M) = B C(J, J) B'. Each case also adds its
// weight times the residual covariance S(M, .) of the missing part.
#include "mva/estimation/em_iterations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "mva/estimation/mahalanobis.h"
#include "mva/estimation/sweep.h"
#include "mva/estimation/weighted_moments.h"

namespace mva {

namespace {

using Pos = std::size_t;

// The group's present EM columns (K), as 1-based column numbers.
std::vector<std::int64_t> present_columns(const EmPlan& plan, const EmGroup& group) {
  std::vector<std::int64_t> K;
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    const EmColumn& c = plan.columns[static_cast<Pos>(k - 1)];
    if (c.quantitative && (c.dependent || c.independent) && !group.missing[static_cast<Pos>(k - 1)]) {
      K.push_back(k);
    }
  }
  return K;
}

// A group's moments over its present columns K (in order) spread over all p
// columns, as GroupSums holds them.
GroupSums spread_over(const WeightedMoments& moments, const std::vector<std::int64_t>& K, std::int64_t p) {
  GroupSums s;
  s.count = moments.sumwf;
  s.mean.assign(static_cast<Pos>(p), 0.0);
  s.scatter.assign(static_cast<Pos>(p * p), 0.0);
  for (Pos a = 0; a < K.size(); ++a) {
    const double* const row = moments.products.data() + a * (a + 1) / 2;
    const Pos ka = static_cast<Pos>(K[a] - 1);
    s.mean[ka] = moments.mean[a];
    for (Pos b = 0; b <= a; ++b) {
      const Pos kb = static_cast<Pos>(K[b] - 1);
      s.scatter[ka * static_cast<Pos>(p) + kb] = row[b];
      s.scatter[kb * static_cast<Pos>(p) + ka] = row[b];
    }
  }
  return s;
}

// The group's cases under the current estimates: each weighted by w times
// its model factor (from its squared distance over the swept-in columns J),
// read from the packed copy.
GroupSums weighted_group_sums(const EmPlan& plan, const EmGroup& group, const EmModel& model,
                              const std::vector<std::int64_t>& J, const EmArrays& a, double& sumw) {
  const std::vector<std::int64_t> K = present_columns(plan, group);
  WeightedMoments moments(K.size());
  std::vector<double> d(K.size());
  // The swept-in block (minus the inverse covariance), the places of J
  // within K and the means of J, gathered once for the group.
  const Pos q = J.size(), nk = K.size();
  std::vector<double> block(q * q), muJ(q), e(q);
  std::vector<Pos> at(q);
  for (Pos i = 0; i < q; ++i) {
    at[i] = static_cast<Pos>(std::find(K.begin(), K.end(), J[i]) - K.begin());
    muJ[i] = a.mu(plan.columns[static_cast<Pos>(J[i] - 1)].variable);
    for (Pos j = 0; j < q; ++j) block[i * q + j] = a.S(J[i], J[j]);
  }
  const bool normal = model.normal();
  const double* xk = plan.packed.data() + group.packed;
  for (std::int64_t pos = group.first; pos < group.end; ++pos, xk += nk + 1) {
    const double w = xk[nk];
    if (!(w > 0.0)) continue;
    double f = 1.0;
    if (!normal) {
      for (Pos i = 0; i < q; ++i) e[i] = xk[at[i]] - muJ[i];
      double d2 = 0.0;
      for (Pos i = 0; i < q; ++i) {
        double s = 0.0;
        const double* bi = &block[i * q];
        for (Pos j = 0; j < q; ++j) s += bi[j] * e[j];
        d2 -= s * e[i];
      }
      f = model.factor(std::max(d2, 0.0), static_cast<double>(q));
      if (!(f > 0.0)) continue;
    }
    update(moments, xk, w, w * f, d.data());
  }
  sumw = moments.sumw;
  return spread_over(moments, K, plan.p);
}

}  // namespace

double EmModel::factor(double d2, double q) const {
  if (contaminated()) {
    // e is the odds that the case comes from the contaminating component
    // (covariance S / lambda) rather than the main one; f averages the two
    // components' precision ratios, lambda and 1, by their posterior
    // weights. A case far from the means (with lambda < 1, d2 beyond about
    // 1400 / (1 - lambda)) makes e overflow, and the formula as written
    // would give inf / inf, a NaN factor that fails the test f > 0 and so
    // drops the case from the sums: the farthest outliers would vanish
    // instead of counting with the contaminant's weight. The factor tends
    // to lambda as e grows, and differs from it by less than
    // (1 - proportion) |1 - lambda| / e, below rounding once e overflows;
    // lambda is the value.
    const double e = std::exp(std::log(proportion) + 0.5 * ((1.0 - lambda) * d2 + q * std::log(lambda)));
    if (std::isinf(e)) return lambda;
    return ((1.0 - proportion) + lambda * e) / ((1.0 - proportion) + e);
  }
  if (t_model()) return (q + tdf) / (d2 + tdf);
  return 1.0;
}

void form_group_sums(EmPlan& plan, const EachIndex& each) {
  plan.sums.clear();
  const auto groups = static_cast<std::int64_t>(plan.groups.size());
  if (groups * plan.p > static_cast<std::int64_t>(plan.case_at.size())) return;
  std::vector<GroupSums> sums(plan.groups.size());
  const auto form = [&plan, &sums](std::int64_t g) {
    const EmGroup& group = plan.groups[static_cast<Pos>(g)];
    const std::vector<std::int64_t> K = present_columns(plan, group);
    WeightedMoments moments(K.size());
    std::vector<double> xk(K.size()), d(K.size());
    for (std::int64_t pos = group.first; pos < group.end; ++pos) {
      plan.prefetch(static_cast<Pos>(pos) + kPrefetchAhead);
      const std::int64_t L = plan.case_at[static_cast<Pos>(pos)];
      const double w = plan.weight(L);
      if (!(w > 0.0)) continue;
      const RealArray row = plan.cases.row(L);
      for (Pos a = 0; a < K.size(); ++a) xk[a] = row(K[a]);
      update(moments, xk.data(), w, w, d.data());
    }
    sums[static_cast<Pos>(g)] = spread_over(moments, K, plan.p);
  };
  if (each) {
    each(groups, form);
  } else {
    for (std::int64_t g = 0; g < groups; ++g) form(g);
  }
  plan.sums = std::move(sums);
}

void pack_group_values(EmPlan& plan) {
  plan.packed.clear();
  std::size_t cells = 0;
  for (const EmGroup& group : plan.groups) {
    cells += static_cast<Pos>(group.end - group.first) * (present_columns(plan, group).size() + 1);
  }
  plan.packed.reserve(cells);
  for (EmGroup& group : plan.groups) {
    const std::vector<std::int64_t> K = present_columns(plan, group);
    group.packed = static_cast<std::int64_t>(plan.packed.size());
    for (std::int64_t pos = group.first; pos < group.end; ++pos) {
      const std::int64_t L = plan.case_at[static_cast<Pos>(pos)];
      const RealArray row = plan.cases.row(L);
      for (const std::int64_t k : K) plan.packed.push_back(row(k));
      plan.packed.push_back(plan.weight(L));
    }
  }
}

namespace {

// Restarts the sums from the complete cases: mu and S take the previous
// estimate (S with nothing swept in), the means and cross-products the
// listwise ones. Returns the running weight sums.
EmSums restart(const EmPlan& plan, const ListwiseSums& listwise, const EmArrays& a) {
  const double Nc = listwise.LWN, Wc = listwise.update_weight;
  const double g = Nc > 0.0 ? (Nc - 1.0) * Wc / Nc : 0.0;
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    const std::int64_t v = plan.columns[static_cast<Pos>(k - 1)].variable;
    a.mu(v) = a.means(v);
    a.means(v) = a.LWMEAN(v);
    for (std::int64_t j = 1; j <= k; ++j) {
      a.S(k, j) = a.cp(k, j);
      a.cp(k, j) = g * a.LWCOV(k, j);
    }
    a.status(k) = 0.0;
  }
  return {Nc, Wc};
}

// True when S (the previous estimate) is positive definite on the
// independent columns with a diagonal other than 0 (a column whose diagonal
// is 0 is never swept in), by a Cholesky factorisation. Then every remaining
// variance of such a column, given any set of the others, is positive and
// can only fall as columns are added to the set.
bool positive_definite_on_predictors(const EmPlan& plan, const EmArrays& a) {
  std::vector<std::int64_t> cols;
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    if (plan.columns[static_cast<Pos>(k - 1)].independent && a.S(k, k) != 0.0) cols.push_back(k);
  }
  const Pos n = cols.size();
  std::vector<double> L(n * n, 0.0);
  for (Pos i = 0; i < n; ++i) {
    for (Pos j = 0; j <= i; ++j) {
      double s = a.S(cols[i], cols[j]);
      for (Pos k = 0; k < j; ++k) s -= L[i * n + k] * L[j * n + k];
      if (i == j) {
        if (!(s > 0.0)) return false;
        L[i * n + i] = std::sqrt(s);
      } else {
        L[i * n + j] = s / L[j * n + j];
      }
    }
  }
  return true;
}

// Whether a column whose remaining variance is `ratio` times its reference
// clears the tolerance t by enough that the test decides alike on every
// order of sweeps. The two walks reach a case's columns by different
// pivots, so their remaining variances differ by rounding; that grows with
// the number of columns and with their collinearity, which the ratios
// themselves bound (columns whose ratios are all at least r have a
// correlation matrix of condition below p^2 / r), to about p^3 eps / r. The
// ratio must clear t by far more than that.
bool clears_tolerance(double ratio, double t, std::int64_t p) {
  const double q = static_cast<double>(p);
  return ratio >= t && (ratio - t) * ratio >= 64.0 * q * q * q * std::numeric_limits<double>::epsilon();
}

// The iteration in its grouped form (see em_iterations.h). Returns false,
// leaving the sums half done, as soon as a group's sweep shows that the
// tolerance test could decide otherwise on another order of the cases: one
// of its observed independent columns was not swept in, or is in with a
// ratio of remaining to reference variance too close to the tolerance.
// While every pattern's columns all clear the tolerance, and S is positive
// definite on them, the test refuses no column on any path through the
// patterns (each test compares a remaining variance given a subset of the
// case's other observed columns, never below its value given all of them),
// so every case is predicted from all its observed independent columns, as
// the location-order walk predicts it.
// The working storage of the grouped walk, laid out once per iteration.
struct GroupWork {
  explicit GroupWork(std::int64_t p)
      : observed(static_cast<Pos>(p), 0),
        xm(static_cast<Pos>(p)),
        T(static_cast<Pos>(p * p)),
        C(static_cast<Pos>(p * p)) {}
  std::vector<char> observed;      // per column: observed and independent in the group
  std::vector<std::int64_t> J, M;  // the swept-in columns; the missing dependent columns
  std::vector<double> xm, T, C;    // completed means; B C(J, .); completed scatter (p x p)
};

// Brings S to the group's observed independent columns, pivoting only the
// columns whose state differs from the previous group's, and lists the
// swept-in columns J and the missing dependent columns M. False when one of
// the observed independent columns was not swept in, or is in with a ratio
// too close to the tolerance (see grouped_walk).
bool sweep_to_group(const EmPlan& plan, const EmModel& model, const EmArrays& a, const EmGroup& group, bool first_sweep,
                    GroupWork& g) {
  const std::int64_t p = plan.p;
  const double tol = model.tolerance;
  for (std::int64_t k = 1; k <= p; ++k) {
    const Pos i = static_cast<Pos>(k - 1);
    g.observed[i] = plan.columns[i].independent && !group.missing[i];
    a.status(k) += g.observed[i];
  }
  SWEEP(p, a.S, a.status, a.work, a.refdiag, p, first_sweep ? tol : -tol, 0.0, plan.ncases);
  g.J.clear();
  g.M.clear();
  for (std::int64_t k = 1; k <= p; ++k) {
    const Pos i = static_cast<Pos>(k - 1);
    a.status(k) -= g.observed[i];
    if (a.status(k) < -0.5) g.J.push_back(k);
    if (plan.columns[i].dependent && group.missing[i]) g.M.push_back(k);
    if (g.observed[i] && a.refdiag(k) != 0.0 &&
        !(a.status(k) < -0.5 && clears_tolerance(-1.0 / (a.S(k, k) * a.refdiag(k)), tol, p))) {
      return false;
    }
  }
  return true;
}

// Completed means (g.xm) and scatter (g.C) of the group from its observed
// sums, over the quantitative columns (a column in neither EM set holds 0).
void complete_group(const EmPlan& plan, const EmArrays& a, const GroupSums& gs, GroupWork& g) {
  const std::int64_t p = plan.p;
  const auto P = static_cast<Pos>(p);
  const auto variable = [&](std::int64_t k) { return plan.columns[static_cast<Pos>(k - 1)].variable; };
  for (std::int64_t k = 1; k <= p; ++k) g.xm[static_cast<Pos>(k - 1)] = gs.mean[static_cast<Pos>(k - 1)];
  for (const std::int64_t m : g.M) {
    double x = a.mu(variable(m));
    for (const std::int64_t j : g.J) x += (gs.mean[static_cast<Pos>(j - 1)] - a.mu(variable(j))) * a.S(m, j);
    g.xm[static_cast<Pos>(m - 1)] = x;
  }
  std::copy(gs.scatter.begin(), gs.scatter.end(), g.C.begin());
  for (const std::int64_t m : g.M) {  // T = B C(J, .), C(M, K) = T(M, K)
    double* t = &g.T[static_cast<Pos>(m - 1) * P];
    std::fill(t, t + P, 0.0);
    for (const std::int64_t j : g.J) {
      const double b = a.S(m, j);
      const double* cj = &gs.scatter[static_cast<Pos>(j - 1) * P];
      for (Pos c = 0; c < P; ++c) t[c] += b * cj[c];
    }
    for (Pos c = 0; c < P; ++c) {
      g.C[static_cast<Pos>(m - 1) * P + c] = t[c];
      g.C[c * P + static_cast<Pos>(m - 1)] = t[c];
    }
  }
  for (const std::int64_t m : g.M) {  // C(M, M) = T(M, J) B'
    for (const std::int64_t n : g.M) {
      double s = 0.0;
      for (const std::int64_t j : g.J) s += g.T[static_cast<Pos>(m - 1) * P + static_cast<Pos>(j - 1)] * a.S(n, j);
      g.C[static_cast<Pos>(m - 1) * P + static_cast<Pos>(n - 1)] = s;
    }
  }
}

// Pools the completed group (weight W2, means g.xm, scatter g.C) into the
// running moments of weight W by the pooled form; returns the new weight.
double pool_group(const EmPlan& plan, const EmArrays& a, const GroupWork& g, double W, double W2) {
  const std::int64_t p = plan.p;
  const auto P = static_cast<Pos>(p);
  const auto col = [&](std::int64_t k) -> const EmColumn& { return plan.columns[static_cast<Pos>(k - 1)]; };
  const MomentStep step = moment_step(W, W2);
  for (std::int64_t k = 1; k <= p; ++k) {
    if (!col(k).quantitative) continue;
    const double dk = g.xm[static_cast<Pos>(k - 1)] - a.means(col(k).variable);
    const double* ck = &g.C[static_cast<Pos>(k - 1) * P];
    for (std::int64_t j = 1; j <= k; ++j) {
      if (!col(j).quantitative) continue;
      const double dj = g.xm[static_cast<Pos>(j - 1)] - a.means(col(j).variable);
      pool_product(a.cp(k, j), ck[j - 1], step.spread, dk, dj);
    }
  }
  for (std::int64_t k = 1; k <= p; ++k) {
    if (!col(k).quantitative) continue;
    const std::int64_t v = col(k).variable;
    move_mean(a.means(v), step, g.xm[static_cast<Pos>(k - 1)] - a.means(v));
  }
  return step.after;
}

// The iteration in its grouped form (see em_iterations.h). Returns false,
// leaving the sums half done, as soon as a group's sweep shows that the
// tolerance test could decide otherwise on another order of the cases: one
// of its observed independent columns was not swept in, or is in with a
// ratio of remaining to reference variance too close to the tolerance.
// While every pattern's columns all clear the tolerance, and S is positive
// definite on them, the test refuses no column on any path through the
// patterns (each test compares a remaining variance given a subset of the
// case's other observed columns, never below its value given all of them),
// so every case is predicted from all its observed independent columns, as
// the location-order walk predicts it.
bool grouped_walk(const EmPlan& plan, const EmModel& model, const EmArrays& a, EmSums& sums) {
  double N = sums.N, W = sums.W;
  GroupWork g(plan.p);
  for (Pos gi = 0; gi < plan.groups.size(); ++gi) {
    const EmGroup& group = plan.groups[gi];
    if (!sweep_to_group(plan, model, a, group, gi == 0, g)) return false;
    if (g.M.empty()) continue;  // nothing to estimate: the group adds nothing

    GroupSums local;
    const GroupSums* gs = nullptr;
    double sumw = 0.0;
    if (model.normal() && !plan.sums.empty()) {
      gs = &plan.sums[gi];
      sumw = gs->count;
    } else {
      local = weighted_group_sums(plan, group, model, g.J, a, sumw);
      gs = &local;
    }
    const double W2 = gs->count;
    if (!(W2 > 0.0)) continue;
    complete_group(plan, a, *gs, g);

    // The residual covariance of the missing part, once per unit of
    // weight: cells (m, j), j <= m, of columns not observed.
    for (const std::int64_t m : g.M) {
      for (std::int64_t j = 1; j <= m; ++j) {
        const Pos i = static_cast<Pos>(j - 1);
        if (plan.columns[i].listed && !g.observed[i]) a.cp(m, j) += W2 * a.S(m, j);
      }
    }
    W = pool_group(plan, a, g, W, W2);
    N += sumw;
  }

  sums = {N, W};
  return true;
}

}  // namespace

bool em_plan_fits(const EmPlan& plan, const EmArrays& a) {
  const std::int64_t p = plan.p;
  const auto columns = static_cast<Pos>(p);
  if (plan.columns.size() != columns || plan.roles.columns() != p || plan.cases.columns() != p) return false;
  std::int64_t next = 0;  // the groups tile the positions 0..case_at.size()-1
  for (const EmGroup& g : plan.groups) {
    if (g.first != next || g.end <= g.first || g.missing.size() != columns) return false;
    next = g.end;
  }
  if (static_cast<Pos>(next) != plan.case_at.size()) return false;
  if (!plan.sums.empty() && plan.sums.size() != plan.groups.size()) return false;
  for (const GroupSums& s : plan.sums) {
    if (!(s.count >= 0.0) || s.mean.size() != columns || s.scatter.size() != columns * columns) return false;
  }
  return a.S.holds_order(p) && a.cp.holds_order(p) && a.LWCOV.holds_order(p) && a.status.length() >= p &&
         a.work.length() >= p && a.refdiag.length() >= p && a.mu.length() >= plan.nvar &&
         a.means.length() >= plan.nvar && a.LWMEAN.length() >= plan.nvar;
}

EmStep em_iteration(const EmPlan& plan, const EmModel& model, const ListwiseSums& listwise, const EmArrays& a) {
  MVA_ASSERT(em_plan_fits(plan, a));
  const std::int64_t p = plan.p;
  const auto col = [&](std::int64_t k) -> const EmColumn& { return plan.columns[static_cast<Pos>(k - 1)]; };
  const double tol = model.tolerance;

  EmSums sums = restart(plan, listwise, a);
  bool grouped = positive_definite_on_predictors(plan, a);
  if (grouped) {
    // Kept to start again from should the grouped form turn out not to apply.
    const std::int64_t cells = triangle_cells(p);
    std::vector<double> previous(static_cast<Pos>(cells));
    for (std::int64_t i = 1; i <= cells; ++i) previous[static_cast<Pos>(i - 1)] = a.S.at(i);
    grouped = grouped_walk(plan, model, a, sums);
    if (!grouped) {
      for (std::int64_t i = 1; i <= cells; ++i) a.cp.at(i) = previous[static_cast<Pos>(i - 1)];
      for (std::int64_t k = 1; k <= p; ++k) {
        const std::int64_t v = col(k).variable;
        a.means(v) = a.mu(v);
      }
      sums = restart(plan, listwise, a);
    }
  }
  if (!grouped) em_case_walk(plan, model, a, sums);
  const double N = sums.N, W = sums.W;
  const bool first_sweep = plan.location_case.empty();

  // Cross-products to covariances.
  EmStep step;
  step.case_by_case = !grouped;
  const std::int64_t cells = triangle_cells(p);
  if (has_covariance(N)) {
    step.scale = covariance_scale(N, W);
    for (std::int64_t i = 1; i <= cells; ++i) a.cp.at(i) *= step.scale;
  } else {
    for (std::int64_t i = 1; i <= cells; ++i) a.cp.at(i) = 0.0;
  }
  // Sweep out what is still in, so that S holds the previous estimate.
  SWEEP(p, a.S, a.status, a.work, a.refdiag, p, first_sweep ? tol : -tol, 0.0, plan.ncases);

  step.converged = true;
  for (std::int64_t k = 1; k <= p; ++k) {
    if (!col(k).dependent) continue;
    const double now = a.cp(k, k), before = a.S(k, k);
    const double limit = std::fabs(now) > 1.0 ? model.convergence * std::fabs(now) : model.convergence;
    if (std::fabs(before - now) > limit) {
      step.converged = false;
      break;
    }
  }
  return step;
}

namespace {

// True when dependent column k is missing in group g.
bool dependent_missing(const EmPlan& plan, const EmGroup& g, std::int64_t k) {
  return plan.columns[static_cast<Pos>(k - 1)].dependent && g.missing[static_cast<Pos>(k - 1)];
}

bool any_dependent_missing(const EmPlan& plan, const EmGroup& g) {
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    if (dependent_missing(plan, g, k)) return true;
  }
  return false;
}

bool same_dependents_missing(const EmPlan& plan, const EmGroup& x, const EmGroup& y) {
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    if (dependent_missing(plan, x, k) != dependent_missing(plan, y, k)) return false;
  }
  return true;
}

// The weighted means of the EM columns over the cases at positions
// begin..end-1, into a.mu (by variable); the other entries are 0.
void running_group_means(const EmPlan& plan, const EmArrays& a, std::int64_t begin, std::int64_t end) {
  std::vector<std::int64_t> em_columns;
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    const EmColumn& c = plan.columns[static_cast<Pos>(k - 1)];
    a.mu(c.variable) = 0.0;
    if (c.dependent || c.independent) em_columns.push_back(k);
  }
  double sumw = 0.0;
  for (std::int64_t pos = begin; pos < end; ++pos) {
    plan.prefetch(static_cast<Pos>(pos) + kPrefetchAhead);
    const std::int64_t L = plan.case_at[static_cast<Pos>(pos)];
    const double w = plan.weight(L);
    if (!(w > 0.0)) continue;
    const MomentStep step = moment_step(sumw, w);  // only its share, the case's weight in the means
    sumw = step.after;
    const RealArray row = plan.cases.row(L);
    for (const std::int64_t k : em_columns) {
      double& m = a.mu(plan.columns[static_cast<Pos>(k - 1)].variable);
      move_mean(m, step, row(k) - m);
    }
  }
}

}  // namespace

McarResult little_mcar(const EmPlan& plan, const EmModel& model, const ListwiseSums& listwise, const EmArrays& a,
                       double sysmis) {
  MVA_ASSERT(em_plan_fits(plan, a));
  const std::int64_t p = plan.p;
  const auto col = [&](std::int64_t k) -> const EmColumn& { return plan.columns[static_cast<Pos>(k - 1)]; };
  McarResult out;
  // The complete cases at the listwise means, with the independent columns
  // swept in.
  std::vector<char> observed(static_cast<Pos>(p), 0);
  for (std::int64_t k = 1; k <= p; ++k) {
    observed[static_cast<Pos>(k - 1)] = col(k).independent;
    a.status(k) = col(k).independent ? 1.0 : 0.0;
    a.mu(col(k).variable) = a.LWMEAN(col(k).variable);
    for (std::int64_t j = 1; j <= k; ++j) a.S(k, j) = a.cp(k, j);
  }
  SWEEP(p, a.S, a.status, a.work, a.refdiag, p, model.tolerance, 0.0, plan.ncases);
  if (listwise.LWN > 0.0) out.chisq = listwise.LWN * MAHAL(p, a.LWMEAN, a.S, a.means, plan.roles, sysmis);
  if (plan.case_at.empty()) return out;

  // A group is a run of cases whose dependent variables are missing in the
  // same places; leading cases with no missing dependent variable are passed
  // over (when every case is such, the last one forms the only group).
  Pos gi = 0;
  while (gi < plan.groups.size() && !any_dependent_missing(plan, plan.groups[gi])) ++gi;
  std::int64_t begin = 0;
  if (gi == plan.groups.size()) {
    gi = plan.groups.size() - 1;
    begin = static_cast<std::int64_t>(plan.case_at.size()) - 1;
  } else {
    begin = plan.groups[gi].first;
  }

  while (gi < plan.groups.size()) {
    const EmGroup& head = plan.groups[gi];
    Pos last = gi;
    while (last + 1 < plan.groups.size() && same_dependents_missing(plan, head, plan.groups[last + 1])) ++last;
    const std::int64_t end = plan.groups[last].end;

    // The group's observed independent columns swept in, the others out.
    for (std::int64_t k = 1; k <= p; ++k) {
      const Pos i = static_cast<Pos>(k - 1);
      if (!col(k).independent) continue;
      a.status(k) -= observed[i];
      if (!head.missing[i]) {
        a.status(k) += 1.0;
        observed[i] = 1;
        out.df += 1.0;
      } else {
        observed[i] = 0;
      }
    }
    running_group_means(plan, a, begin, end);
    SWEEP(p, a.S, a.status, a.work, a.refdiag, p, -model.tolerance, 0.0, plan.ncases);
    const auto n = static_cast<double>(end - begin);
    if (n > 0.0) out.chisq += n * MAHAL(p, a.mu, a.S, a.means, plan.roles, sysmis);
    gi = last + 1;
    if (gi < plan.groups.size()) begin = plan.groups[gi].first;
  }
  return out;
}

}  // namespace mva
