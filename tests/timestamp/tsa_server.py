#!/usr/bin/env python3
"""A timestamp authority, OCSP responder and CRL server on 127.0.0.1 for the
tests (`openssl ts -reply`, `openssl ocsp -index`); prints its port first.

Timestamp paths: /ok a token; /big a token of about 8 KB (chain and six more
certificates along); /slow the token after SLOW seconds; /reject a rejection;
/wrong a token for an altered imprint; /status500; /auth a token for
tsa:secret (basic authentication), else 401. /ocsp (POST) answers for
DIR/ltv (make_ltv_ca.sh), /crl and /ca-crl (GET) serve its root's and CA's
CRLs. Words in DIR/ltv/fault spoil those: ocsp-garbage, crl-garbage (HTTP
200, no answer); ocsp-500, ocsp-404, crl-404, ca-crl-404 (that status);
ocsp-slow; ocsp-foreign (signed by the root, which may not answer for the
CA); ocsp-trylater; ocsp-presigned, ocsp-old (DIR/ltv/NAME.der, made by the
test).
"""
import base64
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time

DIR = sys.argv[1]
LTV = os.path.join(DIR, "ltv")
SLOW = 5
REJECTION = bytes.fromhex("30053003020102")  # TimeStampResp { status rejection(2) }
TRY_LATER = bytes.fromhex("30030a0103")  # OCSPResponse { tryLater(3) }
SHA256_OID = bytes.fromhex("0609608648016503040201")
SERIAL = threading.Lock()  # `openssl ts -reply` counts its serial numbers in a file


def openssl(query, *args):
    """openssl ARGS, the query in the file "{q}", the answer from "{r}"."""
    with tempfile.TemporaryDirectory(dir=DIR) as work:
        q, r = os.path.join(work, "q.der"), os.path.join(work, "r.der")
        with open(q, "wb") as f:
            f.write(query)
        subprocess.run(["openssl"] + [a.format(q=q, r=r) for a in args], check=True, capture_output=True)
        with open(r, "rb") as f:
            return f.read()


def faults():
    try:
        with open(os.path.join(LTV, "fault")) as f:
            return f.read().split()
    except FileNotFoundError:
        return []


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self, body, content_type):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.write(body)
        except BrokenPipeError:
            pass

    def do_GET(self):
        crls = {"/crl": "root.crl", "/ca-crl": "ca.crl"}
        if self.path not in crls or self.path[1:] + "-404" in faults():
            self.send_error(404)
        else:
            body = b"garbage" if "crl-garbage" in faults() else read(os.path.join(LTV, "crl", crls[self.path]))
            self.answer(body, "application/pkix-crl")

    def ocsp(self, query):
        spoilt = faults()
        kept = [f for f in ("ocsp-presigned", "ocsp-old") if f in spoilt]
        if "ocsp-500" in spoilt or "ocsp-404" in spoilt:
            return self.send_error(500 if "ocsp-500" in spoilt else 404)
        if "ocsp-garbage" in spoilt or "ocsp-trylater" in spoilt:
            body = b"garbage" if "ocsp-garbage" in spoilt else TRY_LATER
        elif kept:
            body = read(os.path.join(LTV, kept[0] + ".der"))
        else:
            if "ocsp-slow" in spoilt:
                time.sleep(SLOW)
            signer = os.path.join(LTV, "root" if "ocsp-foreign" in spoilt else "ocsp")
            body = openssl(query, "ocsp", "-index", os.path.join(LTV, "ca-index.txt"), "-CA",
                           os.path.join(LTV, "ca.pem"), "-rsigner", signer + ".pem", "-rkey", signer + ".key",
                           "-nmin", "60", "-reqin", "{q}", "-respout", "{r}")
        self.answer(body, "application/ocsp-response")

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path == "/ocsp":
            return self.ocsp(query)
        if self.path == "/status500" or (self.path == "/auth" and self.headers.get("Authorization") !=
                                         "Basic " + base64.b64encode(b"tsa:secret").decode()):
            return self.send_error(500 if self.path == "/status500" else 401)
        if self.path == "/slow":
            time.sleep(SLOW)
        if self.path == "/wrong":  # flip the digest's first byte, behind the OID
            at = query.index(b"\x04\x20", query.index(SHA256_OID)) + 2
            query = query[:at] + bytes([query[at] ^ 0xFF]) + query[at + 1:]
        if self.path == "/reject":
            body = REJECTION
        else:
            with SERIAL:
                body = openssl(query, "ts", "-reply", "-config", os.path.join(DIR, "tsa.cnf"), "-section",
                               "big_tsa" if self.path == "/big" else "test_tsa", "-queryfile", "{q}", "-out", "{r}")
        self.answer(body, "application/timestamp-reply")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
