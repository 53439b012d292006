// What opens the output: the data the run analyses (file, cases, variables,
// weighting, split groups), the notes on how the data were read (messages of
// the catalogue; standard error stays quiet) and, before each command's
// output, the command as it was given; in every format, and in JSON as typed
// items with their keys.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/program.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

using nlohmann::json;

const std::string kHabits = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/habits/";

// The program run with `args` and the output format `format`.
test::ProgramRun run_in(std::vector<std::string> args, const std::string& format) {
  args.insert(args.end(), {"--format", format});
  return test::run_mva(args);
}

// The items of the JSON output of type `type`, in order.
std::vector<json> items_of(const json& output, const std::string& type) {
  std::vector<json> found;
  for (const json& item : output) {
    if (item.at("type") == type) found.push_back(item);
  }
  return found;
}

// Weights of every kind: 2.7 and 0.5 have a fraction, 1.9999999999 is 2 as
// far as truncation goes; 0, the empty cell, -1 and 0.5 (truncated to 0)
// leave their case out. By hand: 4 cases left out, 2 weights truncated. The
// split values 1 1 2 2 1 1 3 3 come in 4 runs of 3 distinct values.
constexpr const char* kWeighted =
    "g,w,x,y\n1,1,1.5,2\n1,2.7,2.5,NA\n2,0,3,4\n2,,4,5\n1,-1,5,6\n1,0.5,6,NA\n3,3,7,8\n3,1.9999999999,8,9\n";

TEST(RunHeader, SaysWhatIsAnalysedInEveryFormat) {
  const std::string dir = test::fresh_dir("run_header").string();
  const std::string data = test::write_file(dir, "weighted.csv", kWeighted);
  const std::vector<std::string> args = {"--data", data, "--weight", "w", "--split", "g", "-e", "MVA x y."};

  const test::ProgramRun r = run_in(args, "json");
  ASSERT_EQ(r.status, kSuccess) << r.out << r.err;
  const json output = json::parse(r.out).at("output");
  const json& header = output.at(0);
  EXPECT_EQ(header, (json{{"type", "data"},
                          {"file", data},
                          {"cases", 8},
                          {"variables", 4},
                          {"weight", {{"variable", "w"}, {"left_out", 4}, {"truncated", 2}}},
                          {"split", {{"variables", {"g"}}, {"groups", 4}, {"combinations", 3}, {"sorted", false}}},
                          {"lines", header.at("lines")}}));
  const json& lines = header.at("lines");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at("key"), "HOST_ RUN DATA ^1 CASES ^2 VARIABLES ^3");
  EXPECT_EQ(lines[0].at("params").dump(), json::array({data, 8, 4}).dump());
  EXPECT_EQ(lines[1].at("key").get<std::string>() + lines[1].at("params").dump(),
            R"(HOST_ RUN WEIGHT ^1 LEFT OUT ^2 TRUNCATED ^3["w",4,2])");
  EXPECT_EQ(lines[2].at("key"), "HOST_ RUN SPLIT ^1 GROUPS ^2 UNSORTED ^3");
  // The groups counted are the ones the procedure then analyses.
  EXPECT_EQ(items_of(output, "split").size(), 4u);

  const std::vector<std::string> said = {
      "Data: " + data + "; cases read: 8; variables: 4.",
      "Weight: w. Weights are truncated to whole numbers; weights that had a fraction: 2. Cases left out for a "
      "weight that is missing or truncates to 0 or below: 4.",
      "Split by g; groups: 4. The data are not sorted by g: 3 distinct split values come in 4 runs of consecutive "
      "cases, each analysed as a group of its own."};
  for (std::size_t k = 0; k < said.size(); ++k) EXPECT_EQ(lines[k].at("text"), said[k]);
  const test::ProgramRun text = test::run_mva(args);
  EXPECT_EQ(text.out.substr(0, text.out.find("\n\n")), said[0] + "\n" + said[1] + "\n" + said[2]) << text.out;
  for (const char* format : {"markdown", "html"}) {
    const std::string shown = run_in(args, format).out;
    for (std::size_t k = format == std::string("markdown") ? 1 : 0; k < said.size(); ++k) {
      const std::string& line = said[k];  // (Markdown escapes the file name's underscores)
      EXPECT_NE(shown.find(line), std::string::npos) << format << ": " << line << "\n" << shown;
    }
    EXPECT_LT(shown.find(said[2]), shown.find("Univariate Statistics")) << format;
  }

  // Sorted split groups and whole weights; then neither.
  const std::string sorted = test::write_file(dir, "sorted.csv", "g,w,x\n1,1,1\n1,2,2\n2,1,3\n2,0,4\n2,3,5\n");
  const json plain_header =
      json::parse(run_in({"--data", sorted, "--weight", "w", "--split", "g", "-e", "MVA x."}, "json").out)["output"][0];
  EXPECT_EQ(plain_header.at("weight"), json::parse(R"({"variable":"w","left_out":1,"truncated":0})"));
  EXPECT_EQ(plain_header.at("split"), json::parse(R"({"variables":["g"],"groups":2,"combinations":2,"sorted":true})"));
  EXPECT_EQ(plain_header.at("lines")[1].at("text").get<std::string>() +
                plain_header.at("lines")[2].at("text").get<std::string>(),
            "Weight: w. Cases left out for a weight that is missing or not positive: 1.Split by g; groups: 2.");
  const json bare = json::parse(run_in({"--data", sorted, "-e", "MVA x."}, "json").out)["output"][0];
  EXPECT_TRUE(bare.at("weight").is_null());
  EXPECT_TRUE(bare.at("split").is_null());
  EXPECT_EQ(bare.at("lines").size(), 1u);
}

