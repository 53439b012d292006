// What opens the output: the data the run analyses (file, cases, variables,
// weighting, split groups), the notes on how the data were read (standard
// error stays quiet) and, before each command's output, the command as it was
// given, whose messages name their place. JSON carries them as typed items
// with their keys; every other format shows the same texts in the same order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/program.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

using nlohmann::json;

// Row names (a first column without a name), a header that is no name, and
// weights of every kind: 2.7 and 0.5 have a fraction, 1.9999999999 is 2 as far
// as truncation goes; 0, the empty cell, -1 and 0.5 (truncated to 0) leave
// their case out. By hand: 4 cases left out, 2 weights truncated. The split
// values 1 1 2 2 1 1 3 3 come in 4 runs of 3 distinct values.
constexpr const char* kWeighted =
    ",g,w,x,y z\n1,1,1,1.5,2\n2,1,2.7,2.5,NA\n3,2,0,3,4\n4,2,,4,5\n5,1,-1,5,6\n6,1,0.5,6,NA\n7,3,3,7,8\n"
    "8,3,1.9999999999,8,9\n";

// A run of two scripts over that file: a comment, a command over two lines
// with trailing blanks, an unknown command and a command with an error.
struct Job {
  std::string dir, data, script;
  std::vector<std::string> args;
  explicit Job(const std::string& name) : dir(test::fresh_dir(name).string()) {
    data = test::write_file(dir, "weighted.csv", kWeighted);
    script = test::write_file(dir, "job.mva", "* first the means\nMVA x y_z\n    /TTEST.  \n");
    args = {"--data", data, "--weight", "w", "--split", "g", script, "-e", "FREQ x.", "-e", "MVA x\n  /MAXCAT=0."};
  }
  test::ProgramRun run(const std::string& format) const {
    std::vector<std::string> with_format = args;
    with_format.insert(with_format.end(), {"--format", format});
    return test::run_mva(with_format);
  }
};

