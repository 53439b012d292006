// A whole number's text is made from its integer digits, without the general
// fixed-notation rounding; both forms must agree for every whole number a
// table shows (counts, case numbers, whole values in any decimals), signed
// zero and the edge of exact integers included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/data/number_text.h"

namespace mva::host {
namespace {

TEST(WholeNumberText, AgreesWithTheGeneralForm) {
  // Signed zero, halves, the edge of exact integers and beyond.
  std::vector<double> values = {
      -0.0, 0.5, -0.5, 2.5, 1e15, -1e15, 9007199254740991.0, -9007199254740991.0, 9007199254740992.0, 1e20};
  // Case numbers and counts: every whole number to 2,000 and a spread above.
  for (int i = -2000; i <= 2000; ++i) values.push_back(i);
  for (std::int64_t v = 2001; v < 4'000'000'000'000LL; v = v * 7 + 3) {
    values.push_back(static_cast<double>(v));
    values.push_back(-static_cast<double>(v));
  }
  for (const double value : values) {
    for (const int decimals : {0, 1, 2, 3, 16}) {
      EXPECT_EQ(fixed_text(value, decimals), fixed_text_by_digits(value, decimals)) << value << " " << decimals;
    }
  }
  EXPECT_EQ(fixed_text(-0.0, 0), "0");
  EXPECT_EQ(fixed_text(-7.0, 2), "-7.00");
  EXPECT_EQ(fixed_text(1000000.0, 1), "1000000.0");
}

}  // namespace
}  // namespace mva::host
