// The guides in docs/ run: every command they show is run here against the
// example data, and every output they show must be what the program prints,
// so that the guides cannot drift from the program.
//
// How a page marks its examples (the marks are HTML comments, which Markdown
// does not show):
//
//   ```sh      a shell block: each line that starts with "mva " or "mva_gen "
//              (a line ending in "\" goes on on the next) is run with the
//              built programs first on the PATH, in a folder of the page's
//              own that holds the example data (airquality.csv and the
//              survey files); the other lines (comments, make, man) are not.
//              The exit status must be 0, or the one a preceding
//              <!-- status: N --> gives.
//   ```text    directly after a shell block: output of its last command.
//              Every line shown must be a line of that output (standard
//              output, then standard error), in the same order; a line
//              "..." stands for lines left out.
//   ```mva     a script: a preceding <!-- file: NAME --> writes it to NAME
//              in the page's folder for the commands after it (so does the
//              mark before a block of any other kind, such as a small CSV
//              file). A script block without that mark fails the test, so
//              that no script is shown that no test runs.
//
// Beside that: every option of mva --help is described in the reference
// and the manual page, and the README links the tutorial and the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "cli/options.h"
#include "support/harness.h"

namespace mva::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = MVA_SOURCE_DIR;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// One fenced block of a page, with the marks that stood before it.
struct Block {
  std::string info;                // the word after the opening fence
  std::vector<std::string> lines;  // its content
  int line = 0;                    // line of the opening fence (1-based)
  std::string file;                // <!-- file: NAME -->
  int status = 0;                  // <!-- status: N -->
  bool follows_block = false;      // only blank lines since the previous block closed
};

std::vector<Block> blocks_of(const fs::path& page) {
  static const std::regex kMark(R"(<!--\s*(file|status):\s*(\S+)\s*-->)");
  std::vector<Block> blocks;
  Block open;  // the block being read, or the marks for the next one
  bool inside = false;
  bool only_blanks = false;  // nothing but blank lines since the last block closed
  const std::vector<std::string> lines = lines_of(test::file_text(page));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::smatch mark;
    if (inside && line.starts_with("```")) {
      inside = false;
      blocks.push_back(std::move(open));
      open = Block{};
      only_blanks = true;
    } else if (inside) {
      open.lines.push_back(line);
    } else if (line.starts_with("```")) {
      inside = true;
      open.info = line.substr(3);
      open.line = static_cast<int>(i) + 1;
      open.follows_block = only_blanks && !blocks.empty();
    } else if (std::regex_search(line, mark, kMark)) {
      if (mark[1] == "file") open.file = mark[2];
      if (mark[1] == "status") open.status = std::stoi(mark[2]);
      only_blanks = false;
    } else if (!line.empty()) {
      only_blanks = false;
    }
  }
  EXPECT_FALSE(inside) << page << ": a fenced block is not closed";
  return blocks;
}

// The commands of a shell block, continuation lines joined.
std::vector<std::string> commands_of(const Block& block) {
  std::vector<std::string> commands;
  std::string open;
  for (const std::string& line : block.lines) {
    if (open.empty() && !line.starts_with("mva ") && !line.starts_with("mva_gen ")) continue;
    if (line.ends_with("\\")) {
      open += line.substr(0, line.size() - 1);
      continue;
    }
    commands.push_back(open + line);
    open.clear();
  }
  return commands;
}

struct CommandRun {
  int status = -1;
  std::vector<std::string> output;  // standard output, then standard error
};

