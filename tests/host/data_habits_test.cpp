// Data as R, pandas and spreadsheets write them, read to the counts and sums
// R holds (tools/data_habits.R.out); headers made names; decimal commas; the
// cell texts that mean no value; empty lines of a one-column file.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/data/dictionary.h"
#include "host/data/number_text.h"
#include "host/data/variable_names.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

using test::cases_of;
using test::error_of;

const std::string kHabits = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/habits/";

// R's count of present values and sum of each airquality variable, from
// tools/data_habits.R.out ("Ozone present 116 sum 4887").
std::map<std::string, std::pair<std::int64_t, double>> r_sums() {
  std::ifstream in(std::string(MVA_SOURCE_DIR) + "/tools/data_habits.R.out");
  std::map<std::string, std::pair<std::int64_t, double>> sums;
  std::string name, present, sum;
  std::int64_t count = 0;
  double total = 0.0;
  while (in >> name >> present >> count >> sum >> total) sums[name] = {count, total};
  return sums;
}

// The count of present values and the sum of a numeric variable.
std::pair<std::int64_t, double> sum_of(const DataSet& data, std::int64_t v) {
  std::vector<double> cells(static_cast<std::size_t>(data.dictionary().size()));
  CaseReader reader = data.reader();
  std::int64_t count = 0;
  long double total = 0.0L;  // as R's sum
  while (reader.next(cells.data()) == CaseReader::Next::Case) {
    const double x = cells[static_cast<std::size_t>(v - 1)];
    if (x == kSystemMissing) continue;
    ++count;
    total += x;
  }
  return {count, static_cast<double>(total)};
}

TEST(DataHabits, FilesFromRPandasAndSpreadsheetsReadToRsNumbers) {
  const auto r = r_sums();
  ASSERT_EQ(r.size(), 6u);
  // The file; its variables in order, each "name=R's name" when it holds an
  // airquality variable and "name=" for row names; the keys of its notes.
  const std::tuple<std::string, std::vector<std::string>, std::vector<std::string>> rows[] = {
      {"airquality_write.csv",  // R's write.csv
       {"rowname=", "Ozone=Ozone", "Solar.R=Solar.R", "Wind=Wind", "Temp=Temp", "Month=Month", "Day=Day"},
       {"HOST_ LOAD ^1 ROW NAMES ^2"}},
      {"airquality_write2.csv",  // R's write.csv2: ';' and decimal commas
       {"rowname=", "Ozone=Ozone", "Solar.R=Solar.R", "Wind=Wind", "Temp=Temp", "Month=Month", "Day=Day"},
       {"HOST_ LOAD ^1 ROW NAMES ^2", "HOST_ LOAD ^1 DECIMAL COMMA ^2"}},
      {"ozone_write.csv", {"Ozone=Ozone"}, {}},  // one column, missing values as empty lines
      {"airquality_pandas.csv",                  // index, odd headers, "<NA>" and "nan"
       {"rowname=", "Ozone=Ozone", "Solar_R=Solar.R", "Wind=Wind", "Temp_F=Temp", "Month=Month", "month_2=Month",
        "v1st_day=Day"},
       {"HOST_ LOAD ^1 ROW NAMES ^2", "HOST_ LOAD ^1 RENAMED ^2"}},
      {"ozone_pandas.csv", {"Ozone=Ozone"}, {}},  // one column, missing values as ""
      {"airquality_excel.csv",                    // byte-order mark, CRLF, ';', decimal commas, empty cells
       {"Ozone=Ozone", "Solar_R=Solar.R", "Wind=Wind", "Temp_F=Temp", "Month=Month", "Day=Day"},
       {"HOST_ LOAD ^1 RENAMED ^2", "HOST_ LOAD ^1 DECIMAL COMMA ^2"}},
  };
  for (const auto& [file, variables, note_keys] : rows) {
    SCOPED_TRACE(file);
    DataOptions options;
    options.data_path = kHabits + file;
    const DataSet data = DataSet::load(options);
    EXPECT_EQ(data.case_count(), 153);
    const Dictionary& d = data.dictionary();
    ASSERT_EQ(d.variables().size(), variables.size());
    for (std::size_t k = 0; k < variables.size(); ++k) {
      const std::string& entry = variables[k];
      const std::string name = entry.substr(0, entry.find('='));
      const std::string r_name = entry.substr(entry.find('=') + 1);
      const std::int64_t v = d.variables()[k];
      EXPECT_EQ(d.slot(v).name, name);
      if (r_name.empty()) {  // row names: 1 to 153 from R, 0 to 152 from pandas
        EXPECT_EQ(sum_of(data, v).first, 153);
        continue;
      }
      ASSERT_EQ(d.slot(v).type, 0) << name;
      const auto [count, sum] = sum_of(data, v);
      EXPECT_EQ(count, r.at(r_name).first) << name;
      EXPECT_NEAR(sum, r.at(r_name).second, 1e-13 * r.at(r_name).second) << name;
    }
    std::vector<std::string> keys;
    for (const LoadNote& note : data.notes()) keys.push_back(note.key);
    EXPECT_EQ(keys, note_keys);
  }

  // A renamed column keeps its header as its label; the note lists each rename.
  DataOptions options;
  options.data_path = kHabits + "airquality_pandas.csv";
  const DataSet pandas = DataSet::load(options);
  EXPECT_EQ(pandas.dictionary().slot(pandas.dictionary().find("Temp_F")).label, "Temp (F)");
  EXPECT_EQ(pandas.dictionary().slot(pandas.dictionary().find("Ozone")).label, "");
  EXPECT_EQ(pandas.notes().at(1).params,
            (std::vector<std::string>{options.data_path,
                                      "\"Solar R\" as Solar_R, \"Temp (F)\" as Temp_F, \"month\" "
                                      "as month_2 and \"1st day\" as v1st_day"}));
}

