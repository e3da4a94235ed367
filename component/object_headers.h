// Finding the object headers of a rebuilt document in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::component {

// For every object number k from 1 to `highest` that has room in `offsets`,
// sets offsets[k] to the offset of the first header line "k 0 obj" in the
// buffer, i.e. the offset just past the LF that precedes it, and leaves the
// entry alone when there is no such line. The offsets are those that
// find_bytes(buffer, LF k " 0 obj" LF, 0) + 1 gives one number at a time
// (including its rule that a match may not end on the buffer's last byte),
// found here with a single forward scan. Entries start out 0.
void find_object_headers(const std::uint8_t* data, std::size_t size, std::int32_t highest,
                         std::vector<std::int32_t>& offsets);

}  // namespace corvane::component
