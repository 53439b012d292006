// One EM iteration case by case: the incomplete cases in location order, the
// working matrix swept between consecutive cases on the columns whose
// observed state changed, each case completed and added to the running
// moments on its own. An iteration takes this form when the sweep's
// tolerance test could refuse a column, so that a case's predictors depend
// on the columns the cases before it left in.
#include <vector>

#include "mva/estimation/em_iterations.h"
#include "mva/estimation/mahalanobis.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/sweep.h"

namespace mva {

namespace {

// Fills the case's missing dependent columns of x with their regression
// predictions from the swept-in columns, and adds weight times the residual
// covariance of the missing part given them to the cross-products. False
// when the case has no missing dependent column.
bool complete_case(const EmPlan& plan, const EmArrays& a, const std::vector<char>& missing,
                   const std::vector<char>& observed, double weight, const RealArray& x) {
  bool completed = false;
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    const EmColumn& c = plan.columns[static_cast<std::size_t>(k - 1)];
    if (!c.dependent || !missing[static_cast<std::size_t>(k - 1)]) continue;
    completed = true;
    double value = a.mu(c.variable);
    for (std::int64_t j = 1; j <= plan.p; ++j) {
      const EmColumn& u = plan.columns[static_cast<std::size_t>(j - 1)];
      if (!u.listed) continue;
      if (!observed[static_cast<std::size_t>(j)] && j <= k) a.cp(k, j) += weight * a.S(k, j);
      if (a.status(j) < -0.5) value += (x(u.variable) - a.mu(u.variable)) * a.S(k, j);
    }
    x(c.variable) = value;
  }
  return completed;
}

}  // namespace

void em_case_walk(const EmPlan& plan, const EmModel& model, const EmArrays& a, EmSums& sums) {
  MVA_ASSERT(em_plan_fits(plan, a));
  const std::int64_t p = plan.p;
  const auto col = [&](std::int64_t k) -> const EmColumn& { return plan.columns[static_cast<std::size_t>(k - 1)]; };
  // The case vector by dictionary index, the observed flags and MOMUPD's
  // deviations by column (all 1-based).
  std::vector<double> x_(static_cast<std::size_t>(plan.nvar) + 1, 0.0), dev_(static_cast<std::size_t>(p) + 1, 0.0);
  std::vector<char> observed(static_cast<std::size_t>(p) + 1, 0);
  const RealArray x(x_), dev(dev_);
  const std::int64_t weight_variable = plan.weight_column > 0 ? col(plan.weight_column).variable : 0;
  MomentWeights running{sums.N, sums.W};

  for (std::size_t m = 0; m < plan.location_case.size(); ++m) {
    const std::int64_t L = plan.location_case[m];
    const std::vector<char>& missing = plan.groups[static_cast<std::size_t>(plan.location_group[m])].missing;
    const RealArray row = plan.cases.row(L);
    for (std::int64_t k = 1; k <= p; ++k) {
      const EmColumn& c = col(k);
      const bool present = !missing[static_cast<std::size_t>(k - 1)];
      observed[static_cast<std::size_t>(k)] = c.independent && present;
      x(c.variable) = c.dependent || c.independent ? row(k) : 0.0;
      a.status(k) += observed[static_cast<std::size_t>(k)];
    }
    SWEEP(p, a.S, a.status, a.work, a.refdiag, p, m == 0 ? model.tolerance : -model.tolerance, 0.0, plan.ncases);
    double q = 0.0;  // the columns swept in: the case's predictors
    for (std::int64_t k = 1; k <= p; ++k) {
      a.status(k) -= observed[static_cast<std::size_t>(k)];
      if (a.status(k) < -0.5) q += 1.0;
    }
    double w = 1.0;
    if (weight_variable > 0) {
      w = plan.weight(L);
      x(weight_variable) = w;
    }
    const double f = model.normal() ? 1.0 : model.factor(MAHAL(p, a.mu, a.S, x, plan.roles, plan.sysmis), q);
    if (!(w > 0.0 && f > 0.0)) continue;

    if (complete_case(plan, a, missing, observed, w * f, x)) {
      MOMUPD(false, false, plan.nvar, triangle_cells(p), plan.roles, 1, p, w, f, x, running, a.means, a.cp, dev);
    }
  }
  sums = {running.sumw, running.sumwf};
}

}  // namespace mva
