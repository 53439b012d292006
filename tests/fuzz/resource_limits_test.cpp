// Hostile sizes through the program (a huge field, many columns, long lists,
// thousands of commands, numbers out of range, repeated subcommands) end with
// a result or a clear message; header names must be UTF-8 text.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "cli/program.h"
#include "host/data/dictionary.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::fuzz {
namespace {

// `count` copies of `text`, each followed by its index when `numbered`.
std::string many(const std::string& text, int count, bool numbered = false) {
  std::string out;
  for (int k = 0; k < count; ++k) out += numbered ? text + std::to_string(k) : text;
  return out;
}

// A header of `columns` names v0, v1, ... and three records of digits, with
// a cell missing in every fifth place; `columns` is a multiple of five.
std::string wide_csv(int columns) {
  std::string csv = many(",v", columns, true).substr(1) + "\n";
  for (const char* five : {",,1,2,3,4", ",5,,6,7,8", ",9,1,,2,3"}) csv += many(five, columns / 5).substr(1) + "\n";
  return csv;
}

TEST(ResourceLimits, HostileSizesGetAResultOrAMessage) {
  const std::string small = "a,b,c\n1,2,3\n4,,6\n7,8,\n2,3,4\n", wide = wide_csv(100'000);
  const std::vector<std::string> tight = {"--workspace", "16M"};
  const struct {
    std::string csv, commands;         // commands: one -e text
    std::vector<std::string> options;  // more arguments
    int status;
    std::string expected;  // in the output or the diagnostics
  } limits[] = {
      // A field of 4 MB; 100,000 columns; 100,000 variables or distinct names in a small workspace.
      {"a,b\n1,\"" + std::string(4'000'000, 'x') + "\"\n2,y\n",
       "MVA a.",
       {},
       cli::kBadInput,
       "line 2, column 2 (b): a text of 4000000 bytes; strings go up to 32767"},
      {wide, "MVA v1 v2 v3.", {}, cli::kSuccess, "Univariate Statistics"},
      {wide, "MVA v0 TO v99999.", tight, cli::kCommandError, "There is not enough memory"},
      {wide, "MVA" + many(" v", 100'000, true) + ".", tight, cli::kCommandError, "There is not enough memory"},
      // Lines of 300,000 and 2,000,000 names, and of 300,000 in a small workspace.
      {small, "MVA" + many(" x", 300'000, true) + ".", {}, cli::kCommandError, "Unknown variable name: x0"},
      {small,
       "MVA" + many(" x", 2'000'000, true) + ".",
       {},
       cli::kBadInput,
       "more than 1000000 words and symbols in one run"},
      {small, "MVA" + many(" x", 300'000, true) + ".", tight, cli::kBadInput,
       "more than 200000 words and symbols in one run"},
      // Thousands of commands, failing or not, and a million.
      {small, many("MVA a b.\n", 3000), {}, cli::kSuccess, "Univariate Statistics"},
      {small, many("MVA nosuch.\n", 5000), {}, cli::kCommandError, "Unknown variable name: nosuch"},
      {small, many("MVA a b.\n", 1'000'000), {}, cli::kBadInput, "-e:10001:1: more than 10000 commands in one run"},
      // One subcommand 20,000 times; every subcommand 2,000 times.
      {small, "MVA a b c" + many(" /TTEST", 20'000) + ".", {}, cli::kSuccess, "The TTEST subcommand is given more"},
      {small,
       "MVA a b c" + many(" /CATEGORICAL=c", 2000) + many(" /EM /DPATTERN /MISMATCH /PAIRWISE", 2000) + ".",
       {},
       cli::kSuccess,
       "The CATEGORICAL subcommand is given more than once"},
      // Numbers out of range.
      {"a,b\n1e400,-0\n2,1e-400\n3,4\n", "MVA b.", {}, cli::kSuccess, "Univariate Statistics"},
      {small, "MVA a b /MAXCAT=1e400.", {}, cli::kBadInput, "-e:1:17: number out of range: 1e400"},
      {small, "MVA a b /MAXCAT=1e300.", {}, cli::kCommandError, "MAXCAT must be a positive integer"},
      {small, "MVA a b /MAXCAT=-0.", {}, cli::kCommandError, "MAXCAT must be a positive integer"},
      {small, "MVA a b /TTEST PERCENT=1e300.", {}, cli::kCommandError, "PERCENT must be at least 0 and less than 100"},
      {small, "MVA a b /EM (ITERATIONS=1e300).", {}, cli::kSuccess, "Summary of Estimated Means"},
  };
  const std::string data = (test::fresh_dir("resource_limits") / "data.csv").string();
  for (const auto& limit : limits) {
    SCOPED_TRACE(limit.commands.substr(0, 60) + " on " + limit.csv.substr(0, 20));
    std::ofstream(data, std::ios::binary) << limit.csv;
    std::vector<std::string> args = {"--data", data, "--no-progress", "-e", limit.commands};
    args.insert(args.end(), limit.options.begin(), limit.options.end());
    const test::ProgramRun run = test::run_mva(args);
    EXPECT_EQ(run.status, limit.status) << run.err.substr(0, 400);
    EXPECT_NE((run.out + run.err).find(limit.expected), std::string::npos) << (run.out + run.err).substr(0, 600);
  }
}

TEST(Utf8Names, WellFormedTextOnly) {
  for (const char* text : {"income", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(host::valid_utf8(text)) << text;
  }
  // A stray continuation byte, overlong forms, a surrogate, beyond U+10FFFF,
  // a cut sequence, a lead byte without its continuation.
  for (const char* text :
       {"\x9A"
        "d",
        "\xC0\x80", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82", "\xC3\x28"}) {
    EXPECT_FALSE(host::valid_utf8(text)) << text;
  }
}

}  // namespace
}  // namespace mva::fuzz
