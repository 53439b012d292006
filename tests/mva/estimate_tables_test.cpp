// The EM and regression estimate tables, given estimates by hand: only the
// method's dependent variables, in VARIABLES-list order; covariances and
// correlations as lower triangles; the heading's notes of each method in
// their plain and split-group forms; the method's comparison column.
#include <gtest/gtest.h>

#include <cmath>

#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/estimate_tables.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Variables b, a, c listed in that order; a and c are the dependents of both
// methods. With `split`, the first group of g is current.
struct Estimates {
  ParseFixture fx;
  std::vector<double> means = {10.0, 20.0, 30.0, 0.0};  // by dictionary index (a, b, c)
  // Packed over columns a, b, c: var a 4, cov(b,a) 1, var b 9, cov(c,a) -2,
  // cov(c,b) 3, var c 16.
  std::vector<double> cov = {4.0, 1.0, 9.0, -2.0, 3.0, 16.0};
  std::vector<std::int64_t> vcols;

  Estimates(const std::string& command, bool split) : fx(data(split)) {
    EXPECT_TRUE(fx.parse(command));
    fx.cmn().CMPMTH = kFalse;  // no comparison tables open
    if (split) fx.host().OBINIT(fx.cx().ws), fx.host().OBPINI(fx.cx().ws), fx.host().OBSERV(fx.cx().ws);
    for (const char* name : {"b", "a", "c"}) vcols.push_back(ICOL2(fx.cx(), fx.host().DICSCH(name)));
  }
  static TestData data(bool split) {
    TestData d{"a,b,c,g\n1,2,3,1\n2,,5,1\n4,1,,2\n3,3,3,2\n", {}};
    if (split) d.options.split = {"g"};
    return d;
  }
  void eout(EstimateMethod method, const EmResult& em) {
    EOUT(fx.cx(), WordArray(vcols), 3, RealArray(means), RealTriangle(RealArray(cov)), method, 5.0, em,
         method == EstimateMethod::Em ? kEmTables : kRegressionTables);
  }
  const host::OutputDocument& doc() { return fx.host().output(); }
};

// Tables 20 to 22 over a and c in list order (not the dependent-list order
// c, a), lower triangles; with the comparison tables open the EM column gets
// the means and the standard deviations (0 for a variance that is not
// positive, whose correlations are system-missing).
TEST(EstimateTables, DependentsInListOrderAsTriangles) {
  Estimates e("MVA b a c /EM c a WITH a b c /REGRESSION c a WITH a b c.", false);
  e.fx.cmn().CMPMTH = kTrue;
  e.cov[5] = -16.0;  // var c not positive
  CMPB(e.fx.cx(), false, true, true);
  e.eout(EstimateMethod::Em, EmResult{true, 4, 3.0, 7.5});
  std::map<int, std::map<std::string, Text>> t;
  for (int n : {20, 21, 22, kCompareMeansTable, kCompareStdDevsTable}) t[n] = cells_of(table_numbered(e.doc(), n));
  EXPECT_EQ(t[20].size() + t[21].size() + t[22].size(), 8u);
  EXPECT_EQ(t[kCompareMeansTable].count("b|EOUT_ EM"), 0u);
  const struct {
    int table;
    const char* key;
    double want;
  } cells[] = {
      {20, "a", 10.0},
      {20, "c", 30.0},
      {21, "a|a", 4.0},
      {21, "c|a", -2.0},  // row c, column a
      {21, "c|c", -16.0},
      {22, "a|a", 1.0},
      {22, "c|a", e.fx.host().CORREL(4.0, -16.0, -2.0)},
      {22, "c|c", e.fx.host().PCINMS()},
      {kCompareMeansTable, "a|EOUT_ EM", 10.0},
      {kCompareStdDevsTable, "a|EOUT_ EM", 2.0},
      {kCompareStdDevsTable, "c|EOUT_ EM", 0.0},
  };
  for (const auto& c : cells) EXPECT_EQ(t[c.table].at(c.key).number, c.want) << c.table << " " << c.key;
  EXPECT_TRUE(t[22].at("a|a").is_integer);
  EXPECT_EQ(table_numbered(e.doc(), 20).title.key, "EOUT_ EM MEANS");
  const host::PivotTable& ct = table_numbered(e.doc(), 21);
  EXPECT_EQ(ct.title.key, "EOUT_ EM COVARIANCES");
  EXPECT_EQ(name_of(ct.dimensions[0].categories[static_cast<std::size_t>(ct.dimensions[0].top[0])]), "a");
}

