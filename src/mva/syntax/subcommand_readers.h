// The readers of the subcommands that take their own parameters: EM,
// REGRESSION, LISTWISE and PAIRWISE, the three pattern subcommands and
// MISMATCH. Each starts with the subcommand's keyword current and returns
// with the current token on the last token of its subcommand or on the "/"
// that ends it (or where it reported an error); the options they read go to
// the MVA common.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// EM [dependent list] [WITH independent list] [(parameters)]: the options
// of the EM algorithm and its completed-data file.
void EGET(Context& cx, OutfileRequest& outfile);

// REGRESSION [dependent list] [WITH independent list] [(parameters)]: the
// options of regression imputation and the file it writes.
void RGET(Context& cx, OutfileRequest& outfile);

// LISTWISE or PAIRWISE (method 12 or 13): no settings; asks for no file.
void SGET(Context& cx, int method, OutfileRequest& outfile);

// DPATTERN, MPATTERN or TPATTERN (subcommand 8, 9 or 10): DESCRIBE lists,
// SORT keys (DPATTERN), NOSORT (MPATTERN, TPATTERN) and the shared PERCENT.
// `status` is set to TRUE when the SORT list is in error.
void PGET(Context& cx, int subcommand, Logical& status);

// The SORT list of DPATTERN, with SORT current: fills the sort keys; `status`
// is FALSE on return, or TRUE after an error.
void SRTV(Context& cx, Logical& status);

// MISMATCH: NOSORT and PERCENT of the missing-indicator correlations.
void IGET(Context& cx);

}  // namespace mva
