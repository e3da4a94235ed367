#!/usr/bin/env bash
# Batch throughput: `corvanepdf sign --rebuild --jobs 2` over N copies
# (default 200) of a document of about 0.3 MB (a picture page and a few
# text pages with a form, made by make_large_pdf.sh) against pdfsig
# -add-signature on the same files run two at a time, with the same store
# and certificate, in one run. Prints files per second of each, their ratio
# and the machine's load average before the run (other work on the machine
# lowers both rates).
#
#   bench/run_batch_bench.sh BUILD_DIR [N]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
count=${2:-200}
source "$(dirname "$0")/sign_setup.sh"

mkdir "$work/in" "$work/ours" "$work/peer"
"$here/make_large_pdf.sh" "$build/fixtures/pdf" "$work/doc.pdf" 1 5 1 >/dev/null
for ((i = 0; i < count; i++)); do cp "$work/doc.pdf" "$work/in/doc$i.pdf"; done

now() { date +%s.%N; }
load=$(cut -d' ' -f1-3 /proc/loadavg)

start=$(now)
"$cli" sign "$work"/in/*.pdf --rebuild --jobs 2 --out-dir "$work/ours" </dev/null >/dev/null 2>&1
ours=$(echo "$(now) - $start" | bc -l)
[ "$(ls "$work/ours" | wc -l)" -eq "$count" ] || { echo "corvanepdf did not sign every file" >&2; exit 1; }

start=$(now)
ls "$work"/in/*.pdf | xargs -P 2 -I{} sh -c \
  'pdfsig -add-signature -nssdir "sql:$1" -nick "$2" "$3" "$4/$(basename "$3")" >/dev/null 2>&1' \
  sh "$store" "$nick" {} "$work/peer"
peer=$(echo "$(now) - $start" | bc -l)
[ "$(ls "$work/peer" | wc -l)" -eq "$count" ] || { echo "pdfsig did not sign every file" >&2; exit 1; }
pdfsig -nssdir "sql:$store" "$work/ours/doc0-signed.pdf" 2>/dev/null | grep -q "Signature is Valid" ||
  { echo "our output fails pdfsig" >&2; exit 1; }

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average before the run: $load"
echo
echo "| $count files of $(stat -c %s "$work/doc.pdf") bytes, two at a time | wall | files/s |"
echo "| --- | --- | --- |"
printf '| corvanepdf sign --rebuild --jobs 2 | %.2f s | %.1f |\n' "$ours" "$(echo "$count / $ours" | bc -l)"
printf '| pdfsig -add-signature, 2 in parallel | %.2f s | %.1f |\n' "$peer" "$(echo "$count / $peer" | bc -l)"
printf '| ratio (corvanepdf / pdfsig, files/s) | | %.1f |\n' "$(echo "$peer / $ours" | bc -l)"
