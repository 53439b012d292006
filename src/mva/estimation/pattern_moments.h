// Pairwise moments gathered by pattern. The cases that share one set of
// present columns share every pair they touch, so within such a group one
// weighted moments state serves all its pairs: a case costs one division and a contiguous rank-one update
// instead of a running weight, a division and two mean moves per pair. At the
// end each pair merges the groups that hold it, in the order the groups were
// met, by the pooled (between-group) form, which adds the groups' sums about
// their own means and the spread of the group means; no raw sum of squares is
// ever formed. Groups are kept within a memory budget; the cases of patterns
// met after it is spent go to PAIRUPD case by case, and the groups merge into
// what it left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/column_set.h"
#include "mva/estimation/pairwise_update.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/views.h"

namespace mva {

class PatternMoments {
 public:
  // Over the columns of `roles`; at most `budget_cells` doubles are kept.
  explicit PatternMoments(const ColumnRoles& roles, std::size_t budget_cells = std::size_t{1} << 20);

  // Adds a case of weight w (> 0) with values CASEVAL and missing codes
  // CASEMISS, as PAIRUPD would add it; `pw` takes the cases that no group
  // holds, and must be cleared before the first call.
  void add(double w, RealArray CASEVAL, WordArray CASEMISS, const PairwiseArrays& pw);

  // Merges every group into the pair arrays (weight sums in PWN, means,
  // sums of squares and cross-products), as PAIRUPD leaves them.
  void merge_into(const PairwiseArrays& pw) const;

 private:
  // The cases of one pattern: its present columns and their moments.
  struct Group {
    std::vector<std::int64_t> columns;
    WeightedMoments moments;
  };
  // A column that pairs (quantitative or categorical) and its variable.
  struct Paired {
    std::int64_t column;
    std::int64_t variable;
  };

  // A group for the pattern of the first m columns of present_, or npos
  // when it would exceed the budget.
  std::size_t new_group(std::size_t m);

  const ColumnRoles& roles_;
  std::size_t budget_;
  std::vector<Group> groups_;
  std::size_t cells_ = 0;       // the doubles the groups keep
  std::vector<Paired> paired_;  // the columns that pair, in column order
  std::unordered_map<ColumnSet, std::size_t, ColumnSetHash> index_;
  ColumnSet key_;       // the present columns of the case being added
  ColumnSet last_key_;  // and of the case before it
  // The same when a key is one word (up to 64 columns).
  std::unordered_map<std::uint64_t, std::size_t> word_index_;
  std::uint64_t last_word_ = 0;
  bool has_last_word_ = false;
  std::size_t last_group_ = 0;         // its group, or npos
  std::vector<std::int64_t> present_;  // the case's present columns
  std::vector<double> values_;         // their values
  std::vector<double> deviations_;     // their deviations from the group means
  PairScratch scratch_;                // for the cases no group holds
};

}  // namespace mva
