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
};

// Every certificate of the store; nullopt with `error` filled when the store
// cannot be opened. `login_problem` gets why a token's keys are missing
// (its login failed), else "".
[[nodiscard]] std::optional<std::vector<CertificateListing>> list_store(std::string& error,
                                                                        std::string& login_problem);

}  // namespace corvane::signing
