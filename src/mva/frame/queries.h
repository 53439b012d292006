// Queries over the MVA common and the per-variable arrays, used throughout
// the procedure. Indices are 1-based; an index outside its range answers 0 or
// FALSE.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

std::int64_t IANVAR(const Context& cx, std::int64_t k);
std::int64_t ICOL2(const Context& cx, std::int64_t v);
bool ISANAL(const Context& cx, std::int64_t v);
bool INVLST(const Context& cx, std::int64_t v);
bool ISCATV(const Context& cx, std::int64_t v);
bool ISQUAN(const Context& cx, std::int64_t v);
std::int64_t NQUANT(const Context& cx);
std::int64_t NCATV(const Context& cx);
bool INDFL(const Context& cx, std::int64_t v, int m);
bool ISINDP(const Context& cx, std::int64_t v, int m);
bool DEPFL(const Context& cx, std::int64_t v, int m);
bool ISDEPV(const Context& cx, std::int64_t v, int m);
bool ISDESC(const Context& cx, std::int64_t v, int m);
double CELLV(const Context& cx, std::int64_t v, std::int64_t L);
std::int64_t LOCCAS(const Context& cx, std::int64_t loc);
std::int64_t NCATOF(const Context& cx, std::int64_t v);
double CATVL(const Context& cx, std::int64_t v, std::int64_t k);
std::int64_t SORTK(const Context& cx, std::int64_t k);
std::int64_t NSORTK(const Context& cx);
bool SORTSW(const Context& cx, int m);
void SETMOM(Context& cx, bool done);
bool MOMDON(const Context& cx);
std::int64_t WGTVAR(const Context& cx);

inline std::int64_t NVARQ(const Context& cx) { return cx.cmn.NVAR; }
inline std::int64_t NANALQ(const Context& cx) { return cx.cmn.NANAL; }
inline std::int64_t NCASQ(const Context& cx) { return cx.cmn.NCASES; }
inline std::int64_t NCOMPQ(const Context& cx) { return cx.cmn.NCOMPL; }
inline std::int64_t NINCQ(const Context& cx) { return cx.cmn.NINCOM; }

}  // namespace mva
