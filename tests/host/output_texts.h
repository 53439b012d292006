// Builders of output texts for the output-document tests: the values the
// reference host's text calls would hand over, made directly.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "host/data/number_text.h"
#include "mva/frame/host/types.h"

namespace mva::host::testing {

inline constexpr double kSysmis = kSystemMissing;

inline Text key(std::string k) {
  Text t;
  t.kind = Text::Kind::Key;
  t.key = std::move(k);
  return t;
}

inline Text lit(std::string s) {
  Text t;
  t.kind = Text::Kind::Literal;
  t.key = std::move(s);
  return t;
}

inline Format format(FormatKind kind, int decimals) {
  Format f;
  f.kind = kind;
  f.decimals = decimals;
  return f;
}

inline Text num(double v, int decimals, FormatKind kind = FormatKind::GenStat) {
  Text t;
  t.kind = Text::Kind::Number;
  t.number = v;
  t.format = format(kind, decimals);
  return t;
}

inline Text count(double v) { return num(v, 0, FormatKind::Count); }

inline Text var(std::int64_t index, std::string name) {
  Text t;
  t.kind = Text::Kind::Variable;
  t.variable = index;
  t.name = std::move(name);
  return t;
}

inline Text value(std::int64_t index, std::string name, double v, std::string label) {
  Text t;
  t.kind = Text::Kind::VarValue;
  t.variable = index;
  t.name = std::move(name);
  t.number = v;
  t.format = format(FormatKind::Print, 0);
  t.label = std::move(label);
  return t;
}

inline Text comp(std::string k, std::vector<Text> params) {
  Text t = key(std::move(k));
  t.kind = Text::Kind::Composite;
  t.params = std::move(params);
  return t;
}

// One item of a repeat list: its own parameters.
inline Text item(std::vector<Text> params) {
  Text t;
  t.params = std::move(params);
  return t;
}

inline Text list(std::vector<Text> items) {
  Text t;
  t.kind = Text::Kind::RepeatList;
  t.params = std::move(items);
  return t;
}

}  // namespace mva::host::testing
