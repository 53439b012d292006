// The workspace plans of one split group. The first plan resets the MVA
// common and lays out the per-variable arrays that the command's lists fill;
// the second, once the lists are read, maps the analysis variables onto
// case-matrix columns in dictionary order and lays out the moment arrays; the
// release step hands every array back with the cell count it was laid out
// with. Every cell count is computed with overflow checks: a count that
// cannot be represented is a request the workspace cannot meet.
#include "mva/frame/workspace_plan.h"

#include <numeric>
#include <vector>

namespace mva {

namespace {

// A cell count of a workspace request; nullopt when it cannot be represented.
using CellCount = std::optional<std::int64_t>;

// One array of a plan: where its base index is kept and its cell count.
struct Layout {
  Index* base;
  CellCount cells;
};

// The arrays of the first plan, in the order they are laid out and released.
std::vector<Layout> first_plan(MvaCommon& c) {
  ArrayBases& a = c.a;
  const CellCount n = c.NVAR, twice = checked_product(2, c.NVAR), thrice = checked_product(3, c.NVAR);
  return {{&a.SCRROW, twice}, {&a.LWMEAN, n},     {&a.VMEAN, n},      {&a.CASEVAL, n},    {&a.ISCAT, n},
          {&a.CATROW, n},     {&a.VLIST, n},      {&a.COLOF2, n},     {&a.COLOF, n},      {&a.NCATS, n},
          {&a.VWIDTH, n},     {&a.DEPFLG, twice}, {&a.INDFLG, twice}, {&a.SORTKY, twice}, {&a.DESFLG, thrice}};
}

// The moment arrays of the second plan over p analysis variables, in the
// order they are laid out: two square, five packed, then ANVAR.
std::vector<Layout> second_plan(MvaCommon& c, std::int64_t p) {
  ArrayBases& a = c.a;
  const CellCount square = checked_product(p, p), packed = checked_triangle_cells(p);
  return {{&a.PWMEAN, square}, {&a.PWVAR, square}, {&a.LWCOV, packed}, {&a.PWCOV, packed},
          {&a.EMCOV, packed},  {&a.PWW, packed},   {&a.PWN, packed},   {&a.ANVAR, p}};
}

// Lays out the array of `step`; false, with the memory message, when its
// count cannot be represented or the workspace is short.
bool lay_out(Context& cx, const Layout& step) {
  if (!step.cells || cx.host.QNOMEM(cx.ws, *step.base, 8, *step.cells)) {
    cx.host.BP_ERROR(cx.host.BP_CSTRING("IMEM_ NOT ENOUGH MEMORY"), MessageClass::Runtime, Severity::Error);
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
  const std::vector<Layout> plan = first_plan(c);
  for (const Layout& step : plan) {
    if (!lay_out(cx, step)) return;
  }
  // Every array starts at zero, but for the type words and the list.
  for (const Layout& step : plan) cx.host.IZERO(cx.ws, *step.base, *step.cells);
  const WordArray vwidth = cx.words(c.a.VWIDTH);
  for (std::int64_t i = 1; i <= c.NVAR; ++i) vwidth(i) = cx.host.DICGET(i).type;
  // The list starts as 0, 1, 2, ... until the VARIABLES reader overwrites it.
  const std::span<std::int64_t> vlist = cx.words(c.a.VLIST).first(c.NVAR);
  std::iota(vlist.begin(), vlist.end(), std::int64_t{0});
}

void IMEM2(Context& cx) {
  MvaCommon& c = cx.cmn;
  const WordArray colof = cx.words(c.a.COLOF);

  std::int64_t p = 0;
  for (std::int64_t v = 1; v <= c.NVAR; ++v) p += colof(v) > 0 ? 1 : 0;
  c.NANAL = p;
  if (c.NPRED < 0) c.NPRED = p;

  const std::vector<Layout> plan = second_plan(c, p);
  for (const Layout& step : plan) {
    if (!lay_out(cx, step)) return;
  }
  for (const Layout& step : plan) cx.host.IZERO(cx.ws, *step.base, *step.cells);

  // Columns follow the dictionary order, whatever the order of the lists.
  const WordArray anvar = cx.words(c.a.ANVAR), colof2 = cx.words(c.a.COLOF2);
  std::int64_t k = 0;
  for (std::int64_t v = 1; v <= c.NVAR; ++v) {
    if (colof(v) > 0) anvar(++k) = v;
  }
  for (std::int64_t v = 1; v <= c.NVAR; ++v) colof(v) = 0;
  for (k = 1; k <= p; ++k) colof(anvar(k)) = k;
  c.NV = p;
  cx.host.SRTI(anvar.data(), p);
  for (k = 1; k <= p; ++k) colof2(anvar(k)) = k;
}

void FMEM(Context& cx) {
  MvaCommon& c = cx.cmn;
  ArrayBases& a = c.a;
  const std::int64_t p = c.NANAL;
  const CellCount square = checked_product(p, p), packed = checked_triangle_cells(p);
  std::vector<Layout> order = first_plan(c);
  order.insert(order.end(), {
                                {&a.ANVAR, p},
                                {&a.LWCOV, packed},
                                {&a.PWCOV, packed},
                                {&a.EMCOV, packed},
                                {&a.PWW, packed},
                                {&a.PWN, packed},
                                {&a.PWMEAN, square},
                                {&a.PWVAR, square},
                                {&a.CASES, checked_product(c.NV, c.NCASES)},
                                {&a.CATVAL, checked_product(c.MAXCAT, c.NVAR)},
                                {&a.LOCOF, c.NCASES},
                                {&a.CASEAT, c.NCASES},
                                {&a.CORDER, c.NCASES},
                            });
  for (const Layout& step : order) {
    if (*step.base <= 0) continue;
    // An array that was laid out had a representable count.
    if (!step.cells) cx.host.ASSERT("FMEM", "CELLS .GE. 0");
    cx.host.FREMEM(cx.ws, *step.base, *step.cells);
    *step.base = 0;
  }
}

}  // namespace mva
