// The entry and its split-group loop, through the order of the host calls it
// makes, also loaded as a shared object and run on two threads at once; and
// every message key in the sources has a text in the English catalogue.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <regex>
#include <set>
#include <thread>

#include "host/output/catalogue.h"
#include "mva/frame/module_export.h"
#include "support/harness.h"
#include "synthetic_data.h"

namespace mva::test {
namespace {

using Calls = std::vector<std::string>;

// Three split groups by g, of 2, 1 and 2 cases (or one group of 5).
std::unique_ptr<RecordingHost> host_of(bool split) {
  TestData s{"g,a,b\n1,1,2\n1,,3\n2,4,5\n3,6,\n3,7,8\n", {}};
  if (split) s.options.split = {"g"};
  return make_host(s);
}

// With `interrupt`, the host is interrupted at the second case: the
// procedure stops and its end is discarded.
TEST(Entry, CallsOfOneRun) {
  const std::string pass = "BP_PROCEDURE; OBINIT; OBPINI; SSTACK; DICGNV; ";
  const struct {
    bool split, interrupt;
    const char* command;
    int result;
    std::string calls;  // folded, joined by "; "
  } rows[] = {
      {false, false, "MVA a b.", 0, pass + "OBSERV*5; OBSERV:end; OBPEND; SSDELS; BP_END_PROCEDURE"},
      // The split is announced after each group's data pass; the last
      // rewind finds no group left.
      {true, false, "MVA a b.", 0,
       pass + "OBSERV*2; OBSERV:end; BP_SPLIT_CHANGE; SSETPT 0; DICGNV; OBSERV*1; OBSERV:end; BP_SPLIT_CHANGE; "
              "SSETPT 0; DICGNV; OBSERV*2; OBSERV:end; BP_SPLIT_CHANGE; SSETPT 0; DICGNV; OBPEND; SSDELS; "
              "BP_END_PROCEDURE"},
      // A syntax error: no data pass, and the reading is not ended.
      {true, false, "MVA a b /MAXCAT=0.", 1,
       pass + "BP_ERROR PARS_ /MAXCAT MUST BE A POSITIVE INTEGER; SSDELS; BP_END_PROCEDURE"},
      {true, true, "MVA a b.", 1, pass + "OBSERV*2; BP_ERROR HOST_ INTERRUPTED; SSDELS; BP_END_PROCEDURE"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + std::string(row.interrupt ? " (interrupted)" : ""));
    auto host = host_of(row.split);
    int cases = 0;
    host->on_call = [&](const std::string& call) {
      if (row.interrupt && call == "OBSERV" && ++cases == 2) host::ReferenceHost::request_interrupt();
    };
    EXPECT_EQ(run_command(*host, row.command), row.result);
    host::ReferenceHost::clear_interrupt();
    std::string calls;
    for (const std::string& call : host->folded_calls()) calls += (calls.empty() ? "" : "; ") + call;
    EXPECT_EQ(calls, row.calls);
    EXPECT_EQ(host->arena().used_cells(), 0);  // every array given back
  }
}

TEST(Entry, GroupsStartFromTheDefaultsAndKeepTheirFiles) {
  auto host = host_of(true);
  int groups = 0;
  std::vector<std::int64_t> maxcat_at_plan;
  host->on_call = [&](const std::string& call) {
    ASSERT_NE(running_common(), nullptr);
    MvaCommon& c = *running_common();
    if (call == "DICGNV") {  // inside the first plan, after its resets
      maxcat_at_plan.push_back(c.MAXCAT);
      EXPECT_FALSE(is_true(c.SUBCMD[kTtest]));
      EXPECT_EQ(SFKIND(c, 14), groups == 0 ? kNoFile : kDataFile);
    }
    if (call == "BP_SPLIT_CHANGE" && groups++ == 0) {
      // Files opened in the first group, slots filled out of order.
      SFSETS(c, 15, kDataFile, 515), SFSETS(c, 12, kStatisticsFile, 512), SFSETS(c, 14, kDataFile, 514);
    }
  };
  EXPECT_EQ(run_command(*host, "MVA a b /MAXCAT=10 /TTEST."), 0);
  EXPECT_EQ(maxcat_at_plan, (std::vector<std::int64_t>{25, 25, 25, 25}));
  const Calls calls = host->folded_calls();
  EXPECT_EQ(Calls(calls.end() - 6, calls.end()),
            (Calls{"SFCLDE 512", "SFCLDE 514", "SFCLDE 515", "OBPEND", "SSDELS", "BP_END_PROCEDURE"}));
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SFCLDE 515"), 1);
}

TEST(Entry, LoadedModuleRunsACommand) {
  void* module = dlopen(MVA_MODULE_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto bind = reinterpret_cast<int (*)(Host*)>(dlsym(module, kMvaBindSymbol));
  auto entry = reinterpret_cast<int (*)(Workspace*)>(dlsym(module, kMvaEntrySymbol));
  ASSERT_TRUE(bind && entry);

  auto host = host_of(true);
  EXPECT_EQ(entry(&host->workspace()), -1);  // no host bound yet
  EXPECT_EQ(bind(host.get()), 1);
  host->load_command(host::split_commands("MVA a b /TTEST /TTEST.", "test").at(0));
  EXPECT_EQ(entry(&host->workspace()), 0);
  EXPECT_EQ(std::count(host->calls.begin(), host->calls.end(), "BP_SPLIT_CHANGE"), 3);
  // The command is read afresh in every group, and once more after the last
  // one, when the host says that no group is left.
  const std::vector<std::string> lines = message_lines(host->messages, false);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "PARS_ MORE THAN ONE ^1|12"), 4);
  dlclose(module);
}

// Two procedures on different data at once, one per thread, give each what
// it gives alone: each call of the procedure keeps its state to itself.
TEST(Entry, TwoThreadsGiveWhatSingleRunsGive) {
  // Two data sets of 3000 cases with different missing patterns, split into
  // groups in the second, so the runs differ in length and in every table.
  const auto data = [](std::uint32_t seed, int groups) {
    bench::SyntheticSpec spec;
    spec.cases = 3000, spec.variables = 3, spec.categorical = 1, spec.groups = groups, spec.seed = seed;
    TestData d{bench::synthetic_csv(spec), {}};
    if (groups > 1) d.options.split = {"g"};
    return d;
  };
  const TestData first = data(7, 1), second = data(11, 4);
  const std::string command = "MVA x1 x2 x3 c1 /CATEGORICAL=c1 /TTEST /CROSSTAB /TPATTERN /EM /REGRESSION.";
  const nlohmann::json alone_first = run_shown(first, command).output;
  const nlohmann::json alone_second = run_shown(second, command).output;
  ASSERT_NE(alone_first, alone_second);

  nlohmann::json together_first, together_second;
  for (int round = 0; round < 3; ++round) {
    std::thread one([&] { together_first = run_shown(first, command).output; });
    std::thread two([&] { together_second = run_shown(second, command).output; });
    one.join();
    two.join();
    EXPECT_EQ(together_first, alone_first);
    EXPECT_EQ(together_second, alone_second);
  }
}

TEST(Catalogue, EveryKeyOfTheProcedureAndTheHostHasAText) {
  const std::regex key_literal(R"re("(_?[A-Z]{2,6}_ (?:[^"\\]|\\.)*)")re");
  std::set<std::string> keys;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(MVA_SOURCE_DIR "/src")) {
    const auto& path = entry.path();
    if ((path.extension() != ".cpp" && path.extension() != ".h") || path.filename() == "catalogue.cpp") continue;
    const std::string source = file_text(path);
    for (std::sregex_iterator it(source.begin(), source.end(), key_literal), end; it != end; ++it) {
      // Undo the C++ escapes \\ and \"; the catalogue finds \n written out.
      keys.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\([\\"]))"), "$1"));
    }
  }
  EXPECT_TRUE(keys.count("PARS_ BAD SUBCOMMAND ^1") && keys.count("HOST_ INTERRUPTED"));  // the scan sees both
  for (const std::string& key : keys) {
    EXPECT_TRUE(host::english_text(key).has_value()) << "no catalogue entry for \"" << key << "\"";
  }
}

}  // namespace
}  // namespace mva::test
