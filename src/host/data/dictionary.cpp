// The dictionary of the active file: records by slot, name lookup, value
// labels, weight and split variables, and the texts of values.
#include "host/data/dictionary.h"

#include <algorithm>
#include <fmt/format.h>
#include <stdexcept>

#include "host/data/data_error.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {

namespace {

bool same_record(const VarRecord& a, const VarRecord& b) {
  return a.name == b.name && a.type == b.type && a.missing_form == b.missing_form && a.missing == b.missing &&
         a.missing_text == b.missing_text && a.format.type == b.format.type && a.format.width == b.format.width &&
         a.format.decimals == b.format.decimals && a.label == b.label;
}

}  // namespace

std::string fold_name(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::int64_t Dictionary::checked(std::int64_t v) const {
  if (v < 1 || v > size()) {
    throw std::out_of_range(fmt::format("dictionary slot {} outside 1..{}", v, size()));
  }
  return v;
}

const VarRecord& Dictionary::slot(std::int64_t v) const { return slots_[static_cast<std::size_t>(checked(v) - 1)]; }

bool valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    // The length of the sequence and the range its second byte must be in
    // (narrower than 80..BF where overlong forms, surrogates or code points
    // past U+10FFFF would start).
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (end - p < length || p[1] < low || p[1] > high) return false;
    for (int k = 2; k < length; ++k) {
      if (p[k] < 0x80 || p[k] > 0xBF) return false;
    }
    p += length;
  }
  return true;
}

std::int64_t Dictionary::find(std::string_view name) const {
  const auto found = index_.find(fold_name(name));
  return found == index_.end() ? 0 : found->second;
}

std::int64_t Dictionary::require(std::string_view name, std::string_view context) const {
  const std::int64_t v = find(name);
  if (v == 0) throw DataError(fmt::format("{}: there is no variable named \"{}\"", context, shortened(name)));
  return v;
}

std::vector<std::int64_t> Dictionary::variables() const {
  std::vector<std::int64_t> result;
  for (std::int64_t v = 1; v <= size(); ++v) {
    if (slots_[static_cast<std::size_t>(v - 1)].type >= 0) result.push_back(v);
  }
  return result;
}

std::int64_t Dictionary::slot_count(std::int64_t v) const {
  const std::int64_t type = slot(v).type;
  return type > 0 ? (type + 7) / 8 : 1;
}

const ValueLabels& Dictionary::value_labels(std::int64_t v) const {
  return labels_[static_cast<std::size_t>(checked(v) - 1)];
}

