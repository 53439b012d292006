// Handing rendered text on in pieces: a renderer appends to its string and
// calls spill() after each block of rows, which passes on what is safe to
// pass on and keeps the string small.
#include <cstddef>

#include "host/output/renderers.h"

namespace mva::host {

namespace {
// Small enough to stay in the processor's cache while it is filled.
constexpr std::size_t kSpillBytes = std::size_t{1} << 18;
}  // namespace

void spill(std::string& out, const Write& write) {
  if (!write || out.size() < kSpillBytes) return;
  const std::size_t last = out.find_last_not_of('\n');
  if (last == std::string::npos) return;
  write(std::string_view(out).substr(0, last + 1));
  out.erase(0, last + 1);
}

}  // namespace mva::host
