#!/usr/bin/env bash
# Times `corvanepdf sign` against a full rewrite by qpdf and against pdfsig
# (which appends a signature) on the same files with the same certificate
# store, in one run: (a) a one-page PDF, (b) the large generated PDF. Wall
# time, CPU time and peak RSS of each from GNU time; the median of ROUNDS
# runs (default 3). Prints a Markdown table.
#
#   bench/run_sign_bench.sh BUILD_DIR [LARGE.pdf] [ROUNDS]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
large=${2:-$build/bench-large.pdf}
rounds=${3:-3}
source "$(dirname "$0")/sign_setup.sh"
large_document "$large"
small=$build/fixtures/pdf/plain.pdf

row() {  # row NAME FILE
  local name=$1 file=$2 size ours qpdf peer
  size=$(stat -c %s "$file")
  ours=$(measure "$cli" sign "$file" -o "$work/out.pdf")
  pdfsig -nssdir "sql:$store" "$work/out.pdf" 2>/dev/null | grep -q "Signature is Valid" || { echo "our output fails pdfsig" >&2; exit 1; }
  qpdf=$(measure qpdf --object-streams=disable "$file" "$work/out.pdf")
  peer=$(measure pdfsig -add-signature -nssdir "sql:$store" -nick "$nick" "$file" "$work/out.pdf")
  read -r ow oc om <<<"$ours"; read -r qw qc qm <<<"$qpdf"; read -r pw pc pm <<<"$peer"
  printf '| %s, %.1f MB | corvanepdf sign | %s s | %s s | %d MB (%.2f x input) |\n' "$name" \
    "$(echo "$size / 1000000" | bc -l)" "$ow" "$oc" $((om / 1000)) "$(echo "$om * 1024 / $size" | bc -l)"
  printf '| | qpdf --object-streams=disable | %s s | %s s | %d MB |\n' "$qw" "$qc" $((qm / 1000))
  printf '| | pdfsig -add-signature | %s s | %s s | %d MB |\n' "$pw" "$pc" $((pm / 1000))
  printf '| | ratios: sign / qpdf, sign / pdfsig (wall) | %.2f, %.2f | | |\n' \
    "$(echo "$ow / $qw" | bc -l)" "$(echo "$ow / $pw" | bc -l)"
}

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), median of $rounds runs"
echo
echo "| input | program | wall | CPU (user + sys) | peak RSS |"
echo "| --- | --- | --- | --- | --- |"
row "(a) one page" "$small"
row "(b) $(qpdf --show-npages "$large") pages" "$large"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
