// The timestamp of a signing run: room for the token in the signature slot
// before the file is laid out, and the token added to the signature before
// it is written into the slot. Both ask the authority of the run's options;
// an authority that fails refuses the run.
#include "component/signit_steps.h"
#include "timestamp/signature_timestamp.h"

namespace corvane::component {

Refusal reserve_timestamp_room(SigningRun& run) {
  run.timestamp_hex = 0;
  if (!run.request.options.tsa) return {};
  const timestamp::TokenRoom room = timestamp::measure_token_room(*run.request.options.tsa);
  if (!room.refusal.empty()) return room.refusal;
  run.timestamp_hex = 2 * room.bytes;
  return {};
}

Refusal timestamp_signature(SigningRun& run) {
  if (!run.request.options.tsa) return {};
  timestamp::StampedSignature stamped = timestamp::stamp_signature(*run.request.options.tsa, run.signature);
  if (!stamped.refusal.empty()) return stamped.refusal;
  run.signature = std::move(stamped.signature);
  return {};
}

}  // namespace corvane::component
