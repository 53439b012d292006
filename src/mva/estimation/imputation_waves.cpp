// The waves of the regression imputation pass: the steps each wave takes
// and the state each chunk keeps between them.
#include "mva/estimation/imputation_waves.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "mva/cases/missing_codes.h"
#include "mva/estimation/column_roles.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// The equations of one chunk's imputer: its own copy of the sweep's work
// arrays over the shared covariances, and the equations it has solved.
struct ChunkEquations {
  ChunkEquations(std::int64_t p, RealTriangle base, const SelectionLimits& limits, std::size_t budget)
      : work(static_cast<std::size_t>(triangle_cells(p))),
        vectors(4 * static_cast<std::size_t>(p)),
        cache(p, {base, RealTriangle(RealArray(work)), part(0, p), part(1, p), part(2, p), part(3, p)}, limits,
              budget) {}
  RealArray part(std::int64_t k, std::int64_t p) {
    return RealArray(std::span(vectors).subspan(static_cast<std::size_t>(k * p), static_cast<std::size_t>(p)));
  }

  std::vector<double> work;
  std::vector<double> vectors;  // status, status before the sweep, pivot, reference diagonal
  EquationCache cache;
};

// The incomplete cases of one chunk of a wave, and what the steps taken in
// case order need of each: its weight, the columns imputed in it, their
// values and the residual variances of their equations. The values present
// are read again from the case matrix.
struct ChunkCases {
  std::vector<std::int64_t> cases;       // the incomplete cases, ascending
  std::vector<std::int64_t> missing;     // the missing dependents of each
  std::vector<std::int64_t> donors;      // RESIDUAL: the donors of the chunk's values, in order
  std::vector<double> weights;           // the weight of each case
  std::vector<std::int64_t> imputed;     // the columns imputed in each, case after case
  std::vector<double> values;            // the value imputed in each of those columns
  std::vector<double> variances;         // the residual variance of each imputed value
  std::vector<std::size_t> imputed_end;  // where the imputed columns of each case end

  void clear() {
    for (auto* v : {&cases, &missing, &donors, &imputed}) v->clear();
    for (auto* v : {&weights, &values, &variances}) v->clear();
    imputed_end.clear();
  }
};

// How many values ahead of the one being imputed the rows of donors are
// fetched.
constexpr std::size_t kDonorsAhead = 8;

// Bytes a wave holds at once, about: its records, and in each of the two
// sets of chunks what is kept of the incomplete cases (about 16 words for a
// case with a few values imputed). Waves of fewer chunks when records are
// wide.
constexpr std::int64_t kWaveBytes = std::int64_t{96} << 20;

class Waves {
 public:
  Waves(Context& cx, const ImputationPass& pass, RandomDraws& draws);
  bool run();

 private:
  // The chunks of a wave keep their cases in one of two sets: the estimates
  // take in one wave's cases while the next wave is imputed in the other.
  std::vector<ChunkCases>& set(std::int64_t wave) { return sets_[static_cast<std::size_t>(wave / per_wave_ % 2)]; }

  void find_incomplete(std::int64_t wave, std::int64_t k);
  void draw_donors(std::int64_t wave, std::int64_t in_wave);
  void impute_chunk(std::int64_t wave, std::int64_t k);
  bool finish_values(std::int64_t wave, std::int64_t in_wave);
  void lay_out_records(std::int64_t wave, std::int64_t k, std::int64_t first);
  void update_estimates(std::int64_t wave, std::int64_t in_wave);

  Context& cx_;
  const ImputationPass& pass_;
  RandomDraws& draws_;
  const ColumnRoles& roles_;
  MissingCodeTable code_of_;
  CaseMatrix cases_;
  WordArray LOCOF_;
  std::int64_t p_, nvar_, ncases_, chunks_, per_wave_;
  bool residual_, deviate_;
  std::optional<CompleteCases> complete_;
  std::array<std::vector<ChunkCases>, 2> sets_;
  std::vector<std::unique_ptr<ChunkEquations>> equations_;  // one per chunk of a wave
  std::vector<std::vector<double>> rcase_;                  // the case vectors of each chunk of a wave
  std::vector<std::vector<std::int64_t>> rmiss_;
  std::vector<CaseImputer> imputers_;
  std::vector<double> completed_, deviations_;  // the completed case and work vector of the estimates' update
  std::vector<double> records_;                 // the records of a wave, case after case
};

