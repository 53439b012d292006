// Generated data files shared by the benchmarks: each description is written
// once per run into the temporary folder and removed when the run ends.
#pragma once

#include <string>

#include "synthetic_data.h"

namespace mva::bench {

// The path of a CSV file holding `spec`'s data, written on first use.
const std::string& bench_file(const SyntheticSpec& spec);

// The benchmarks' usual data: `cases` records of x1..x20, missing at 5 to
// 30 percent through 50 patterns.
SyntheticSpec twenty_variables(std::int64_t cases);

}  // namespace mva::bench
