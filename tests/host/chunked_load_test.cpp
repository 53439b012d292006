// A data file read in chunks on 1, 2 and 5 threads gives what reading it in
// one piece gives, bit for bit (dictionary, cells, lines, notes, errors),
// with chunks from one byte up; and the program's output is the same.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <random>

#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/record_chunks.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

// Everything a load gives, as one text (test::data_text), or its error.
std::string loaded(const std::string& csv, DataOptions options, std::string_view dictionary = {}) {
  try {
    return test::data_text(DataSet::from_text(csv, options, dictionary));
  } catch (const DataError& error) {
    return std::string("error: ") + error.what();
  }
}

// Loads `csv` in one piece, then in chunks of several sizes on 1, 2 and 5
// threads, and expects the same every time; returns the load in one piece.
std::string expect_same_in_chunks(const std::string& csv, DataOptions options = {}, std::string_view dictionary = {}) {
  options.data_path = "t.csv";
  options.chunk_bytes = std::numeric_limits<std::size_t>::max();
  const std::string whole = loaded(csv, options, dictionary);
  for (const std::size_t bytes : {std::size_t{1}, std::size_t{7}, std::size_t{61}, std::size_t{400}, csv.size() / 3}) {
    for (const int threads : {1, 2, 5}) {
      options.chunk_bytes = std::max<std::size_t>(bytes, 1);
      options.threads = threads;
      EXPECT_EQ(loaded(csv, options, dictionary), whole)
          << "chunks of " << bytes << " bytes, " << threads << " threads, file:\n"
          << csv.substr(0, 300);
    }
  }
  return whole;
}

TEST(ChunkedLoad, FixturesReadAsInOnePiece) {
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(MVA_SOURCE_DIR "/tests/fixtures")) {
    if (entry.path().extension() != ".csv") continue;
    const std::string dict = test::file_text(std::filesystem::path(entry.path()).replace_extension(".dict.json"));
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(expect_same_in_chunks(test::file_text(entry.path()), {}, dict).rfind("error", 0), std::string::npos);
    ++files;
  }
  EXPECT_GE(files, 10);
}

// A file of `records` records whose cells take many forms, `seed` choosing
// them: numbers of every width and precision, NA tokens, quoted cells with
// line ends and doubled quotes, empty lines, CRLF and lone CR line ends; a
// column whose first text comes near the end, and a string column whose
// longest cell (with ties) is late.
std::string varied_csv(unsigned seed, int records, char delimiter = ',') {
  std::mt19937 random(seed);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* const ends[] = {"\n", "\r\n", "\n", "\r"};
  const std::string d(1, delimiter);
  std::string csv = fmt::format("x{0}late text{0}note{0}label{0}y\n", d);
  for (int r = 0; r < records; ++r) {
    std::string x;
    switch (pick(8)) {
      case 0: x = "NA"; break;
      case 1: x = ""; break;
      case 2: x = fmt::format("\"{}\"", pick(1000)); break;
      case 3: x = fmt::format("-{}e{}", pick(50), pick(4)); break;
      case 4: x = fmt::format("00{}", pick(90)); break;
      default: x = fmt::format("{}.{:0{}}", pick(2000) - 1000, pick(1000), 1 + pick(3)); break;
    }
    const std::string late = r == records * 4 / 5 ? "n/a x" : std::to_string(pick(100));
    std::string note;
    switch (pick(6)) {
      case 0: note = "\"two\nlines\""; break;
      case 1: note = "\"say \"\"hi\"\"\r\nthen\rgo\""; break;
      case 2: note = " . "; break;
      default: note = std::string(static_cast<std::size_t>(pick(r / 40 + 2)), 'a' + static_cast<char>(pick(26)));
    }
    const std::string label = fmt::format("L{}", pick(3));
    const std::string y = pick(9) == 0 ? "None" : fmt::format("{}", pick(100000) * (pick(2) == 0 ? -1 : 1));
    csv += fmt::format("{1}{0}{2}{0}{3}{0}{4}{0}{5}{6}", d, x, late, note, label, y, ends[pick(4)]);
    if (pick(15) == 0) csv += pick(2) == 0 ? "\n" : "\r\n\n";
  }
  return csv;
}

TEST(ChunkedLoad, VariedFilesReadAsInOnePiece) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    const std::string whole = expect_same_in_chunks(varied_csv(seed, 300));
    EXPECT_NE(whole.find("HOST_ LOAD ^1 COLUMN ^2 ^3 TEXT ^4 FIRST ^5 LINE ^6"), std::string::npos) << whole;
  }
  // Empty lines right after the header: the first case stands after them.
  const std::string lines = expect_same_in_chunks("a,b\n\n\r\n1,2\n3,4\n");
  EXPECT_NE(lines.find("\n4: "), std::string::npos) << lines;
  EXPECT_NE(lines.find("\n5: "), std::string::npos) << lines;
  // With a file that ends without a line end, and with user-missing values
  // and a dictionary that declares the note column's width.
  DataOptions options;
  options.missing = {"y=0:99", "label=L1"};
  std::string csv = varied_csv(5, 200);
  csv.pop_back();
  expect_same_in_chunks(csv, options, R"({"variables": [{"name": "note", "type": "string", "width": 40}]})");
}

