// The passes over the cases that run in chunks on the host's workers, on a
// generated file of several chunks with a weight: the whole output, split
// groups included and EM (whose set-up runs beside the first wave), is the
// same on 1, 2 and 5 threads, and so are the output and saved file of
// regression imputation; the chunked moments agree with the straightforward
// two-pass weighted sums; cases stored in blocks, without a weight, are the
// file's, with their locations in case order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "host/output/renderers.h"
#include "mva/cases/data_pass.h"
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
    ASSERT_EQ(run_command(*host, "MVA x1 TO x5 /LISTWISE /PAIRWISE /EM."), 0);
    const std::string json = host::render_json(host->output());
    ASSERT_NE(json.find("LOUT_ LISTWISE"), std::string::npos);
    if (first.empty()) {
      first = json;
    } else {
      EXPECT_TRUE(json == first) << "the output differs from the one of 1 thread";
    }
  }
}

// Regression imputation with RESIDUAL terms on 140,000 weighted cases of
// 20 variables (few values missing, so that complete cases outnumber the
// others and the donors stay): two waves of chunks, whose donors are drawn
// in case order while the chunks are imputed apart and whose cases the
// estimates take in beside the next wave. The output and the completed data
// with their indicators are the same on any number of threads, and the
// regression means are the weighted means of the completed data, so every
// completed case was taken in once.
TEST(ChunkedPasses, RegressionFilesSameOnAnyNumberOfThreads) {
  bench::SyntheticSpec spec;
  spec.cases = 140000;
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
  // EM's completed data are written a block of cases at a time: every
  // stored case once and in order, as in the regression's file, as the
  // weights show.
  TestData data{csv, {}};
  data.options.weight = "w";
  data.workspace_bytes = std::int64_t{1} << 30;
  data.threads = 2;
  const auto host = make_host(data);
  ASSERT_EQ(run_command(*host, "MVA x1 TO x20 /NOUNIVARIATE /EM (OUTFILE='" + file + "')."), 0);
  const std::vector<std::vector<std::string>> rows = csv_rows(file_text(file + ".csv")), stored = csv_rows(first_file);
  ASSERT_EQ(rows.size(), stored.size());
  for (std::size_t r = 0; r < rows.size(); ++r) ASSERT_EQ(rows[r].at(0), stored[r].at(0)) << "record " << r;
}

// The cases of the generated file: their values (NaN when missing) and
// weights, taken as whole numbers as the procedure takes them.
struct Cases {
  std::vector<std::vector<double>> x;
  std::vector<double> w;
};

Cases cases_of_csv(const std::string& csv) {
  Cases out;
  std::vector<std::vector<std::string>> rows = csv_rows(csv);  // the header first: w, x1..x5
  for (std::size_t r = 1; r < rows.size(); ++r) {
    std::vector<std::string>& cells = rows[r];
    cells.resize(1 + kVariables);
    out.w.push_back(std::floor(std::stod(cells[0])));
    out.x.emplace_back();
    for (std::size_t j = 1; j <= std::size_t{kVariables}; ++j)
      out.x.back().push_back(cells[j].empty() ? NAN : std::stod(cells[j]));
  }
  return out;
}

TEST(ChunkedPasses, MomentsAgreeWithPlainSums) {
  const std::string csv = generated(1);
  const Cases cases = cases_of_csv(csv);
  ASSERT_GT(static_cast<std::int64_t>(cases.w.size()), 4 * kChunkCases);
  TestData data{csv, {}};
  data.options.weight = "w";
  data.workspace_bytes = std::int64_t{512} << 20;
  data.threads = 2;
  ParseFixture fx(data);
  ASSERT_TRUE(fx.pass("MVA x1 TO x5."));
  fx.moments();
  Context& cx = fx.cx();
  const auto near = [](double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-11 * (std::fabs(want) + 1.0)) << what;
  };
  near(cx.cmn.SUMWT, std::accumulate(cases.w.begin(), cases.w.end(), 0.0L), "SUMWT");

  const RealArray LWMEAN = cx.reals(cx.cmn.a.LWMEAN);
  const RealTriangle LWCOV = cx.triangle(cx.cmn.a.LWCOV), PWN = cx.triangle(cx.cmn.a.PWN),
                     PWCOV = cx.triangle(cx.cmn.a.PWCOV);
  const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN), PWVAR = cx.square(cx.cmn.a.PWVAR);
  for (std::size_t a = 0; a < std::size_t{kVariables}; ++a) {
    const std::string xa = "x" + std::to_string(a + 1);
    const std::int64_t va = fx.host().DICSCH(xa), ca = ICOL2(cx, va);
    for (std::size_t b = 0; b <= a; ++b) {
      const std::string xb = "x" + std::to_string(b + 1), pair = xa + "," + xb;
      const std::int64_t cb = ICOL2(cx, fx.host().DICSCH(xb));
      const TwoPass lw = two_pass(cases.x, cases.w, a, b, true), pw = two_pass(cases.x, cases.w, a, b);
      near(fx.sums.LWN, lw.w, "LWN");
      near(LWMEAN(va), lw.mean_a, "LWMEAN " + xa);
      near(LWCOV(ca, cb), lw.sab / (lw.w - 1), "LWCOV " + pair);
      near(PWN(ca, cb), pw.w, "PWN " + pair);
      near(PWMEAN(ca, cb), pw.mean_a, "PWMEAN " + pair);
      near(PWMEAN(cb, ca), pw.mean_b, "PWMEAN " + xb + "," + xa);
      near(PWVAR(ca, cb), pw.saa / (pw.w - 1), "PWVAR " + pair);
      near(PWVAR(cb, ca), pw.sbb / (pw.w - 1), "PWVAR " + xb + "," + xa);
      near(PWCOV(ca, cb), pw.sab / (pw.w - 1), "PWCOV " + pair);
    }
  }
}

