// The imputation of one case in regression imputation: each missing
// dependent gets the prediction of its equation on the predictors present in
// the case, plus the random term the ADDTYPE option asks for (a donor's
// residual from the same equation, a normal deviate or a t deviate scaled by
// the residual standard deviation, or nothing). The draws come from a source
// the caller supplies, in the order the case's dependents are imputed.
#pragma once

#include <cstdint>
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

// What the imputation of a case reads and writes.
struct ImputationInputs {
  CaseMatrix cases;                      // CASES, the donors' values
  WordArray LOCOF;                       // location of each stored case; 0 = complete
  std::int64_t ncases = 0;               // NCASES
  const ColumnRoles* roles = nullptr;    // the variable of each column
  std::vector<std::int64_t> dependents;  // columns of the dependents, ascending
  std::vector<std::int64_t> predictors;  // columns of the predictors, ascending
  RealArray RCASE;                       // the case by variable: stored, then imputed values
  WordArray RMISS;                       // missing codes of the case by variable (0 present)
  RealArray RMEAN;                       // centring means by variable
  AddType addtype = kAddNone;            // what is added to a prediction
  double tdf = 5.0;                      // degrees of freedom of the t deviates
};

// Imputes the cases of one split group, one at a time.
class CaseImputer {
 public:
  CaseImputer(ImputationInputs in, EquationCache& equations);

  // Imputes in RCASE every dependent whose RMISS code is not 0, in column
  // order, from the RCASE values of the present predictors; returns the
  // columns imputed, ascending.
  const std::vector<std::int64_t>& impute(RandomDraws& draws);

 private:
  // A complete stored case drawn at random: its residual is the RESIDUAL term.
  std::int64_t draw_donor(RandomDraws& draws) const;

  ImputationInputs in_;
  EquationCache& equations_;
  PredictorSet present_;               // the case's present predictors
  std::vector<std::int64_t> imputed_;  // the columns imputed in the case
};

}  // namespace mva
