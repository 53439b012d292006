// Pairwise moments gathered by pattern: the per-case update of a group and
// the merge of the groups into the pair arrays.
#include "mva/estimation/pattern_moments.h"

namespace mva {

namespace {

constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

// Cells of a group over m columns: weight, m means, the packed triangle.
std::size_t group_cells(std::size_t m) { return 1 + m + m * (m + 1) / 2; }

}  // namespace

PatternMoments::PatternMoments(const ColumnRoles& roles, std::size_t budget_cells)
    : roles_(roles),
      budget_(budget_cells),
      key_(static_cast<std::size_t>((roles.columns() + 63) / 64)),
      last_group_(kNoGroup),
      present_(static_cast<std::size_t>(roles.columns())),
      values_(present_.size()),
      deviations_(present_.size()),
      scratch_(roles.columns()) {
  for (std::int64_t k = 1; k <= roles.columns(); ++k) {
    const ColumnRole& r = roles(k);
    if (r.quantitative || r.categorical) paired_.push_back({k, r.variable});
  }
}

void PatternMoments::add(double w, RealArray CASEVAL, WordArray CASEMISS, const PairwiseArrays& pw) {
  MVA_ASSERT(pw.fit(roles_.columns()));
  std::size_t m = 0;
  if (key_.size() == 1) {
    // Up to 64 columns, the usual case: the key is one word, built and
    // looked up without touching the key vectors. Every column is written
    // at the next place and kept by moving past it only when present, so
    // that the scattered missing cells cost no mispredicted branch.
    std::uint64_t word = 0;
    for (const Paired& c : paired_) {
      const bool present = CASEMISS(c.variable) == 0;
      present_[m] = c.column;
      values_[m] = CASEVAL(c.variable);
      m += present ? 1 : 0;
      word |= std::uint64_t{present ? 1U : 0U} << (c.column - 1);
    }
    if (!has_last_word_ || word != last_word_) {
      has_last_word_ = true;
      last_word_ = word;
      const auto found = word_index_.find(word);
      last_group_ = found != word_index_.end() ? found->second : new_group(m);
      if (found == word_index_.end() && last_group_ != kNoGroup) word_index_.emplace(word, last_group_);
    }
  } else {
    for (std::uint64_t& word : key_) word = 0;
    for (const Paired& c : paired_) {
      if (CASEMISS(c.variable) != 0) continue;
      present_[m] = c.column;
      values_[m] = CASEVAL(c.variable);
      ++m;
      key_[static_cast<std::size_t>((c.column - 1) / 64)] |= std::uint64_t{1} << ((c.column - 1) % 64);
    }
    if (key_ != last_key_) {
      last_key_ = key_;
      const auto found = index_.find(key_);
      last_group_ = found != index_.end() ? found->second : new_group(m);
      if (found == index_.end() && last_group_ != kNoGroup) index_.emplace(key_, last_group_);
    }
  }
  if (last_group_ == kNoGroup) {
    PAIRUPD(false, false, roles_, w, CASEVAL, CASEMISS, pw, scratch_);
    return;
  }

  update(groups_[last_group_].moments, values_.data(), w, w, deviations_.data());
}

std::size_t PatternMoments::new_group(std::size_t m) {
  if (cells_ + group_cells(m) > budget_) return kNoGroup;
  groups_.push_back(
      Group{std::vector<std::int64_t>(present_.begin(), present_.begin() + static_cast<std::ptrdiff_t>(m)),
            WeightedMoments(m, SpreadRounding::share)});
  cells_ += group_cells(m);
  return groups_.size() - 1;
}

void PatternMoments::merge_into(const PairwiseArrays& pw) const {
  MVA_ASSERT(pw.fit(roles_.columns()));
  for (const Group& g : groups_) {
    const std::size_t m = g.columns.size();
    const WeightedMoments& group = g.moments;
    const double nb = group.sumwf;
    const double* const mean = group.mean.data();
    for (std::size_t i = 0; i < m; ++i) {
      const double* const products = group.products.data() + i * (i + 1) / 2;  // row i of the triangle
      const std::int64_t j = g.columns[i];
      for (std::size_t l = 0; l <= i; ++l) {
        const std::int64_t k = g.columns[l];
        const double diagonal_l = group.products[l * (l + 1) / 2 + l];  // the sum of squares of column l
        // Row j of the pair arrays: j >= k. Means and sums of squares of j
        // over the pair's cases stand at (j, k), those of k at (k, j).
        const double n = pw.PWN(j, k);
        if (n == 0.0) {
          pw.PWN(j, k) = nb;
          pw.PWMEAN(j, k) = mean[i];
          pw.PWMEAN(k, j) = mean[l];
          pw.PWCOV(j, k) = products[l];
          pw.PWVAR(j, k) = products[i];
          pw.PWVAR(k, j) = diagonal_l;
          continue;
        }
        const MomentStep step = moment_step(n, nb, SpreadRounding::share);
        pw.PWN(j, k) = step.after;
        const double dj = mean[i] - pw.PWMEAN(j, k);
        const double dk = mean[l] - pw.PWMEAN(k, j);
        pool_product(pw.PWCOV(j, k), products[l], step.spread, dj, dk);
        if (j != k) {
          pool_product(pw.PWVAR(j, k), products[i], step.spread, dj, dj);
          pool_product(pw.PWVAR(k, j), diagonal_l, step.spread, dk, dk);
          move_mean(pw.PWMEAN(k, j), step, dk);
        } else {
          pw.PWVAR(j, j) = pw.PWCOV(j, j);
        }
        move_mean(pw.PWMEAN(j, k), step, dj);
      }
    }
  }
}

}  // namespace mva