TEST(CommandEcho, EachCommandOpensItsOutputInEveryFormat) {
  const std::string dir = test::fresh_dir("command_echo").string();
  const std::string data = test::write_file(dir, "d.csv", "x,y\n1,2\n2,NA\n3,5\n4,3\n");
  const std::string script = test::write_file(dir, "job.mva", "* first the means\nMVA x y\n    /EM (TDF=4).  \n");
  const std::vector<std::string> args = {"--data", data, script, "-e", "FREQ a<b.", "-e", "MVA x."};

  const test::ProgramRun r = run_in(args, "json");
  EXPECT_EQ(r.status, kCommandError) << r.out;  // the unknown command
  const json output = json::parse(r.out).at("output");
  std::vector<std::string> order;  // commands by their first line, tables and messages by their key
  for (const json& item : output) {
    if (item.at("type") == "command") order.push_back(item.at("text").get<std::string>().substr(0, 7));
    if (item.at("type") == "table") order.push_back(item.at("title").at("key"));
    if (item.at("type") == "heading") order.push_back(item.at("key"));
    if (item.at("type") == "message") order.push_back(item.at("key"));
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"MVA x y", "EXEC_ UNIVARIATE STATISTICS", "CMPB_ COMPARE MEANS",
                                      "CMPB_ COMPARE STANDARD DEVIATIONS", "EOUT_ EM ESTIMATED STATISTICS", "FREQ a<",
                                      "HOST_ UNKNOWN COMMAND ^1", "MVA x.", "EXEC_ UNIVARIATE STATISTICS"}));
  const std::vector<json> commands = items_of(output, "command");
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(
      commands[0],
      json({{"type", "command"}, {"text", "MVA x y\n    /EM (TDF=4)."}, {"source", {{"file", script}, {"line", 2}}}}));
  EXPECT_EQ(commands[2].at("source").dump(), R"({"file":"-e","line":1})");

  const std::string text = test::run_mva(args).out;
  EXPECT_NE(text.find("Command (" + script + ", line 2):\n  MVA x y\n      /EM (TDF=4).\n\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Command (-e, line 1):\n  FREQ a<b.\n\nError: Unknown command"), std::string::npos) << text;
  const std::string markdown = run_in(args, "markdown").out;
  // (Markdown escapes the underscores of the script's name.)
  EXPECT_NE(markdown.find("job.mva, line 2)*\n\n```\nMVA x y\n    /EM (TDF=4).\n```\n"), std::string::npos) << markdown;
  const std::string html = run_in(args, "html").out;
  EXPECT_NE(html.find("<pre>FREQ a&lt;b.</pre>"), std::string::npos) << html;
  EXPECT_NE(html.find("<pre>MVA x y\n    /EM (TDF=4).</pre>"), std::string::npos) << html;
}

