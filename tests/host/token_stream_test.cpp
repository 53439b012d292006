// Tests for the token stacks (positions, rewinding, the repeating End token,
// handle faults) and the keyword and trimmed-length helpers.
#include "host/commands/token_stream.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace mva::host {
namespace {

Command one_command(std::string_view script) {
  auto commands = split_commands(script, "t.mva");
  EXPECT_EQ(commands.size(), 1u);
  return commands.at(0);
}

TEST(TokenStream, StepsRewindsAndRepeatsEnd) {
  TokenStream ts;
  ts.load(one_command("MVA a b /OUTFILE='x.csv' /EM."));
  // 1 MVA, 2 A, 3 B, 4 /, 5 OUTFILE, 6 =, 7 'x.csv', 8 /, 9 EM, 10 End
  std::int64_t position = -7;
  const StackHandle h = ts.stack(position);
  EXPECT_NE(h, 0);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(ts.position(), 0);
  EXPECT_EQ(ts.current().kind, TokenKind::End);

  const char* texts[] = {"MVA", "A", "B", "/", "OUTFILE", "=", "x.csv", "/", "EM", ""};
  std::int64_t file_position = 0;
  for (std::int64_t p = 1; p <= 10; ++p) {
    ts.next(h);
    EXPECT_EQ(ts.position(), p);
    EXPECT_EQ(ts.current().text, texts[p - 1]);
    if (ts.current().kind == TokenKind::String) file_position = ts.position();
  }
  EXPECT_EQ(ts.current().kind, TokenKind::End);
  for (int i = 0; i < 3; ++i) {
    ts.next(h);
    EXPECT_EQ(ts.current().kind, TokenKind::End);
    EXPECT_EQ(ts.position(), 10);
  }

  // Going back to a token noted earlier: set the pointer before it, step once.
  ts.set_position(h, file_position - 1);
  EXPECT_EQ(ts.current().kind, TokenKind::End);  // setting the pointer moves nothing
  ts.next(h);
  EXPECT_EQ(ts.current().text, "x.csv");
  EXPECT_EQ(ts.position(), 7);
  ts.next(h);
  EXPECT_EQ(ts.current().text, "/");

  ts.set_position(h, 0);
  ts.next(h);
  EXPECT_EQ(ts.current().text, "MVA");
  ts.set_position(h, 10);  // at the end: End again
  ts.next(h);
  EXPECT_EQ(ts.current().kind, TokenKind::End);
  EXPECT_EQ(ts.position(), 10);
}

TEST(TokenStream, StacksAreIndependentAndHandlesAreChecked) {
  TokenStream ts;
  std::int64_t position = 0;
  EXPECT_THROW(ts.stack(position), std::logic_error);  // nothing loaded

  ts.load(one_command("MVA a b."));
  const StackHandle h1 = ts.stack(position);
  const StackHandle h2 = ts.stack(position);
  EXPECT_NE(h1, h2);
  ts.next(h1);
  ts.next(h1);
  EXPECT_EQ(ts.current().text, "A");
  ts.next(h2);  // the current token follows whichever stack stepped last
  EXPECT_EQ(ts.current().text, "MVA");
  EXPECT_EQ(ts.position(), 1);
  ts.next(h1);
  EXPECT_EQ(ts.current().text, "B");
  EXPECT_EQ(ts.position(), 3);

  EXPECT_THROW(ts.set_position(h1, -1), std::logic_error);
  EXPECT_THROW(ts.set_position(h1, 5), std::logic_error);
  EXPECT_THROW(ts.next(0), std::logic_error);
  EXPECT_THROW(ts.next(h2 + 100), std::logic_error);

  ts.drop(h1);
  EXPECT_EQ(ts.current().text, "B");  // the current token outlives its stack
  EXPECT_THROW(ts.next(h1), std::logic_error);
  EXPECT_THROW(ts.set_position(h1, 0), std::logic_error);
  EXPECT_THROW(ts.drop(h1), std::logic_error);
  const StackHandle h3 = ts.stack(position);
  EXPECT_NE(h3, h1);  // handles are not reused

  // A new command drops the old stacks.
  ts.load(one_command("MVA c."));
  EXPECT_EQ(ts.position(), 0);
  EXPECT_THROW(ts.next(h2), std::logic_error);
  EXPECT_THROW(ts.next(h3), std::logic_error);
  const StackHandle h4 = ts.stack(position);
  ts.next(h4);
  ts.next(h4);
  EXPECT_EQ(ts.current().text, "C");

  Command broken;
  EXPECT_THROW(ts.load(broken), std::logic_error);
}

TEST(TokenStream, KeywordEqualAndTrimmedLength) {
  struct Row {
    const char* token;
    const char* keyword;
    int n;
    bool equal;
  };
  const Row rows[] = {
      {"CATEGORICAL", "CATEGORI", 8, true},  {"CAT", "CATEGORI", 8, false},
      {"MAXCAT", "MAXCAT  ", 8, true},       {"MAXCATX", "MAXCAT  ", 8, false},
      {"EMALGORITHM", "EM      ", 8, false}, {"EM", "EM      ", 8, true},
      {"NOUNIVARIATE", "NOUNIVARIATE", 12, true}, {"NOUNIVARIATES", "NOUNIVARIATE", 12, true},
      {"categorical", "CATEGORI", 8, true},  {"EM", "em", 8, true},
      {"EM", "EX", 0, true},                 {"", "        ", 8, true},
      {"", "E", 1, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(keyword_equal(row.token, row.keyword, row.n), row.equal)
        << row.token << " / " << row.keyword << " / " << row.n;
  }

  EXPECT_EQ(trimmed_length(""), 0);
  EXPECT_EQ(trimmed_length("    "), 0);
  EXPECT_EQ(trimmed_length("abc  "), 3);
  EXPECT_EQ(trimmed_length(" a b "), 4);
  EXPECT_EQ(trimmed_length("abc"), 3);
}

}  // namespace
}  // namespace mva::host
