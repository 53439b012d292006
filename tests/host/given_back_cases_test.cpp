// Reading a data file once while its memory is given back: the text's pages
// as the chunks are read, the numeric columns' pages as the case reader
// passes them. Neither may change a cell the procedure is given.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <bit>
#include <stdexcept>

#include "host/data/data_set.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

// Every case the reader gives, group by group, as one text of cell bits.
std::string read_all(CaseReader& reader, std::int64_t slots) {
  std::vector<double> cells(static_cast<std::size_t>(slots));
  std::string text;
  for (CaseReader::Next next; (next = reader.next(cells.data())) != CaseReader::Next::EndOfData;) {
    if (next == CaseReader::Next::EndOfGroup) {
      text += fmt::format("end of {}\n", reader.group_value_text(0));
      continue;
    }
    text += fmt::format("{}:", reader.line());
    for (const double cell : cells) text += fmt::format(" {:x}", std::bit_cast<std::uint64_t>(cell));
    text += '\n';
  }
  return text;
}

TEST(GivenBackCases, ReadOnceTheCasesAreThoseOfAFileKeptWhole) {
  // More cases than one step of giving back (2^18), in chunks of the usual
  // size; a split variable, missing numbers, and a string column whose
  // values share their first 8 characters, which a note reads after the
  // cases.
  std::string csv = "g,x,y,place\n";
  for (int r = 0; r < 300000; ++r) {
    csv += fmt::format("{},{},{}.{:02},{}\n", r / 70000, r % 11 == 0 ? "" : std::to_string(r % 997 - 400), r % 89,
                       r % 7, r == 299990 ? "Washingtonian" : "Washington");
  }
  const std::string path = test::write_file(test::fresh_dir("given_back").string(), "cases.csv", csv);
  DataOptions options;
  options.data_path = path;
  options.split = {"g"};
  options.threads = 2;
  // From a string the text is only read; the mapped file is given back.
  const std::string kept = [&] {
    const DataSet whole = DataSet::from_text(csv, options);
    CaseReader reader = whole.reader();
    return read_all(reader, whole.dictionary().size());
  }();

  const DataSet data = DataSet::load(options);
  CaseReader reader = data.reader();
  reader.give_back_as_read();
  EXPECT_EQ(read_all(reader, data.dictionary().size()), kept);
  EXPECT_TRUE(kept.ends_with("\nend of 4\n")) << kept.substr(kept.size() - 200);
  // The string column is still there for the note; the reader cannot
  // start again over cells it gave back.
  const auto pair = data.values_sharing_first_cell(data.dictionary().find("place"));
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->second, "Washingtonian");
  EXPECT_THROW(reader.rewind(), std::logic_error);

  // The program gives the columns back on its last command only: the
  // command before it reads the whole file and leaves it whole.
  const char* const command = "MVA x y.";
  const test::ProgramRun once = test::run_mva({"--data", path, "-e", command});
  const test::ProgramRun twice = test::run_mva({"--data", path, "-e", command, "-e", command});
  ASSERT_EQ(once.status, 0) << once.err;
  ASSERT_EQ(twice.status, 0) << twice.err;
  const std::size_t first = twice.out.find("Command (-e");
  const std::size_t second = twice.out.find("Command (-e", first + 1);
  ASSERT_NE(second, std::string::npos) << twice.out;
  EXPECT_EQ(twice.out.substr(0, second), once.out + "\n");
  EXPECT_EQ(twice.out.substr(second) + "\n", twice.out.substr(first, second - first));
}

}  // namespace
}  // namespace mva::host
