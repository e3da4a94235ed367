#!/usr/bin/env bash
# Makes a timestamp authority for the tests in DIR: its own root, a TSA
# certificate with the (critical) timeStamping extended key usage, and the
# `openssl ts -reply` configuration that tsa_server.py uses.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 \
  -subj "/CN=Test Timestamp Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/CN=Test Timestamp Authority" 2>/dev/null
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=critical,timeStamping" > tsa.ext
openssl x509 -req -in tsa.csr -CA root.pem -CAkey root.key -CAcreateserial -days 3650 \
  -extfile tsa.ext -out tsa.pem 2>/dev/null
cat tsa.pem root.pem > chain.pem
echo 01 > serial
cat > tsa.cnf <<CNF
[ tsa ]
default_tsa = test_tsa
[ test_tsa ]
dir = $dir
serial = \$dir/serial
crypto_device = builtin
signer_cert = \$dir/tsa.pem
certs = \$dir/chain.pem
signer_key = \$dir/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
CNF
