// The missing-code queries. The case matrix holds raw values only; whether a
// cell is valid, system-missing or user-missing is decided on demand from the
// variable's dictionary record, every time it is asked. Beside them stand the
// two queries that map stored cases to locations, the numbers 1..NINCOM the
// data pass gives to the incomplete cases in case order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mva/frame/common.h"

namespace mva {

// Status of the cell of variable v in stored case L. Valid for v < 1, for a
// continuation slot of a long string, and for a variable or case outside the
// case matrix.
CellStatus IQMSNG(const Context& cx, std::int64_t L, std::int64_t v);

// True when the cell of variable v in the case at location loc is missing in
// any way; FALSE for a location outside 1..NINCOM.
bool ISMSLC(const Context& cx, std::int64_t v, std::int64_t loc);

// Number (1..NCATS(v)) of the category of v equal to its cell in stored case
// L; 0 when the cell is missing or is none of v's categories.
std::int64_t ICATIX(const Context& cx, std::int64_t v, std::int64_t L);

// Records that stored case L has location loc (LOCOF(L) and CASEAT(loc)).
void ISLOCM(const Context& cx, std::int64_t L, std::int64_t loc);

// Location of stored case L; 0 for a complete case.
std::int64_t IQLOCM(const Context& cx, std::int64_t L);

// The missing-value rules of every variable, read from the dictionary once for
// a pass over the cases, so that classifying a cell costs no host call. Its
// answers are IQMSNG's as long as the dictionary does not change, which it
// does not during a pass.
class MissingCodeTable {
 public:
  explicit MissingCodeTable(const Context& cx);
  // IQMSNG(cx, L, v) without a call to the host. A numeric variable without
  // user-missing values, the common case, is decided here in line.
  CellStatus operator()(std::int64_t L, std::int64_t v) const {
    if (v < 1 || v > nvar_ || L < 1 || L > ncases_) return CellStatus::Valid;
    const auto at = static_cast<std::size_t>(v - 1);
    if (!plain_[at]) return general(L, at);
    return cases_(L, columns_[at]) == sysmis_ ? CellStatus::SystemMissing : CellStatus::Valid;
  }
  // The case-matrix column of variable v when its cells are decided by
  // their value alone (system-missing or valid, as above); 0 otherwise.
  std::int64_t plain_column(std::int64_t v) const {
    if (v < 1 || v > nvar_) return 0;
    const auto at = static_cast<std::size_t>(v - 1);
    return plain_[at] ? columns_[at] : 0;
  }
  double sysmis() const { return sysmis_; }

 private:
  // The status by the variable's whole record: strings, user-missing values,
  // variables without a column.
  CellStatus general(std::int64_t L, std::size_t at) const;

  const Context& cx_;
  CaseMatrix cases_;                   // the case matrix of the group
  std::int64_t nvar_ = 0;              // NVAR
  std::int64_t ncases_ = 0;            // NCASES
  std::vector<VarRecord> records_;     // the dictionary record of variable v at v - 1
  std::vector<std::int64_t> columns_;  // the case-matrix column of variable v at v - 1 (0 = none)
  std::vector<char> plain_;            // variable v at v - 1 is numeric, has a column and no missing values
  double sysmis_ = 0.0;                // the system-missing value
};

// The statuses of the cells of a fixed list of variables, asked case after
// case (the classification pass, the pattern grouping): what the table
// decides by the value alone is read straight from the case's row, without
// the table's checks of the variable and case numbers on every cell.
class ListedCells {
 public:
  ListedCells(const MissingCodeTable& table, const CaseMatrix& cases, std::span<const std::int64_t> vars)
      : table_(table), cases_(cases), vars_(vars.begin(), vars.end()), sysmis_(table.sysmis()) {
    for (const std::int64_t v : vars) columns_.push_back(table.plain_column(v));
  }
  std::size_t size() const { return vars_.size(); }
  // The status of the cell of the j-th variable (0-based) in stored case L
  // (1..NCASES): table(L, vars[j]).
  CellStatus operator()(std::int64_t L, std::size_t j) const {
    const std::int64_t column = columns_[j];
    if (column == 0) return table_(L, vars_[j]);
    return cases_(L, column) == sysmis_ ? CellStatus::SystemMissing : CellStatus::Valid;
  }

 private:
  const MissingCodeTable& table_;
  CaseMatrix cases_;
  std::vector<std::int64_t> vars_;
  std::vector<std::int64_t> columns_;  // the table's plain column of each variable; 0 to ask the table
  double sysmis_;
};

// True when two cells hold the same value: equal as numbers, or the same 8
// bytes (so that string cells whose bytes happen to read as NaN still match
// themselves).
bool same_value(double a, double b);

}  // namespace mva
