// Saved-file slot access. A file opened in the first split group stays in its
// slot, by subcommand number, until the entry closes it after the last group.
#include "mva/frame/common.h"

namespace mva {

namespace {
// k numbers a saved-file slot (LISTWISE, PAIRWISE, EM, REGRESSION).
bool is_slot(int k) { return k >= kListwise && k <= kRegression; }
}  // namespace

void SFSETS(MvaCommon& cmn, int k, std::int64_t kind, FileHandle handle) {
  if (!is_slot(k)) return;
  cmn.SFOPEN[k - kListwise] = static_cast<FileKind>(kind);
  cmn.SFHAND[k - kListwise] = handle;
}

FileKind SFKIND(const MvaCommon& cmn, int k) { return is_slot(k) ? cmn.SFOPEN[k - kListwise] : kNoFile; }

FileHandle SFGETH(const MvaCommon& cmn, int k) { return is_slot(k) ? cmn.SFHAND[k - kListwise] : 0; }

}  // namespace mva
