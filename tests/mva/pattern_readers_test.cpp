// The readers of DPATTERN, MPATTERN, TPATTERN (with the SORT list) and
// MISMATCH: every message with its key, parameters, class and severity, and
// the options they leave: DESCRIBE flags, sort keys, NOSORT switches and the
// PERCENT thresholds with their typed texts.
#include <sstream>

#include "reader_rows.h"

namespace mva::test {
namespace {

// Dictionary indices: age 1, income 2, region 3, educ 4, id 5.
const TestData kData{"age,income,region,educ,id\n30,10,North,12,1\n40,,South,16,2\n", {}};

Message error(const char* key, std::vector<std::string> params = {}) {
  return {key, std::move(params), 1, 3};
}

TEST(PatternReaders, Messages) {
  const char* bad = "PGET_ BAD SYNTAX AT ^1";
  expect_messages(kData, {
      {"MVA age income region /DPATTERN SORT=age(ascending), income(D) DESCRIBE=region "
       "/MPATTERN NOSORT DESCRIBE=age, educ PERCENT=3 /TPATTERN NOSORT PERCENT 0 "
       "/MISMATCH NOSORT PERCENT=0.",
       {}},
      {"MVA age income /TPATTERN PERCENT=100.", {error("PGET_ PERCENT MUST BE BETWEEN ZERO AND 100")}},
      {"MVA age income /DPATTERN PERCENT=-1.", {error("PGET_ PERCENT MUST BE BETWEEN ZERO AND 100")}},
      {"MVA age income /MPATTERN PERCENT.", {error("PGET_ PERCENT MUST BE BETWEEN ZERO AND 100")}},
      {"MVA age income /MPATTERN DESCRIBE=age zz.", {error(bad, {"zz"})}},
      {"MVA age income /DPATTERN NOSORT.", {error(bad, {"NOSORT"})}},
      {"MVA age income /MPATTERN SORT=age.", {error(bad, {"SORT"})}},
      {"MVA age income /TPATTERN (5).", {error(bad, {"("})}},
      {"MVA age income /DPATTERN PERCENT=5 7.", {error(bad, {"7"})}},
      {"MVA age income /DPATTERN SORT=zz.", {error("SRTV_ UNKNOWN VARIABLE ^1", {"zz"})}},
      {"MVA age income /DPATTERN SORT=educ.",
       {error("SRTV_ VARIABLE ^1 IS NOT IN VAR_LIST", {"educ"})}},
      {"MVA age income /DPATTERN SORT=age(Up).", {error("SRTV_ BAD SORT ORDER ^1", {"Up"})}},
      {"MVA age income /DPATTERN SORT=age(D income.",
       {error("SRTV_ MISSING CLOSE PAREN AT ^1", {"income"})}},
      {"MVA age income /DPATTERN SORT=age 5.", {error("SRTV_ BAD SORT SUBCOMMAND ^1", {"5"})}},
      {"MVA age income /MISMATCH PERCENT=100.", {error("IGET_ PERCENT MUST BE .GE.0.0 AND .LT.100")}},
      {"MVA age income /MISMATCH PERCENT=few.", {error("IGET_ PERCENT MUST BE .GE.0.0 AND .LT.100")}},
      {"MVA age income /MISMATCH = 5.", {error("IGET_ SYNTAX ERROR IN ICORR SUBCOMMAND")}},
      {"MVA age income /MISMATCH SORT.", {error("IGET_ UNRECOGNIZED PARAMETER IN ICORR SUBCOMMAND")}},
  });
}

// Words of a workspace array, elements first..last, separated by blanks.
std::string words(ParseFixture& f, Index base, std::int64_t first, std::int64_t last) {
  std::ostringstream out;
  for (std::int64_t i = first; i <= last; ++i) out << (i > first ? " " : "") << f.word(base, i);
  return out.str();
}

std::string show(ParseFixture& f, const std::string& option) {
  const MvaCommon& c = f.cmn();
  const std::int64_t n = c.NVAR;
  std::ostringstream out;
  if (option == "PATPCT") out << c.PATPCT;
  if (option == "PATTXT") out << c.PATTXT;
  if (option == "MMPCT") out << c.MMPCT;
  if (option == "MMPTXT") out << c.MMPTXT;
  if (option == "sorts") out << is_true(c.MPSORT) << is_true(c.TPSORT) << is_true(c.MMSORT);
  if (option == "SORTKY") out << words(f, c.a.SORTKY, 1, 4);
  if (option == "DESCRIBE D") out << words(f, c.a.DESFLG, 1, n);
  if (option == "DESCRIBE M") out << words(f, c.a.DESFLG, n + 1, 2 * n);
  if (option == "DESCRIBE T") out << words(f, c.a.DESFLG, 2 * n + 1, 3 * n);
  return out.str();
}

TEST(PatternReaders, OptionValues) {
  expect_options(kData, {
      {"MVA age income.", "PATPCT", "1"},
      {"MVA age income.", "PATTXT", "1.0"},
      {"MVA age income.", "MMPTXT", "5.0"},
      {"MVA age income.", "sorts", "111"},
      {"MVA age income /MPATTERN NOSORT /MISMATCH NOSORT.", "sorts", "010"},
      {"MVA age income /TPATTERN NOSORT.", "sorts", "101"},
      // One PERCENT serves the three pattern subcommands; its text as typed.
      {"MVA age income /DPATTERN PERCENT=2.50 /TPATTERN.", "PATPCT", "2.5"},
      {"MVA age income /DPATTERN PERCENT=2.50 /TPATTERN.", "PATTXT", "2.50"},
      {"MVA age income /TPATTERN PERCENT 0.", "PATTXT", "0"},
      {"MVA age income /MISMATCH PERCENT=3.", "MMPCT", "3"},
      {"MVA age income /MISMATCH PERCENT=03.0.", "MMPTXT", "03.0"},
      // A second MISMATCH starts again from the defaults, value and text.
      {"MVA age income /MISMATCH PERCENT=3 /MISMATCH.", "MMPCT", "5"},
      {"MVA age income /MISMATCH PERCENT=3 /MISMATCH.", "MMPTXT", "5.0"},
      // The list ends at a word that is a keyword; region is not listed.
      {"MVA age income educ /MPATTERN DESCRIBE=age, region income PERCENT=3.", "DESCRIBE M",
       "1 1 0 0 0"},
      {"MVA age income educ /MPATTERN DESCRIBE=age, region income PERCENT=3.", "PATPCT", "3"},
      {"MVA age income educ /MPATTERN DESCRIBE=age, region income PERCENT=3.", "DESCRIBE D",
       "0 0 0 0 0"},
      {"MVA age income educ /TPATTERN DESCRIBE=age DESCRIBE=educ.", "DESCRIBE T", "0 0 0 1 0"},
      // Keys in the order given, descending ones negated, a 0 after the last.
      {"MVA age income region /DPATTERN SORT=income(D), age DESCRIBE=region.", "SORTKY",
       "-2 1 0 0"},
      {"MVA age income region /DPATTERN SORT=income(D), age DESCRIBE=region.", "DESCRIBE D",
       "0 0 1 0 0"},
      {"MVA age income region /DPATTERN SORT=age(Ascending) region(descending).", "SORTKY",
       "1 -3 0 0"},
      // A variable named again keeps its first key.
      {"MVA age income /DPATTERN SORT=age income(D) age(D).", "SORTKY", "1 -2 0 0"},
      // A second SORT list replaces the first whole.
      {"MVA age income /DPATTERN SORT=age income DESCRIBE=age SORT=income.", "SORTKY", "2 0 0 0"},
  }, show);
}

}  // namespace
}  // namespace mva::test
