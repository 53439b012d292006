// The separate-variance t test from the pairwise moments. The missing group
// is never summed directly: its mean and sum of squares are what is left of
// column c's totals once the present group's part is taken away.
#include "mva/diagnostics/separate_variance.h"

#include <cmath>

namespace mva {

SeparateVarianceTest separate_variance_test(const PairwiseMoments& m, std::int64_t k, std::int64_t c) {
  MVA_ASSERT(k >= 1 && c >= 1 && k <= m.PWMEAN.order() && c <= m.PWMEAN.order() && m.PWVAR.order() == m.PWMEAN.order());
  SeparateVarianceTest out;
  const double n_p = m.PWN(k, c);
  const double n_m = m.PWN(c, c) - n_p;
  const double w_p = m.PWW(k, c);
  const double w_c = m.PWW(c, c);
  const double w_m = w_c - w_p;
  const double m_c = m.PWMEAN(c, c);
  const double m_p = m.PWMEAN(c, k);
  const double v_c = m.PWVAR(c, c);
  const double v_p = m.PWVAR(c, k);
  out.n_present = n_p;
  out.n_missing = n_m;
  out.mean_present = m_p;
  if (w_m <= 0.0) return out;  // no case with c present and k missing
  const double m_m = (w_c * m_c - w_p * m_p) / w_m;
  out.mean_missing = m_m;
  // A group of weight 1 or less has no variance.
  if (!(n_p > 1.0 && n_m > 1.0 && w_p > 0.0)) return out;

  // Sum of squares of the missing group: the total sum of squares less the
  // between-group part and the present group's sum of squares, per unit of
  // weight and per degree of freedom of the missing group.
  const double a = v_p / n_p;
  const double total_ss = (n_p + n_m - 1.0) * ((w_p + w_m) / (n_p + n_m)) * v_c;
  const double between = w_p * (m_c - m_p) * (m_c - m_p) + w_m * (m_c - m_m) * (m_c - m_m);
  const double present_ss = v_p * (w_p / n_p) * (n_p - 1.0);
  const double b = (total_ss - between - present_ss) / (w_m * (n_m - 1.0));
  const double s2 = a + b;
  if (!(s2 > 0.0)) return out;  // no spread in either group
  out.t = (m_p - m_m) / std::sqrt(s2);
  // Welch-Satterthwaite: s^4 / (a^2/(n_p - 1) + b^2/(n_m - 1)).
  out.df = s2 * s2 / (a * a / (n_p - 1.0) + b * b / (n_m - 1.0));
  return out;
}

}  // namespace mva
