#!/usr/bin/env bash
# Times `corvanepdf verify` on the large generated PDF with one signature
# (signed by `sign --append`, so the signature covers the whole file) against
# what reading the file costs at the least — `sha256sum FILE` — and against
# pdfsig and `mutool sign -v`; then on a one-page form with FIELDS signed
# signature fields (default 10,000; bench/make_signed_fields.py) against
# pdfsig and mutool. Wall time, CPU time and peak RSS from GNU time. Each of
# ROUNDS rounds (default 5) runs verify and sha256sum back to back, so that
# both meet the same load on a shared machine; the table gives the median of
# each and the median of the rounds' ratios. The peers: the median of
# ROUNDS runs on the large file, one run on the many-field form (pdfsig
# takes minutes there). Last, one run each on a document with DISTINCT
# distinct signatures (default 1,000), each in a revision of its own
# (make_signed_revisions, built with the benchmarks). Prints a Markdown
# table.
#
#   bench/run_verify_bench.sh BUILD_DIR [LARGE.pdf] [ROUNDS] [FIELDS] [DISTINCT]
set -euo pipefail

build=$(cd "${1:?build folder, e.g. build}" && pwd)
large=${2:-$build/bench-large.pdf}
rounds=${3:-5}
fields=${4:-10000}
distinct=${5:-1000}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/sign_setup.sh"
large_document "$large"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

signed=$work/signed.pdf
"$cli" sign "$large" -o "$signed" --append >/dev/null 2>&1
form=$work/fields.pdf
pem=$store/pem
"$here/make_signed_fields.py" "$fields" "$pem/signer.crt" "$pem/signer.key" "$pem/ca.crt" "$form"
revisions=$work/revisions.pdf
"$build/bench/make_signed_revisions" "$distinct" "$pem/signer.crt" "$pem/signer.key" "$revisions"
for f in "$signed" "$form" "$revisions"; do
  "$cli" verify "$f" >/dev/null || { echo "verify does not accept $f" >&2; exit 1; }
  pdfsig -nssdir "sql:$store" "$f" 2>/dev/null | grep -q "Signature is Valid" || { echo "pdfsig does not accept $f" >&2; exit 1; }
done

# One line a round: verify's and sha256sum's "wall cpu kB".
for ((i = 0; i < rounds; i++)); do
  echo "$(once "$cli" verify "$signed") $(once sha256sum "$signed")"
done >"$work/rounds"
peer=$(measure pdfsig -nssdir "sql:$store" "$signed")
mutool_large=$(measure mutool sign -v "$signed")
rounds_large=$rounds rounds=1
form_ours=$(measure "$cli" verify "$form")
form_peer=$(measure pdfsig -nssdir "sql:$store" "$form")
form_mutool=$(measure mutool sign -v "$form")
revisions_ours=$(measure "$cli" verify "$revisions")
revisions_peer=$(measure pdfsig -nssdir "sql:$store" "$revisions")
revisions_mutool=$(measure mutool sign -v "$revisions")
rounds=$rounds_large

# median COLUMN_EXPRESSION: the median over the rounds of an awk expression.
median() {
  awk "{ print $1 }" "$work/rounds" | sort -g | awk -v m=$(((rounds + 1) / 2)) 'NR == m'
}
line() {  # line PROGRAM WALL CPU kB
  printf '| %s | %.2f s | %.2f s | %d MB |\n' "$1" "$2" "$3" $(($4 / 1000))
}

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores shared with other developers' builds,"
echo "load average before: $load_before, $rounds rounds"
echo
echo "| program | wall | CPU (user + sys) | peak RSS |"
echo "| --- | --- | --- | --- |"
echo "| **one signature, $(stat -c %s "$signed") bytes** | | | |"
line "corvanepdf verify" "$(median '$1')" "$(median '$2')" "$(median '$3')"
line "sha256sum FILE" "$(median '$4')" "$(median '$5')" "$(median '$6')"
read -r w c m <<<"$peer" && line "pdfsig" "$w" "$c" "$m"
read -r w c m <<<"$mutool_large" && line "mutool sign -v" "$w" "$c" "$m"
printf '| verify / sha256sum, median of the rounds | wall %.2f | CPU %.2f | |\n' \
  "$(median '$1 / $4')" "$(median '$2 / $5')"
echo "| **$fields signed fields, $(stat -c %s "$form") bytes, one run each** | | | |"
read -r w c m <<<"$form_ours" && line "corvanepdf verify" "$w" "$c" "$m"
read -r w c m <<<"$form_peer" && line "pdfsig" "$w" "$c" "$m"
read -r w c m <<<"$form_mutool" && line "mutool sign -v" "$w" "$c" "$m"
echo "| **$distinct distinct signatures, one revision each, $(stat -c %s "$revisions") bytes, one run each** | | | |"
read -r w c m <<<"$revisions_ours" && line "corvanepdf verify" "$w" "$c" "$m"
read -r w c m <<<"$revisions_peer" && line "pdfsig" "$w" "$c" "$m"
read -r w c m <<<"$revisions_mutool" && line "mutool sign -v" "$w" "$c" "$m"
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
