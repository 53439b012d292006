// Statistics matrix rows: MEAN, COVA and CORR records of one split group.
#include "mva/save/statistics_matrix.h"

#include <span>
#include <string>
#include <vector>

#include "mva/frame/queries.h"
#include "mva/save/record_writer.h"
#include "mva/save/saved_dictionary.h"

namespace mva {

namespace {

// Writes one row: split values, row type, variable name, then the first
// `count` cells of `record`. Returns 0, or the host's error number.
std::int64_t write_row(Context& cx, FileHandle handle, std::string_view row_type, std::string_view name,
                       RealArray record, std::int64_t count) {
  std::int64_t cell = move_split_values(cx, handle, 1);
  cell = move_chars(cx, handle, cell, row_type);
  cell = move_chars(cx, handle, cell, name);
  cx.host.OBMOVE(handle, cell, std::span<const double>(record.first(count)));
  return write_record(cx, handle);
}

}  // namespace

void SAVMAT(Context& cx, int method, RealArray means, RealTriangle covariances, RealArray record) {
  Host& host = cx.host;
  const FileHandle handle = SFGETH(cx.cmn, method);
  if (handle < 1) return;

  // The columns of the matrix variables, in column order.
  std::vector<std::int64_t> columns;
  for (std::int64_t q = 1; q <= cx.cmn.NV; ++q) {
    const std::int64_t v = IANVAR(cx, q);
    if (DEPFL(cx, v, method) || INDFL(cx, v, method)) columns.push_back(q);
  }
  const auto n = static_cast<std::int64_t>(columns.size());
  auto column = [&](std::int64_t i) { return columns[static_cast<std::size_t>(i - 1)]; };
  auto fail = [&](std::int64_t error) {
    if (error != 0) host.ERROR(error, MessageClass::Runtime, Severity::Error);
    return error != 0;
  };

  for (std::int64_t j = 1; j <= n; ++j) record(j) = means(IANVAR(cx, column(j)));
  if (fail(write_row(cx, handle, method_names(method).mean_row, "", record, n))) return;

  for (std::int64_t i = 1; i <= n; ++i) {
    const std::string name = host.DICGET(IANVAR(cx, column(i))).name;
    for (std::int64_t j = 1; j <= n; ++j) record(j) = covariances(column(i), column(j));
    if (fail(write_row(cx, handle, "COVA", name, record, n))) return;
  }
  for (std::int64_t i = 1; i <= n; ++i) {
    const std::string name = host.DICGET(IANVAR(cx, column(i))).name;
    const double var_i = covariances(column(i), column(i));
    for (std::int64_t j = 1; j <= n; ++j) {
      record(j) = host.CORREL(var_i, covariances(column(j), column(j)), covariances(column(i), column(j)));
    }
    if (fail(write_row(cx, handle, "CORR", name, record, n))) return;
  }
}

}  // namespace mva
