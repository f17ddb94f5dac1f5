#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a virtual
# display and a private D-Bus session:
#   scripts/test.sh [ctest arguments ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset debug >/dev/null
cmake --build --preset debug

# GTK's accessibility bridge and dconf are not part of what is tested.
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
exec xvfb-run -a -s '-screen 0 1920x1080x24' \
  dbus-run-session -- ctest --preset debug --output-on-failure -j2 "$@"