TEST(ChunkedLoad, ChunksThatCannotBeReadAloneGiveTheSameToo) {
  // A quote inside an unquoted field upsets the quote parity the cuts are
  // found by; so does a quoted field that spans several chunks.
  std::string csv = "a,b\n1,x\"y\n";
  for (int r = 0; r < 200; ++r)
    csv += fmt::format("{},\"{}\n{}\"\n", r, r, std::string(static_cast<std::size_t>(r % 7), 'q'));
  csv += "5,\"" + std::string(3000, 'z') + "\n\n,\"\n6,w\n";
  EXPECT_EQ(expect_same_in_chunks(csv).rfind("error", 0), std::string::npos);

  // Decimal marks: with ';' as the delimiter a column takes the mark of its
  // first number with a fraction; later chunks that met the other mark first
  // read it otherwise, and are read again.
  std::string marks = "p;q\n";
  for (int r = 0; r < 300; ++r) {
    marks += r < 150 ? fmt::format("{};{},5\n", r, r) : fmt::format("{}.25;{}\n", r, r);
  }
  expect_same_in_chunks(marks);
  std::string agreeing = "p;q\n";
  for (int r = 0; r < 300; ++r) agreeing += r % 50 == 49 ? fmt::format("{},5;{}\n", r, r) : fmt::format("{};1\n", r);
  expect_same_in_chunks(agreeing);

  // One column: its empty lines are records.
  std::string single = "v\n";
  for (int r = 0; r < 300; ++r) single += r % 3 == 0 ? "\n" : r % 3 == 1 ? "\r\n" : fmt::format("{}\n", r);
  expect_same_in_chunks(single);
}

TEST(ChunkedLoad, ErrorsFarIntoTheFileNameTheirLine) {
  std::string rows;
  for (int r = 0; r < 400; ++r) rows += fmt::format("{},\"n\n{}\"\n", r, r);
  const std::pair<std::string, std::string> cases[] = {
      {"a,b\n" + rows + "1,2,3\n" + rows, "t.csv, line 802: 3 fields found, 2 expected (as many as the header has)"},
      {"a,b\n" + rows + "1,\"x\" y\n", "t.csv, line 802, column 6: unexpected character ' ' after the closing quote"},
      {"a,b\n" + rows + "1,\"open\n" + rows, "t.csv, line 803, column 4: unexpected character 'n'"},
      {"a,b\n" + rows + "1,\"open\n", "t.csv, line 802, column 3: unterminated quoted field"},
      {"a,b\n" + rows + std::string("1,x\0y\n", 6), "t.csv, line 802, column 4: a NUL byte"},
  };
  for (const auto& [csv, message] : cases) {
    const std::string got = expect_same_in_chunks(csv);
    EXPECT_NE(got.find(message), std::string::npos) << got;
  }
  DataOptions options;
  const std::string declared = R"({"variables": [{"name": "a", "type": "numeric"}]})";
  EXPECT_NE(expect_same_in_chunks("a,b\n" + rows + "zz,1\n", options, declared)
                .find("t.csv, line 802, column 1 (a): \"zz\" is not a number, and a is declared numeric"),
            std::string::npos);
}

TEST(ChunkedLoad, ProgramOutputIsTheSameOnAnyNumberOfThreads) {
  // Five megabytes: a few chunks of the usual size.
  std::mt19937 random(7);
  std::string csv = "x1,x2,x3,x4,group,note\n";
  while (csv.size() < 5 * detail::kChunkBytes / 2) {
    for (int v = 0; v < 4; ++v) {
      const unsigned draw = random() % 1000;
      csv += draw < 90 ? std::string() : fmt::format("{}.{:03}", static_cast<int>(draw % 37) - 18, draw);
      csv += ',';
    }
    csv += fmt::format("{},{}\n", random() % 3, random() % 50 == 0 ? "\"a\nb\"" : "c");
  }
  const std::string dir = test::fresh_dir("chunked").string();
  const std::string path = test::write_file(dir, "big.csv", csv);
  std::vector<std::string> outputs;
  for (const char* threads : {"1", "2", "5"}) {
    const test::ProgramRun run = test::run_mva({"--data", path, "--format", "json", "--threads", threads, "-e",
                                                "MVA x1 TO x4 group /CATEGORICAL=group /EM /TPATTERN /TTEST."});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << threads;  // more threads than cores: no complaint from the thread library
    outputs.push_back(run.out);
  }
  EXPECT_EQ(outputs[1], outputs[0]);
  EXPECT_EQ(outputs[2], outputs[0]);
  EXPECT_NE(test::run_mva({"--data", path, "--threads", "0", "-e", "MVA x1."}).err.find("--threads: 0 is out of range"),
            std::string::npos);
}

}  // namespace
}  // namespace mva::host
