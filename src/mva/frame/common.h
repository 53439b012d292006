// The MVA common: the procedure's process-wide state. Counts, subcommand
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
  kCategorical = 2,
  kMaxcat = 3,
  kId = 4,
  kTtest = 5,
  kCrosstab = 6,
  kMismatch = 7,
  kDpattern = 8,
  kMpattern = 9,
  kTpattern = 10,
  kUnivariate = 11,
  kListwise = 12,
  kPairwise = 13,
  kEm = 14,
  kRegression = 15,
};

// Saved-file kinds held in SFOPEN.
enum FileKind : std::int64_t {
  kNoFile = 0,
  kDataFile = 1,
  kIndicatorFile = 2,
  kImputesFile = 3,
  kStatisticsFile = 4,
};

// Status of one cell of the case matrix, as the missing-code queries classify
// it; patterns show codes 1 to 5 as the letters S, A, B, C, D.
enum class CellStatus : std::int64_t {
  Valid = 0,          // a valid value
  SystemMissing = 1,  // the system-missing value (or a blank string)
  MissingFirst = 2,   // the first discrete user-missing value
  MissingSecond = 3,  // the second discrete user-missing value
  MissingThird = 4,   // the third discrete value, or the extra value of a range
  InMissingRange = 5, // inside the user-missing range
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
  const OutfileRequest& operator[](int k) const {
    return methods.at(static_cast<std::size_t>(k - kListwise));
  }
};

// Base indices of the workspace arrays of one split group (0 = not laid out).
struct ArrayBases {
  // First plan.
  Index SCRROW = 0, LWMEAN = 0, VMEAN = 0, CASEVAL = 0, ISCAT = 0, CATROW = 0,
        VLIST = 0, COLOF2 = 0, COLOF = 0, NCATS = 0, VWIDTH = 0, DEPFLG = 0,
        INDFLG = 0, SORTKY = 0, DESFLG = 0;
  // Second plan.
  Index PWMEAN = 0, PWVAR = 0, LWCOV = 0, PWCOV = 0, EMCOV = 0, PWW = 0, PWN = 0,
        ANVAR = 0;
  // Case store.
  Index CASES = 0, CATVAL = 0, LOCOF = 0, CASEAT = 0, CORDER = 0;
};

struct MvaCommon {
  // Counts.
  std::int64_t NVAR = 0;
  std::int64_t NV = 0;
  std::int64_t NANAL = 0;
  std::int64_t NCASES = 0;
  std::int64_t MAXCAS = 0;
  std::int64_t NCOMPL = 0;
  std::int64_t NINCOM = 0;
  std::int64_t MAXCAT = 25;
  std::int64_t IDVAR = 0;

  Logical FIRSTG = kTrue;
  Logical MOMDONE = kFalse;
  double SUMWT = 0.0;
  Logical IQRRUL = kFalse;

  // Cleared together by the first plan, SUBCMD through CMPMTH.
  std::array<Logical, 16> SUBCMD{};  // indexed 1..15
  Logical CMPMTH = kFalse;

  Logical MMSORT = kTrue, MPSORT = kTrue, TPSORT = kTrue;

  // Saved-file slots 12..15 (index 0..3 here; reach them through SFSETS,
  // SFKIND and SFGETH).
  std::array<std::int64_t, 4> SFOPEN{};
  std::array<FileHandle, 4> SFHAND{};
  OutfileRequests outfiles;  // OUTFILE requests of the current parse

  // Options, set to their defaults at the start of every parse.
  double TTPCT = 5.0;
  std::string TTPTXT = "5.0";
  Logical TTT = kTrue, TTDF = kTrue, TTPROB = kFalse, TTCNT = kTrue, TTMEAN = kTrue;
  double CTPCT = 5.0;
  std::string CTPTXT = "5.0";
  double MMPCT = 5.0;
  std::string MMPTXT = "5.0";
  double PATPCT = 1.0;
  std::string PATTXT = "1.0";
  double EMTOL = 0.001;
  double EMCONV = 0.0001;
  std::int64_t EMITER = 25;
  double EMPROP = 0.0;
  double EMLAMB = 0.0;
  double EMTDF = 0.0;
  double RTOL = 0.001;
  double RFLIM = 4.0;
  std::int64_t NPRED = -1;
  std::int64_t RADDTY = 1;
  double RTDF = 0.0;

  ArrayBases a;
};

// What every routine is handed: the host, the workspace, the MVA common and
// the token-stack handle of the command being run.
struct Context {
  Host& host;
  Workspace& ws;
  MvaCommon& cmn;
  StackHandle handle = 0;

  RealArray reals(Index base) const { return ws.reals(base); }
  WordArray words(Index base) const { return ws.words(base); }

  // The case matrix CASES, NV columns per stored case.
  CaseMatrix case_matrix() const { return {reals(cmn.a.CASES), cmn.NV}; }
  // A packed triangle over the NV columns (LWCOV, PWCOV, EMCOV, PWW, PWN).
  RealTriangle triangle(Index base) const { return RealTriangle(reals(base)); }
  // A square NV x NV matrix stored by columns (PWMEAN, PWVAR).
  RealSquare square(Index base) const { return {reals(base), cmn.NV}; }
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
void SFSETS(MvaCommon& cmn, int k, std::int64_t kind, FileHandle handle);
std::int64_t SFKIND(const MvaCommon& cmn, int k);
FileHandle SFGETH(const MvaCommon& cmn, int k);

}  // namespace mva
