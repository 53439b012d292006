// Variable-list reading: walks the token stack item by item, collecting
// dictionary indices and stopping at the first fault with the offending token
// current. TO is taken as the range keyword whenever it follows a variable
// name; at the start of an item it names a variable only if one is called TO.
#include "host/commands/variable_list.h"

#include <stdexcept>
#include <utility>

namespace mva::host {
namespace {

bool ends_list(const Token& t, const ListOptions& options) {
  if (t.kind == TokenKind::End) return true;
  if (t.kind == TokenKind::Special && static_cast<int>(t.symbol) == options.terminator) return true;
  const bool paren = t.kind == TokenKind::Special && t.symbol == Symbol::LeftParen;
  if (options.list == 3) return paren || t.symbol == Symbol::With;
  if (options.list == 2) return paren;
  return false;
}

bool is_plain_name(const Token& t) { return t.kind == TokenKind::Name && t.symbol != Symbol::With; }

class ListReader {
 public:
  ListReader(TokenStream& stream, StackHandle handle, const ListOptions& options, const DictionaryView& dictionary)
      : stream_(stream),
        handle_(handle),
        options_(options),
        dictionary_(dictionary),
        seen_(static_cast<std::size_t>(dictionary.size > 0 ? dictionary.size + 1 : 1), 0) {}

  ListResult run() {
    if (ends_list(stream_.current(), options_)) {
      const Token& t = stream_.current();
      fault(kListExpected, {t.kind == TokenKind::End ? std::string("end of command") : t.typed});
      return std::move(result_);
    }
    bool after_item = false;
    while (!ends_list(stream_.current(), options_)) {
      const Token& t = stream_.current();
      if (after_item && t.kind == TokenKind::Special && t.symbol == Symbol::Comma) {
        after_item = false;
        stream_.next(handle_);
        continue;
      }
      if (!read_item()) break;
      after_item = true;
    }
    return std::move(result_);
  }

 private:
  void fault(std::string_view key, std::vector<std::string> params) {
    result_.fault = ListFault{std::string(key), std::move(params)};
  }

  // Takes one variable; false after a fault.
  bool add(std::int64_t v) {
    if (v < 1 || v > dictionary_.size) {
      throw std::logic_error("dictionary view returned index " + std::to_string(v) + " outside 1.." +
                             std::to_string(dictionary_.size));
    }
    char& seen = seen_[static_cast<std::size_t>(v)];
    if (seen) {
      if (options_.duplicates == 2) {
        fault(kNamedTwice, {dictionary_.name(v)});
        return false;
      }
      if (options_.duplicates == 3) return true;
    }
    seen = 1;
    result_.indices.push_back(v);
    return true;
  }

  // Reads ALL, a name, or a TO range starting at the current token and leaves
  // the token after it current; false after a fault.
  bool read_item() {
    const Token first = stream_.current();
    if (!is_plain_name(first)) {
      fault(kUnexpectedInList, {first.typed});
      return false;
    }
    const std::int64_t v = dictionary_.find(first.text);
    if (v == 0 && first.text == "ALL") {
      for (std::int64_t k = 1; k <= dictionary_.size; ++k) {
        if (dictionary_.is_variable(k) && !add(k)) return false;
      }
      stream_.next(handle_);
      return true;
    }
    if (v == 0) {
      fault(first.text == "TO" ? kUnexpectedInList : kUnknownVariable, {first.typed});
      return false;
    }
    if (!add(v)) return false;
    stream_.next(handle_);
    if (!(stream_.current().kind == TokenKind::Name && stream_.current().text == "TO")) return true;

    const std::int64_t to_position = stream_.position();
    const Token to = stream_.current();
    stream_.next(handle_);
    const Token last = stream_.current();
    if (!is_plain_name(last)) {
      stream_.set_position(handle_, to_position - 1);  // leave the TO current
      stream_.next(handle_);
      fault(kUnexpectedInList, {to.typed});
      return false;
    }
    const std::int64_t w = dictionary_.find(last.text);
    if (w == 0) {
      fault(kUnknownVariable, {last.typed});
      return false;
    }
    if (w < v) {
      fault(kReversedRange, {first.typed, last.typed});
      return false;
    }
    for (std::int64_t k = v + 1; k <= w; ++k) {
      if (dictionary_.is_variable(k) && !add(k)) return false;
    }
    stream_.next(handle_);
    return true;
  }

  TokenStream& stream_;
  StackHandle handle_;
  const ListOptions& options_;
  const DictionaryView& dictionary_;
  std::vector<char> seen_;  // by dictionary index: already in the list
  ListResult result_;
};

}  // namespace

ListResult read_variable_list(TokenStream& stream, StackHandle handle, const ListOptions& options,
                              const DictionaryView& dictionary) {
  return ListReader(stream, handle, options, dictionary).run();
}

}  // namespace mva::host
