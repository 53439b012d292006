// Checks on an output document that hold whatever the input was: every
// number in a table cell, a table property or a message parameter is finite
// or the system-missing value, and every renderer produces its document (the
// JSON one parses back).
#pragma once

#include <string>
#include <vector>

#include "host/output/output_document.h"

namespace mva::fuzz {

// Where a number that is not finite stands ("table 3 cell 12", "message 2");
// empty when there is none.
std::vector<std::string> nonfinite_numbers(const host::OutputDocument& document);

// Aborts, naming the place, when a number is not finite or a rendering fails.
void check_output(const host::OutputDocument& document);

}  // namespace mva::fuzz
