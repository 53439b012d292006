// The imputation equations of regression imputation: for one dependent
// column and one set of present predictor columns, the predictors chosen by
// forward selection on the pairwise covariances, their coefficients and the
// residual variance. An equation depends only on that set, the dependent and
// the covariances, which stay fixed for a split group, so each is solved by
// one sweep the first time it is needed and kept for every later case with
// the same present predictors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "mva/estimation/column_set.h"
#include "mva/frame/views.h"

namespace mva {

// One imputation equation: prediction = mean of the dependent + sum of
// coefficient * (predictor value - predictor mean).
struct RegressionEquation {
  std::vector<std::int64_t> columns;  // columns of the predictors that entered, ascending
  std::vector<double> coefficients;   // the coefficient of each, in the same order
  double residual_variance = 0.0;     // the dependent's variance left after the sweep
};

// The limits of forward selection.
struct SelectionLimits {
  std::int64_t maxsteps = 0;  // most predictors entered
  double tolerance = 0.0;     // least tolerance of an entered predictor
  double flimit = 0.0;        // least F-to-enter
  std::int64_t n = 0;         // case count of the F-to-enter
};

// The arrays one equation is swept in, all over the p columns.
struct SweepArrays {
  RealTriangle base;  // the covariances, never changed (RBASE)
  RealTriangle work;  // the copy swept for one equation (RWORK)
  RealArray status;   // the sweep's column status (RSTAT)
  RealArray status0;  // the status before the sweep (RSTAT0)
  RealArray pivot;    // the sweep's work vector
  RealArray refdiag;  // the sweep's reference diagonal
};

// The candidate predictors of a case: bit k - 1 set when column k is a
// predictor whose value is present.
using PredictorSet = ColumnSet;

// Number of 64-bit words of a PredictorSet over p columns.
constexpr std::size_t predictor_words(std::int64_t p) { return static_cast<std::size_t>((p + 63) / 64); }

// Whether column k is in the set.
inline bool has_column(const PredictorSet& set, std::int64_t k) {
  return ((set[static_cast<std::size_t>((k - 1) / 64)] >> ((k - 1) % 64)) & 1U) != 0;
}

// Solves the equation of dependent column q over p columns: the candidates
// of `present` enter by forward selection under `limits` (SWEEP), and the
// coefficients and residual variance are read from the swept copy.
void solve_equation(std::int64_t p, const SweepArrays& arrays, const SelectionLimits& limits,
                    const PredictorSet& present, std::int64_t q, RegressionEquation& into);

// The equations met so far in a split group, by present predictors and
// dependent. Memory is bounded: once `budget_bytes` are taken, equations of
// new predictor sets are solved again each time they are needed.
class EquationCache {
 public:
  EquationCache(std::int64_t p, const SweepArrays& arrays, const SelectionLimits& limits,
                std::size_t budget_bytes = std::size_t{64} << 20);

  // The equation of dependent column q for the candidates `present`.
  const RegressionEquation& equation(const PredictorSet& present, std::int64_t q);

  std::size_t solved() const { return solved_; }  // sweeps done so far

 private:
  // The equations of one predictor set, by dependent column (slot q - 1).
  struct Slots {
    std::vector<RegressionEquation> equations;  // p slots
    std::vector<bool> ready;                    // slot q - 1 is solved
  };

  std::int64_t p_;
  SweepArrays arrays_;
  SelectionLimits limits_;
  std::size_t budget_;
  std::size_t used_ = 0;
  std::size_t solved_ = 0;
  std::unordered_map<PredictorSet, Slots, ColumnSetHash> sets_;
  const PredictorSet* last_set_ = nullptr;  // key of the set found last
  Slots* last_slots_ = nullptr;             // its slots
  RegressionEquation spare_;                // an equation solved past the budget
};

}  // namespace mva
