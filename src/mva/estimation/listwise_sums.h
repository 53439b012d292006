// The listwise sums of a moment pass: the weight of the complete cases, which
// EM's iterations start from. Apart from the moments so that the numerical
// kernels that take it need nothing of the procedure frame.
#pragma once

namespace mva {

// The listwise sums MOMENT hands back to the executive.
struct ListwiseSums {
  double LWN = 0.0;            // summed weight of the complete cases (the listwise N)
  double update_weight = 0.0;  // running weight sum of the listwise update
};

}  // namespace mva
