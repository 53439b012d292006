// The numerical core of EM: the incomplete cases arranged in groups of one
// missing-data pattern, and one E and M step over them. An iteration visits
// the incomplete cases in location order, sweeping the working matrix on the
// columns whose observed state changed since the case before; which columns
// the sweep's tolerance test lets in can depend on the columns already in,
// and so on that order. When no tolerance test can refuse a column (checked
// per iteration, see em_iteration) every case of a pattern has the same
// predictors whatever the order, and the iteration takes the grouped form:
// cases of one pattern share the swept matrix, so the matrix is swept once
// per group, on the columns whose observed state differs from the group
// before. Under the normal model each group's observed-data sums (weight,
// means and centred cross-products of its present columns) are formed once,
// before the first iteration; the completed data's sums then follow from
// them and the group's regression in O(p^3) per group. The t and
// contaminated-normal models weigh each case by a factor that depends on the
// current estimates, so they pass over the group's cases once per iteration.
// The group sums are pooled into the running moments by the pairwise form of
// the updating algorithm (Chan, Golub and LeVeque), which gives the
// case-by-case update's moments up to rounding. Otherwise the iteration
// walks the cases one at a time in location order (em_case_walk.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/listwise_sums.h"
#include "mva/frame/views.h"

namespace mva {

// What EM needs to know of one case-matrix column.
struct EmColumn {
  std::int64_t variable = 0;  // dictionary index (ANVAR)
  bool listed = false;        // on the VARIABLES list
  bool quantitative = false;  // listed, numeric, not categorical
  bool categorical = false;   // ISCAT set
  bool dependent = false;     // its missing values are estimated
  bool independent = false;   // swept in as a predictor when present
};

// A run of incomplete cases, in pattern order, that share one pattern of
// missing EM variables.
struct EmGroup {
  std::int64_t first = 0;     // position of its first case in EmPlan::cases (0-based)
  std::int64_t end = 0;       // one past its last case
  std::vector<char> missing;  // per column (k - 1): the cell is missing
  std::int64_t packed = -1;   // offset of its cases in EmPlan::packed, -1 = not packed
};

// Observed-data sums of one group over its present EM columns, with the
// case weights (no model factor).
struct GroupSums {
  double count = 0.0;           // sum of the positive weights
  std::vector<double> mean;     // per column (k - 1); 0 outside the present columns
  std::vector<double> scatter;  // p x p, row-major, centred cross-products
};

// The incomplete cases of a split group ready for EM.
struct EmPlan {
  std::int64_t p = 0;                        // NV
  std::int64_t nvar = 0;                     // NVAR
  std::int64_t ncases = 0;                   // NCASES, the case count handed to SWEEP
  std::vector<EmColumn> columns;             // per column (k - 1)
  ColumnRoles roles;                         // the same columns for the kernels
  CaseMatrix cases;                          // the case matrix
  std::int64_t weight_column = 0;            // column of the weight variable, 0 = unweighted
  double sysmis = 0.0;                       // the host's system-missing value
  std::vector<std::int64_t> case_at;         // stored case of each position, in pattern order
  std::vector<EmGroup> groups;               // the pattern groups, in pattern order
  std::vector<std::int64_t> location_case;   // stored case of location m (index m - 1)
  std::vector<std::int64_t> location_group;  // its pattern group (index into groups)
  std::vector<GroupSums> sums;               // per group, formed once when affordable (normal model)
  // The groups' cases copied once, group after group, each case its
  // present EM columns in column order followed by its weight, so that the
  // iterations of the t and contaminated models read memory in order.
  std::vector<double> packed;

