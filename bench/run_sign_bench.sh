#!/usr/bin/env bash
# Times the rebuild (`corvanepdf sign --rebuild`) against pdfsig (which
# appends a signature) with the same certificate store: (a) a one-page PDF,
# (b) the large generated PDF. Each of ROUNDS rounds (default 5) runs ours
# and pdfsig back to back, so that the two meet the same load on a shared
# machine; the table gives the median of each (wall, CPU, peak RSS from GNU
# time) and the median of the rounds' ratios. Prints a Markdown table.
#
#   bench/run_sign_bench.sh BUILD_DIR [LARGE.pdf] [ROUNDS]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
large=${2:-$build/bench-large.pdf}
rounds=${3:-5}
source "$(dirname "$0")/sign_setup.sh"
large_document "$large"
small=$build/fixtures/pdf/plain.pdf

row() {  # row NAME FILE
  local name=$1 file=$2 size i
  size=$(stat -c %s "$file")
  "$cli" sign "$file" -o "$work/out.pdf" --rebuild >/dev/null 2>&1
  pdfsig -nssdir "sql:$store" "$work/out.pdf" 2>/dev/null | grep -q "Signature is Valid" || { echo "our output fails pdfsig" >&2; exit 1; }
  # One line a round: ours and pdfsig's "wall cpu kB".
  for ((i = 0; i < rounds; i++)); do
    echo "$(once "$cli" sign "$file" -o "$work/out.pdf" --rebuild) $(once pdfsig -add-signature -nssdir "sql:$store" -nick "$nick" "$file" "$work/out.pdf")"
  done >"$work/rounds"
  median() { awk "{ print $1 }" "$work/rounds" | sort -g | awk -v m=$(((rounds + 1) / 2)) 'NR == m'; }
  printf '| %s, %.1f MB | corvanepdf sign --rebuild | %.2f s | %.2f s | %d MB |\n' "$name" \
    "$(echo "$size / 1000000" | bc -l)" "$(median '$1')" "$(median '$2')" $(($(median '$3') / 1000))
  printf '| | pdfsig -add-signature | %.2f s | %.2f s | %d MB |\n' "$(median '$4')" "$(median '$5')" \
    $(($(median '$6') / 1000))
  printf '| | ours / pdfsig, median of the rounds | %.2f | %.2f | %.2f |\n' \
    "$(median '$1 / $4')" "$(median '$2 / $5')" "$(median '$3 / $6')"
}

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $rounds rounds"
echo
echo "| input | program | wall | CPU (user + sys) | peak RSS |"
echo "| --- | --- | --- | --- | --- |"
row "(a) one page" "$small"
row "(b) $(qpdf --show-npages "$large") pages" "$large"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
