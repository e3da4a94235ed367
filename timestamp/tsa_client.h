// A client of an RFC 3161 timestamp authority over HTTP(S).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/refusal.h"

namespace corvane::timestamp {

// Where and how to ask.
struct TsaSettings {
  std::string url;
  // HTTP basic authentication when `user` is not empty.
  std::string user;
  std::string password;
  // The whole exchange (connection, request, answer) ends after this many
  // seconds.
  long timeout_seconds = 10;
};

using Sha256 = std::array<std::uint8_t, 32>;

// A token, or why there is none.
struct TokenReply {
  // DER of the TimeStampToken (a CMS ContentInfo); empty on failure.
  std::vector<std::uint8_t> token;
  // Why there is no token (kTimestampAuthority); empty when there is one.
  platform::Refusal refusal;
};

// Sends a request for `imprint` (SHA-256, a fresh random nonce, certReq
// true), and checks the answer: HTTP status 200, status granted, version,
// the same imprint and nonce, a token signed by the key of the certificate
// it carries, a certificate for timestamping. One log line names the URL,
// the HTTP status and the outcome. Never throws.
[[nodiscard]] TokenReply request_token(const TsaSettings& settings, const Sha256& imprint);

}  // namespace corvane::timestamp
