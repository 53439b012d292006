// The EM and regression estimate tables, given estimates by hand: only the
// method's dependent variables, in VARIABLES-list order; covariances and
// correlations as lower triangles; the heading's notes of each method in
// their plain and split-group forms; the method's comparison column.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "host/output/output_document.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/estimate_tables.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using host::HeadingItem;
using host::NoteItem;
using host::OutputDocument;
using host::PivotTable;

// The notes under the last heading of the document.
std::vector<Text> heading_notes(const OutputDocument& doc, std::string* heading_key) {
  const auto& heading = std::get<HeadingItem>(doc.items().back().content);
  *heading_key = heading.text.key;
  std::vector<Text> notes;
  for (const auto& item : heading.items) {
    if (const auto* note = std::get_if<NoteItem>(&item.content)) notes.push_back(note->text);
  }
  return notes;
}

// Variables b, a, c listed in that order; a and c are the dependents of both
// methods. Estimates by dictionary index (a, b, c) and column.
struct EstimateTables : ::testing::Test {
  ParseFixture fx{{"a,b,c,g\n1,2,3,1\n2,,5,1\n4,1,,2\n3,3,3,2\n", {}}};
  std::vector<double> means = {10.0, 20.0, 30.0, 0.0};
  // Packed over columns a, b, c: var a 4, cov(b,a) 1, var b 9, cov(c,a) -2,
  // cov(c,b) 3, var c 16.
  std::vector<double> cov = {4.0, 1.0, 9.0, -2.0, 3.0, 16.0};
  std::vector<std::int64_t> vcols;

  void parse(const std::string& command) {
    ASSERT_TRUE(fx.parse(command));
    fx.cmn().CMPMTH = kFalse;  // no comparison tables open
    for (const char* name : {"b", "a", "c"}) vcols.push_back(ICOL2(fx.cx(), fx.host().DICSCH(name)));
  }
  void eout(int method, const EmResult& em, std::array<int, 3> tables) {
    EOUT(fx.cx(), WordArray(vcols.data()), 3, RealArray(means.data()), RealTriangle(RealArray(cov.data())),
         method, 5.0, em, tables);
  }
  const OutputDocument& doc() { return fx.host().output(); }
};

// With the comparison tables open the EM column gets the means and the
// standard deviations (0 for a variance that is not positive).
TEST_F(EstimateTables, DependentsInListOrderAsTriangles) {
  parse("MVA b a c /EM c a WITH a b c /REGRESSION c a WITH a b c.");
  fx.cmn().CMPMTH = kTrue;
  cov[5] = -16.0;  // var c not positive
  CMPB(fx.cx(), false, true, true);
  eout(kEmMethod, EmResult{true, 4, 3.0, 7.5}, {20, 21, 22});
  const auto means27 = cells_of(table_numbered(doc(), kCompareMeansTable));
  const auto sds28 = cells_of(table_numbered(doc(), kCompareStdDevsTable));
  EXPECT_EQ(means27.at("a|EOUT_ EM").number, 10.0);
  EXPECT_EQ(means27.count("b|EOUT_ EM"), 0u);
  EXPECT_EQ(sds28.at("a|EOUT_ EM").number, 2.0);
  EXPECT_EQ(sds28.at("c|EOUT_ EM").number, 0.0);

  const auto m = cells_of(table_numbered(doc(), 20));
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m.at("a").number, 10.0);
  EXPECT_EQ(m.at("c").number, 30.0);
  EXPECT_EQ(m.at("a").format.kind, FormatKind::Mean);
  EXPECT_EQ(table_numbered(doc(), 20).title.key, "EOUT_ EM MEANS");

  const PivotTable& ct = table_numbered(doc(), 21);
  EXPECT_EQ(ct.title.key, "EOUT_ EM COVARIANCES");
  const auto c = cells_of(ct);
  EXPECT_EQ(c.size(), 3u);
  EXPECT_EQ(c.at("a|a").number, 4.0);
  EXPECT_EQ(c.at("c|a").number, -2.0);  // row c (after a in the list), column a
  EXPECT_EQ(c.at("c|c").number, -16.0);
  // Rows and columns in list order a, c (not the dependent-list order c, a).
  EXPECT_EQ(name_of(ct.dimensions[0].categories[static_cast<std::size_t>(ct.dimensions[0].top[0])]), "a");

  const auto r = cells_of(table_numbered(doc(), 22));
  EXPECT_EQ(r.size(), 3u);
  EXPECT_EQ(r.at("c|a").number, fx.host().CORREL(4.0, -16.0, -2.0));
  EXPECT_EQ(r.at("a|a").number, 1.0);
  EXPECT_TRUE(r.at("a|a").is_integer);
  EXPECT_EQ(r.at("c|c").number, fx.host().PCINMS());
}

