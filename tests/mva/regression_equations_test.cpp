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
#include "mva/cases/data_pass.h"
#include "mva/cases/missing_codes.h"
#include "mva/estimation/case_imputation.h"
#include "mva/estimation/moments.h"
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
      if (!missing(engine)) csv << x;
      csv << (j < 6 ? "," : "\n");
    }
  }
  return csv.str();
}

struct Imputations {
  std::vector<double> values;  // every imputed value, in the order imputed
};

struct Group {
  ParseFixture fx{TestData{many_patterns(), {}}};
  ListwiseSums sums;
  std::vector<std::int64_t> casemiss;
  ColumnRoles roles;
  std::vector<double> base, work, status, status0, pivot, refdiag, rcase, rmean;
  std::vector<std::int64_t> rmiss;
  std::int64_t p_ = 0, n_ = 0;  // NV and NCASES

  Group() {
    EXPECT_TRUE(fx.parse("MVA x1 TO x6 /REGRESSION x1 TO x6 WITH x1 TO x5."));
    fx.host().OBINIT(fx.cx().ws);
    fx.host().OBPINI(fx.cx().ws);
    DATA(fx.cx());
    const MvaCommon& c = fx.cmn();
    casemiss.assign(static_cast<std::size_t>(c.NVAR), 0);
    MOMENT(fx.cx(), WordArray(casemiss.data()), sums);
    roles = column_roles(fx.cx());
    p_ = c.NV;
    n_ = c.NCASES;
    const auto cells = static_cast<std::size_t>(triangle_cells(c.NV));
    const RealTriangle pwcov = fx.cx().triangle(c.a.PWCOV);
    for (std::size_t t = 1; t <= cells; ++t) base.push_back(pwcov.at(static_cast<std::int64_t>(t)));
    work.assign(cells, 0.0);
    for (auto* v : {&status, &status0, &pivot, &refdiag}) v->assign(static_cast<std::size_t>(c.NV), 0.0);
    rcase.assign(static_cast<std::size_t>(c.NVAR), 0.0);
    rmean.assign(static_cast<std::size_t>(c.NVAR), 0.0);
    rmiss.assign(static_cast<std::size_t>(c.NVAR), 0);
    const RealSquare pwmean = fx.cx().square(c.a.PWMEAN);
    for (std::int64_t k = 1; k <= c.NV; ++k) rmean[static_cast<std::size_t>(roles(k).variable - 1)] = pwmean(k, k);
  }

  SweepArrays arrays() {
    return {RealTriangle(RealArray(base.data())), RealTriangle(RealArray(work.data())),
            RealArray(status.data()),             RealArray(status0.data()),
            RealArray(pivot.data()),              RealArray(refdiag.data())};
  }
  SelectionLimits limits() const { return {p_ - 1, 0.001, 4.0, n_}; }
  RealArray RCASE() { return RealArray(rcase.data()); }
  RealArray RMEAN() { return RealArray(rmean.data()); }

  // Loads stored case L into RCASE and, for an incomplete case, its codes
  // into RMISS; false for a complete case.
  bool load(std::int64_t L) {
    const CaseMatrix cases = fx.cx().case_matrix();
    for (std::int64_t q = 1; q <= p_; ++q) RCASE()(roles(q).variable) = cases(L, q);
    if (IQLOCM(fx.cx(), L) == 0) return false;
    for (std::int64_t q = 1; q <= p_; ++q) {
      const std::int64_t v = roles(q).variable;
      rmiss[static_cast<std::size_t>(v - 1)] = static_cast<std::int64_t>(IQMSNG(fx.cx(), L, v));
    }
    return true;
  }

