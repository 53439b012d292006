// Regression imputation over the cases of one split group. The equations are
// regressions on the pairwise covariances, centred on each variable's mean
// over all its present values; the estimates start from the listwise sums of
// the complete cases and take in each incomplete case once it is completed.
// The case records of a DATA, INDICATOR or IMPUTES file are written as the
// cases go by.
#include "mva/estimation/regression_imputation.h"

#include <optional>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/case_imputation.h"
#include "mva/estimation/column_roles.h"
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
  in.LOCOF = cx.words(c.a.LOCOF);
  in.ncases = c.NCASES;
  in.roles = &roles;
  in.dependents = columns_of(roles, [&](std::int64_t v) { return ISDEPV(cx, v, kRegression); });
  in.predictors = columns_of(roles, [&](std::int64_t v) { return ISINDP(cx, v, kRegression); });
  in.RCASE = RCASE;
  in.RMISS = RMISS;
  in.RMEAN = RMEAN;
  in.addtype = static_cast<AddType>(c.RADDTY);
  in.tdf = c.RTDF;
  return in;
}

}  // namespace

void REG(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2,
         RealArray /*CASREC: records are laid out in the host's buffer of the file*/, WordArray CASEMISS) {
  Host& host = cx.host;
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
  const ImputationInputs in = imputation_inputs(cx, roles, RCASE, RMISS, RMEAN);
  const SelectionLimits limits{c.NPRED < 1 ? p - 1 : c.NPRED, c.RTOL, c.RFLIM, c.NCASES};
  EquationCache equations(p, sweep, limits);
  CaseImputer imputer(in, equations);
  HostDraws draws(host);
  // Missing codes of the dependents and predictors (and the weight).
  const std::vector<std::int64_t> coded =
      columns_of(roles, [&](std::int64_t v) { return ISDEPV(cx, v, kRegression) || ISINDP(cx, v, kRegression); });
  const MissingCodeTable code_of(cx);
  const std::int64_t weight_var = WGTVAR(cx);
  const std::int64_t weight_col = weight_var > 0 ? ICOL2(cx, weight_var) : 0;
  std::vector<double> deviations(static_cast<std::size_t>(p));
  const RealArray REGMEAN = cx.regression_means();
  const RealTriangle REGCOV = cx.regression_covariances();
  const FileKind kind = SFKIND(c, kRegression);
  const FileHandle handle = SFGETH(c, kRegression);
  std::optional<CaseRecordWriter> records;
  if (kind == kDataFile || kind == kIndicatorFile) records.emplace(cx, handle, kRegression, kind);

  const CaseMatrix cases = cx.case_matrix();
  for (std::int64_t L = 1; L <= c.NCASES; ++L) {
    host.ATNJMP();
    host.CASCTR(L);
    const RealArray row = cases.row(L);
    for (std::int64_t q = 1; q <= p; ++q) RCASE(roles(q).variable) = row(q);
    if (in.LOCOF(L) > 0) {
      double w = 1.0;
      if (weight_col > 0) {
        w = row(weight_col);
        RMISS(weight_var) = static_cast<std::int64_t>(code_of(L, weight_var));
      }
      for (const std::int64_t q : coded) {
        const std::int64_t v = roles(q).variable;
        RMISS(v) = static_cast<std::int64_t>(code_of(L, v));
      }
      const std::vector<std::int64_t>& imputed = imputer.impute(draws);
      if (kind == kImputesFile) {
        for (const std::int64_t q : imputed) {
          const std::int64_t v = roles(q).variable;
          if (write_imputed_value(cx, handle, L, v, RCASE(v)) != 0) return io_error(cx);
        }
      }
      MOMUPD(false, false, c.NVAR, triangle_cells(p), roles, 1, p, w, 1.0, RCASE, running, REGMEAN, REGCOV,
             RealArray(deviations));
    }
    if (records && records->write(L, RCASE) != 0) {
      return io_error(cx);
    }
  }
  if (handle > 0) mvshfn(cx, kRegression, handle);
  finish_estimates(cx, running);
  host.CASCTR(-1);
}

}  // namespace mva
