// The data pass: reads the cases of the current split group from the host.
#pragma once

#include "mva/frame/common.h"

namespace mva {

void DATA(Context& cx);

}  // namespace mva
