#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing corvanepdf need.
# Run as root. Safe to run again: apt-get skips what is already installed.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  # build
  build-essential cmake pkg-config
  libqpdf-dev libnss3-dev libldap-dev libsasl2-dev libcli11-dev qt6-base-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # timestamps: HTTP client and RFC 3161 / CMS structures
  libcurl4-openssl-dev libssl-dev
  # run and fixtures
  qpdf libnss3-tools openssl ghostscript
  # tests: validators, directory server, virtual display
  poppler-utils slapd ldap-utils xvfb xauth python3 mupdf-tools
  # tests with a real token: SoftHSM2, and OpenSC's pkcs11-spy to count logins
  softhsm2 opensc opensc-pkcs11
  # manual page, and the JSON output in tests
  pandoc jq
  # benchmarks: peak memory through GNU time
  time
  # fuzzing (scripts/fuzz.sh): clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
)


missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
