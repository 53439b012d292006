// Marks of a case row.
#include "mva/diagnostics/pattern_marks.h"

namespace mva {

namespace {
constexpr char kLetters[] = "SABCD";  // the letter of status 1..5
}  // namespace

RowMarks row_marks(const MarkInputs& in, std::span<const std::int64_t> vars, std::int64_t L, bool incomplete) {
  RowMarks out;
  out.marks.assign(vars.size(), ' ');
  for (std::size_t j = 0; j < vars.size(); ++j) {
    const std::int64_t v = vars[j];
    const auto s = incomplete ? static_cast<std::int64_t>(in.status(L, v)) : 0;
    if (s > 0) {
      out.marks[j] = kLetters[s - 1];
      ++out.missing;
      continue;
    }
    if (!in.quantitative[static_cast<std::size_t>(v)]) continue;
    const double x = in.cases(L, in.COLOF(v));
    if (x <= in.EXLLIM(v)) {
      out.marks[j] = '-';
    } else if (x >= in.EXULIM(v)) {
      out.marks[j] = '+';
    }
  }
  return out;
}

}  // namespace mva
