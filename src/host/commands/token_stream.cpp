// Token stacks over the current command, and the keyword comparison and
// trimmed-length helpers. Handles count up and are never reused, so a handle
// kept past drop() or load() is caught rather than reaching another stack.
#include "host/commands/token_stream.h"

#include <stdexcept>
#include <string>

namespace mva::host {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

char padded_at(std::string_view s, int i) {
  return static_cast<std::size_t>(i) < s.size() ? upper(s[static_cast<std::size_t>(i)]) : ' ';
}

}  // namespace

void TokenStream::load(Command command) {
  tokens_ = std::move(command.tokens);
  if (tokens_.empty() || tokens_.back().kind != TokenKind::End) {
    throw std::logic_error("TokenStream::load: command does not end with an End token");
  }
  loaded_ = true;
  stacks_.clear();
  current_ = Token{};
  current_position_ = 0;
}

StackHandle TokenStream::stack(std::int64_t& position) {
  if (!loaded_) throw std::logic_error("TokenStream::stack: no command loaded");
  const StackHandle handle = ++last_handle_;
  stacks_.emplace(handle, Stack{0});
  position = 0;
  return handle;
}

TokenStream::Stack& TokenStream::find(StackHandle handle) {
  const auto it = stacks_.find(handle);
  if (it == stacks_.end()) {
    throw std::logic_error("token stack handle " + std::to_string(handle) + " is not open");
  }
  return it->second;
}

void TokenStream::set_position(StackHandle handle, std::int64_t position) {
  Stack& s = find(handle);
  if (position < 0 || position > static_cast<std::int64_t>(tokens_.size())) {
    throw std::logic_error("token position " + std::to_string(position) + " is outside the stack");
  }
  s.read = position;
}

void TokenStream::drop(StackHandle handle) {
  find(handle);
  stacks_.erase(handle);
}

void TokenStream::next(StackHandle handle) {
  Stack& s = find(handle);
  const auto size = static_cast<std::int64_t>(tokens_.size());
  if (s.read < size) ++s.read;
  current_ = tokens_[static_cast<std::size_t>(s.read - 1)];
  current_position_ = s.read;
}

bool keyword_equal(std::string_view token, std::string_view keyword, int n) {
  for (int i = 0; i < n; ++i) {
    if (padded_at(token, i) != padded_at(keyword, i)) return false;
  }
  return true;
}

std::int64_t trimmed_length(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? 0 : static_cast<std::int64_t>(last + 1);
}

}  // namespace mva::host
