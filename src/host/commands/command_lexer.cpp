// Command script reader: cuts a script into lines, drops comment lines, and
// turns the rest into tokens, closing a command at a period that ends its
// line. Strings do not run past the end of their line. Characters at or above
// 0x80 count as letters so that UTF-8 names stay whole; case folding is ASCII.
#include "host/commands/command_lexer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace mva::host {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
bool starts_name(char c) { return is_letter(c) || c == '@' || c == '#' || c == '$' || c == '_'; }
bool continues_name(char c) { return starts_name(c) || is_digit(c) || c == '.'; }
bool is_control(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

Symbol special_symbol(char c) {
  switch (c) {
    case '=': return Symbol::Equals;
    case '*': return Symbol::Asterisk;
    case '/': return Symbol::Slash;
    case ',': return Symbol::Comma;
    case '(': return Symbol::LeftParen;
    case ')': return Symbol::RightParen;
    default: return Symbol::Other;
  }
}

class Lexer {
 public:
  Lexer(std::string_view script, std::string_view source, std::size_t max_commands, std::size_t max_tokens)
      : script_(script), source_(source), max_commands_(max_commands), max_tokens_(max_tokens) {}

  std::vector<Command> run() {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string_view rest = script_;
    if (rest.starts_with(kByteOrderMark)) rest.remove_prefix(kByteOrderMark.size());
    int line_no = 0;
    while (!rest.empty()) {
      ++line_no;
      const auto newline = rest.find('\n');
      const std::string_view line = rest.substr(0, newline);
      rest = newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
      if (!line.empty() && line.front() == '*') continue;  // comment line
      lines_.emplace_back(line_no, line);
      lex_line(line, line_no);
    }
    if (!open_.tokens.empty()) {
      const Token& last = open_.tokens.back();
      close_command(last.line, last.column + static_cast<int>(last.typed.size()), "");
    }
    return std::move(commands_);
  }

 private:
  [[noreturn]] void fail(int line, int column, const std::string& what) const {
    throw CommandError(std::string(source_) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what);
  }

  // A period ends the command when only blanks follow it on its line.
  static bool ends_command(std::string_view line, std::size_t i) {
    if (line[i] != '.') return false;
    for (std::size_t k = i + 1; k < line.size(); ++k) {
      if (!is_blank(line[k])) return false;
    }
    return true;
  }

  // A sign belongs to a number unless it follows an operand ("a-1", ")-1").
  bool sign_may_start_number() const {
    if (open_.tokens.empty()) return true;
    const Token& prev = open_.tokens.back();
    switch (prev.kind) {
      case TokenKind::Name:
      case TokenKind::Number:
      case TokenKind::String: return false;
      default: return prev.symbol != Symbol::RightParen;
    }
  }

  static bool digit_at(std::string_view line, std::size_t i) { return i < line.size() && is_digit(line[i]); }

  void add(Token token, int line, int column) {
    // A token takes many times the bytes of its text: a runaway script is
    // refused before its tokens outgrow the memory a run may take.
    if (++tokens_ > max_tokens_) {
      fail(line, column,
           "more than " + std::to_string(max_tokens_) +
               " words and symbols in one run; a larger --workspace allows more");
    }
    token.line = line;
    token.column = column;
    if (open_.tokens.empty()) {
      open_.source_name = std::string(source_);
      open_.first_line = line;
    }
    open_.tokens.push_back(std::move(token));
  }

  void close_command(int line, int column, std::string typed) {
    if (open_.tokens.empty()) return;  // a lone period: nothing to run
    if (commands_.size() == max_commands_) {
      const Token& first = open_.tokens.front();
      fail(first.line, first.column,
           "more than " + std::to_string(max_commands_) +
               " commands in one run; split the script and run the parts one by one");
    }
    Token end;
    end.kind = TokenKind::End;
    end.typed = std::move(typed);
    add(std::move(end), line, column);
    open_.text = typed_text(open_.tokens.front(), line);
    commands_.push_back(std::move(open_));
    open_ = Command{};
  }

  // The lines read so far from the one `first` stands on through line
  // `last`, the first from `first` on, each trimmed at the right. Lines are
  // dropped from lines_ once taken: the next command starts after them.
  std::string typed_text(const Token& first, int last) {
    std::string text;
    std::size_t k = 0;
    while (k < lines_.size() && lines_[k].first < first.line) ++k;
    for (bool first_line = true; k < lines_.size() && lines_[k].first <= last; ++k, first_line = false) {
      std::string_view line = lines_[k].second;
      if (first_line) line.remove_prefix(static_cast<std::size_t>(first.column - 1));
      while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
      if (!first_line) text += '\n';
      text += line;
    }
    // The line that ends one command cannot hold the next one's tokens.
    lines_.clear();
    return text;
  }

  // Returns the end of the number starting at `i` (a sign, if any, included).
  static std::size_t scan_number(std::string_view line, std::size_t i) {
    std::size_t j = i;
    if (line[j] == '-' || line[j] == '+') ++j;
    while (digit_at(line, j)) ++j;
    if (j < line.size() && line[j] == '.' && !ends_command(line, j)) {
      ++j;
      while (digit_at(line, j)) ++j;
    }
    if (j < line.size() && (line[j] == 'e' || line[j] == 'E')) {
      std::size_t k = j + 1;
      if (k < line.size() && (line[k] == '-' || line[k] == '+')) ++k;
      if (digit_at(line, k)) {
        j = k;
        while (digit_at(line, j)) ++j;
      }
    }
    return j;
  }

  void lex_number(std::string_view text, int line, int column) {
    Token t;
    t.kind = TokenKind::Number;
    t.text = std::string(text);
    t.typed = t.text;
    std::string_view digits = text;
    if (digits.front() == '+') digits.remove_prefix(1);  // from_chars takes no '+'
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), t.number);
    if (ec == std::errc::result_out_of_range) {
      // Too small for a double: strtod gives the nearest, zero or subnormal;
      // too large stays an error.
      const double value = std::strtod(std::string(digits).c_str(), nullptr);
      if (!std::isfinite(value) || std::fabs(value) > 1.0)
        fail(line, column, "number out of range: " + shortened(t.text));
      t.number = value == 0.0 ? 0.0 : value;
    } else if (ec != std::errc{} || end != digits.data() + digits.size()) {
      fail(line, column, "malformed number: " + shortened(t.text));
    }
    add(std::move(t), line, column);
  }

  // Returns the end of the string starting with the quote at `i`.
  std::size_t lex_string(std::string_view line, std::size_t i, int line_no) {
    const char quote = line[i];
    Token t;
    t.kind = TokenKind::String;
    std::size_t j = i + 1;
    for (;;) {
      if (j >= line.size()) fail(line_no, static_cast<int>(i) + 1, "unterminated string");
      if (line[j] == quote) {
        if (j + 1 < line.size() && line[j + 1] == quote) {
          t.text += quote;
          j += 2;
          continue;
        }
        ++j;
        break;
      }
      t.text += line[j++];
    }
    t.typed = std::string(line.substr(i, j - i));
    add(std::move(t), line_no, static_cast<int>(i) + 1);
    return j;
  }

  void lex_line(std::string_view line, int line_no) {
    std::size_t i = 0;
    while (i < line.size()) {
      const char c = line[i];
      const int column = static_cast<int>(i) + 1;
      if (is_blank(c)) {
        ++i;
      } else if (ends_command(line, i)) {
        close_command(line_no, column, ".");
        return;
      } else if (starts_name(c)) {
        std::size_t j = i + 1;
        while (j < line.size() && continues_name(line[j]) && !ends_command(line, j)) ++j;
        Token t;
        t.kind = TokenKind::Name;
        t.typed = std::string(line.substr(i, j - i));
        t.text = upper(t.typed);
        if (t.text == "WITH") t.symbol = Symbol::With;
        add(std::move(t), line_no, column);
        i = j;
      } else if (is_digit(c) || (c == '.' && digit_at(line, i + 1)) ||
                 ((c == '-' || c == '+') && sign_may_start_number() &&
                  (digit_at(line, i + 1) || (i + 1 < line.size() && line[i + 1] == '.' && digit_at(line, i + 2))))) {
        const std::size_t j = scan_number(line, i);
        lex_number(line.substr(i, j - i), line_no, column);
        i = j;
      } else if (c == '\'' || c == '"') {
        i = lex_string(line, i, line_no);
      } else if (is_control(c)) {
        fail(line_no, column, "unexpected control character " + std::to_string(static_cast<unsigned char>(c)));
      } else {
        Token t;
        t.kind = TokenKind::Special;
        t.symbol = special_symbol(c);
        t.text = std::string(1, c);
        t.typed = t.text;
        add(std::move(t), line_no, column);
        ++i;
      }
    }
  }

  std::string_view script_;
  std::string_view source_;
  std::size_t max_commands_;
  std::size_t max_tokens_;
  std::size_t tokens_ = 0;  // tokens of the script so far
  Command open_;
  std::vector<Command> commands_;
  // The lines (number, text) not comments read since the last command ended.
  std::vector<std::pair<int, std::string_view>> lines_;
};

}  // namespace

std::vector<Command> split_commands(std::string_view script, std::string_view source_name, std::size_t max_commands,
                                    std::size_t max_tokens) {
  return Lexer(script, source_name, max_commands, max_tokens).run();
}

}  // namespace mva::host
