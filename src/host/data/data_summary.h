// What a run analyses, counted once the data are loaded: the cases and
// variables, how many cases the weight leaves out or truncates, and how many
// split groups the data make. The run's output opens with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/data/data_set.h"

namespace mva::host {

struct DataSummary {
  std::int64_t cases = 0;
  std::int64_t variables = 0;  // variables, not dictionary slots
  std::string weight;          // the weight variable; empty when cases are not weighted
  // Cases the procedure leaves out: a weight that is missing or that,
  // truncated to a whole number, is 0 or below.
  std::int64_t weight_left_out = 0;
  // Cases whose weight has a fraction that truncation drops (2.7 counts as 2).
  std::int64_t weight_truncated = 0;
  std::vector<std::string> split;  // the split variables, in order
  // Split groups as the case reader cuts them (runs of consecutive cases
  // with equal split values) and the distinct combinations of split values
  // among them; the two differ when the data are not sorted.
  std::int64_t groups = 0;
  std::int64_t combinations = 0;
};

// Counts what DataSummary holds in one pass of a case reader over `data`,
// weights truncated as the procedure truncates them.
DataSummary summarize(const DataSet& data);

}  // namespace mva::host
