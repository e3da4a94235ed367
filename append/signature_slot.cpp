#include "append/signature_slot.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace corvane::append {
namespace {

constexpr std::string_view kContentsKey = "\n/Contents <";
constexpr std::string_view kByteRangeStart = "/ByteRange [0 ";

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string find_signature_slot(const Update& update, std::size_t object_index, std::int64_t file_size,
                                std::size_t width, SignatureSlot& slot) {
  const std::int64_t total = file_size + static_cast<std::int64_t>(update.bytes.size());
  if (total > std::numeric_limits<std::int32_t>::max()) return "the document is too large to sign";
  if (object_index >= update.object_offsets.size()) return "the signature dictionary has no /Contents";
  const auto dictionary_at = static_cast<std::size_t>(update.object_offsets[object_index] - file_size);
  const std::size_t key = update.bytes.find(kContentsKey, dictionary_at);
  if (key == std::string::npos) return "the signature dictionary has no /Contents";
  slot.slot = key + kContentsKey.size() - 1;
  if (slot.slot + 1 + width >= update.bytes.size() || update.bytes[slot.slot + 1 + width] != '>')
    return "the signature dictionary's /Contents is not the reserved slot";
  slot.after_slot = slot.slot + width + 2;
  slot.first_length = file_size + static_cast<std::int64_t>(slot.slot);
  slot.second_start = file_size + static_cast<std::int64_t>(slot.after_slot);
  slot.second_length = total - slot.second_start;
  return {};
}

std::string fill_byte_range(std::span<std::uint8_t> text, std::size_t from, std::int64_t first_length,
                            std::int64_t second_start, std::int64_t second_length, std::string& byte_range_text) {
  byte_range_text = std::string(kByteRangeStart) + std::to_string(first_length) + " " + std::to_string(second_start) +
                    " " + std::to_string(second_length);
  if (byte_range_text.size() >= kByteRangePlaceholder.size())
    return "the byte ranges do not fit into the /ByteRange placeholder";
  const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
  const std::size_t placeholder = from > view.size() ? std::string_view::npos : view.find(kByteRangePlaceholder, from);
  if (placeholder == std::string_view::npos) return "the signature dictionary has no /ByteRange placeholder";
  std::memcpy(text.data() + placeholder, byte_range_text.data(), byte_range_text.size());
  return {};
}

bool feed_signed_bytes(const OriginalDocument& document, const Update& update, const SignatureSlot& slot,
                       const std::function<void(std::span<const std::uint8_t>)>& sink) {
  if (!document.read_blocks(sink)) return false;
  const std::string_view bytes = update.bytes;
  sink(bytes_of(bytes.substr(0, slot.slot)));
  sink(bytes_of(bytes.substr(slot.after_slot)));
  return true;
}

}  // namespace corvane::append
