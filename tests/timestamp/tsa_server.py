#!/usr/bin/env python3
"""A timestamp authority, OCSP responder and CRL server on 127.0.0.1 for
the tests: `openssl ts -reply` and `openssl ocsp -index` behind an HTTP
handler. Prints its port on the first line of stdout.

The path of the request chooses the behaviour:
  /ok        a token for the request
  /big       a token of about 8 KB (the authority's chain and six more
             certificates sent along)
  /slow      the token, after SLOW seconds (longer than the client waits)
  /reject    a "rejection" answer
  /wrong     a token for another imprint (the request's digest altered)
  /status500 HTTP status 500
  /auth      a token for the user "tsa" with the password "secret" (basic
             authentication), else HTTP status 401
  /ocsp      (POST) the answer of the responder of DIR/ltv (make_ltv_ca.sh)
  /crl       (GET) the root's CRL of DIR/ltv
  /ca-crl    (GET) the CA's CRL of DIR/ltv
The words in DIR/ltv/fault, when there are any, spoil those:
  ocsp-garbage, crl-garbage   HTTP 200 with bytes that are no answer
  ocsp-500, ocsp-404,         that HTTP status
  crl-404, ca-crl-404
  ocsp-slow                   the answer after SLOW seconds
  ocsp-foreign                an answer signed by the root, which may not
                              answer for the CA's certificates
  ocsp-trylater               a "tryLater" answer
  ocsp-presigned, ocsp-old    the answer in DIR/ltv/ocsp-presigned.der or
                              DIR/ltv/ocsp-old.der (made by the test)
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
# TimeStampResp { status { status rejection(2) } }
REJECTION = bytes.fromhex("3005300302 0102".replace(" ", ""))
# OCSPResponse { responseStatus tryLater(3) }
TRY_LATER = bytes.fromhex("30030a0103")
SHA256_OID = bytes.fromhex("0609608648016503040201")


def openssl(query, *args):
    """openssl ARGS with the query in the file of "{q}" and the answer taken
    from the file of "{r}"."""
    with tempfile.TemporaryDirectory(dir=DIR) as work:
        q = os.path.join(work, "q.der")
        r = os.path.join(work, "r.der")
        with open(q, "wb") as f:
            f.write(query)
        subprocess.run(["openssl"] + [a.format(q=q, r=r) for a in args], check=True, capture_output=True)
        with open(r, "rb") as f:
            return f.read()


# `openssl ts -reply` counts its serial numbers in a file: one at a time.
SERIAL = threading.Lock()


def reply(query, section="test_tsa"):
    with SERIAL:
        return openssl(query, "ts", "-reply", "-config", os.path.join(DIR, "tsa.cnf"), "-section", section,
                       "-queryfile", "{q}", "-out", "{r}")


def faults():
    try:
        with open(os.path.join(LTV, "fault")) as f:
            return f.read().split()
    except FileNotFoundError:
        return []


def ocsp_reply(query, signer):
    return openssl(query, "ocsp", "-index", os.path.join(LTV, "ca-index.txt"), "-CA", os.path.join(LTV, "ca.pem"),
                   "-rsigner", os.path.join(LTV, signer + ".pem"), "-rkey", os.path.join(LTV, signer + ".key"),
                   "-nmin", "60", "-reqin", "{q}", "-respout", "{r}")


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
        elif "crl-garbage" in faults():
            self.answer(b"garbage", "application/pkix-crl")
        else:
            with open(os.path.join(LTV, "crl", crls[self.path]), "rb") as f:
                self.answer(f.read(), "application/pkix-crl")

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path == "/ocsp":
            spoilt = faults()
            kept = [f for f in ("ocsp-presigned", "ocsp-old") if f in spoilt]
            if "ocsp-500" in spoilt or "ocsp-404" in spoilt:
                self.send_error(500 if "ocsp-500" in spoilt else 404)
            elif "ocsp-garbage" in spoilt:
                self.answer(b"garbage", "application/ocsp-response")
            elif "ocsp-trylater" in spoilt:
                self.answer(TRY_LATER, "application/ocsp-response")
            elif kept:
                with open(os.path.join(LTV, kept[0] + ".der"), "rb") as f:
                    self.answer(f.read(), "application/ocsp-response")
            else:
                if "ocsp-slow" in spoilt:
                    time.sleep(SLOW)
                self.answer(ocsp_reply(query, "root" if "ocsp-foreign" in spoilt else "ocsp"),
                            "application/ocsp-response")
            return
        if self.path == "/status500":
            self.send_error(500)
            return
        if self.path == "/auth" and self.headers.get("Authorization") != \
                "Basic " + base64.b64encode(b"tsa:secret").decode():
            self.send_error(401)
            return
        if self.path == "/slow":
            time.sleep(SLOW)
        if self.path == "/reject":
            body = REJECTION
        else:
            if self.path == "/wrong":
                # the first byte of the digest: the OCTET STRING behind the OID
                at = query.index(b"\x04\x20", query.index(SHA256_OID)) + 2
                query = query[:at] + bytes([query[at] ^ 0xFF]) + query[at + 1:]
            body = reply(query, "big_tsa" if self.path == "/big" else "test_tsa")
        self.answer(body, "application/timestamp-reply")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
