// The passes over the cases that run in chunks on the host's workers, on a
// generated file of several chunks with a weight: the whole output, split
// groups included, is the same on 1, 2 and 5 threads, and so are the
// output and saved file of regression imputation; the chunked moments agree
// with the straightforward two-pass weighted sums.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/output/renderers.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"
#include "support/harness.h"
#include "synthetic_data.h"

namespace mva::test {
namespace {

constexpr int kVariables = 5;

// 300,000 weighted cases of x1..x5 with values missing independently, so
// that every chunk meets many patterns; with `groups` split groups.
std::string generated(int groups) {
  bench::SyntheticSpec spec;
  spec.cases = 300000;
  spec.variables = kVariables;
  spec.weight = true;
  spec.groups = groups;
  spec.seed = 2024;
  return bench::synthetic_csv(spec);
}

TEST(ChunkedPasses, SameOutputOnAnyNumberOfThreads) {
  const std::string csv = generated(2);
  std::string first;
  for (const int threads : {1, 2, 5}) {
    SCOPED_TRACE(threads);
    TestData data{csv, {}};
    data.options.weight = "w";
    data.options.split = {"g"};
    data.workspace_bytes = std::int64_t{512} << 20;
    data.threads = threads;
    const auto host = make_host(data);
    ASSERT_EQ(run_command(*host, "MVA x1 TO x5 /LISTWISE /PAIRWISE."), 0);
    const std::string json = host::render_json(host->output());
    ASSERT_NE(json.find("LOUT_ LISTWISE"), std::string::npos);
    if (first.empty()) {
      first = json;
    } else {
      EXPECT_TRUE(json == first) << "the output differs from the one of 1 thread";
    }
  }
}

// Regression imputation with RESIDUAL terms on 270,000 weighted cases of
// 20 variables (few values missing, so that complete cases outnumber the
// others and the donors stay): two waves of chunks, whose donors are drawn
// in case order while the chunks are imputed apart and whose cases the
// estimates take in beside the next wave. The output and the completed data
// with their indicators are the same on any number of threads, and the
// regression means are the weighted means of the completed data, so every
// completed case was taken in once.
TEST(ChunkedPasses, RegressionFilesSameOnAnyNumberOfThreads) {
  bench::SyntheticSpec spec;
  spec.cases = 270000;
  spec.weight = true;
  spec.missing_min = 0.002;
  spec.missing_max = 0.02;
  spec.seed = 2025;
  const std::string csv = bench::synthetic_csv(spec);
  const std::string file = (fresh_dir("chunked_regression") / "completed").string();
  std::string first_json, first_file;
  for (const int threads : {1, 2, 5}) {
    SCOPED_TRACE(threads);
    TestData data{csv, {}};
    data.options.weight = "w";
    data.workspace_bytes = std::int64_t{1} << 30;
    data.threads = threads;
    const auto host = make_host(data);
    ASSERT_EQ(run_command(*host, "MVA x1 TO x20 /NOUNIVARIATE /REGRESSION (ADDTYPE=RESIDUAL OUTFILE='" + file +
                                     "' INDICATOR)."),
              0);
    EXPECT_TRUE(host->messages.empty()) << "RESIDUAL was kept";
    const std::string json = host::render_json(host->output()), saved = file_text(file + ".csv");
    if (!first_json.empty()) {
      EXPECT_TRUE(json == first_json) << "the output differs from the one of 1 thread";
      EXPECT_TRUE(saved == first_file) << "the saved file differs from the one of 1 thread";
      continue;
    }
    first_json = json;
    first_file = saved;
    const std::vector<std::vector<std::string>> rows = csv_rows(saved);  // w, x1 .. x20, indicators
    ASSERT_EQ(rows.at(0).at(1), "x1");
    long double total = 0, sum[3] = {};
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const long double w = std::floor(std::stold(rows[r][0]));  // case weights are taken as whole numbers
      total += w;
      for (std::size_t j = 0; j < 3; ++j) sum[j] += w * std::stold(rows[r][1 + 6 * j]);
    }
    const std::map<std::string, Text> means = cells_of(table_numbered(host->output(), 23));
    for (std::size_t j = 0; j < 3; ++j) {
      const std::string x = "x" + std::to_string(1 + 6 * j);
      const double want = static_cast<double>(sum[j] / total);
      EXPECT_NEAR(means.at(x).number, want, 1e-12 * std::fabs(want)) << x;
    }
  }
}

// One case of the generated file: its weight and values (NaN when missing).
// A case of weight 0 counts nowhere.
struct Case {
  double w = 0.0;
  std::vector<double> x;
};

std::vector<Case> cases_of_csv(const std::string& csv) {
  std::vector<Case> out;
  std::vector<std::vector<std::string>> rows = csv_rows(csv);  // the header first: w, x1..x5
  for (std::size_t r = 1; r < rows.size(); ++r) {
    std::vector<std::string>& cells = rows[r];
    cells.resize(1 + kVariables);
    Case c;
    c.w = std::floor(std::stod(cells[0]));  // case weights are taken as whole numbers
    for (std::size_t j = 1; j <= std::size_t{kVariables}; ++j)
      c.x.push_back(cells[j].empty() ? NAN : std::stod(cells[j]));
    out.push_back(std::move(c));
  }
  return out;
}

// Weighted moments of columns a and b over the cases where both are present
// (listwise: where every column is), summed plainly in two passes.
struct Plain {
  long double n = 0, mean_a = 0, mean_b = 0, var_a = 0, var_b = 0, cov = 0;
};

Plain plain_moments(const std::vector<Case>& cases, int a, int b, bool listwise) {
  const auto takes = [&](const Case& c) {
    if (!(c.w > 0.0)) return false;
    if (!listwise) return !std::isnan(c.x[a]) && !std::isnan(c.x[b]);
    for (const double v : c.x) {
      if (std::isnan(v)) return false;
    }
    return true;
  };
  Plain p;
  for (const Case& c : cases) {
    if (!takes(c)) continue;
    p.n += c.w;
    p.mean_a += c.w * static_cast<long double>(c.x[a]);
    p.mean_b += c.w * static_cast<long double>(c.x[b]);
  }
  p.mean_a /= p.n;
  p.mean_b /= p.n;
  for (const Case& c : cases) {
    if (!takes(c)) continue;
    const long double da = c.x[a] - p.mean_a, db = c.x[b] - p.mean_b;
    p.var_a += c.w * da * da;
    p.var_b += c.w * db * db;
    p.cov += c.w * da * db;
  }
  p.var_a /= p.n - 1;
  p.var_b /= p.n - 1;
  p.cov /= p.n - 1;
  return p;
}

TEST(ChunkedPasses, MomentsAgreeWithPlainSums) {
  const std::string csv = generated(1);
  const std::vector<Case> cases = cases_of_csv(csv);
  ASSERT_GT(static_cast<std::int64_t>(cases.size()), 4 * kChunkCases);
  TestData data{csv, {}};
  data.options.weight = "w";
  data.workspace_bytes = std::int64_t{512} << 20;
  data.threads = 2;
  ParseFixture fx(data);
  ASSERT_TRUE(fx.pass("MVA x1 TO x5."));
  fx.moments();
  Context& cx = fx.cx();
  const auto near = [](double got, long double want, const std::string& what) {
    EXPECT_NEAR(got, static_cast<double>(want), 1e-11 * (std::fabs(static_cast<double>(want)) + 1.0)) << what;
  };
  long double total = 0;
  for (const Case& c : cases) total += c.w;
  near(cx.cmn.SUMWT, total, "SUMWT");

  const RealArray LWMEAN = cx.reals(cx.cmn.a.LWMEAN);
  const RealTriangle LWCOV = cx.triangle(cx.cmn.a.LWCOV), PWN = cx.triangle(cx.cmn.a.PWN),
                     PWCOV = cx.triangle(cx.cmn.a.PWCOV);
  const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN), PWVAR = cx.square(cx.cmn.a.PWVAR);
  for (int a = 0; a < kVariables; ++a) {
    const std::string xa = "x" + std::to_string(a + 1);
    const std::int64_t va = fx.host().DICSCH(xa), ca = ICOL2(cx, va);
    for (int b = 0; b <= a; ++b) {
      const std::string xb = "x" + std::to_string(b + 1), pair = xa + "," + xb;
      const std::int64_t cb = ICOL2(cx, fx.host().DICSCH(xb));
      const Plain lw = plain_moments(cases, a, b, true);
      near(fx.sums.LWN, lw.n, "LWN");
      near(LWMEAN(va), lw.mean_a, "LWMEAN " + xa);
      near(LWCOV(ca, cb), lw.cov, "LWCOV " + pair);
      const Plain pw = plain_moments(cases, a, b, false);
      near(PWN(ca, cb), pw.n, "PWN " + pair);
      near(PWMEAN(ca, cb), pw.mean_a, "PWMEAN " + pair);
      near(PWMEAN(cb, ca), pw.mean_b, "PWMEAN " + xb + "," + xa);
      near(PWVAR(ca, cb), pw.var_a, "PWVAR " + pair);
      near(PWVAR(cb, ca), pw.var_b, "PWVAR " + xb + "," + xa);
      near(PWCOV(ca, cb), pw.cov, "PWCOV " + pair);
    }
  }
}

}  // namespace
}  // namespace mva::test
