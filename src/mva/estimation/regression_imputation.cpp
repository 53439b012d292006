// Regression imputation over the cases of one split group. The equations are
// regressions on the pairwise covariances, centred on each variable's mean
// over all its present values; the estimates start from the listwise sums of
// the complete cases and take in each incomplete case once it is completed.
// The cases are imputed, and the records or values of a DATA, INDICATOR or
// IMPUTES file written, in waves of chunks (imputation_waves.h).
#include "mva/estimation/regression_imputation.h"

#include <optional>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/case_imputation.h"
#include "mva/estimation/column_roles.h"
#include "mva/estimation/imputation_waves.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/executive_notes.h"
#include "mva/frame/queries.h"
#include "mva/save/files_saved.h"
#include "mva/save/record_writer.h"

namespace mva {

namespace {

// The host's random deviates.
class HostDraws : public RandomDraws {
 public:
  explicit HostDraws(Host& host) : host_(host) {}
  double uniform(double a, double b) override { return host_.RVUNI(a, b); }
  double normal() override { return host_.RVSNOR(); }
  double student_t(double df) override { return host_.RVT(df); }

 private:
  Host& host_;
};

// RESIDUAL draws its donors among the complete cases; unless they outnumber
// the incomplete ones, normal deviates are added instead, with a warning.
void check_add_option(Context& cx) {
  MvaCommon& c = cx.cmn;
  if (c.RADDTY != kAddResidual || c.NCASES > 2 * c.NINCOM) return;
  c.RADDTY = kAddNormal;
  const Text text = cx.host.split_count() > 0 ? split_text(cx, "_REG_ SPLIT [:^1=^2, :$2=$1]1 CHANGING ADD OPTION")
                                              : cx.host.BP_CSTRING("_REG_ CHANGING ADD OPTION");
  cx.host.BP_ERROR(text, MessageClass::Runtime, Severity::Warning);
}

// A record could not be written: the command fails.
void io_error(Context& cx) {
  cx.host.BP_ERROR(cx.host.BP_CSTRING("_REG_ I/O ERROR"), MessageClass::Runtime, Severity::Error);
}

// The columns whose variables pass `keep`, ascending.
template <class Keep>
std::vector<std::int64_t> columns_of(const ColumnRoles& roles, Keep keep) {
  std::vector<std::int64_t> columns;
  for (std::int64_t k = 1; k <= roles.columns(); ++k) {
    if (keep(roles(k).variable)) columns.push_back(k);
  }
  return columns;
}

// The estimates start from the listwise sums: the listwise covariances go
// back to the cross-product sums that the moment update continues (cov (W1 -
// 1) with factor 1). RMEAN takes the all-values means, RBASE and RWORK the
// pairwise covariances, which REGCOV's space gives up.
MomentWeights start_estimates(Context& cx, const ListwiseSums& sums, const SweepArrays& sweep, RealArray RCASE,
                              WordArray RMISS, RealArray RMEAN) {
  const MvaCommon& c = cx.cmn;
  const MomentWeights running{sums.LWN, sums.update_weight};
  const double W1 = running.sumw, W = running.sumwf;
  const double g = W1 > 0.0 ? (W1 - 1.0) * (W / W1) : 0.0;

  const RealArray REGMEAN = cx.regression_means(), LWMEAN = cx.reals(c.a.LWMEAN);
  for (std::int64_t v = 1; v <= c.NVAR; ++v) {
    RMISS(v) = 0;
    RCASE(v) = 0.0;
    RMEAN(v) = REGMEAN(v);
    // Without a complete case the first completed case sets the means
    // whatever they start from; 0 keeps them clear of stale values.
    REGMEAN(v) = W > 0.0 ? LWMEAN(v) : 0.0;
  }
  for (std::int64_t k = 1; k <= c.NV; ++k) sweep.status(k) = 0.0;
  const RealTriangle REGCOV = cx.regression_covariances();
  for (std::int64_t t = 1; t <= triangle_cells(c.NV); ++t) {
    const double listwise = sweep.base.at(t);
    sweep.base.at(t) = REGCOV.at(t);
    sweep.work.at(t) = REGCOV.at(t);
    REGCOV.at(t) = listwise * g;
  }
  return running;
}

// The cross-product sums to covariances, divisor W1 - 1; 0 when W1 <= 1.
void finish_estimates(Context& cx, const MomentWeights& running) {
  const RealTriangle REGCOV = cx.regression_covariances();
  const std::int64_t cells = triangle_cells(cx.cmn.NV);
  if (has_covariance(running.sumw)) {
    cx.host.VORL_DSCAL(cells, covariance_scale(running.sumw, running.sumwf), REGCOV.cells().data(), 1);
  } else {
    for (std::int64_t t = 1; t <= cells; ++t) REGCOV.at(t) = 0.0;
  }
}

// What the imputation of every case reads: the columns of the dependents and
// predictors, the options, the case vectors.
ImputationInputs imputation_inputs(Context& cx, const ColumnRoles& roles, RealArray RCASE, WordArray RMISS,
                                   RealArray RMEAN) {
  const MvaCommon& c = cx.cmn;
  ImputationInputs in;
  in.cases = cx.case_matrix();
  in.roles = &roles;
  in.dependents = columns_of(roles, [&](std::int64_t v) { return ISDEPV(cx, v, kRegression); });
  in.predictors = columns_of(roles, [&](std::int64_t v) { return ISINDP(cx, v, kRegression); });
  in.RCASE = RCASE;
  in.RMISS = RMISS;
  in.RMEAN = RMEAN;
  in.addtype = static_cast<AddType>(c.RADDTY);
  return in;
}

}  // namespace

void REG(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2,
         RealArray /*CASREC: records are laid out in buffers of the pass*/, WordArray CASEMISS) {
  MvaCommon& c = cx.cmn;
  const std::int64_t p = c.NV;

  check_add_option(cx);
  SETMOM(cx, false);
  const RealArray RCASE = cx.reals(c.a.SCRROW), RMEAN = cx.reals(c.a.CASEVAL);
  const WordArray RMISS = CASEMISS;
  const SweepArrays sweep{
      cx.triangle(c.a.LWCOV), cx.triangle(c.a.EMCOV), cx.reals(c.a.PWW), cx.reals(c.a.PWMEAN), EMWRK1, EMWRK2};
  MomentWeights running = start_estimates(cx, sums, sweep, RCASE, RMISS, RMEAN);

  const ColumnRoles roles = column_roles(cx);
  ImputationPass pass;
  pass.inputs = imputation_inputs(cx, roles, RCASE, RMISS, RMEAN);
  pass.covariances = sweep.base;
  pass.limits = {c.NPRED < 1 ? p - 1 : c.NPRED, c.RTOL, c.RFLIM, c.NCASES};
  pass.tdf = c.RTDF;
  // Missing codes of the dependents and predictors (and the weight).
  pass.coded =
      columns_of(roles, [&](std::int64_t v) { return ISDEPV(cx, v, kRegression) || ISINDP(cx, v, kRegression); });
  pass.weight_var = WGTVAR(cx);
  pass.weight_col = pass.weight_var > 0 ? ICOL2(cx, pass.weight_var) : 0;
  pass.kind = SFKIND(c, kRegression);
  pass.handle = SFGETH(c, kRegression);
  std::optional<CaseRecordWriter> records;
  if (pass.kind == kDataFile || pass.kind == kIndicatorFile) {
    records.emplace(cx, kRegression, pass.kind);
    pass.records = &*records;
  }
  pass.running = &running;
  pass.means = cx.regression_means();
  pass.cross_products = cx.regression_covariances();
  HostDraws draws(cx.host);
  if (!impute_cases(cx, pass, draws)) return io_error(cx);
  if (pass.handle > 0) mvshfn(cx, kRegression, pass.handle);
  finish_estimates(cx, running);
  cx.host.CASCTR(-1);
}

}  // namespace mva
