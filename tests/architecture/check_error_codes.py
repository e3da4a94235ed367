#!/usr/bin/env python3
"""check_error_codes.py SOURCE_DIR: fails when the Python module's ErrorCode
names other kinds or numbers than the one list, platform/error_codes.h (the
C header's numbers are checked against it when the component is compiled)."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
listed = {name: int(number) for name, number in
          re.findall(r"X\(k\w+, (\w+), (\d+)\)", (root / "platform/error_codes.h").read_text())}
module = (root / "python/corvanepdf.py").read_text()
python = {name: int(number) for name, number in
          re.findall(r"^    (\w+) = (\d+)$", module.split("class ErrorCode", 1)[1].split("\n\n\n", 1)[0], re.M)}
if not listed or python != listed:
    sys.exit("python/corvanepdf.py: %s differ from platform/error_codes.h" % sorted(set(python.items()) ^ set(listed.items())))
