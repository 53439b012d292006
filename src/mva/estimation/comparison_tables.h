// Method-comparison tables: means (table 27) and standard deviations (table
// 28) of every quantitative variable under each estimation method that ran,
// side by side. CMPB opens both with one column per method; each method's
// table routine fills its column; the executive ends them.
#pragma once

#include <string_view>

#include "mva/frame/common.h"
#include "mva/frame/table_numbers.h"

namespace mva {

// Opens tables 27 and 28 with the method columns that will be filled: the
// listwise column when `listwise`, all values always, EM and regression
// when flagged.
void CMPB(Context& cx, bool listwise, bool em, bool regression);

// Makes `method` ("LOUT_ LISTWISE", "UOUT_ ALL VALUES", "EOUT_ EM",
// "EOUT_ REGRESSION") the current column of comparison table `table`; the
// cells stored next go under it, one per variable.
void select_comparison_method(Host& host, int table, std::string_view method);

}  // namespace mva
