#!/usr/bin/env bash
# Times append mode (`corvanepdf sign --append`) on the large generated PDF
# against what reading and copying the file costs at the least —
# `sha256sum FILE` plus `cp FILE OUT` — and against pdfsig (which appends
# too) and the rebuild (`sign --rebuild`). Wall time, CPU time and peak RSS
# from GNU time. Each of ROUNDS rounds (default 5) runs append, sha256sum
# and cp back to back, so that the three meet the same load on a shared
# machine; the table gives the median of each and the median of the
# rounds' ratios. pdfsig and the rebuild: the median of ROUNDS runs. Prints
# a Markdown table.
#
#   bench/run_append_bench.sh BUILD_DIR [LARGE.pdf] [ROUNDS]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
large=${2:-$build/bench-large.pdf}
rounds=${3:-5}
source "$(dirname "$0")/sign_setup.sh"
large_document "$large"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

append=("$cli" sign "$large" -o "$work/out.pdf" --append)
"${append[@]}" >/dev/null 2>&1
cmp -s -n "$(stat -c %s "$large")" "$large" "$work/out.pdf" || { echo "the input is not the output's prefix" >&2; exit 1; }
pdfsig -nssdir "sql:$store" "$work/out.pdf" 2>/dev/null | grep -q "Signature is Valid" || { echo "append output fails pdfsig" >&2; exit 1; }

# One line a round: append's, sha256sum's and cp's "wall cpu kB".
for ((i = 0; i < rounds; i++)); do
  echo "$(once "${append[@]}") $(once sha256sum "$large") $(once cp "$large" "$work/out.pdf")"
done >"$work/rounds"
peer=$(measure pdfsig -add-signature -nssdir "sql:$store" -nick "$nick" "$large" "$work/out.pdf")
rebuild=$(measure "$cli" sign "$large" -o "$work/out.pdf" --rebuild)

# median COLUMN_EXPRESSION: the median over the rounds of an awk expression.
median() {
  awk "{ print $1 }" "$work/rounds" | sort -g | awk -v m=$(((rounds + 1) / 2)) 'NR == m'
}
line() {  # line PROGRAM WALL CPU kB
  printf '| %s | %.2f s | %.2f s | %d MB |\n' "$1" "$2" "$3" $(($4 / 1000))
}

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores shared with other developers' builds,"
echo "load average before: $load_before, $rounds rounds, $(stat -c %s "$large") bytes"
echo
echo "| program | wall | CPU (user + sys) | peak RSS |"
echo "| --- | --- | --- | --- |"
line "corvanepdf sign --append" "$(median '$1')" "$(median '$2')" "$(median '$3')"
line "sha256sum FILE" "$(median '$4')" "$(median '$5')" "$(median '$6')"
line "cp FILE OUT" "$(median '$7')" "$(median '$8')" "$(median '$9')"
read -r w c m <<<"$peer" && line "pdfsig -add-signature" "$w" "$c" "$m"
read -r w c m <<<"$rebuild" && line "corvanepdf sign --rebuild" "$w" "$c" "$m"
printf '| append / (sha256sum + cp), median of the rounds | wall %.2f | CPU %.2f | RSS / pdfsig %.2f |\n' \
  "$(median '$1 / ($4 + $7)')" "$(median '$2 / ($5 + $8)')" "$(echo "$(median '$3') / ${peer##* }" | bc -l)"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