Waves::Waves(Context& cx, const ImputationPass& pass, RandomDraws& draws)
    : cx_(cx),
      pass_(pass),
      draws_(draws),
      roles_(*pass.inputs.roles),
      code_of_(cx),
      cases_(cx.case_matrix()),
      LOCOF_(cx.words(cx.cmn.a.LOCOF)),
      p_(cx.cmn.NV),
      nvar_(cx.cmn.NVAR),
      ncases_(cx.cmn.NCASES),
      chunks_(chunk_count(ncases_)),
      residual_(pass.inputs.addtype == kAddResidual),
      deviate_(pass.inputs.addtype == kAddNormal || pass.inputs.addtype == kAddT) {
  if (residual_) complete_.emplace(LOCOF_, ncases_);
  const std::int64_t record_cells = pass.records ? static_cast<std::int64_t>(pass.records->cells()) : 0;
  const std::int64_t case_bytes = 8 * (record_cells + 2 * 16);
  per_wave_ = std::min(std::clamp<std::int64_t>(kWaveBytes / (kChunkCases * case_bytes), 1, kChunksPerWave),
                       std::max<std::int64_t>(chunks_, 1));
  const auto n = static_cast<std::size_t>(per_wave_);
  for (std::vector<ChunkCases>& s : sets_) s.resize(n);
  rcase_.resize(n, std::vector<double>(static_cast<std::size_t>(nvar_), 0.0));
  rmiss_.resize(n, std::vector<std::int64_t>(static_cast<std::size_t>(nvar_), 0));
  imputers_.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    equations_.push_back(
        std::make_unique<ChunkEquations>(p_, pass.covariances, pass.limits, (std::size_t{64} << 20) / n));
    ImputationInputs own = pass.inputs;
    own.RCASE = RealArray(rcase_[k]);
    own.RMISS = WordArray(rmiss_[k]);
    imputers_.emplace_back(std::move(own), equations_[k]->cache);
  }
  completed_.assign(static_cast<std::size_t>(nvar_), 0.0);
  deviations_.assign(static_cast<std::size_t>(p_), 0.0);
}

// The incomplete cases of chunk k and how many of their dependents are
// missing.
void Waves::find_incomplete(std::int64_t wave, std::int64_t k) {
  ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
  s.clear();
  const CaseChunk range = case_chunk(wave + k, ncases_);
  for (std::int64_t L = range.first; L <= range.last; ++L) {
    if (LOCOF_(L) <= 0) continue;
    std::int64_t missing = 0;
    for (const std::int64_t q : pass_.inputs.dependents) {
      missing += code_of_(L, roles_(q).variable) != CellStatus::Valid ? 1 : 0;
    }
    s.cases.push_back(L);
    s.missing.push_back(missing);
  }
}

// RESIDUAL: a donor for each missing value of the wave, in case order.
void Waves::draw_donors(std::int64_t wave, std::int64_t in_wave) {
  if (!residual_) return;
  for (std::int64_t k = 0; k < in_wave; ++k) {
    ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
    for (const std::int64_t missing : s.missing) {
      for (std::int64_t i = 0; i < missing; ++i) s.donors.push_back(draw_donor(draws_, *complete_));
    }
  }
}

void Waves::impute_chunk(std::int64_t wave, std::int64_t k) {
  ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
  CaseImputer& imputer = imputers_[static_cast<std::size_t>(k)];
  const RealArray rcase(rcase_[static_cast<std::size_t>(k)]);
  const WordArray rmiss(rmiss_[static_cast<std::size_t>(k)]);
  std::size_t donor = 0, fetched = 0;
  for (std::size_t i = 0; i < s.cases.size(); ++i) {
    const std::int64_t L = s.cases[i];
    // The donors' rows lie anywhere in the case matrix: those of the values
    // a few ahead are fetched while this case is imputed.
    for (const std::size_t ahead = std::min(s.donors.size(), donor + kDonorsAhead); fetched < ahead; ++fetched) {
      const double* row = &cases_(s.donors[fetched], 1);
      for (std::int64_t b = 0; b < p_; b += 8) __builtin_prefetch(row + b);
      __builtin_prefetch(row + p_ - 1);
    }
    const RealArray row = cases_.row(L);
    for (std::int64_t q = 1; q <= p_; ++q) rcase(roles_(q).variable) = row(q);
    double w = 1.0;
    if (pass_.weight_col > 0) {
      w = row(pass_.weight_col);
      rmiss(pass_.weight_var) = static_cast<std::int64_t>(code_of_(L, pass_.weight_var));
    }
    for (const std::int64_t q : pass_.coded) {
      const std::int64_t v = roles_(q).variable;
      rmiss(v) = static_cast<std::int64_t>(code_of_(L, v));
    }
    const auto needed = static_cast<std::size_t>(residual_ ? s.missing[i] : 0);
    const std::vector<std::int64_t>& imputed =
        imputer.impute(std::span<const std::int64_t>(s.donors).subspan(donor, needed));
    donor += needed;
    s.weights.push_back(w);
    s.imputed.insert(s.imputed.end(), imputed.begin(), imputed.end());
    for (const std::int64_t q : imputed) s.values.push_back(rcase(roles_(q).variable));
    const std::vector<double>& variances = imputer.residual_variances();
    s.variances.insert(s.variances.end(), variances.begin(), variances.end());
    s.imputed_end.push_back(s.imputed.size());
  }
}

