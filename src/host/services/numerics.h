// The host's numerical services: the system-missing value, correlations from
// moments, tail probabilities of the t and chi-square distributions, weight
// truncation, and one seeded random stream whose draws are the same on every
// platform for the same seed.
#pragma once

#include <cstdint>
#include <limits>

#include <boost/random/mersenne_twister.hpp>

#include "host/data/number_text.h"

namespace mva::host {

double correlation(double var1, double var2, double cov);
// Upper-tail probability of |t| under Student's t with df degrees of freedom.
double t_upper_tail(double t, double df);
// Upper-tail probability of chisq under the chi-square distribution.
double chisq_upper_tail(double chisq, double df);
// A case weight truncated to an integer, allowing for representation error:
// 2.9999999999 counts as 3, 2.7 as 2; system-missing counts as 0.
double fuzzy_truncate(double weight);
// True when fuzzy_truncate drops a fraction of `weight` (2.7, not 2.9999999999
// nor system-missing).
bool weight_has_fraction(double weight);

class RandomStream {
 public:
  explicit RandomStream(std::uint32_t seed) : engine_(seed) {}
  void reseed(std::uint32_t seed) { engine_.seed(seed); }
  double uniform(double a, double b);
  double standard_normal();
  double student_t(double df);

 private:
  boost::random::mt19937 engine_;
};

}  // namespace mva::host
