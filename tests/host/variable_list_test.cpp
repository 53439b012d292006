// Tests for the variable-list reader over a small dictionary with a
// continuation slot: names, TO ranges, ALL, commas, where each kind of list
// ends, every fault with its parameters, and which token is left current.
#include "host/commands/variable_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace mva::host {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

// Slot names; "" marks a continuation slot.
DictionaryView make_view(const std::vector<std::string>& slots) {
  DictionaryView view;
  view.size = static_cast<std::int64_t>(slots.size());
  view.find = [slots](std::string_view name) -> std::int64_t {
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (!slots[i].empty() && upper(slots[i]) == upper(name)) return static_cast<std::int64_t>(i) + 1;
    }
    return 0;
  };
  view.is_variable = [slots](std::int64_t v) { return !slots.at(static_cast<std::size_t>(v - 1)).empty(); };
  view.name = [slots](std::int64_t v) { return slots.at(static_cast<std::size_t>(v - 1)); };
  return view;
}

// 1 Age, 2 income, 3 City (a long string), 4 its continuation, 5 educ, 6 SCORE
const std::vector<std::string> kSlots = {"Age", "income", "City", "", "educ", "SCORE"};

struct Outcome {
  ListResult result;
  std::string current;  // typed text of the current token, "<end>" for End
  std::int64_t position = 0;
};

// Reads the list that follows "MVA" in "MVA <args>.".
Outcome read(const std::string& args, const ListOptions& options,
             const std::vector<std::string>& slots = kSlots) {
  auto commands = split_commands("MVA " + args + ".", "list.mva");
  TokenStream ts;
  ts.load(commands.at(0));
  std::int64_t position = 0;
  const StackHandle h = ts.stack(position);
  ts.next(h);  // MVA
  ts.next(h);  // the first token of the list
  Outcome out;
  out.result = read_variable_list(ts, h, options, make_view(slots));
  out.current = ts.current().kind == TokenKind::End ? "<end>" : ts.current().typed;
  out.position = ts.position();
  return out;
}

ListOptions options(int list, int duplicates = 2, int terminator = 11) {
  ListOptions o;
  o.list = list;
  o.duplicates = duplicates;
  o.terminator = terminator;
  return o;
}

