// EM: the iterations against the straightforward case-by-case form for every
// model; the estimates and Little's test against tools/em_sweep_reference.py
// (the fixed point of tools/em_reference.py, Little's test included, is
// checked end to end in tests/cli/expected_values_test.cpp); the model
// factors, the messages and the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/em_algorithm.h"
#include "mva/estimation/mahalanobis.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/sweep.h"
#include "mva/frame/queries.h"
#include "support/harness.h"
#include "synthetic_data.h"

namespace mva::test {
namespace {

// A data set of the tests by name: airquality (weighted by w in the
// estimation fixtures), nhanes and mammalsleep as the R package mice ships
// them, nhanes weighted by w (tools/em_sweep_reference.py).
TestData fixture(const std::string& name) {
  if (!name.ends_with("_weighted")) return {source_file("tests/fixtures/mva/" + name + ".csv"), {}};
  TestData d{source_file("tests/fixtures/estimation/" + name + ".csv"), {}};
  d.options.weight = "w";
  return d;
}

const nlohmann::json& reference(const char* name) {
  static std::map<std::string, nlohmann::json> loaded;
  nlohmann::json& j = loaded[name];
  if (j.is_null()) j = nlohmann::json::parse(source_file(std::string("tests/fixtures/estimation/") + name));
  return j;
}

// The estimates EM ends with: means by dictionary index (0-based), the
// covariances packed over the columns.
struct Estimates {
  std::vector<double> means, cov;
};

// A group's cases read, their moments computed and the EM start values in
// place, as the executive leaves them.
struct EmSetup {
  ParseFixture fx;
  bool parsed;
  std::vector<double> work1, work2, casrec;

