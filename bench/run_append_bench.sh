#!/usr/bin/env bash
# Times append mode (`corvanepdf sign --append`) on the large generated PDF
# against what reading and copying the file costs at the least —
# `sha256sum FILE` plus `cp FILE OUT`, measured in the same run — and
# against pdfsig (which appends too) and the rebuild (`sign --rebuild`).
# Wall time, CPU time and peak RSS from GNU time; the median of ROUNDS runs
# (default 3). Prints a Markdown table.
#
#   bench/run_append_bench.sh BUILD_DIR [LARGE.pdf] [ROUNDS]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
large=${2:-$build/bench-large.pdf}
rounds=${3:-3}
source "$(dirname "$0")/sign_setup.sh"
[ -f "$large" ] || "$here/make_large_pdf.sh" "$build/fixtures/pdf" "$large"

line() {  # line PROGRAM "wall cpu kB"
  read -r w c m <<<"$2"
  printf '| %s | %s s | %s s | %d MB |\n' "$1" "$w" "$c" $((m / 1000))
}

append=$(measure "$cli" sign "$large" -o "$work/out.pdf" --append)
cmp -s -n "$(stat -c %s "$large")" "$large" "$work/out.pdf" || { echo "the input is not the output's prefix" >&2; exit 1; }
pdfsig -nssdir "sql:$store" "$work/out.pdf" 2>/dev/null | grep -q "Signature is Valid" || { echo "append output fails pdfsig" >&2; exit 1; }
hash=$(measure sha256sum "$large")
copy=$(measure cp "$large" "$work/out.pdf")
peer=$(measure pdfsig -add-signature -nssdir "sql:$store" -nick "$nick" "$large" "$work/out.pdf")
rebuild=$(measure "$cli" sign "$large" -o "$work/out.pdf" --rebuild)

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores shared with other developers' builds,"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), median of $rounds runs, $(stat -c %s "$large") bytes"
echo
echo "| program | wall | CPU (user + sys) | peak RSS |"
echo "| --- | --- | --- | --- |"
line "corvanepdf sign --append" "$append"
line "sha256sum FILE" "$hash"
line "cp FILE OUT" "$copy"
line "pdfsig -add-signature" "$peer"
line "corvanepdf sign --rebuild" "$rebuild"
read -r aw _ am <<<"$append"; read -r hw _ _ <<<"$hash"; read -r cw _ _ <<<"$copy"; read -r _ _ pm <<<"$peer"
printf '| append / (sha256sum + cp), wall | %.2f | | append / pdfsig, RSS: %.2f |\n' \
  "$(echo "$aw / ($hw + $cw)" | bc -l)" "$(echo "$am / $pm" | bc -l)"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
