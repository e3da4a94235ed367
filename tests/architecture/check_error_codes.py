#!/usr/bin/env python3
"""check_error_codes.py SOURCE_DIR: fails when the C header's CpdfErrorCode or
the Python module's ErrorCode names other kinds or numbers than the one list,
platform/error_codes.h."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
listed = {name: int(number) for name, number in
          re.findall(r"X\(k\w+, (\w+), (\d+)\)", (root / "platform/error_codes.h").read_text())}
abi = (root / "include/corvanepdf/abi.h").read_text()
c_header = {name: int(number) for name, number in
            re.findall(r"CPDF_ERROR_(\w+) = (\d+)", abi.split("enum CpdfErrorCode", 1)[1].split("};", 1)[0])}
module = (root / "python/corvanepdf.py").read_text()
python = {name: int(number) for name, number in
          re.findall(r"^    (\w+) = (\d+)$", module.split("class ErrorCode", 1)[1].split("\n\n\n", 1)[0], re.M)}
status = 0
for where, codes in (("include/corvanepdf/abi.h", c_header), ("python/corvanepdf.py", python)):
    if codes != listed:
        print("%s: %s differ from platform/error_codes.h" % (where, sorted(set(codes.items()) ^ set(listed.items()))))
        status = 1
sys.exit(status if listed else 1)
