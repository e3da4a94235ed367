// Timestamps for CMS signatures: the signature-time-stamp-token unsigned
// attribute, from an RFC 3161 timestamp authority. The signing pipeline's
// entry points.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/refusal.h"
#include "timestamp/tsa_client.h"

namespace corvane::timestamp {

struct StampedSignature {
  // The CMS ContentInfo (DER) with the token added; empty on failure.
  std::vector<std::uint8_t> signature;
  // Why there is none (ErrorCode::kTimestampAuthority); empty on success.
  platform::Refusal refusal;
};

struct TokenRoom {
  // Bytes a signature grows by when its token is added, with a margin.
  std::size_t bytes = 0;
  // Why there is no room (ErrorCode::kTimestampAuthority); empty on success.
  platform::Refusal refusal;
};

// Extra bytes kept in the slot beyond a measured token: two tokens of one
// authority differ in the length of their serial number, time and signature.
inline constexpr std::size_t kTokenMargin = 512;

// Asks the authority for a token over a fixed imprint and returns how much
// room a token of it needs in a signature (its size, the attribute around
// it and kTokenMargin). A failing authority refuses, as request_token says.
[[nodiscard]] TokenRoom measure_token_room(const TsaSettings& settings);

// Adds to the first signer of `cms` (a DER ContentInfo of SignedData) a
// token over the SHA-256 of its signature value, as the unsigned attribute
// signature-time-stamp-token. Everything else of the message is kept byte
// for byte. Never throws.
[[nodiscard]] StampedSignature stamp_signature(const TsaSettings& settings, std::span<const std::uint8_t> cms);

}  // namespace corvane::timestamp
