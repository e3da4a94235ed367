// What a signature dictionary holds in /ByteRange until the ranges are
// known: "0" and 32 blanks, so the three numbers and their blanks may take
// 45 characters in all. Both modes write it, and append mode and the
// document timestamp find their slot's ranges by it.
#pragma once

#include <string_view>

namespace corvane::rebuild {

inline constexpr std::string_view kByteRangePlaceholder = "/ByteRange [0                                ]";

}  // namespace corvane::rebuild
