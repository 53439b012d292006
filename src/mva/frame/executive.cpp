// The executive of one split group. It runs after the data pass: it lays out
// the scratch arrays the analyses share, announces the table numbers in the
// first group, computes the moments and the extremes, and then calls the
// requested analyses in a fixed order, whatever the order of the subcommands:
// univariate statistics (with the comparison tables opened), t tests,
// crosstabulations, indicator correlations, the map, the three pattern
// tables, listwise and pairwise statistics, EM, regression imputation.
#include "mva/frame/executive.h"

#include <array>
#include <optional>

#include "mva/diagnostics/crosstabs.h"
#include "mva/diagnostics/extremes.h"
#include "mva/diagnostics/indicator_correlations.h"
#include "mva/diagnostics/missing_value_map.h"
#include "mva/diagnostics/pattern_tables.h"
#include "mva/diagnostics/t_tests.h"
#include "mva/diagnostics/univariate_table.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/em_algorithm.h"
#include "mva/estimation/estimate_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "mva/estimation/moments.h"
#include "mva/estimation/regression_imputation.h"
#include "mva/frame/executive_notes.h"
#include "mva/frame/queries.h"
#include "mva/frame/table_numbers.h"
#include "mva/save/statistics_matrix.h"

namespace mva {

namespace {

// One run of the executive over the current split group.
class Executive {
 public:
  explicit Executive(Context& cx) : cx_(cx), host_(cx.host), c_(cx.cmn) {}

  // The steps in their fixed order.
  void run() {
    if (!lay_out()) {
      host_.BP_ERROR(host_.BP_CSTRING("EXEC_ INSUFFICIENT MEMORY"), MessageClass::Runtime, Severity::Error);
      release();
      return;
    }
    list_columns();
    if (is_true(c_.FIRSTG)) {
      announce_tables();
      category_prefix_notes(cx_);
    }
    // EM's set-up needs only the stored cases: it is done beside the pass.
    if (em_runs()) em_groundwork_.emplace(cx_);
    MOMENT(cx_, words(s_.CASEMISS), sums_, em_groundwork_ ? BesideWork([this] { em_groundwork_->ahead(); }) : nullptr);
    if (wanted(kDpattern) || wanted(kUnivariate) || wanted(kMpattern)) {
      EXTR(cx_, words(s_.VCOLS), c_.NANAL, cx_.square(c_.a.PWMEAN), cx_.square(c_.a.PWVAR), extremes());
    }
    univariate_and_comparison();
    if (wanted(kTtest)) t_tests();
    if (wanted(kCrosstab)) crosstabs();
    if (wanted(kMismatch)) IOUT(cx_, words(s_.VCOLS), c_.NANAL, words(s_.PATWRK), kIndicatorTable);
    if (wanted(kMpattern) || wanted(kDpattern)) MMAP(cx_, kMapTable);
    if (wanted(kDpattern)) pattern_table(kDpattern, kDpatternTable);
    if (wanted(kMpattern)) missing_value_table(kMpattern, kMpatternTable, DataNote::NoMpatt);
    if (wanted(kTpattern)) missing_value_table(kTpattern, kTpatternTable, DataNote::NoTpatt);
    if (wanted(kListwise)) listwise();
    if (wanted(kPairwise)) pairwise();
    const bool em_failed = wanted(kEm) && !em();
    if (!em_failed) {
      if (wanted(kRegression)) regression();
      if (is_true(c_.CMPMTH)) {
        host_.BP_END_PIVOT_TABLE(kCompareMeansTable);
        host_.BP_END_PIVOT_TABLE(kCompareStdDevsTable);
      }
    }
    release();
  }

 private:
  // One scratch array: where its base index goes, and its cell count.
  struct Layout {
    Index* base;         // the base index in ScratchBases
    std::int64_t cells;  // cells laid out
  };

  // The scratch arrays in the order they are laid out.
  std::array<Layout, 10> layout() {
    const std::int64_t n = c_.NVAR, p = c_.NANAL;
    return {{{&s_.VCOLS, p},
             {&s_.EXHIGH, n},
             {&s_.EXLOW, n},
             {&s_.CASEMISS, n},
             {&s_.EXULIM, n},
             {&s_.EXLLIM, n},
             {&s_.CASREC, n},
             {&s_.PATWRK, n},
             {&s_.EMWRK1, p},
             {&s_.EMWRK2, p}}};
  }

  // Lays out every scratch array; false at the first request that fails.
  bool lay_out() {
    for (const Layout& array : layout()) {
      if (host_.QNOMEM(cx_.ws, *array.base, 8, array.cells)) return false;
    }
    return true;
  }