std::optional<std::string> Dictionary::value_label(std::int64_t v, double value) const {
  const VarRecord& record = slot(v);
  if (record.type > 0) return value_label(v, std::string_view(chars_of_cell(value)));
  const auto& labels = value_labels(v).numeric;
  const auto found = labels.find(value);
  if (found == labels.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> Dictionary::value_label(std::int64_t v, std::string_view full_string) const {
  const auto& labels = value_labels(v).text;
  const auto found = labels.find(trim_trailing_blanks(full_string));
  if (found == labels.end()) return std::nullopt;
  return found->second;
}

std::string Dictionary::value_text(std::int64_t v, double value) const {
  const VarRecord& record = slot(v);
  if (record.type < 0) return {};
  if (record.type > 0) {
    const std::string chars = chars_of_cell(value);
    const auto width = static_cast<std::size_t>(std::min<std::int64_t>(record.type, 8));
    return value_text(v, std::string_view(chars).substr(0, width));
  }
  if (auto label = value_label(v, value)) return *label;
  return format_value(value, record.format);
}

std::string Dictionary::value_text(std::int64_t v, std::string_view full_string) const {
  const VarRecord& record = slot(v);
  if (record.type <= 0) {
    const auto value = parse_number(full_string);
    return value ? value_text(v, *value) : std::string(full_string);
  }
  if (auto label = value_label(v, full_string)) return *label;
  return std::string(trim_trailing_blanks(full_string));
}

std::int64_t Dictionary::add(VarRecord record, int slots) {
  if (trim_blanks(record.name).empty()) {
    throw DataError(fmt::format("variable {} has no name", size() + 1));
  }
  const std::int64_t v = size() + 1;
  const auto [at, inserted] = index_.emplace(fold_name(record.name), v);
  if (!inserted) {
    throw DataError(fmt::format("the name \"{}\" is used twice (\"{}\" and \"{}\")", record.name, slot(at->second).name,
                                record.name));
  }
  slots_.push_back(std::move(record));
  labels_.emplace_back();
  for (int k = 1; k < slots; ++k) {
    VarRecord continuation;
    continuation.type = -k;
    slots_.push_back(std::move(continuation));
    labels_.emplace_back();
  }
  return v;
}

std::int64_t Dictionary::add_numeric(std::string name, PrintFormat format) {
  VarRecord record;
  record.name = std::move(name);
  record.type = 0;
  record.format = format;
  return add(std::move(record), 1);
}

std::int64_t Dictionary::add_record(VarRecord record) {
  if (record.type < 0) throw DataError(fmt::format("{}: a continuation slot is not a variable", record.name));
  const std::int64_t slots = record.type > 0 ? (record.type + 7) / 8 : 1;
  return add(std::move(record), static_cast<int>(slots));
}

std::int64_t Dictionary::add_string(std::string name, int width) {
  if (width < 1 || width > kMaxStringWidth) {
    throw DataError(fmt::format("{}: string width {} is outside 1..{}", name, width, kMaxStringWidth));
  }
  VarRecord record;
  record.name = std::move(name);
  record.type = width;
  record.format = PrintFormat{kFormatA, width, 0};
  return add(std::move(record), (width + 7) / 8);
}

void Dictionary::set_label(std::int64_t v, std::string label) {
  slots_[static_cast<std::size_t>(checked(v) - 1)].label = std::move(label);
}

void Dictionary::set_format(std::int64_t v, const PrintFormat& format, std::string_view context) {
  VarRecord& record = slots_[static_cast<std::size_t>(checked(v) - 1)];
  const bool string_format = format.type == kFormatA;
  if (string_format != (record.type > 0)) {
    throw DataError(fmt::format("{}: {} is a {} variable and cannot take the format {}", context, record.name,
                                record.type > 0 ? "string" : "numeric", print_format_text(format)));
  }
  record.format = format;
}

void Dictionary::set_missing(std::int64_t v, const MissingSpec& spec, std::string_view context) {
  apply_missing(slots_[static_cast<std::size_t>(checked(v) - 1)], spec, context);
}

void Dictionary::set_value_labels(std::int64_t v, ValueLabels labels, std::string_view context) {
  const VarRecord& record = slot(v);
  if ((record.type > 0 && !labels.numeric.empty()) || (record.type == 0 && !labels.text.empty())) {
    throw DataError(fmt::format("{}: value labels of {} do not match its type", context, record.name));
  }
  labels_[static_cast<std::size_t>(v - 1)] = std::move(labels);
}

void Dictionary::add_value_label(std::int64_t v, std::string_view value, std::string label, std::string_view context) {
  const VarRecord& record = slot(v);
  ValueLabels& labels = labels_[static_cast<std::size_t>(v - 1)];
  if (record.type > 0) {
    const std::string_view text = trim_trailing_blanks(value);
    if (static_cast<std::int64_t>(text.size()) > record.type) {
      throw DataError(fmt::format("{}: the labelled value \"{}\" is longer than the width {} of {}", context,
                                  shortened(text), record.type, record.name));
    }
    if (!labels.text.emplace(std::string(text), std::move(label)).second) {
      throw DataError(
          fmt::format("{}: the value \"{}\" of {} is labelled twice", context, shortened(text), record.name));
    }
    return;
  }
  const auto number = parse_number(value);
  if (!number) {
    throw DataError(fmt::format("{}: the labelled value \"{}\" of the numeric variable {} is not a number", context,
                                shortened(value), record.name));
  }
  if (!labels.numeric.emplace(*number, std::move(label)).second) {
    throw DataError(fmt::format("{}: the value {} of {} is labelled twice", context, shortened(value), record.name));
  }
}

void Dictionary::set_weight(std::int64_t v, std::string_view context) {
  if (v != 0 && slot(v).type != 0) {
    throw DataError(
        fmt::format("{}: the weight variable must be numeric, and {} is a string variable", context, slot(v).name));
  }
  weight_ = v;
}

void Dictionary::set_weight(std::string_view name, std::string_view context) {
  set_weight(require(name, context), context);
}

void Dictionary::set_split(std::vector<std::int64_t> variables, std::string_view context) {
  for (std::size_t k = 0; k < variables.size(); ++k) {
    if (slot(variables[k]).type < 0) {
      throw std::out_of_range(fmt::format("slot {} continues a string and cannot split", variables[k]));
    }
    for (std::size_t j = 0; j < k; ++j) {
      if (variables[j] == variables[k]) {
        throw DataError(fmt::format("{}: the split variable {} is named twice", context, slot(variables[k]).name));
      }
    }
  }
  split_ = std::move(variables);
}

void Dictionary::set_split(const std::vector<std::string>& names, std::string_view context) {
  std::vector<std::int64_t> variables;
  for (const std::string& name : names) variables.push_back(require(name, context));
  set_split(std::move(variables), context);
}

bool Dictionary::operator==(const Dictionary& other) const {
  return slots_.size() == other.slots_.size() &&
         std::equal(slots_.begin(), slots_.end(), other.slots_.begin(), same_record) && labels_ == other.labels_ &&
         weight_ == other.weight_ && split_ == other.split_;
}

}  // namespace mva::host