TEST(RunHeader, JsonSaysWhatIsAnalysedThenEachCommandAndItsMessages) {
  const Job job("run_header");
  const test::ProgramRun r = job.run("json");
  EXPECT_EQ(r.status, kCommandError) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  const json output = json::parse(r.out).at("output");
  const json& header = output.at(0);
  EXPECT_EQ(header, (json{{"type", "data"},
                          {"file", job.data},
                          {"cases", 8},
                          {"variables", 5},
                          {"weight", {{"variable", "w"}, {"left_out", 4}, {"truncated", 2}}},
                          {"split", {{"variables", {"g"}}, {"groups", 4}, {"combinations", 3}, {"sorted", false}}},
                          {"lines", header.at("lines")}}));
  const json& lines = header.at("lines");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at("key").get<std::string>() + lines[0].at("params").dump(),
            "HOST_ RUN DATA ^1 CASES ^2 VARIABLES ^3" + json::array({job.data, 8, 5}).dump());
  EXPECT_EQ(lines[1].at("key").get<std::string>() + lines[1].at("params").dump(),
            R"(HOST_ RUN WEIGHT ^1 LEFT OUT ^2 TRUNCATED ^3["w",4,2])");
  EXPECT_EQ(lines[2].at("key"), "HOST_ RUN SPLIT ^1 GROUPS ^2 UNSORTED ^3");  // its text: in the formats test

  // The notes on reading, then each command (its first 7 characters) and its
  // errors; tables, headings, split markers and warnings as "out", repeats
  // folded.
  std::vector<std::string> order;
  int groups = 0;
  for (const json& item : output) {
    const std::string type = item.at("type");
    groups += type == "split" ? 1 : 0;
    const std::string seen = type == "data"      ? "data"
                             : type == "command" ? item.at("text").get<std::string>().substr(0, 7)
                             : type == "message" && item.at("kind") != "warning" ? item.at("key").get<std::string>()
                                                                                 : "out";
    if (order.empty() || order.back() != seen) order.push_back(seen);
  }
  EXPECT_EQ(groups, 4);  // the groups counted are the ones the procedure analyses
  EXPECT_EQ(order, (std::vector<std::string>{"data", "HOST_ LOAD ^1 ROW NAMES ^2", "HOST_ LOAD ^1 RENAMED ^2",
                                             "MVA x y", "out", "FREQ x.", "HOST_ UNKNOWN COMMAND ^1", "MVA x\n ",
                                             "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER"}));
  EXPECT_EQ(output.at(1).at("kind"), "note");
  EXPECT_EQ(
      output.at(3),
      json({{"type", "command"}, {"text", "MVA x y_z\n    /TTEST."}, {"source", {{"file", job.script}, {"line", 2}}}}));
  EXPECT_EQ(output.back().at("source"), (json{{"file", "-e"}, {"line", 2}, {"column", 11}}));

  // Sorted split groups and whole weights; then neither.
  const std::string sorted = test::write_file(job.dir, "sorted.csv", "g,w,x\n1,1,1\n1,2,2\n2,1,3\n2,0,4\n2,3,5\n");
  const auto header_of = [](std::vector<std::string> args) {
    args.insert(args.end(), {"--format", "json", "-e", "MVA x."});
    return json::parse(test::run_mva(args).out)["output"][0];
  };
  const json plain = header_of({"--data", sorted, "--weight", "w", "--split", "g"});
  EXPECT_EQ(plain.at("weight"), json::parse(R"({"variable":"w","left_out":1,"truncated":0})"));
  EXPECT_EQ(plain.at("split"), json::parse(R"({"variables":["g"],"groups":2,"combinations":2,"sorted":true})"));
  EXPECT_EQ(plain.at("lines")[1].at("text").get<std::string>() + plain.at("lines")[2].at("text").get<std::string>(),
            "Weight: w. Cases left out for a weight that is missing or not positive: 1.Split by g; groups: 2.");
  const json bare = header_of({"--data", sorted});
  EXPECT_TRUE(bare.at("weight").is_null());
  EXPECT_TRUE(bare.at("split").is_null());
  EXPECT_EQ(bare.at("lines").size(), 1u);
}

TEST(RunHeader, EveryFormatShowsTheSameInTheSameOrder) {
  const Job job("run_header_formats");
  // (Markdown escapes the underscores of the file's name.)
  const std::vector<std::string> said = {
      "; cases read: 8; variables: 5.",
      "Weight: w. Weights are truncated to whole numbers; weights that had a fraction: 2. Cases left out for a "
      "weight that is missing or truncates to 0 or below: 4.",
      "Split by g; groups: 4. The data are not sorted by g",
      "it is read as the variable rowname.",
      "some headers are not names a command can use, so their columns are read under new names: ",
      "MVA x y_z",
      "Univariate Statistics",
      "FREQ x.",
      "Unknown command",
      "-e, line 2, column 11",
  };
  for (const char* format : {"text", "markdown", "html"}) {
    SCOPED_TRACE(format);
    const test::ProgramRun r = job.run(format);
    EXPECT_EQ(r.status, kCommandError);
    EXPECT_EQ(r.err, "");
    std::size_t at = 0;
    for (const std::string& part : said) {
      at = r.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << "\n" << r.out;
    }
  }
  // The text exactly, up to the first command.
  const std::string text = job.run("text").out;
  EXPECT_EQ(text.substr(0, text.find("Command (")),
            "Data: " + job.data + "; cases read: 8; variables: 5.\n" + said[1] + "\n" + said[2] +
                ": 3 distinct split values come in 4 runs of consecutive cases, each analysed as a group of its own."
                "\n\nNote: " +
                job.data +
                ": the first column has no name in the header (as R's write.csv and "
                "pandas' to_csv write row names); it is read as the variable rowname.\nNote: " +
                job.data + ": " + said[4] + "\"y z\" as y_z. Each header is its variable's label.\n\n");
}

}  // namespace
}  // namespace mva::cli
