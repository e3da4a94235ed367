#!/usr/bin/env bash
# make_signing_store.sh FIXTURES_DIR OUTDIR
# The signing tests' certificate store: a copy of the fixture store
# (FIXTURES_DIR/nss) with more certificates, all issued by the fixture CA:
#   "Alex Renewed"    a second certificate for Alex Signer's RSA key
#   "Dana Signer"     RSA-3072
#   "Eli DSA Signer"  DSA-2048 (left out when NSS cannot import it)
#   "Zed Nokey"       no private key; last in store order
# and OUTDIR/protected: a store whose password is "s3cret" (in
# OUTDIR/protected/pin.txt) holding "Dana Signer" with its key.
# OUTDIR/keys.tsv lists nickname and key id as the fixture's keys.tsv does.
set -euo pipefail
export LC_ALL=C
[ $# -eq 2 ] || { echo "usage: $0 FIXTURES_DIR OUTDIR" >&2; exit 2; }
SRC=$1/nss
mkdir -p "$2"; OUT=$(cd "$2" && pwd)
rm -rf "$OUT"/*; mkdir -p "$OUT/pem"
cp "$SRC"/cert9.db "$SRC"/key4.db "$SRC"/pkcs11.txt "$OUT"/
cp "$SRC"/pem/* "$OUT/pem/"
. "$(dirname "${BASH_SOURCE[0]}")/../fixtures/cert_steps.sh"
PEM=$OUT/pem CA_CERT=$OUT/pem/ca.crt CA_KEY=$OUT/pem/ca.key

issue() {  # name CN email serial keyfile
  issue_signer "$5" "/O=Fixture Org/CN=$2/emailAddress=$3" "$4" "$PEM/$1.crt" "email:$3, DNS:$1.example.test"
}

issue renewed "Alex Renewed" Alex.Renewed@Example.TEST 201 "$PEM/signer.key"
certutil -A -d "sql:$OUT" -n "Alex Renewed" -t ",," -a -i "$PEM/renewed.crt"

openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out "$PEM/dana.key" 2>/dev/null
issue dana "Dana Signer" dana@example.test 202 "$PEM/dana.key"
import_key "sql:$OUT" "$PEM/dana.key" "$PEM/dana.crt" "Dana Signer" "$CA_CERT"

openssl genpkey -genparam -algorithm DSA -pkeyopt dsa_paramgen_bits:2048 -pkeyopt dsa_paramgen_q_bits:256 \
  -out "$TMP/dsa.param" 2>/dev/null
openssl genpkey -paramfile "$TMP/dsa.param" -out "$PEM/eli.key" 2>/dev/null
issue eli "Eli DSA Signer" eli@example.test 203 "$PEM/eli.key"
import_key "sql:$OUT" "$PEM/eli.key" "$PEM/eli.crt" "Eli DSA Signer" "$CA_CERT" ||
  echo "NSS did not import the DSA signer; it is left out" >&2

openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$TMP/zed.key" 2>/dev/null
issue zed "Zed Nokey" zed@example.test 204 "$TMP/zed.key"
certutil -A -d "sql:$OUT" -n "Zed Nokey" -t ",," -a -i "$PEM/zed.crt"

P=$OUT/protected; mkdir -p "$P"
printf 's3cret\n' >"$P/pin.txt"
certutil -N -d "sql:$P" -f "$P/pin.txt"
import_key "sql:$P" "$PEM/dana.key" "$PEM/dana.crt" "Dana Signer" "$CA_CERT" -k "$P/pin.txt"

{
  printf 'nickname\tcka_id_hex\tkey_type\n'
  certutil -K -d "sql:$OUT" </dev/null 2>/dev/null |
    sed -n 's/^< *[0-9]*> *\([a-z]*\) *\([0-9a-f]*\) *\(NSS Certificate DB:\)\{0,1\}\(.*\)$/\4\t\2\t\1/p'
} >"$OUT/keys.tsv"
echo "signing store written to sql:$OUT"
