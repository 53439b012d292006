// The numbers of the procedure's pivot tables. The host knows a table by its
// number: the executive announces 3 to 28 in the first split group, and every
// BP_ call on a table names it. Numbers not listed here (2, 15, 17, 19) are
// never used.
#pragma once

#include <array>

namespace mva {

inline constexpr int kFilesSavedTable = 1;  // the host's own table; the procedure adds its Files Saved group
inline constexpr int kUnivariateTable = 3;  // univariate statistics

// Listwise statistics.
inline constexpr int kListwiseMeansTable = 4;
inline constexpr int kListwiseCovariancesTable = 5;
inline constexpr int kListwiseCorrelationsTable = 6;

// Pairwise statistics.
inline constexpr int kPairwiseFrequencyTable = 7;
inline constexpr int kPairwiseMeansTable = 8;
inline constexpr int kPairwiseStdDevsTable = 9;
inline constexpr int kPairwiseCovariancesTable = 10;
inline constexpr int kPairwiseCorrelationsTable = 11;

inline constexpr int kTtestTable = 12;      // separate-variance t tests
inline constexpr int kIndicatorTable = 13;  // missing-indicator correlations (MISMATCH)
inline constexpr int kDpatternTable = 14;   // data patterns
inline constexpr int kMpatternTable = 16;   // missing patterns
inline constexpr int kTpatternTable = 18;   // tabulated patterns

// The estimate tables of a method: means, covariances, correlations.
inline constexpr std::array<int, 3> kEmTables = {20, 21, 22};
inline constexpr std::array<int, 3> kRegressionTables = {23, 24, 25};

inline constexpr int kMapTable = 26;             // the map of user-missing codes
inline constexpr int kCompareMeansTable = 27;    // means by method
inline constexpr int kCompareStdDevsTable = 28;  // standard deviations by method

// The crosstabulation of categorical variable v is table kCrosstabBase + v.
inline constexpr int kCrosstabBase = 28;

// Table numbers announced in every first group.
inline constexpr int kFirstAnnounced = 3;
inline constexpr int kLastAnnounced = 28;

}  // namespace mva
