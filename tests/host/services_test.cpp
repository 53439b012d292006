// The host's services: the workspace arena and its hard capacity, the
// numerics checked against closed forms, the fixed random stream, and saved
// files that replace an earlier data file and dictionary together or not at
// all.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <stdexcept>
#include <tuple>

#include "host/services/arena.h"
#include "host/services/numerics.h"
#include "host/services/saved_files.h"
#include "support/harness.h"

namespace mva::host {
namespace {

namespace fs = std::filesystem;

TEST(Arena, LaysOutWithinItsCapacityCutsBackJoinsAndRefusesFaults) {
  Arena arena(100 * 8);
  Index a = 0, b = 0, c = 0, d = 0, none = 5;
  ASSERT_TRUE(arena.allocate(40, a) && arena.allocate(40, b));
  EXPECT_EQ(b, 41);
  EXPECT_FALSE(arena.allocate(21, c));  // only 20 cells are left
  EXPECT_EQ(c, 0);
  ASSERT_TRUE(arena.allocate(20, c) && arena.allocate(0, d));  // an empty array gets a valid index, owns nothing
  EXPECT_GE(d, 1);
  arena.release(d, 0);
  arena.release(a, 40);
  arena.release(b, 40);  // joins with a's block
  EXPECT_EQ(arena.allocate_up_to(-1, a), 80);  // the largest free block, taken whole
  EXPECT_EQ(a, 1);
  arena.shrink(a, 30);
  EXPECT_EQ(arena.used_cells(), 50);
  ASSERT_TRUE(arena.allocate(50, b));
  EXPECT_EQ(b, 31);
  EXPECT_EQ(arena.allocate_up_to(-1, none), 0);  // nothing left
  EXPECT_EQ(none, 0);
  arena.workspace().reals(b)(50) = 2.5;  // cells are 8 bytes, read as doubles or as words
  arena.workspace().words(c)(1) = -7;
  EXPECT_EQ(arena.workspace().reals(b)(50), 2.5);
  EXPECT_EQ(arena.workspace().words(c)(1), -7);

  EXPECT_THROW(arena.release(c, 19), std::logic_error);  // wrong size
  EXPECT_THROW(arena.release(95, 5), std::logic_error);  // not laid out
  EXPECT_THROW(arena.shrink(c, 21), std::logic_error);   // beyond its size
  arena.release(c, 20);
  EXPECT_THROW(arena.release(c, 20), std::logic_error);  // twice
  arena.reset();
  EXPECT_EQ(arena.largest_free(), 100);
}

// Closed forms: P(T > |t|) = 1/2 - atan(|t|)/pi with one degree of freedom and
// 1/2 - t / (2 sqrt(2 + t^2)) with two; P(X > x) = exp(-x/2) for the
// chi-square with two and erfc(sqrt(x/2)) with one.
TEST(Numerics, TailsCorrelationAndWeightsMatchClosedForms) {
  constexpr double kTight = 1e-14;
  for (double t : {0.0, 0.3, 1.0, 2.5, 12.0, 200.0}) {
    EXPECT_NEAR(t_upper_tail(-t, 1.0), 0.5 - std::atan(t) / std::numbers::pi, kTight) << t;
    EXPECT_NEAR(t_upper_tail(t, 2.0), 0.5 - t / (2.0 * std::sqrt(2.0 + t * t)), kTight) << t;
  }
  for (double x : {0.01, 1.0, 3.841458820694124, 10.0, 60.0}) {
    EXPECT_NEAR(chisq_upper_tail(x, 2.0), std::exp(-x / 2.0), kTight) << x;
    EXPECT_NEAR(chisq_upper_tail(x, 1.0), std::erfc(std::sqrt(x / 2.0)), kTight) << x;
  }
  EXPECT_EQ(chisq_upper_tail(0.0, 3.0), 1.0);
  EXPECT_EQ(t_upper_tail(1.0, 0.0), kSystemMissing);  // no degrees of freedom: undefined

  EXPECT_DOUBLE_EQ(correlation(4.0, 9.0, 3.0), 0.5);
  EXPECT_EQ(correlation(4.0, 9.0, 6.0000000001), 1.0);  // rounding past 1 is held at 1
  EXPECT_EQ(correlation(0.0, 9.0, 0.0), kSystemMissing);  // zero variance: undefined
  const std::pair<double, double> weights[] = {{2.7, 2.0},   {2.9999999999, 3.0},    {0.4, 0.0},
                                               {-1.5, -1.0}, {kSystemMissing, 0.0}, {1e6 + 0.5, 1e6}};
  for (const auto& [weight, truncated] : weights) EXPECT_EQ(fuzzy_truncate(weight), truncated) << weight;
}

TEST(Numerics, RandomStreamHasFixedDraws) {
  // The program's default seed. These draws were recorded once; they must
  // not change between platforms or library updates, or saved imputations
  // would no longer reproduce.
  RandomStream s(2000000);
  EXPECT_EQ(s.uniform(0.0, 1.0), 0.28987429989501834);
  EXPECT_EQ(s.standard_normal(), -1.0859727533168502);
  EXPECT_EQ(s.student_t(5.0), -0.35382920770516341);
  s.reseed(2000000);
  EXPECT_EQ(s.uniform(0.0, 1.0), 0.28987429989501834);
}

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(SavedFiles, ReplaceTheDataFileAndItsDictionaryTogether) {
  // What stands at out.csv and out.dict.json before the commit ("file" an
  // earlier saved file, "dir" a folder the rename cannot replace, "" nothing).
  // The data rename fails after the dictionary is ready, or the dictionary
  // rename after the data file is placed.
  const std::tuple<std::string, std::string, bool> rows[] = {
      {"", "", true}, {"file", "file", true}, {"dir", "file", false}, {"file", "dir", false}};
  const auto old = [](const std::string& kind) { return std::string(kind == "file" ? "old" : ""); };
  for (const auto& [on_data, on_dict, committed] : rows) {
    SCOPED_TRACE(on_data + "/" + on_dict);
    const fs::path dir = test::fresh_dir("mva_saved_files_test");
    const fs::path data = dir / "out.csv", dict = dir / "out.dict.json";
    const std::pair<fs::path, std::string> targets[] = {{data, on_data}, {dict, on_dict}};
    for (const auto& [path, kind] : targets) {
      if (kind == "file") std::ofstream(path) << "old";
      if (kind == "dir") fs::create_directories(path / "inside");
    }
    const std::set<std::string> before = names_in(dir);

    SavedFiles files;
    std::string error;
    const FileHandle handle = files.define((dir / "out").string(), error);
    ASSERT_NE(handle, 0) << error;
    files.stream(handle) << "new";
    EXPECT_EQ(files.commit(handle, "{}", error), committed) << error;
    EXPECT_FALSE(files.contains(handle));
    // The temporary file is gone either way.
    EXPECT_EQ(names_in(dir), committed ? std::set<std::string>({"out.csv", "out.dict.json"}) : before);
    EXPECT_EQ(test::file_text(data) + "|" + test::file_text(dict),
              committed ? "new|{}\n" : old(on_data) + "|" + old(on_dict));
    if (!committed) {
      EXPECT_NE(error.find(on_data == "dir" ? data.string() : dict.string()), std::string::npos) << error;
      EXPECT_NE(error.find("directory"), std::string::npos) << error;  // the system's reason
    }
  }
}

}  // namespace
}  // namespace mva::host
