#!/usr/bin/env bash
# The main command: installs what the build needs, builds corvanepdf, signs
# examples/sample.pdf with the visible signature text and shows pdfsig's
# verdict on the result. Run as root on a fresh Debian 12 machine (it
# installs packages); as another user the installation is skipped.
#
# The signing certificate is the one selected in your user settings
# (UniqueContainerName) in your NSS store (CORVANE_NSSDB, else
# sql:~/.pki/nssdb). When none is selected, a demo store with a self-signed
# test certificate is made under ~/.local/share/corvane/demo-nssdb (an
# existing store is never touched) and its certificate is selected.
#
#   scripts/run-main.sh [OUT.pdf]     default OUT: build/sample-signed.pdf
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build/sample-signed.pdf}
demo_dir=${XDG_DATA_HOME:-$HOME/.local/share}/corvane/demo-nssdb
demo_nick="corvanepdf demo signer"

say() { printf '== %s\n' "$*"; }

if [ "$(id -u)" -eq 0 ]; then
  say "installing packages"
  bash scripts/install-deps.sh
else
  say "not root: skipping the package installation"
fi

say "building"
cmake --preset default >/dev/null
cmake --build --preset default --target corvanepdf_cli -j "$(nproc)"
corvanepdf=$root/build/cli/corvanepdf

# "NSS Certificate DB:" and the key id of the demo certificate's key.
demo_container() {
  local id
  id=$(certutil -K -d "sql:$demo_dir" </dev/null 2>/dev/null |
       awk -v nick="$demo_nick" '
         match($0, /^< *[0-9]+> +[^ ]+ +[0-9a-f]+ +/) {
           name = substr($0, RLENGTH + 1); sub(/^NSS Certificate DB:/, "", name)
           if (name == nick) { n = split(substr($0, 1, RLENGTH), f, " "); print f[n]; exit }
         }')
  [ -n "$id" ] && printf 'NSS Certificate DB:%s\n' "$id"
}

make_demo_store() {
  say "making a demo certificate store in $demo_dir"
  mkdir -p "$demo_dir"
  chmod 700 "$demo_dir"
  local noise
  noise=$(mktemp)
  head -c 2048 /dev/urandom >"$noise"
  certutil -N -d "sql:$demo_dir" --empty-password
  certutil -S -d "sql:$demo_dir" -x -n "$demo_nick" -t "CT,C,C" -k rsa -g 2048 -Z SHA256 -v 24 \
    -s "CN=Corvane Demo Signer,O=corvanepdf demo,E=demo@example.invalid" \
    --keyUsage digitalSignature,nonRepudiation,certSigning --extSAN email:demo@example.invalid \
    -z "$noise" </dev/null >/dev/null
  rm -f "$noise"
}

selected=$("$corvanepdf" settings get UniqueContainerName 2>/dev/null || true)
store=${CORVANE_NSSDB:-sql:$HOME/.pki/nssdb}
if [ -z "$selected" ]; then
  [ -f "$demo_dir/cert9.db" ] || make_demo_store
  selected=$(demo_container)
  [ -n "$selected" ] || { echo "the demo store $demo_dir holds no demo certificate" >&2; exit 1; }
  say "selecting the demo certificate in your user settings"
  CORVANE_NSSDB="sql:$demo_dir" "$corvanepdf" settings set UniqueContainerName "$selected"
  store=sql:$demo_dir
elif [ -f "$demo_dir/cert9.db" ] && [ "$selected" = "$(demo_container)" ]; then
  store=sql:$demo_dir
fi
[ "$store" = "sql:$demo_dir" ] && say "using the demo store (export CORVANE_NSSDB=sql:$demo_dir to sign with it yourself)"
export CORVANE_NSSDB=$store

# The visible text is switched on for this run only; the setting is put back.
old_signtext=$("$corvanepdf" settings get signtext 2>/dev/null || true)
trap '"$corvanepdf" settings set signtext "$old_signtext" >/dev/null' EXIT
"$corvanepdf" settings set signtext 1 >/dev/null

say "signing examples/sample.pdf into $out"
mkdir -p "$(dirname "$out")"
"$corvanepdf" sign "$root/examples/sample.pdf" -o "$out"

say "pdfsig $out"
report=$(pdfsig -nssdir "$store" "$out")
printf '%s\n' "$report"
grep -q "Signature is Valid" <<<"$report"
