// How the reference host turns an output text (mva::Text) into the words a
// user reads: message keys through the English catalogue, numbers in their
// display format, composite texts with their `^n` placeholders and repeat
// groups filled in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mva/frame/host/types.h"

namespace mva::host {

// True for the system-missing value (and for anything not finite, which is
// shown the same way).
bool is_system_missing(double value);

// A number as shown in `format`: "." when system-missing, otherwise fixed
// notation with the format's decimals (counts always without decimals),
// halves rounded away from zero, no thousands separators, and never a minus
// sign in front of zero. From 1E+15 in magnitude on, scientific notation
// (1.23E+20) with the format's decimals, at least two, in the mantissa.
std::string format_number(double value, const Format& format);

// The text a user sees.
std::string display(const Text& text);

// The message key of a Key or Composite text; "" for every other kind.
std::string key_of(const Text& text);

// Fills a catalogue template: `^n` takes display(params[n-1]); a repeat group
// `[PREFIX:ITEM:ALT]n` takes parameter n, a RepeatList, and shows ITEM once
// per item (`^k` inside ITEM being the item's own k-th parameter) with the
// separator after ITEM's last placeholder left off after the last item.
// When PREFIX holds `%k` placeholders it is the form of the first item and
// ITEM that of the others; otherwise PREFIX stands in front of the items.
// ALT is not used. A backslash shows the next character as it is (`\n` is a
// line break).
std::string fill_template(std::string_view pattern, const std::vector<Text>& params);

}  // namespace mva::host
