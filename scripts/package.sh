#!/usr/bin/env bash
# Builds the Debian package from an optimised build and prints its path:
#   scripts/package.sh
# Install it with: sudo apt install ./build/package/pagewick_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# The release configuration in a tree of its own, without the tests and benchmarks,
# which the package does not ship and need not wait for.
build=build/package
cmake --preset release -B "$build" -DPAGEWICK_TESTS=OFF -DPAGEWICK_BENCH=OFF >/dev/null
# Staging adds to the page's folder and never takes away: start it afresh so that no
# file left by an earlier build is shipped.
rm -rf "$build/web"
cmake --build "$build"
rm -f "$build"/pagewick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/pagewick_*.deb
