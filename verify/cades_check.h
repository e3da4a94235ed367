// What a signature holds beyond the signature itself: its format (plain
// PKCS#7 or CAdES with signed attributes), whether the CAdES attributes
// match the signed bytes and the signer's certificate, and the timestamp of
// the signature with its authority and validity.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "verify/authority_trust.h"
#include "verify/cms_check.h"
#include "verify/validation_data.h"

namespace corvane::verify {

struct TimestampFacts {
  std::string time;              // "2026-12-05 21:50:12 UTC"
  std::string authority;         // the authority's name
  bool valid = false;            // the token's signature holds (trust in the authority not judged)
  bool imprint_matches = false;  // the token timestamps this signature's value
  std::string problem;           // "" when valid and matching
};

struct FormatFacts {
  // The message carries the content it signs (eContent) instead of being
  // detached from it.
  bool encapsulated_content = false;
  bool signed_attributes = false;
  // nullopt when the attribute is absent (or the message unreadable).
  std::optional<bool> message_digest_matches;
  std::optional<bool> signing_certificate_matches;
  std::optional<TimestampFacts> timestamp;  // nullopt without a signature-time-stamp-token
  // Whether the document's /DSS covers the chain the message carries.
  ChainCoverage validation_data;
};

class SignatureMessage;

// Reads the first signer of the decoded `message` and checks the chain it
// carries against the document's validation data `dss`. `digest` is asked
// for only when the message has a message-digest attribute. Never throws;
// a message without a signer gives the empty facts.
[[nodiscard]] FormatFacts read_format_facts(const SignatureMessage& message, const SignedDigest& digest,
                                            const DocumentValidationData& dss);

// A document timestamp's token read once: its facts and its authority's trust.
struct DocumentTimestamp {
  TimestampFacts facts;
  AuthorityTrust authority;
};

// The facts of a document timestamp's `token` (DER): its time and
// authority, whether its signature holds and whether its imprint is the
// SHA-256 `digest` gives; and whether the store trusts its authority.
// Never throws; an unreadable token or content gives facts with `problem`
// set.
[[nodiscard]] DocumentTimestamp read_document_timestamp(std::span<const std::uint8_t> token,
                                                        const SignedDigest& digest);

// "PAdES B-LT", "PAdES B-T", "PAdES B-B", "PKCS#7 with a timestamp",
// "PKCS#7" from the /SubFilter and the facts.
[[nodiscard]] std::string format_name(const std::string& sub_filter, const FormatFacts& facts);

}  // namespace corvane::verify
