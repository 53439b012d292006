// The EM algorithm of one split group: orders the incomplete cases by
// pattern, checks that every independent-only variable is present, runs the
// iterations with the iteration counter shown, computes Little's MCAR test
// and writes the completed data when the EM subcommand named a file. The
// arithmetic is in em_iterations.cpp.
#include "mva/estimation/em_algorithm.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/case_order.h"
#include "mva/estimation/column_roles.h"
#include "mva/estimation/em_iterations.h"
#include "mva/estimation/sweep.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"
#include "mva/save/files_saved.h"
#include "mva/save/record_writer.h"

namespace mva {

namespace {

// Cases whose records are written at once.
constexpr std::int64_t kRecordBlockCases = 65536;

// Replaces each missing dependent value of the case in x by its regression
// on the independent columns swept in (status below -0.5).
void predict_missing(const EmPlan& plan, const EmArrays& a, const std::vector<char>& missing, const RealArray& x) {
  for (std::int64_t k = 1; k <= plan.p; ++k) {
    const EmColumn& col = plan.columns[static_cast<std::size_t>(k - 1)];
    if (!col.dependent || !missing[static_cast<std::size_t>(k - 1)]) continue;
    double value = a.mu(col.variable);
    for (std::int64_t j = 1; j <= plan.p; ++j) {
      if (a.status(j) >= -0.5 || !plan.columns[static_cast<std::size_t>(j - 1)].independent) continue;
      const std::int64_t u = plan.columns[static_cast<std::size_t>(j - 1)].variable;
      value += (x(u) - a.mu(u)) * a.S(k, j);
    }
    x(col.variable) = value;
  }
}

// Writes every stored case of the group to the EM file, each missing value
// of a dependent variable replaced by its conditional mean under the final
// estimates (the regression on the case's observed independent variables).
// `scale` is the factor that turned the last cross-products into the
// covariances; the sweep takes the cross-products, whose regression is the
// same. Returns false after an I/O error, which it reports.
bool write_completed_data(Context& cx, const EmPlan& plan, const EmModel& model, const EmArrays& a, double scale) {
  Host& host = cx.host;
  MvaCommon& c = cx.cmn;
  const FileHandle handle = SFGETH(c, kEm);
  const std::int64_t p = plan.p;
  const RealArray x = cx.reals(c.a.SCRROW);
  for (std::int64_t k = 1; k <= p; ++k) {
    const std::int64_t v = plan.columns[static_cast<std::size_t>(k - 1)].variable;
    a.mu(v) = a.means(v);
    a.status(k) = 0.0;
    for (std::int64_t j = 1; j <= k; ++j) a.S(k, j) = scale > 0.0 ? a.cp(k, j) / scale : 0.0;
  }
  const MissingCodeTable codes(cx);
  const CaseRecordWriter records(cx, kEm, kDataFile);
  std::vector<char> observed(static_cast<std::size_t>(p), 0), missing(static_cast<std::size_t>(p), 0);
  bool first_sweep = true;
  // The cases are completed in case order, each sweep starting from the
  // last one's; their records are laid out a block at a time, and each
  // block is written by one call, which lets the host format it on its
  // workers.
  const std::size_t cells = records.cells();
  std::vector<double> block;
  for (std::int64_t first = 1; first <= c.NCASES; first += kRecordBlockCases) {
    const std::int64_t last = std::min(c.NCASES, first + kRecordBlockCases - 1);
    block.resize(static_cast<std::size_t>(last - first + 1) * cells);
    for (std::int64_t L = first; L <= last; ++L) {
      host.ATNJMP();
      host.CASCTR(L);
      const RealArray row = plan.cases.row(L);
      for (std::int64_t k = 1; k <= p; ++k) x(plan.columns[static_cast<std::size_t>(k - 1)].variable) = row(k);
      if (IQLOCM(cx, L) > 0) {
        for (std::int64_t k = 1; k <= p; ++k) {
          const EmColumn& col = plan.columns[static_cast<std::size_t>(k - 1)];
          const std::size_t i = static_cast<std::size_t>(k - 1);
          missing[i] = codes(L, col.variable) != CellStatus::Valid;
          observed[i] = col.independent && !missing[i];
          a.status(k) += observed[i];
        }
        SWEEP(p, a.S, a.status, a.work, a.refdiag, p, first_sweep ? model.tolerance : -model.tolerance, 0.0,
              plan.ncases);
        first_sweep = false;
        for (std::int64_t k = 1; k <= p; ++k) a.status(k) -= observed[static_cast<std::size_t>(k - 1)];
        predict_missing(plan, a, missing, x);
      }
      records.fill(L, x, std::span(block).subspan(static_cast<std::size_t>(L - first) * cells, cells));
    }
    std::int64_t error = 0;
    host.DSWRCASES(handle, last - first + 1, block, error);
    if (error > 0) {
      host.BP_ERROR(host.BP_CSTRING("_EMA_ I/O ERROR"), MessageClass::Runtime, Severity::Error);
      return false;
    }
  }
  if (handle > 0) mvshfn(cx, kEm, handle);
  return true;
}

}  // namespace

namespace {

// The columns of the plan, read through the host: the roles, the weight and
// the system-missing value. `slot` receives the place in `vars` of each EM
// column's variable; -1 for a column that is neither dependent nor
// independent, whose cells never count. The list readers keep every EM
// variable on the VARIABLES list, so each has one.
EmPlan plan_columns(Context& cx, std::span<const std::int64_t> vars, std::vector<std::ptrdiff_t>& slot) {
  MvaCommon& c = cx.cmn;
  EmPlan plan;
  plan.p = c.NV;
  plan.nvar = c.NVAR;
  plan.ncases = c.NCASES;
  plan.roles = column_roles(cx);
  plan.cases = cx.case_matrix();
  const std::int64_t weight_var = WGTVAR(cx);
  plan.weight_column = weight_var > 0 ? ICOL2(cx, weight_var) : 0;
  plan.sysmis = cx.host.PCINMS();
  for (std::int64_t k = 1; k <= c.NV; ++k) {
    const ColumnRole& r = plan.roles(k);
    plan.columns.push_back({r.variable, r.listed, r.quantitative, r.categorical,
                            r.quantitative && ISDEPV(cx, r.variable, kEm),
                            r.quantitative && ISINDP(cx, r.variable, kEm)});
  }
  slot.assign(plan.columns.size(), -1);
  for (std::size_t k = 0; k < plan.columns.size(); ++k) {
    const EmColumn& col = plan.columns[k];
    if (!col.dependent && !col.independent) continue;
    const auto at = std::find(vars.begin(), vars.end(), col.variable);
    if (at == vars.end()) cx.host.ASSERT("EMA", "EM VARIABLE IN VLIST");
    slot[k] = at - vars.begin();
  }
  return plan;
}

// The incomplete cases of the group, at the locations order(1..NINCOM), in
// runs of one pattern, a position's missing EM cells taken from its pattern.
void place_locations(const Context& cx, EmPlan& plan, WordArray order, const LocationPatterns& pats,
                     const std::vector<std::ptrdiff_t>& slot) {
  const WordArray CASEAT = cx.words(cx.cmn.a.CASEAT);
  plan.case_at.reserve(static_cast<std::size_t>(cx.cmn.NINCOM));
  for (std::int64_t m = 1; m <= cx.cmn.NINCOM; ++m) plan.case_at.push_back(CASEAT(order(m)));
  // The chain puts the locations of a pattern together, so the mask is
  // formed only where the pattern changes.
  const std::size_t p = plan.columns.size();
  std::size_t previous = pats.groups();
  plan.groups = pattern_groups(plan.case_at.size(), p, [&](std::size_t i, std::vector<char>& mask) {
    const std::size_t g = pats.group_of(order(static_cast<std::int64_t>(i) + 1));
    if (g == previous) return false;
    previous = g;
    for (std::size_t k = 0; k < p; ++k) {
      mask[k] = slot[k] >= 0 && pats.is_missing(g, static_cast<std::size_t>(slot[k]));
    }
    return true;
  });
  // Each location's case and pattern group, for the walk in location order.
  plan.location_case.resize(plan.case_at.size());
  plan.location_group.resize(plan.case_at.size());
  for (std::size_t gi = 0; gi < plan.groups.size(); ++gi) {
    for (std::int64_t pos = plan.groups[gi].first; pos < plan.groups[gi].end; ++pos) {
      const auto m = static_cast<std::size_t>(order(pos + 1) - 1);
      plan.location_case[m] = plan.case_at[static_cast<std::size_t>(pos)];
      plan.location_group[m] = static_cast<std::int64_t>(gi);
    }
  }
}

// Whether an independent variable that is not also dependent is missing in
// some pattern group.
bool independent_missing(const EmPlan& plan) {
  for (const EmGroup& g : plan.groups) {
    for (std::size_t k = 0; k < plan.columns.size(); ++k) {
      const EmColumn& col = plan.columns[k];
      if (col.independent && !col.dependent && g.missing[k]) return true;
    }
  }
  return false;
}

}  // namespace

EmGroundwork::EmGroundwork(Context& cx)
    : cx_(cx),
      vars_(pattern_variables(cx, cx.cmn.NVAR, true)),
      table_(cx),
      plan_(plan_columns(cx, vars_, slot_)),
      order_(static_cast<std::size_t>(std::max<std::int64_t>(cx.cmn.NINCOM, 0))),
      group_sums_(cx.cmn.EMITER != 0 &&
                  EmModel{cx.cmn.EMTOL, cx.cmn.EMCONV, cx.cmn.EMTDF, cx.cmn.EMPROP, cx.cmn.EMLAMB}.normal()) {}

void EmGroundwork::ahead() {
  pats_.emplace(cx_, table_, vars_);
  // The chain runs here without interrupt polls only while its patterns
  // are few enough that it takes no longer than a chunk of the pass;
  // otherwise EMA runs it, polling.
  if (pats_->groups() > kUnpolledGroups) return;
  chain({});
  // On a worker, the pattern groups are summed one after the other.
  sums({});
}

void EmGroundwork::chain(const std::function<void()>& poll) {
  case_chain(cx_, cx_.cmn.NVAR, WordArray(std::span<std::int64_t>(order_)), true, *pats_, table_, poll);
  place_locations(cx_, plan_, WordArray(std::span<std::int64_t>(order_)), *pats_, slot_);
  missing_independent_ = independent_missing(plan_);
  chained_ = true;
}

void EmGroundwork::sums(const EachIndex& each) {
  if (group_sums_ && !missing_independent_) form_group_sums(plan_, each);
  summed_ = true;
}

EmPlan& EmGroundwork::finish(WordArray CORDER) {
  Host& host = cx_.host;
  if (!pats_) pats_.emplace(cx_, table_, vars_);
  if (!chained_) chain([&host] { host.ATNJMP(); });
  if (!summed_) {
    // A group of more than one chunk of cases has its pattern groups summed
    // on the host's workers, as the moment pass spreads its chunks.
    EachIndex each;
    if (cx_.cmn.NCASES > kChunkCases) {
      each = [&host](std::int64_t count, const std::function<void(std::int64_t)>& body) {
        host.for_each_chunk(count, body);
      };
    }
    sums(each);
  }
  for (std::size_t m = 0; m < order_.size(); ++m) CORDER(static_cast<std::int64_t>(m) + 1) = order_[m];
  return plan_;
}

void EMA(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2, RealArray CASREC, EmResult& result,
         EmGroundwork* groundwork) {
  Host& host = cx.host;
  MvaCommon& c = cx.cmn;
  result = EmResult{};
  const std::int64_t limit = c.EMITER < 0 ? -c.EMITER : c.EMITER;
  host.ODOMTR("Iteration", 9, 0, 9);
  for (std::int64_t v = 1; v <= c.NVAR; ++v) CASREC(v) = 0.0;
  SETMOM(cx, false);

  std::optional<EmGroundwork> own;
  if (groundwork == nullptr) groundwork = &own.emplace(cx);
  EmPlan& plan = groundwork->finish(cx.words(c.a.CORDER));
  const EmModel model{c.EMTOL, c.EMCONV, c.EMTDF, c.EMPROP, c.EMLAMB};
  const EmArrays arrays{
      cx.reals(c.a.CASEVAL), cx.triangle(c.a.EMCOV), cx.reals(c.a.PWW),     EMWRK1, EMWRK2, cx.em_means(),
      cx.em_covariances(),   cx.reals(c.a.LWMEAN),   cx.triangle(c.a.LWCOV)};
  if (limit > 0 && groundwork->missing_independent()) {
    host.ODOMTR("Iteration", 9, 1, 9);
    host.ODOMTR(" ", 1, -1, 1);
    host.BP_ERROR(host.BP_CSTRING("_EMA_ MISSING IDEP VAR"), MessageClass::Syntax, Severity::Error);
    host.CASCTR(-1);
    return;
  }
  if (limit > 0 && plan.sums.empty()) pack_group_values(plan);

  double scale = 0.0;
  while (!result.converged && result.iterations < limit) {
    host.ATNJMP();
    ++result.iterations;
    host.ODOMTR("Iteration", 9, result.iterations, 9);
    const EmStep step = em_iteration(plan, model, sums, arrays);
    result.converged = step.converged;
    result.case_by_case += step.case_by_case ? 1 : 0;
    scale = step.scale;
  }
  host.ODOMTR(" ", 1, -1, 1);

  const McarResult mcar = little_mcar(plan, model, sums, arrays, host.PCINMS());
  result.mcar_chisq = mcar.chisq;
  result.mcar_df = mcar.df;
  if (SFKIND(c, kEm) == kDataFile) write_completed_data(cx, plan, model, arrays, scale);
  host.CASCTR(-1);
}

}  // namespace mva
