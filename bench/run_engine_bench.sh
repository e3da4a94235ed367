#!/usr/bin/env bash
# Measures the engine's share of a signing run on a large document against
# qpdf's own writer: the Google Benchmark timings of both, then the peak
# memory of one write and of one qpdf run (GNU time).
#
#   bench/run_engine_bench.sh BUILD_DIR [LARGE.pdf]
# LARGE.pdf is made by make_large_pdf.sh (from BUILD_DIR/fixtures/pdf) when
# it does not exist yet.
set -euo pipefail

build=${1:?build folder, e.g. build}
large=${2:-$build/bench-large.pdf}
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -f "$large" ]; then
  [ -d "$build/fixtures/pdf" ] || bash "$here/../tests/fixtures/make_fixtures.sh" "$build/fixtures"
  "$here/make_large_pdf.sh" "$build/fixtures/pdf" "$large"
fi
echo "input: $(stat -c %s "$large") bytes"

"$build/bench/engine_bench" "$large"

peak() {  # peak resident memory in kB of a command
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}
out=$(mktemp --suffix=.pdf)
trap 'rm -f "$out"' EXIT
echo "peak RSS, engine open and write: $(peak "$build/bench/engine_bench" --once "$large") kB"
echo "peak RSS, qpdf --object-streams=disable: $(peak qpdf --object-streams=disable "$large" "$out") kB"