// The heading and its notes for each method code, plain and for a split
// group (whose first parameter is the group).
TEST(EstimateTables, HeadingNotes) {
  Estimates plain("MVA b a c /EM.", false), split("MVA b a c /EM.", true);
  ASSERT_GE(split.fx.host().split_count(), 1);
  const double p3 = plain.fx.host().SIGCHI(7.5, 3.0), sysmis = plain.fx.host().PCINMS();
  const std::string em = "EOUT_ EM ESTIMATED STATISTICS", reg = "EOUT_ REGRESSION ESTIMATED STATISTICS",
                    group = "EOUT_ FOR [:^1=^2, :$2=$1]1, ";
  // first_params: the numbers of the first plain note.
  const struct {
    bool split;
    EstimateMethod method;
    EmResult em;
    std::string heading;
    std::vector<std::string> keys;
    std::vector<double> first_params;
  } rows[] = {
      {false, EstimateMethod::Em, {true, 4, 3.0, 7.5}, em, {"EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3"}, {7.5, 3.0, p3}},
      {false,
       EstimateMethod::Em,
       {false, 2, 0.0, 0.0},
       em,
       {"EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3", "EOUT_ DID NOT CONVERGE ^1"},
       {0.0, 0.0, sysmis}},
      {false, EstimateMethod::RegressionResidual, {}, reg, {"EOUT_ RESIDUAL ADDED"}, {}},
      {false, EstimateMethod::RegressionNormal, {}, reg, {"EOUT_ NORMAL ADDED"}, {}},
      {false, EstimateMethod::RegressionT, {}, reg, {"EOUT_ T(^1) ADDED"}, {5.0}},
      {false, EstimateMethod::RegressionNone, {}, reg, {}, {}},
      {true,
       EstimateMethod::Em,
       {false, 3, 1.0, 2.0},
       em,
       {group + "MCAR CHISQ=^2, DF=^3 PROB=^4", group + "DID NOT CONVERGE ^2"},
       {}},
      {true, EstimateMethod::RegressionResidual, {}, reg, {group + "RESIDUAL ADDED"}, {}},
      {true, EstimateMethod::RegressionNormal, {}, reg, {group + "NORMAL ADDED"}, {}},
      {true, EstimateMethod::RegressionT, {}, reg, {group + "T(^2) ADDED"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(row.method) << (row.split ? " split" : ""));
    Estimates& e = row.split ? split : plain;
    e.eout(row.method, row.em);
    const auto& heading = std::get<host::HeadingItem>(e.doc().items().back().content);
    EXPECT_EQ(heading.text.key, row.heading);
    std::vector<std::string> keys;
    for (const auto& item : heading.items) {
      const auto* note = std::get_if<host::NoteItem>(&item.content);
      if (!note) continue;
      keys.push_back(note->text.key);
      if (row.split) {
        EXPECT_EQ(note->text.params.at(0).kind, Text::Kind::RepeatList);
      }
      if (keys.size() == 2) {
        EXPECT_EQ(note->text.params.back().number, row.em.iterations);
      }
      std::vector<double> numbers;
      for (const Text& param : note->text.params) numbers.push_back(param.number);
      if (keys.size() == 1 && !row.split) {
        EXPECT_EQ(numbers, row.first_params);
      }
    }
    EXPECT_EQ(keys, row.keys);
  }
}

}  // namespace
}  // namespace mva::test
