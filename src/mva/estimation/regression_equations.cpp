// Solving and keeping the imputation equations. A cached equation is the
// very result a fresh sweep would give, since the sweep sees the same
// covariances and the same column status; the imputations are therefore
// the same whether an equation is reused or solved again.
#include "mva/estimation/regression_equations.h"

#include "mva/estimation/sweep.h"

namespace mva {

void solve_equation(std::int64_t p, const SweepArrays& a, const SelectionLimits& limits, const PredictorSet& present,
                    std::int64_t q, RegressionEquation& into) {
  MVA_ASSERT(a.base.holds_order(p) && a.work.holds_order(p) && q >= 1 && q <= p);
  MVA_ASSERT(a.status.length() >= p && a.status0.length() >= p && a.pivot.length() >= p && a.refdiag.length() >= p);
  MVA_ASSERT(present.size() >= predictor_words(p));
  const std::int64_t cells = triangle_cells(p);
  for (std::int64_t i = 1; i <= cells; ++i) a.work.at(i) = a.base.at(i);
  for (std::int64_t r = 1; r <= p; ++r) {
    a.status(r) = has_column(present, r) ? static_cast<double>(SweepStatus::Candidate) : 0.0;
  }
  a.status(q) = static_cast<double>(SweepStatus::Dependent);
  for (std::int64_t r = 1; r <= p; ++r) a.status0(r) = a.status(r);

  SWEEP(p, a.work, a.status, a.pivot, a.refdiag, limits.maxsteps, limits.tolerance, limits.flimit, limits.n);

  // Entered: candidates before the sweep, pivoted (status 0) after it.
  into.columns.clear();
  into.coefficients.clear();
  for (std::int64_t r = 1; r <= p; ++r) {
    if (static_cast<std::int64_t>(a.status0(r)) == 1 && static_cast<std::int64_t>(a.status(r)) == 0) {
      into.columns.push_back(r);
      into.coefficients.push_back(a.work(q, r));
    }
  }
  into.residual_variance = a.work(q, q);
}

EquationCache::EquationCache(std::int64_t p, const SweepArrays& arrays, const SelectionLimits& limits,
                             std::size_t budget_bytes)
    : p_(p), arrays_(arrays), limits_(limits), budget_(budget_bytes) {}

const RegressionEquation& EquationCache::equation(const PredictorSet& present, std::int64_t q) {
  if (last_set_ == nullptr || *last_set_ != present) {
    last_set_ = nullptr;
    last_slots_ = nullptr;
    auto found = sets_.find(present);
    if (found == sets_.end()) {
      const auto slots = static_cast<std::size_t>(p_);
      const std::size_t cost = present.size() * 8 + slots * (sizeof(RegressionEquation) + 1) + 64;
      if (used_ + cost <= budget_) {
        used_ += cost;
        Slots fresh;
        fresh.equations.resize(slots);
        fresh.ready.assign(slots, false);
        found = sets_.emplace(present, std::move(fresh)).first;
      }
    }
    if (found != sets_.end()) {
      last_set_ = &found->first;
      last_slots_ = &found->second;
    }
  }
  if (last_slots_ == nullptr) {
    ++solved_;
    solve_equation(p_, arrays_, limits_, present, q, spare_);
    return spare_;
  }
  const auto slot = static_cast<std::size_t>(q - 1);
  RegressionEquation& eq = last_slots_->equations[slot];
  if (last_slots_->ready[slot]) return eq;
  ++solved_;
  solve_equation(p_, arrays_, limits_, present, q, eq);
  last_slots_->ready[slot] = true;
  used_ += eq.columns.size() * 16;
  return eq;
}

}  // namespace mva
