// The dictionary file: reading and checking the JSON document, applying it to
// a dictionary, and writing a dictionary back in the same form (so that what
// the program writes it reads back unchanged).
#include "host/data/dictionary_json.h"

#include <fmt/format.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unordered_map>

#include "host/data/data_error.h"
#include "host/data/dictionary.h"
#include "host/data/number_text.h"

namespace mva::host {

namespace {

using nlohmann::json;

// The deepest nesting of arrays and objects a dictionary file may have. A
// dictionary nests five levels at most (the document, "variables", a
// variable, its "missing", a range); the bound keeps a hostile file from
// building a tree so deep that walking it exhausts the stack.
constexpr int kMaxDepth = 16;

const char* kind_of(const json& value) { return value.type_name(); }

// A JSON value as a message shows it: a number or a short text as written,
// an array or an object by its kind (never written out: it may be huge or
// deep).
std::string shown_value(const json& value) {
  if (value.is_string()) return "\"" + shortened(value.get_ref<const std::string&>()) + "\"";
  if (value.is_structured()) return kind_of(value);
  return value.dump();
}

void check_keys(const json& object, std::initializer_list<std::string_view> allowed, std::string_view context) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (std::string_view name : allowed) known = known || key == name;
    if (!known) {
      std::string list;
      for (std::string_view name : allowed) list += fmt::format("{}\"{}\"", list.empty() ? "" : ", ", name);
      throw DataError(fmt::format("{}: unknown field \"{}\" (known fields: {})", context, shortened(key), list));
    }
  }
}

std::string string_field(const json& value, std::string_view field, std::string_view context) {
  if (!value.is_string()) {
    throw DataError(fmt::format("{}: \"{}\" must be a text, not {}", context, field, kind_of(value)));
  }
  return value.get<std::string>();
}

// A missing value or range end: a number or a text (a string value, or "LO"/"HI").
std::string missing_item(const json& value, std::string_view context) {
  if (value.is_number()) return value.dump();
  if (value.is_string()) return value.get<std::string>();
  throw DataError(fmt::format("{}: a missing value must be a number or a text, not {}", context, kind_of(value)));
}

MissingSpec parse_missing(const json& value, std::string_view context) {
  MissingSpec spec;
  if (value.is_null()) return spec;
  if (!value.is_object()) {
    throw DataError(fmt::format("{}: \"missing\" must be an object such as {{\"values\": [9, 99]}}, not {}", context,
                                kind_of(value)));
  }
  check_keys(value, {"values", "range", "value"}, fmt::format("{}, \"missing\"", context));
  if (value.contains("values")) {
    if (value.contains("range")) {
      throw DataError(
          fmt::format("{}: \"missing\" takes \"values\" or a \"range\" (with one \"value\"), "
                      "not both",
                      context));
    }
    const json& values = value["values"];
    if (!values.is_array()) {
      throw DataError(fmt::format("{}: missing \"values\" must be an array, not {}", context, kind_of(values)));
    }
    for (const json& item : values) spec.values.push_back(missing_item(item, context));
  }
  if (value.contains("range")) {
    const json& range = value["range"];
    if (!range.is_array() || range.size() != 2) {
      throw DataError(fmt::format("{}: a missing \"range\" must be an array of two ends, such as [90, 99]", context));
    }
    spec.range.emplace(missing_item(range[0], context), missing_item(range[1], context));
  }
  if (value.contains("value")) {
    if (!spec.range) {
      throw DataError(
          fmt::format("{}: a missing \"value\" goes with a \"range\"; use \"values\" for "
                      "discrete values",
                      context));
    }
    spec.values.push_back(missing_item(value["value"], context));
  }
  return spec;
}

