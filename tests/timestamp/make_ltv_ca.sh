#!/usr/bin/env bash
# make_ltv_ca.sh DIR URL: a hierarchy whose revocation data tsa_server.py
# serves at URL. "Test LTV Root" (CRL crl/root.crl) issues "Test LTV CA"
# (CRL URL/crl), whose OCSP responder is ocsp.pem and database ca-index.txt.
# nss/ trusts the root and holds one key for the CA's signers, each with
# OCSP at URL/ocsp: "Lee Valid", "Rae Revoked" (revoked), "Cole Crl" (and
# CRL URL/ca-crl, crl/ca.crl).
set -euo pipefail
export LC_ALL=C
mkdir -p "$1"; DIR=$(cd "$1" && pwd); URL=$2
. "$(dirname "${BASH_SOURCE[0]}")/../fixtures/cert_steps.sh"
cd "$DIR"
mkdir -p crl nss

ca_config() {  # name: an `openssl ca` configuration with its own database
  : >"$1-index.txt"
  echo 01 >"$1-crlnumber"
  printf '[ca]\ndefault_ca = c\n[c]\ndatabase = %s\ncrlnumber = %s\ndefault_md = sha256\ndefault_crl_days = 30\n' \
    "$DIR/$1-index.txt" "$DIR/$1-crlnumber" >"$1.cnf"
}

for key in root ca ocsp signer; do openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out $key.key 2>/dev/null; done
openssl req -x509 -new -key root.key -sha256 -days 3650 -subj "/O=LTV Test/CN=Test LTV Root" -out root.pem \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
CA_CERT=root.pem CA_KEY=root.key
issue_cert ca.key "/O=LTV Test/CN=Test LTV CA" 2 ca.pem "basicConstraints=critical,CA:TRUE" "keyUsage=critical,keyCertSign,cRLSign" \
  "crlDistributionPoints=URI:$URL/crl"
CA_CERT=ca.pem CA_KEY=ca.key
issue_cert ocsp.key "/O=LTV Test/CN=Test LTV OCSP" 3 ocsp.pem "basicConstraints=critical,CA:FALSE" \
  "keyUsage=critical,digitalSignature" "extendedKeyUsage=OCSPSigning"
ca_config root
ca_config ca
openssl ca -config root.cnf -gencrl -keyfile root.key -cert root.pem 2>/dev/null | openssl crl -outform DER -out crl/root.crl

signer() {  # name "CN" serial OCSP-URL [extension]
  issue_signer signer.key "/O=LTV Test/CN=$2/emailAddress=$1@example.test" "$3" "$1.pem" "email:$1@example.test" \
    "authorityInfoAccess=OCSP;URI:$4" ${5:+"$5"}
  openssl ca -config ca.cnf -valid "$1.pem" -keyfile ca.key -cert ca.pem 2>/dev/null  # valid in the CA's database
}
signer lee "Lee Valid" 10 "$URL/ocsp"
signer rae "Rae Revoked" 11 "$URL/ocsp"
signer cole "Cole Crl" 13 "$URL/ocsp" "crlDistributionPoints=URI:$URL/ca-crl"
openssl ca -config ca.cnf -revoke rae.pem -keyfile ca.key -cert ca.pem 2>/dev/null
openssl ca -config ca.cnf -gencrl -keyfile ca.key -cert ca.pem 2>/dev/null | openssl crl -outform DER -out crl/ca.crl

certutil -N -d "sql:$DIR/nss" --empty-password
cat ca.pem root.pem >chain.pem
import_key "sql:$DIR/nss" signer.key lee.pem "Lee Valid" chain.pem
for pair in "rae:Rae Revoked" "cole:Cole Crl"; do certutil -A -d "sql:$DIR/nss" -n "${pair#*:}" -t ",," -i "${pair%%:*}.pem"; done
certutil -M -d "sql:$DIR/nss" -n "Test LTV Root - LTV Test" -t "CT,C,C"