  // The case-by-case form: a fresh sweep of the covariances for every
  // missing value of every incomplete case.
  Imputations reference(AddType add, std::uint32_t seed) {
    StreamDraws draws(seed);
    Imputations out;
    const SweepArrays a = arrays();
    const std::int64_t p = p_, n = n_;
    const CaseMatrix cases = fx.cx().case_matrix();
    for (std::int64_t L = 1; L <= n; ++L) {
      if (!load(L)) continue;
      for (std::int64_t q = 1; q <= p; ++q) {
        const std::int64_t v = roles(q).variable;
        if (rmiss[static_cast<std::size_t>(v - 1)] == 0) continue;
        std::int64_t d = 0;
        if (add == kAddResidual) {
          do d = static_cast<std::int64_t>(draws.uniform(1.0, static_cast<double>(n)));
          while (IQLOCM(fx.cx(), d) != 0);
        }
        for (std::size_t t = 0; t < base.size(); ++t) work[t] = base[t];
        for (std::int64_t r = 1; r <= p; ++r) {
          const std::int64_t u = roles(r).variable;
          a.status(r) = (u <= 5 && rmiss[static_cast<std::size_t>(u - 1)] == 0) ? 1.0 : 0.0;
        }
        a.status(q) = 2.0;
        for (std::int64_t r = 1; r <= p; ++r) a.status0(r) = a.status(r);
        SWEEP(p, a.work, a.status, a.pivot, a.refdiag, p - 1, 0.001, 4.0, n);
        double value = RMEAN()(v);
        double e = add == kAddResidual ? cases(d, q) - RMEAN()(v) : 0.0;
        for (std::int64_t r = 1; r <= p; ++r) {
          if (a.status0(r) != 1.0 || a.status(r) != 0.0) continue;
          const std::int64_t u = roles(r).variable;
          value += a.work(q, r) * (RCASE()(u) - RMEAN()(u));
          if (add == kAddResidual) e -= a.work(q, r) * (cases(d, r) - RMEAN()(u));
        }
        const double s2 = a.work(q, q);
        if (add == kAddNormal) e = s2 > 0.0 ? std::sqrt(s2) * draws.normal() : 0.0;
        if (add == kAddT) e = s2 > 0.0 ? std::sqrt(s2) * draws.student_t(3.0) : 0.0;
        out.values.push_back(value + e);
      }
    }
    return out;
  }

  // The same imputations with the equations kept in a store of
  // `budget` bytes.
  Imputations cached(AddType add, std::uint32_t seed, std::size_t budget, std::size_t& sweeps) {
    StreamDraws draws(seed);
    EquationCache equations(p_, arrays(), limits(), budget);
    ImputationInputs in;
    in.cases = fx.cx().case_matrix();
    in.LOCOF = fx.cx().words(fx.cmn().a.LOCOF);
    in.ncases = n_;
    in.roles = &roles;
    for (std::int64_t q = 1; q <= p_; ++q) {
      in.dependents.push_back(q);
      if (roles(q).variable <= 5) in.predictors.push_back(q);
    }
    in.RCASE = RCASE();
    in.RMISS = WordArray(rmiss.data());
    in.RMEAN = RMEAN();
    in.addtype = add;
    in.tdf = 3.0;
    CaseImputer imputer(in, equations);
    Imputations out;
    for (std::int64_t L = 1; L <= n_; ++L) {
      if (!load(L)) continue;
      for (const std::int64_t q : imputer.impute(draws)) out.values.push_back(RCASE()(roles(q).variable));
    }
    sweeps = equations.solved();
    return out;
  }
};

TEST(RegressionEquations, KeptEquationsGiveTheCaseByCaseImputations) {
  Group g;
  ASSERT_GT(g.fx.cmn().NINCOM, 100);
  const struct {
    AddType add;
    std::size_t budget;
  } rows[] = {{kAddResidual, std::size_t{1} << 20}, {kAddNone, std::size_t{1} << 20},
              {kAddNormal, std::size_t{1} << 20},   {kAddT, std::size_t{1} << 20},
              {kAddResidual, 0},                    {kAddT, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "add type " << row.add << ", budget " << row.budget);
    const Imputations want = g.reference(row.add, 99);
    std::size_t sweeps = 0;
    const Imputations got = g.cached(row.add, 99, row.budget, sweeps);
    ASSERT_EQ(got.values.size(), want.values.size());
    for (std::size_t i = 0; i < want.values.size(); ++i) {
      ASSERT_EQ(got.values[i], want.values[i]) << "imputed value " << i;
    }
    if (row.budget == 0) {
      EXPECT_EQ(sweeps, want.values.size());  // nothing kept: one sweep per value
    } else {
      EXPECT_LT(sweeps, want.values.size() / 2);  // patterns repeat
    }
  }
}

}  // namespace
}  // namespace mva::test
