#pragma once

namespace pw::gtk {

// Whether WebKit's web-process sandbox can run here: it needs bubblewrap, the right
// to make namespaces (which containers often withhold) and a session bus. Asked once per process; a
// sandbox that cannot start would leave the page without a process to run in.
bool webSandboxIsUsable();

}  // namespace pw::gtk
