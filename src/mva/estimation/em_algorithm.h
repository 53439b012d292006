// The EM algorithm: means and covariances of the quantitative variables
// estimated from the incomplete cases (normal, Student t or contaminated
// normal model), Little's MCAR test, and the completed data written to the
// EM outfile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/location_patterns.h"
#include "mva/estimation/em_iterations.h"
#include "mva/estimation/moments.h"
#include "mva/frame/common.h"

namespace mva {

// What EM hands to its estimate tables.
struct EmResult {
  bool converged = false;         // the estimates met the convergence criterion
  std::int64_t iterations = 0;    // iterations run
  double mcar_df = 0.0;           // degrees of freedom of Little's test
  double mcar_chisq = 0.0;        // chi-square of Little's test
  std::int64_t case_by_case = 0;  // iterations that walked the cases one at a time
};

// The set-up of EM that depends only on the stored cases and the command:
// the patterns of the incomplete cases, their chain, the plan of the
// iterations and, under the normal model, the sums of each pattern group.
// The constructor makes the host calls the set-up needs; ahead() does the
// rest without calling the host, so that it can run on a worker beside the
// moment pass; finish() does what ahead() left, polling for interrupts. The
// result is the same whichever does the work.
class EmGroundwork {
 public:
  explicit EmGroundwork(Context& cx);

  // Patterns at most that ahead() chains without interrupt polls: the chain
  // costs up to the square of the patterns.
  static constexpr std::size_t kUnpolledGroups = 1024;

  // The work that needs no host call: all of it, unless the patterns are
  // more than kUnpolledGroups.
  void ahead();
  // Does what ahead() has not done (all when it did not run), puts the
  // chain in CORDER(1..NINCOM) and returns the plan.
  EmPlan& finish(WordArray CORDER);
  // Whether an independent variable that is not also dependent is missing
  // in some case (known once the chain is done).
  bool missing_independent() const { return missing_independent_; }

 private:
  void chain(const std::function<void()>& poll);
  void sums(const EachIndex& each);

  Context& cx_;
  std::vector<std::int64_t> vars_;  // the variables of the patterns
  MissingCodeTable table_;
  std::vector<std::ptrdiff_t> slot_;  // place in vars_ of each EM column's variable (-1: none)
  EmPlan plan_;
  std::vector<std::int64_t> order_;  // the chain: order_[m - 1] is order(m)
  bool group_sums_;                  // the pattern groups are summed once (normal model, iterations asked)
  std::optional<LocationPatterns> pats_;
  bool chained_ = false;
  bool summed_ = false;
  bool missing_independent_ = false;
};

// Runs EM from the listwise sums: the EM means go to VMEAN and the
// covariances to the PWCOV storage. EMWRK1 and EMWRK2 are the sweep's work
// and reference-diagonal vectors, CASREC the output case buffer. Its
// messages carry the tag _EMA_; a C++ name cannot begin with an underscore
// and a capital, so the routine is EMA.
// With `groundwork`, the set-up made for this group ahead of EM.
void EMA(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2, RealArray CASREC, EmResult& result,
         EmGroundwork* groundwork = nullptr);

}  // namespace mva
