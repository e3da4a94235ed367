#!/usr/bin/env bash
# install_test.sh BUILD_DIR SCRATCH_DIR [SANITIZER_FLAGS]: installs into a
# scratch prefix (everything under it, the chooser module included), builds
# C++ and C programs through pkg-config and C++ through find_package, and runs
# them and the installed command; the C host needs no registration.
# SANITIZER_FLAGS: the library's -fsanitize options, which the programs need too.
set -euo pipefail
build=$1 work=$2 san=${3:-}
rm -rf "$work" && mkdir -p "$work/src"
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
export CORVANE_HKLM=$work/hklm.reg CORVANE_HKCU=$work/hkcu.reg CORVANE_NSSDB=sql:$build/fixtures/nss
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
! grep -E '^-- (Installing|Up-to-date): ' "$work/install.log" | grep -v -- ": $prefix/" ||
  fail "files installed outside $prefix"
[ ! -e "$build/component/corvane_chooser_qt.so" ] || [ -n "$(find "$prefix" -name corvane_chooser_qt.so)" ] ||
  fail "the chooser module is not installed under $prefix"
pc=$(find "$prefix" -name corvanepdf.pc)
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir corvanepdf)

cat > "$work/src/consumer.cpp" <<'CPP'
#include <corvanepdf/edit.hpp>
#include <iostream>
int main() {
  corvanepdf::edit document;
  std::string word = "AB";
  for (auto byte : document.string2byte(word)) std::cout << int(byte) << ' ';
  std::cout << document.reason() << '\n';
}
CPP
cat > "$work/src/consumer.c" <<'C'
#include <corvanepdf/corvanepdf.h>
#include <stdio.h>
int main(void) {
  CpdfDispatch* edit = NULL;
  CpdfVariant v;
  corvanepdf_variant_init(&v);
  if (corvanepdf_create_object(CPDF_PROGID_EDIT, &edit) != CPDF_S_OK) return printf("create: %s\n", corvanepdf_last_error());
  corvanepdf_get_property(edit, "reason", &v);
  printf("%s %u\n", v.value.text.data, (unsigned)corvanepdf_release(edit));
  corvanepdf_variant_clear(&v);
  return 0;
}
C
cat > "$work/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(consumer LANGUAGES CXX)
find_package(corvanepdf 1.0 REQUIRED)
add_executable(consumer consumer.cpp)
target_link_libraries(consumer PRIVATE corvanepdf::corvanepdf)
CMAKE

expect() {  # expect WANT COMMAND...
  local want=$1 got
  shift
  got=$("$@")
  [ "$got" = "$want" ] || fail "$*: got '$got', want '$want'"
}

c++ -std=c++17 -Wall -Wextra -Werror $san "$work/src/consumer.cpp" -o "$work/cpp-consumer" \
  $(pkg-config --cflags --libs corvanepdf) -Wl,-rpath,"$libdir"
expect "65 66 I am the author of this document" "$work/cpp-consumer"

cc -std=c99 -Wall -Wextra -Werror -pedantic $san "$work/src/consumer.c" -o "$work/c-consumer" \
  $(pkg-config --cflags --libs corvanepdf) -Wl,-rpath,"$libdir"
expect "I am the author of this document 0" "$work/c-consumer"

cmake -S "$work/src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$san" > "$work/cmake.log"
cmake --build "$work/cmake-build" > "$work/cmake-build.log"
expect "65 66 I am the author of this document" "$work/cmake-build/consumer"

expect "65 66" "$prefix/bin/corvanepdf" string2byte AB
if [ -n "$(find "$prefix" -name corvane_chooser_qt.so)" ]; then
  # The chooser module is loaded from under the prefix; without a display the terminal form takes over.
  DISPLAY=:4999 LD_DEBUG=files timeout 60 setsid -w "$prefix/bin/corvanepdf" choose-certificate \
    < /dev/null > "$work/chooser.log" 2>&1 || true
  grep -q "file=$prefix/.*corvane_chooser_qt.so .*dynamically loaded" "$work/chooser.log" ||
    fail "the installed library did not load its chooser module from $prefix"
fi
echo "installed package works"
