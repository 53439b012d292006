// Distribution functions come from Boost.Math; random deviates from the
// Mersenne Twister of Boost.Random with Boost's own distributions, whose code
// (unlike the standard library's) is the same everywhere, so a seed gives the
// same imputations on every platform.
#include "host/services/numerics.h"

#include <algorithm>
#include <cmath>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/student_t_distribution.hpp>
#include <boost/random/uniform_real_distribution.hpp>

namespace mva::host {

double correlation(double var1, double var2, double cov) {
  if (!(var1 > 0.0) || !(var2 > 0.0)) return kSystemMissing;  // zero variance: undefined
  const double r = cov / std::sqrt(var1 * var2);
  return std::clamp(r, -1.0, 1.0);  // rounding may step just past +-1
}

double t_upper_tail(double t, double df) {
  if (!(df > 0.0) || !std::isfinite(t)) return kSystemMissing;
  const boost::math::students_t dist(df);
  return boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
}

double chisq_upper_tail(double chisq, double df) {
  if (!(df > 0.0) || !std::isfinite(chisq)) return kSystemMissing;
  if (chisq <= 0.0) return 1.0;
  const boost::math::chi_squared dist(df);
  return boost::math::cdf(boost::math::complement(dist, chisq));
}

namespace {

// A weight this close to a whole number is that number: the rest is
// representation error, not a fraction.
bool near_whole(double weight, double nearest) {
  return std::fabs(weight - nearest) <= 1e-8 * std::max(1.0, std::fabs(weight));
}

}  // namespace

double fuzzy_truncate(double weight) {
  if (weight == kSystemMissing || !std::isfinite(weight)) return 0.0;
  const double nearest = std::round(weight);
  if (near_whole(weight, nearest)) return nearest;
  return std::trunc(weight);
}

bool weight_has_fraction(double weight) {
  if (weight == kSystemMissing || !std::isfinite(weight)) return false;
  return !near_whole(weight, std::round(weight));
}

double RandomStream::uniform(double a, double b) {
  return boost::random::uniform_real_distribution<double>(a, b)(engine_);
}

double RandomStream::standard_normal() { return boost::random::normal_distribution<double>(0.0, 1.0)(engine_); }

double RandomStream::student_t(double df) { return boost::random::student_t_distribution<double>(df)(engine_); }

}  // namespace mva::host
