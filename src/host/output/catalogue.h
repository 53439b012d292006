// The English message catalogue of the reference host: the text shown for
// every message key the procedure and the host can pass. Keys are matched
// byte for byte; their `^n` placeholders and repeat groups stay in the texts,
// which text_display.cpp fills in.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace mva::host {

struct CatalogueEntry {
  std::string_view key;
  std::string_view text;
};

// The text for `key`, or nothing when the catalogue has no such key.
std::optional<std::string_view> english_text(std::string_view key);

// Every entry, sorted by key (byte order), each key once.
std::span<const CatalogueEntry> english_catalogue();

}  // namespace mva::host
