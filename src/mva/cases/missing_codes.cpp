// The missing-code queries: the status of one cell of the case matrix, read
// from the variable's dictionary record on every call (nothing is cached, so
// the record the host holds is always the one obeyed), the category number of
// a valid cell, and the map between stored cases and locations.
#include "mva/cases/missing_codes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "mva/frame/queries.h"

namespace mva {

namespace {

constexpr std::int64_t kCellChars = 8;  // characters a cell holds

// True when the string cell at column `col` of stored case L equals a missing
// text. The first min(width, 8) characters are compared; a string wider than
// 8 characters must further be blank in its characters 9..width, which lie in
// the following columns (those of its continuation slots). Only the first 8
// characters of a long string's missing value therefore take part.
bool string_equals(const CaseMatrix& cases, std::int64_t L, std::int64_t col, std::int64_t width,
                   std::string_view missing) {
  const std::string head = chars_of_cell(cases(L, col));
  const std::int64_t compared = std::min(width, kCellChars);
  for (std::int64_t i = 0; i < compared; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const char wanted = at < missing.size() ? missing[at] : ' ';
    if (head[at] != wanted) return false;
  }
  std::int64_t rest = width - kCellChars;
  for (std::int64_t c = col + 1; rest > 0 && c <= cases.columns(); ++c) {
    const std::string more = chars_of_cell(cases(L, c));
    for (std::int64_t i = 0; i < std::min(rest, kCellChars); ++i) {
      if (more[static_cast<std::size_t>(i)] != ' ') return false;
    }
    rest -= kCellChars;
  }
  return true;
}

// True when L numbers a stored case.
bool in_cases(const Context& cx, std::int64_t L) { return L >= 1 && L <= cx.cmn.NCASES; }

}  // namespace

bool same_value(double a, double b) {
  return a == b || std::memcmp(&a, &b, sizeof a) == 0;  // NOLINT(bugprone-suspicious-memory-comparison)
}

namespace {

// Status of the cell at column `col` of stored case L, for a variable with
// the record `rec`; the caller has checked that L lies in the case matrix.
CellStatus classify(const Context& cx, const CaseMatrix& cases, std::int64_t L, std::int64_t col, const VarRecord& rec,
                    double sysmis) {
  if (!cases || col < 1) return CellStatus::Valid;
  if (rec.type < 0) return CellStatus::Valid;  // a continuation slot

  const bool numeric = rec.type == 0;
  const double value = cases(L, col);
  const auto equals = [&](std::size_t k) {
    return numeric ? value == rec.missing[k] : string_equals(cases, L, col, rec.type, rec.missing_text[k]);
  };

  if (numeric && value == sysmis) return CellStatus::SystemMissing;
  const int form = rec.missing_form;
  if (form >= 1 && form <= 3) {
    for (int k = 0; k < form; ++k) {
      if (equals(static_cast<std::size_t>(k))) {
        return static_cast<CellStatus>(static_cast<int>(CellStatus::MissingFirst) + k);
      }
    }
  }
  if (form == kMissingRangeOne && equals(2)) return CellStatus::MissingThird;
  if (form == kMissingRange || form == kMissingRangeOne) {
    // Ranges are defined for numeric variables only; the host refuses them
    // on strings, so meeting one here is an internal fault.
    if (!numeric) cx.host.ASSERT("IQMSNG", "DITYPE .EQ. 0");
    // A NaN fails both comparisons and is not in the range.
    if (rec.missing[0] <= value && value <= rec.missing[1]) return CellStatus::InMissingRange;
  }
  return CellStatus::Valid;
}

}  // namespace

CellStatus IQMSNG(const Context& cx, std::int64_t L, std::int64_t v) {
  if (v < 1 || v > cx.cmn.NVAR || !in_cases(cx, L)) return CellStatus::Valid;
  const CaseMatrix cases = cx.case_matrix();
  const std::int64_t col = cx.words(cx.cmn.a.COLOF)(v);
  if (!cases || col < 1) return CellStatus::Valid;
  return classify(cx, cases, L, col, cx.host.DICGET(v), cx.host.PCINMS());
}

MissingCodeTable::MissingCodeTable(const Context& cx)
    : cx_(cx), cases_(cx.case_matrix()), nvar_(cx.cmn.NVAR), ncases_(cx.cmn.NCASES), sysmis_(cx.host.PCINMS()) {
  records_.reserve(static_cast<std::size_t>(nvar_));
  columns_.reserve(static_cast<std::size_t>(nvar_));
  const WordArray COLOF = cx.words(cx.cmn.a.COLOF);
  for (std::int64_t v = 1; v <= nvar_; ++v) {
    records_.push_back(cx.host.DICGET(v));
    columns_.push_back(COLOF ? COLOF(v) : 0);
    const VarRecord& rec = records_.back();
    plain_.push_back(cases_ && columns_.back() >= 1 && rec.type == 0 && rec.missing_form == kNoMissing ? 1 : 0);
  }
}

CellStatus MissingCodeTable::general(std::int64_t L, std::size_t at) const {
  return classify(cx_, cases_, L, columns_[at], records_[at], sysmis_);
}

bool ISMSLC(const Context& cx, std::int64_t v, std::int64_t loc) {
  const std::int64_t L = LOCCAS(cx, loc);
  return L >= 1 && IQMSNG(cx, L, v) != CellStatus::Valid;
}

std::int64_t ICATIX(const Context& cx, std::int64_t v, std::int64_t L) {
  if (IQMSNG(cx, L, v) != CellStatus::Valid) return 0;
  const std::int64_t n = NCATOF(cx, v);
  if (n < 1 || !in_cases(cx, L)) return 0;
  const double x = CELLV(cx, v, L);
  for (std::int64_t k = 1; k <= n; ++k) {
    if (same_value(CATVL(cx, v, k), x)) return k;
  }
  return 0;
}

void ISLOCM(const Context& cx, std::int64_t L, std::int64_t loc) {
  if (!in_cases(cx, L)) cx.host.ASSERT("ISLOCM", "L .GT. 0 .AND. L .LE. NCASES");
  // There are never more locations than stored cases.
  if (!in_cases(cx, loc)) cx.host.ASSERT("ISLOCM", "LOC .GT. 0 .AND. LOC .LE. NCASES");
  cx.words(cx.cmn.a.LOCOF)(L) = loc;
  cx.words(cx.cmn.a.CASEAT)(loc) = L;
}

std::int64_t IQLOCM(const Context& cx, std::int64_t L) {
  if (!in_cases(cx, L)) cx.host.ASSERT("IQLOCM", "L .GT. 0 .AND. L .LE. NCASES");
  return cx.words(cx.cmn.a.LOCOF)(L);
}

}  // namespace mva
