// Header names must be UTF-8 text, since every dictionary and JSON document
// the program writes carries them (the load's message is checked with the
// program's other messages).
#include <gtest/gtest.h>

#include "host/data/dictionary.h"

namespace mva::host {
namespace {

TEST(Utf8Names, WellFormedTextOnly) {
  for (const char* text : {"income", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(valid_utf8(text)) << text;
  }
  // A stray continuation byte, overlong forms, a surrogate, beyond U+10FFFF,
  // a cut sequence, a lead byte without its continuation.
  for (const char* text : {"\x9A" "d", "\xC0\x80", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                           "\xF5\x80\x80\x80", "\xE2\x82", "\xC3\x28"}) {
    EXPECT_FALSE(valid_utf8(text)) << text;
  }
}

}  // namespace
}  // namespace mva::host
