// The LISTWISE and PAIRWISE subcommand reader. Both ask for their tables and
// take no settings; neither can write a file.
#include "mva/syntax/reading.h"
#include "mva/syntax/subcommand_readers.h"

namespace mva {

void SGET(Context& cx, int method, OutfileRequest& outfile) {
  outfile.kind = kNoFile;
  advance(cx);
  if (at_end(cx) || at_slash(cx)) return;
  // The subcommand is named by a literal text, not a message key.
  const std::string_view name = method == kListwise ? "LISTWISE" : "PAIRWISE";
  syntax_error(cx, "SGET_ UNRECOGNIZED SYMBOL IN ^1 SUBCOMMAND\\: ^2", {name, token_text(cx)});
}

}  // namespace mva
