// The finished rows of a streamed table (one row per case), kept in a
// temporary file instead of memory. The document writes each window of rows
// as one block: the case dimension's categories of those rows and their
// cells, coordinates and value indices as variable-length integers. The
// renderers read the blocks back in order, each as a view of the table that
// holds just those rows.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/output/output_document.h"

namespace mva::host {

class RowSpool {
 public:
  // A spool in a new temporary file (removed when closed); null when none
  // can be made.
  static std::shared_ptr<RowSpool> open();
  RowSpool(const RowSpool&) = delete;
  RowSpool& operator=(const RowSpool&) = delete;
  ~RowSpool();

  // Appends one block: the categories of `rows` and every cell of `cells`.
  // False when the file cannot take it (a full disk): the rows are then
  // kept in memory, and no block is written after.
  bool write(const Dimension& rows, const CellStore& cells);

  std::size_t blocks() const { return blocks_.size(); }

  // Calls `visit` with a view of `table` for each block in order, holding
  // that block's rows, then with `table` itself (its last rows). The view
  // has the table's title, dimensions, notes and distinct values.
  void for_each_block(const PivotTable& table, const std::function<void(const PivotTable&)>& visit) const;

 private:
  explicit RowSpool(std::FILE* file) : file_(file) {}
  // Reads block k into `view`: its case categories and its cells.
  void read(std::size_t k, int dimension, PivotTable& view) const;

  std::FILE* file_;
  bool failed_ = false;
  std::vector<std::pair<long, std::size_t>> blocks_;  // offset and size of each block
  mutable std::string buffer_;                        // the block being written or read, kept for the next
};

// A table with the title, dimensions, notes and footnotes of `table` and no
// cells: what a view of some of its rows starts from.
PivotTable table_without_cells(const PivotTable& table);

// Calls `visit` with each part of `table` that holds rows: the spooled blocks
// and the rows in memory for a streamed table, else the table itself.
void for_each_row_block(const PivotTable& table, const std::function<void(const PivotTable&)>& visit);

}  // namespace mva::host