VariableEntry parse_variable(const json& value, std::size_t index, std::string_view source) {
  const std::string where = fmt::format("{}: variables[{}]", source, index);
  if (!value.is_object()) {
    throw DataError(fmt::format("{}: must be an object with a \"name\", not {}", where, kind_of(value)));
  }
  if (!value.contains("name")) throw DataError(fmt::format("{}: has no \"name\"", where));
  VariableEntry entry;
  entry.name = string_field(value["name"], "name", where);
  if (trim_blanks(entry.name).empty()) throw DataError(fmt::format("{}: the \"name\" is empty", where));
  const std::string context = fmt::format("{}: variable \"{}\"", source, shortened(entry.name));
  check_keys(value, {"name", "type", "width", "format", "label", "value_labels", "missing"}, context);

  if (value.contains("type")) {
    const std::string type = fold_name(string_field(value["type"], "type", context));
    if (type == "numeric") {
      entry.type = DeclaredType::Numeric;
    } else if (type == "string") {
      entry.type = DeclaredType::String;
    } else {
      throw DataError(
          fmt::format("{}: \"type\" must be \"numeric\" or \"string\", not {}", context, shown_value(value["type"])));
    }
  }
  if (value.contains("width")) {
    const json& width = value["width"];
    if (!width.is_number_integer() || width.get<std::int64_t>() < 1 || width.get<std::int64_t>() > kMaxStringWidth) {
      throw DataError(fmt::format("{}: \"width\" must be a whole number from 1 to {}, not {}", context, kMaxStringWidth,
                                  shown_value(width)));
    }
    entry.width = width.get<int>();
  }
  if (value.contains("format")) {
    entry.format = parse_print_format(string_field(value["format"], "format", context), context);
  }
  if (value.contains("label")) entry.label = string_field(value["label"], "label", context);
  if (value.contains("value_labels")) {
    const json& labels = value["value_labels"];
    if (!labels.is_object()) {
      throw DataError(fmt::format("{}: \"value_labels\" must be an object such as {{\"1\": \"North\"}}, not {}",
                                  context, kind_of(labels)));
    }
    entry.value_labels.emplace();
    for (const auto& [key, label] : labels.items()) {
      const std::string field = fmt::format("value_labels\": \"{}", shortened(key));
      entry.value_labels->emplace_back(key, string_field(label, field, context));
    }
  }
  if (value.contains("missing")) entry.missing = parse_missing(value["missing"], context);
  return entry;
}

// A numeric missing value or range end as the file writes it.
json missing_number(double value) {
  if (value == kLowest) return "LO";
  if (value == kHighest) return "HI";
  return value;
}

}  // namespace

// ---- Reading --------------------------------------------------------------------

DictionaryFile DictionaryFile::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError(fmt::format("{}: cannot open the dictionary file", path));
  std::ostringstream text;
  text << in.rdbuf();
  return parse_text(text.str(), path);
}

DictionaryFile DictionaryFile::parse_text(std::string_view text, std::string_view source) {
  json document;
  // Arrays and objects nested deeper than a dictionary ever needs are refused
  // while the text is read, before the tree is built.
  const json::parser_callback_t bound_depth = [&](int depth, json::parse_event_t event, json&) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        depth >= kMaxDepth) {
      throw DataError(
          fmt::format("{}: arrays and objects are nested more than {} deep (a dictionary nests "
                      "five at most)",
                      source, kMaxDepth));
    }
    return true;
  };
  try {
    document = json::parse(text, bound_depth);
  } catch (const json::exception& error) {
    // A syntax error, or a number too large for a double (1e400). Drop the
    // library's "[json.exception.parse_error.101] " tag; keep its position
    // and explanation.
    std::string_view what = error.what();
    if (const auto close = what.find("] "); what.starts_with("[") && close != std::string_view::npos) {
      what.remove_prefix(close + 2);
    }
    throw DataError(fmt::format("{}: invalid JSON: {}", source, what));
  }
  return parse(document, source);
}

DictionaryFile DictionaryFile::parse(const json& document, std::string_view source) {
  DictionaryFile file;
  file.source_ = std::string(source);
  if (!document.is_object()) {
    throw DataError(
        fmt::format("{}: the dictionary must be a JSON object with \"variables\", not {}", source, kind_of(document)));
  }
  check_keys(document, {"variables", "weight", "split"}, source);
  if (document.contains("variables")) {
    const json& variables = document["variables"];
    if (!variables.is_array()) {
      throw DataError(fmt::format("{}: \"variables\" must be an array, not {}", source, kind_of(variables)));
    }
    std::unordered_map<std::string, std::string> seen;
    for (std::size_t k = 0; k < variables.size(); ++k) {
      VariableEntry entry = parse_variable(variables[k], k, source);
      const auto [at, fresh] = seen.emplace(fold_name(entry.name), entry.name);
      if (!fresh) {
        throw DataError(fmt::format("{}: the variable \"{}\" is described twice", source, shortened(entry.name)));
      }
      file.variables_.push_back(std::move(entry));
    }
  }
  if (document.contains("weight")) {
    file.weight_given_ = true;
    const json& weight = document["weight"];
    if (!weight.is_null()) file.weight_ = string_field(weight, "weight", source);
  }
  if (document.contains("split")) {
    const json& split = document["split"];
    file.split_.emplace();
    if (split.is_string()) {
      file.split_->push_back(split.get<std::string>());
    } else if (split.is_array()) {
      for (const json& name : split) file.split_->push_back(string_field(name, "split", source));
    } else if (!split.is_null()) {
      throw DataError(fmt::format("{}: \"split\" must be an array of variable names, not {}", source, kind_of(split)));
    }
  }
  return file;
}

