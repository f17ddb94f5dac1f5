#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them; each prints its own ratios
# against a baseline measured in the same run:
#   scripts/bench.sh [name ...]     e.g. scripts/bench.sh base64_bench
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
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
