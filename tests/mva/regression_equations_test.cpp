// Imputation with equations kept per set of present predictors against the
// case-by-case form, which sweeps a fresh copy of the covariances for every
// missing value: on data with many missing patterns, for every ADDTYPE, with
// the same seed both give the same values, bit for bit, also when the store
// of equations is full from the start.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "host/services/numerics.h"
#include "mva/cases/missing_codes.h"
#include "mva/estimation/case_imputation.h"
#include "mva/estimation/sweep.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// The host's seeded stream behind the imputation's draws.
class StreamDraws : public RandomDraws {
 public:
  explicit StreamDraws(std::uint32_t seed) : stream_(seed) {}
  double uniform(double a, double b) override { return stream_.uniform(a, b); }
  double normal() override { return stream_.standard_normal(); }
  double student_t(double df) override { return stream_.student_t(df); }

 private:
  host::RandomStream stream_;
};

// 400 cases of six correlated variables, each cell missing with chance 0.08;
// x6 is never a predictor.
std::string many_patterns() {
  std::mt19937 engine(7);
  std::normal_distribution<double> normal;
  std::bernoulli_distribution missing(0.08);
  std::ostringstream csv;
  csv.precision(17);
  csv << "x1,x2,x3,x4,x5,x6\n";
  for (int c = 0; c < 400; ++c) {
    const double z = normal(engine);
    for (int j = 1; j <= 6; ++j) {
      const double x = 10.0 * j + z * j + normal(engine);
      (missing(engine) ? csv : csv << x) << (j < 6 ? "," : "\n");
    }
  }
  return csv.str();
}

RealArray at(std::vector<double>& v) { return RealArray(v); }

struct Group {
  ParseFixture fx{TestData{many_patterns(), {}}};
  ColumnRoles roles;
  std::vector<double> base, work, status, status0, pivot, refdiag, rcase, rmean;
  std::vector<std::int64_t> rmiss;
  std::int64_t p = 0, n = 0;  // NV and NCASES

  Group() {
    EXPECT_TRUE(fx.pass("MVA x1 TO x6 /REGRESSION x1 TO x6 WITH x1 TO x5."));
    fx.moments();
    const MvaCommon& c = fx.cmn();
    roles = column_roles(fx.cx());
    p = c.NV, n = c.NCASES;
    for (std::int64_t t = 1; t <= triangle_cells(p); ++t) base.push_back(fx.cx().triangle(c.a.PWCOV).at(t));
    work.assign(base.size(), 0.0);
    for (auto* v : {&status, &status0, &pivot, &refdiag}) v->assign(static_cast<std::size_t>(p), 0.0);
    for (auto* v : {&rcase, &rmean}) v->assign(static_cast<std::size_t>(c.NVAR), 0.0);
    rmiss.assign(static_cast<std::size_t>(c.NVAR), 0);
    for (std::int64_t k = 1; k <= p; ++k) at(rmean)(roles(k).variable) = fx.cx().square(c.a.PWMEAN)(k, k);
  }

  SweepArrays arrays() {
    return {RealTriangle(at(base)), RealTriangle(at(work)), at(status), at(status0), at(pivot), at(refdiag)};
  }

  // Loads stored case L into RCASE and, for an incomplete case, its codes
  // into RMISS; false for a complete case.
  bool load(std::int64_t L) {
    for (std::int64_t q = 1; q <= p; ++q) at(rcase)(roles(q).variable) = fx.cx().case_matrix()(L, q);
    if (IQLOCM(fx.cx(), L) == 0) return false;
    for (std::int64_t q = 1; q <= p; ++q) {
      const std::int64_t v = roles(q).variable;
      WordArray{rmiss}(v) = static_cast<std::int64_t>(IQMSNG(fx.cx(), L, v));
    }
    return true;
  }
  bool missing(std::int64_t v) { return WordArray{rmiss}(v) != 0; }

