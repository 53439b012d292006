// The dictionary of a file the procedure saves, built once in the first split
// group when the file is defined. Its variables, by file kind:
//   DATA        the variables with a case-matrix column and the split
//               variables, copied from the active file in dictionary order;
//   INDICATOR   the DATA variables, an indicator per dependent (the method's
//               prefix and the first 6 characters of its name, labelled
//               present, system-missing and each user-missing value), CASE_IS;
//   IMPUTES     the split variables, CASE_ or a copy of the ID variable,
//               VAR_NAME, the imputed value (the prefix and ESTIM);
//   STATISTICS  the split variables, ROWTYPE_, VAR_NAME and one variable per
//               matrix variable (dependents and predictors of the method,
//               named by their first 8 characters, two more places of width
//               and decimals than their own format).
// The records written later (record_writer.h, statistics_matrix.h) follow
// these layouts cell by cell.
#pragma once

#include <string_view>

#include "mva/frame/common.h"

namespace mva {

// Names that depend on the method whose file is built.
struct MethodNames {
  std::string_view prefix;    // starts the names of indicator and estimate variables
  std::string_view mean_row;  // the row type of the means row of a statistics matrix
};

// The names of method m (12 LISTWISE, 13 PAIRWISE, 14 EM, 15 REGRESSION).
MethodNames method_names(int m);

// Builds and ends the dictionary of the file of kind `kind` behind `handle`
// for method `method`; on success records the kind and handle in the
// method's saved-file slot. A dictionary the host refuses is reported with
// the host's error number and leaves the slot empty.
void SAVDIC(Context& cx, int method, FileKind kind, FileHandle handle);

}  // namespace mva
