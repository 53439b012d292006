// The EM and regression estimate tables. They come with their own work;
// until then none is produced.
#include "mva/estimation/estimate_tables.h"

namespace mva {

void EOUT(Context& /*cx*/, WordArray /*VCOLS*/, std::int64_t /*length*/, RealArray /*means*/,
          RealTriangle /*covariances*/, int /*method*/, double /*tdf*/, const EmResult& /*em*/,
          std::array<int, 3> /*tables*/) {}

}  // namespace mva
