// Reading a pivot table's numbers by category. The tables the pictures read
// are small (a row per variable or per pattern), except the per-case pattern
// tables, which missing_matrix.cpp reads cell by cell instead.
#include "host/output/table_numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "host/output/text_display.h"

namespace mva::host {
namespace {

bool less_at(const CellAt& a, const CellAt& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

void collect(const Dimension& dim, int parent, std::vector<int>& out) {
  for (const int c : dim.children_of(parent)) {
    if (dim.categories[static_cast<std::size_t>(c)].children.empty()) {
      out.push_back(c);
    } else {
      collect(dim, c, out);
    }
  }
}

void walk(const std::vector<Item>& items, int& command, int& group, std::vector<TablePlace>& out) {
  for (const Item& item : items) {
    if (std::holds_alternative<CommandItem>(item.content)) {
      ++command;
      group = 0;
    } else if (std::holds_alternative<SplitItem>(item.content)) {
      ++group;
    } else if (const auto* heading = std::get_if<HeadingItem>(&item.content)) {
      walk(heading->items, command, group, out);
    } else if (const auto* table = std::get_if<TableItem>(&item.content)) {
      out.push_back({table->table, command, group});
    }
  }
}

}  // namespace

TableNumbers::TableNumbers(const PivotTable& table) : table_(table) {}

int TableNumbers::dimension(std::string_view key) const {
  for (std::size_t d = 0; d < table_.dimensions.size(); ++d) {
    if (key_of(table_.dimensions[d].name) == key) return static_cast<int>(d);
  }
  return -1;
}

std::vector<int> TableNumbers::leaves(int d) const {
  std::vector<int> out;
  if (d >= 0) collect(table_.dimensions[static_cast<std::size_t>(d)], -1, out);
  return out;
}

std::vector<int> TableNumbers::leaves_under(int d, std::string_view group_key) const {
  std::vector<int> out;
  const int group = find(d, group_key);
  if (group >= 0) collect(table_.dimensions[static_cast<std::size_t>(d)], group, out);
  return out;
}

int TableNumbers::find(int d, std::string_view key) const {
  if (d < 0) return -1;
  const Dimension& dim = table_.dimensions[static_cast<std::size_t>(d)];
  for (std::size_t c = 0; c < dim.categories.size(); ++c) {
    if (key_of(dim.categories[c].label) == key) return static_cast<int>(c);
  }
  return -1;
}

const std::string& TableNumbers::label(int d, int category) const {
  return table_.dimensions[static_cast<std::size_t>(d)].categories[static_cast<std::size_t>(category)].text;
}

const Text* TableNumbers::value(const std::vector<int>& at) const {
  if (at.size() != table_.dimensions.size()) return nullptr;
  if (index_.size() != table_.cells.size()) {
    index_.resize(table_.cells.size());
    for (std::size_t i = 0; i < index_.size(); ++i) index_[i] = i;
    std::sort(index_.begin(), index_.end(),
              [&](std::size_t a, std::size_t b) { return less_at(table_.cells[a].at, table_.cells[b].at); });
  }
  const CellAt wanted(at.data(), at.size());
  const auto it = std::lower_bound(index_.begin(), index_.end(), wanted,
                                   [&](std::size_t i, const CellAt& w) { return less_at(table_.cells[i].at, w); });
  if (it == index_.end() || less_at(wanted, table_.cells[*it].at)) return nullptr;
  return &table_.cells[*it].value;
}

double TableNumbers::number(const std::vector<int>& at) const {
  const Text* text = value(at);
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (text == nullptr) return kNone;
  const bool numeric =
      text->kind == Text::Kind::Number || (text->kind == Text::Kind::VarValue && text->format.type != 1);
  if (!numeric || is_system_missing(text->number)) return kNone;
  return text->number;
}

std::string title_key(const PivotTable& table) { return key_of(table.title); }

std::vector<TablePlace> table_places(const OutputDocument& document) {
  std::vector<TablePlace> out;
  int command = 0;
  int group = 0;
  walk(document.items(), command, group, out);
  return out;
}

}  // namespace mva::host
