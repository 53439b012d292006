// The moment pass of one split group. Every case with a positive weight adds
// to the weight sum and to the pairwise accumulators; a complete case (every
// listed variable present) also to the listwise ones. The roles of the
// columns are read once before the pass, and nothing is laid out during it.
#include "mva/estimation/moments.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/chunk_moments.h"
#include "mva/estimation/column_roles.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/pairwise_update.h"
#include "mva/estimation/pattern_moments.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// Scales the sums of squares and cross-products of the pairs to covariances
// and variances (divisor N - 1); a pair with weight 1 or less gets 0.
void finish_pairs(const ColumnRoles& roles, const PairwiseArrays& pw) {
  for (std::int64_t j = 1; j <= roles.columns(); ++j) {
    if (!roles(j).listed) continue;
    for (std::int64_t k = 1; k <= j; ++k) {
      if (!roles(k).listed) continue;
      const double scale = covariance_scale(pw.PWN(j, k));
      pw.PWCOV(j, k) *= scale;
      pw.PWVAR(j, k) *= scale;
      if (k != j) pw.PWVAR(k, j) *= scale;
    }
  }
}

// Clears what the pass fills: the weight sum, the case vectors and the
// pairwise arrays.
void clear_moments(MvaCommon& cmn, WordArray CASEMISS, RealArray CASEVAL, const PairwiseArrays& pw) {
  const std::int64_t nv = cmn.NV;
  cmn.SUMWT = 0.0;
  for (std::int64_t v = 1; v <= cmn.NVAR; ++v) {
    CASEMISS(v) = 0;
    CASEVAL(v) = 0.0;
  }
  for (std::int64_t i = 1; i <= triangle_cells(nv); ++i) {
    pw.PWN.at(i) = 0.0;
    pw.PWW.at(i) = 0.0;
    pw.PWCOV.at(i) = 0.0;
  }
  for (std::int64_t b = 1; b <= nv; ++b) {
    for (std::int64_t a = 1; a <= nv; ++a) {
      pw.PWMEAN(a, b) = 0.0;
      pw.PWVAR(a, b) = 0.0;
    }
  }
}

// Each quantitative column is updated about an origin, its first present
// value, and the origins are added back to the means at the end. Values
// near 1e9 that differ by 1e-3 then enter the updates as small exact
// differences instead of losing most of their digits to the size of the
// running mean; the products about the means are the same either way.
class Origins {
 public:
  explicit Origins(std::int64_t nv)
      : origin_(static_cast<std::size_t>(nv) + 1, 0.0), has_(static_cast<std::size_t>(nv) + 1, 0) {}

  // Value x of column q about its origin; the first value offered with
  // `present` set becomes the origin.
  double about(std::int64_t q, double x, bool present) {
    const auto at = static_cast<std::size_t>(q);
    if (present && !has_[at]) {
      origin_[at] = x;
      has_[at] = 1;
    }
    return x - origin_[at];
  }
  double operator()(std::int64_t q) const { return origin_[static_cast<std::size_t>(q)]; }
  bool has(std::int64_t q) const { return has_[static_cast<std::size_t>(q)] != 0; }

 private:
  std::vector<double> origin_;
  std::vector<char> has_;
};

// Reads the cases of the pass into CASEMISS and CASEVAL, the values about
// their origins.
template <class Query>
class CaseReader {
 public:
  // With `origins`, the origins of a whole group found before a chunked
  // pass, instead of the first values this reader meets.
  CaseReader(Context& cx, const ColumnRoles& roles, const Query& code_of, const Origins* origins = nullptr,
             const MissingCodeTable* table = nullptr)
      : cx_(cx),
        roles_(roles),
        code_of_(code_of),
        cases_(cx.case_matrix()),
        nv_(cx.cmn.NV),
        weight_var_(WGTVAR(cx)),
        weight_col_(weight_var_ > 0 ? ICOL2(cx, weight_var_) : 0),
        origins_(origins ? *origins : Origins(nv_)) {
    for (std::int64_t q = 1; q <= nv_; ++q) {
      const ColumnRole& r = roles_(q);
      // A variable the table decides by the value alone, stored in this
      // very column, is classified from the value read here.
      const bool plain = table != nullptr && table->plain_column(r.variable) == q;
      if (r.listed) listed_.push_back({q, r.variable, r.quantitative, plain});
    }
    if (table != nullptr) sysmis_ = table->sysmis();
    // With the origins fixed beforehand, a present value can no longer set
    // one (each column that has a present value has its origin already), so
    // when every listed column is plain the cells are read without the
    // query and the origins' bookkeeping.
    if (origins != nullptr && std::all_of(listed_.begin(), listed_.end(), [](const Listed& c) { return c.plain; })) {
      for (const Listed& c : listed_)
        fixed_.push_back({c.column, c.variable, c.quantitative ? (*origins)(c.column) : 0.0, c.quantitative});
    }
  }

