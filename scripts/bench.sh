#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them; each prints its own ratios
# against a baseline measured in the same run:
#   scripts/bench.sh [name ...]     e.g. scripts/bench.sh base64_bench
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# The desktop's document viewer is the baseline of first_page_bench; it is installed
# for measuring only, never a dependency of the application.
if ! command -v evince >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends evince >/dev/null
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
