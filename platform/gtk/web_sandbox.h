#pragma once

namespace pw::gtk {

// Whether WebKit's web-process sandbox can run here: it needs bubblewrap, the right
// to make namespaces (which containers often withhold), a session bus, and a socket
// folder short enough for Unix socket paths. Decided once per process, saying on
// standard error why when it cannot.
bool webSandboxIsUsable();

}  // namespace pw::gtk
