// Tests of the English message catalogue: its order (the look-up is a binary
// search), and that every text keeps the placeholders and repeat groups of its
// key, so that no parameter is lost or invented in translation. That every key
// the procedure and the host pass has a text is checked by scanning their
// sources (tests/mva/catalogue_coverage_test.cpp).
#include "host/output/catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace mva::host {
namespace {

// The `^n` placeholders outside repeat groups, and the repeat groups
// (`[...]n`, verbatim) of a key or text.
struct Slots {
  std::multiset<int> placeholders;
  std::vector<std::string> groups;
};

Slots slots_of(std::string_view s) {
  Slots out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == '[') {
      const std::size_t close = s.find(']', i);
      if (close != std::string_view::npos && close + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[close + 1]))) {
        std::size_t end = close + 1;
        while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
        out.groups.emplace_back(s.substr(i, end - i));
        i = end - 1;
      }
    } else if (s[i] == '^' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
      std::size_t end = i + 1;
      int n = 0;
      while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) n = n * 10 + (s[end++] - '0');
      out.placeholders.insert(n);
      i = end - 1;
    }
  }
  return out;
}

TEST(Catalogue, SortedUniqueAndComplete) {
  const auto entries = english_catalogue();
  ASSERT_GT(entries.size(), 200u);
  for (std::size_t i = 1; i < entries.size(); ++i) {
    EXPECT_LT(entries[i - 1].key, entries[i].key) << "out of order or repeated: " << entries[i].key;
  }
  for (const CatalogueEntry& entry : entries) {
    EXPECT_FALSE(entry.text.empty()) << entry.key;
    ASSERT_TRUE(english_text(entry.key).has_value()) << entry.key;
    EXPECT_EQ(*english_text(entry.key), entry.text);
  }
  EXPECT_FALSE(english_text("NO SUCH KEY").has_value());
  EXPECT_FALSE(english_text("").has_value());
}

TEST(Catalogue, TextsKeepPlaceholdersAndRepeatGroups) {
  for (const CatalogueEntry& entry : english_catalogue()) {
    const Slots key = slots_of(entry.key);
    const Slots text = slots_of(entry.text);
    EXPECT_EQ(std::set<int>(key.placeholders.begin(), key.placeholders.end()),
              std::set<int>(text.placeholders.begin(), text.placeholders.end()))
        << entry.key << " -> " << entry.text;
    EXPECT_EQ(key.groups, text.groups) << entry.key << " -> " << entry.text;
  }
}

TEST(Catalogue, KeysWithALineBreakAreFoundEitherWay) {
  const auto escaped = english_text("POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES");
  ASSERT_TRUE(escaped.has_value());
  EXPECT_EQ(english_text("POUT_ + HIGH VALUES \n - LOW VALUES WITH HINGES"), escaped);
}

}  // namespace
}  // namespace mva::host
