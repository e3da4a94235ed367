#!/usr/bin/env python3
"""Makes a one-page PDF with N signed signature fields for the verify
benchmark: each field has a widget on the page and a signature dictionary of
its own, and all of them point at one /Contents slot and one /ByteRange,
signed once with `openssl cms` (as a form whose fields were signed together
would be checked: every field read, every dictionary checked).

    bench/make_signed_fields.py N SIGNER.crt SIGNER.key CA.crt OUT.pdf [SLOT_BYTES]

SLOT_BYTES (default 8192) sizes the shared slot: 16777215 makes the gap
between the ranges 32 MiB, the largest verify reads.
"""
import subprocess
import sys
import tempfile

def make_pdf(objects):
    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return out


def main():
    count, signer, key, ca, out_path = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
    slot_bytes = int(sys.argv[6]) if len(sys.argv) > 6 else 8192
    placeholder = b"[0 0000000000 0000000000 0000000000]"
    # 1 catalog, 2 pages, 3 page, 4 slot, 5 ranges, then a field with its
    # widget and a signature dictionary for each field.
    fields = [b"%d 0 R" % (6 + 2 * i) for i in range(count)]
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [" + b" ".join(fields) + b"] /SigFlags 3 >> >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [" + b" ".join(fields) + b"] >>",
        b"<" + b"0" * (2 * slot_bytes) + b">",
        placeholder,
    ]
    for i in range(count):
        objects.append(b"<< /T (sig%d) /FT /Sig /Type /Annot /Subtype /Widget /Rect [0 0 0 0] /P 3 0 R /V %d 0 R >>"
                       % (i, 7 + 2 * i))
        objects.append(b"<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached"
                       b" /ByteRange 5 0 R /Contents 4 0 R /M (D:20261206000000Z) >>")
    pdf = make_pdf(objects)
    slot = pdf.index(b"\n<00") + 1
    slot_end = slot + 2 * slot_bytes + 2
    ranges = b"[0 %010d %010d %010d]" % (slot, slot_end, len(pdf) - slot_end)
    at = pdf.index(placeholder)
    pdf[at:at + len(placeholder)] = ranges
    with tempfile.NamedTemporaryFile() as content:
        content.write(pdf[:slot] + pdf[slot_end:])
        content.flush()
        der = subprocess.run(["openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256",
                              "-in", content.name, "-signer", signer, "-inkey", key, "-certfile", ca],
                             check=True, capture_output=True).stdout
    if len(der) > slot_bytes:
        sys.exit("the signature does not fit its slot")
    pdf[slot + 1:slot + 1 + 2 * len(der)] = der.hex().encode()
    with open(out_path, "wb") as out:
        out.write(pdf)


if __name__ == "__main__":
    main()
