// Saved-file records, built cell by cell in the host's buffer of the file.
#include "mva/save/record_writer.h"

#include <algorithm>
#include <span>

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// The split cells of slot v when it is a split variable, else none.
std::span<const double> split_cells_of(const Context& cx, std::int64_t v) {
  for (std::int64_t k = 1; k <= cx.host.split_count(); ++k) {
    if (cx.host.split_variable(k) == v) return cx.host.split_cells(k);
  }
  return {};
}

}  // namespace

std::int64_t move_split_values(Context& cx, FileHandle handle, std::int64_t first) {
  for (std::int64_t k = 1; k <= cx.host.split_count(); ++k) {
    const std::span<const double> cells = cx.host.split_cells(k);
    cx.host.OBMOVE(handle, first, cells);
    first += static_cast<std::int64_t>(cells.size());
  }
  return first;
}

std::int64_t move_chars(Context& cx, FileHandle handle, std::int64_t cell, std::string_view chars) {
  return move_number(cx, handle, cell, cell_of_chars(chars.substr(0, 8)));
}

std::int64_t move_number(Context& cx, FileHandle handle, std::int64_t cell, double value) {
  cx.host.OBMOVE(handle, cell, std::span<const double>(&value, 1));
  return cell + 1;
}

std::int64_t write_record(Context& cx, FileHandle handle) {
  std::int64_t error = 0;
  cx.host.DSWRCASE(handle, error);
  return error;
}

CaseRecordWriter::CaseRecordWriter(Context& cx, int method, FileKind kind)
    : cx_(cx), indicator_(kind == kIndicatorFile), codes_(cx) {
  const WordArray vwidth = cx.words(cx.cmn.a.VWIDTH);
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) {
    const std::int64_t column = ICOL2(cx, v);
    if (DEPFL(cx, v, method)) {
      sources_.push_back({v, 0, {}});
      dependents_.push_back(v);
    } else if (column > 0) {
      sources_.push_back({v, column, {}});
    } else if (var_type(vwidth(v)) != VarType::Continuation) {
      const std::span<const double> split = split_cells_of(cx, v);
      if (!split.empty()) sources_.push_back({v, -1, split});
    }
  }
  if (!indicator_) dependents_.clear();
  for (const Source& s : sources_) cells_ += s.column < 0 ? s.split.size() : 1;
  if (indicator_) cells_ += dependents_.size() + 1;
}

void CaseRecordWriter::fill(std::int64_t L, RealArray completed, std::span<double> into) const {
  MVA_ASSERT(into.size() == cells_);
  const CaseMatrix cases = cx_.case_matrix();
  auto cell = into.begin();
  for (const Source& s : sources_) {
    if (s.column == 0) {
      *cell++ = completed(s.variable);
    } else if (s.column > 0) {
      *cell++ = cases(L, s.column);
    } else {
      cell = std::copy(s.split.begin(), s.split.end(), cell);
    }
  }
  if (indicator_) {
    for (const std::int64_t v : dependents_) *cell++ = codes_(L, v) == CellStatus::Valid ? 1.0 : 0.0;
    *cell = IQLOCM(cx_, L) == 0 ? 1.0 : 0.0;
  }
}

std::int64_t write_imputed_value(Context& cx, FileHandle handle, std::int64_t L, std::int64_t v, double value) {
  std::int64_t cell = move_split_values(cx, handle, 1);
  const std::int64_t id = cx.cmn.IDVAR;
  if (id >= 1) {
    // A long string ID continues in the columns of its continuation slots.
    const std::int64_t slots = 1 + continuation_slots(cx.words(cx.cmn.a.VWIDTH)(id));
    for (std::int64_t k = 0; k < slots; ++k) {
      cell = move_number(cx, handle, cell, cx.case_matrix()(L, ICOL2(cx, id + k)));
    }
  } else {
    cell = move_number(cx, handle, cell, static_cast<double>(L));
  }
  cell = move_chars(cx, handle, cell, cx.host.DICGET(v).name);
  move_number(cx, handle, cell, value);
  return write_record(cx, handle);
}

}  // namespace mva
