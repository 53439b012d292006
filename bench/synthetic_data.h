// Synthetic data for the benchmarks and the mva_gen tool: CSV text of
// correlated normal variables with values missing completely at random,
// optionally through a fixed number of distinct missing patterns, with an
// optional case weight, split column, categorical codes and string
// variables. The same description and seed always give the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mva::bench {

// What to generate. Columns, in order: g (split group, when `groups` > 1),
// w (weight, when `weight`), x1..xP, c1..cK (categorical codes 1..5),
// s1..sM (strings, some longer than 8 bytes).
struct SyntheticSpec {
  std::int64_t cases = 1000;  // records after the header
  int variables = 20;         // quantitative variables x1..xP
  double loading = 0.7;       // each x is loading*factor + noise; pairs correlate at about loading^2
  double missing_min = 0.05;  // missing rate of x1 ...
  double missing_max = 0.30;  // ... rising evenly to that of xP
  int patterns = 0;           // distinct missing patterns; 0: cells missing independently
  bool weight = false;        // a weight column w, fractional values in (0.5, 3]
  int groups = 1;             // split groups: g runs 1..groups over consecutive records
  int categorical = 0;        // numeric categorical columns c1..cK
  int strings = 0;            // string columns s1..sM
  std::uint32_t seed = 12345;
};

// Receives the CSV text in pieces, in order.
using CsvSink = std::function<void(std::string_view piece)>;

// Writes the header and every record to `sink`, in pieces of about 1 MB.
void write_synthetic_csv(const SyntheticSpec& spec, const CsvSink& sink);

// The whole CSV text in one string.
std::string synthetic_csv(const SyntheticSpec& spec);

// The CSV text of `cases` records of `variables` columns x1, x2, ..., each
// cell missing with probability `missing_rate`; with `groups` > 1 a leading
// split column g.
std::string synthetic_csv(std::int64_t cases, int variables, double missing_rate, int groups = 1);

}  // namespace mva::bench
