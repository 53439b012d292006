// Pairwise moments gathered by pattern: the per-case update of a group and
// the merge of the groups into the pair arrays.
#include "mva/estimation/pattern_moments.h"

namespace mva {

namespace {

constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

// Cells of a group over m columns: weight, m means, the packed triangle.
std::size_t group_cells(std::size_t m) { return 1 + m + m * (m + 1) / 2; }

// The sum of squares of the group's column l about its mean.
double products_diagonal(const double* cells, std::size_t m, std::size_t l) {
  return cells[1 + m + l * (l + 1) / 2 + l];
}

}  // namespace

PatternMoments::PatternMoments(const ColumnRoles& roles, std::size_t budget_cells)
    : roles_(roles),
      budget_(budget_cells),
      key_(static_cast<std::size_t>((roles.columns() + 63) / 64)),
      last_group_(kNoGroup),
      present_(static_cast<std::size_t>(roles.columns())),
      values_(present_.size()),
      deviations_(present_.size()),
      scratch_(roles.columns()) {}

void PatternMoments::add(double w, RealArray CASEVAL, WordArray CASEMISS, const PairwiseArrays& pw) {
  const std::int64_t p = roles_.columns();
  MVA_ASSERT(pw.fit(p));
  for (std::uint64_t& word : key_) word = 0;
  std::size_t m = 0;
  for (std::int64_t k = 1; k <= p; ++k) {
    const ColumnRole& r = roles_(k);
    if ((r.quantitative || r.categorical) && CASEMISS(r.variable) == 0) {
      present_[m] = k;
      values_[m] = CASEVAL(r.variable);
      ++m;
      key_[static_cast<std::size_t>((k - 1) / 64)] |= std::uint64_t{1} << ((k - 1) % 64);
    }
  }

  if (key_ != last_key_) {
    last_key_ = key_;
    const auto found = index_.find(key_);
    if (found != index_.end()) {
      last_group_ = found->second;
    } else if (cells_.size() + group_cells(m) <= budget_) {
      last_group_ = groups_.size();
      groups_.push_back(
          Group{std::vector<std::int64_t>(present_.begin(), present_.begin() + static_cast<std::ptrdiff_t>(m)),
                cells_.size()});
      cells_.resize(cells_.size() + group_cells(m), 0.0);
      index_.emplace(key_, last_group_);
    } else {
      last_group_ = kNoGroup;
    }
  }
  if (last_group_ == kNoGroup) {
    PAIRUPD(false, false, roles_, w, CASEVAL, CASEMISS, pw, scratch_);
    return;
  }

  // The weighted running update about the group's means: the case's weight
  // in the new means is w / W', its products weigh W w / W'.
  double* const cells = cells_.data() + groups_[last_group_].first;
  double* const mean = cells + 1;
  double* products = mean + m;
  const double before = cells[0];
  const double after = before + w;
  const double r = w / after;
  const double f = before * r;
  double* const d = deviations_.data();
  const double* const x = values_.data();
  for (std::size_t i = 0; i < m; ++i) d[i] = x[i] - mean[i];
  for (std::size_t i = 0; i < m; ++i) mean[i] += r * d[i];
  for (std::size_t i = 0; i < m; ++i) {
    const double fd = f * d[i];
    for (std::size_t l = 0; l <= i; ++l) products[l] += fd * d[l];
    products += i + 1;
  }
  cells[0] = after;
}

void PatternMoments::merge_into(const PairwiseArrays& pw) const {
  MVA_ASSERT(pw.fit(roles_.columns()));
  for (const Group& g : groups_) {
    const std::size_t m = g.columns.size();
    const double* const cells = cells_.data() + g.first;
    const double nb = cells[0];
    const double* const mean = cells + 1;
    for (std::size_t i = 0; i < m; ++i) {
      const double* const products = mean + m + i * (i + 1) / 2;  // row i of the triangle
      const std::int64_t j = g.columns[i];
      for (std::size_t l = 0; l <= i; ++l) {
        const std::int64_t k = g.columns[l];
        // Row j of the pair arrays: j >= k. Means and sums of squares of j
        // over the pair's cases stand at (j, k), those of k at (k, j).
        const double n = pw.PWN(j, k);
        const double total = n + nb;
        pw.PWN(j, k) = total;
        if (n == 0.0) {
          pw.PWMEAN(j, k) = mean[i];
          pw.PWMEAN(k, j) = mean[l];
          pw.PWCOV(j, k) = products[l];
          pw.PWVAR(j, k) = products[i];
          pw.PWVAR(k, j) = products_diagonal(cells, m, l);
          continue;
        }
        const double share = nb / total;  // the group's weight in the merged means
        const double spread = n * share;  // n nb / (n + nb)
        const double dj = mean[i] - pw.PWMEAN(j, k);
        const double dk = mean[l] - pw.PWMEAN(k, j);
        pw.PWCOV(j, k) += products[l] + spread * dj * dk;
        if (j != k) {
          pw.PWVAR(j, k) += products[i] + spread * dj * dj;
          pw.PWVAR(k, j) += products_diagonal(cells, m, l) + spread * dk * dk;
          pw.PWMEAN(k, j) += share * dk;
        } else {
          pw.PWVAR(j, j) = pw.PWCOV(j, j);
        }
        pw.PWMEAN(j, k) += share * dj;
      }
    }
  }
}

}  // namespace mva
