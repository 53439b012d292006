// The data pass: reads the cases of the current split group into the case
// matrix, then lays out the case store and classifies every stored case.
#pragma once

#include <cstdint>
#include <optional>

#include "mva/frame/common.h"

namespace mva {

// The dictionary indices first..last between the first and the last variable
// with a case-matrix column; every per-case loop of the data pass runs over
// them in ascending order. Empty (last < first) when no variable has one.
struct VariableRange {
  std::int64_t first = 1;  // first dictionary index with a column
  std::int64_t last = 0;   // last dictionary index with a column
};

// Reads the group's cases into CASES (weights not positive are dropped),
// lays out CATVAL, LOCOF, CASEAT and CORDER, and calls DINI.
void DATA(Context& cx);

// The range of dictionary indices that hold the case-matrix columns.
VariableRange VRANGE(const Context& cx);

// Kilobytes that would hold `ncases` cases of `nvar` 8-byte cells, rounded
// up; nullopt when the number of bytes cannot be represented.
std::optional<std::int64_t> workspace_kilobytes(std::int64_t nvar, std::int64_t ncases);

}  // namespace mva
