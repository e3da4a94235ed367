// Text converted to UTF-16LE piece by piece, so that a large text is never
// held twice.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "platform/codepage.h"

namespace corvane::signing {

// Calls `sink` with the UTF-16LE code units of consecutive pieces of `text`
// (about `piece_size` input bytes each). A UTF-8 sequence is never split, so
// the pieces joined equal the conversion of the whole text.
void for_each_utf16le_piece(std::string_view text, platform::TextEncoding encoding, std::size_t piece_size,
                            const std::function<void(std::string_view)>& sink);

}  // namespace corvane::signing
