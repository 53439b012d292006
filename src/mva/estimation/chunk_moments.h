// The listwise and pairwise sums of one chunk of cases, and their merge into
// the sums of the chunks before it. A chunk gathers its cases exactly as the
// plain pass gathers a whole group (MOMUPD for the complete cases, pattern
// groups and PAIRUPD for the pairs) into arrays of its own; the merge pools
// two sets of sums by the step of the weighted moments state, pair by pair.
#pragma once

#include <cstdint>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/estimation/moment_update.h"
#include "mva/estimation/pairwise_update.h"
#include "mva/frame/views.h"

namespace mva {

struct ChunkMoments {
  // Over nvar dictionary variables and nv case-matrix columns.
  ChunkMoments(std::int64_t nvar, std::int64_t nv);

  double sumwt = 0.0;  // the weights of the chunk's cases with positive weight
  MomentWeights listwise;
  bool first_listwise = true;  // no complete case yet
  std::vector<double> lwmean, lwcov, deviations;
  std::vector<double> pwn, pww, pwcov, pwmean, pwvar;
  std::vector<std::int64_t> casemiss;  // the case being read
  std::vector<double> caseval;

  RealArray LWMEAN() { return RealArray(lwmean); }
  RealTriangle LWCOV() { return RealTriangle(RealArray(lwcov)); }
  PairwiseArrays pairs();
};

// Pools the complete cases of `from` into the listwise weights, means (by
// variable) and cross-products (by column) of the chunks before it, as MOMUPD
// forms them.
void pool_listwise(const ColumnRoles& roles, MomentWeights& into, RealArray LWMEAN, RealTriangle LWCOV,
                   ChunkMoments& from);

// Pools the pairwise sums of `from` (weights in PWN, means, sums of squares
// and cross-products) into `pw`, pair by pair.
void pool_pairs(std::int64_t nv, const PairwiseArrays& pw, ChunkMoments& from);

}  // namespace mva
