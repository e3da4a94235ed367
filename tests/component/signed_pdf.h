// Checks of a signed PDF by programs nobody here wrote (pdfsig, openssl,
// and qpdf and poppler through test_support.h) and by reading its bytes.
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
// Number of pages (qpdf --show-npages); -1 when qpdf cannot tell.
int page_count(const std::filesystem::path& pdf, const std::string& password);

// The four numbers of the last /ByteRange in the file.
std::optional<std::array<std::int64_t, 4>> byte_range_of(const std::string& file);
// The bytes `range` covers, and the bytes of its slot (the DER signature
// and the zeros padding it).
std::string covered_bytes(const std::string& file, const std::array<std::int64_t, 4>& range);
std::string slot_bytes(const std::string& file, const std::array<std::int64_t, 4>& range);
// `openssl cms -verify` of the signature in the slot over the bytes the
// ranges cover, against `ca_file` (the fixture CA when empty); its output
// when it fails, else "".
std::string openssl_problems(const std::string& file, const std::array<std::int64_t, 4>& range,
                             const std::filesystem::path& ca_file = {});

// The trailer's /Size; -1 when there is none.
int trailer_size(const std::string& file);
// Every problem of the file's (last) cross-reference table: an entry that
// does not point at its object's header, a subsection count other than
// /Size, a startxref that does not point at "xref". Empty when none.
std::string xref_problems(const std::string& file);

}  // namespace corvane::test