CommandRun run_in(const fs::path& dir, const std::string& command) {
  const fs::path bin = fs::path(MVA_PROGRAM).parent_path();
  const fs::path out = dir.parent_path() / (dir.filename().string() + ".out");
  const fs::path err = dir.parent_path() / (dir.filename().string() + ".err");
  const std::string shell = "cd '" + dir.string() + "' && PATH='" + bin.string() + "':\"$PATH\" " + command + " >'" +
                            out.string() + "' 2>'" + err.string() + "' </dev/null";
  CommandRun run;
  const int raw = std::system(shell.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.output = lines_of(test::file_text(out));
  for (std::string& line : lines_of(test::file_text(err))) run.output.push_back(std::move(line));
  return run;
}

// The first shown line (not "...") that is not found, in order, in `output`;
// empty when all are.
std::string first_unmatched(const std::vector<std::string>& shown, const std::vector<std::string>& output) {
  std::size_t at = 0;
  for (const std::string& line : shown) {
    if (line == "..." || line.empty()) continue;
    while (at < output.size() && output[at] != line) ++at;
    if (at == output.size()) return line;
    ++at;
  }
  return {};
}

std::vector<fs::path> pages() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(kSource / "docs")) {
    if (entry.path().extension() == ".md") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Every command of every page runs with the status the page expects and
// prints the output the page shows; every script is written where the
// commands find it.
TEST(Docs, EveryCommandShownRunsAsShown) {
  const std::vector<fs::path> all = pages();
  ASSERT_GE(all.size(), 4u) << "the guides are missing from docs/";
  int commands_run = 0;
  for (const fs::path& page : all) {
    const std::string name = page.filename().string();
    const fs::path dir = test::fresh_dir("docs_" + page.stem().string());
    for (const char* example : {"examples/survey.csv", "examples/survey.dict.json", "examples/survey.mva",
                                "tests/fixtures/mva/airquality.csv"}) {
      fs::copy_file(kSource / example, dir / fs::path(example).filename());
    }
    const std::vector<Block> blocks = blocks_of(page);
    CommandRun last;
    std::string last_command;
    for (const Block& block : blocks) {
      const std::string where = name + ":" + std::to_string(block.line);
      if (!block.file.empty()) {
        std::string text;
        for (const std::string& line : block.lines) text += line + "\n";
        std::ofstream(dir / block.file, std::ios::binary) << text;
      } else if (block.info == "mva") {
        ADD_FAILURE() << where << ": a script block without <!-- file: NAME -->, so no test runs it";
      } else if (block.info == "sh") {
        for (const std::string& command : commands_of(block)) {
          last = run_in(dir, command);
          last_command = command;
          ++commands_run;
          EXPECT_EQ(last.status, block.status) << where << ": " << command << "\n"
                                               << testing::PrintToString(last.output);
        }
      } else if (block.info == "text" && block.follows_block && !last_command.empty()) {
        const std::string missing = first_unmatched(block.lines, last.output);
        EXPECT_EQ(missing, "") << where << ": the output shown is not what " << last_command << " prints";
        last_command.clear();
      }
      if (block.info != "text" && block.info != "sh") last_command.clear();
    }
  }
  EXPECT_GT(commands_run, 10);
}

// A heading's anchor as Markdown renderers make it: lower case, blanks to
// hyphens, other punctuation dropped.
std::string anchor_of(std::string heading) {
  std::string anchor;
  const std::size_t text = heading.find_first_not_of("# ");
  for (const char c : heading.substr(text == std::string::npos ? heading.size() : text)) {
    if (c == ' ') {
      anchor += '-';
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') {
      anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return anchor;
}

// Every link between the pages leads to a page and a heading that exist.
TEST(Docs, LinksBetweenPagesResolve) {
  std::map<std::string, std::set<std::string>> anchors;  // page name: its headings' anchors
  for (const fs::path& page : pages()) {
    for (const std::string& line : lines_of(test::file_text(page))) {
      if (line.starts_with("#")) anchors[page.filename().string()].insert(anchor_of(line));
    }
  }
  const std::regex link(R"(\]\(([^)#]*)(#[^)]*)?\))");
  int links = 0;
  for (const fs::path& page : pages()) {
    const std::string text = test::file_text(page);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it) {
      const std::string target = (*it)[1].str().empty() ? page.filename().string() : (*it)[1].str();
      if (target.starts_with("http")) continue;
      ++links;
      ASSERT_TRUE(anchors.count(target)) << page.filename() << ": a link to " << target << ", no page of docs/";
      const std::string anchor = (*it)[2].str();
      if (!anchor.empty()) {
        EXPECT_TRUE(anchors[target].count(anchor.substr(1)))
            << page.filename() << ": no heading " << anchor << " in " << target;
      }
    }
  }
  EXPECT_GT(links, 20);
}

// The options of mva --help are all described in the reference and in the
// manual page; the README links the tutorial and the reference.
TEST(Docs, ReferenceAndManualPageCoverEveryOption) {
  std::string reference = test::file_text(kSource / "docs/reference.md");
  std::string manual = std::regex_replace(test::file_text(kSource / "docs/mva.1"), std::regex(R"(\\-)"), "-");
  const std::string help(help_text());
  const std::regex option(R"((--[a-z][a-z-]+|-e\b))");
  int options = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it) {
    const std::string name = it->str();
    ++options;
    EXPECT_NE(reference.find("`" + name), std::string::npos) << name << " is not in docs/reference.md";
    EXPECT_NE(manual.find(name), std::string::npos) << name << " is not in docs/mva.1";
  }
  EXPECT_GE(options, 14);
  const std::string readme = test::file_text(kSource / "README.md");
  EXPECT_NE(readme.find("(docs/tutorial.md)"), std::string::npos);
  EXPECT_NE(readme.find("(docs/reference.md)"), std::string::npos);
}

}  // namespace
}  // namespace mva::cli