TEST(VariableList, ReadsListsAndLeavesTheRightTokenCurrent) {
  struct Row {
    std::string args;
    ListOptions options;
    std::vector<std::int64_t> indices;
    std::string key;  // "" = no fault
    std::vector<std::string> params;
    std::string current;
    std::int64_t position;
  };
  const Row rows[] = {
      // Lists that end cleanly.
      {"age income", options(1), {1, 2}, "", {}, "<end>", 4},
      {"age, INCOME /EM", options(1), {1, 2}, "", {}, "/", 5},
      {"age TO educ", options(1), {1, 2, 3, 5}, "", {}, "<end>", 5},
      {"income to city educ", options(1), {2, 3, 5}, "", {}, "<end>", 6},
      {"city to educ", options(1), {3, 5}, "", {}, "<end>", 5},
      {"age to age", options(1), {1}, "", {}, "<end>", 5},
      {"age, income to educ, score /em", options(1), {1, 2, 3, 5, 6}, "", {}, "/", 9},
      {"ALL", options(1), {1, 2, 3, 5, 6}, "", {}, "<end>", 3},
      {"age, /EM", options(1), {1}, "", {}, "/", 4},  // a trailing comma is allowed
      {"age with income", options(3), {1}, "", {}, "with", 3},
      {"age income (1)", options(3), {1, 2}, "", {}, "(", 4},
      {"age income (2)", options(2), {1, 2}, "", {}, "(", 4},
      {"age income = 5", options(1, 2, 3), {1, 2}, "", {}, "=", 4},
      // Duplicates.
      {"age income AGE", options(1, 2), {1, 2}, std::string(kNamedTwice), {"Age"}, "AGE", 4},
      {"age to educ income", options(1, 2), {1, 2, 3, 5}, std::string(kNamedTwice), {"income"}, "income", 5},
      {"educ age to educ", options(1, 2), {5, 1, 2, 3}, std::string(kNamedTwice), {"educ"}, "educ", 5},
      {"income ALL", options(1, 2), {2, 1}, std::string(kNamedTwice), {"income"}, "ALL", 3},
      {"age income age ALL", options(1, 3), {1, 2, 3, 5, 6}, "", {}, "<end>", 6},
      {"educ age to educ", options(1, 3), {5, 1, 2, 3}, "", {}, "<end>", 6},
      {"age age", options(1, 1), {1, 1}, "", {}, "<end>", 4},
      // Names that are not variables.
      {"age bogus income", options(1), {1}, std::string(kUnknownVariable), {"bogus"}, "bogus", 3},
      {"age to NotHere", options(1), {1}, std::string(kUnknownVariable), {"NotHere"}, "NotHere", 4},
      {"educ TO age", options(1), {5}, std::string(kReversedRange), {"educ", "age"}, "age", 4},
      // TO without a name after it: the TO is left current.
      {"age TO /EM", options(1), {1}, std::string(kUnexpectedInList), {"TO"}, "TO", 3},
      {"age to", options(1), {1}, std::string(kUnexpectedInList), {"to"}, "to", 3},
      {"age to with", options(3), {1}, std::string(kUnexpectedInList), {"to"}, "to", 3},
      {"to educ", options(1), {}, std::string(kUnexpectedInList), {"to"}, "to", 2},
      {"all to educ", options(1), {1, 2, 3, 5, 6}, std::string(kUnexpectedInList), {"to"}, "to", 3},
      // Other tokens where a name should be.
      {"age 5", options(1), {1}, std::string(kUnexpectedInList), {"5"}, "5", 3},
      {"age (1)", options(1), {1}, std::string(kUnexpectedInList), {"("}, "(", 3},
      {"age with income", options(1), {1}, std::string(kUnexpectedInList), {"with"}, "with", 3},
      {"age income / x", options(1, 2, 3), {1, 2}, std::string(kUnexpectedInList), {"/"}, "/", 4},
      {", age", options(1), {}, std::string(kUnexpectedInList), {","}, ",", 2},
      {"age,,income", options(1), {1}, std::string(kUnexpectedInList), {","}, ",", 4},
      // No list at all.
      {"/EM", options(1), {}, std::string(kListExpected), {"/"}, "/", 2},
      {"", options(1), {}, std::string(kListExpected), {"end of command"}, "<end>", 2},
      {"WITH age", options(3), {}, std::string(kListExpected), {"WITH"}, "WITH", 2},
      {"(1)", options(2), {}, std::string(kListExpected), {"("}, "(", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("MVA " + row.args + ".  list " + std::to_string(row.options.list) + " duplicates " +
                 std::to_string(row.options.duplicates));
    const Outcome out = read(row.args, row.options);
    EXPECT_EQ(out.result.indices, row.indices);
    if (row.key.empty()) {
      EXPECT_FALSE(out.result.fault.has_value()) << out.result.fault->key;
    } else if (!out.result.fault.has_value()) {
      ADD_FAILURE() << "expected fault " << row.key;
    } else {
      EXPECT_EQ(out.result.fault->key, row.key);
      EXPECT_EQ(out.result.fault->params, row.params);
    }
    EXPECT_EQ(out.current, row.current);
    EXPECT_EQ(out.position, row.position);
  }
}

TEST(VariableList, VariablesNamedAllAndToAreVariables) {
  const std::vector<std::string> slots = {"all", "To", "x"};
  struct Row {
    std::string args;
    std::vector<std::int64_t> indices;
  };
  const Row rows[] = {
      {"all x", {1, 3}},
      {"all to x", {1, 2, 3}},  // after a name, TO is the range keyword
      {"to x", {2, 3}},
      {"to to x", {2, 3}},
  };
  for (const Row& row : rows) {
    const Outcome out = read(row.args, options(1), slots);
    EXPECT_EQ(out.result.indices, row.indices) << row.args;
    EXPECT_FALSE(out.result.fault.has_value()) << row.args;
    EXPECT_EQ(out.current, "<end>") << row.args;
  }
}

TEST(VariableList, ReadingContinuesAfterTheListFromTheSameStack) {
  auto commands = split_commands("MVA a b WITH c /EM.", "list.mva");
  TokenStream ts;
  ts.load(commands.at(0));
  std::int64_t position = 0;
  const StackHandle h = ts.stack(position);
  ts.next(h);
  ts.next(h);
  const DictionaryView view = make_view({"a", "b", "c"});
  const ListResult dependent = read_variable_list(ts, h, options(3), view);
  EXPECT_EQ(dependent.indices, (std::vector<std::int64_t>{1, 2}));
  ASSERT_EQ(ts.current().symbol, Symbol::With);
  ts.next(h);
  const ListResult independent = read_variable_list(ts, h, options(2), view);
  EXPECT_EQ(independent.indices, (std::vector<std::int64_t>{3}));
  EXPECT_FALSE(independent.fault.has_value());
  EXPECT_EQ(ts.current().symbol, Symbol::Slash);
}

}  // namespace
}  // namespace mva::host