  // Hands back every scratch array that was laid out.
  void release() {
    const std::int64_t n = c_.NVAR, p = c_.NANAL;
    const Layout order[] = {{&s_.VCOLS, p},    {&s_.EXHIGH, n}, {&s_.EXLOW, n},  {&s_.EXULIM, n}, {&s_.EXLLIM, n},
                            {&s_.CASEMISS, n}, {&s_.CASREC, n}, {&s_.PATWRK, n}, {&s_.EMWRK1, p}, {&s_.EMWRK2, p}};
    for (const Layout& array : order) {
      if (*array.base > 0) host_.FREMEM(cx_.ws, *array.base, array.cells);
      *array.base = 0;
    }
  }

  // Typed views of a workspace array.
  WordArray words(Index base) const { return cx_.words(base); }
  RealArray reals(Index base) const { return cx_.reals(base); }
  // True when the subcommand was given (univariate statistics: not refused).
  bool wanted(int subcommand) const { return is_true(c_.SUBCMD[static_cast<std::size_t>(subcommand)]); }

  // The extreme limits and counts, as EXTR fills them.
  ExtremeArrays extremes() const { return {words(s_.EXLOW), words(s_.EXHIGH), reals(s_.EXLLIM), reals(s_.EXULIM)}; }

  // VCOLS: the columns of the VARIABLES-list variables, in list order.
  void list_columns() {
    host_.IZERO(cx_.ws, s_.VCOLS, c_.NANAL);
    host_.LRZERO(cx_.ws, s_.EMWRK1, c_.NANAL);
    host_.LRZERO(cx_.ws, s_.EMWRK2, c_.NANAL);
    const WordArray vlist = words(c_.a.VLIST), vcols = words(s_.VCOLS), patwrk = words(s_.PATWRK);
    std::int64_t count = 0;
    for (std::int64_t i = 1; i <= c_.NVAR; ++i) {
      patwrk(i) = 0;
      const std::int64_t v = vlist(i);
      const std::int64_t column = v > 0 ? ICOL2(cx_, v) : 0;
      if (column > 0 && count < c_.NANAL) vcols(++count) = column;
    }
  }

  // Tables 3 to 28, then one crosstabulation per categorical variable when
  // CROSSTAB is requested.
  void announce_tables() {
    for (int number = kFirstAnnounced; number <= kLastAnnounced; ++number) {
      host_.BP_TABLE_ID(number);
    }
    if (wanted(kCrosstab) && NCATV(cx_) >= 1) {
      for (std::int64_t v = 1; v <= c_.NVAR; ++v) {
        if (ISCATV(cx_, v)) host_.BP_TABLE_ID(kCrosstabBase + static_cast<int>(v));
      }
    }
    host_.BP_END_TABLE_IDS();
  }

  // The univariate table is begun before the comparison tables and filled
  // after them, so that its means can also go to their "all values" column.
  void univariate_and_comparison() {
    if (wanted(kUnivariate)) {
      const Text title = host_.BP_CSTRING("EXEC_ UNIVARIATE STATISTICS");
      host_.BP_BEGIN_PIVOT_TABLE(kUnivariateTable, title, host_.BP_CSTRING("EXEC_ UNIVARIATE STATISTICS"));
    }
    if (is_true(c_.CMPMTH)) {
      const bool incomplete = c_.NINCOM >= 1;
      CMPB(cx_, c_.NCOMPL >= 1 && wanted(kListwise), incomplete && wanted(kEm), incomplete && wanted(kRegression));
    }
    if (wanted(kUnivariate)) {
      UnivariateInputs in;
      in.VCOLS = words(s_.VCOLS);
      in.length = c_.NANAL;
      in.EXLOW = words(s_.EXLOW);
      in.EXHIGH = words(s_.EXHIGH);
      in.PWN = cx_.triangle(c_.a.PWN);
      in.PWMEAN = cx_.square(c_.a.PWMEAN);
      in.PWVAR = cx_.square(c_.a.PWVAR);
      in.SUMWT = c_.SUMWT;
      in.CMPMTH = is_true(c_.CMPMTH);
      in.IQRRUL = is_true(c_.IQRRUL);
      UOUT(cx_, in);
      host_.BP_END_PIVOT_TABLE(kUnivariateTable);
    }
  }

  // t tests: they need an incomplete case and a quantitative variable.
  void t_tests() {
    if (c_.NINCOM < 1) {
      data_note(cx_, DataNote::NoTStat);
    } else if (NQUANT(cx_) >= 1) {
      TOUT(cx_, words(s_.VCOLS), c_.NANAL, kTtestTable);
    } else {
      command_note(cx_, "EXEC_ NO QUANTITATIVE => NO T-STAT");
    }
  }

  // Crosstabulations: they need a categorical variable.
  void crosstabs() {
    if (NCATV(cx_) >= 1) {
      TAB(cx_, words(s_.VCOLS), c_.NANAL);
    } else {
      command_note(cx_, "EXEC_ NO CATEGORICAL => NO TABULATE");
    }
  }

