// Variable names from the header of a data file. A header is whatever the
// program that wrote the file put there ("Solar R", "temp (F)", "1st", two
// columns called "x", a column called "TO", no name at all for R's and
// pandas' row names); a variable name is what a command can say. One rule
// turns every header into a valid name, the same for every front end that
// reads data, so that a name seen in one place is the name to type in
// another:
//
//  1. Blanks at both ends are removed.
//  2. An empty header names the variable `rowname` in the first column (R's
//     write.csv and pandas' to_csv leave the column of row names without a
//     name) and `v<column number>` elsewhere.
//  3. A header that is a valid name keeps it. A valid name starts with a
//     letter, `_`, `@`, `#` or `$`, and goes on with those, digits and `.`;
//     every byte of a non-ASCII (UTF-8) character counts as a letter. It does
//     not end with `.` (a period at the end of a line ends a command), and it
//     is not a word a variable list reads as syntax: ALL, BY, TO, WITH, in
//     any case.
//  4. Otherwise every run of characters that cannot stand in a name becomes
//     one `_`; then `_` and `.` at either end are dropped; a name that starts
//     with a digit gets `v` in front; a reserved word gets `_` after it;
//     nothing left at all makes it `v<column number>`. So "temp (F)" is
//     `temp_F`, "Solar R" is `Solar_R`, "1st" is `v1st`, "TO" is `TO_`.
//  5. Names are compared ignoring ASCII case. Headers that are valid names
//     keep them, the first of each name first; a later duplicate, and a
//     changed name that meets a name already taken, gets the first of `_2`,
//     `_3`, ... that is free ("x", "X" are `x`, `X_2`).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mva::host {

// Whether `name` is a name a command can say (rule 3 above).
bool is_valid_variable_name(std::string_view name);

// The variable name of each header, in column order, by the rule above.
// The headers must be valid UTF-8.
std::vector<std::string> variable_names(const std::vector<std::string>& headers);

}  // namespace mva::host
