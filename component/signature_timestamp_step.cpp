// The timestamp of a signing run: room for the token in the signature slot
// before the file is laid out, and the token added to the signature before
// it is written into the slot. Both ask the authority of the run's options;
// an authority that fails refuses the run.
#include "component/signit_steps.h"
#include "platform/hex.h"
#include "timestamp/signature_timestamp.h"

namespace corvane::component {

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
  const auto signature = platform::bytes_from_hex(signature_hex);
  if (!signature) return "the signature to timestamp is not hex text";
  const timestamp::StampedSignature stamped = timestamp::stamp_signature(*edit.signatureOptions.tsa, *signature);
  if (!stamped.refusal.empty()) return stamped.refusal;
  signature_hex = platform::lower_hex(stamped.signature);
  return {};
}

}  // namespace corvane::component
