// Reading command scripts: the lexer's tokens, command boundaries, positions
// and errors; the token stacks the procedure steps through; and the
// variable-list reader over a dictionary with a continuation slot.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <strings.h>

#include <sstream>

#include "host/commands/command_lexer.h"
#include "host/commands/token_stream.h"
#include "host/commands/variable_list.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

using Strings = std::vector<std::string>;

// One line per script, commands split by " | ": names upper-cased (WITH as
// <WITH>), numbers as #typed=value, strings as s[contents], specials as their
// character (?c when not a known one), the end of a command as <end>.
std::string render(const std::vector<Command>& commands) {
  std::ostringstream out;
  for (const Command& command : commands) {
    for (const Token& t : command.tokens) {
      out << (&t != &command.tokens.front() ? " " : &command != &commands.front() ? " | " : "");
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
  const std::pair<std::string, std::string> rows[] = {
      {"mva Age /maxcat=2.50 /percent=-1.\n", "MVA AGE / MAXCAT = #2.50=2.5 / PERCENT = #-1=-1 <end>"},
      // A sign after an operand is an operator; after anything else it signs the number.
      {"MVA a-1 b - 1 (-1) x(1)-2 (1)+2 =+.5 = -x.",
       "MVA A ?- #1=1 B ?- #1=1 ( #-1=-1 ) X ( #1=1 ) ?- #2=2 ( #1=1 ) ?+ #2=2 = #+.5=0.5 = ?- X <end>"},
      {"MVA 'a'-1 2-1.", "MVA s[a] ?- #1=1 #2=2 ?- #1=1 <end>"},
      {".\n* only a comment\n\n", ""},
      {"MVA = .5 1e-3 1.5E+2 5. 7e x 3abc 1.2.3.",
       "MVA = #.5=0.5 #1e-3=0.001 #1.5E+2=150 #5.=5 #7=7 E X #3=3 ABC #1.2=1.2 #.3=0.3 <end>"},
      // Too small for a double: the nearest one, subnormal or zero.
      {"MVA = 1e-320 = -1e-400.", "MVA = #1e-320=9.99989e-321 = #-1e-400=0 <end>"},
      // Only the period that ends a line ends the command; it belongs to no token.
      {"MVA a. b . c.d\n /EM.   \n", "MVA A. B ?. C.D / EM <end>"},
      {"MVA 'it''s here' \"say \"\"hi\"\"\" 'a\"b' '' 'a period.'\n",
       "MVA s[it's here] s[say \"hi\"] s[a\"b] s[] s[a period.] <end>"},
      {"MVA a with b WITHIN.", "MVA A <WITH> B WITHIN <end>"},
      {"MVA a.\r\nMVA b", "MVA A <end> | MVA B <end>"},
      {"* comment.\n\nMVA a.\n* another\n\n   \nMVA b\n  /EM.\n", "MVA A <end> | MVA B / EM <end>"},
      {"MVA a * b\n * c\n* a note inside the command.\n d.", "MVA A * B * C D <end>"},
      {"MVA @x #y $z _w v1.2_3 x@#$ & b ; c ! d < e.", "MVA @X #Y $Z _W V1.2_3 X@#$ ?& B ?; C ?! D ?< E <end>"},
      {"\xEF\xBB\xBFMVA\tcaf\xC3\xA9\t/EM .", "MVA CAF\xC3\xA9 / EM <end>"},
  };
  for (const auto& [script, expected] : rows) EXPECT_EQ(render(split_commands(script, "t.mva")), expected) << script;
}

TEST(CommandLexer, TypedTextsPositionsAndErrors) {
  const auto commands = split_commands("* header\nMVA age\n  /MaxCat=2.50 'x''y'  .\n\nmva b", "job.mva");
  EXPECT_EQ(commands.at(1).first_line, 5);
  std::vector<std::string> seen;
  for (const Command& c : commands) {
    for (const Token& t : c.tokens) seen.push_back(fmt::format("{}|{}@{}:{}", t.text, t.typed, t.line, t.column));
  }
  // A command ended by the end of the script gets its End after its last token.
  EXPECT_EQ(seen, (std::vector<std::string>{"MVA|MVA@2:1", "AGE|age@2:5", "/|/@3:3", "MAXCAT|MaxCat@3:4", "=|=@3:10",
                                            "2.50|2.50@3:11", "x'y|'x''y'@3:16", "|.@3:24", "MVA|mva@5:1", "B|b@5:5",
                                            "|@5:6"}));

  // The text of each command as typed: from its first token, comment lines
  // left out, blanks and line ends trimmed at the right, indents kept; a
  // blank line inside a command stays.
  const std::pair<std::string, Strings> texts[] = {
      {"* header\n  MVA age  \r\n* note\n    /EM (TDF=4) .\t\nmva b\n\n  /TTEST",
       {"MVA age\n    /EM (TDF=4) .", "mva b\n\n  /TTEST"}},
      {"\xEF\xBB\xBF.\n\n\n\tMVA a.\nMVA 'a.b'\n.\n", {"MVA a.", "MVA 'a.b'\n."}},
  };
  for (const auto& [script, expected] : texts) {
    Strings got;
    for (const Command& c : split_commands(script, "t.mva")) got.push_back(c.text);
    EXPECT_EQ(got, expected) << script;
  }

  const std::pair<std::string, std::string> errors[] = {
      {"MVA a\n /OUT='abc\n", "s.mva:2:7: unterminated string"},
      {"MVA 'abc\ndef'.", "s.mva:1:5: unterminated string"},
      {"MVA a.\n\nMVA \x7f.", "s.mva:3:5: unexpected control character 127"},
      {"MVA 1e999.", "s.mva:1:5: number out of range: 1e999"},
      // A long token is not repeated in full.
      {"MVA " + std::string(5000, '9') + "e999.",
       "s.mva:1:5: number out of range: " + std::string(30, '9') + "... (5004 characters)"},
  };
  for (const auto& [script, message] : errors) {
    EXPECT_EQ(test::error_of([&] { split_commands(script, "s.mva"); }), message) << script;
  }
}

Command one_command(std::string_view script) { return split_commands(script, "t.mva").at(0); }

TEST(TokenStream, StepsRewindsRepeatsEndAndChecksHandles) {
  TokenStream ts;
  std::int64_t position = -7;
  ts.load(one_command("MVA a b /OUTFILE='x.csv' /EM."));
  const StackHandle h = ts.stack(position), other = ts.stack(position);
  EXPECT_EQ(position, 0);
  const auto step = [&](StackHandle s) {
    ts.next(s);
    return ts.current().text + std::to_string(ts.position());
  };
  std::string texts;
  for (int p = 1; p <= 12; ++p) texts += step(h) + " ";
  EXPECT_EQ(texts, "MVA1 A2 B3 /4 OUTFILE5 =6 x.csv7 /8 EM9 10 10 10 ");  // End repeats
  // Back to a token noted earlier: set the pointer before it, step once.
  ts.set_position(h, 6);
  EXPECT_EQ(ts.position(), 10);  // setting the pointer moves nothing
  EXPECT_EQ(step(h), "x.csv7");
  EXPECT_EQ(step(other), "MVA1");  // the current token follows whichever stack stepped last

  EXPECT_THROW(ts.set_position(h, 11), std::logic_error);
  EXPECT_THROW(ts.next(0), std::logic_error);
  ts.drop(h);
  EXPECT_EQ(ts.current().text, "MVA");  // the current token outlives its stack
  EXPECT_THROW(ts.next(h), std::logic_error);
  EXPECT_NE(ts.stack(position), h);  // handles are not reused
  ts.load(one_command("MVA c."));    // a new command drops the old stacks
  EXPECT_EQ(ts.position(), 0);
  EXPECT_THROW(ts.next(other), std::logic_error);
}

// Slot names; "" marks a continuation slot.
DictionaryView make_view(const Strings& slots) {
  const auto name = [slots](std::int64_t v) { return slots.at(static_cast<std::size_t>(v - 1)); };
  const auto find = [slots](std::string_view s) -> std::int64_t {
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (!slots[i].empty() && strcasecmp(slots[i].c_str(), std::string(s).c_str()) == 0) return std::int64_t(i) + 1;
    }
    return 0;
  };
  return {std::int64_t(slots.size()), find, [name](std::int64_t v) { return !name(v).empty(); }, name};
}

// Reads a list from "MVA <args>." with a stack stepped to the first token
// after MVA; leaves the token stream in `ts`.
ListResult read_list(TokenStream& ts, const std::string& args, const ListOptions& o, const DictionaryView& view) {
  ts.load(one_command("MVA " + args + "."));
  std::int64_t position = 0;
  const StackHandle h = ts.stack(position);
  for (int step = 0; step < 2; ++step) ts.next(h);
  return read_variable_list(ts, h, o, view);
}

ListOptions options(int list, int duplicates = 2, int terminator = 11) { return {0, duplicates, terminator, list}; }

TEST(VariableList, ReadsListsAndLeavesTheRightTokenCurrent) {
  // 1 Age, 2 income, 3 City (a long string), 4 its continuation, 5 educ, 6 SCORE
  const DictionaryView view = make_view({"Age", "income", "City", "", "educ", "SCORE"});
  const std::string twice(kNamedTwice), unknown(kUnknownVariable), unexpected(kUnexpectedInList),
      expected(kListExpected);
  // The fault's key ("" for none) and parameters; the current token's typed text ("<end>" for End).
  const struct {
    std::string args;
    ListOptions options;
    std::vector<std::int64_t> indices;
    std::string key;
    Strings params;
    std::string current;
    std::int64_t position;
  } rows[] = {
      {"income to city educ", options(1), {2, 3, 5}, "", {}, "<end>", 6},
      {"age, income to educ, score, /em", options(1), {1, 2, 3, 5, 6}, "", {}, "/", 10},  // a trailing comma
      {"ALL", options(1), {1, 2, 3, 5, 6}, "", {}, "<end>", 3},
      {"age with income", options(3), {1}, "", {}, "with", 3},
      {"age income = 5", options(1, 2, 3), {1, 2}, "", {}, "=", 4},
      // Duplicates: a fault, dropped, or kept.
      {"age to educ income", options(1, 2), {1, 2, 3, 5}, twice, {"income"}, "income", 5},
      {"income ALL", options(1, 2), {2, 1}, twice, {"income"}, "ALL", 3},
      {"educ age to educ", options(1, 3), {5, 1, 2, 3}, "", {}, "<end>", 6},
      {"age age", options(1, 1), {1, 1}, "", {}, "<end>", 4},
      // Names that are not variables, and reversed ranges.
      {"age bogus income", options(1), {1}, unknown, {"bogus"}, "bogus", 3},
      {"age to NotHere", options(1), {1}, unknown, {"NotHere"}, "NotHere", 4},
      {"educ TO age", options(1), {5}, std::string(kReversedRange), {"educ", "age"}, "age", 4},
      // TO without a name after it: the TO is left current.
      {"age TO /EM", options(1), {1}, unexpected, {"TO"}, "TO", 3},
      {"all to educ", options(1), {1, 2, 3, 5, 6}, unexpected, {"to"}, "to", 3},
      // Other tokens where a name should be.
      {"age income / x", options(1, 2, 3), {1, 2}, unexpected, {"/"}, "/", 4},
      {"age,,income", options(1), {1}, unexpected, {","}, ",", 4},
      // No list at all.
      {"/EM", options(1), {}, expected, {"/"}, "/", 2},
      {"", options(1), {}, expected, {"end of command"}, "<end>", 2},
      {"(1)", options(2), {}, expected, {"("}, "(", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(fmt::format("MVA {}.  list {} duplicates {}", row.args, row.options.list, row.options.duplicates));
    TokenStream ts;
    const ListResult result = read_list(ts, row.args, row.options, view);
    EXPECT_EQ(result.indices, row.indices);
    EXPECT_EQ(result.fault ? result.fault->key : "", row.key);
    EXPECT_EQ(result.fault ? result.fault->params : Strings{}, row.params);
    EXPECT_EQ(ts.current().kind == TokenKind::End ? "<end>" : ts.current().typed, row.current);
    EXPECT_EQ(ts.position(), row.position);
  }

  // Variables named ALL and TO are variables; after a name, TO is the range keyword.
  const std::pair<std::string, std::vector<std::int64_t>> odd[] = {
      {"all x", {1, 3}}, {"all to x", {1, 2, 3}}, {"to x", {2, 3}}, {"to to x", {2, 3}}};
  for (const auto& [args, indices] : odd) {
    TokenStream ts;
    const ListResult result = read_list(ts, args, options(1), make_view({"all", "To", "x"}));
    EXPECT_EQ(result.indices, indices) << args;
    EXPECT_FALSE(result.fault.has_value()) << args;
  }
}

}  // namespace
}  // namespace mva::host
