// Synthetic data for the benchmarks: a CSV text of correlated normal
// variables with values missing at random, made from a fixed seed.
#pragma once

#include <cstdint>
#include <string>

namespace mva::bench {

// `cases` rows of `variables` numeric columns (x1, x2, ...) and, when
// `groups` > 1, a leading split column g with that many consecutive groups.
std::string synthetic_csv(std::int64_t cases, int variables, double missing_rate, int groups = 1);

}  // namespace mva::bench