  double weight(std::int64_t L) const {  // case weight of stored case L
    return weight_column > 0 ? cases(L, weight_column) : 1.0;
  }
  // Asks the processor for the case at `position` ahead of its use: the cases
  // of a pattern lie scattered over the case matrix.
  void prefetch(std::size_t position) const {
    if (position >= case_at.size()) return;
    const double* row = &cases(case_at[position], 1);
    for (std::int64_t k = 0; k < p; k += 8) __builtin_prefetch(row + k);
  }
};

// How many positions ahead the passes in pattern order ask for a case.
inline constexpr std::size_t kPrefetchAhead = 8;

// Splits the positions 0..count-1 into runs whose missing EM cells agree.
// `mask_of(i, mask)` sets `mask` (a cell per column) to the missing EM cells
// of position i and returns true; it may instead leave `mask` as it is and
// return false when it knows position i to agree with position i - 1.
template <class MaskOf>
std::vector<EmGroup> pattern_groups(std::size_t count, std::size_t p, MaskOf mask_of) {
  std::vector<EmGroup> groups;
  std::vector<char> mask(p);
  for (std::size_t i = 0; i < count; ++i) {
    const bool read = mask_of(i, mask);
    if (groups.empty() || (read && groups.back().missing != mask)) {
      groups.push_back({static_cast<std::int64_t>(i), static_cast<std::int64_t>(i), mask});
    }
    groups.back().end = static_cast<std::int64_t>(i) + 1;
  }
  return groups;
}

// Runs body(0) .. body(count - 1), in any order and on any threads; the
// default runs them in order on the calling thread.
using EachIndex = std::function<void(std::int64_t count, const std::function<void(std::int64_t)>& body)>;

// Forms every group's observed-data sums when they take no more room than
// the incomplete cases' values; leaves `sums` empty otherwise, and the
// iterations then pass over the cases. The groups are independent, each
// summed over its cases in order, so `each` may form them on several
// threads with the same result.
void form_group_sums(EmPlan& plan, const EachIndex& each = {});

// Copies every group's cases into plan.packed (see there).
void pack_group_values(EmPlan& plan);

// The model and the sweep settings of the iterations.
struct EmModel {
  double tolerance = 0.001;   // EMTOL
  double convergence = 1e-4;  // EMCONV
  double tdf = 0.0;           // EMTDF: t model when >= 2
  double proportion = 0.0;    // EMPROP: contaminated normal when > 0 with lambda > 0
  double lambda = 0.0;        // EMLAMB

  bool contaminated() const { return proportion > 0.0 && lambda > 0.0; }
  bool t_model() const { return !contaminated() && tdf >= 2.0; }
  bool normal() const { return !contaminated() && !t_model(); }
  // The expected precision factor of a case at squared distance d2 over q
  // swept-in columns.
  double factor(double d2, double q) const;
};

// The arrays one iteration works on.
struct EmArrays {
  RealArray mu;        // dict.: the previous means (the CASEVAL storage)
  RealTriangle S;      // the previous covariances, swept per group (EMCOV)
  RealArray status;    // p: sweep status (PWW storage)
  RealArray work;      // p: sweep work (EMWRK1)
  RealArray refdiag;   // p: reference diagonal (EMWRK2)
  RealArray means;     // dict.: in the previous means, out the new ones (VMEAN)
  RealTriangle cp;     // in the previous covariances, out the new ones (PWCOV)
  RealArray LWMEAN;    // listwise means
  RealTriangle LWCOV;  // listwise covariances
};

// Whether the plan is whole and the arrays have its shape: a role per column,
// groups that cover the cases in order without gaps, group sums (when formed)
// one per group with non-negative weight, arrays of p columns. The
// iterations check it at their head in the checked build.
bool em_plan_fits(const EmPlan& plan, const EmArrays& a);

// What one iteration reports.
struct EmStep {
  bool converged = false;     // every dependent variance moved less than the criterion
  double scale = 0.0;         // s: the factor that turned cross-products into covariances
  bool case_by_case = false;  // the cases were walked one at a time, not in groups
};

// One E and M step: the sums restart from the complete cases, each
// incomplete case adds its completed values and the residual covariance of
// its missing part, and the result replaces the estimates in `a.means` and
// `a.cp`. Takes the grouped form when it gives the location-order walk's
// result, else the walk itself.
EmStep em_iteration(const EmPlan& plan, const EmModel& model, const ListwiseSums& listwise, const EmArrays& a);

// The running weight sums of one iteration: N of the weights w, W of the
// weights times the model factors.
struct EmSums {
  double N = 0.0;
  double W = 0.0;
};

// The incomplete cases one at a time in location order, as one iteration
// defines it: for each, S is swept on the case's observed independent
// columns (as far as the tolerance lets them in), the case is completed by
// the regression on the swept-in columns and added to `a.means` and `a.cp`
// with its weight and model factor, and the residual covariance of its
// missing part is added to `a.cp`. Starts from S holding the previous
// estimate with nothing swept in; leaves the columns of the last case in.
void em_case_walk(const EmPlan& plan, const EmModel& model, const EmArrays& a, EmSums& sums);

// Little's MCAR test over the pattern groups.
struct McarResult {
  double chisq = 0.0;  // chi-square
  double df = 0.0;     // degrees of freedom
};

// Little's statistic under the EM estimates `a.means` and `a.cp`: the
// complete cases (weight LWN) at the listwise means, then every group of
// cases with a missing dependent variable at its weighted means, counted by
// its number of cases. Uses a.mu, a.S, a.status, a.work and a.refdiag.
McarResult little_mcar(const EmPlan& plan, const EmModel& model, const ListwiseSums& listwise, const EmArrays& a,
                       double sysmis);

}  // namespace mva
