// Statistics matrix records. They come with their own work; until then
// nothing is written.
#include "mva/save/statistics_matrix.h"

namespace mva {

void SAVMAT(Context& /*cx*/, int /*method*/, RealArray /*means*/, RealTriangle /*covariances*/,
            RealArray /*record*/) {}

}  // namespace mva
