#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds three programs against
# it the usual ways: C++ and C through pkg-config, C++ through
# find_package(corvanepdf). Each program then runs against the installed
# library, as does the installed command. Everything lands under the
# prefix, the chooser module included, and the C host creates the object
# without a registration.
#   install_test.sh BUILD_DIR SCRATCH_DIR [SANITIZER_FLAGS]
# SANITIZER_FLAGS: the -fsanitize options the library was built with; the
# programs need them too, so that the sanitizer runtime is loaded first.
set -euo pipefail
build=$1
work=$2
san=${3:-}
rm -rf "$work"
mkdir -p "$work/src"
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
  if (corvanepdf_create_object(CPDF_PROGID_EDIT, &edit) != CPDF_S_OK) {
    printf("create: %s\n", corvanepdf_last_error());
    return 1;
  }
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
  local want=$1
  shift
  local got
  got=$("$@")
  [ "$got" = "$want" ] || fail "$*: got '$got', want '$want'"
}

c++ -std=c++17 -Wall -Wextra -Werror $san "$work/src/consumer.cpp" -o "$work/cpp-consumer" \
  $(pkg-config --cflags --libs corvanepdf) -Wl,-rpath,"$libdir"
expect "65 66 I am the author of this document" "$work/cpp-consumer"

cc -std=c99 -Wall -Wextra -Werror -pedantic $san "$work/src/consumer.c" -o "$work/c-consumer" \
  $(pkg-config --cflags --libs corvanepdf) -Wl,-rpath,"$libdir"
expect "I am the author of this document 0" "$work/c-consumer"

cmake -S "$work/src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$san" > "$work/cmake.log"
cmake --build "$work/cmake-build" > "$work/cmake-build.log"
expect "65 66 I am the author of this document" "$work/cmake-build/consumer"

expect "65 66" "$prefix/bin/corvanepdf" string2byte AB
if [ -n "$(find "$prefix" -name corvane_chooser_qt.so)" ]; then
  # The installed library loads its chooser window module from under the
  # prefix; with no display to reach, the terminal form takes over.
  DISPLAY=:4999 LD_DEBUG=files timeout 60 setsid -w "$prefix/bin/corvanepdf" choose-certificate \
    < /dev/null > "$work/chooser.log" 2>&1 || true
  grep -q "file=$prefix/.*corvane_chooser_qt.so .*dynamically loaded" "$work/chooser.log" ||
    fail "the installed library did not load its chooser module from $prefix"
fi
echo "installed package works"
