// The imputation of one case in regression imputation: each missing
// dependent gets the prediction of its equation on the predictors present in
// the case, plus the random term the ADDTYPE option asks for (a donor's
// residual from the same equation, a normal deviate or a t deviate scaled by
// the residual standard deviation, or nothing).
//
// The random draws are kept apart from the arithmetic, so that the draws can
// be made in case order on one thread and the cases imputed in chunks on
// several: the donors of RESIDUAL are drawn before a case is imputed (they
// depend only on which of its dependents are missing), the deviates of
// NORMAL and T after it (whether one is drawn depends on the equation).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/regression_equations.h"
#include "mva/frame/common.h"

namespace mva {

// The random deviates the imputation draws.
class RandomDraws {
 public:
  virtual ~RandomDraws() = default;
  virtual double uniform(double a, double b) = 0;  // a uniform deviate between a and b (RVUNI)
  virtual double normal() = 0;                     // a standard-normal deviate (RVSNOR)
  virtual double student_t(double df) = 0;         // a Student-t deviate (RVT)
};

// Which stored cases are complete (LOCOF 0), one bit per case: the donors
// are drawn among them, and a bit is found faster than a word of LOCOF read
// at random.
class CompleteCases {
 public:
  CompleteCases(WordArray LOCOF, std::int64_t ncases);
  std::int64_t ncases() const { return ncases_; }
  // Stored case L (1..ncases) is complete.
  bool operator()(std::int64_t L) const {
    const auto at = static_cast<std::uint64_t>(L - 1);
    return ((bits_[at / 64] >> (at % 64)) & 1U) != 0;
  }

 private:
  std::int64_t ncases_ = 0;
  std::vector<std::uint64_t> bits_;
};

// A complete stored case drawn at random, whose residual is a RESIDUAL
// term: a uniform deviate between 1 and NCASES, truncated, drawn again until
// it names a complete case. The caller makes sure that complete cases
// outnumber the incomplete ones, so the draw ends.
std::int64_t draw_donor(RandomDraws& draws, const CompleteCases& complete);

// The random term of NORMAL or T added to a prediction whose equation
// leaves the residual variance s2: the residual standard deviation times a
// deviate, drawn only when s2 > 0; else 0.
double random_term(AddType addtype, double tdf, double s2, RandomDraws& draws);

// What the imputation of a case reads and writes.
struct ImputationInputs {
  CaseMatrix cases;                      // CASES, the donors' values
  const ColumnRoles* roles = nullptr;    // the variable of each column
  std::vector<std::int64_t> dependents;  // columns of the dependents, ascending
  std::vector<std::int64_t> predictors;  // columns of the predictors, ascending
  RealArray RCASE;                       // the case by variable: stored, then imputed values
  WordArray RMISS;                       // missing codes of the case by variable (0 present)
  RealArray RMEAN;                       // centring means by variable
  AddType addtype = kAddNone;            // what is added to a prediction
};

// Imputes cases one at a time. An imputer reads the inputs and solves its
// equations in the arrays of its own EquationCache, so imputers with caches
// of their own may run at the same time.
class CaseImputer {
 public:
  CaseImputer(ImputationInputs in, EquationCache& equations);

  // Imputes in RCASE every dependent whose RMISS code is not 0, in column
  // order, from the RCASE values of the present predictors; returns the
  // columns imputed, ascending. RESIDUAL adds the residual of donors[i] to
  // the i-th value imputed (donors holds one per missing dependent), NONE
  // nothing; NORMAL and T leave the prediction, to which the caller adds
  // random_term() with the residual variance of its equation.
  const std::vector<std::int64_t>& impute(std::span<const std::int64_t> donors);

  // The residual variance of the equation of each value imputed by the last
  // call, in the same order.
  const std::vector<double>& residual_variances() const { return variances_; }

  // Number of dependents whose RMISS code is not 0: the donors a case needs.
  std::int64_t missing_dependents() const;

 private:
  ImputationInputs in_;
  EquationCache& equations_;
  PredictorSet present_;               // the case's present predictors
  std::vector<std::int64_t> imputed_;  // the columns imputed in the case
  std::vector<double> variances_;      // their residual variances
};

}  // namespace mva
