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

inline Text of_kind(Text::Kind kind) {
  Text t;
  t.kind = kind;
  return t;
}

inline Format format(FormatKind kind, int decimals) {
  Format f;
  f.kind = kind;
  f.decimals = decimals;
  return f;
}

inline Text key(std::string k) {
  Text t = of_kind(Text::Kind::Key);
  t.key = std::move(k);
  return t;
}

inline Text lit(std::string s) {
  Text t = key(std::move(s));
  t.kind = Text::Kind::Literal;
  return t;
}

inline Text num(double v, int decimals, FormatKind kind = FormatKind::GenStat) {
  Text t = of_kind(Text::Kind::Number);
  t.number = v;
  t.format = format(kind, decimals);
  return t;
}

inline Text count(double v) { return num(v, 0, FormatKind::Count); }

inline Text var(std::int64_t index, std::string name) {
  Text t = of_kind(Text::Kind::Variable);
  t.variable = index;
  t.name = std::move(name);
  return t;
}

inline Text value(std::int64_t index, std::string name, double v, std::string label) {
  Text t = var(index, std::move(name));
  t.kind = Text::Kind::VarValue;
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

// One item of a repeat list (its own parameters), and the list.
inline Text item(std::vector<Text> params) {
  Text t;
  t.params = std::move(params);
  return t;
}

inline Text list(std::vector<Text> items) {
  Text t = item(std::move(items));
  t.kind = Text::Kind::RepeatList;
  return t;
}

}  // namespace mva::host::testing
