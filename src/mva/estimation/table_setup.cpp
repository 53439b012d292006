// Beginning an estimation table, and its triangle of correlations.
#include "mva/estimation/table_setup.h"

#include "mva/frame/queries.h"

namespace mva {

void begin_estimate_table(Host& host, int number, std::string_view title) {
  host.BP_BEGIN_PIVOT_TABLE(number, host.BP_CSTRING(title), host.BP_CSTRING(title));
  host.BP_TABLE_PROPERTY(number, 1, host.BP_IVALUE(1, host.BP_N_FORMAT()));
}

void fill_correlation_triangle(Context& cx, int number, std::span<const std::int64_t> cols, RealTriangle covariances,
                               const Text& rows, Format missing_format) {
  Host& host = cx.host;
  const Format correlation = host.BP_CORRELATION_FORMAT();
  for (std::size_t a = 0; a < cols.size(); ++a) {
    const std::int64_t k = cols[a];
    const Text label = host.BP_VARIABLE(IANVAR(cx, k), 0);
    host.BP_CATEGORY_DIMENSION(number, label, rows);
    for (std::size_t b = 0; b < a; ++b) {
      const std::int64_t j = cols[b];
      const double r = host.CORREL(covariances(k, k), covariances(j, j), covariances(k, j));
      host.BP_CELL_IN_CATEGORY(number, host.BP_LRVALUE(r, correlation), host.BP_VARIABLE(IANVAR(cx, j), 0));
    }
    const Text diagonal = covariances(k, k) > 0.0 ? host.BP_IVALUE(1, host.BP_N_FORMAT())
                                                  : host.BP_LRVALUE(host.PCINMS(), missing_format);
    host.BP_CELL_IN_CATEGORY(number, diagonal, label);
  }
}

}  // namespace mva