// NORMAL and T: the deviates, in case order, added to the predictions; an
// IMPUTES file: the imputed values. False when one cannot be written.
bool Waves::finish_values(std::int64_t wave, std::int64_t in_wave) {
  if (!deviate_ && pass_.kind != kImputesFile) return true;
  for (std::int64_t k = 0; k < in_wave; ++k) {
    ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
    std::size_t j = 0;
    for (std::size_t i = 0; i < s.cases.size(); ++i) {
      for (; j < s.imputed_end[i]; ++j) {
        const std::int64_t q = s.imputed[j];
        double& value = s.values[j];
        if (deviate_) value = value + random_term(pass_.inputs.addtype, pass_.tdf, s.variances[j], draws_);
        if (pass_.kind == kImputesFile &&
            write_imputed_value(cx_, pass_.handle, s.cases[i], roles_(q).variable, value) != 0) {
          return false;
        }
      }
    }
  }
  return true;
}

// The records of chunk k, at their place among the records of the wave,
// whose first case is `first`.
void Waves::lay_out_records(std::int64_t wave, std::int64_t k, std::int64_t first) {
  const ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
  const RealArray rcase(rcase_[static_cast<std::size_t>(k)]);
  const std::size_t cells = pass_.records->cells();
  std::size_t next = 0;  // the next incomplete case of the chunk
  const CaseChunk range = case_chunk(wave + k, ncases_);
  for (std::int64_t L = range.first; L <= range.last; ++L) {
    const RealArray row = cases_.row(L);
    for (std::int64_t q = 1; q <= p_; ++q) rcase(roles_(q).variable) = row(q);
    if (next < s.cases.size() && s.cases[next] == L) {
      for (std::size_t j = next > 0 ? s.imputed_end[next - 1] : 0; j < s.imputed_end[next]; ++j) {
        rcase(roles_(s.imputed[j]).variable) = s.values[j];
      }
      ++next;
    }
    pass_.records->fill(L, rcase, std::span(records_).subspan(static_cast<std::size_t>(L - first) * cells, cells));
  }
}

// The estimates take in the completed cases of a wave, in case order.
void Waves::update_estimates(std::int64_t wave, std::int64_t in_wave) {
  const RealArray x(completed_);
  for (std::int64_t k = 0; k < in_wave; ++k) {
    const ChunkCases& s = set(wave)[static_cast<std::size_t>(k)];
    std::size_t j = 0;
    for (std::size_t i = 0; i < s.cases.size(); ++i) {
      const RealArray row = cases_.row(s.cases[i]);
      for (std::int64_t q = 1; q <= p_; ++q) x(roles_(q).variable) = row(q);
      for (; j < s.imputed_end[i]; ++j) x(roles_(s.imputed[j]).variable) = s.values[j];
      MOMUPD(false, false, nvar_, triangle_cells(p_), roles_, 1, p_, s.weights[i], 1.0, x, *pass_.running, pass_.means,
             pass_.cross_products, RealArray(deviations_));
    }
  }
}

bool Waves::run() {
  Host& host = cx_.host;
  std::int64_t pending = -1, pending_chunks = 0;  // the wave whose estimates are still to be updated
  for (std::int64_t wave = 0; wave < chunks_; wave += per_wave_) {
    host.ATNJMP();
    const std::int64_t in_wave = std::min(per_wave_, chunks_ - wave);
    const std::int64_t first = case_chunk(wave, ncases_).first, last = case_chunk(wave + in_wave - 1, ncases_).last;
    host.for_each_chunk(in_wave, [&](std::int64_t k) { find_incomplete(wave, k); });
    draw_donors(wave, in_wave);
    // The chunks are imputed while the previous wave updates the estimates.
    host.for_each_chunk(in_wave + (pending >= 0 ? 1 : 0), [&](std::int64_t k) {
      if (k < in_wave) {
        impute_chunk(wave, k);
      } else {
        update_estimates(pending, pending_chunks);
      }
    });
    if (!finish_values(wave, in_wave)) return false;
    if (pass_.records != nullptr) {
      records_.resize(static_cast<std::size_t>(last - first + 1) * pass_.records->cells());
      host.for_each_chunk(in_wave, [&](std::int64_t k) { lay_out_records(wave, k, first); });
      std::int64_t error = 0;
      host.DSWRCASES(pass_.handle, last - first + 1, records_, error);
      if (error != 0) return false;
    }
    pending = wave;
    pending_chunks = in_wave;
    host.CASCTR(last);
  }
  if (pending >= 0) update_estimates(pending, pending_chunks);
  return true;
}

}  // namespace

bool impute_cases(Context& cx, const ImputationPass& pass, RandomDraws& draws) { return Waves(cx, pass, draws).run(); }

}  // namespace mva
