// The EM algorithm of one split group: orders the incomplete cases by
// pattern, checks that every independent-only variable is present, runs the
// iterations with the iteration counter shown, computes Little's MCAR test
// and writes the completed data when the EM subcommand named a file. The
// arithmetic is in em_iterations.cpp.
#include "mva/estimation/em_algorithm.h"

#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/column_roles.h"
#include "mva/estimation/em_iterations.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// Fills `order` with the locations 1..n in pattern order.
void order_locations(Context& cx, WordArray order) {
  for (std::int64_t m = 1; m <= cx.cmn.NINCOM; ++m) order(m) = m;
}

}  // namespace

EmPlan make_em_plan(Context& cx, WordArray order, bool& missing_independent) {
  MvaCommon& c = cx.cmn;
  EmPlan plan;
  plan.p = c.NV;
  plan.nvar = c.NVAR;
  plan.ncases = c.NCASES;
  plan.roles = column_roles(cx);
  plan.cases = cx.case_matrix();
  const std::int64_t weight_var = WGTVAR(cx);
  plan.weight_column = weight_var > 0 ? ICOL2(cx, weight_var) : 0;
  for (std::int64_t k = 1; k <= c.NV; ++k) {
    const ColumnRole& r = plan.roles(k);
    plan.columns.push_back({r.variable, r.listed, r.quantitative, r.categorical,
                            r.quantitative && ISDEPV(cx, r.variable, kEm),
                            r.quantitative && ISINDP(cx, r.variable, kEm)});
  }
  const WordArray CASEAT = cx.words(c.a.CASEAT);
  plan.case_at.reserve(static_cast<std::size_t>(c.NINCOM));
  for (std::int64_t m = 1; m <= c.NINCOM; ++m) plan.case_at.push_back(CASEAT(order(m)));

  const MissingCodeTable codes(cx);
  const auto missing = [&](std::int64_t L, std::int64_t k) {
    return codes(L, plan.columns[static_cast<std::size_t>(k - 1)].variable) != CellStatus::Valid;
  };
  plan.groups = pattern_groups(plan.columns, plan.case_at, missing);
  missing_independent = false;
  for (const EmGroup& g : plan.groups) {
    for (std::size_t k = 0; k < plan.columns.size(); ++k) {
      const EmColumn& col = plan.columns[k];
      if (col.independent && !col.dependent && g.missing[k]) missing_independent = true;
    }
  }
  return plan;
}

void EMA(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2,
         RealArray CASREC, EmResult& result) {
  Host& host = cx.host;
  MvaCommon& c = cx.cmn;
  result = EmResult{};
  const std::int64_t limit = c.EMITER < 0 ? -c.EMITER : c.EMITER;
  host.ODOMTR("Iteration", 9, 0, 9);
  for (std::int64_t v = 1; v <= c.NVAR; ++v) CASREC(v) = 0.0;
  SETMOM(cx, false);

  bool missing_independent = false;
  const WordArray order = cx.words(c.a.CORDER);
  order_locations(cx, order);
  EmPlan plan = make_em_plan(cx, order, missing_independent);
  const EmModel model{c.EMTOL, c.EMCONV, c.EMTDF, c.EMPROP, c.EMLAMB};
  const EmArrays arrays{cx.reals(c.a.CASEVAL), cx.triangle(c.a.EMCOV), cx.reals(c.a.PWW),
                        EMWRK1, EMWRK2, cx.reals(c.a.VMEAN), cx.triangle(c.a.PWCOV),
                        cx.reals(c.a.LWMEAN), cx.triangle(c.a.LWCOV)};
  if (limit > 0 && missing_independent) {
    host.ODOMTR("Iteration", 9, 1, 9);
    host.ODOMTR(" ", 1, -1, 1);
    host.BP_ERROR(host.BP_CSTRING("_EMA_ MISSING IDEP VAR"), 1, 3);
    host.CASCTR(-1);
    return;
  }
  if (model.normal() && limit > 0) form_group_sums(plan);

  while (!result.converged && result.iterations < limit) {
    host.ATNJMP();
    ++result.iterations;
    host.ODOMTR("Iteration", 9, result.iterations, 9);
    result.converged = em_iteration(plan, model, sums, arrays).converged;
  }
  host.ODOMTR(" ", 1, -1, 1);

  const McarResult mcar = little_mcar(plan, model, sums, arrays, host.PCINMS());
  result.mcar_chisq = mcar.chisq;
  result.mcar_df = mcar.df;
  host.CASCTR(-1);
}

}  // namespace mva
