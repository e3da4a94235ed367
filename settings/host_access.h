// What a host that opens files and shows settings itself (the command)
// takes from the layers below through settings, so that it reads key and
// password files, writes into its own input and lists the pdf key under
// the same rules as the component.
#pragma once

#include <string>

#include "platform/hives.h"
#include "platform/in_place_lock.h"
#include "platform/secret_file.h"

namespace corvane::settings {

// A key or certificate file (.p12, .pem, .der), read whole up to the bound
// the component sets for such files; links of other users, devices and
// silent FIFOs refused.
using FileRead = platform::FileRead;
[[nodiscard]] inline FileRead read_key_file(const std::string& path) {
  return platform::read_bounded_file(path, platform::kKeyFileLimit);
}
// A password or PIN file ("-" for standard input), bounded like secrets.
[[nodiscard]] inline FileRead read_password_file(const std::string& path) { return platform::read_secret_file(path); }

// Held from reading a document to replacing it when a run writes into its
// own input; problem() says kChangedWhileSigning when another run replaced
// the file meanwhile.
using InPlaceLock = platform::InPlaceLock;
inline constexpr const char* kChangedWhileSigning = platform::kChangedWhileSigning;

// The two hives: which files they are, whether they can be read and
// written, and the values of a key in one of them.
using HiveRoot = platform::HiveRoot;
using HiveValue = platform::HiveValue;
using platform::hive_file_path;
using platform::hive_intact;
using platform::hive_list_values;
using platform::hive_writable;

}  // namespace corvane::settings
