// Checks on an output document that hold for every input.
#include "fuzz/entries/output_check.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "host/output/renderers.h"

namespace mva::fuzz {

namespace {

// Whether a text, or a text inside it, carries a number that is not finite.
bool has_nonfinite(const Text& text) {
  const bool numeric = text.kind == Text::Kind::Number || text.kind == Text::Kind::VarValue;
  if (numeric && !std::isfinite(text.number)) return true;
  for (const Text& p : text.params) {
    if (has_nonfinite(p)) return true;
  }
  return false;
}

void check_items(const host::OutputDocument& document, const std::vector<host::Item>& items,
                 std::vector<std::string>& found) {
  for (const host::Item& item : items) {
    if (const auto* message = std::get_if<host::MessageItem>(&item.content)) {
      if (has_nonfinite(message->text)) found.push_back("message " + message->text.key);
    } else if (const auto* heading = std::get_if<host::HeadingItem>(&item.content)) {
      check_items(document, heading->items, found);
    } else if (const auto* table_item = std::get_if<host::TableItem>(&item.content)) {
      const host::PivotTable& table = document.table(table_item->table);
      const std::string name = "table " + std::to_string(table.number);
      for (std::size_t c = 0; c < table.cells.size(); ++c) {
        if (has_nonfinite(table.cells[c].value)) found.push_back(name + " cell " + std::to_string(c));
      }
      for (const auto& [property, value] : table.properties) {
        if (has_nonfinite(value)) found.push_back(name + " property " + std::to_string(property));
      }
      for (const host::Dimension& dimension : table.dimensions) {
        for (const host::Category& category : dimension.categories) {
          if (has_nonfinite(category.label)) found.push_back(name + " category");
        }
      }
    }
  }
}

}  // namespace

std::vector<std::string> nonfinite_numbers(const host::OutputDocument& document) {
  std::vector<std::string> found;
  check_items(document, document.items(), found);
  return found;
}

void check_output(const host::OutputDocument& document) {
  const std::vector<std::string> found = nonfinite_numbers(document);
  if (!found.empty()) {
    std::fprintf(stderr, "fuzz check failed: a number that is not finite in %s\n", found.front().c_str());
    std::abort();
  }
  host::render_text(document);
  host::render_markdown(document);
  host::render_html(document);
  const std::string json = host::render_json(document);
  if (!nlohmann::json::accept(json)) {
    std::fprintf(stderr, "fuzz check failed: the JSON output does not parse\n");
    std::abort();
  }
}

}  // namespace mva::fuzz
