// The token stacks of the current command. The host loads each command's
// tokens once; the procedure asks for stacks (read pointers over the
// command's tokens, which every stack shares), steps through them and moves
// their read pointers back to positions it noted earlier. The token most recently
// stepped to, on any stack, is the current token. Also the two keyword and
// text helpers the procedure uses when it compares tokens.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "host/commands/command_lexer.h"
#include "mva/frame/host/types.h"

namespace mva::host {

class TokenStream {
 public:
  // Makes `command` the current command. Stacks of the previous command are
  // dropped; their handles are never handed out again.
  void load(Command command);

  // Opens a new stack over the command's tokens and returns its handle
  // (never 0). The read pointer is before the first token: `position` is set
  // to 0 and the next next() delivers token 1. The current token is unchanged.
  StackHandle stack(std::int64_t& position);

  // The next next() on `handle` delivers token position + 1; 0 <= position <=
  // number of tokens.
  void set_position(StackHandle handle, std::int64_t position);

  void drop(StackHandle handle);

  // Makes the next token of the stack current. Past the last token the End
  // token stays current.
  void next(StackHandle handle);

  // The current token; an End token before any next().
  const Token& current() const { return current_; }
  // 1-based position of the current token in its stack; 0 before any next().
  std::int64_t position() const { return current_position_; }

 private:
  struct Stack {
    std::int64_t read = 0;  // tokens delivered so far
  };
  Stack& find(StackHandle handle);

  bool loaded_ = false;
  std::vector<Token> tokens_;
  std::map<StackHandle, Stack> stacks_;
  StackHandle last_handle_ = 0;
  Token current_;
  std::int64_t current_position_ = 0;
};

// True when the first n characters of `token` and of `keyword`, each padded
// with blanks, are the same letters (case is ignored).
bool keyword_equal(std::string_view token, std::string_view keyword, int n);

// Length of `text` less its trailing blanks.
std::int64_t trimmed_length(std::string_view text);

}  // namespace mva::host
