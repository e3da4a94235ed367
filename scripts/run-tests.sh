#!/usr/bin/env bash
# Installs what the build needs, builds corvanepdf, runs the whole test
# suite and tests the Debian package. Run as root on a fresh Debian 12 machine (it installs packages).
#   scripts/run-tests.sh            the default build
#   scripts/run-tests.sh sanitize   the same under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2
# The Debian package, installed on this machine and used from there (root
# only; the sanitizer build is not packaged).
if [ "$preset" = default ]; then
  bash tests/package/deb_test.sh build
fi
