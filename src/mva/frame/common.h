// The MVA common: the state of one run of the procedure. Counts, subcommand
// flags, options, saved-file slots and the base indices of every array laid
// out in the workspace live here; every routine reaches them, the workspace
// and the host through the Context it is handed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "mva/frame/host/host.h"
#include "mva/frame/views.h"

namespace mva {

// Subcommand numbers: they index SUBCMD, the saved-file slots (12..15) and the
// EM and REGRESSION halves of the dependent and independent flags.
enum Subcommand : int {
  kCategorical = 2,  // CATEGORICAL
  kMaxcat = 3,       // MAXCAT
  kId = 4,           // ID
  kTtest = 5,        // TTEST
  kCrosstab = 6,     // CROSSTAB
  kMismatch = 7,     // MISMATCH
  kDpattern = 8,     // DPATTERN
  kMpattern = 9,     // MPATTERN
  kTpattern = 10,    // TPATTERN
  kUnivariate = 11,  // univariate statistics (cleared by NOUNIVARIATE)
  kListwise = 12,    // LISTWISE
  kPairwise = 13,    // PAIRWISE
  kEm = 14,          // EM
  kRegression = 15,  // REGRESSION
};

// Saved-file kinds held in SFOPEN.
enum FileKind : std::int64_t {
  kNoFile = 0,          // no file in the slot
  kDataFile = 1,        // completed data (DATA)
  kIndicatorFile = 2,   // missingness indicators (INDICATOR)
  kImputesFile = 3,     // imputed values only (IMPUTES)
  kStatisticsFile = 4,  // a statistics matrix (STATISTICS)
};

// What REGRESSION adds to each predicted value (RADDTY, the ADDTYPE
// keyword); regression_method gives the estimate tables' method for it.
enum AddType : std::int64_t {
  kAddResidual = 1,  // RESIDUAL: a residual
  kAddNone = 2,      // NONE: nothing
  kAddNormal = 3,    // NORMAL: a normal deviate
  kAddT = 4,         // T: a Student-t deviate with RTDF degrees of freedom
};

// Status of one cell of the case matrix, as the missing-code queries classify
// it; patterns show codes 1 to 5 as the letters S, A, B, C, D.
enum class CellStatus : std::int64_t {
  Valid = 0,           // a valid value
  SystemMissing = 1,   // the system-missing value (numeric variables only)
  MissingFirst = 2,    // the first discrete user-missing value
  MissingSecond = 3,   // the second discrete user-missing value
  MissingThird = 4,    // the third discrete value, or the extra value of a range
  InMissingRange = 5,  // inside the user-missing range
};

// An output file asked for on a method subcommand, kept from the parse until
// the outfile hand-over defines it.
struct OutfileRequest {
  std::int64_t position = 0;    // stream position of the file specification; 0 = no file
  std::int64_t kind = kNoFile;  // the kind of file asked for (FileKind)
};

// The output files asked for during one parse, one request per method
// (12 LISTWISE, 13 PAIRWISE, 14 EM, 15 REGRESSION); cleared at the start of
// every parse.
struct OutfileRequests {
  std::array<OutfileRequest, 4> methods{};  // methods 12..15 in order
  // The request of method k (12..15).
  OutfileRequest& operator[](int k) { return methods.at(static_cast<std::size_t>(k - kListwise)); }
  const OutfileRequest& operator[](int k) const { return methods.at(static_cast<std::size_t>(k - kListwise)); }
};

// Arrays the estimation methods borrow. EM and regression imputation have no
// arrays of their own: they work in arrays of the moment pass, which the
// executive hands them in this order within one split group.
//
//   MOMENT      fills CASEVAL, LWMEAN, LWCOV, PWN, PWW, PWMEAN, PWVAR and
//               PWCOV; the tables of the diagnostics, LISTWISE and PAIRWISE
//               read them.
//   EM          from EMA to the end of its tables (EOUT): VMEAN holds the EM
//               means and PWCOV the EM covariances (em_means(),
//               em_covariances()); CASEVAL (previous means), EMCOV (the swept
//               covariances) and PWW (sweep status) are its work arrays; it
//               starts from LWMEAN and LWCOV. A MomentSnapshot taken before
//               EMA puts every moment array back after the tables.
//   REGRESSION  from REG to the end of its tables and statistics matrix:
//               VMEAN holds the regression means and PWCOV the regression
//               covariances (regression_means(), regression_covariances());
//               SCRROW (the case), CASEVAL (centring means), LWCOV, EMCOV,
//               PWW and PWMEAN are its work arrays. Nothing reads the moments
//               after it: it is the group's last analysis, and FMEM releases
//               the arrays.
//
// Before each method, VMEAN is set to every variable's mean over its present
// values (the diagonal of PWMEAN).

// Base indices of the workspace arrays of one split group (0 = not laid out).
// Dict. = indexed by dictionary variable 1..NVAR; col. = by case-matrix
// column 1..NV.
struct ArrayBases {
  // First plan.
  Index SCRROW = 0;   // 2*NVAR doubles: scratch row of the estimation routines
  Index LWMEAN = 0;   // dict. doubles: listwise means; reused by EM
  Index VMEAN = 0;    // dict. doubles: means shown beside patterns and estimates
  Index CASEVAL = 0;  // dict. doubles: case values in the moment pass, then standard deviations
  Index ISCAT = 0;    // dict. words: 1 = categorical
  Index CATROW = 0;   // dict. words: row of the variable in CATVAL, 0 = none yet
  Index VLIST = 0;    // NVAR words: the VARIABLES list in list order, 0 = empty entry
  Index COLOF2 = 0;   // dict. words: column after the second plan (same as COLOF)
  Index COLOF = 0;    // dict. words: > 0 selected while parsing; the column afterwards
  Index NCATS = 0;    // dict. words: number of categories collected
  Index VWIDTH = 0;   // dict. words: host type word (0 numeric, > 0 width, < 0 continuation)
  Index DEPFLG = 0;   // 2*NVAR words: dependent flags, EM half then REGRESSION half
  Index INDFLG = 0;   // 2*NVAR words: independent flags, same two halves
  Index SORTKY = 0;   // 2*NVAR words: DPATTERN sort keys
  Index DESFLG = 0;   // 3*NVAR words: DESCRIBE flags of DPATTERN, MPATTERN, TPATTERN
  // Second plan.
  Index PWMEAN = 0;  // NV x NV doubles: pairwise means
  Index PWVAR = 0;   // NV x NV doubles: pairwise variances
  Index LWCOV = 0;   // packed T(NV): listwise covariances
  Index PWCOV = 0;   // packed T(NV): pairwise covariances
  Index EMCOV = 0;   // packed T(NV): EM covariance work triangle
  Index PWW = 0;     // packed T(NV): running pairwise weight sums
  Index PWN = 0;     // packed T(NV): pairwise weight sums
  Index ANVAR = 0;   // col. words: dictionary variable of each column, ascending
  // Case store.
  Index CASES = 0;   // NV*NCASES doubles: the case matrix, case after case
  Index CATVAL = 0;  // MAXCAT*NVAR doubles: category values, 1E33 = empty slot
  Index LOCOF = 0;   // NCASES words: location of an incomplete case, 0 = complete
  Index CASEAT = 0;  // NCASES words: stored case at each location
  Index CORDER = 0;  // NCASES words: case order of the pattern displays and EM
};

// The part of the MVA common that the first plan sets back at the start of
// every split group; the member initializers are those starting values.
struct GroupState {
  std::int64_t NV = 0;       // number of case-matrix columns (counted while parsing)
  std::int64_t NANAL = 0;    // variables with a case-matrix column; NV after the second plan
  std::int64_t NCASES = 0;   // cases stored in the case matrix
  std::int64_t NCOMPL = 0;   // complete cases
  std::int64_t NINCOM = 0;   // incomplete cases, also the number of locations
  std::int64_t MAXCAT = 25;  // most categories kept per categorical variable
  std::int64_t IDVAR = 0;    // dictionary index of the ID variable, 0 = none
  Logical MOMDONE = kFalse;  // the moments of the group are computed

