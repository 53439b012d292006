// The map of missing values. Letters A, B and C stand for the first, second
// and third discrete user-missing value, D for the user-missing range, S for
// the system-missing value; each listed variable that has user-missing values
// gets a row showing its values under their letters. The S footnote is given
// only when a system-missing value was met in the list before the table was
// opened, because the scan of a variable runs just before its row.
#include "mva/diagnostics/missing_value_map.h"

#include "mva/cases/missing_codes.h"

namespace mva {

namespace {

// True when variable v is system-missing in some stored case.
bool has_system_missing(const Context& cx, std::int64_t v) {
  const MissingCodeTable missing(cx);
  for (std::int64_t L = 1; L <= cx.cmn.NCASES; ++L) {
    if (missing(L, v) == CellStatus::SystemMissing) return true;
  }
  return false;
}

// Opens the map table; `system_missing` adds the S footnote.
void begin_map(Host& host, int table, bool system_missing) {
  const Text title = host.BP_CSTRING("MMAP_ MAP OF MISSING VALUES");
  host.BP_BEGIN_PIVOT_TABLE(table, title, title);
  if (system_missing) host.BP_ANNOTATE(host.BP_CSTRING("MMAP_ S DENOTES SYSTEM MISSING VALUES"), AnnotationCode::Title);
  const Text codes = host.BP_CSTRING("MMAP_ PATTERN CODES");
  host.BP_POSITION_DIMENSION(table, codes, kUnnamedColumnDimension);
  host.BP_POSITION_DIMENSION(table, host.BP_CSTRING("MMAP_ VARIABLES"), kRowDimension);
  host.BP_CELL_DIMENSION(table, codes);
}

// Stores `value` under the letter `letter` of the current row.
void put(Host& host, int table, const char* letter, const Text& value) {
  host.BP_CELL_IN_CATEGORY(table, value, host.BP_CSTRING_NO_TRANSLATE(letter));
}

// Stored missing value k (0-based) of a variable as a cell value: the number,
// or for a string the first 8 characters of its text, as a string cell holds them.
double missing_value(const VarRecord& rec, int k) {
  const auto at = static_cast<std::size_t>(k);
  return rec.type > 0 ? cell_of_chars(rec.missing_text[at]) : rec.missing[at];
}

// The cells of variable v's row from its user-missing values.
void map_row(Host& host, int table, std::int64_t v, const VarRecord& rec) {
  static constexpr const char* kDiscrete[] = {"A", "B", "C"};
  const int form = rec.missing_form;
  if (form >= 1 && form <= 3) {
    for (int k = 0; k < form; ++k) put(host, table, kDiscrete[k], host.BP_VARVALUE(v, missing_value(rec, k)));
    return;
  }
  if (form != kMissingRange && form != kMissingRangeOne) return;  // unknown form: a bare row
  if (form == kMissingRangeOne) put(host, table, "C", host.BP_VARVALUE(v, missing_value(rec, 2)));
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING_NO_TRANSLATE("^1 TO ^2"));
  host.BP_ADD_PARAMETER(host.BP_VARVALUE(v, rec.missing[0]));
  host.BP_ADD_PARAMETER(host.BP_VARVALUE(v, rec.missing[1]));
  put(host, table, "D", host.BP_END_COMPSTRING());
}

}  // namespace

void MMAP(Context& cx, int table) {
  Host& host = cx.host;
  const WordArray VLIST = cx.words(cx.cmn.a.VLIST);
  const Text variables = host.BP_CSTRING("MMAP_ VARIABLES");
  bool system_missing = false;
  bool open = false;
  for (std::int64_t i = 1; i <= cx.cmn.NVAR; ++i) {
    const std::int64_t v = VLIST(i);
    if (v < 1) continue;
    if (!system_missing) system_missing = has_system_missing(cx, v);
    // A copy: the status queries above reload the host's record buffer.
    const VarRecord rec = host.DICGET(v);
    if (rec.missing_form == kNoMissing) continue;
    if (!open) {
      begin_map(host, table, system_missing);
      open = true;
    }
    host.BP_CATEGORY_DIMENSION(table, host.BP_VARIABLE(v, 0), variables);
    map_row(host, table, v, rec);
  }
  if (open) host.BP_END_PIVOT_TABLE(table);
}

}  // namespace mva
