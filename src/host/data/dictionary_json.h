// The dictionary file: a JSON document that describes variables by name and
// may give the weight and split variables.
//
//   {"variables": [{"name": "age", "type": "numeric" | "string", "width": 12,
//                   "format": "F8.2", "label": "...", "value_labels": {"1": "North"},
//                   "missing": {"values": [9, 99]} | {"range": [90, 99]} |
//                              {"range": ["LO", 5], "value": 0}}, ...],
//    "weight": "wt", "split": ["region"]}
//
// Every field but a variable's name is optional; unknown fields are errors,
// so that a misspelt field does not pass unnoticed. DictionaryFile is the
// document read and checked for form; the variables it names are looked up
// when it is applied to a dictionary (Dictionary::apply).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/data/missing_values.h"
#include "mva/frame/host/types.h"

namespace mva::host {

class Dictionary;

enum class DeclaredType { Numeric, String };

struct VariableEntry {
  std::string name;
  std::optional<DeclaredType> type;
  std::optional<int> width;  // string width; the print width of a numeric variable
  std::optional<PrintFormat> format;
  std::optional<std::string> label;
  // Value labels as written: the value as text, then the label.
  std::optional<std::vector<std::pair<std::string, std::string>>> value_labels;
  std::optional<MissingSpec> missing;  // empty spec: no missing values
};

class DictionaryFile {
 public:
  // Reads and checks a dictionary file; DataError names the file and, for a
  // JSON syntax error, the position the parser gives.
  static DictionaryFile read(const std::string& path);
  static DictionaryFile parse_text(std::string_view text, std::string_view source);
  static DictionaryFile parse(const nlohmann::json& document, std::string_view source);

  const std::string& source() const { return source_; }
  const std::vector<VariableEntry>& variables() const { return variables_; }
  // The entry of this variable (case-insensitive), or null.
  const VariableEntry* find(std::string_view name) const;
  // Absent: not given. A weight given as null clears it.
  const std::optional<std::string>& weight() const { return weight_; }
  bool weight_given() const { return weight_given_; }
  const std::optional<std::vector<std::string>>& split() const { return split_; }

 private:
  std::string source_;
  std::vector<VariableEntry> variables_;
  std::optional<std::string> weight_;
  bool weight_given_ = false;
  std::optional<std::vector<std::string>> split_;
};

// The dictionary file of a dictionary, in the form DictionaryFile reads.
nlohmann::json dictionary_to_json(const Dictionary& dictionary);
// Reads `document` as a dictionary file and applies it (Dictionary::apply).
void apply_dictionary_json(Dictionary& dictionary, const nlohmann::json& document, std::string_view source);

}  // namespace mva::host
