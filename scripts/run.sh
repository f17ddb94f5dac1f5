#!/usr/bin/env bash
# Installs what is missing, builds the application, and starts it:
#   scripts/run.sh [file.pdf ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target pagewick pagewick_web

exec build/release/pagewick "$@"
