// Counting what a run analyses. The weights and the split groups are read
// through a case reader, the way the procedure reads them, so the counts are
// those of the cases it will see: the groups are the reader's own and each
// weight goes through the same truncation.
#include "host/data/data_summary.h"

#include <cstring>
#include <unordered_set>

#include "host/services/numerics.h"

namespace mva::host {

DataSummary summarize(const DataSet& data) {
  const Dictionary& dictionary = data.dictionary();
  DataSummary summary;
  summary.cases = data.case_count();
  summary.variables = static_cast<std::int64_t>(dictionary.variables().size());
  const std::int64_t weight = dictionary.weight();
  if (weight > 0) summary.weight = dictionary.slot(weight).name;
  for (const std::int64_t v : dictionary.split()) summary.split.push_back(dictionary.slot(v).name);
  if (weight == 0 && summary.split.empty()) return summary;

  CaseReader reader = data.reader();
  std::vector<double> buffer(static_cast<std::size_t>(dictionary.size()));
  std::unordered_set<std::string> combinations;
  for (;;) {
    const CaseReader::Next next = reader.next(buffer.data());
    if (next == CaseReader::Next::EndOfData) break;
    if (next == CaseReader::Next::EndOfGroup) {
      const std::vector<double>& values = reader.group_values();
      combinations.emplace(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
      ++summary.groups;
      if (reader.at_end()) break;
      continue;
    }
    if (weight == 0) continue;
    const double w = buffer[static_cast<std::size_t>(weight - 1)];
    if (fuzzy_truncate(w) <= 0.0) ++summary.weight_left_out;
    if (weight_has_fraction(w)) ++summary.weight_truncated;
  }
  summary.combinations = static_cast<std::int64_t>(combinations.size());
  return summary;
}

}  // namespace mva::host