// Whether `name`, typed in a command in the middle of a line and at its end,
// reads as one name token that names a variable.
bool said_whole(const std::string& name) {
  const std::vector<Command> commands = split_commands("MVA " + name + " x\n  " + name + ".\n", "t");
  if (commands.size() != 1 || commands[0].tokens.size() != 5) return false;
  for (const std::size_t at : {1u, 3u}) {
    const Token& t = commands[0].tokens[at];
    if (t.kind != TokenKind::Name || t.typed != name || t.symbol != Symbol::None) return false;
  }
  return true;
}

TEST(VariableNames, EveryHeaderBecomesAUniqueNameACommandCanSay) {
  const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
      {{"Solar R", "temp (F)", "1st", "Solar.R", " age "}, {"Solar_R", "temp_F", "v1st", "Solar.R", "age"}},
      {{"", "x", ""}, {"rowname", "x", "v3"}},               // no header
      {{"x", "X", "x", "x_2"}, {"x", "X_3", "x_4", "x_2"}},  // valid names keep theirs first
      {{"TO", "all", "By", "with", "gt", "NOT", "ALLx"}, {"TO_", "all_", "By_", "with_", "gt", "NOT", "ALLx"}},
      {{"x.", "..", "(%)", ".5", "_id", "#n", "$v", "@a"}, {"x", "v2", "v3", "v5", "_id", "#n", "$v", "@a"}},
      {{"Zürich (°C)", "a/b", "a-b", "a  b"}, {"Zürich_°C", "a_b", "a_b_2", "a_b_3"}},
      {{"rowname", ""}, {"rowname", "v2"}},
      {{"", "rowname"}, {"rowname_2", "rowname"}},
  };
  for (const auto& [headers, names] : rows) EXPECT_EQ(variable_names(headers), names) << headers[0];

  // Any header: the names are valid, unique ignoring case, and said whole;
  // a header that is a valid name keeps it when it is the first of its name.
  std::mt19937 rng(17);
  const std::vector<std::string> pieces = {"a", "Z", "x1", "_",    ".",  " ", "(", ")",  "-", "9",  "#", "$",
                                           "@", "é", "TO", "with", "by", "/", "%", "\t", ",", "\"", "'", "ALL"};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> headers(1 + rng() % 8);
    for (std::string& header : headers) {
      for (std::size_t k = rng() % 5; k > 0; --k) header += pieces[rng() % pieces.size()];
    }
    const std::vector<std::string> names = variable_names(headers);
    std::set<std::string> folded;
    for (std::size_t c = 0; c < names.size(); ++c) {
      EXPECT_TRUE(is_valid_variable_name(names[c]) && said_whole(names[c])) << "[" << headers[c] << "] " << names[c];
      EXPECT_TRUE(folded.insert(fold_name(names[c])).second) << names[c];
      const std::string trimmed(trim_blanks(headers[c]));
      if (is_valid_variable_name(trimmed) && fold_name(trimmed) == fold_name(names[c])) {
        EXPECT_EQ(names[c], trimmed);
      }
    }
  }
}