  // Reads stored case L and returns its weight; `complete` tells whether
  // every listed variable is present.
  double read(std::int64_t L, WordArray CASEMISS, RealArray CASEVAL, bool& complete) {
    const RealArray row = cases_.row(L);
    complete = true;
    if (!fixed_.empty()) {
      read_fixed(row, CASEMISS, CASEVAL, complete);
      return weight(row, CASEMISS, CASEVAL);
    }
    for (const Listed& c : listed_) {
      const auto code =
          c.plain ? static_cast<std::int64_t>(row(c.column) == sysmis_ ? CellStatus::SystemMissing : CellStatus::Valid)
                  : static_cast<std::int64_t>(code_of_(cx_, L, c.variable));
      CASEMISS(c.variable) = code;
      CASEVAL(c.variable) = c.quantitative ? origins_.about(c.column, row(c.column), code == 0) : 0.0;
      if (code != 0) complete = false;
    }
    return weight(row, CASEMISS, CASEVAL);
  }

  const Origins& origins() const { return origins_; }

  // The origins the plain pass would take: column by column, the value of
  // the first case that offers one (see read), found without reading the
  // cases after it.
  Origins group_origins(std::int64_t ncases) {
    Origins found(nv_);
    const bool weight_listed =
        weight_col_ > 0 && weight_col_ <= nv_ && roles_(weight_col_).listed && roles_(weight_col_).quantitative;
    for (std::int64_t q = 1; q <= nv_; ++q) {
      const ColumnRole& r = roles_(q);
      if (!r.listed || !r.quantitative) continue;
      for (std::int64_t L = 1; L <= ncases && !found.has(q); ++L) {
        const double x = cases_(L, q);
        const bool present = static_cast<std::int64_t>(code_of_(cx_, L, r.variable)) == 0 ||
                             (weight_listed && q == weight_col_ && x > 0.0);
        found.about(q, x, present);
      }
    }
    return found;
  }

 private:
  // The cells of the listed columns with the origins fixed and every
  // column plain: as the loop in read gives them.
  void read_fixed(const RealArray& row, WordArray CASEMISS, RealArray CASEVAL, bool& complete) const {
    const double* x = row.data() - 1;  // x[q] = row(q)
    const double sysmis = sysmis_;     // held apart from the cells written
    bool any_missing = false;
    for (const Fixed& f : fixed_) {
      const double value = x[f.column];
      const bool missing = value == sysmis;
      CASEMISS(f.variable) = static_cast<std::int64_t>(missing ? CellStatus::SystemMissing : CellStatus::Valid);
      CASEVAL(f.variable) = f.quantitative ? value - f.origin : 0.0;
      any_missing = any_missing || missing;
    }
    complete = !any_missing;
  }

  // The case's weight (1 without a weight variable), put in CASEMISS and
  // CASEVAL. The weight enters with code 0 whatever its own code. When it
  // is also a listed quantitative column it is kept about that column's
  // origin like any other value, so that its means come out plain weighted
  // means once the origin is added back.
  double weight(const RealArray& row, WordArray CASEMISS, RealArray CASEVAL) {
    if (weight_col_ <= 0) return 1.0;
    const double w = row(weight_col_);
    const bool listed = weight_col_ <= nv_ && roles_(weight_col_).listed && roles_(weight_col_).quantitative;
    CASEVAL(weight_var_) = listed ? origins_.about(weight_col_, w, w > 0.0) : w;
    CASEMISS(weight_var_) = 0;
    return w;
  }

