// Readers of the command's variable lists: the analysis variables, the
// CATEGORICAL list, the ID variable and the dependent and independent lists
// of EM and REGRESSION. They leave the role flags of every variable and the
// columns of the case matrix in the workspace.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The VARIABLES list after the command name: the analysed variables, their
// default roles and columns; `error` tells that the list could not be read.
void read_variables(Context& cx, Logical& error);
// CATEGORICAL: makes the listed variables of the VARIABLES list categorical.
void CATV(Context& cx, Logical& error);
// ID: the variable stored with each case for display, taken off the list.
void LABV(Context& cx, Logical& error);
// The dependent list of subcommand m (14 EM, 15 REGRESSION).
void DEPV(Context& cx, int m);
// The independent list of subcommand m (14 EM, 15 REGRESSION).
void INDV(Context& cx, int m);

}  // namespace mva
