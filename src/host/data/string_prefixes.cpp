// Values of a string variable that the procedure cannot tell apart: its
// categories are compared on the first cell of a string, 8 characters, so
// "Washington" and "Washingtonian" count as one. The data set finds such a
// pair for a note, in one pass over the variable's cells.
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "host/data/data_content.h"
#include "host/data/data_set.h"

namespace mva::host {

namespace {

constexpr std::size_t kCellBytes = sizeof(double);

std::string_view trimmed(std::string_view value) {
  const std::size_t end = value.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : value.substr(0, end + 1);
}

}  // namespace

std::optional<std::pair<std::string, std::string>> DataSet::values_sharing_first_cell(std::int64_t slot) const {
  const detail::DataContent& data = *content_;
  for (std::size_t c = 0; c < data.plans.size(); ++c) {
    const detail::ColumnPlan& plan = data.plans[c];
    if (static_cast<std::int64_t>(plan.cell) + 1 != slot) continue;
    // A value of at most one cell is its own category.
    if (plan.width <= static_cast<int>(kCellBytes)) return std::nullopt;
    const auto* bytes = reinterpret_cast<const char*>(data.cells[c].get());
    const std::size_t stride = static_cast<std::size_t>(plan.cells) * kCellBytes;
    const auto width = static_cast<std::size_t>(plan.width);
    // The first value met with each first cell; a later value with the same
    // first cell that differs from it is the pair.
    std::unordered_map<std::string_view, std::string_view> first_of;
    for (std::int64_t i = 0; i < data.cases; ++i) {
      const std::string_view value(bytes + static_cast<std::size_t>(i) * stride, width);
      const std::string_view full = trimmed(value);
      const auto [it, added] = first_of.try_emplace(value.substr(0, kCellBytes), full);
      if (!added && it->second != full) return std::make_pair(std::string(it->second), std::string(full));
    }
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace mva::host
