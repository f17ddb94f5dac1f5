#pragma once

namespace pw {

// The process's work from entry to exit: fixes the interface language, wires the
// behaviour to the GTK and recognition services when the application starts, hands it
// the documents the desktop opens, and runs until the window closes.
int runPagewick(int argc, char** argv);

}  // namespace pw
