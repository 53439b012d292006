// Saved-file slot access. A file opened in the first split group stays in its
// slot, by subcommand number, until the entry closes it after the last group.
#include "mva/frame/common.h"

namespace mva {

namespace {
// k numbers a saved-file slot (LISTWISE, PAIRWISE, EM, REGRESSION).
bool is_slot(int k) { return k >= kListwise && k <= kRegression; }
// The index of slot k in SFOPEN and SFHAND.
std::size_t slot(int k) { return static_cast<std::size_t>(k - kListwise); }
}  // namespace

void SFSETS(MvaCommon& cmn, int k, std::int64_t kind, FileHandle handle) {
  if (!is_slot(k)) return;
  cmn.SFOPEN[slot(k)] = static_cast<FileKind>(kind);
  cmn.SFHAND[slot(k)] = handle;
}

FileKind SFKIND(const MvaCommon& cmn, int k) { return is_slot(k) ? cmn.SFOPEN[slot(k)] : kNoFile; }

FileHandle SFGETH(const MvaCommon& cmn, int k) { return is_slot(k) ? cmn.SFHAND[slot(k)] : 0; }

}  // namespace mva
