#!/usr/bin/env bash
# Installs what the build needs, builds corvanepdf and runs the whole test
# suite. Run as root on a fresh Debian 12 machine (it installs packages).
#   scripts/run-tests.sh            the default build
#   scripts/run-tests.sh sanitize   the same under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2
