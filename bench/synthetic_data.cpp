// Synthetic benchmark data: each variable is a shared factor plus noise, so
// the columns correlate as real survey items do; each cell is missing with
// the given probability.
#include "synthetic_data.h"

#include <boost/random/bernoulli_distribution.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <fmt/format.h>

namespace mva::bench {

std::string synthetic_csv(std::int64_t cases, int variables, double missing_rate, int groups) {
  boost::random::mt19937 engine(12345);
  boost::random::normal_distribution<double> normal(0.0, 1.0);
  boost::random::bernoulli_distribution<double> missing(missing_rate);
  std::string csv;
  csv.reserve(static_cast<std::size_t>(cases) * static_cast<std::size_t>(variables) * 8);
  if (groups > 1) csv += "g,";
  for (int j = 1; j <= variables; ++j) csv += fmt::format("{}x{}", j > 1 ? "," : "", j);
  csv += '\n';
  for (std::int64_t i = 0; i < cases; ++i) {
    if (groups > 1) csv += fmt::format("{},", 1 + i * groups / cases);
    const double factor = normal(engine);
    for (int j = 1; j <= variables; ++j) {
      if (j > 1) csv += ',';
      if (!missing(engine)) csv += fmt::format("{:.3f}", 50.0 + 10.0 * (0.7 * factor + 0.7 * normal(engine)));
    }
    csv += '\n';
  }
  return csv;
}

}  // namespace mva::bench
