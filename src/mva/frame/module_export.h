// The loadable module's exported symbols. A host that loads the module binds
// itself once with mva_bind_host, then calls MVA once per MVA command with its
// workspace.
#pragma once

namespace mva {
class Host;
class Workspace;
}  // namespace mva

extern "C" {
// Binds the host whose services the module uses; returns 1.
int mva_bind_host(mva::Host* host);
// Runs one MVA command through the bound host; returns the result of ending
// the procedure, or -1 when no host is bound.
int MVA(mva::Workspace* workspace);
}

// The names a host looks up after loading the module.
inline constexpr const char* kMvaBindSymbol = "mva_bind_host";
inline constexpr const char* kMvaEntrySymbol = "MVA";
