// The Files Saved entry of an imputed-data file. Table 1 is the host's own:
// the procedure only adds a group to it and never opens or ends it.
#include "mva/save/files_saved.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "mva/frame/table_numbers.h"

namespace mva {

namespace {

constexpr std::size_t kSpecificationLength = 255;  // the longest file specification shown

}  // namespace

void mvshfn(Context& cx, int m, FileHandle handle) {
  Host& host = cx.host;
  std::string_view label;
  if (m == kEm) {
    label = "EM Imputed Data";
  } else if (m == kRegression) {
    label = "Regression Imputed Data";
  } else {
    return;
  }
  if (handle < 1) host.ASSERT("mvshfn", "outptr .gt. 0");

  std::array<char, kSpecificationLength> spec;
  spec.fill(' ');
  host.DICGETFSP(handle, spec);
  const std::int64_t length = std::max<std::int64_t>(host.ICHWDC({spec.data(), spec.size()}), 0);

  const Text contents = host.BP_CSTRING("Contents");
  host.BP_CELL_DIMENSION(kFilesSavedTable, contents);
  host.BP_BEGIN_GROUP(kFilesSavedTable, host.BP_CSTRING("Files Saved"), contents);
  host.BP_CELL_IN_CATEGORY(kFilesSavedTable,
                           host.BP_CSTRING_NO_TRANSLATE({spec.data(), static_cast<std::size_t>(length)}),
                           host.BP_CSTRING(label));
  host.BP_END_GROUP(kFilesSavedTable, contents);
}

}  // namespace mva
