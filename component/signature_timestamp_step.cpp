// The timestamp of a signing run: room for the token in the signature slot
// before the file is laid out, and the token added to the signature before
// it is written into the slot. Both ask the authority of the run's options;
// an authority that fails refuses the run.
#include "component/signit_steps.h"
#include "signing/hex.h"
#include "timestamp/signature_timestamp.h"

namespace corvane::component {

std::optional<std::vector<std::uint8_t>> bytes_of_hex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    int value = 0;
    for (const char c : hex.substr(2 * i, 2)) {
      if (c >= '0' && c <= '9') value = value * 16 + (c - '0');
      else if (c >= 'a' && c <= 'f') value = value * 16 + (c - 'a' + 10);
      else return std::nullopt;
    }
    bytes[i] = static_cast<std::uint8_t>(value);
  }
  return bytes;
}

Refusal reserve_timestamp_room(Edit& edit, ComponentState& state) {
  state.signer.slotReserveHex = 0;
  if (!edit.signatureOptions.tsa) return {};
  const timestamp::TokenRoom room = timestamp::measure_token_room(*edit.signatureOptions.tsa);
  if (!room.refusal.empty()) return room.refusal;
  state.signer.slotReserveHex = static_cast<std::int32_t>(2 * room.bytes);
  return {};
}

Refusal timestamp_signature(const Edit& edit, std::string& signature_hex) {
  if (!edit.signatureOptions.tsa) return {};
  const auto signature = bytes_of_hex(signature_hex);
  if (!signature) return "the signature to timestamp is not hex text";
  const timestamp::StampedSignature stamped = timestamp::stamp_signature(*edit.signatureOptions.tsa, *signature);
  if (!stamped.refusal.empty()) return stamped.refusal;
  signature_hex = signing::lower_hex(stamped.signature);
  return {};
}

}  // namespace corvane::component