  // A pattern table, after which the moments are asked for again (they are
  // recomputed only if something cleared them).
  void pattern_table(int subcommand, int table) {
    POUT(cx_, words(s_.PATWRK), reals(s_.EXLLIM), reals(s_.EXULIM), subcommand, table);
    MOMENT(cx_, words(s_.CASEMISS), sums_);
  }

  // A pattern table of the incomplete cases: a note when there are none.
  void missing_value_table(int subcommand, int table, DataNote note) {
    if (c_.NINCOM < 1) {
      data_note(cx_, note);
    } else {
      pattern_table(subcommand, table);
    }
  }

  // Listwise tables: they need a quantitative variable and a complete case.
  void listwise() {
    if (NQUANT(cx_) < 1) {
      command_note(cx_, "EXEC_ NO QUANTITATIVE => NO LISTWISE");
    } else if (c_.NCOMPL < 1) {
      data_note(cx_, DataNote::NoListwise);
    } else {
      LOUT(cx_, words(s_.VCOLS), c_.NANAL, sums_, is_true(c_.CMPMTH));
    }
  }

  // The pairwise means go to the comparison tables only when the univariate
  // table has not put its "all values" there already.
  void pairwise() {
    if (NQUANT(cx_) >= 1) {
      MOUT(cx_, words(s_.VCOLS), c_.NANAL, !wanted(kUnivariate) && is_true(c_.CMPMTH));
    } else {
      command_note(cx_, "EXEC_ NO QUANTITATIVE => NO PAIRWISE");
    }
  }

  // Each variable's mean over all its present values (the diagonal of
  // PWMEAN) in VMEAN, the starting means of EM and the centring means of
  // regression.
  void present_value_means() {
    const RealArray vmean = reals(c_.a.VMEAN);
    const RealSquare pwmean = cx_.square(c_.a.PWMEAN);
    for (std::int64_t k = 1; k <= c_.NANAL; ++k) vmean(IANVAR(cx_, k)) = pwmean(k, k);
  }

  // Whether EM itself runs (see em()).
  bool em_runs() const { return wanted(kEm) && c_.NINCOM >= 1 && NQUANT(cx_) >= 1; }

  // EM and its tables; false when EM reported an error, which ends the
  // group's analyses.
  bool em() {
    if (c_.NINCOM < 1) {
      data_note(cx_, DataNote::NoEmEst);
      if (SFKIND(c_, kEm) != kNoFile) em_outfile_note(cx_);
      return true;
    }
    if (NQUANT(cx_) < 1) {
      command_note(cx_, "EXEC_ NO QUANTITATIVE => NO EMA");
      return true;
    }
    no_value_warnings(cx_, kEm);
    present_value_means();
    // EM works in the moment arrays; the moments it found there come back
    // from a copy rather than from another pass over the same cases.
    const MomentSnapshot moments(cx_, words(s_.CASEMISS));
    EmResult result;
    EMA(cx_, sums_, reals(s_.EMWRK1), reals(s_.EMWRK2), reals(s_.CASREC), result,
        em_groundwork_ ? &*em_groundwork_ : nullptr);
    if (host_.error_flag()) return false;
    EOUT(cx_, words(s_.VCOLS), c_.NANAL, cx_.em_means(), cx_.em_covariances(), EstimateMethod::Em, c_.EMTDF, result,
         kEmTables);
    moments.restore(cx_, words(s_.CASEMISS));
    MOMENT(cx_, words(s_.CASEMISS), sums_);
    return true;
  }

  // Regression imputation, its tables and its statistics matrix file.
  void regression() {
    if (c_.NINCOM < 1) {
      data_note(cx_, DataNote::NoRegr);
      if (SFKIND(c_, kRegression) != kNoFile) regression_outfile_note(cx_);
      return;
    }
    if (NQUANT(cx_) < 1) {
      command_note(cx_, "EXEC_ NO QUANTITATIVE => NO REG");
      return;
    }
    no_value_warnings(cx_, kRegression);
    present_value_means();
    REG(cx_, sums_, reals(s_.EMWRK1), reals(s_.EMWRK2), reals(s_.CASREC), words(s_.CASEMISS));
    EOUT(cx_, words(s_.VCOLS), c_.NANAL, cx_.regression_means(), cx_.regression_covariances(),
         regression_method(c_.RADDTY), c_.RTDF, EmResult{}, kRegressionTables);
    if (SFKIND(c_, kRegression) == kStatisticsFile) {
      SAVMAT(cx_, kRegression, cx_.regression_means(), cx_.regression_covariances(), reals(s_.CASREC));
    }
  }

  Context& cx_;
  Host& host_;
  MvaCommon& c_;
  ScratchBases s_;                             // the scratch arrays of this run
  ListwiseSums sums_;                          // the listwise sums of the latest moments
  std::optional<EmGroundwork> em_groundwork_;  // EM's set-up, made beside the first moment pass
};

}  // namespace

void EXEC(Context& cx) { Executive(cx).run(); }

}  // namespace mva