// Without a weight or split variables the host stores the cases of the
// file in blocks straight into the case matrix, on its workers. Checked
// against the file itself on 1, 2 and 5 threads, for a list that takes the
// variables out of their order: each stored case holds its record's cells,
// the incomplete cases have their locations in case order, the case order
// is the file's; with too little workspace the message still asks for room
// for every case.
TEST(ChunkedPasses, CasesStoredInBlocksHoldTheFile) {
  bench::SyntheticSpec spec;
  spec.cases = 200000;
  spec.variables = kVariables;
  spec.seed = 2026;
  const std::string csv = bench::synthetic_csv(spec);
  const std::vector<std::vector<std::string>> rows = csv_rows(csv);  // the header first: x1..x5
  const auto ncases = static_cast<std::int64_t>(rows.size()) - 1;
  const std::vector<std::size_t> listed = {3, 0, 1};  // x4 x1 x2
  for (const int threads : {1, 2, 5}) {
    SCOPED_TRACE(threads);
    TestData data{csv, {}};
    data.workspace_bytes = std::int64_t{256} << 20;
    data.threads = threads;
    ParseFixture fx(data);
    ASSERT_TRUE(fx.pass("MVA x4 x1 x2."));
    Context& cx = fx.cx();
    ASSERT_EQ(cx.cmn.NCASES, ncases);
    const std::vector<std::string>& calls = fx.host().calls;
    EXPECT_LT(std::count(calls.begin(), calls.end(), "OBSERV"), 10) << "the cases were not read in blocks";
    const CaseMatrix matrix = cx.case_matrix();
    const WordArray locof = cx.words(cx.cmn.a.LOCOF), caseat = cx.words(cx.cmn.a.CASEAT),
                    corder = cx.words(cx.cmn.a.CORDER);
    std::vector<std::int64_t> column;
    for (const std::size_t j : listed) column.push_back(ICOL2(cx, fx.host().DICSCH(rows[0].at(j))));
    std::int64_t incomplete = 0, wrong_cells = 0, wrong_places = 0;
    for (std::int64_t L = 1; L <= ncases; ++L) {
      const std::vector<std::string>& record = rows[static_cast<std::size_t>(L)];
      bool missing = false;
      for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string text = listed[i] < record.size() ? record[listed[i]] : "";
        missing = missing || text.empty();
        const double want = text.empty() ? -std::numeric_limits<double>::max() : std::stod(text);
        wrong_cells += matrix(L, column[i]) != want;
      }
      if (missing) ++incomplete;
      wrong_places += locof(L) != (missing ? incomplete : 0) || (missing && caseat(incomplete) != L) || corder(L) != L;
    }
    EXPECT_EQ(wrong_cells, 0);
    EXPECT_EQ(wrong_places, 0);
    EXPECT_GT(incomplete, 0);
    EXPECT_EQ(cx.cmn.NINCOM, incomplete);
    EXPECT_EQ(cx.cmn.NCOMPL, ncases - incomplete);

    // Room for about a third of the cases: reading goes on to count them all.
    data.workspace_bytes = ncases * 8;
    ParseFixture small(data);
    ASSERT_TRUE(small.pass("MVA x4 x1 x2."));
    EXPECT_EQ(small.cx().cmn.NCASES, ncases);
    ASSERT_EQ(small.host().messages.size(), 1u);
    EXPECT_EQ(small.host().messages[0].key, "DATA_ SET WORKSPACE TO ^1");
    EXPECT_EQ(small.host().messages[0].params,
              std::vector<std::string>{std::to_string(*workspace_kilobytes(small.cx().cmn.NVAR, ncases))});
  }
}

}  // namespace
}  // namespace mva::test
