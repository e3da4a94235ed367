// NSS for verifying: the user's certificate store (signing's database) when
// it opens, else NSS without any store, so that signatures can still be
// checked while their signers' trust cannot. Set up once per process.
#pragma once

#include <string>

namespace corvane::verify {

struct VerificationStore {
  bool ready = false;          // NSS can check signatures
  bool trust_anchors = false;  // the certificate store is open: trust can be checked
  std::string problem;         // why the store is not open; "" when it is
};

[[nodiscard]] const VerificationStore& verification_store();

}  // namespace corvane::verify
