// The marks of a case row in the data- and missing-pattern tables: for every
// pattern variable the letter of a missing cell ("S" system-missing, "A",
// "B", "C" the discrete user-missing values, "D" the user-missing range),
// or, for a valid quantitative value, "-" at or below the lower extreme
// limit and "+" at or above the upper one; blank otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/frame/views.h"

namespace mva {

// The marks of one row and how many of its cells are missing.
struct RowMarks {
  std::string marks;         // one character per pattern variable, in their order
  std::int64_t missing = 0;  // cells with a letter
  // 100 x missing / number of pattern variables.
  double percent() const {
    return marks.empty() ? 0.0 : 100.0 * static_cast<double>(missing) / static_cast<double>(marks.size());
  }
};

// What marks are made from.
struct MarkInputs {
  const MissingCodeTable& status;         // the status of a cell
  CaseMatrix cases;                       // the case matrix
  WordArray COLOF;                        // case-matrix column of each variable
  RealArray EXLLIM;                       // lower extreme limit by dictionary index
  RealArray EXULIM;                       // upper extreme limit by dictionary index
  const std::vector<char>& quantitative;  // by dictionary index: gets "-" and "+"
};

// The marks of stored case L over `vars`; when `incomplete` is false the case
// is complete and its cells are not classified.
RowMarks row_marks(const MarkInputs& in, std::span<const std::int64_t> vars, std::int64_t L, bool incomplete);

}  // namespace mva
