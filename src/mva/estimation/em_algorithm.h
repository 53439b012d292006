// The EM algorithm: means and covariances of the quantitative variables
// estimated from the incomplete cases (normal, Student t or contaminated
// normal model), Little's MCAR test, and the completed data written to the
// EM outfile.
#pragma once

#include <cstdint>
#include <span>

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

// The incomplete cases of the group, at the locations order(1..NINCOM), in
// runs of one pattern. `pats` holds the locations' patterns over the
// variables `vars`, among which every EM variable stands; a position's
// missing EM cells are taken from its pattern. Sets `missing_independent` when an independent variable that
// is not also dependent is missing in some case.
EmPlan make_em_plan(Context& cx, WordArray order, const LocationPatterns& pats, std::span<const std::int64_t> vars,
                    bool& missing_independent);

// Runs EM from the listwise sums: the EM means go to VMEAN and the
// covariances to the PWCOV storage. EMWRK1 and EMWRK2 are the sweep's work
// and reference-diagonal vectors, CASREC the output case buffer. Its
// messages carry the tag _EMA_; a C++ name cannot begin with an underscore
// and a capital, so the routine is EMA.
void EMA(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2, RealArray CASREC, EmResult& result);

}  // namespace mva