  std::array<Logical, 16> SUBCMD{};  // subcommand-seen flags, indexed 1..15
  Logical CMPMTH = kFalse;           // more than one estimation method requested

  Logical MMSORT = kTrue;  // MISMATCH display sorted on the patterns
  Logical MPSORT = kTrue;  // MPATTERN display sorted on the patterns
  Logical TPSORT = kTrue;  // TPATTERN display sorted on the patterns

  ArrayBases a;  // base indices of the group's workspace arrays
};

// The options of the subcommands; every parse starts from these defaults.
struct ParseOptions {
  double TTPCT = 5.0;                  // t tests: least percent missing for a variable to be tested
  std::string TTPTXT = "5.0";          // TTPCT as typed (up to 255 characters)
  Logical TTT = kTrue;                 // t tests: show t values
  Logical TTDF = kTrue;                // t tests: show degrees of freedom
  Logical TTPROB = kFalse;             // t tests: show probabilities
  Logical TTCNT = kTrue;               // t tests: show counts
  Logical TTMEAN = kTrue;              // t tests: show means
  double CTPCT = 5.0;                  // crosstabulations: least percent missing of a variable shown
  std::string CTPTXT = "5.0";          // CTPCT as typed
  double MMPCT = 5.0;                  // indicator correlations: least percent missing
  std::string MMPTXT = "5.0";          // MMPCT as typed
  double PATPCT = 1.0;                 // tabulated patterns: PERCENT threshold (the last one given)
  std::string PATTXT = "1.0";          // PATPCT as typed
  double EMTOL = 0.001;                // EM: TOLERANCE below which a variable is not swept in
  double EMCONV = 0.0001;              // EM: CONVERGENCE criterion
  std::int64_t EMITER = 25;            // EM: most ITERATIONS
  double EMPROP = 0.0;                 // EM: PROPORTION of the contaminated-normal model
  double EMLAMB = 0.0;                 // EM: LAMBDA, variance ratio of the contaminated-normal model
  double RTOL = 0.001;                 // REGRESSION: TOLERANCE below which a predictor is not entered
  double RFLIM = 4.0;                  // REGRESSION: FLIMIT, the F a predictor must reach to enter
  std::int64_t NPRED = -1;             // REGRESSION: NPREDICTORS; negative = all analysis variables
  std::int64_t RADDTY = kAddResidual;  // REGRESSION: ADDTYPE (AddType)
  OutfileRequests outfiles;            // OUTFILE requests of the current parse
};

// The MVA common: the group state, the options, and what lives across groups.
struct MvaCommon : GroupState, ParseOptions {
  std::int64_t NVAR = 0;    // number of dictionary variables
  std::int64_t MAXCAS = 0;  // capacity of the case matrix in cases, then NCASES
  Logical FIRSTG = kTrue;   // the first split group is in progress
  double SUMWT = 0.0;       // sum of the positive case weights
  Logical IQRRUL = kFalse;  // extremes by the interquartile rule (TRUE) or mean +- 2 SD

