#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for the given time (300 s by default):
#   scripts/fuzz.sh [seconds] [target ...]      targets: request_path base64 preferences dispatch
# Prints each target's executions and findings; a finding's input is kept under
# build/fuzz-clang/findings/<run>/<target>/ and replays with: build/fuzz-clang/tests/fuzz/<target>_fuzzer <file>
# Exits non-zero when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true

scripts/deps.sh
# clang and its runtime libraries are needed here only, not by the ordinary build.
fuzz_packages=(clang libclang-rt-14-dev)
missing=()
for p in "${fuzz_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "fuzz: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=build/fuzz-clang
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DPAGEWICK_FUZZ=ON -DPAGEWICK_TESTS=OFF -DPAGEWICK_BENCH=OFF >/dev/null

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(request_path base64 preferences dispatch)
cmake --build "$build" --target "${targets[@]/%/_fuzzer}"

# Files the targets write go to a folder of this run, on a memory file system if any.
scratch_base=/dev/shm
[ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/pagewick-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export PAGEWICK_FUZZ_TMP=$scratch

run_findings=$build/findings/$(date +%Y%m%d-%H%M%S)
findings_total=0
summary=()
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t           # grows from run to run; the seeds stay in the tree
  findings=$run_findings/$t
  mkdir -p "$corpus" "$findings"
  log=$build/$t.log
  echo "== $t: ${seconds} s"
  set +e
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/tests/fuzz/${t}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -dict="tests/fuzz/dict/$t.dict" -artifact_prefix="$findings/" \
    "$corpus" "tests/fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  set -e
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  found=$(find "$findings" -type f | wc -l)
  findings_total=$((findings_total + found))
  line="$t: ${runs:-?} executions in ${seconds} s, $found finding(s), exit $status"
  summary+=("$line")
  echo "$line"
  if [ "$found" -gt 0 ] || [ "$status" -ne 0 ]; then
    grep -E 'ERROR|property does not hold|SUMMARY|runtime error' "$log" | head -5 || true
    find "$findings" -type f | sed 's/^/   /'
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
[ "$findings_total" -eq 0 ]
