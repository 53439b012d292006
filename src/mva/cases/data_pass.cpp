// The data pass of one split group. It reads the group's cases from the host
// until the host says the group (or the data) has ended, so that the host's
// reader stands at the start of the next group when the entry moves on. The
// user may interrupt it between cases.
#include "mva/cases/data_pass.h"

namespace mva {

void DATA(Context& cx) {
  Host& host = cx.host;
  host.OBSERV(cx.ws);
  while (!host.data_stopped() && !host.group_ended()) {
    host.ATNJMP();
    host.OBSERV(cx.ws);
  }
}

}  // namespace mva
