// The data pass of one split group. The case matrix first takes all the free
// workspace, because the number of cases in the group is learnt only by
// reading them; the cases are read in one pass until the host says the group
// (or the data) has ended, so that the host's reader then stands at the start
// of the next group. The matrix is cut back to the cases read, the rest of
// the case store is laid out beside it, and the classification pass runs.
#include "mva/cases/data_pass.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "mva/cases/case_classification.h"
#include "mva/cases/categories.h"
#include "mva/frame/case_chunks.h"

namespace mva {

namespace {

// Reports a run-time error of the data pass, with at most one parameter.
void report(Context& cx, std::string_view key, std::string_view param = {}) {
  Host& host = cx.host;
  if (param.empty()) {
    host.BP_ERROR(host.BP_CSTRING(key), MessageClass::Runtime, Severity::Error);
    return;
  }
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(key));
  host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(param));
  host.BP_ERROR(host.BP_END_COMPSTRING(), MessageClass::Runtime, Severity::Error);
}

// Lays out `count` 8-byte cells into `base`; false when the workspace is
// short or the count cannot be represented.
bool lay_out(Context& cx, Index& base, std::optional<std::int64_t> count) {
  return count && !cx.host.QNOMEM(cx.ws, base, 8, *count);
}

// Where the cells of the case buffer go in a stored case: the variables of
// the range that have a column, each to its column. Found once for the pass.
class CaseCopy {
 public:
  CaseCopy(const VariableRange& range, const WordArray& colof) : first_(range.first) {
    for (std::int64_t v = range.first; v <= range.last; ++v) {
      if (colof(v) > 0) moves_.push_back({v, colof(v)});
    }
    // Usually every variable of the range has the next column: one block.
    block_ = static_cast<std::int64_t>(moves_.size()) == range.last - range.first + 1 &&
             std::all_of(moves_.begin(), moves_.end(),
                         [&](const CaseBlock::Move& m) { return m.column == m.slot - range.first + 1; });
  }

  // Copies the case in `buffer` into `row`, its row of the case matrix.
  void operator()(const RealArray& buffer, const RealArray& row) const {
    if (block_) {
      const double* from = buffer.part(first_, static_cast<std::int64_t>(moves_.size())).data();
      double* to = row.data();
      for (std::size_t k = 0; k < moves_.size(); ++k) to[k] = from[k];
      return;
    }
    for (const CaseBlock::Move& m : moves_) row(m.column) = buffer(m.slot);
  }

  // The same moves for the host, into the rows of `width` cells from `row` on.
  CaseBlock block(const RealArray& row, std::int64_t width) const { return {row.data(), width, moves_}; }

 private:
  std::int64_t first_;
  std::vector<CaseBlock::Move> moves_;
  bool block_ = false;
};

// Reads the group's cases; stores each taken case while the matrix has room.
// Returns false when more cases were taken than it can hold (NCASES still
// counts them all).
bool read_cases(Context& cx) {
  Host& host = cx.host;
  MvaCommon& c = cx.cmn;
  const VariableRange range = VRANGE(cx);
  const WordArray colof = cx.words(c.a.COLOF);
  const std::int64_t weight = host.weight_var();
  bool overflow = false;
  const CaseCopy copy(range, colof);

  host.OBSERV(cx.ws);
  while (!host.data_stopped() && !host.group_ended()) {
    host.ATNJMP();
    const RealArray buffer = cx.reals(host.case_buffer());
    bool taken = true;
    if (weight >= 1) {
      // A weight that truncates to zero or below, or is missing (truncated
      // to 0), drops the case; the stored weight is the truncated one.
      const double w = host.FUZZYTRUNCATE(buffer(weight));
      taken = w > 0.0;
      if (taken) buffer(weight) = w;
    }
    if (taken) {
      ++c.NCASES;
      // Reading goes on after an overflow, so that NCASES counts every
      // taken case and the message can say how much room they need.
      if (!overflow && c.NCASES > c.MAXCAS) overflow = true;
      if (!overflow) {
        copy(buffer, cx.case_matrix().row(c.NCASES));
        // Without a weight every case is taken: the host may store the
        // next ones straight into the rows that follow.
        if (weight < 1 && c.NCASES < c.MAXCAS) {
          c.NCASES +=
              host.OBSERV_BLOCK(cx.ws, c.MAXCAS - c.NCASES, copy.block(cx.case_matrix().row(c.NCASES + 1), c.NV));
        }
      }
    }
    host.OBSERV(cx.ws);
  }
  return !overflow;
}

}  // namespace

