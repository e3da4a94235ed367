// Checks of a signed PDF by programs nobody here wrote (pdfsig, openssl; qpdf and poppler through
// test_support.h) and by reading its bytes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {

// What `pdfsig` says of the file, checked against the fixture store.
std::string pdfsig_report(const std::filesystem::path& pdf, const std::string& password);
std::optional<std::array<std::int64_t, 4>> byte_range_of(const std::string& file);  // the last /ByteRange
// The bytes `range` covers, and the bytes of its slot (the DER signature and the zeros padding it).
std::string covered_bytes(const std::string& file, const std::array<std::int64_t, 4>& range);
std::string slot_bytes(const std::string& file, const std::array<std::int64_t, 4>& range);
// `openssl cms -verify` of the slot's signature over the covered bytes against `ca_file` (the fixture CA
// when empty); its output when it fails, else "".
std::string openssl_problems(const std::string& file, const std::array<std::int64_t, 4>& range,
                             const std::filesystem::path& ca_file = {});


}  // namespace corvane::test
