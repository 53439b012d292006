// Data as R, pandas and spreadsheets write them, read to the counts and sums
// R holds (tools/data_habits.R.out); headers made names. (Decimal commas and
// the cell texts that mean no value are rows of the reading table of
// data_test.cpp.)
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/data/dictionary.h"
#include "host/data/number_text.h"
#include "host/data/variable_names.h"

namespace mva::host {
namespace {

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

}  // namespace
}  // namespace mva::host