TEST(DataHabits, DecimalCommasAndNoValueTokens) {
  const auto with = [](std::optional<char> decimal, std::vector<std::string> na = {}) {
    DataOptions options;
    options.data_path = "d.csv";
    options.decimal = decimal;
    options.na_tokens = std::move(na);
    return options;
  };
  // The data, the options, the cases, each variable's type and format.
  const std::tuple<std::string, DataOptions, std::vector<std::string>, std::string> rows[] = {
      // With ';' each column takes the mark its numbers use; quoted or not.
      {"a;b;c;d\n1,5;2;x;1.5\n\"2\";3,25;y;-2\n-,5;\"1,0\";z;\n",
       with({}),
       {"1.5|2|x|1.5;2", "2|3.25|y|-2;3", "-0.5|1|z|.;4"},
       "0 F8.1, 0 F8.2, 1 A1, 0 F8.1"},
      // Both marks in one column, or a point beside a comma: text.
      {"a;b\n1,5;1.234,5\n2.5;1\n", with({}), {"1,5|1.234,5;2", "2.5|1;3"}, "3 A3, 7 A7"},
      // Long mantissas and exponents, which the in-place reader leaves to the long way.
      {"a;b\n12345678901234567890,5;1,5e3\n1;2E-2\n",
       with({}),
       {"1.2345678901234567e+19|1500;2", "1|0.02;3"},
       "0 F22.1, 0 F8.2"},
      // Told: a comma everywhere (any delimiter but the comma), or a point everywhere.
      {"a\tb\n1,5\t1.5\n", with(','), {"1.5|1.5;2"}, "0 F8.1, 3 A3"},
      {"a;b\n1,5;1.5\n", with('.'), {"1,5|1.5;2"}, "3 A3, 0 F8.1"},
      // What pandas and R write for no value, and the cell that is not one.
      {"x,s\nNaN,NaN\nnan,nan\nNULL,NULL\nNone,None\nN/A,N/A\nn/a,n/a\n#N/A,#N/A\n<NA>,<NA>\nNA,NA\n.,.\n,\n1,a\n",
       with({}),
       {".|;2", ".|;3", ".|;4", ".|;5", ".|;6", ".|;7", ".|;8", ".|;9", ".|;10", ".|;11", ".|;12", "1|a;13"},
       "0 F8.0, 1 A1"},
      // --na replaces the set.
      {"x,y\n-9,NaN\n1,2\n", with({}, {"-9"}), {".|NaN;2", "1|2;3"}, "0 F8.0, 3 A3"},
      // One column: an empty line is a case without a value.
      {"x\r\n1\r\n\r\n\r\n2.5\r\n\r\n", with({}), {"1;2", ".;3", ".;4", "2.5;5", ".;6"}, "0 F8.1"},
      {"s\nab\n\nc", with({}), {"ab;2", ";3", "c;4"}, "2 A2"},
  };
  for (const auto& [csv, options, cases, types] : rows) {
    const DataSet data = DataSet::from_text(csv, options);
    EXPECT_EQ(cases_of(data), cases) << csv;
    std::string seen;
    for (const std::int64_t v : data.dictionary().variables()) {
      const VarRecord& r = data.dictionary().slot(v);
      seen += fmt::format("{}{} {}", seen.empty() ? "" : ", ", r.type, print_format_text(r.format));
    }
    EXPECT_EQ(seen, types) << csv;
  }

  // A decimal mark told is not noted.
  EXPECT_TRUE(DataSet::from_text("a;b\n1,5;2\n", with(',')).notes().empty());

  // A token that a string column declares as its own missing value is that
  // value there (counted as user-missing), not blank.
  const DataSet declared = DataSet::from_text("s,x\nN/A,1\nab,NaN\n,2\n", with({}),
                                              R"({"variables": [{"name": "s", "missing": {"values": ["N/A"]}}]})");
  EXPECT_EQ(cases_of(declared), (std::vector<std::string>{"N/A|1;2", "ab|.;3", "|2;4"}));
}

TEST(DataHabits, ManyEmptyLinesOfAOneColumnFileAreCounted) {
  // Every tenth of 200,000 values missing: 20,000 missing values counted.
  std::string column = "x\n";
  for (int i = 0; i < 200000; ++i) column += i % 10 == 3 ? "\n" : std::to_string(i) + "\n";
  const DataSet data = DataSet::from_text(column, {});
  EXPECT_EQ(data.case_count(), 200000);
  EXPECT_EQ(sum_of(data, 1).first, 180000);
}

}  // namespace
}  // namespace mva::host
