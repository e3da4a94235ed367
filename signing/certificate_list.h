// The user's store as a list, in the chooser's order: what
// `corvanepdf certificates` prints so that a name for UniqueContainerName can
// be picked without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane::signing {

struct CertificateListing {
  std::string issuer;            // issuer common name
  std::string subject;           // subject common name
  std::string valid_from;        // "yyyy-mm-dd hh:mm:ss", local time
  std::string valid_to;
  std::string unique_container;  // the key's unique container name; "-" without a key
  std::string provider_type;     // "RSA_FULL", "DSS", "UNKNOWN"...; "-" without a key
  bool usable = false;           // signing can use it: a reachable RSA or EC key
  std::string fingerprint;       // SHA-256, colon-separated upper-case hex
  std::string nickname;          // "-" without one
  // For people and --json: the full names, the e-mail address and the
  // validity as ISO 8601 with the offset from UTC.
  std::string subject_name;      // "E=a@b.test,CN=Alex,O=Org"
  std::string issuer_name;
  std::string email;             // "" without one
  std::string valid_from_iso;    // "2026-12-04T14:05:07+01:00"
  std::string valid_to_iso;
  std::string key_type;          // "RSA", "EC", "DSA", another provider type's name; "" without a key
};

// Every certificate of the store; nullopt with `error` filled when the store
// cannot be opened. `login_problem` gets why a token's keys are missing
// (its login failed), else "".
[[nodiscard]] std::optional<std::vector<CertificateListing>> list_store(std::string& error,
                                                                        std::string& login_problem);

}  // namespace corvane::signing
