// Where the /Contents slot of an appended signature dictionary lies, and
// the two byte ranges around it that the signature (or timestamp) covers:
// from the file's first byte to the slot's "<", and from just after its ">"
// to the end of the update.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "append/original_document.h"
#include "append/update_writer.h"
#include "rebuild/byte_range_placeholder.h"

namespace corvane::append {

using rebuild::kByteRangePlaceholder;

struct SignatureSlot {
  // Offsets in the update's bytes of the slot's "<" and of the byte after
  // its ">".
  std::size_t slot = 0;
  std::size_t after_slot = 0;
  // The ranges, counted from the start of the file.
  std::int64_t first_length = 0;
  std::int64_t second_start = 0;
  std::int64_t second_length = 0;
};

// Finds the slot of `width` hex digits behind the first "\n/Contents <" of
// the object at `object_index` of `update` (made by write_update for a
// file of `file_size` bytes). "" on success, else one line: a file and
// update larger than a signed file may be (2 GiB), or no such slot.
[[nodiscard]] std::string find_signature_slot(const Update& update, std::size_t object_index,
                                              std::int64_t file_size, std::size_t width, SignatureSlot& slot);

// Writes "/ByteRange [0 a b c" (into `byte_range_text` too) over the first
// placeholder that `text` holds from `from` on; "" on success, else one
// line: there is none, or the numbers do not fit.
[[nodiscard]] std::string fill_byte_range(std::span<std::uint8_t> text, std::size_t from, std::int64_t first_length,
                                          std::int64_t second_start, std::int64_t second_length,
                                          std::string& byte_range_text);

// Hands the signed bytes to `sink`: the document's, read in blocks, then the
// update's around the slot. False when the document cannot be read.
[[nodiscard]] bool feed_signed_bytes(const OriginalDocument& document, const Update& update,
                                     const SignatureSlot& slot,
                                     const std::function<void(std::span<const std::uint8_t>)>& sink);

}  // namespace corvane::append
