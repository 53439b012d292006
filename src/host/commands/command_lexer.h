// Splits a command script into commands and each command into tokens. A
// script holds one or more commands; a command ends with a period that is the
// last non-blank character of its line, or with the end of the script. Lines
// whose first character is "*" are comments. The tokens are the ones the
// token stacks hand to the procedure: names (upper-cased, WITH marked as the
// reserved word), numbers (kept as typed), quoted strings and special symbols,
// each with the line and column where it starts.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/data/number_text.h"  // shortened, which messages quote tokens with
#include "mva/frame/host/types.h"

namespace mva::host {

// A script that cannot be read into tokens; the message names the source,
// line and column ("source:line:column: what").
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Command {
  std::vector<Token> tokens;  // ends with exactly one TokenKind::End token
  std::string source_name;    // the script's name, for messages
  int first_line = 0;         // line of the command's first token
  // The command as typed: its lines from the first token to the period that
  // ends it (or its last token), comment lines left out, blanks and line
  // ends at the right of each line trimmed; later lines keep their indent.
  std::string text;
};

// Reads every command of `script`. Commands without any token (a lone period)
// are skipped; a script of comments and blank lines gives no command. Throws
// CommandError on an unterminated string or a character that cannot start a
// token, and when the script holds more than `max_commands` commands or
// `max_tokens` tokens (so that a runaway script is refused before it is run
// or even read whole).
std::vector<Command> split_commands(std::string_view script, std::string_view source_name,
                                    std::size_t max_commands = SIZE_MAX, std::size_t max_tokens = SIZE_MAX);

}  // namespace mva::host
