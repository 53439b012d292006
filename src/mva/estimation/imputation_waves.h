// The pass of regression imputation over the cases of one split group, in
// waves of chunks of cases. In each wave the donors of RESIDUAL are drawn in
// case order; the chunks are imputed on the host's workers, each with
// equations of its own (an equation is the same whoever solves it); in case
// order again the deviates of NORMAL and T are drawn and added and the
// values of an IMPUTES file written; the records of a DATA or INDICATOR file
// are laid out on the workers and written in order by the host; and the
// estimates take in the completed cases in case order, beside the
// imputation of the next wave. The random draws and the updates keep the
// order of the cases, and chunks are cut by the cases alone, so the answer
// does not depend on the number of workers.
#pragma once

#include <cstdint>
#include <vector>

#include "mva/estimation/case_imputation.h"
#include "mva/estimation/moment_update.h"
#include "mva/frame/common.h"
#include "mva/save/record_writer.h"

namespace mva {

// What the pass reads and where it leaves its results.
struct ImputationPass {
  ImputationInputs inputs;              // RCASE and RMISS: the workspace's case vectors
  RealTriangle covariances;             // the covariances the equations are swept from (RBASE)
  SelectionLimits limits;               // the forward selection's limits
  double tdf = 5.0;                     // degrees of freedom of the t deviates
  std::vector<std::int64_t> coded;      // columns whose missing codes the imputation reads
  std::int64_t weight_var = 0;          // the weight variable, 0 = none
  std::int64_t weight_col = 0;          // its column, 0 = none
  FileKind kind = kNoFile;              // the file saved, if any
  FileHandle handle = 0;                // its handle
  CaseRecordWriter* records = nullptr;  // the records of a DATA or INDICATOR file
  MomentWeights* running = nullptr;     // the running weights of the estimates
  RealArray means;                      // REGMEAN, by variable
  RealTriangle cross_products;          // REGCOV, the running cross-products
};

// Imputes the incomplete cases of the group, writes the saved file's
// records or values and updates the estimates; false as soon as the host
// could not write a record (nothing more is then done).
bool impute_cases(Context& cx, const ImputationPass& pass, RandomDraws& draws);

}  // namespace mva
