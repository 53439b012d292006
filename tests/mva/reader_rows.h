// Table-driven checks for the subcommand readers: each row is a command and
// what parsing it must leave, either the messages reported (key, parameters,
// class, severity, in order) or the text of one option value.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/harness.h"

namespace mva::test {

struct MessageRow {
  const char* command;
  std::vector<Message> expected;  // every message, in order
};

// Parses each row's command in a fresh fixture and compares the messages.
inline void expect_messages(const TestData& data, const std::vector<MessageRow>& rows) {
  for (const MessageRow& row : rows) {
    SCOPED_TRACE(row.command);
    ParseFixture f(data);
    f.parse(row.command);
    const auto& got = f.host().messages;
    ASSERT_EQ(got.size(), row.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].key, row.expected[i].key);
      EXPECT_EQ(got[i].params, row.expected[i].params);
      EXPECT_EQ(got[i].msg_class, row.expected[i].msg_class);
      EXPECT_EQ(got[i].severity, row.expected[i].severity);
    }
  }
}

struct OptionRow {
  const char* command;
  const char* option;    // a name the test's `show` function knows
  const char* expected;  // the option's value as `show` writes it
};

// Parses each row's command and compares the text `show` gives for the
// row's option. Messages are allowed: values stored before an error stay.
inline void expect_options(const TestData& data, const std::vector<OptionRow>& rows,
                           const std::function<std::string(ParseFixture&, const std::string&)>& show) {
  for (const OptionRow& row : rows) {
    SCOPED_TRACE(std::string(row.command) + " " + row.option);
    ParseFixture f(data);
    f.parse(row.command);
    EXPECT_EQ(show(f, row.option), row.expected);
  }
}

}  // namespace mva::test
