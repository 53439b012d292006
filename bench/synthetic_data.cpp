// Synthetic data: each quantitative variable is a shared factor plus noise,
// so the columns correlate as real survey items do. A cell is missing
// completely at random: either independently, at a rate that rises from the
// first variable to the last, or, with a number of patterns, by giving each
// incomplete case one of a fixed set of distinct missing patterns drawn so
// that the variables' rates come out near the same targets.
#include "synthetic_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <vector>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <boost/random/uniform_real_distribution.hpp>
#include <fmt/format.h>

namespace mva::bench {

namespace {

using Engine = boost::random::mt19937;

// Values of the string columns; some are wider than one 8-byte cell, and one
// holds a delimiter and must be quoted.
constexpr std::array<std::string_view, 6> kWords = {
    "North", "South", "East", "West", "Central highlands", "\"Lake, north shore\""};

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// The target missing rate of quantitative variable j (0-based).
double target_rate(const SyntheticSpec& spec, int j) {
  if (spec.variables <= 1) return spec.missing_min;
  return spec.missing_min + (spec.missing_max - spec.missing_min) * j / (spec.variables - 1);
}

// The probability that a case is incomplete when patterns are used: high
// enough that no variable needs to be in more than every pattern.
double incomplete_rate(const SyntheticSpec& spec) {
  return std::clamp(2.0 * std::max(spec.missing_min, spec.missing_max), 0.0, 0.95);
}

// `spec.patterns` distinct non-empty patterns (fewer when the variables
// allow fewer). Variable j is put into round(K * rate_j / incomplete_rate)
// of the K patterns, chosen at random, so that with patterns picked evenly
// its overall rate is close to rate_j; draws with an empty or a repeated
// pattern are tried again.
std::vector<std::vector<bool>> draw_patterns(const SyntheticSpec& spec, Engine& engine) {
  std::vector<std::vector<bool>> patterns;
  const double incomplete = incomplete_rate(spec);
  if (spec.patterns <= 0 || spec.variables <= 0 || incomplete <= 0.0) return patterns;
  const auto p = static_cast<std::size_t>(spec.variables);
  std::size_t k = static_cast<std::size_t>(spec.patterns);
  if (p < 63) k = std::min<std::size_t>(k, (std::size_t{1} << p) - 1);
  std::vector<std::size_t> order(k);
  for (int attempt = 0; attempt < 100; ++attempt) {
    patterns.assign(k, std::vector<bool>(p, false));
    for (std::size_t j = 0; j < p; ++j) {
      const double share = target_rate(spec, static_cast<int>(j)) / incomplete;
      const auto members = std::min(k, static_cast<std::size_t>(std::lround(share * static_cast<double>(k))));
      for (std::size_t i = 0; i < k; ++i) order[i] = i;
      for (std::size_t i = 0; i < members; ++i) {  // a partial Fisher-Yates shuffle
        boost::random::uniform_int_distribution<std::size_t> pick(i, k - 1);
        std::swap(order[i], order[pick(engine)]);
        patterns[order[i]][j] = true;
      }
    }
    const std::set<std::vector<bool>> distinct(patterns.begin(), patterns.end());
    const bool empty = distinct.count(std::vector<bool>(p, false)) > 0;
    if (distinct.size() == k && !empty) return patterns;
    if (attempt == 99) {  // keep what is usable
      patterns.assign(distinct.begin(), distinct.end());
      std::erase(patterns, std::vector<bool>(p, false));
    }
  }
  return patterns;
}

}  // namespace

void write_synthetic_csv(const SyntheticSpec& spec, const CsvSink& sink) {
  Engine engine(spec.seed);
  boost::random::normal_distribution<double> normal(0.0, 1.0);
  boost::random::uniform_real_distribution<double> uniform(0.0, 1.0);
  const std::vector<std::vector<bool>> patterns = draw_patterns(spec, engine);
  boost::random::uniform_int_distribution<std::size_t> pick_pattern(0, patterns.empty() ? 0 : patterns.size() - 1);
  const double incomplete = incomplete_rate(spec);
  const double noise = std::sqrt(std::max(0.0, 1.0 - spec.loading * spec.loading));
  const auto p = static_cast<std::size_t>(std::max(0, spec.variables));

  std::vector<double> rates(p);
  for (std::size_t j = 0; j < p; ++j) rates[j] = target_rate(spec, static_cast<int>(j));
  std::vector<bool> missing(p);

  fmt::memory_buffer out;
  auto separator = [&out, first = true]() mutable {
    if (!first) out.push_back(',');
    first = false;
  };
  if (spec.groups > 1) {
    separator();
    fmt::format_to(std::back_inserter(out), "g");
  }
  if (spec.weight) {
    separator();
    fmt::format_to(std::back_inserter(out), "w");
  }
  for (std::size_t j = 1; j <= p; ++j) {
    separator();
    fmt::format_to(std::back_inserter(out), "x{}", j);
  }
  for (int k = 1; k <= spec.categorical; ++k) {
    separator();
    fmt::format_to(std::back_inserter(out), "c{}", k);
  }
  for (int k = 1; k <= spec.strings; ++k) {
    separator();
    fmt::format_to(std::back_inserter(out), "s{}", k);
  }
  out.push_back('\n');

  for (std::int64_t i = 0; i < spec.cases; ++i) {
    bool first = true;
    auto next_cell = [&] {
      if (!first) out.push_back(',');
      first = false;
    };
    if (spec.groups > 1) {
      next_cell();
      fmt::format_to(std::back_inserter(out), "{}", 1 + i * spec.groups / spec.cases);
    }
    if (spec.weight) {
      next_cell();
      fmt::format_to(std::back_inserter(out), "{:.2f}", 0.5 + 2.5 * (1.0 - uniform(engine)));
    }
    if (patterns.empty()) {
      for (std::size_t j = 0; j < p; ++j) missing[j] = uniform(engine) < rates[j];
    } else if (uniform(engine) < incomplete) {
      missing = patterns[pick_pattern(engine)];
    } else {
      std::fill(missing.begin(), missing.end(), false);
    }
    const double factor = normal(engine);
    for (std::size_t j = 0; j < p; ++j) {
      next_cell();
      const double value = 50.0 + 10.0 * (spec.loading * factor + noise * normal(engine));
      if (!missing[j]) fmt::format_to(std::back_inserter(out), "{:.2f}", value);
    }
    for (int k = 0; k < spec.categorical; ++k) {
      next_cell();
      // Codes 1..5 that follow the factor, so categories differ in their means.
      const double score = factor + normal(engine);
      if (uniform(engine) >= 0.05)
        out.push_back(static_cast<char>('1' + std::clamp(static_cast<int>(score + 2.5), 0, 4)));
    }
    for (int k = 0; k < spec.strings; ++k) {
      next_cell();
      const auto word = static_cast<std::size_t>(uniform(engine) * kWords.size()) % kWords.size();
      if (uniform(engine) >= 0.05) out.append(kWords[word]);
    }
    out.push_back('\n');
    if (out.size() >= kPieceBytes) {
      sink(std::string_view(out.data(), out.size()));
      out.clear();
    }
  }
  if (out.size() > 0) sink(std::string_view(out.data(), out.size()));
}

std::string synthetic_csv(const SyntheticSpec& spec) {
  std::string csv;
  write_synthetic_csv(spec, [&csv](std::string_view piece) { csv.append(piece); });
  return csv;
}

std::string synthetic_csv(std::int64_t cases, int variables, double missing_rate, int groups) {
  SyntheticSpec spec;
  spec.cases = cases;
  spec.variables = variables;
  spec.missing_min = missing_rate;
  spec.missing_max = missing_rate;
  spec.groups = groups;
  return synthetic_csv(spec);
}

}  // namespace mva::bench
