// Imputing the missing dependents of one case. Predictors always take the
// values observed in the case, never a value imputed earlier in it, so the
// equation of a dependent depends only on which predictors are present.
#include "mva/estimation/case_imputation.h"

#include <cmath>
#include <utility>

namespace mva {

CaseImputer::CaseImputer(ImputationInputs in, EquationCache& equations)
    : in_(std::move(in)), equations_(equations), present_(predictor_words(in_.roles->columns()), 0) {}

std::int64_t CaseImputer::draw_donor(RandomDraws& draws) const {
  // The caller makes sure that complete cases outnumber the incomplete ones,
  // so the draw ends.
  for (;;) {
    const auto d = static_cast<std::int64_t>(draws.uniform(1.0, static_cast<double>(in_.ncases)));
    if (d >= 1 && d <= in_.ncases && in_.LOCOF(d) == 0) return d;
  }
}

const std::vector<std::int64_t>& CaseImputer::impute(RandomDraws& draws) {
  const ColumnRoles& roles = *in_.roles;
  for (std::uint64_t& word : present_) word = 0;
  for (const std::int64_t r : in_.predictors) {
    if (in_.RMISS(roles(r).variable) == 0) {
      present_[static_cast<std::size_t>((r - 1) / 64)] |= std::uint64_t{1} << ((r - 1) % 64);
    }
  }

  imputed_.clear();
  for (const std::int64_t q : in_.dependents) {
    const std::int64_t v = roles(q).variable;
    if (in_.RMISS(v) == 0) continue;
    const bool residual = in_.addtype == kAddResidual;
    const std::int64_t donor = residual ? draw_donor(draws) : 0;
    const RegressionEquation& eq = equations_.equation(present_, q);

    double value = in_.RMEAN(v);
    double e = residual ? in_.cases(donor, q) - in_.RMEAN(v) : 0.0;
    for (std::size_t i = 0; i < eq.columns.size(); ++i) {
      const std::int64_t r = eq.columns[i];
      const std::int64_t u = roles(r).variable;
      const double b = eq.coefficients[i];
      value += b * (in_.RCASE(u) - in_.RMEAN(u));
      if (residual) e -= b * (in_.cases(donor, r) - in_.RMEAN(u));
    }
    const double s2 = eq.residual_variance;
    if (in_.addtype == kAddNormal) {
      e = s2 > 0.0 ? std::sqrt(s2) * draws.normal() : 0.0;
    } else if (in_.addtype == kAddT) {
      e = s2 > 0.0 ? std::sqrt(s2) * draws.student_t(in_.tdf) : 0.0;
    }
    in_.RCASE(v) = value + e;
    imputed_.push_back(q);
  }
  return imputed_;
}

}  // namespace mva
