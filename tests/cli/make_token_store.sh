#!/usr/bin/env bash
# make_token_store.sh FIXTURES_DIR OUTDIR PIN_FLAGS_MODULE: the SoftHSM2 token
# "corvane-token" (OUTDIR/softhsm2.conf, PIN in pin.txt) holding "Tok RSA",
# "Tok P256" and "Tok P384", issued by the fixture CA; keys.tsv lists their
# containers. OUTDIR/db reaches it through pkcs11-spy, OUTDIR/pin-flags-db
# through PIN_FLAGS_MODULE (PIN_FLAGS=count_low or final_try at run time).
set -euo pipefail
export LC_ALL=C
[ $# -eq 3 ] || { echo "usage: $0 FIXTURES_DIR OUTDIR PIN_FLAGS_MODULE" >&2; exit 2; }
PEM=$1/nss/pem
mkdir -p "$2"; OUT=$(cd "$2" && pwd)
rm -rf "${OUT:?}"/*
mkdir -p "$OUT/tokens" "$OUT/db" "$OUT/pin-flags-db"
SOFTHSM=/usr/lib/softhsm/libsofthsm2.so
SPY=$(ls /usr/lib/*/pkcs11/pkcs11-spy.so /usr/lib/pkcs11/pkcs11-spy.so 2>/dev/null | head -n1 || true)
for f in "$SOFTHSM" "$SPY" "$3"; do
  [ -n "$f" ] && [ -e "$f" ] || { echo "missing PKCS#11 module (softhsm2, opensc-pkcs11): $f" >&2; exit 2; }
done
. "$(dirname "${BASH_SOURCE[0]}")/../fixtures/cert_steps.sh"
CA_CERT=$PEM/ca.crt CA_KEY=$PEM/ca.key

export SOFTHSM2_CONF=$OUT/softhsm2.conf PKCS11SPY=$SOFTHSM PKCS11SPY_OUTPUT=/dev/null
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$OUT/tokens" >"$SOFTHSM2_CONF"
printf '1234\n' >"$OUT/pin.txt"
softhsm2-util --init-token --free --label corvane-token --pin 1234 --so-pin 5678 >/dev/null

DB=sql:$OUT/db
certutil -N -d "$DB" --empty-password
certutil -A -d "$DB" -n "Fixture Test CA" -t "CT,C,C" -a -i "$PEM/ca.crt"
modutil -dbdir "$DB" -add corvane-token -libfile "$SPY" -force >/dev/null
certutil -N -d "sql:$OUT/pin-flags-db" --empty-password
certutil -A -d "sql:$OUT/pin-flags-db" -n "Fixture Test CA" -t "CT,C,C" -a -i "$PEM/ca.crt"
PIN_FLAGS_MODULE=$SOFTHSM modutil -dbdir "sql:$OUT/pin-flags-db" -add corvane-token -libfile "$3" -force >/dev/null

add_key() {  # name CN genpkey-options...
  openssl genpkey "${@:3}" -out "$TMP/$1.key" 2>/dev/null
  issue_signer "$TMP/$1.key" "/O=Fixture Org/CN=$2" "$((300 + RANDOM % 1000))" "$TMP/$1.crt" "email:$1@example.test"
  import_key "$DB" "$TMP/$1.key" "$TMP/$1.crt" "$2" "" -h corvane-token -k "$OUT/pin.txt"
}
add_key rsa "Tok RSA" -algorithm RSA -pkeyopt rsa_keygen_bits:2048
add_key p256 "Tok P256" -algorithm EC -pkeyopt ec_paramgen_curve:P-256
add_key p384 "Tok P384" -algorithm EC -pkeyopt ec_paramgen_curve:P-384

{
  printf 'nickname\tunique_container\n'
  certutil -K -d "$DB" -h corvane-token -f "$OUT/pin.txt" </dev/null 2>/dev/null |
    sed -n 's/^< *[0-9]*> *[a-z]* *\([0-9a-f]*\) *\(.*\)$/\2\tcorvane-token:\1/p'
} >"$OUT/keys.tsv"
[ "$(wc -l <"$OUT/keys.tsv")" -eq 4 ] || { echo "the token does not hold the three keys" >&2; cat "$OUT/keys.tsv" >&2; exit 1; }
echo "token store written to $DB"
