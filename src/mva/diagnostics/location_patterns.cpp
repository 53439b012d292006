// Grouping of the location patterns. Each location's pattern is packed into
// bits, one per compared variable, and looked up in a hash table of the
// patterns met so far; 64 variables fit a word, so the usual pattern is one
// word and the distance of two patterns one population count.
#include "mva/diagnostics/location_patterns.h"

#include <bit>
#include <string>
#include <string_view>
#include <unordered_map>

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

std::vector<std::int64_t> pattern_variables(const Context& cx, std::int64_t n, bool skip_categorical) {
  std::vector<std::int64_t> vars;
  const WordArray vlist = cx.words(cx.cmn.a.VLIST);
  const WordArray vwidth = cx.words(cx.cmn.a.VWIDTH);
  for (std::int64_t i = 1; i <= n && i <= cx.cmn.NVAR && vlist(i) != 0; ++i) {
    const std::int64_t v = vlist(i);
    if (v < 1 || v > cx.cmn.NVAR) continue;
    if (var_type(vwidth(v)) == VarType::Continuation) continue;
    if (skip_categorical && ISCATV(cx, v)) continue;
    vars.push_back(v);
  }
  return vars;
}

LocationPatterns::LocationPatterns(const Context& cx, std::span<const std::int64_t> vars)
    : LocationPatterns(cx, MissingCodeTable(cx), vars) {}

LocationPatterns::LocationPatterns(const Context& cx, const MissingCodeTable& table, std::span<const std::int64_t> vars)
    : words_(vars.empty() ? 1 : (vars.size() + 63) / 64) {
  const std::int64_t n = cx.cmn.NINCOM;
  group_.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  const ListedCells status(table, cx.case_matrix(), vars);
  const WordArray caseat = cx.words(cx.cmn.a.CASEAT);

  std::vector<std::uint64_t> row(words_);
  // Patterns of one word, the usual case, are looked up by that word.
  std::unordered_map<std::uint64_t, std::uint32_t> seen_word;
  std::unordered_map<std::string, std::uint32_t> seen_words;
  for (std::int64_t loc = 1; loc <= n; ++loc) {
    const std::int64_t L = caseat(loc);
    std::fill(row.begin(), row.end(), 0);
    std::int64_t count = 0;
    for (std::size_t j = 0; j < vars.size(); ++j) {
      if (status(L, j) != CellStatus::Valid) {
        row[j / 64] |= std::uint64_t{1} << (j % 64);
        ++count;
      }
    }
    const auto next = static_cast<std::uint32_t>(groups());
    std::uint32_t group = next;
    if (words_ == 1) {
      group = seen_word.try_emplace(row[0], next).first->second;
    } else {
      const std::string key(reinterpret_cast<const char*>(row.data()), words_ * sizeof(std::uint64_t));
      group = seen_words.try_emplace(key, next).first->second;
    }
    if (group == next) {
      bits_.insert(bits_.end(), row.begin(), row.end());
      missing_.push_back(count);
    }
    group_[static_cast<std::size_t>(loc - 1)] = group;
  }
}

std::int64_t LocationPatterns::distance(std::size_t g, std::size_t h) const {
  std::int64_t d = 0;
  for (std::size_t w = 0; w < words_; ++w) {
    d += std::popcount(bits_[g * words_ + w] ^ bits_[h * words_ + w]);
  }
  return d;
}

bool LocationPatterns::covers(std::size_t g, std::size_t h) const {
  for (std::size_t w = 0; w < words_; ++w) {
    if ((bits_[h * words_ + w] & ~bits_[g * words_ + w]) != 0) return false;
  }
  return true;
}

}  // namespace mva