// The heading and its notes: key and parameters for each method code, plain
// and for a split group.
TEST_F(EstimateTables, HeadingNotes) {
  parse("MVA b a c /EM.");
  const double chisq = 7.5;
  const double p3 = fx.host().SIGCHI(chisq, 3.0);
  const double sysmis = fx.host().PCINMS();
  struct Row {
    int method;
    EmResult em;
    std::string heading;
    std::vector<std::string> keys;
    std::vector<double> first_params;  // the numbers of the first note
  };
  const Row rows[] = {
      {kEmMethod, {true, 4, 3.0, chisq}, "EOUT_ EM ESTIMATED STATISTICS",
       {"EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3"}, {chisq, 3.0, p3}},
      {kEmMethod, {false, 2, 0.0, 0.0}, "EOUT_ EM ESTIMATED STATISTICS",
       {"EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3", "EOUT_ DID NOT CONVERGE ^1"}, {0.0, 0.0, sysmis}},
      {-1, {}, "EOUT_ REGRESSION ESTIMATED STATISTICS", {"EOUT_ RESIDUAL ADDED"}, {}},
      {1, {}, "EOUT_ REGRESSION ESTIMATED STATISTICS", {"EOUT_ NORMAL ADDED"}, {}},
      {2, {}, "EOUT_ REGRESSION ESTIMATED STATISTICS", {"EOUT_ T(^1) ADDED"}, {5.0}},
      {0, {}, "EOUT_ REGRESSION ESTIMATED STATISTICS", {}, {}},
  };
  for (const Row& row : rows) {
    eout(row.method, row.em, {20, 21, 22});
    std::string heading;
    const std::vector<Text> notes = heading_notes(doc(), &heading);
    EXPECT_EQ(heading, row.heading);
    ASSERT_EQ(notes.size(), row.keys.size()) << row.heading << row.method;
    for (std::size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i].key, row.keys[i]);
    if (notes.empty()) continue;
    ASSERT_EQ(notes[0].params.size(), row.first_params.size()) << notes[0].key;
    for (std::size_t i = 0; i < row.first_params.size(); ++i) {
      EXPECT_EQ(notes[0].params[i].number, row.first_params[i]) << notes[0].key << " ^" << i + 1;
    }
    if (notes.size() == 2) {
      EXPECT_EQ(notes[1].params.at(0).number, 2.0);
    }
  }
}

TEST(EstimateTablesSplit, NotesNameTheSplitGroup) {
  TestData data{"a,b,g\n1,2,1\n2,,1\n", {}};
  data.options.split = {"g"};
  ParseFixture fx(data);
  ASSERT_TRUE(fx.parse("MVA a b /EM."));
  fx.cmn().CMPMTH = kFalse;
  fx.host().OBINIT(fx.cx().ws);
  fx.host().OBPINI(fx.cx().ws);
  fx.host().OBSERV(fx.cx().ws);
  ASSERT_GE(fx.host().split_count(), 1);
  std::vector<double> means = {1.0, 2.0, 0.0};
  std::vector<double> cov = {1.0, 0.5, 1.0};
  std::vector<std::int64_t> vcols = {1, 2};
  const struct {
    int method;
    std::vector<std::string> keys;
  } rows[] = {
      {kEmMethod,
       {"EOUT_ FOR [:^1=^2, :$2=$1]1, MCAR CHISQ=^2, DF=^3 PROB=^4",
        "EOUT_ FOR [:^1=^2, :$2=$1]1, DID NOT CONVERGE ^2"}},
      {-1, {"EOUT_ FOR [:^1=^2, :$2=$1]1, RESIDUAL ADDED"}},
      {1, {"EOUT_ FOR [:^1=^2, :$2=$1]1, NORMAL ADDED"}},
      {2, {"EOUT_ FOR [:^1=^2, :$2=$1]1, T(^2) ADDED"}},
  };
  for (const auto& row : rows) {
    EOUT(fx.cx(), WordArray(vcols.data()), 2, RealArray(means.data()),
         RealTriangle(RealArray(cov.data())), row.method, 4.0, EmResult{false, 3, 1.0, 2.0},
         row.method == kEmMethod ? std::array<int, 3>{20, 21, 22} : std::array<int, 3>{23, 24, 25});
    std::string heading;
    const std::vector<Text> notes = heading_notes(fx.host().output(), &heading);
    ASSERT_EQ(notes.size(), row.keys.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
      EXPECT_EQ(notes[i].key, row.keys[i]);
      EXPECT_EQ(notes[i].params.at(0).kind, Text::Kind::RepeatList) << row.keys[i];
    }
  }
}

}  // namespace
}  // namespace mva::test
