# Sourced by the signing benchmarks with the build folder in $build: the
# fixtures (made when missing), the corvanepdf command ($cli), the fixture
# store ($store) with the certificate $nick selected in hive files of a
# scratch folder ($work, removed on exit); `once`, `measure`,
# `large_document`.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=$build/cli/corvanepdf
store=$build/fixtures/nss
nick="Alex Signer"
[ -d "$build/fixtures/pdf" ] || bash "$here/../tests/fixtures/make_fixtures.sh" "$build/fixtures"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key=$(awk -F'\t' -v n="$nick" '$1 == n { print $2 }' "$store/keys.tsv")
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf]\r\n"UniqueContainerName"="NSS Certificate DB:%s"\r\n' \
  "$key" >"$work/hkcu.reg"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"path"="%s/"\r\n' \
  "$work" >"$work/hklm.reg"
export CORVANE_NSSDB=sql:$store CORVANE_HKCU=$work/hkcu.reg CORVANE_HKLM=$work/hklm.reg

# once CMD...: "wall cpu peak_kB" of one run; the output file $work/out.pdf
# is removed before it.
once() {
  rm -f "$work/out.pdf"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
    { cat "$work/err" >&2; echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$work/time"
}

# measure CMD...: "wall cpu peak_kB" of the median (by wall time) of the
# $rounds runs.
measure() {
  local i
  for ((i = 0; i < rounds; i++)); do once "$@"; done | sort -n | awk -v m=$(((rounds + 1) / 2)) 'NR == m'
}

# large_document FILE: makes the large generated document unless FILE
# exists.
large_document() {
  [ -f "$1" ] || "$here/make_large_pdf.sh" "$build/fixtures/pdf" "$1"
}