  // Saved-file slots 12..15 (index 0..3 here; reach them through SFSETS,
  // SFKIND and SFGETH). They stay from the first group to the end of the call.
  std::array<FileKind, 4> SFOPEN{};    // kind of file in each slot, kNoFile = none
  std::array<FileHandle, 4> SFHAND{};  // the host's handle of each slot's file

  double EMTDF = 0.0;  // EM: degrees of freedom of the t model, < 2 = none (set by its reader)
  double RTDF = 0.0;   // REGRESSION: degrees of freedom of the t term (set by its reader)

  // Back to the starting values of a split group (the first plan).
  void reset_group() { static_cast<GroupState&>(*this) = GroupState{}; }
  // Back to the option defaults (the start of every parse).
  void reset_options() { static_cast<ParseOptions&>(*this) = ParseOptions{}; }
};

// What every routine is handed: the host, the workspace, the MVA common and
// the token-stack handle of the command being run.
struct Context {
  Host& host;              // the host's services
  Workspace& ws;           // the workspace
  MvaCommon& cmn;          // the MVA common
  StackHandle handle = 0;  // the command's token stack, 0 until it is stacked

  RealArray reals(Index base) const { return ws.reals(base); }  // doubles based at `base`
  WordArray words(Index base) const { return ws.words(base); }  // words based at `base`

  // The case matrix CASES, NV columns per stored case.
  CaseMatrix case_matrix() const { return {reals(cmn.a.CASES), cmn.NV}; }
  // A packed triangle over the NV columns (LWCOV, PWCOV, EMCOV, PWW, PWN).
  RealTriangle triangle(Index base) const { return RealTriangle(reals(base)); }
  // A square NV x NV matrix stored by columns (PWMEAN, PWVAR).
  RealSquare square(Index base) const { return {reals(base), cmn.NV}; }
  // The results of EM and of regression imputation, in the arrays they
  // borrow (see "Arrays the estimation methods borrow" above): means by
  // dictionary index in VMEAN, covariances over the columns in PWCOV.
  RealArray em_means() const { return reals(cmn.a.VMEAN); }
  RealTriangle em_covariances() const { return triangle(cmn.a.PWCOV); }
  RealArray regression_means() const { return reals(cmn.a.VMEAN); }
  RealTriangle regression_covariances() const { return triangle(cmn.a.PWCOV); }
  // Dependent and independent flags: blocks 14 (EM) and 15 (REGRESSION).
  FlagBlocks dependent_flags() const { return {words(cmn.a.DEPFLG), cmn.NVAR, kEm, kRegression}; }
  FlagBlocks independent_flags() const { return {words(cmn.a.INDFLG), cmn.NVAR, kEm, kRegression}; }
  // DESCRIBE flags: blocks 8 (DPATTERN), 9 (MPATTERN), 10 (TPATTERN).
  FlagBlocks describe_flags() const { return {words(cmn.a.DESFLG), cmn.NVAR, kDpattern, kTpattern}; }
  // Category values CATVAL: one row of MAXCAT values per categorical variable.
  RowTable category_values() const { return {reals(cmn.a.CATVAL), cmn.MAXCAT}; }
};

// Saved-file slots by subcommand number; numbers outside 12..15 are ignored
// (SFSETS) or answer 0.
// SFSETS stores the kind code and handle of slot k; SFKIND and SFGETH read
// them back.
void SFSETS(MvaCommon& cmn, int k, std::int64_t kind, FileHandle handle);
FileKind SFKIND(const MvaCommon& cmn, int k);
FileHandle SFGETH(const MvaCommon& cmn, int k);

}  // namespace mva