  // The case-by-case form: a fresh sweep of the covariances for every
  // missing value of every incomplete case.
  std::vector<double> reference(AddType add, std::uint32_t seed) {
    StreamDraws draws(seed);
    std::vector<double> out;
    const SweepArrays a = arrays();
    const CaseMatrix cases = fx.cx().case_matrix();
    const RealArray RCASE = at(rcase), RMEAN = at(rmean);
    for (std::int64_t L = 1; L <= n; ++L) {
      if (!load(L)) continue;
      for (std::int64_t q = 1; q <= p; ++q) {
        const std::int64_t v = roles(q).variable;
        if (!missing(v)) continue;
        std::int64_t d = 0;
        while (add == kAddResidual && (d == 0 || IQLOCM(fx.cx(), d) != 0))
          d = static_cast<std::int64_t>(draws.uniform(1.0, static_cast<double>(n)));
        work = base;
        for (std::int64_t r = 1; r <= p; ++r) {
          const std::int64_t u = roles(r).variable;
          a.status(r) = r == q ? 2.0 : (u <= 5 && !missing(u)) ? 1.0 : 0.0;
          a.status0(r) = a.status(r);
        }
        SWEEP(p, a.work, a.status, a.pivot, a.refdiag, p - 1, 0.001, 4.0, n);
        double value = RMEAN(v);
        double e = add == kAddResidual ? cases(d, q) - RMEAN(v) : 0.0;
        for (std::int64_t r = 1; r <= p; ++r) {
          if (a.status0(r) != 1.0 || a.status(r) != 0.0) continue;
          const std::int64_t u = roles(r).variable;
          value += a.work(q, r) * (RCASE(u) - RMEAN(u));
          if (add == kAddResidual) e -= a.work(q, r) * (cases(d, r) - RMEAN(u));
        }
        const double s2 = a.work(q, q);
        if (add == kAddNormal) e = s2 > 0.0 ? std::sqrt(s2) * draws.normal() : 0.0;
        if (add == kAddT) e = s2 > 0.0 ? std::sqrt(s2) * draws.student_t(3.0) : 0.0;
        out.push_back(value + e);
      }
    }
    return out;
  }

  // The same imputations with the equations kept in a store of `budget`
  // bytes; `sweeps` is the number of equations solved.
  std::vector<double> cached(AddType add, std::uint32_t seed, std::size_t budget, std::size_t& sweeps) {
    StreamDraws draws(seed);
    EquationCache equations(p, arrays(), {p - 1, 0.001, 4.0, n}, budget);
    ImputationInputs in{fx.cx().case_matrix(), &roles, {}, {}, at(rcase), WordArray(rmiss), at(rmean), add};
    for (std::int64_t q = 1; q <= p; ++q) {
      in.dependents.push_back(q);
      if (roles(q).variable <= 5) in.predictors.push_back(q);
    }
    CaseImputer imputer(in, equations);
    const CompleteCases complete(fx.cx().words(fx.cmn().a.LOCOF), n);
    std::vector<double> out;
    std::vector<std::int64_t> donors;
    for (std::int64_t L = 1; L <= n; ++L) {
      if (!load(L)) continue;
      // The donors first, the deviates after the predictions, as the pass
      // draws them.
      donors.clear();
      for (std::int64_t k = add == kAddResidual ? imputer.missing_dependents() : 0; k > 0; --k)
        donors.push_back(draw_donor(draws, complete));
      const std::vector<std::int64_t>& imputed = imputer.impute(donors);
      for (std::size_t i = 0; i < imputed.size(); ++i) {
        double& value = at(rcase)(roles(imputed[i]).variable);
        if (add == kAddNormal || add == kAddT)
          value = value + random_term(add, 3.0, imputer.residual_variances()[i], draws);
        out.push_back(value);
      }
    }
    sweeps = equations.solved();
    return out;
  }
};

TEST(RegressionEquations, KeptEquationsGiveTheCaseByCaseImputations) {
  Group g;
  ASSERT_GT(g.fx.cmn().NINCOM, 100);
  const std::size_t big = std::size_t{1} << 20;
  const std::pair<AddType, std::size_t> rows[] = {{kAddResidual, big}, {kAddNone, big},   {kAddNormal, big},
                                                  {kAddT, big},        {kAddResidual, 0}, {kAddT, 0}};
  for (const auto& [add, budget] : rows) {
    SCOPED_TRACE(::testing::Message() << "add type " << add << ", budget " << budget);
    const std::vector<double> want = g.reference(add, 99);
    std::size_t sweeps = 0;
    EXPECT_EQ(g.cached(add, 99, budget, sweeps), want);
    // Nothing kept: one sweep per value; else fewer, as patterns repeat.
    EXPECT_TRUE(budget == 0 ? sweeps == want.size() : sweeps < want.size() / 2) << sweeps;
  }
}

}  // namespace
}  // namespace mva::test