TEST(LoadNotes, OpenTheOutputInEveryFormat) {
  const std::string data = kHabits + "airquality_pandas.csv";
  const std::vector<std::string> args = {"--data", data, "-e", "MVA Ozone Solar_R Temp_F v1st_day."};
  const std::string renamed =
      "some headers are not names a command can use, so their columns are read under new "
      "names: ";

  const test::ProgramRun run = run_in(args, "json");
  ASSERT_EQ(run.status, kSuccess) << run.err;
  EXPECT_EQ(run.err, "");
  const json output = json::parse(run.out).at("output");
  ASSERT_GE(output.size(), 4u);
  EXPECT_EQ(output.at(0).at("type"), "data");  // what is analysed comes first
  EXPECT_EQ(output.at(1), (json{{"type", "message"},
                                {"key", "HOST_ LOAD ^1 ROW NAMES ^2"},
                                {"kind", "note"},
                                {"class", 2},
                                {"severity", output[1]["severity"]},
                                {"text", data + ": the first column has no name in the header (as R's write.csv and "
                                                "pandas' to_csv write row names); it is read as the variable rowname."},
                                {"params", {data, "rowname"}}}));
  EXPECT_EQ(output.at(2).at("key"), "HOST_ LOAD ^1 RENAMED ^2");
  EXPECT_EQ(output.at(3).at("type"), "command");  // then the command and its output
  EXPECT_EQ(output.at(4).at("type"), "table");

  for (const char* format : {"text", "markdown", "html"}) {
    SCOPED_TRACE(format);
    const test::ProgramRun r = run_in(args, format);
    EXPECT_EQ(r.status, kSuccess);
    EXPECT_EQ(r.err, "");
    const std::size_t note = r.out.find("it is read as the variable rowname.");
    EXPECT_NE(note, std::string::npos) << r.out;
    EXPECT_LT(note, r.out.find(renamed)) << r.out;
    EXPECT_LT(r.out.find(renamed), r.out.find("Univariate Statistics")) << r.out;
  }
  EXPECT_NE(test::run_mva(args).out.find("Note: " + data + ": the first column"), std::string::npos);

  // The decimal mark, told: a comma reads R's write.csv2 file without a
  // note; a point makes its fractions text; a mark that is none is refused.
  const std::string write2 = kHabits + "airquality_write2.csv";
  const test::ProgramRun comma = test::run_mva({"--data", write2, "--decimal", ",", "-e", "MVA Wind."});
  EXPECT_EQ(comma.status, kSuccess);
  EXPECT_EQ(comma.out.find("decimal mark"), std::string::npos) << comma.out;
  EXPECT_NE(comma.out.find("Wind       153  9.958"), std::string::npos) << comma.out;
  const test::ProgramRun point = test::run_mva({"--data", write2, "--decimal", ".", "-e", "MVA Wind."});
  EXPECT_EQ(point.status, kCommandError);
  EXPECT_NE(point.out.find("Categorical variable Wind has more than 25 categories"), std::string::npos) << point.out;
  const test::ProgramRun bad = test::run_mva({"--data", data, "--decimal", ";", "-e", "MVA Ozone."});
  EXPECT_EQ(bad.status, kBadInput);
  EXPECT_EQ(bad.err, "mva: --decimal: ';' is not a decimal mark (give . or ,)\n");

  // R's names with a period are names a command can say as they stand.
  const test::ProgramRun r = test::run_mva({"--data", kHabits + "airquality_write.csv", "-e",
                                            "MVA Ozone Solar.R\n"
                                            "  /EM Solar.R Ozone."});
  EXPECT_EQ(r.status, kSuccess) << r.out;
  EXPECT_NE(r.out.find("Solar.R"), std::string::npos);
}

}  // namespace
}  // namespace mva::cli
