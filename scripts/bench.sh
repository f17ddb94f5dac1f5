#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them; each prints its own ratios
# against a baseline measured in the same run:
#   scripts/bench.sh [name ...]     e.g. scripts/bench.sh base64_bench
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# The desktop's document viewer is the baseline of first_page_bench, and a browser's
# built-in pdf.js viewer is measured beside it; both are installed for measuring only,
# never dependencies of the application.
missing=()
command -v evince >/dev/null || missing+=(evince)
command -v firefox-esr >/dev/null || missing+=(firefox-esr)
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release

benches=("$@")
if [ ${#benches[@]} -eq 0 ]; then
  for f in bench/*_bench.cpp; do benches+=("$(basename "$f" .cpp)"); done
fi
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
for b in "${benches[@]}"; do
  echo "== $b"
  xvfb-run -a -s '-screen 0 1920x1080x24' dbus-run-session -- "build/release/bench/$b"
done
