// Readers of the command's variable lists: the analysis variables, the
// CATEGORICAL list, the ID variable and the dependent and independent lists
// of EM and REGRESSION. They leave the role flags of every variable and the
// columns of the case matrix in the workspace.
#pragma once

#include "mva/frame/common.h"

namespace mva {

void read_variables(Context& cx, Logical& error);  // the list after the command name
void CATV(Context& cx, Logical& error);
void LABV(Context& cx, Logical& error);
void DEPV(Context& cx, int m);
void INDV(Context& cx, int m);

}  // namespace mva
