// Queries over the MVA common and the per-variable arrays, used throughout
// the procedure. Indices are 1-based; an index outside its range answers 0 or
// FALSE.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// Dictionary variable of case-matrix column k (1..NANAL).
std::int64_t IANVAR(const Context& cx, std::int64_t k);
// Case-matrix column of variable v after the second plan, 0 = none.
std::int64_t ICOL2(const Context& cx, std::int64_t v);
// Variable v has a case-matrix column.
bool ISANAL(const Context& cx, std::int64_t v);
// Variable v stands on the VARIABLES list (before its first empty entry).
bool INVLST(const Context& cx, std::int64_t v);
// Variable v is categorical.
bool ISCATV(const Context& cx, std::int64_t v);
// Variable v is quantitative: listed, numeric and not categorical.
bool ISQUAN(const Context& cx, std::int64_t v);
// Number of quantitative variables.
std::int64_t NQUANT(const Context& cx);
// Number of categorical variables.
std::int64_t NCATV(const Context& cx);
// The independent flag of v for subcommand m (14 EM, 15 REGRESSION).
bool INDFL(const Context& cx, std::int64_t v, int m);
// v is an independent variable of subcommand m: flagged and not categorical.
bool ISINDP(const Context& cx, std::int64_t v, int m);
// The dependent flag of v for subcommand m (14 EM, 15 REGRESSION).
bool DEPFL(const Context& cx, std::int64_t v, int m);
// v is a dependent variable of subcommand m: flagged and not categorical.
bool ISDEPV(const Context& cx, std::int64_t v, int m);
// The DESCRIBE flag of v for pattern subcommand m (8, 9, 10).
bool ISDESC(const Context& cx, std::int64_t v, int m);
// Value of variable v in stored case L; 0.0 when v has no column.
double CELLV(const Context& cx, std::int64_t v, std::int64_t L);
// Stored case at location loc (1..NINCOM).
std::int64_t LOCCAS(const Context& cx, std::int64_t loc);
// Number of categories collected for variable v.
std::int64_t NCATOF(const Context& cx, std::int64_t v);
// Category k of variable v; 1E33 when there is none.
double CATVL(const Context& cx, std::int64_t v, std::int64_t k);
// Entry k of the DPATTERN sort keys (1..2*NVAR).
std::int64_t SORTK(const Context& cx, std::int64_t k);
// Number of sort keys given (nonzero entries among the first NVAR).
std::int64_t NSORTK(const Context& cx);
// Whether the display of subcommand m (7, 9, 10) is sorted on the patterns.
bool SORTSW(const Context& cx, int m);
// Marks the moments of the group as computed or not (MOMDONE).
void SETMOM(Context& cx, bool done);
// The moments of the group are computed.
bool MOMDON(const Context& cx);
// The host's weight variable, 0 = unweighted.
std::int64_t WGTVAR(const Context& cx);

}  // namespace mva
