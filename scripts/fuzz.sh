#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS] [TARGET...]
# Builds the fuzz programs (fuzz/) with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz/ (or $CORVANE_FUZZ_BUILD) and
# runs each for SECONDS (default 60), one after the other in one process, so
# that it never takes more than one core. Not part of the test suite.
#
# Seeds: fuzz/corpus/<target>/ and fuzz/regressions/<target>/. New inputs
# collect in build-fuzz/corpus/<target>/ and carry over to the next run. An
# input that fails is written to build-fuzz/findings/<target>/: keep it in
# fuzz/regressions/<target>/ (the test fuzz_regressions_test feeds it again)
# and fix the fault. Exit code 0 only when no program found anything.
# Needs the Debian packages clang and libclang-rt-14-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reg hive profile verify directory)
build=${CORVANE_FUZZ_BUILD:-$root/build-fuzz}
jobs=${CORVANE_FUZZ_BUILD_JOBS:-2}

mkdir -p "$build"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_BUILD_FUZZERS=ON -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=OFF \
  -DCORVANE_WITH_QT=OFF \
  -DCMAKE_C_FLAGS="$sanitize -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$sanitize -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 2; }
build_targets=()
for t in "${targets[@]}"; do build_targets+=("${t}_fuzzer"); done
cmake --build "$build" -j "$jobs" --target "${build_targets[@]}"

# Scratch files of the programs that work on files: in memory where possible.
scratch=$(mktemp -d "${CORVANE_FUZZ_SCRATCH_BASE:-/dev/shm}/corvane-fuzz.XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export CORVANE_FUZZ_SCRATCH=$scratch
export CORVANE_HKLM=$scratch/hklm.reg CORVANE_HKCU=$scratch/hkcu.reg
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

dictionary() {
  case $1 in
    verify) echo "$root/fuzz/dictionaries/pdf.dict" ;;
    reg|hive) echo "$root/fuzz/dictionaries/reg.dict" ;;
    profile) echo "$root/fuzz/dictionaries/ini.dict" ;;
    directory) echo "$root/fuzz/dictionaries/directory.dict" ;;
  esac
}

status=0
printf '%-8s %12s %8s %9s  %s\n' target executions corpus findings log
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t findings=$build/findings/$t log=$build/logs/$t.log
  mkdir -p "$corpus" "$findings" "$build/logs"
  seeds=()
  for d in "$root/fuzz/corpus/$t" "$root/fuzz/regressions/$t"; do
    [ -d "$d" ] && seeds+=("$d")
  done
  before=$(find "$findings" -type f | wc -l)
  set +e
  "$build/fuzz/${t}_fuzzer" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$(dictionary "$t")" \
    -artifact_prefix="$findings/" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(( $(find "$findings" -type f | wc -l) - before ))
  printf '%-8s %12s %8s %9s  %s\n' "$t" "${runs:-?}" "$(find "$corpus" -type f | wc -l)" "$found" "$log"
  if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|.*runtime error)' "$log" | head -5 | sed 's/^/    /'
  fi
done
exit $status
