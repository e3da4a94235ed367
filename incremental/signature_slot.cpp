#include "incremental/signature_slot.h"

#include <limits>
#include <string_view>

namespace corvane::incremental {
namespace {

constexpr std::string_view kContentsKey = "\n/Contents <";

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

bool feed_signed_bytes(const OriginalDocument& document, const Update& update, const SignatureSlot& slot,
                       const std::function<void(std::span<const std::uint8_t>)>& sink) {
  if (!document.read_blocks(sink)) return false;
  const std::string_view bytes = update.bytes;
  sink(bytes_of(bytes.substr(0, slot.slot)));
  sink(bytes_of(bytes.substr(slot.after_slot)));
  return true;
}

}  // namespace corvane::incremental
