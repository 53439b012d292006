// Listwise and pairwise moments: one weighted, updating pass over the case
// matrix that fills the listwise means and covariances (complete cases only)
// and the pairwise counts, means, variances and covariances (cases in which
// both values of a pair are present), and sums the weights of all cases.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "mva/estimation/listwise_sums.h"
#include "mva/frame/common.h"

namespace mva {

// The status of the cell of variable v in stored case L (0 = present).
using CellCodeQuery = std::function<CellStatus(const Context& cx, std::int64_t L, std::int64_t v)>;

// One pass over CASES filling LWMEAN, LWCOV, PWN, PWW, PWMEAN, PWVAR, PWCOV
// and SUMWT; returns at once when MOMDONE is set, and sets it at the end.
// CASEMISS is the executive's per-variable missing-code scratch array.
void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums);

// Work that needs the stored cases but not the host, done while the moment
// pass runs: on a worker beside its chunks when it has several, else after
// it.
using BesideWork = std::function<void()>;

// MOMENT that also does `beside`, whether or not the moments were done.
void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums, const BesideWork& beside);

// MOMENT with the cells classified by `code_of` instead of the
// missing-code query.
void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums, const CellCodeQuery& code_of);

// What a completed moment pass left in the workspace (the arrays MOMENT fills,
// CASEMISS, CASEVAL and SUMWT), kept while an analysis uses those arrays as
// its own work space. Restoring it gives the very values another pass over
// the same cases would give, without the pass.
class MomentSnapshot {
 public:
  // Keeps the moments, when they are done; otherwise keeps nothing.
  MomentSnapshot(const Context& cx, WordArray CASEMISS);
  // Puts the moments back and marks them done; false (and nothing done)
  // when none were kept.
  bool restore(Context& cx, WordArray CASEMISS) const;

 private:
  bool kept_ = false;
  std::vector<double> reals_;          // the real arrays, one after another
  std::vector<std::int64_t> missing_;  // CASEMISS
  double sumwt_ = 0.0;
};

}  // namespace mva
