#pragma once

namespace pw::gtk {

// The process's entry on GTK: fixes the language, builds the platform services and the
// application delegate, and runs the GtkApplication until its window closes.
int runApplication(int argc, char** argv);

}  // namespace pw::gtk
