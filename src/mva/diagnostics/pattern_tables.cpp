// The pattern tables of DPATTERN, MPATTERN and TPATTERN: the working lists,
// the size guard that refuses a table with more cells than the host allows
// (before any of it is produced), and the work arrays reserved in the
// workspace for the table and released when it is done.
#include "mva/diagnostics/pattern_tables.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <limits>
#include <optional>
#include <string_view>

#include "mva/diagnostics/pattern_table_parts.h"
#include "mva/frame/executive_notes.h"

namespace mva {

namespace {

// The size messages of each subcommand: plain, and naming the split group.
struct SizeKeys {
  std::string_view plain;
  std::string_view split;
};

SizeKeys size_keys(int subcommand) {
  switch (subcommand) {
    case kDpattern: return {"NO DPATTERN ^1 ^2 ...", "NO DPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ..."};
    case kMpattern: return {"NO MPATTERN ^1 ^2 ...", "NO MPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ..."};
    default: return {"NO TPATTERN ^1 ^2 ...", "NO TPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ..."};
  }
}

// The warning that the table would have `cells` cells, over the host's limit.
void refuse(Context& cx, int subcommand, double cells, std::int64_t limit) {
  Host& host = cx.host;
  const SizeKeys keys = size_keys(subcommand);
  const Text count = host.BP_LRVALUE(cells, host.BP_N_FORMAT());
  const Text most = host.BP_IVALUE(limit, host.BP_N_FORMAT());
  Text text;
  if (host.split_count() > 0) {
    text = split_text(cx, keys.split, {count, most});
  } else {
    host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(keys.plain));
    host.BP_ADD_PARAMETER(count);
    host.BP_ADD_PARAMETER(most);
    text = host.BP_END_COMPSTRING();
  }
  host.BP_ERROR(text, MessageClass::Runtime, Severity::Warning);
}

// The work arrays of one table, handed back when it goes out of scope.
class WorkArrays {
 public:
  explicit WorkArrays(Context& cx) : cx_(cx) {}
  WorkArrays(const WorkArrays&) = delete;
  WorkArrays& operator=(const WorkArrays&) = delete;
  ~WorkArrays() {
    for (std::size_t i = used_; i-- > 0;) cx_.host.FREMEM(cx_.ws, held_[i].base, held_[i].cells);
  }
  // Reserves `cells` cells; false when the workspace cannot hold them (or
  // the count cannot be represented), after the host's memory message.
  bool reserve(Index& base, std::optional<std::int64_t> cells) {
    const std::int64_t wanted = cells.value_or(std::numeric_limits<std::int64_t>::max());
    if (cx_.host.QNOMEM(cx_.ws, base, 8, wanted, OnShortage::Report)) return false;
    assert(cells.has_value());
    held_[used_++] = {base, wanted};
    return true;
  }

 private:
  struct Held {
    Index base = 0;
    std::int64_t cells = 0;
  };
  Context& cx_;
  std::array<Held, 4> held_{};
  std::size_t used_ = 0;
};

}  // namespace

void begin_pattern_table(const PatternTableJob& job, std::string_view title) {
  Host& host = job.cx.host;
  const Text text = host.BP_CSTRING(title);
  host.BP_BEGIN_PIVOT_TABLE(job.table, text, text);
  host.BP_TABLE_PROPERTY(job.table, 1, host.BP_IVALUE(1, host.BP_N_FORMAT()));
}

void POUT(Context& cx, WordArray PATWRK, RealArray EXLLIM, RealArray EXULIM, int subcommand, int table) {
  const MvaCommon& c = cx.cmn;
  const PatternLists lists = pattern_lists(cx, subcommand);
  for (std::int64_t i = 1; i <= c.NVAR; ++i) {
    PATWRK(i) = i <= lists.npv() ? lists.pattern[static_cast<std::size_t>(i - 1)] : 0;
  }

  const double cells = pattern_table_cells(cx, lists, subcommand);
  const std::int64_t limit = cx.host.max_table_cells();
  if (cells > static_cast<double>(limit)) {
    refuse(cx, subcommand, cells, limit);
    return;
  }

  PatternTableJob job{cx, lists, PATWRK, EXLLIM, EXULIM, subcommand, table, {}, {}, {}, 0, 0};
  // A request the workspace cannot hold abandons the table without output
  // of its own (the host reports the shortage); the arrays already
  // reserved go back.
  WorkArrays arrays(cx);
  if (subcommand == kTpattern) {
    Index patterns = 0, means = 0, frequencies = 0;
    if (!arrays.reserve(patterns, checked_product(2, c.NINCOM))) return;
    if (lists.Q > 0 && !arrays.reserve(means, c.NVAR)) return;
    if (lists.Cmax > 0 && !arrays.reserve(frequencies, checked_product(c.NVAR, lists.Cmax))) return;
    job.patterns = cx.words(patterns);
    job.means = cx.reals(means);
    job.frequencies = Frequencies(cx.words(frequencies), c.NVAR);
  }
  // The buffer also holds the ID variable's value, which labels the rows.
  std::int64_t widest = lists.Wmax;
  if (c.IDVAR > 0) widest = std::max(widest, cx.words(c.a.VWIDTH)(c.IDVAR));
  job.text_cells = widest > 8 ? (widest + 7) / 8 : 1;
  if (!arrays.reserve(job.text, job.text_cells)) return;

  if (subcommand == kTpattern) {
    tabulated_pattern_table(job);
  } else {
    case_pattern_table(job);
  }
}

}  // namespace mva
