// Imputing the missing dependents of one case. Predictors always take the
// values observed in the case, never a value imputed earlier in it, so the
// equation of a dependent depends only on which predictors are present.
#include "mva/estimation/case_imputation.h"

#include <cmath>
#include <utility>

namespace mva {

CompleteCases::CompleteCases(WordArray LOCOF, std::int64_t ncases)
    : ncases_(ncases), bits_(static_cast<std::size_t>((ncases + 63) / 64), 0) {
  for (std::int64_t L = 1; L <= ncases; ++L) {
    if (LOCOF(L) == 0) {
      const auto at = static_cast<std::uint64_t>(L - 1);
      bits_[at / 64] |= std::uint64_t{1} << (at % 64);
    }
  }
}

std::int64_t draw_donor(RandomDraws& draws, const CompleteCases& complete) {
  const std::int64_t n = complete.ncases();
  for (;;) {
    const auto d = static_cast<std::int64_t>(draws.uniform(1.0, static_cast<double>(n)));
    if (d >= 1 && d <= n && complete(d)) return d;
  }
}

double random_term(AddType addtype, double tdf, double s2, RandomDraws& draws) {
  if (!(s2 > 0.0)) return 0.0;
  if (addtype == kAddNormal) return std::sqrt(s2) * draws.normal();
  if (addtype == kAddT) return std::sqrt(s2) * draws.student_t(tdf);
  return 0.0;
}

CaseImputer::CaseImputer(ImputationInputs in, EquationCache& equations)
    : in_(std::move(in)), equations_(equations), present_(predictor_words(in_.roles->columns()), 0) {}

std::int64_t CaseImputer::missing_dependents() const {
  std::int64_t count = 0;
  for (const std::int64_t q : in_.dependents) count += in_.RMISS((*in_.roles)(q).variable) != 0 ? 1 : 0;
  return count;
}

const std::vector<std::int64_t>& CaseImputer::impute(std::span<const std::int64_t> donors) {
  const ColumnRoles& roles = *in_.roles;
  for (std::uint64_t& word : present_) word = 0;
  for (const std::int64_t r : in_.predictors) {
    if (in_.RMISS(roles(r).variable) == 0) {
      present_[static_cast<std::size_t>((r - 1) / 64)] |= std::uint64_t{1} << ((r - 1) % 64);
    }
  }

  imputed_.clear();
  variances_.clear();
  const bool residual = in_.addtype == kAddResidual;
  const bool deviate = in_.addtype == kAddNormal || in_.addtype == kAddT;
  MVA_ASSERT(!residual || static_cast<std::int64_t>(donors.size()) == missing_dependents());
  for (const std::int64_t q : in_.dependents) {
    const std::int64_t v = roles(q).variable;
    if (in_.RMISS(v) == 0) continue;
    const std::int64_t donor = residual ? donors[imputed_.size()] : 0;
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
    // NORMAL and T: value + random_term() is taken by the caller.
    in_.RCASE(v) = deviate ? value : value + e;
    imputed_.push_back(q);
    variances_.push_back(eq.residual_variance);
  }
  return imputed_;
}

}  // namespace mva
