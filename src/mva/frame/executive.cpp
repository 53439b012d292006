// The executive of one split group. It runs after the data pass, once the
// group's cases are in hand; the analyses it will call (tables of missing
// values, estimation) are added to it one by one, each behind its
// precondition. With none in place yet, a group produces no tables.
#include "mva/frame/executive.h"

namespace mva {

void EXEC(Context& /*cx*/) {}

}  // namespace mva
