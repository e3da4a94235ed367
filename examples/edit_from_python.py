#!/usr/bin/env python3
"""Drive corvanepdf.edit from Python with the corvanepdf module (ctypes only).

    python3 edit_from_python.py                 # show a fresh object
    python3 edit_from_python.py IN.pdf OUT.pdf  # ... and sign IN.pdf into OUT.pdf
    python3 edit_from_python.py IN.pdf OUT.pdf append|rebuild   # ... in that mode

The module is installed into the system's Python path with the package; from
a source tree it is taken from ../python. The library is loaded from
$CORVANEPDF_LIBRARY, else as libcorvanepdf.so.1 from the system's library
path.
"""
import os
import sys

try:
    import corvanepdf
except ImportError:
    sys.path.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
    import corvanepdf


def main(argv):
    try:
        edit = corvanepdf.Edit()
    except (OSError, corvanepdf.Error) as error:
        print("cannot create corvanepdf.edit: %s" % error, file=sys.stderr)
        return 1
    with edit:
        print("pdfeditloaded:", edit.pdfeditloaded)
        print("pdfloaded:", edit.pdfloaded)
        print("reason:", edit.reason)
        print("string2byte('AB'):", " ".join(str(b) for b in edit.string2byte("AB")))
        print("appendmode:", edit.appendmode)
        if len(argv) >= 3:
            edit.pdfpath = argv[1]
            edit.savepath = argv[2]
            if len(argv) == 4:
                # "append" keeps earlier signatures valid; "rebuild" rewrites the document.
                edit.appendmode = argv[3] == "append"
            signed = edit.signit()
            print("signit:", signed)
            # Why signit failed, or why the signed file was not written ("" when all went well).
            print("lasterror:", edit.last_error)
            # Its kind, for a program to act on (NOT_WRITTEN: signed, but not written).
            print("lasterrorcode:", edit.last_error_code.name)
            return 0 if edit.last_error_code == corvanepdf.ErrorCode.NONE else 1
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