const VariableEntry* DictionaryFile::find(std::string_view name) const {
  const std::string key = fold_name(name);
  for (const VariableEntry& entry : variables_) {
    if (fold_name(entry.name) == key) return &entry;
  }
  return nullptr;
}

// ---- Applying ---------------------------------------------------------------------

void apply_dictionary_json(Dictionary& dictionary, const nlohmann::json& document, std::string_view source) {
  dictionary.apply(DictionaryFile::parse(document, source));
}

void Dictionary::apply(const DictionaryFile& file) {
  const std::string& source = file.source();
  for (const VariableEntry& entry : file.variables()) {
    const std::string context = fmt::format("{}: variable \"{}\"", source, shortened(entry.name));
    const std::int64_t v = find(entry.name);
    if (v == 0) {
      throw DataError(fmt::format("{}: the variable \"{}\" is not in the data", source, shortened(entry.name)));
    }
    const VarRecord& record = slot(v);
    const bool is_string = record.type > 0;
    if (entry.type && (*entry.type == DeclaredType::String) != is_string) {
      throw DataError(fmt::format("{} is declared {}, but it is a {} variable", context,
                                  is_string ? "numeric" : "string", is_string ? "string" : "numeric"));
    }
    if (entry.width && is_string && *entry.width != record.type) {
      throw DataError(
          fmt::format("{} is declared with width {}, but it has width {}", context, *entry.width, record.type));
    }
    if (entry.width && !is_string) {
      if (*entry.width > kMaxNumericWidth) {
        throw DataError(
            fmt::format("{}: a numeric width goes up to {}, not {}", context, kMaxNumericWidth, *entry.width));
      }
      PrintFormat format = record.format;
      format.width = *entry.width;
      format.decimals = std::min(format.decimals, format.width - 1);
      set_format(v, format, context);
    }
    if (entry.format) set_format(v, *entry.format, context);
    if (entry.label) set_label(v, *entry.label);
    if (entry.value_labels) {
      set_value_labels(v, {}, context);
      for (const auto& [value, label] : *entry.value_labels) add_value_label(v, value, label, context);
    }
    if (entry.missing) set_missing(v, *entry.missing, context);
  }
  if (file.weight_given()) {
    if (file.weight()) {
      set_weight(*file.weight(), source);
    } else {
      set_weight(std::int64_t{0}, source);
    }
  }
  if (file.split()) set_split(*file.split(), source);
}

// ---- Writing -------------------------------------------------------------------------

nlohmann::json dictionary_to_json(const Dictionary& dictionary) {
  json variables = json::array();
  for (const std::int64_t v : dictionary.variables()) {
    const VarRecord& record = dictionary.slot(v);
    const bool is_string = record.type > 0;
    json entry = json::object();
    entry["name"] = record.name;
    entry["type"] = is_string ? "string" : "numeric";
    if (is_string) entry["width"] = record.type;
    entry["format"] = print_format_text(record.format);
    if (!record.label.empty()) entry["label"] = record.label;
    const ValueLabels& labels = dictionary.value_labels(v);
    if (!labels.empty()) {
      json object = json::object();
      for (const auto& [value, label] : labels.numeric) object[fmt::format("{}", value)] = label;
      for (const auto& [value, label] : labels.text) object[value] = label;
      entry["value_labels"] = std::move(object);
    }
    auto item = [&](std::size_t k) -> json {
      if (is_string) return std::string(trim_trailing_blanks(record.missing_text[k]));
      return missing_number(record.missing[k]);
    };
    if (record.missing_form >= 1 && record.missing_form <= 3) {
      json values = json::array();
      for (int k = 0; k < record.missing_form; ++k) values.push_back(item(static_cast<std::size_t>(k)));
      entry["missing"] = {{"values", std::move(values)}};
    } else if (record.missing_form == kMissingRange || record.missing_form == kMissingRangeOne) {
      json missing = {{"range", json::array({item(0), item(1)})}};
      if (record.missing_form == kMissingRangeOne) missing["value"] = item(2);
      entry["missing"] = std::move(missing);
    } else if (is_string) {
      // Said outright: a string column with cells that have no value gets
      // blank as its missing value when nothing else is declared.
      entry["missing"] = json::object();
    }
    variables.push_back(std::move(entry));
  }
  json document = {{"variables", std::move(variables)}};
  if (dictionary.weight() != 0) document["weight"] = dictionary.slot(dictionary.weight()).name;
  if (!dictionary.split().empty()) {
    json names = json::array();
    for (const std::int64_t v : dictionary.split()) names.push_back(dictionary.slot(v).name);
    document["split"] = std::move(names);
  }
  return document;
}

}  // namespace mva::host
