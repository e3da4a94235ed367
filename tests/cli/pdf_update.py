"""Hand-made incremental updates for the command-line tests."""
import re


def update(data, objs, size=None):
    """DATA followed by an update that writes OBJS, (number, body) pairs, with
    a cross-reference table whose trailer says /Size SIZE (by default the
    last /Size, raised above every number written)."""
    prev = int(re.findall(rb"startxref\s+(\d+)", data)[-1])
    if size is None:
        size = max(int(re.findall(rb"/Size (\d+)", data)[-1]), max(n for n, _ in objs) + 1)
    out, table = data, []
    for number, body in objs:
        table.append((number, len(out)))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n" + b"".join(b"%d 1\n%010d 00000 n \n" % e for e in sorted(table))
    return out + b"trailer\n<< /Size %d /Root 1 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (size, prev, xref)
