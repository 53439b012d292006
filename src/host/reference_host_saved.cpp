// The reference host's services for the contents of saved files: the
// dictionary the procedure builds for each new file (variables copied from
// the active file or made afresh, value labels), and the records it moves
// into the file's buffer and writes. A dictionary that cannot be used (two
// variables with one name) is refused when it is ended, naming the file and
// the variables; the procedure then reports the host's error number and the
// file is never kept.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/data/number_text.h"
#include "host/reference_host.h"

namespace mva::host {

void ReferenceHost::OBMOVE(FileHandle handle, std::int64_t first, std::span<const double> cells) {
  guarded("OBMOVE", [&] {
    const std::span<double> record = records_.record(handle);
    const auto size = static_cast<std::int64_t>(record.size());
    const auto count = static_cast<std::int64_t>(cells.size());
    if (first < 1 || first - 1 + count > size) {
      throw std::logic_error(
          fmt::format("cells {}..{} are outside the record of {} cells", first, first + count - 1, size));
    }
    std::copy(cells.begin(), cells.end(), record.begin() + (first - 1));
  });
}

void ReferenceHost::DSWRCASE(FileHandle handle, std::int64_t& error) {
  error = 0;
  guarded("DSWRCASE", [&] {
    line_.clear();
    records_.append_record_line(handle, line_);
    line_ += '\n';
    std::string problem;
    const bool written = saved_.write(handle, line_, problem);
    const std::span<double> record = records_.record(handle);
    std::fill(record.begin(), record.end(), kSystemMissing);
    if (!written) {
      error = kOutfileWriteError;
      error_details_[error] = problem;
    }
  });
}

void ReferenceHost::DSWRCASES(FileHandle handle, std::int64_t count, std::span<const double> cells,
                              std::int64_t& error) {
  error = 0;
  if (count <= 0) return;
  guarded("DSWRCASES", [&] {
    const auto records = static_cast<std::size_t>(count);
    const std::size_t width = cells.size() / records;
    const std::size_t size = records_.record(handle).size();
    if (width * records != cells.size() || width > size) {
      throw std::logic_error(fmt::format("{} cells are not {} records of at most {} cells", cells.size(), count, size));
    }
    // The lines are formatted in blocks on the workers, each block into a
    // text of its own, a group of blocks at a time; each group is written,
    // in order, while the next one is formatted, so that two groups of text
    // are held at most.
    constexpr std::size_t kBlockRecords = 8192;
    const std::size_t group = 2 * static_cast<std::size_t>(std::max(options_.threads, 1));
    const std::size_t blocks = (records + kBlockRecords - 1) / kBlockRecords;
    const std::size_t groups = (blocks + group - 1) / group;
    std::vector<std::string>& texts = record_texts_;
    texts.resize(2 * group);
    std::string problem;
    bool failed = false;
    for (std::size_t g = 0; g <= groups && !failed; ++g) {
      const std::size_t first = g * group;
      const std::size_t formatted = g < groups ? std::min(group, blocks - first) : 0;
      const std::size_t written = g > 0 ? std::min(group, blocks - (g - 1) * group) : 0;
      for_each_chunk(static_cast<std::int64_t>(formatted + (written > 0 ? 1 : 0)), [&](std::int64_t item) {
        const auto k = static_cast<std::size_t>(item);
        if (k == formatted) {
          for (std::size_t b = 0; b < written && !failed; ++b) {
            failed = !saved_.write(handle, texts[(g - 1) % 2 * group + b], problem);
          }
          return;
        }
        std::string& text = texts[g % 2 * group + k];
        text.clear();
        const std::size_t from = (first + k) * kBlockRecords, to = std::min(records, from + kBlockRecords);
        for (std::size_t r = from; r < to; ++r) {
          records_.append_record_line(handle, cells.subspan(r * width, width), text);
          text += '\n';
        }
      });
    }
    if (failed) {
      error = kOutfileWriteError;
      error_details_[error] = problem;
    }
  });
}

void ReferenceHost::DICRDA(FileHandle handle, std::int64_t v) {
  data_.settle();  // the copy takes the print format
  guarded("DICRDA", [&] {
    if (slot(v, "DICRDA").type < 0) throw std::logic_error("a continuation slot is copied with its variable");
    records_.copy_variable(handle, data_.dictionary(), v);
  });
}

VarRecord ReferenceHost::DICCLR(std::string_view name, std::int64_t type) const {
  VarRecord record;
  record.name = std::string(trim_blanks(name));
  record.type = type;
  record.format = type > 0 ? PrintFormat{kFormatA, static_cast<int>(type), 0} : PrintFormat{kFormatF, 8, 2};
  return record;
}

void ReferenceHost::DIFDEC(const PrintFormat& format, int& type, int& width, int& decimals) const {
  type = format.type;
  width = format.width;
  decimals = format.decimals;
}

std::string ReferenceHost::print_text(double value, const PrintFormat& format) const {
  return format_value(value, format);
}

std::int64_t ReferenceHost::DICPUT(FileHandle handle, const VarRecord& record) {
  std::int64_t slot = 0;
  guarded("DICPUT", [&] {
    VarRecord put = record;
    if (put.type == 0) {
      // Formats widened past what this host shows are kept at its widest.
      put.format.width = std::clamp(put.format.width, 1, kMaxNumericWidth);
      put.format.decimals = std::clamp(put.format.decimals, 0, std::min(kMaxPrintDecimals, put.format.width - 1));
    }
    slot = records_.add_variable(handle, std::move(put));
  });
  return slot;
}

void ReferenceHost::VLBPTL(double value, std::string_view label) {
  pending_labels_.numeric[value] = std::string(label);
}

void ReferenceHost::VLBPDE(FileHandle handle, std::int64_t slot) {
  ValueLabels labels = std::move(pending_labels_);
  pending_labels_ = {};
  guarded("VLBPDE", [&] { records_.set_labels(handle, slot, std::move(labels)); });
}

void ReferenceHost::DSDICTX(FileHandle handle, std::int64_t& error) {
  error = 0;
  guarded("DSDICTX", [&] {
    if (const auto fault = records_.finish(handle)) {
      error = kOutfileDictionaryError;
      error_details_[error] = saved_.path(handle) + ": " + *fault;
      return;
    }
    std::string problem;
    if (!saved_.write(handle, records_.header_line(handle) + '\n', problem)) {
      error = kOutfileWriteError;
      error_details_[error] = problem;
    }
  });
}

}  // namespace mva::host
