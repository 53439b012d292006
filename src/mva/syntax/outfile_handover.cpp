// The outfile hand-over. The readers of EM and REGRESSION only note where
// the file specification stands in the token stream; here the stream goes
// back to it, the host defines the file from it, and the file's dictionary
// is built. A "*" defines no file.
#include "mva/syntax/outfile_handover.h"

#include <algorithm>

#include "mva/save/saved_dictionary.h"
#include "mva/syntax/reading.h"

namespace mva {

namespace {

// Makes the token at stream position p current.
void go_to(Context& cx, std::int64_t p) {
  cx.host.SSETPT(cx.ws, cx.handle, std::max<std::int64_t>(p - 1, 0));
  advance(cx);
}

}  // namespace

void OUTINFO(Context& cx) {
  const std::int64_t here = cx.host.token_position();
  for (const int method : {kEm, kRegression}) {
    OutfileRequest& request = cx.cmn.outfiles[method];
    if (request.position <= 0) continue;
    go_to(cx, request.position);
    if (at_symbol(cx, Symbol::Asterisk)) {
      request.position = 0;
      continue;
    }
    FileHandle handle = 0;
    Logical error = kFalse;
    cx.host.SFDFRO(cx.ws, -1, handle, error);
    if (is_true(error)) {
      syntax_error(
          cx, method == kEm ? "EGET_ ERROR READING OUTFILE INFORMATION" : "RGET_ ERROR READING OUTFILE INFORMATION");
      continue;
    }
    SAVDIC(cx, method, static_cast<FileKind>(request.kind), handle);
  }
  go_to(cx, here);
}

}  // namespace mva
