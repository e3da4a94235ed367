#!/usr/bin/env bash
# deb_test.sh BUILD_DIR: builds the Debian package, installs it with apt-get
# and, the build tree out of sight, signs and verifies with the command and
# the Python module; then purges it. Needs root; skipped when a corvanepdf
# package is installed already.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)

[ "$(id -u)" = 0 ] || { echo "deb_test: skipped (installing a package needs root)"; exit 0; }
if dpkg-query -W -f='${Status}' corvanepdf 2>/dev/null | grep -q 'install ok installed'; then
  echo "deb_test: skipped (a corvanepdf package is installed already)" && exit 0
fi

work=$(mktemp -d)
installed=
cleanup() {
  [ -n "$installed" ] && apt-get purge -y -q -o DPkg::Lock::Timeout=300 corvanepdf > "$work/purge.log" 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$build"/corvanepdf_*_amd64.deb)
[ -d "$build/fixtures/nss" ] || bash "$src/tests/fixtures/make_fixtures.sh" "$build/fixtures" > /dev/null
cp "$deb" "$work/" && chmod 644 "$work"/*.deb && chmod 755 "$work"  # apt's sandbox user reads it
installed=yes
(cd "$work" && apt-get install -y -q -o DPkg::Lock::Timeout=300 ./corvanepdf_*.deb) > "$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "apt-get install"; }

# Only what the package installed: no build tree on any search path.
run() {
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$work" LANG=C.UTF-8 \
    CORVANE_HKLM="$work/hklm.reg" CORVANE_HKCU="$work/hkcu.reg" CORVANE_NSSDB="sql:$build/fixtures/nss" "$@"
}
[ "$(run sh -c 'command -v corvanepdf')" = /usr/bin/corvanepdf ] || fail "corvanepdf is not /usr/bin/corvanepdf"
for file in /usr/share/man/man1/corvanepdf.1.gz /usr/share/bash-completion/completions/corvanepdf \
            /usr/lib/python3/dist-packages/corvanepdf.py /usr/include/corvanepdf/corvanepdf.h; do
  [ -e "$file" ] || fail "$file is not installed"
done
[ "$(run pkg-config --modversion corvanepdf)" = "$(run corvanepdf --version | sed -n '1s/^corvanepdf //p')" ] ||
  fail "pkg-config and --version disagree"

key=$(awk -F'\t' '$1 == "Alex Signer" { print $2 }' "$build/fixtures/nss/keys.tsv")
run corvanepdf settings set UniqueContainerName "NSS Certificate DB:$key" > /dev/null
said=$(run corvanepdf sign "$build/fixtures/pdf/plain.pdf" -o "$work/signed.pdf")
case $said in "$work/signed.pdf signed by "*Alex\ Signer*) ;; *) fail "sign said: $said" ;; esac
run corvanepdf verify "$work/signed.pdf" > "$work/verify.txt" || { cat "$work/verify.txt" >&2; fail "verify"; }
# The installed library keeps its run-time files in /var/lib/corvanepdf, not beside itself.
[ -d /var/lib/corvanepdf ] || fail "the package did not make /var/lib/corvanepdf"
run corvanepdf sign "$build/fixtures/pdf/plain.pdf" -o "$work/signed-for-alice.pdf" --user alice -q
[ -f /var/lib/corvanepdf/user.ini ] || fail "sign --user wrote no /var/lib/corvanepdf/user.ini"
[ -z "$(find /usr/lib -name user.ini -newer "$work/signed.pdf")" ] || fail "sign --user wrote user.ini under /usr/lib"

module=$(run python3 -c 'import corvanepdf; print(corvanepdf.__file__)')
[ "$module" = /usr/lib/python3/dist-packages/corvanepdf.py ] || fail "python3 imports $module"
run python3 "$src/tests/python/module_test.py" /usr/bin/corvanepdf "$build/fixtures" > "$work/python.log" 2>&1 ||
  { cat "$work/python.log" >&2; fail "the installed Python module"; }
echo "deb_test: $(basename "$deb") installs, signs, verifies and signs from Python"
