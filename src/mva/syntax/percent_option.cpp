// The value of a PERCENT option and its typed text.
#include "mva/syntax/percent_option.h"

#include "mva/syntax/reading.h"

namespace mva {

bool take_percent(const Context& cx, double& percent, std::string& typed) {
  const double p = current(cx).number;
  if (!at_number(cx) || !(p >= 0.0 && p < 100.0)) return false;
  percent = p;
  typed = current(cx).typed.substr(0, kPercentTextLength);
  return true;
}

}  // namespace mva