  EmSetup(const TestData& data, const std::string& command) : fx(data), parsed(fx.pass(command)) {
    if (!parsed) return;
    Context& cx = fx.cx();
    fx.moments();
    for (std::int64_t k = 1; k <= cx.cmn.NANAL; ++k)
      cx.reals(cx.cmn.a.VMEAN)(IANVAR(cx, k)) = cx.square(cx.cmn.a.PWMEAN)(k, k);
    work1 = work2 = std::vector<double>(static_cast<std::size_t>(cx.cmn.NV) + 1, 0.0);
    casrec.assign(static_cast<std::size_t>(cx.cmn.NVAR) + 1, 0.0);
  }
  Context& cx() { return fx.cx(); }
  Estimates current() {
    Context& cx = fx.cx();
    Estimates e;
    for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) e.means.push_back(cx.reals(cx.cmn.a.VMEAN)(v));
    for (std::int64_t i = 1; i <= triangle_cells(cx.cmn.NV); ++i) e.cov.push_back(cx.triangle(cx.cmn.a.PWCOV).at(i));
    return e;
  }
  EmResult run(EmGroundwork* groundwork = nullptr) {
    EmResult r;
    EMA(fx.cx(), fx.sums, RealArray(work1), RealArray(work2), RealArray(casrec), r, groundwork);
    return r;
  }
};

// The straightforward form: every incomplete case in location order, the
// working matrix swept on the columns whose observed state changed since the
// previous case, the case completed, its residual covariance added and the
// case added to the moments on its own.
EmResult case_by_case(Context& cx, const ListwiseSums& sums) {
  MvaCommon& c = cx.cmn;
  const std::int64_t p = c.NV, nvar = c.NVAR;
  const ColumnRoles roles = column_roles(cx);
  const double sysmis = cx.host.PCINMS();
  const RealArray LWMEAN = cx.reals(c.a.LWMEAN), means = cx.reals(c.a.VMEAN);
  const RealTriangle LWCOV = cx.triangle(c.a.LWCOV), cp = cx.triangle(c.a.PWCOV);
  const auto P = static_cast<std::size_t>(p) + 1;
  std::vector<double> mu_(static_cast<std::size_t>(nvar) + 1), x_(mu_.size()),
      S_(static_cast<std::size_t>(triangle_cells(p)) + 1), status_(P), work_(P), ref_(P), dev_(P), obs(P);
  const RealArray mu(mu_), x(x_), status(status_), work(work_), ref(ref_), dev(dev_);
  const RealTriangle S{RealArray(S_)};
  const std::int64_t wcol = WGTVAR(cx) > 0 ? ICOL2(cx, WGTVAR(cx)) : 0;
  const double t = c.EMTOL;
  EmResult out;
  while (!out.converged && out.iterations < c.EMITER) {
    ++out.iterations;
    const double g = sums.LWN > 0 ? (sums.LWN - 1) * sums.update_weight / sums.LWN : 0.0;
    for (std::int64_t k = 1; k <= p; ++k) {
      const std::int64_t v = IANVAR(cx, k);
      mu(v) = means(v);
      means(v) = LWMEAN(v);
      for (std::int64_t j = 1; j <= k; ++j) S(k, j) = cp(k, j), cp(k, j) = g * LWCOV(k, j);
      status(k) = 0;
    }
    MomentWeights mw{sums.LWN, sums.update_weight};
    for (std::int64_t m = 1; m <= c.NINCOM; ++m) {
      const std::int64_t r = LOCCAS(cx, m);
      for (std::int64_t k = 1; k <= p; ++k) {
        const std::int64_t v = IANVAR(cx, k);
        obs[static_cast<std::size_t>(k)] = ISINDP(cx, v, kEm) && !ISMSLC(cx, v, m) ? 1 : 0;
        x(v) = ISDEPV(cx, v, kEm) || ISINDP(cx, v, kEm) ? CELLV(cx, v, r) : 0.0;
        status(k) += obs[static_cast<std::size_t>(k)];
      }
      SWEEP(p, S, status, work, ref, p, m == 1 ? t : -t, 0, c.NCASES);
      double q = 0;
      for (std::int64_t k = 1; k <= p; ++k) {
        status(k) -= obs[static_cast<std::size_t>(k)];
        if (status(k) == -1) ++q;
      }
      const double w = wcol > 0 && c.NCASES > 0 ? cx.case_matrix()(r, wcol) : 1.0;
      const double d2 = MAHAL(p, mu, S, x, roles, sysmis);
      const double f = EmModel{t, c.EMCONV, c.EMTDF, c.EMPROP, c.EMLAMB}.factor(d2, q);  // checked in EmModelFactors
      if (!(w > 0 && f > 0)) continue;
      bool any = false;
      for (std::int64_t k = 1; k <= p; ++k) {
        const std::int64_t v = IANVAR(cx, k);
        if (!ISDEPV(cx, v, kEm) || !ISMSLC(cx, v, m)) continue;
        any = true;
        x(v) = mu(v);
        for (std::int64_t j = 1; j <= p; ++j) {
          const std::int64_t u = IANVAR(cx, j);
          if (!INVLST(cx, u)) continue;
          if (obs[static_cast<std::size_t>(j)] == 0 && j <= k) cp(k, j) += w * f * S(k, j);
          if (status(j) == -1) x(v) += (x(u) - mu(u)) * S(k, j);
        }
      }
      if (any) MOMUPD(false, false, nvar, triangle_cells(p), roles, 1, p, w, f, x, mw, means, cp, dev);
    }
    const double N = mw.sumw, s = N > 1 ? (N / mw.sumwf) / (N - 1) : 0.0;
    for (std::int64_t i = 1; i <= triangle_cells(p); ++i) cp.at(i) *= s;
    SWEEP(p, S, status, work, ref, p, -t, 0, c.NCASES);
    out.converged = true;
    for (std::int64_t k = 1; k <= p; ++k) {
      if (!ISDEPV(cx, IANVAR(cx, k), kEm)) continue;
      const double a = cp(k, k), b = S(k, k);
      if (std::fabs(b - a) > (std::fabs(a) > 1 ? c.EMCONV * std::fabs(a) : c.EMCONV)) out.converged = false;
    }
  }
  return out;
}

// Relative difference, scaled by the largest magnitude of the set.
double worst(const std::vector<double>& a, const std::vector<double>& b) {
  double scale = 0, diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    scale = std::max(scale, std::fabs(b[i])), diff = std::max(diff, std::fabs(a[i] - b[i]));
  return scale > 0 ? diff / scale : diff;
}

// The means and covariances EM left against a reference's "names", "means"
// and "cov", to 1e-10 of the mean and of the geometric mean of the variances.
void expect_estimates(EmSetup& setup, const nlohmann::json& want) {
  Context& cx = setup.cx();
  const auto& names = want["names"];
  const auto column = [&](std::size_t i) { return setup.fx.host().DICSCH(names[i].get<std::string>()); };
  for (std::size_t i = 0; i < names.size(); ++i) {
    const double mean = want["means"][i];
    EXPECT_NEAR(cx.reals(cx.cmn.a.VMEAN)(column(i)), mean, 1e-10 * std::fabs(mean)) << names[i];
    for (std::size_t j = 0; j <= i; ++j) {
      const double scale = std::sqrt(want["cov"][i][i].get<double>() * want["cov"][j][j].get<double>());
      EXPECT_NEAR(cx.triangle(cx.cmn.a.PWCOV)(ICOL2(cx, column(i)), ICOL2(cx, column(j))),
                  want["cov"][i][j].get<double>(), 1e-10 * scale)
          << names[i] << "," << names[j];
    }
  }
}

// Thirty cases of x, y, z (y missing in every fourth) and one more whose x
// lies about a million standard deviations out, y missing.
TestData far_outlier() {
  std::string csv = "x,y,z\n";
  for (int i = 0; i < 30; ++i) {
    const std::string y = i % 4 == 1 ? "" : std::to_string((i * 7) % 11 + 0.5 * i);
    csv += std::to_string(i) + "," + y + "," + std::to_string((i * 5) % 13) + "\n";
  }
  return {csv + "1e7,,3\n", {}};
}

// The iterations against the case-by-case walk, to 1e-12 of the largest
// element of each set: the grouped form (one sweep per pattern group) where
// the sweep refuses no column, the walk in location order where it does
// (mammalsleep's ts = sws + ps, a raised tolerance); a case a million
// standard deviations out under the contaminated-normal model.
TEST(EmIterations, GroupedFormMatchesCaseByCase) {
  const std::string aq = "MVA Ozone SolarR Wind Temp Month Day /NOUNIVARIATE /EM";
  const std::string ms = "MVA bw brw sws ps ts mls gt pi sei odi /NOUNIVARIATE /EM";
  const struct {
    TestData data;
    std::string command;
    bool walks;
  } rows[] = {
      {fixture("airquality"), aq + " (ITERATIONS=8).", false},
      {fixture("airquality"), aq + " (TDF=2 ITERATIONS=8).", false},
      {fixture("airquality_weighted"), aq + " (TDF=4 ITERATIONS=8).", false},
      {fixture("airquality"), aq + " (PROPORTION=0.1 LAMBDA=5 ITERATIONS=8).", false},
      {fixture("airquality_weighted"), aq + " (PROPORTION=0.2 LAMBDA=3 ITERATIONS=8).", false},
      {fixture("airquality"), aq + " Ozone SolarR WITH Ozone Wind Temp (ITERATIONS=8).", false},
      {fixture("airquality_weighted"), aq + " Ozone SolarR WITH Wind Temp Day (PROPORTION=0.1 LAMBDA=4 ITERATIONS=8).",
       false},
      {fixture("airquality"), aq + " (ITERATIONS=200 CONVERGENCE=1E-3).", false},
      {fixture("airquality"), aq + " (ITERATIONS=0).", false},  // the start values, not converged
      {fixture("airquality_weighted"), aq + " (TOLERANCE=0.5 TDF=4 ITERATIONS=8).", true},
      {fixture("mammalsleep"), ms + " (PROPORTION=0.1 LAMBDA=0.5).", true},
      {fixture("nhanes_weighted"), "MVA age bmi hyp chl /NOUNIVARIATE /EM (TOLERANCE=0.6 TDF=3).", true},
      {far_outlier(), "MVA x y z /NOUNIVARIATE /EM (PROPORTION=0.05 LAMBDA=0.1 ITERATIONS=5).", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + (row.data.options.weight ? " weighted" : ""));
    EmSetup ref(row.data, row.command), walked(row.data, row.command);
    ASSERT_TRUE(ref.parsed);
    const EmResult want = case_by_case(ref.cx(), ref.fx.sums);
    const EmResult r = walked.run();
    EXPECT_EQ(std::pair(r.iterations, r.converged), std::pair(want.iterations, want.converged));
    EXPECT_LT(worst(walked.current().means, ref.current().means), 1e-12);
    EXPECT_LT(worst(walked.current().cov, ref.current().cov), 1e-12);
    EXPECT_EQ(r.case_by_case > 0, row.walks) << r.case_by_case << " of " << r.iterations;
  }
}

// The set-up laid ahead of EM, without the host (as beside the moment pass),
// gives EM exactly what EMA's own set-up gives: on the data sets above, and
// on 1,500 cases of 20 variables, 30 to 50 percent missing, whose patterns are too many for the chain
// to run ahead, so that EMA finishes it.
TEST(EmIterations, GroundworkLaidAheadGivesTheSameRun) {
  bench::SyntheticSpec spec;
  spec.cases = 1500;
  spec.missing_min = 0.3;
  spec.missing_max = 0.5;
  const struct {
    TestData data;
    std::string command;
    bool many;  // more patterns than the chain takes ahead
  } rows[] = {
      {fixture("airquality_weighted"), "MVA Ozone SolarR Wind Temp Month Day /NOUNIVARIATE /EM (ITERATIONS=8).", false},
      {fixture("mammalsleep"), "MVA bw brw sws ps ts mls gt pi sei odi /NOUNIVARIATE /EM (TDF=3).", false},
      {fixture("nhanes"), "MVA age bmi hyp chl /NOUNIVARIATE /EM bmi hyp WITH age chl.", false},
      {{bench::synthetic_csv(spec), {}}, "MVA x1 TO x20 /NOUNIVARIATE /EM (ITERATIONS=3).", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    EmSetup own(row.data, row.command), ahead(row.data, row.command);
    ASSERT_TRUE(own.parsed);
    const std::vector<std::int64_t> vars = pattern_variables(own.cx(), own.cx().cmn.NVAR, true);
    EXPECT_EQ(LocationPatterns(own.cx(), vars).groups() > EmGroundwork::kUnpolledGroups, row.many);
    EmGroundwork groundwork(ahead.cx());
    groundwork.ahead();
    const EmResult want = own.run(), got = ahead.run(&groundwork);
    EXPECT_EQ(std::pair(got.iterations, got.mcar_chisq), std::pair(want.iterations, want.mcar_chisq));
    EXPECT_EQ(ahead.current().means, own.current().means);
    EXPECT_EQ(ahead.current().cov, own.current().cov);
    const WordArray order = ahead.cx().words(ahead.cx().cmn.a.CORDER),
                    want_order = own.cx().words(own.cx().cmn.a.CORDER);
    ASSERT_EQ(ahead.cx().cmn.NINCOM, own.cx().cmn.NINCOM);
    for (std::int64_t m = 1; m <= own.cx().cmn.NINCOM; ++m) ASSERT_EQ(order(m), want_order(m)) << m;
  }
}

// Whole EM runs followed step by step by tools/em_sweep_reference.py: the
// iteration at which the stopping rule ends each run, the estimates there
// (1e-10 relative), and Little's test. Among them: runs whose sweeps refuse
// columns (nhanes TOLERANCE=0.9, mammalsleep), where the grouped form would
// differ; weighted t and contaminated-normal runs (covariances: the
// cross-products times (N / W) / (N - 1)); separate dependent and
// independent lists; a categorical variable on the list.
TEST(EmReference, LocationOrderRuns) {
  for (const nlohmann::json& run : reference("em_sweep_reference.json")) {
    if (run.contains("split")) continue;  // in EmProcedure.SplitFileRecords
    const std::string command = run["command"].get<std::string>();
    SCOPED_TRACE(run["label"].get<std::string>() + ": " + command);
    EmSetup setup(fixture(run["label"]), command);
    ASSERT_TRUE(setup.parsed);
    const EmResult r = setup.run();
    EXPECT_EQ(r.iterations, run["iterations"].get<std::int64_t>());
    EXPECT_EQ(r.converged, run["converged"].get<bool>());
    expect_estimates(setup, run);
    EXPECT_EQ(r.mcar_df, run["mcar_df"].get<double>());
    EXPECT_NEAR(r.mcar_chisq, run["mcar_chisq"].get<double>(), 1e-9 * r.mcar_chisq);
  }
}

// The model factors: t with 2 degrees of freedom weighs a case by
// (q + 2) / (d2 + 2); the contaminated-normal factor against the mixture's
// posterior written out: component densities proportional to exp(-d2 / 2)
// and lambda^(q/2) exp(-lambda d2 / 2). Their effect on the estimates is
// checked against tools/mva_expected.py in tests/cli/expected_values_test.cpp.
TEST(EmModelFactors, TAndContaminatedNormal) {
  EXPECT_DOUBLE_EQ((EmModel{0.001, 1e-4, 2.0, 0.0, 0.0}.factor(40.0, 3)), 5.0 / 42.0);
  EXPECT_TRUE((EmModel{0.001, 1e-4, 0.0, 0.1, 0.0}.normal()));  // PROPORTION without LAMBDA
  for (const double pi : {0.05, 0.3}) {
    for (const double lambda : {0.2, 5.0}) {
      const EmModel mix{0.001, 1e-4, 4.0, pi, lambda};  // TDF is passed over
      for (const double d2 : {0.0, 1.0, 7.5, 30.0}) {
        for (const double q : {1.0, 4.0}) {
          const double main = (1 - pi) * std::exp(-d2 / 2);
          const double other = pi * std::pow(lambda, q / 2) * std::exp(-lambda * d2 / 2);
          const double want = (main + lambda * other) / (main + other);
          EXPECT_NEAR(mix.factor(d2, q), want, 1e-14 * want) << pi << " " << lambda << " " << d2 << " " << q;
        }
      }
    }
  }
  // A far case, whose posterior odds overflow, has the factor lambda.
  const EmModel far{0.001, 1e-4, 0.0, 0.05, 0.1};
  EXPECT_EQ(far.factor(1e12, 2.0), 0.1);
  EXPECT_NEAR(far.factor(1500.0, 2.0), 0.1, 1e-15);  // just below the overflow: the formula itself
}

// An independent-only variable missing stops EM (an error of class 1), not
// when no iteration runs. The error ends the procedure: in the second of
// three split groups, after the first group's EM and regression tables,
// nothing of that group's EM or regression is shown, the third group is not
// analysed, the command fails and its EM file is not written. The write
// error is in saved_files_test.cpp.
TEST(EmProcedure, MissingIndependent) {
  for (const std::string options : {"", " (ITERATIONS=0)"}) {
    auto host = make_host({"a,b,c\n1,2,3\n2,,4\n3,4,\n4,3,5\n5,5,6\n", {}});
    run_command(*host, "MVA a b c /EM b WITH a c" + options + ".");
    EXPECT_EQ(message_lines(host->messages), std::vector<std::string>(options.empty(), "_EMA_ MISSING IDEP VAR|13"));
  }
  TestData data{
      "g,a,b,c\n1,1,2,3\n1,2,,4\n1,3,4,5\n1,4,3,7\n1,5,7,6\n"
      "2,1,2,3\n2,2,,4\n2,3,4,\n2,4,3,5\n2,5,5,6\n"
      "3,1,2,3\n3,2,,4\n3,3,4,5\n3,4,3,7\n3,5,7,6\n",
      {}};
  data.options.split = {"g"};
  const std::string path = (fresh_dir("em_test_error") / "done").string();
  const Shown shown = run_shown(data, "MVA a b c /NOUNIVARIATE /EM b WITH a c (OUTFILE='" + path + "') /REGRESSION.");
  EXPECT_NE(shown.result, 0);
  EXPECT_EQ(message_lines(shown.messages()), std::vector<std::string>{"_EMA_ MISSING IDEP VAR|13"});
  std::vector<std::string> seen;  // split groups and the EM and regression means tables, in order
  const std::function<void(const nlohmann::json&)> walk = [&](const nlohmann::json& items) {
    for (const nlohmann::json& item : items) {
      if (item["type"] == "split") seen.push_back("group " + item["values"][0]["text"].get<std::string>());
      if (item["type"] == "table" && (item["number"] == 20 || item["number"] == 23))
        seen.push_back("table " + std::to_string(item["number"].get<int>()));
      if (item.contains("items")) walk(item["items"]);
    }
  };
  walk(shown.output);
  EXPECT_EQ(seen, (std::vector<std::string>{"group 1", "table 20", "table 23", "group 2"}));
  EXPECT_FALSE(std::filesystem::exists(path + ".csv"));
}

// The completed-data file of an EM run over airquality read back: the
// header and 153 cases of `fields` cells each, no cell empty.
std::vector<std::vector<std::string>> completed_file(const TestData& data, const std::string& options,
                                                     std::size_t fields) {
  const std::string path = (fresh_dir("em_test_done") / "done").string();
  auto host = make_host(data);
  const std::string list = fields == 5 ? "Ozone SolarR Wind Temp" : "Ozone SolarR Wind Temp Month Day";
  EXPECT_EQ(run_command(*host, "MVA " + list + " /NOUNIVARIATE /EM (OUTFILE='" + path + "'" + options + ")."), 0);
  const std::vector<std::vector<std::string>> cells = csv_rows(file_text(path + ".csv"));
  EXPECT_EQ(cells.size(), 154u);
  for (std::size_t r = 1; r < cells.size(); ++r) {
    EXPECT_EQ(cells[r].size(), fields) << "row " << r;
    for (const std::string& f : cells[r]) EXPECT_FALSE(f.empty() || f == "NA") << "row " << r;
  }
  return cells;
}

// EM files of split data: every group's records appended in file order, the
// split variable (not on the list) in each record, each missing value
// replaced by its conditional mean under its own group's estimates
// (tools/em_sweep_reference.py, airquality by month; June stops at the
// iteration limit, the other months converge). Unsplit, each imputed cell
// is the conditional mean under the fixed-point estimates
// (tools/em_reference.py).
TEST(EmProcedure, CompletedDataFiles) {
  TestData data = fixture("airquality");
  data.options.split = {"Month"};
  const std::vector<std::vector<std::string>> cells = completed_file(data, "", 5), input = csv_rows(data.csv);
  ASSERT_EQ(cells.size(), 154u);
  const std::vector<std::string>& header = cells[0];
  EXPECT_EQ(header, (std::vector<std::string>{"Ozone", "SolarR", "Wind", "Temp", "Month"}));
  std::size_t imputed = 0;
  for (const nlohmann::json& run : reference("em_sweep_reference.json")) {
    if (!run.contains("split")) continue;
    SCOPED_TRACE(run["command"].get<std::string>());
    for (const auto& cell : run["imputed"]) {
      const auto row = cell[0].get<std::size_t>();
      const auto at = static_cast<std::size_t>(std::find(header.begin(), header.end(), cell[1]) - header.begin());
      ASSERT_LT(at, header.size());
      EXPECT_EQ(input[row][at] + cells[row][4], "NA" + run["split"].dump()) << "row " << row;
      EXPECT_NEAR(std::stod(cells[row][at]), cell[2].get<double>(), 1e-9 * std::fabs(cell[2].get<double>()))
          << cell.dump();
      ++imputed;
    }
  }
  EXPECT_EQ(imputed, 44u);  // 37 Ozone and 7 SolarR

  const auto whole = completed_file(fixture("airquality"), " ITERATIONS=300 CONVERGENCE=1E-300", 6);
  ASSERT_EQ(whole.size(), 154u);
  for (const auto& cell : reference("em_reference.json")["unweighted"]["imputed"]) {
    const double got = std::stod(whole[cell[0].get<std::size_t>()][cell[1].get<std::size_t>()]);
    EXPECT_NEAR(got, cell[2].get<double>(), 1e-9 * std::fabs(cell[2].get<double>())) << cell.dump();
  }
}

}  // namespace
}  // namespace mva::test