  Context& cx_;
  const ColumnRoles& roles_;
  const Query& code_of_;
  CaseMatrix cases_;
  std::int64_t nv_, weight_var_, weight_col_;
  Origins origins_;
  // The listed columns, in column order, with their variables.
  struct Listed {
    std::int64_t column;
    std::int64_t variable;
    bool quantitative;
    bool plain;  // numeric without user-missing values: missing exactly when system-missing
  };
  std::vector<Listed> listed_;
  struct Fixed {
    std::int64_t column;
    std::int64_t variable;
    double origin;  // 0 for a column that is not quantitative
    bool quantitative;
  };
  std::vector<Fixed> fixed_;  // the listed columns for read_fixed; empty when it does not apply
  double sysmis_ = 0.0;       // the system-missing value, for the plain columns
};

// Adds the origins back into the means of the listwise update and of every
// pair that has cases.
void add_origins_back(const ColumnRoles& roles, const Origins& origins, bool listwise_has_cases, RealArray LWMEAN,
                      const PairwiseArrays& pw) {
  for (std::int64_t a = 1; a <= roles.columns(); ++a) {
    const double shift = origins(a);
    if (shift == 0.0) continue;
    if (listwise_has_cases) LWMEAN(roles(a).variable) += shift;
    for (std::int64_t b = 1; b <= roles.columns(); ++b) {
      if (pw.PWN(a, b) > 0.0) pw.PWMEAN(a, b) += shift;
    }
  }
}

// Listwise finish: sums of squares to covariances, divisor N - 1.
void finish_listwise(Context& cx, const MomentWeights& listwise, RealTriangle LWCOV, ListwiseSums& sums) {
  const std::int64_t cells = triangle_cells(cx.cmn.NV);
  sums.LWN = listwise.sumw;
  sums.update_weight = listwise.sumwf;
  if (has_covariance(sums.LWN)) {
    cx.host.VORL_DSCAL(cells, covariance_scale(sums.LWN), LWCOV.cells().data(), 1);
  } else {
    for (std::int64_t i = 1; i <= cells; ++i) LWCOV.at(i) = 0.0;
  }
}

