// The fuzz entries: each takes one input of arbitrary bytes, runs it through
// one part of the component and checks what must hold for every input. The
// libFuzzer programs call them (built with CORVANE_LIBFUZZER), and the
// regression tests feed them the inputs that once failed.
//
// An entry never throws; a broken expectation ends the process through
// fuzz::fail, which libFuzzer and the test runner both report as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::fuzz {

// A hive file parsed, written, edited in memory and read again.
void reg_entry(std::string_view input);
// A value path LF, a text LF and a hive file: reading, writing and removing
// through the hive files on disk.
void hive_entry(std::string_view input);
// Section, key and value lines, then a profile file: reads and writes.
void profile_entry(std::string_view input);
// A whole file handed to the verifier.
void verify_entry(std::string_view input);
// A directory tree, one child per line: the walk for a user's address.
void directory_entry(std::string_view input);

// Prints `what` and aborts.
[[noreturn]] void fail(const char* what);
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

}  // namespace corvane::fuzz

// Defines libFuzzer's entry point around one of the entries above.
#ifdef CORVANE_LIBFUZZER
#define CORVANE_FUZZ_TARGET(entry)                                                       \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {   \
    entry(std::string_view(reinterpret_cast<const char*>(data), size));                \
    return 0;                                                                            \
  }
#else
#define CORVANE_FUZZ_TARGET(entry)
#endif
