// The dictionary of the active file: one record per 1-based slot, in column
// order. A numeric variable takes one slot; a string variable of width w takes
// ceil(w/8) slots, the first holding the variable and the others continuation
// slots (negative type word -1, -2, ..., empty name) that lookups never
// return. Besides the records: value labels, the weight variable and the split
// variables, and the texts of values as the user sees them. The JSON form of
// the dictionary is in dictionary_json.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/data/missing_values.h"
#include "mva/frame/host/types.h"

namespace mva::host {

class DictionaryFile;

// Value labels of one variable: by value for a numeric variable, by text
// (trailing blanks removed) for a string variable.
struct ValueLabels {
  std::map<double, std::string> numeric;
  std::map<std::string, std::string, std::less<>> text;

  bool empty() const { return numeric.empty() && text.empty(); }
  bool operator==(const ValueLabels&) const = default;
};

class Dictionary {
 public:
  // ---- Reading ---------------------------------------------------------------
  std::int64_t size() const { return static_cast<std::int64_t>(slots_.size()); }
  // The record of slot v, 1 <= v <= size(); std::out_of_range otherwise.
  const VarRecord& slot(std::int64_t v) const;
  // The slot of the variable with this name (case-insensitive), 0 for none.
  std::int64_t find(std::string_view name) const;
  // The first slots of all variables, in order.
  std::vector<std::int64_t> variables() const;
  bool is_string(std::int64_t v) const { return slot(v).type > 0; }
  // Slots taken by the variable at v: 1 for numeric, ceil(width/8) for strings.
  std::int64_t slot_count(std::int64_t v) const;

  std::int64_t weight() const { return weight_; }  // slot, 0 for none
  const std::vector<std::int64_t>& split() const { return split_; }

  const ValueLabels& value_labels(std::int64_t v) const;
  std::optional<std::string> value_label(std::int64_t v, double value) const;
  std::optional<std::string> value_label(std::int64_t v, std::string_view full_string) const;

  // The text of a value: its value label when it has one, else the value in
  // the variable's print format ("." for system-missing). For a string
  // variable `value` is one 8-character cell (see cell_of_chars); the text is
  // its characters less trailing blanks. A string wider than 8 is matched
  // against labels on these characters only: the overload below takes the
  // whole string.
  std::string value_text(std::int64_t v, double value) const;
  std::string value_text(std::int64_t v, std::string_view full_string) const;

  // ---- Building --------------------------------------------------------------
  // Append a variable; returns its slot. Throws DataError for an empty or
  // duplicate name or a string width outside 1..32767.
  std::int64_t add_numeric(std::string name, PrintFormat format);
  std::int64_t add_string(std::string name, int width);
  // Append a variable as its record stands (with the continuation slots its
  // string width needs); returns its slot. Throws DataError for an empty or
  // duplicate name.
  std::int64_t add_record(VarRecord record);

  // `context` starts each DataError message (a file name, an option).
  void set_label(std::int64_t v, std::string label);
  void set_format(std::int64_t v, const PrintFormat& format, std::string_view context);
  void set_missing(std::int64_t v, const MissingSpec& spec, std::string_view context);
  void set_value_labels(std::int64_t v, ValueLabels labels, std::string_view context);
  // A label for a value written as text: a number for a numeric variable,
  // the text itself for a string variable.
  void add_value_label(std::int64_t v, std::string_view value, std::string label, std::string_view context);

  // Weight: numeric variable, or 0 for none.
  void set_weight(std::int64_t v, std::string_view context);
  void set_weight(std::string_view name, std::string_view context);
  void set_split(std::vector<std::int64_t> variables, std::string_view context);
  void set_split(const std::vector<std::string>& names, std::string_view context);

  // Applies a dictionary file to these variables: labels, formats, value
  // labels, missing values, weight and split. Declared types and string
  // widths must agree with the variables (the data set honours them while it
  // reads the data). Throws DataError naming the file. (dictionary_json.cpp)
  void apply(const DictionaryFile& file);

  bool operator==(const Dictionary& other) const;

 private:
  std::int64_t checked(std::int64_t v) const;  // v, or throws std::out_of_range
  std::int64_t require(std::string_view name, std::string_view context) const;
  std::int64_t add(VarRecord record, int slots);

  std::vector<VarRecord> slots_;                         // slot v at index v - 1
  std::vector<ValueLabels> labels_;                      // parallel to slots_
  std::unordered_map<std::string, std::int64_t> index_;  // lower-case name -> slot
  std::int64_t weight_ = 0;
  std::vector<std::int64_t> split_;
};

// ASCII lower case, the key names are compared by.
std::string fold_name(std::string_view name);

// Whether `text` is well-formed UTF-8 (no stray continuation bytes, overlong
// forms, surrogates or code points past U+10FFFF), as the JSON files the
// program writes require.
bool valid_utf8(std::string_view text);

}  // namespace mva::host
