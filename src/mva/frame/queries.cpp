// Queries over the MVA common and the per-variable arrays: roles of a
// variable, its case-matrix column, its categories, the pattern sort keys.
#include "mva/frame/queries.h"

namespace mva {

namespace {

// v is a dictionary variable (1..NVAR).
bool in_dict(const Context& cx, std::int64_t v) { return v >= 1 && v <= cx.cmn.NVAR; }

// Entry v of block m (14 EM, 15 REGRESSION) of the dependent or independent
// flags; 0 outside the dictionary or for any other m.
std::int64_t half_flag(const Context& cx, const FlagBlocks& flags, std::int64_t v, int m) {
  if (!in_dict(cx, v) || !flags.has_block(m)) return 0;
  return flags(m, v);
}

}  // namespace

std::int64_t IANVAR(const Context& cx, std::int64_t k) {
  return k >= 1 && k <= cx.cmn.NANAL ? cx.words(cx.cmn.a.ANVAR)(k) : 0;
}

std::int64_t ICOL2(const Context& cx, std::int64_t v) { return in_dict(cx, v) ? cx.words(cx.cmn.a.COLOF2)(v) : 0; }

bool ISANAL(const Context& cx, std::int64_t v) { return in_dict(cx, v) && cx.words(cx.cmn.a.COLOF)(v) > 0; }

bool INVLST(const Context& cx, std::int64_t v) {
  if (v < 1) return false;
  const WordArray vlist = cx.words(cx.cmn.a.VLIST);
  for (std::int64_t i = 1; i <= cx.cmn.NVAR && vlist(i) != 0; ++i) {
    if (vlist(i) == v) return true;
  }
  return false;
}

bool ISCATV(const Context& cx, std::int64_t v) { return in_dict(cx, v) && cx.words(cx.cmn.a.ISCAT)(v) != 0; }

bool ISQUAN(const Context& cx, std::int64_t v) {
  if (!in_dict(cx, v) || cx.words(cx.cmn.a.ISCAT)(v) != 0) return false;
  if (!INVLST(cx, v)) return false;
  return cx.host.DICGET(v).type == 0;
}

std::int64_t NQUANT(const Context& cx) {
  std::int64_t n = 0;
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) n += ISQUAN(cx, v) ? 1 : 0;
  return n;
}

std::int64_t NCATV(const Context& cx) {
  std::int64_t n = 0;
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) n += ISCATV(cx, v) ? 1 : 0;
  return n;
}

bool INDFL(const Context& cx, std::int64_t v, int m) { return half_flag(cx, cx.independent_flags(), v, m) != 0; }

bool ISINDP(const Context& cx, std::int64_t v, int m) { return !ISCATV(cx, v) && INDFL(cx, v, m); }

bool DEPFL(const Context& cx, std::int64_t v, int m) { return half_flag(cx, cx.dependent_flags(), v, m) != 0; }

bool ISDEPV(const Context& cx, std::int64_t v, int m) { return !ISCATV(cx, v) && DEPFL(cx, v, m); }

bool ISDESC(const Context& cx, std::int64_t v, int m) {
  const FlagBlocks flags = cx.describe_flags();
  return in_dict(cx, v) && flags.has_block(m) && flags(m, v) != 0;
}

double CELLV(const Context& cx, std::int64_t v, std::int64_t L) {
  if (!in_dict(cx, v) || L < 1 || L > cx.cmn.NCASES) return 0.0;
  const std::int64_t col = cx.words(cx.cmn.a.COLOF)(v);
  if (col < 1) return 0.0;
  return cx.case_matrix()(L, col);
}

std::int64_t LOCCAS(const Context& cx, std::int64_t loc) {
  return loc >= 1 && loc <= cx.cmn.NINCOM ? cx.words(cx.cmn.a.CASEAT)(loc) : 0;
}

std::int64_t NCATOF(const Context& cx, std::int64_t v) { return in_dict(cx, v) ? cx.words(cx.cmn.a.NCATS)(v) : 0; }

double CATVL(const Context& cx, std::int64_t v, std::int64_t k) {
  constexpr double kEmptySlot = 1e33;  // the value of a category slot not yet filled
  if (!in_dict(cx, v) || k < 1 || k > cx.cmn.MAXCAT) return kEmptySlot;
  const std::int64_t row = cx.words(cx.cmn.a.CATROW)(v);
  if (row < 1) return kEmptySlot;
  return cx.category_values()(row, k);
}

std::int64_t SORTK(const Context& cx, std::int64_t k) {
  return k >= 1 && k <= 2 * cx.cmn.NVAR ? cx.words(cx.cmn.a.SORTKY)(k) : 0;
}

std::int64_t NSORTK(const Context& cx) {
  std::int64_t n = 0;
  for (std::int64_t k = 1; k <= cx.cmn.NVAR; ++k) n += SORTK(cx, k) != 0 ? 1 : 0;
  return n;
}

bool SORTSW(const Context& cx, int m) {
  switch (m) {
    case kMismatch: return is_true(cx.cmn.MMSORT);
    case kMpattern: return is_true(cx.cmn.MPSORT);
    case kTpattern: return is_true(cx.cmn.TPSORT);
    default: return false;
  }
}

void SETMOM(Context& cx, bool done) { cx.cmn.MOMDONE = logical(done); }

bool MOMDON(const Context& cx) { return is_true(cx.cmn.MOMDONE); }

std::int64_t WGTVAR(const Context& cx) { return cx.host.weight_var(); }

}  // namespace mva
