#!/usr/bin/env bash
# make_tsa.sh DIR: a timestamp authority (root, TSA certificate with critical
# timeStamping usage) and the `openssl ts -reply` configuration of tsa_server.py.
set -euo pipefail
dir=$1
mkdir -p "$dir" && cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 \
  -subj "/CN=Test Timestamp Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.pem -days 3650 -subj "/CN=Test Timestamp Authority" \
  -CA root.pem -CAkey root.key -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=critical,timeStamping" 2>/dev/null
cat tsa.pem root.pem > chain.pem
# Six more certificates sent along by big_tsa: a token of about 8 KB.
for i in 1 2 3 4 5 6; do
  openssl req -x509 -new -key root.key -sha256 -days 3650 -subj "/O=Test Timestamp Bulk/CN=Test Timestamp Bulk $i" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "subjectAltName=URI:http://bulk-$i.example.test/ca" 2>/dev/null
done > bulk.pem
cat chain.pem bulk.pem > long-chain.pem
echo 01 > serial
section() {  # name certs: one authority of the configuration, sending `certs` along
  cat <<CNF
[ $1 ]
dir = $dir
serial = \$dir/serial
signer_cert = \$dir/tsa.pem
certs = \$dir/$2
signer_key = \$dir/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_alg = sha256
CNF
}
{
  printf '[ tsa ]\ndefault_tsa = test_tsa\n'
  section test_tsa chain.pem
  section big_tsa long-chain.pem
} > tsa.cnf
