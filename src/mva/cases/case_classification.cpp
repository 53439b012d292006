// The classification pass: one walk over the stored cases of the group. A
// case is complete when no variable of the VARIABLES list is missing in it;
// each incomplete case gets the next location. The valid cells of the
// categorical variables feed their category lists, in complete and incomplete
// cases alike; a list that would grow past MAXCAT stops the pass.
#include "mva/cases/case_classification.h"

#include <algorithm>
#include <string>
#include <vector>

#include "mva/cases/categories.h"
#include "mva/cases/data_pass.h"
#include "mva/cases/missing_codes.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// "DINI_ VARIABLE ^1 HAS MORE THAN ^2 CATEGORIES" for variable v.
void report_too_many(Context& cx, std::int64_t v) {
  Host& host = cx.host;
  const std::string name = host.DICGET(v).name;
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING("DINI_ VARIABLE ^1 HAS MORE THAN ^2 CATEGORIES"));
  host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(name));
  host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(std::to_string(cx.cmn.MAXCAT)));
  host.BP_ERROR(host.BP_END_COMPSTRING(), MessageClass::Runtime, Severity::Error);
}

// The classification when no listed variable is categorical, chunk by chunk
// on the host's workers: each chunk marks and counts its incomplete cases;
// the counts of the chunks before a chunk, added in chunk order, say where
// its locations start, and each chunk then gives its incomplete cases their
// locations in case order, as one walk over all the cases would.
void classify_in_chunks(Context& cx, const std::vector<std::int64_t>& listed, const MissingCodeTable& code_of) {
  MvaCommon& c = cx.cmn;
  const std::int64_t ncases = c.NCASES;
  const std::int64_t chunks = chunk_count(ncases);
  std::vector<char> incomplete(static_cast<std::size_t>(ncases) + 1, 0);
  std::vector<std::int64_t> located(static_cast<std::size_t>(chunks) + 1, 0);  // before chunk k, once summed
  const ListedCells cells(code_of, cx.case_matrix(), listed);
  cx.host.for_each_chunk(chunks, [&](std::int64_t chunk) {
    const CaseChunk range = case_chunk(chunk, ncases);
    std::int64_t count = 0;
    for (std::int64_t L = range.first; L <= range.last; ++L) {
      for (std::size_t j = 0; j < cells.size(); ++j) {
        if (cells(L, j) != CellStatus::Valid) {
          incomplete[static_cast<std::size_t>(L)] = 1;
          ++count;
          break;
        }
      }
    }
    located[static_cast<std::size_t>(chunk) + 1] = count;
  });
  for (std::size_t k = 1; k < located.size(); ++k) located[k] += located[k - 1];
  c.NINCOM = located.back();
  c.NCOMPL = ncases - c.NINCOM;
  const WordArray locof = cx.words(c.a.LOCOF), caseat = cx.words(c.a.CASEAT);
  cx.host.for_each_chunk(chunks, [&](std::int64_t chunk) {
    const CaseChunk range = case_chunk(chunk, ncases);
    std::int64_t loc = located[static_cast<std::size_t>(chunk)];
    for (std::int64_t L = range.first; L <= range.last; ++L) {
      if (incomplete[static_cast<std::size_t>(L)] == 0) continue;
      ++loc;
      locof(L) = loc;
      caseat(loc) = L;
    }
  });
}

}  // namespace

void DINI(Context& cx) {
  MvaCommon& c = cx.cmn;
  c.NCOMPL = 0;
  c.NINCOM = 0;
  const VariableRange range = VRANGE(cx);
  if (c.NCASES < 1) return;

  // The variables of the range that stand on the VARIABLES list, in
  // ascending order; looked up once rather than once per cell.
  std::vector<std::int64_t> listed;
  std::vector<char> categorical;  // ISCATV of each listed variable
  for (std::int64_t v = range.first; v <= range.last; ++v) {
    if (INVLST(cx, v)) {
      listed.push_back(v);
      categorical.push_back(ISCATV(cx, v) ? 1 : 0);
    }
  }

  const MissingCodeTable code_of(cx);
  if (std::find(categorical.begin(), categorical.end(), 1) == categorical.end()) {
    classify_in_chunks(cx, listed, code_of);
    return;
  }
  for (std::int64_t L = 1; L <= c.NCASES; ++L) {
    bool complete = true;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const std::int64_t v = listed[i];
      if (code_of(L, v) != CellStatus::Valid) {
        complete = false;
      } else if (categorical[i] != 0 && ADDCAT(cx, v, CELLV(cx, v, L))) {
        report_too_many(cx, v);
        return;
      }
    }
    if (complete) {
      ++c.NCOMPL;
      continue;
    }
    ++c.NINCOM;
    ISLOCM(cx, L, c.NINCOM);
    for (std::size_t i = 0; i < listed.size(); ++i) {
      // Only a categorical variable has categories to take back.
      if (categorical[i] != 0) DELCAT(cx, listed[i], c.NINCOM, code_of(L, listed[i]) != CellStatus::Valid);
    }
  }
}

}  // namespace mva
