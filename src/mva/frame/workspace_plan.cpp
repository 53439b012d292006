// The workspace plans of one split group. The first plan resets the MVA
// common and lays out the per-variable arrays that the command's lists fill;
// the second, once the lists are read, maps the analysis variables onto
// case-matrix columns in dictionary order and lays out the moment arrays; the
// release step hands every array back with the cell count it was laid out
// with.
#include "mva/frame/workspace_plan.h"

#include <algorithm>
#include <vector>

namespace mva {

namespace {

std::int64_t triangle(std::int64_t p) { return p * (p + 1) / 2; }

struct Layout {
  Index* base;
  std::int64_t cells;
};

// The arrays of the first plan, in the order they are laid out and released.
std::vector<Layout> first_plan(MvaCommon& c) {
  ArrayBases& a = c.a;
  const std::int64_t n = c.NVAR;
  return {{&a.SCRROW, 2 * n}, {&a.LWMEAN, n},      {&a.VMEAN, n},       {&a.CASEVAL, n},
          {&a.ISCAT, n},      {&a.CATROW, n},      {&a.VLIST, n},       {&a.COLOF2, n},
          {&a.COLOF, n},      {&a.NCATS, n},       {&a.VWIDTH, n},      {&a.DEPFLG, 2 * n},
          {&a.INDFLG, 2 * n}, {&a.SORTKY, 2 * n},  {&a.DESFLG, 3 * n}};
}

// Lays out `count` 8-byte cells into `base`; false, with the memory
// message, when the workspace is short.
bool lay_out(Context& cx, Index& base, std::int64_t count) {
  if (cx.host.QNOMEM(cx.ws, base, 8, count)) {
    cx.host.BP_ERROR(cx.host.BP_CSTRING("IMEM_ NOT ENOUGH MEMORY"), 2, 3);
    return false;
  }
  return true;
}

}  // namespace

void IMEM1(Context& cx) {
  MvaCommon& c = cx.cmn;
  c.reset_group();
  if (is_true(c.FIRSTG)) {
    c.SFOPEN.fill(kNoFile);
    c.SFHAND.fill(0);
  }

  cx.host.DICGNV();
  c.NVAR = cx.host.dict_count();
  const std::int64_t n = c.NVAR;

  ArrayBases& a = c.a;
  for (const Layout& step : first_plan(c)) {
    if (!lay_out(cx, *step.base, step.cells)) return;
  }

  const RealArray lwmean = cx.reals(a.LWMEAN), vmean = cx.reals(a.VMEAN),
                  caseval = cx.reals(a.CASEVAL);
  const WordArray vwidth = cx.words(a.VWIDTH), colof2 = cx.words(a.COLOF2),
                  colof = cx.words(a.COLOF), catrow = cx.words(a.CATROW),
                  ncats = cx.words(a.NCATS), vlist = cx.words(a.VLIST),
                  iscat = cx.words(a.ISCAT);
  for (std::int64_t i = 1; i <= n; ++i) {
    lwmean(i) = vmean(i) = caseval(i) = 0.0;
    vwidth(i) = cx.host.DICGET(i).type;
    colof2(i) = colof(i) = catrow(i) = ncats(i) = 0;
    vlist(i) = i - 1;
    iscat(i) = 0;
  }
  cx.host.IZERO(cx.ws, a.DEPFLG, 2 * n);
  cx.host.IZERO(cx.ws, a.INDFLG, 2 * n);
  cx.host.IZERO(cx.ws, a.SORTKY, 2 * n);
  cx.host.LRZERO(cx.ws, a.SCRROW, 2 * n);
  cx.host.IZERO(cx.ws, a.DESFLG, 3 * n);
}

void IMEM2(Context& cx) {
  MvaCommon& c = cx.cmn;
  ArrayBases& a = c.a;
  const WordArray colof = cx.words(a.COLOF);

  std::int64_t p = 0;
  for (std::int64_t v = 1; v <= c.NVAR; ++v) p += colof(v) > 0 ? 1 : 0;
  c.NANAL = p;
  if (c.NPRED < 0) c.NPRED = p;

  const Layout plan[] = {
      {&a.PWMEAN, p * p},        {&a.PWVAR, p * p},       {&a.LWCOV, triangle(p)},
      {&a.PWCOV, triangle(p)},   {&a.EMCOV, triangle(p)}, {&a.PWW, triangle(p)},
      {&a.PWN, triangle(p)},     {&a.ANVAR, p},
  };
  for (const auto& step : plan) {
    if (!lay_out(cx, *step.base, step.cells)) return;
  }
  cx.host.IZERO(cx.ws, a.ANVAR, p);

  // Columns follow the dictionary order, whatever the order of the lists.
  const WordArray anvar = cx.words(a.ANVAR), colof2 = cx.words(a.COLOF2);
  std::int64_t k = 0;
  for (std::int64_t v = 1; v <= c.NVAR; ++v) {
    if (colof(v) > 0) anvar(++k) = v;
  }
  for (std::int64_t v = 1; v <= c.NVAR; ++v) colof(v) = 0;
  for (k = 1; k <= p; ++k) colof(anvar(k)) = k;
  c.NV = p;
  cx.host.SRTI(anvar.data(), p);
  for (k = 1; k <= p; ++k) colof2(anvar(k)) = k;

  for (const Index base : {a.LWCOV, a.PWCOV, a.EMCOV, a.PWW, a.PWN}) {
    cx.host.LRZERO(cx.ws, base, triangle(p));
  }
  cx.host.LRZERO(cx.ws, a.PWMEAN, p * p);
  cx.host.LRZERO(cx.ws, a.PWVAR, p * p);
}

void FMEM(Context& cx) {
  MvaCommon& c = cx.cmn;
  ArrayBases& a = c.a;
  const std::int64_t n = c.NVAR, p = c.NANAL;
  std::vector<Layout> order = first_plan(c);
  order.insert(order.end(), {
      {&a.ANVAR, p},
      {&a.LWCOV, triangle(p)}, {&a.PWCOV, triangle(p)}, {&a.EMCOV, triangle(p)},
      {&a.PWW, triangle(p)},   {&a.PWN, triangle(p)},   {&a.PWMEAN, p * p},
      {&a.PWVAR, p * p},       {&a.CASES, c.NV * c.NCASES},
      {&a.CATVAL, c.MAXCAT * n}, {&a.LOCOF, c.NCASES}, {&a.CASEAT, c.NCASES},
      {&a.CORDER, c.NCASES},
  });
  for (const Layout& step : order) {
    if (*step.base > 0) {
      cx.host.FREMEM(cx.ws, *step.base, step.cells);
      *step.base = 0;
    }
  }
}

}  // namespace mva
