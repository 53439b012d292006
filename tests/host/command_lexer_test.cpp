// Tests for reading command scripts into commands and tokens: every token
// kind, where commands end, comments, positions and the errors.
#include "host/commands/command_lexer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace mva::host {
namespace {

// One line per script: each token as a short word, commands split by " | ".
//   names as upper-cased text (WITH as <WITH>), numbers as #typed=value,
//   strings as s[contents], known specials as their character, other
//   characters as ?c, and the end of a command as <end>.
std::string render(const std::vector<Command>& commands) {
  std::ostringstream out;
  for (std::size_t c = 0; c < commands.size(); ++c) {
    if (c > 0) out << " | ";
    bool first = true;
    for (const Token& t : commands[c].tokens) {
      if (!first) out << ' ';
      first = false;
      switch (t.kind) {
        case TokenKind::Name: out << (t.symbol == Symbol::With ? "<WITH>" : t.text); break;
        case TokenKind::Number: out << '#' << t.text << '=' << t.number; break;
        case TokenKind::String: out << "s[" << t.text << ']'; break;
        case TokenKind::Special: out << (t.symbol == Symbol::Other ? "?" : "") << t.text; break;
        case TokenKind::End: out << "<end>"; break;
      }
    }
  }
  return out.str();
}

TEST(CommandLexer, TokensAndCommandBoundaries) {
  struct Row {
    std::string script;
    std::string expected;
  };
  const Row rows[] = {
      {"MVA age income /EM.", "MVA AGE INCOME / EM <end>"},
      {"mva Age /maxcat=2.50 /percent=-1.\n", "MVA AGE / MAXCAT = #2.50=2.5 / PERCENT = #-1=-1 <end>"},
      // A sign after an operand is an operator; after anything else it signs the number.
      {"MVA a-1 b - 1 (-1) x(1)-2 (1)+2 =+.5 = -x.",
       "MVA A ?- #1=1 B ?- #1=1 ( #-1=-1 ) X ( #1=1 ) ?- #2=2 ( #1=1 ) ?+ #2=2 = #+.5=0.5 = ?- X <end>"},
      {"MVA 'a'-1 2-1.", "MVA s[a] ?- #1=1 #2=2 ?- #1=1 <end>"},
      {"MVA = .5 1e-3 1.5E+2 5. 7e x 3abc 1.2.3.",
       "MVA = #.5=0.5 #1e-3=0.001 #1.5E+2=150 #5.=5 #7=7 E X #3=3 ABC #1.2=1.2 #.3=0.3 <end>"},
      // Too small for a double: the nearest one, subnormal or zero.
      {"MVA = 1e-320 = -1e-400.", "MVA = #1e-320=9.99989e-321 = #-1e-400=0 <end>"},
      // The period that ends a line ends the command and belongs to no token.
      {"MVA a b.c /EM.   \n", "MVA A B.C / EM <end>"},
      {"MVA /n=5.\t\n", "MVA / N = #5=5 <end>"},
      // A period inside a line does not end the command.
      {"MVA a. b\n /EM.", "MVA A. B / EM <end>"},
      {"MVA a . b.", "MVA A ?. B <end>"},
      {"MVA a. MVA b.", "MVA A. MVA B <end>"},
      {"MVA 'it''s here' \"say \"\"hi\"\"\" 'a\"b' ''.",
       "MVA s[it's here] s[say \"hi\"] s[a\"b] s[] <end>"},
      {"MVA 'ends with a period.'\n", "MVA s[ends with a period.] <end>"},
      {"MVA a with b WITHIN.", "MVA A <WITH> B WITHIN <end>"},
      {"* comment.\n\nMVA a.\n* another\n\n   \nMVA b\n  /EM.\n", "MVA A <end> | MVA B / EM <end>"},
      {"MVA a\n* a note inside the command.\n b.", "MVA A B <end>"},
      {"MVA a * b\n * c.", "MVA A * B * C <end>"},
      {"MVA a b", "MVA A B <end>"},
      {"MVA a.\nMVA b\n", "MVA A <end> | MVA B <end>"},
      {"MVA a.\r\nMVA b.\r\n", "MVA A <end> | MVA B <end>"},
      {".\nMVA a.", "MVA A <end>"},
      {"", ""},
      {"* only a comment\n\n", ""},
      {"MVA @x #y $z _w v1.2_3 x@#$.", "MVA @X #Y $Z _W V1.2_3 X@#$ <end>"},
      {"MVA a & b ; c ! d < e.", "MVA A ?& B ?; C ?! D ?< E <end>"},
      {"MVA\ta\t/EM .", "MVA A / EM <end>"},
      {"\xEF\xBB\xBFMVA a.", "MVA A <end>"},
      {"MVA caf\xC3\xA9 b.", "MVA CAF\xC3\xA9 B <end>"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(render(split_commands(row.script, "t.mva")), row.expected) << "script: " << row.script;
  }
}

TEST(CommandLexer, TypedTextsPositionsAndSources) {
  const auto commands = split_commands("* header\nMVA age\n  /MaxCat=2.50 'x''y'  .\n\nmva b", "job.mva");
  ASSERT_EQ(commands.size(), 2u);
  const Command& c = commands[0];
  EXPECT_EQ(c.source_name, "job.mva");
  EXPECT_EQ(c.first_line, 2);
  struct Expect {
    TokenKind kind;
    std::string text, typed;
    int line, column;
  };
  const Expect expected[] = {
      {TokenKind::Name, "MVA", "MVA", 2, 1},       {TokenKind::Name, "AGE", "age", 2, 5},
      {TokenKind::Special, "/", "/", 3, 3},        {TokenKind::Name, "MAXCAT", "MaxCat", 3, 4},
      {TokenKind::Special, "=", "=", 3, 10},       {TokenKind::Number, "2.50", "2.50", 3, 11},
      {TokenKind::String, "x'y", "'x''y'", 3, 16}, {TokenKind::End, "", ".", 3, 24},
  };
  ASSERT_EQ(c.tokens.size(), std::size(expected));
  for (std::size_t i = 0; i < c.tokens.size(); ++i) {
    const Token& t = c.tokens[i];
    SCOPED_TRACE("token " + std::to_string(i + 1));
    EXPECT_EQ(t.kind, expected[i].kind);
    EXPECT_EQ(t.text, expected[i].text);
    EXPECT_EQ(t.typed, expected[i].typed);
    EXPECT_EQ(t.line, expected[i].line);
    EXPECT_EQ(t.column, expected[i].column);
  }
  EXPECT_EQ(c.tokens[2].symbol, Symbol::Slash);
  EXPECT_EQ(c.tokens[4].symbol, Symbol::Equals);
  EXPECT_DOUBLE_EQ(c.tokens[5].number, 2.5);

  // A command ended by the end of the script gets its End after its last token.
  const Command& d = commands[1];
  EXPECT_EQ(d.first_line, 5);
  ASSERT_EQ(d.tokens.size(), 3u);
  EXPECT_EQ(d.tokens[2].kind, TokenKind::End);
  EXPECT_EQ(d.tokens[2].line, 5);
  EXPECT_EQ(d.tokens[2].column, 6);
}

TEST(CommandLexer, ErrorsNameSourceLineAndColumn) {
  struct Row {
    std::string script;
    std::string message;
  };
  const Row rows[] = {
      {"MVA a\n /OUT='abc\n", "s.mva:2:7: unterminated string"},
      {"MVA 'abc\ndef'.", "s.mva:1:5: unterminated string"},
      {"MVA \"it\"\"s", "s.mva:1:5: unterminated string"},
      {"MVA a\x01 b.", "s.mva:1:6: unexpected control character 1"},
      {"MVA a.\n\nMVA \x7f.", "s.mva:3:5: unexpected control character 127"},
      {"MVA 1e999.", "s.mva:1:5: number out of range: 1e999"},
      // A long token is not repeated in full.
      {"MVA " + std::string(5000, '9') + "e999.", "s.mva:1:5: number out of range: " + std::string(30, '9') +
                                                     "... (5004 characters)"},
  };
  for (const Row& row : rows) {
    try {
      split_commands(row.script, "s.mva");
      ADD_FAILURE() << "no error for: " << row.script;
    } catch (const CommandError& e) {
      EXPECT_EQ(std::string(e.what()), row.message);
      const std::runtime_error& base = e;  // callers may catch it as a runtime_error
      EXPECT_STREQ(base.what(), e.what());
    }
  }
}

}  // namespace
}  // namespace mva::host