std::optional<std::int64_t> workspace_kilobytes(std::int64_t nvar, std::int64_t ncases) {
  const auto cells = checked_product(nvar, ncases);
  const auto bytes = cells ? checked_product(8, *cells) : std::nullopt;
  if (!bytes) return std::nullopt;
  return (*bytes - 1) / 1024 + 1;
}

VariableRange VRANGE(const Context& cx) {
  const std::int64_t n = cx.cmn.NVAR;
  if (n < 1) return {1, n};
  const WordArray colof = cx.words(cx.cmn.a.COLOF);
  std::int64_t first = 1;
  while (first <= n && colof(first) < 1) ++first;
  if (first > n) return {1, 0};
  std::int64_t last = n;
  while (colof(last) < 1) --last;
  return {first, last};
}

void DATA(Context& cx) {
  Host& host = cx.host;
  MvaCommon& c = cx.cmn;
  ArrayBases& a = c.a;
  c.NCASES = c.NCOMPL = c.NINCOM = 0;
  a.CATVAL = a.CORDER = a.LOCOF = a.CASEAT = a.CASES = 0;
  // The command readers refuse a command that leaves no column.
  if (c.NV < 1) host.ASSERT("DATA", "NV .GE. 1");

  const std::int64_t obtained = host.GETMEM(cx.ws, a.CASES, -1, 8);
  c.MAXCAS = obtained / c.NV;

  if (!read_cases(cx)) {
    if (a.CASES > 0) host.FREMEM(cx.ws, a.CASES, obtained);
    a.CASES = 0;
    const auto kilobytes = workspace_kilobytes(c.NVAR, c.NCASES);
    if (kilobytes) {
      report(cx, "DATA_ SET WORKSPACE TO ^1", std::to_string(*kilobytes));
    } else {
      report(cx, "DATA_ NOT ENOUGH MEMORY");
    }
    return;
  }

  // NCASES <= MAXCAS = obtained / NV, so the product fits.
  if (a.CASES > 0) host.KPMEM(cx.ws, a.CASES, c.NV * c.NCASES);
  c.MAXCAS = c.NCASES;
  const auto category_cells = checked_product(c.MAXCAT, c.NVAR);
  if (!lay_out(cx, a.CATVAL, category_cells) || !lay_out(cx, a.LOCOF, c.NCASES) || !lay_out(cx, a.CASEAT, c.NCASES) ||
      !lay_out(cx, a.CORDER, c.NCASES)) {
    report(cx, "DATA_ NOT ENOUGH MEMORY");
    return;
  }
  host.LRINIV(cx.ws, a.CATVAL, *category_cells, kEmptyCategory);

  // Every case starts without a location and in its own place of the case
  // order: chunk by chunk on the host's workers, a wave of chunks at a time
  // so that an interruption and the count of cases are seen between waves.
  const WordArray locof = cx.words(a.LOCOF), corder = cx.words(a.CORDER);
  const std::int64_t chunks = chunk_count(c.NCASES);
  for (std::int64_t wave = 0; wave < chunks; wave += kChunksPerWave) {
    host.ATNJMP();
    const std::int64_t in_wave = std::min(kChunksPerWave, chunks - wave);
    host.for_each_chunk(in_wave, [&](std::int64_t k) {
      const CaseChunk range = case_chunk(wave + k, c.NCASES);
      for (std::int64_t L = range.first; L <= range.last; ++L) {
        locof(L) = 0;
        corder(L) = L;
      }
    });
    host.CASCTR(case_chunk(wave + in_wave - 1, c.NCASES).last);
  }
  host.CASCTR(-1);

  DINI(cx);
}

}  // namespace mva
