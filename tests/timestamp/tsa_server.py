#!/usr/bin/env python3
"""A timestamp authority, OCSP responder and CRL server on 127.0.0.1 for the
tests; prints its port first. Timestamp paths: /ok; /big (about 8 KB, six
more certificates along); /slow (after SLOW seconds); /reject; /wrong (for
an altered imprint); /status500; /auth (tsa:secret, else 401). /ocsp answers
for DIR/ltv (make_ltv_ca.sh), /crl and /ca-crl serve its root's and CA's
CRLs. Words in DIR/ltv/fault spoil those: ocsp-garbage, crl-garbage (HTTP
200); ocsp-500, crl-404, ca-crl-404; ocsp-slow; ocsp-foreign (signed by the
root); ocsp-old (DIR/ltv/ocsp-old.der, made by the test).
"""
import base64
import http.server
import pathlib
import subprocess
import sys
import tempfile
import threading
import time

DIR = sys.argv[1]
LTV = pathlib.Path(DIR, "ltv")
SLOW = 5
REJECTION = bytes.fromhex("30053003020102")  # TimeStampResp { status rejection(2) }
SHA256_OID = bytes.fromhex("0609608648016503040201")
SERIAL = threading.Lock()  # `openssl ts -reply` counts its serial numbers in a file


def openssl(query, *args):
    """openssl ARGS, the query in the file "{q}", the answer from "{r}"."""
    with tempfile.TemporaryDirectory(dir=DIR) as work:
        q, r = pathlib.Path(work, "q.der"), pathlib.Path(work, "r.der")
        q.write_bytes(query)
        subprocess.run(["openssl"] + [str(a).format(q=q, r=r) for a in args], check=True, capture_output=True)
        return r.read_bytes()


def faults():
    fault = LTV / "fault"
    return fault.read_text().split() if fault.exists() else []


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
            return self.send_error(404)
        body = b"garbage" if "crl-garbage" in faults() else (LTV / "crl" / crls[self.path]).read_bytes()
        self.answer(body, "application/pkix-crl")

    def ocsp(self, query):
        spoilt = faults()
        if "ocsp-500" in spoilt:
            return self.send_error(500)
        if "ocsp-garbage" in spoilt:
            body = b"garbage"
        elif "ocsp-old" in spoilt:
            body = (LTV / "ocsp-old.der").read_bytes()
        else:
            if "ocsp-slow" in spoilt:
                time.sleep(SLOW)
            signer = LTV / ("root" if "ocsp-foreign" in spoilt else "ocsp")
            body = openssl(query, "ocsp", "-index", LTV / "ca-index.txt", "-CA", LTV / "ca.pem", "-rsigner",
                           f"{signer}.pem", "-rkey", f"{signer}.key", "-nmin", "60", "-reqin", "{q}", "-respout", "{r}")
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
            return self.answer(REJECTION, "application/timestamp-reply")
        with SERIAL:
            body = openssl(query, "ts", "-reply", "-config", f"{DIR}/tsa.cnf", "-section",
                           "big_tsa" if self.path == "/big" else "test_tsa", "-queryfile", "{q}", "-out", "{r}")
        self.answer(body, "application/timestamp-reply")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
