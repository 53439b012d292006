// Data sets from columns in memory against the same values read from CSV
// text: the CSV reader over each value's shortest text is the reference for
// names, labels, print formats, string widths, missing values, notes and
// cells; and the in-memory problems named by column and case.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <limits>
#include <random>

#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/number_text.h"
#include "host/services/workers.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

std::string shortest(double value) {
  char text[400];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The dictionary and the cells, bit for bit.
void expect_same(const DataSet& memory, const DataSet& file) {
  EXPECT_EQ(test::data_text(memory, false), test::data_text(file, false));
}

// Ways of measuring the columns, which give the same: one thread and the
// usual tiles; tiles of 7 cases on 2 threads; tiles of one case on 5.
DataOptions measuring(int threads, std::size_t chunk_bytes) {
  DataOptions options;
  options.threads = threads;
  options.chunk_bytes = chunk_bytes;
  return options;
}
const DataOptions kMeasuring[] = {measuring(1, 0), measuring(2, 7 * sizeof(double)), measuring(5, sizeof(double))};

// Columns of values with 0 to 9 decimals at magnitudes up to 1e17, negative
// and positive, with NaN and -0 among them, give the formats and cells that
// their shortest texts give through the CSV reader, whether contiguous,
// strided or walked backwards, measured in one piece or in tiles on several
// threads. Some columns hold only integers, so that
// every value is looked at for decimals; in the others the decimals soon
// reach the most a format takes and only the extremes are left to find
// (the number of cases is not always a multiple of four, so that the last
// group of four is cut short, and the widest value is sometimes near the end).
TEST(MemoryColumns, NumbersAsTheirTextsReadFromAFile) {
  std::mt19937_64 random(20240601);
  std::uniform_int_distribution<int> decimals(0, 9), magnitude(0, 17), pick(0, 9);
  for (int round = 0; round < 40; ++round) {
    const std::size_t kCases = 297 + static_cast<std::size_t>(round % 4);
    constexpr std::size_t kColumns = 4;
    // Row after row, as a two-dimensional block: each column is strided.
    std::vector<double> block(kCases * kColumns);
    std::string csv = "a,b,c,d\n";
    for (std::size_t i = 0; i < kCases; ++i) {
      for (std::size_t c = 0; c < kColumns; ++c) {
        double value;
        const int kind = pick(random);
        if (kind == 0) {
          value = std::numeric_limits<double>::quiet_NaN();
        } else if (kind == 1) {
          value = -0.0;
        } else {
          const bool integers = c == static_cast<std::size_t>(round) % kColumns;
          // In even rounds column c has at most c + 1 decimals, fewer than
          // the most a format is inferred with.
          const int most = round % 2 == 0 ? static_cast<int>(c) + 1 : 9;
          const double scale = integers ? 1.0 : std::pow(10.0, decimals(random) % (most + 1));
          const double unscaled =
              std::ldexp(static_cast<double>(random() >> 11), -53) * std::pow(10.0, magnitude(random) + c);
          value = (kind % 2 == 0 ? -1 : 1) * std::round(unscaled * scale) / scale;
        }
        // In every other round one of the last four cases is the widest,
        // positive or negative.
        const std::size_t widest = kCases - 1 - static_cast<std::size_t>(round / 2) % 4;
        if (i == widest && round % 2 == 1) value = (round % 4 == 1 ? -1e19 : 1e19) * static_cast<double>(c + 1);
        block[i * kColumns + c] = value;
        csv += (c > 0 ? "," : "") + (std::isnan(value) ? std::string() : shortest(value));
      }
      csv += "\n";
    }
    SCOPED_TRACE(csv.substr(0, 400));
    const DataSet file = DataSet::from_text(csv, {});
    // Three layouts, each read in place: the block's strided columns,
    // contiguous columns, and contiguous columns walked backwards.
    std::vector<std::vector<double>> contiguous(kColumns), backwards(kColumns);
    for (std::size_t c = 0; c < kColumns; ++c) {
      for (std::size_t i = 0; i < kCases; ++i) contiguous[c].push_back(block[i * kColumns + c]);
      backwards[c].assign(contiguous[c].rbegin(), contiguous[c].rend());
    }
    std::vector<MemoryColumn> columns(kColumns);
    for (int layout = 0; layout < 3; ++layout) {
      for (std::size_t c = 0; c < kColumns; ++c) {
        columns[c].header = std::string(1, static_cast<char>('a' + c));
        columns[c].numbers = layout == 0   ? block.data() + c
                             : layout == 1 ? contiguous[c].data()
                                           : backwards[c].data() + kCases - 1;
        columns[c].stride = layout == 0 ? static_cast<std::ptrdiff_t>(kColumns) : layout == 1 ? 1 : -1;
      }
      for (const DataOptions& options : kMeasuring) {
        SCOPED_TRACE(
            fmt::format("layout {}, {} threads, {} bytes a tile", layout, options.threads, options.chunk_bytes));
        const DataSet memory = DataSet::from_columns(columns, kCases, options);
        // On several threads these columns are measured as they are read:
        // a pass over the cases settles the formats, as a run's first does.
        std::vector<double> cells(kColumns);
        for (CaseReader reader = memory.reader(); reader.next(cells.data()) != CaseReader::Next::EndOfData;) {}
        expect_same(memory, file);
      }
    }
  }
}

// Texts, headers that are renamed, value labels, options and notes.
TEST(MemoryColumns, TextsNamesLabelsOptionsAndNotesAsAFilesAre) {
  const std::vector<double> weight = {1, 2, 0.5, 1}, code = {1, 2, NAN, 1};
  std::vector<MemoryColumn> columns(4);
  columns[0].header = "Home Town";
  columns[0].texts = {"Oslo  ", "", "a rather long town name", "x"};
  columns[0].no_value = {false, true, false, false};
  columns[1].header = "w";
  columns[1].numbers = weight.data();
  columns[2].header = "TO";
  columns[2].numbers = code.data();
  columns[2].value_labels.numeric = {{1, "small"}, {2, "large"}};
  columns[3].header = "note";
  columns[3].texts = {"a", "b", "c", "d"};
  columns[3].no_value = {false, false, false, false};
  DataOptions options;
  options.weight = "w";
  options.missing = {"TO_=2"};
  const DataSet memory = DataSet::from_columns(columns, 4, options);
  const DataSet file = DataSet::from_text(
      "Home Town,w,TO,note\nOslo  ,1,1,a\n,2,2,b\na rather long town name,0.5,,c\nx,1,1,d\n", options);
  expect_same(memory, file);
  EXPECT_EQ(memory.dictionary().value_labels(memory.dictionary().find("TO_")).numeric, columns[2].value_labels.numeric);
  EXPECT_EQ(memory.dictionary().weight(), file.dictionary().weight());
  ASSERT_EQ(memory.notes().size(), 2U);
  EXPECT_EQ(memory.notes()[0].key, file.notes()[0].key);
  EXPECT_EQ(memory.notes()[0].params[1], file.notes()[0].params[1]);  // "Home Town" as Home_Town, "TO" as TO_
  EXPECT_EQ(memory.notes()[1].key, "HOST_ LOAD ^1 BLANK STRINGS ^2 ^3 MISSING ^4");

  // An option that names a renamed header says which name to give.
  options.weight = "Home Town";
  EXPECT_EQ(test::error_of([&] { static_cast<void>(DataSet::from_columns(columns, 4, options)); }),
            "--weight: \"Home Town\" is the header of column 1, which is read as the variable Home_Town; give "
            "Home_Town");
}

TEST(MemoryColumns, ProblemsNameTheColumnAndCase) {
  // The first infinite value is named, whether it comes while decimals are
  // still being learnt (x y) or after they have reached the most (z), and
  // however the cases are cut into tiles.
  const std::vector<double> values = {1, 2, -INFINITY}, late = {0.1234567, NAN, INFINITY, 5, -INFINITY, 7};
  const std::string long_text(static_cast<std::size_t>(kMaxStringWidth) + 1, 'x');
  std::vector<MemoryColumn> numbers(1), texts(1), late_numbers(1);
  numbers[0].header = "x y";
  numbers[0].numbers = values.data();
  late_numbers[0].header = "z";
  late_numbers[0].numbers = late.data();
  texts[0].header = "t";
  texts[0].texts = {"a", long_text, "b"};
  texts[0].no_value = {false, false, false};
  const struct {
    const std::vector<MemoryColumn>* columns;
    std::int64_t cases;
    std::string message;
  } rows[] = {
      {&numbers, 3,
       "frame, column \"x y\" (x_y), case 3: an infinite value; a value must be a finite number or "
       "missing (NaN)"},
      {&late_numbers, 6,
       "frame, column \"z\" (z), case 3: an infinite value; a value must be a finite number or "
       "missing (NaN)"},
      {&texts, 3, "frame, column \"t\" (t), case 2: a text of 32768 bytes; strings go up to 32767"},
  };
  for (const DataOptions& measured : kMeasuring) {
    DataOptions named = measured;
    named.data_path = "frame";
    for (const auto& row : rows) {
      EXPECT_EQ(test::error_of([&] { static_cast<void>(DataSet::from_columns(*row.columns, row.cases, named)); }),
                row.message);
    }
  }
  EXPECT_THROW(static_cast<void>(DataSet::from_columns({}, 0, {})), DataError);
}

// Columns measured as they are read (several threads, many tiles) against
// the same columns measured at once (one thread): the same formats, even
// when the decimals and the widest value come in the last tile, and the
// same error for the first infinite value in column order, even when a
// later column has one in an earlier case. A reader never hands on an
// infinite value: it throws that error at the latest when it reaches the
// first one; settle() throws it without any reading, and so does
// from_columns when another problem of the columns is found after it.
TEST(MemoryColumns, MeasuredAsReadAsAtOnce) {
  constexpr std::size_t kCases = 400;
  std::vector<double> block(kCases * 3);  // strided columns a, b, c
  for (std::size_t i = 0; i < kCases; ++i) {
    block[i * 3] = static_cast<double>(i % 7);
    block[i * 3 + 1] = i % 5 == 0 ? NAN : -static_cast<double>(i) / 4;
    block[i * 3 + 2] = static_cast<double>(i);
  }
  block[(kCases - 1) * 3] = 12345.678;  // decimals and width from the last case
  std::vector<MemoryColumn> columns(3);
  for (std::size_t c = 0; c < 3; ++c) {
    columns[c].header = std::string(1, static_cast<char>('a' + c));
    columns[c].numbers = block.data() + c;
    columns[c].stride = 3;
  }
  DataOptions at_once = measuring(1, 0), as_read = measuring(2, 7 * sizeof(double));
  at_once.data_path = as_read.data_path = "frame";
  const DataSet reference = DataSet::from_columns(columns, kCases, at_once);
  const DataSet measured = DataSet::from_columns(columns, kCases, as_read);
  measured.settle();
  EXPECT_EQ(test::data_text(measured, true), test::data_text(reference, true));

  block[(kCases - 3) * 3 + 1] = INFINITY;  // the first in column order
  block[200 * 3 + 2] = -INFINITY;          // earlier, in a later column
  const std::string message =
      test::error_of([&] { static_cast<void>(DataSet::from_columns(columns, kCases, at_once)); });
  EXPECT_EQ(message,
            "frame, column \"b\" (b), case 398: an infinite value; a value must be a finite number or "
            "missing (NaN)");
  const DataSet infinite = DataSet::from_columns(columns, kCases, as_read);
  std::vector<double> cells(3);
  CaseReader reader = infinite.reader();
  EXPECT_EQ(test::error_of([&] {
              while (reader.next(cells.data()) != CaseReader::Next::EndOfData) {
                for (const double cell : cells) EXPECT_TRUE(std::isfinite(cell)) << reader.case_number();
              }
            }),
            message);
  EXPECT_LE(reader.case_number(), 200);
  EXPECT_EQ(test::error_of([&] { infinite.settle(); }), message);
  EXPECT_EQ(test::error_of([&] { DataSet::from_columns(columns, kCases, as_read).settle(); }), message);

  columns.push_back(MemoryColumn{});
  columns.back().header = "t";
  columns.back().texts.assign(kCases, std::string(static_cast<std::size_t>(kMaxStringWidth) + 1, 'x'));
  columns.back().no_value.assign(kCases, false);
  EXPECT_EQ(test::error_of([&] { static_cast<void>(DataSet::from_columns(columns, kCases, as_read)); }), message);
}

// Cases read in a block, on one thread or on workers, are the cases next()
// reads one by one, cell for cell and bit for bit (NaN the system-missing
// value, -0 as +0), whatever cells a block takes and in whatever order; an
// infinite value anywhere in a block gives the measuring's error. The
// block measures the columns it reads, with the case read before it, and
// the print formats are those of the columns measured at once: the
// decimals come early in each piece of the block, and the widest values
// in the case before it, in a block's piece and in a column it does not
// read.
TEST(MemoryColumns, CasesReadInABlockAreTheCasesReadOneByOne) {
  constexpr std::size_t kCases = 10007;
  std::vector<double> block(kCases * 3);  // strided columns a, b, c
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = i % 11 == 0 ? NAN : i % 13 == 0 ? -0.0 : static_cast<double>(i % 97) / 8 - 3;
  }
  for (const std::size_t i : {3, 8200}) std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(i * 3), 3, 0.123456);
  block[0] = 54321.5;           // a, read before the block
  block[5000 * 3] = -765.25;    // a, the block's first piece
  block[9000 * 3 + 2] = 98765;  // c, its second piece
  block[700 * 3 + 1] = -99999;  // b, read by no block
  std::vector<MemoryColumn> columns(3);
  for (std::size_t c = 0; c < 3; ++c) {
    columns[c].header = std::string(1, static_cast<char>('a' + c));
    columns[c].numbers = block.data() + c;
    columns[c].stride = 3;
  }
  const auto bits = [](const std::vector<double>& cells) {
    return std::string(reinterpret_cast<const char*>(cells.data()), cells.size() * sizeof(double));
  };
  const std::vector<CaseReader::BlockMove> moves = {{2, 0}, {0, 1}};  // c, then a
  const DataOptions as_read = measuring(2, 7 * sizeof(double));       // measured while the cases are read
  const std::string at_once = test::data_text(DataSet::from_columns(columns, kCases, measuring(1, 0)), true);
  Workers two(2);
  for (Workers* workers : {static_cast<Workers*>(nullptr), &two}) {
    const DataSet data = DataSet::from_columns(columns, kCases, as_read);
    std::vector<double> cells(3), rows(kCases * 2);
    CaseReader reader = data.reader();
    ASSERT_EQ(reader.next(cells.data()), CaseReader::Next::Case);
    rows[0] = cells[2], rows[1] = cells[0];
    ASSERT_EQ(reader.read_block(kCases, rows.data() + 2, 2, moves, cells.data(), workers), kCases - 1);
    EXPECT_EQ(reader.case_number(), kCases);
    EXPECT_EQ(reader.next(cells.data()), CaseReader::Next::EndOfData);
    EXPECT_EQ(test::data_text(data, true), at_once);
    std::vector<double> one_by_one;
    for (reader.rewind(); reader.next(cells.data()) != CaseReader::Next::EndOfData;) {
      one_by_one.insert(one_by_one.end(), {cells[2], cells[0]});
    }
    EXPECT_EQ(bits(rows), bits(one_by_one));
  }
  block[9000 * 3] = -INFINITY;
  const DataSet infinite = DataSet::from_columns(columns, kCases, as_read);
  std::vector<double> cells(3), rows(kCases * 2);
  CaseReader reader = infinite.reader();
  ASSERT_EQ(reader.next(cells.data()), CaseReader::Next::Case);
  EXPECT_EQ(test::error_of([&] { reader.read_block(kCases, rows.data(), 2, moves, cells.data(), &two); }),
            "<data>, column \"a\" (a), case 9001: an infinite value; a value must be a finite number or missing (NaN)");
}

}  // namespace
}  // namespace mva::host
