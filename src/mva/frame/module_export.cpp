// The module's C entry points when it is built as a shared object: the host
// binds itself at load, and each MVA command is run through the bound host.
#include "mva/frame/module_export.h"

#include "mva/frame/entry.h"

namespace {
mva::Host* bound_host = nullptr;  // the host bound at load, null until then
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int mva_bind_host(mva::Host* host) {
  bound_host = host;
  return 1;
}

__attribute__((visibility("default"))) int MVA(mva::Workspace* workspace) {
  if (bound_host == nullptr || workspace == nullptr) return -1;
  return mva::MVA(*bound_host, *workspace);
}
}