// The pass over a group of more than one chunk: each chunk gathers its
// cases into sums of its own on the host's workers, about the origins of the
// whole group, and the chunks are pooled in chunk order. CASEMISS and
// CASEVAL are left holding the last case, as the plain pass leaves them.
template <class Query>
void chunked_moment_pass(Context& cx, const ColumnRoles& roles, const Query& code_of, const MissingCodeTable* table,
                         WordArray CASEMISS, MomentWeights& listwise, const PairwiseArrays& pw, Origins& origins,
                         const BesideWork& beside) {
  Host& host = cx.host;
  MvaCommon& cmn = cx.cmn;
  const std::int64_t nv = cmn.NV, nvar = cmn.NVAR, ncases = cmn.NCASES;
  const RealArray CASEVAL = cx.reals(cmn.a.CASEVAL);
  const RealArray LWMEAN = cx.reals(cmn.a.LWMEAN);
  const RealTriangle LWCOV = cx.triangle(cmn.a.LWCOV);
  for (std::int64_t v = 1; v <= nvar; ++v) LWMEAN(v) = 0.0;
  for (std::int64_t i = 1; i <= triangle_cells(nv); ++i) LWCOV.at(i) = 0.0;

  origins = CaseReader<Query>(cx, roles, code_of).group_origins(ncases);
  CaseReader<Query> last_reader(cx, roles, code_of, &origins);
  const std::int64_t chunks = chunk_count(ncases);
  // Chunk states held at once: up to kChunksPerWave, fewer when each holds
  // many columns (about 64 MB in all; at least one).
  const std::int64_t state_cells = 4 * triangle_cells(nv) + 2 * nv * nv + 2 * nvar;
  const std::int64_t per_wave = std::clamp<std::int64_t>((std::int64_t{8} << 20) / state_cells, 1, kChunksPerWave);
  for (std::int64_t wave = 0; wave < chunks; wave += per_wave) {
    host.ATNJMP();
    const std::int64_t in_wave = std::min(per_wave, chunks - wave);
    std::vector<ChunkMoments> states;
    std::vector<CaseReader<Query>> readers;
    states.reserve(static_cast<std::size_t>(in_wave));
    readers.reserve(static_cast<std::size_t>(in_wave));
    for (std::int64_t c = 0; c < in_wave; ++c) {
      states.emplace_back(nvar, nv);
      readers.emplace_back(cx, roles, code_of, &origins, table);
    }
    // The first wave also takes the work beside the pass, as its first
    // item, so that it starts at once.
    const std::int64_t extra = wave == 0 && beside ? 1 : 0;
    host.for_each_chunk(in_wave + extra, [&](std::int64_t item) {
      if (item < extra) {
        beside();
        return;
      }
      const std::int64_t c = item - extra;
      ChunkMoments& s = states[static_cast<std::size_t>(c)];
      CaseReader<Query>& reader = readers[static_cast<std::size_t>(c)];
      const WordArray miss(s.casemiss);
      const RealArray val(s.caseval);
      const PairwiseArrays chunk_pairs = s.pairs();
      PatternMoments pairs(roles);
      const CaseChunk range = case_chunk(wave + c, ncases);
      for (std::int64_t L = range.first; L <= range.last; ++L) {
        bool complete = true;
        const double w = reader.read(L, miss, val, complete);
        if (!(w > 0.0)) continue;  // counts nowhere
        s.sumwt += w;
        if (complete) {
          MOMUPD(s.first_listwise, s.first_listwise, nvar, triangle_cells(nv), roles, 1, nv, w, 1.0, val, s.listwise,
                 s.LWMEAN(), s.LWCOV(), RealArray(s.deviations));
          s.first_listwise = false;
        }
        pairs.add(w, val, miss, chunk_pairs);
      }
      pairs.merge_into(chunk_pairs);
    });
    for (ChunkMoments& s : states) {
      cmn.SUMWT += s.sumwt;
      pool_listwise(roles, listwise, LWMEAN, LWCOV, s);
      pool_pairs(nv, pw, s);
    }
    host.CASCTR(case_chunk(wave + in_wave - 1, ncases).last);
  }
  host.CASCTR(-1);
  bool complete = true;
  last_reader.read(ncases, CASEMISS, CASEVAL, complete);
}

