// Where a file's revisions end: each incremental update ends with a "%%EOF"
// line.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/byte_source.h"

namespace corvane::verify {

// The offsets just after each revision's "%%EOF" line, in file order: the
// ends of the file's revisions (the last is usually the file's size).
[[nodiscard]] std::vector<std::uint64_t> revision_ends(const platform::ByteSource& file);

}  // namespace corvane::verify
