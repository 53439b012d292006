// The reference host's output services: the texts the procedure builds
// (message keys, composite texts with their parameters and split lists,
// variable names and values, numbers in their formats) and the pivot-table
// calls, which are handed to the output document. A call that names a table
// that is not open is a fault of the caller and stops the procedure. The
// Files Saved table is the host's own and is shown when the procedure ends.
#include <algorithm>
#include <stdexcept>

#include "host/data/data_summary.h"
#include "host/data/number_text.h"
#include "host/reference_host.h"

namespace mva::host {

namespace {

Text literal(std::string_view text) {
  Text t;
  t.kind = Text::Kind::Literal;
  t.key = std::string(text);
  return t;
}

// A count as a message parameter: a number, so that JSON gives it as one.
Text count(std::int64_t value) {
  Text t;
  t.kind = Text::Kind::Number;
  t.number = static_cast<double>(value);
  t.format = Format{FormatKind::Count, 5, 12, 0};
  t.is_integer = true;
  return t;
}

Text composite(std::string_view key, std::vector<Text> params) {
  Text t;
  t.kind = Text::Kind::Composite;
  t.key = std::string(key);
  t.params = std::move(params);
  return t;
}

}  // namespace

void ReferenceHost::announce_data() {
  const DataSummary summary = summarize(data_);
  DataItem item;
  item.file = data_.source();
  item.cases = summary.cases;
  item.variables = summary.variables;
  item.lines.push_back(composite("HOST_ RUN DATA ^1 CASES ^2 VARIABLES ^3",
                                 {literal(item.file), count(item.cases), count(item.variables)}));
  if (!summary.weight.empty()) {
    item.weight = DataItem::Weight{summary.weight, summary.weight_left_out, summary.weight_truncated};
    if (summary.weight_truncated == 0) {
      item.lines.push_back(
          composite("HOST_ RUN WEIGHT ^1 LEFT OUT ^2", {literal(summary.weight), count(summary.weight_left_out)}));
    } else {
      item.lines.push_back(
          composite("HOST_ RUN WEIGHT ^1 LEFT OUT ^2 TRUNCATED ^3",
                    {literal(summary.weight), count(summary.weight_left_out), count(summary.weight_truncated)}));
    }
  }
  if (!summary.split.empty()) {
    item.split = DataItem::Split{summary.split, summary.groups, summary.combinations};
    const Text names = literal(name_list(summary.split));
    if (item.split->sorted()) {
      item.lines.push_back(composite("HOST_ RUN SPLIT ^1 GROUPS ^2", {names, count(summary.groups)}));
    } else {
      item.lines.push_back(composite("HOST_ RUN SPLIT ^1 GROUPS ^2 UNSORTED ^3",
                                     {names, count(summary.groups), count(summary.combinations)}));
    }
  }
  output_.add_data(std::move(item));
}

void ReferenceHost::echo_command(const Command& command) {
  output_.add_command(CommandItem{command.text, command.source_name, command.first_line});
}

Text ReferenceHost::message(std::string_view key, const std::vector<std::string>& params) {
  Text t;
  t.kind = params.empty() ? Text::Kind::Key : Text::Kind::Composite;
  t.key = std::string(key);
  for (const std::string& p : params) t.params.push_back(literal(p));
  return t;
}

// ---- Texts --------------------------------------------------------------------

Text ReferenceHost::BP_CSTRING(std::string_view key) {
  Text t;
  t.kind = Text::Kind::Key;
  t.key = std::string(key);
  return t;
}

Text ReferenceHost::BP_CSTRING_NO_TRANSLATE(std::string_view text) { return literal(text); }

void ReferenceHost::BP_BEGIN_COMPSTRING(const Text& key) {
  Text t = key;
  t.kind = Text::Kind::Composite;
  t.params.clear();
  compositions_.push_back({std::move(t)});
}

void ReferenceHost::BP_ADD_PARAMETER(const Text& parameter) {
  if (compositions_.empty()) ASSERT("BP_ADD_PARAMETER", "no composite text is open");
  compositions_.back().front().params.push_back(parameter);
}

Text ReferenceHost::BP_END_COMPSTRING() {
  if (compositions_.empty()) ASSERT("BP_END_COMPSTRING", "no composite text is open");
  Text t = std::move(compositions_.back().front());
  compositions_.pop_back();
  return t;
}

void ReferenceHost::BP_BEGIN_REPEAT_LIST() {
  Text list;
  list.kind = Text::Kind::RepeatList;
  compositions_.push_back({std::move(list)});
}

void ReferenceHost::BP_SPLIT_LIST(Workspace&) {
  if (compositions_.empty() || compositions_.back().front().kind != Text::Kind::RepeatList) {
    ASSERT("BP_SPLIT_LIST", "no repeat list is open");
  }
  for (const SplitCell& cell : group_split_) {
    Text item;
    item.kind = Text::Kind::Composite;
    item.params.push_back(BP_VARIABLE(cell.v, 0));
    item.params.push_back(literal(cell.text));
    compositions_.back().front().params.push_back(std::move(item));
  }
}

void ReferenceHost::BP_END_REPEAT_LIST() {
  if (compositions_.size() < 2 || compositions_.back().front().kind != Text::Kind::RepeatList) {
    ASSERT("BP_END_REPEAT_LIST", "no repeat list is open inside a composite text");
  }
  Text list = std::move(compositions_.back().front());
  compositions_.pop_back();
  compositions_.back().front().params.push_back(std::move(list));
}

Text ReferenceHost::BP_VARIABLE(std::int64_t v, int) {
  const VarRecord& rec = slot(v, "BP_VARIABLE");
  Text t;
  t.kind = Text::Kind::Variable;
  t.variable = v;
  t.name = rec.name;
  t.label = rec.label;
  return t;
}

Text ReferenceHost::BP_VARVALUE(std::int64_t v, double value) {
  data_.settle();  // the print format of a column in memory may still be being measured
  const VarRecord& rec = slot(v, "BP_VARVALUE");
  Text t;
  t.kind = Text::Kind::VarValue;
  t.variable = v;
  t.number = value;
  t.name = rec.name;
  t.format = Format{FormatKind::Print, rec.format.type, rec.format.width, rec.format.decimals};
  t.label = data_.dictionary().value_text(v, value);
  return t;
}

Text ReferenceHost::BP_VARVALUE(std::int64_t v, std::string_view chars) {
  data_.settle();  // the print format of a column in memory may still be being measured
  const VarRecord& rec = slot(v, "BP_VARVALUE");
  Text t;
  t.kind = Text::Kind::VarValue;
  t.variable = v;
  t.name = rec.name;
  t.format = Format{FormatKind::Print, rec.format.type, rec.format.width, rec.format.decimals};
  t.label = data_.dictionary().value_text(v, chars);
  return t;
}

Text ReferenceHost::BP_LRVALUE(double value, const Format& format) {
  Text t;
  t.kind = Text::Kind::Number;
  t.number = value;
  t.format = format;
  return t;
}

Text ReferenceHost::BP_IVALUE(std::int64_t value, const Format& format) {
  Text t = BP_LRVALUE(static_cast<double>(value), format);
  t.is_integer = true;
  return t;
}

// ---- Formats ------------------------------------------------------------------

// The record is read without DICGET: the procedure may hold the record it
// loaded last and read it after asking for a format.
Format ReferenceHost::variable_format(FormatKind kind, std::int64_t v) {
  data_.settle();  // the print format of a column in memory may still be being measured
  const PrintFormat& f = slot(v, kind == FormatKind::Mean ? "BP_MEAN_FORMAT" : "BP_STDDEV_FORMAT").format;
  const int decimals = std::min(f.decimals + 2, 16);
  return Format{kind, 5, std::max(f.width + 2, 8), decimals};
}

Format ReferenceHost::BP_N_FORMAT() const { return Format{FormatKind::Count, 5, 8, 0}; }

Format ReferenceHost::BP_MEAN_FORMAT(Workspace&, std::int64_t v, int) { return variable_format(FormatKind::Mean, v); }

Format ReferenceHost::BP_STDDEV_FORMAT(Workspace&, std::int64_t v, int) {
  return variable_format(FormatKind::StdDev, v);
}

Format ReferenceHost::BP_CORRELATION_FORMAT() const { return Format{FormatKind::Correlation, 5, 8, 3}; }

Format ReferenceHost::BP_GENSTAT_FORMAT() const { return Format{FormatKind::GenStat, 5, 8, 3}; }

Format ReferenceHost::BP_SIGNIFICANCE_FORMAT() const { return Format{FormatKind::Significance, 5, 8, 3}; }

Format ReferenceHost::BP_PERCENT_NS_FORMAT() const { return Format{FormatKind::PercentNS, 5, 8, 1}; }

Format ReferenceHost::DIFENC(int type, int width, int decimals) const {
  return Format{FormatKind::Print, type, width, std::clamp(decimals, 0, 16)};
}

// ---- Pivot tables -------------------------------------------------------------

// Table numbers are announced for hosts that reserve a place for each table
// ahead of time; this host places a table where it is begun, so the
// announcements need no record.
void ReferenceHost::BP_TABLE_ID(int) {}

void ReferenceHost::BP_BEGIN_PIVOT_TABLE(int number, const Text& title, const Text& subtype) {
  guarded("BP_BEGIN_PIVOT_TABLE", [&] {
    output_.begin_table(number, title, subtype);
    output_.describe_group(number, group_cases_, weight_var() > 0);
  });
}

void ReferenceHost::BP_END_PIVOT_TABLE(int number) {
  guarded("BP_END_PIVOT_TABLE", [&] { output_.end_table(number); });
}

void ReferenceHost::BP_TABLE_PROPERTY(int number, int property, const Text& value) {
  guarded("BP_TABLE_PROPERTY", [&] { output_.table_property(number, property, value); });
}

void ReferenceHost::BP_BEGIN_HEADING(const Text& text) {
  guarded("BP_BEGIN_HEADING", [&] { output_.begin_heading(text); });
}

void ReferenceHost::BP_END_HEADING() {
  guarded("BP_END_HEADING", [&] { output_.end_heading(); });
}

void ReferenceHost::BP_POSITION_DIMENSION(int number, const Text& name, Placement placement) {
  guarded("BP_POSITION_DIMENSION", [&] { output_.position_dimension(number, name, placement); });
}

// Table 1 (Files Saved) is the host's own: what the procedure gives it is
// kept and shown at the end of the procedure for the files it kept.
void ReferenceHost::BP_CELL_DIMENSION(int number, const Text& name) {
  if (number == OutputDocument::kFilesSavedTable) {
    saved_dimension_ = name;
    return;
  }
  guarded("BP_CELL_DIMENSION", [&] { output_.cell_dimension(number, name); });
}

void ReferenceHost::BP_CATEGORY_DIMENSION(int number, const Text& category, const Text& dimension) {
  guarded("BP_CATEGORY_DIMENSION", [&] { output_.category(number, category, dimension); });
}

void ReferenceHost::BP_BEGIN_GROUP(int number, const Text& group, const Text& dimension) {
  if (number == OutputDocument::kFilesSavedTable) {
    saved_group_ = group;
    return;
  }
  guarded("BP_BEGIN_GROUP", [&] { output_.begin_group(number, group, dimension); });
}

void ReferenceHost::BP_END_GROUP(int number, const Text& dimension) {
  if (number == OutputDocument::kFilesSavedTable) return;
  guarded("BP_END_GROUP", [&] { output_.end_group(number, dimension); });
}

void ReferenceHost::BP_UNGROUP(int number) {
  guarded("BP_UNGROUP", [&] { output_.ungroup(number); });
}

void ReferenceHost::BP_CELL_IN_CATEGORY(int number, const Text& value, const Text& category) {
  if (number == OutputDocument::kFilesSavedTable) {
    guarded("BP_CELL_IN_CATEGORY", [&] {
      if (spec_read_ == 0) throw std::logic_error("a Files Saved entry names no saved file");
      saved_entries_.push_back({spec_read_, category, value, saved_.path(spec_read_)});
    });
    return;
  }
  guarded("BP_CELL_IN_CATEGORY", [&] { output_.cell(number, value, category); });
}

void ReferenceHost::BP_CELLS_IN_CATEGORIES(int number, std::span<const Text* const> values,
                                           std::span<const Text> categories) {
  if (values.size() != categories.size()) ASSERT("BP_CELLS_IN_CATEGORIES", "values and categories differ in number");
  if (number == OutputDocument::kFilesSavedTable) {
    // The host's own table keeps its entries one by one.
    for (std::size_t k = 0; k < values.size(); ++k) BP_CELL_IN_CATEGORY(number, *values[k], categories[k]);
    return;
  }
  guarded("BP_CELLS_IN_CATEGORIES", [&] { output_.cells(number, values, categories); });
}

void ReferenceHost::BP_ANNOTATE(const Text& text, AnnotationCode code) {
  guarded("BP_ANNOTATE", [&] { output_.annotate(text, static_cast<int>(code)); });
}

}  // namespace mva::host