// The pass itself, with the cell query inlined where it can be; `table`,
// when given, is the one `code_of` asks, and lets the readers decide its
// plain cells from the values they read.
template <class Query>
void moment_pass(Context& cx, WordArray CASEMISS, ListwiseSums& sums, const Query& code_of,
                 const MissingCodeTable* table, const BesideWork& beside) {
  Host& host = cx.host;
  MvaCommon& cmn = cx.cmn;
  const ColumnRoles roles = column_roles(cx);
  const std::int64_t nv = cmn.NV;
  const RealArray CASEVAL = cx.reals(cmn.a.CASEVAL);
  const RealArray LWMEAN = cx.reals(cmn.a.LWMEAN);
  const RealTriangle LWCOV = cx.triangle(cmn.a.LWCOV);
  const PairwiseArrays pw{cx.triangle(cmn.a.PWN), cx.triangle(cmn.a.PWW), cx.square(cmn.a.PWMEAN),
                          cx.triangle(cmn.a.PWCOV), cx.square(cmn.a.PWVAR)};
  clear_moments(cmn, CASEMISS, CASEVAL, pw);

  if (cmn.NCASES > kChunkCases) {
    MomentWeights listwise;
    Origins origins(nv);
    chunked_moment_pass(cx, roles, code_of, table, CASEMISS, listwise, pw, origins, beside);
    add_origins_back(roles, origins, listwise.sumw > 0.0, LWMEAN, pw);
    finish_listwise(cx, listwise, LWCOV, sums);
    pairwise_weights_done(nv, pw);
    finish_pairs(roles, pw);
    SETMOM(cx, true);
    return;
  }

  // Scratch for the pass, laid out once: the deviations of the listwise
  // update; the pairwise sums gather by pattern.
  MomentWeights listwise;
  std::vector<double> deviations(static_cast<std::size_t>(nv));
  PatternMoments pairs(roles);
  CaseReader<Query> reader(cx, roles, code_of, nullptr, table);
  bool first_listwise = true;
  for (std::int64_t L = 1; L <= cmn.NCASES; ++L) {
    host.ATNJMP();
    host.CASCTR(L);
    bool complete = true;
    const double w = reader.read(L, CASEMISS, CASEVAL, complete);
    if (!(w > 0.0)) continue;  // counts nowhere
    cmn.SUMWT += w;
    if (complete) {
      MOMUPD(first_listwise, first_listwise, cmn.NVAR, triangle_cells(nv), roles, 1, nv, w, 1.0, CASEVAL, listwise,
             LWMEAN, LWCOV, RealArray(deviations));
      first_listwise = false;
    }
    pairs.add(w, CASEVAL, CASEMISS, pw);
  }
  host.CASCTR(-1);
  pairs.merge_into(pw);

  add_origins_back(roles, reader.origins(), listwise.sumw > 0.0, LWMEAN, pw);
  finish_listwise(cx, listwise, LWCOV, sums);
  pairwise_weights_done(nv, pw);
  finish_pairs(roles, pw);
  SETMOM(cx, true);
  if (beside) beside();
}

}  // namespace

void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums) { MOMENT(cx, CASEMISS, sums, BesideWork{}); }

void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums, const BesideWork& beside) {
  if (MOMDON(cx)) {
    if (beside) beside();
    return;
  }
  // The missing-value rules are read once for the pass, not once per cell.
  const MissingCodeTable table(cx);
  moment_pass(
      cx, CASEMISS, sums, [&table](const Context&, std::int64_t L, std::int64_t v) { return table(L, v); }, &table,
      beside);
}

void MOMENT(Context& cx, WordArray CASEMISS, ListwiseSums& sums, const CellCodeQuery& code_of) {
  if (MOMDON(cx)) return;
  moment_pass(cx, CASEMISS, sums, code_of, nullptr, BesideWork{});
}

namespace {

// The real arrays of a moment pass with their sizes, in a fixed order.
std::vector<std::pair<RealArray, std::int64_t>> moment_arrays(const Context& cx) {
  const MvaCommon& c = cx.cmn;
  const std::int64_t cells = triangle_cells(c.NV), square = c.NV * c.NV;
  return {{cx.reals(c.a.CASEVAL), c.NVAR}, {cx.reals(c.a.LWMEAN), c.NVAR}, {cx.reals(c.a.LWCOV), cells},
          {cx.reals(c.a.PWN), cells},      {cx.reals(c.a.PWW), cells},     {cx.reals(c.a.PWCOV), cells},
          {cx.reals(c.a.PWMEAN), square},  {cx.reals(c.a.PWVAR), square}};
}

}  // namespace

MomentSnapshot::MomentSnapshot(const Context& cx, WordArray CASEMISS) {
  if (!MOMDON(cx)) return;
  for (const auto& [array, size] : moment_arrays(cx)) {
    reals_.insert(reals_.end(), array.data(), array.data() + size);
  }
  missing_.assign(CASEMISS.data(), CASEMISS.data() + cx.cmn.NVAR);
  sumwt_ = cx.cmn.SUMWT;
  kept_ = true;
}

bool MomentSnapshot::restore(Context& cx, WordArray CASEMISS) const {
  if (!kept_) return false;
  const double* from = reals_.data();
  for (const auto& [array, size] : moment_arrays(cx)) {
    std::copy(from, from + size, array.data());
    from += size;
  }
  std::copy(missing_.begin(), missing_.end(), CASEMISS.data());
  cx.cmn.SUMWT = sumwt_;
  SETMOM(cx, true);
  return true;
}

}  // namespace mva
