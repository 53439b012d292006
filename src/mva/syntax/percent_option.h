// The value of a PERCENT option: a threshold from 0 up to (not including)
// 100, kept together with the number exactly as typed, which footnotes and
// messages quote.
#pragma once

#include <string>

#include "mva/frame/common.h"

namespace mva {

// Longest typed text a PERCENT option keeps.
inline constexpr std::size_t kPercentTextLength = 255;

// Takes the current token as a PERCENT value: when it is a number p with
// 0 <= p < 100, stores p in `percent` and its typed text in `typed` and
// returns true; otherwise leaves both and returns false. The token stays
// current.
bool take_percent(const Context& cx, double& percent, std::string& typed);

}  // namespace mva
