// The signer and slot of the rebuild's tests.
#pragma once

#include <memory>
#include <string>

#include "rebuild/signature_objects.h"
#include "platform/object_factory.h"

namespace corvane::test {

// The signer's details as the certificate store records them.
inline SignerState alex_signer() {
  SignerState signer;
  signer.signerName = "Alex Signer";
  signer.signerEmail = "alex@example.test";
  signer.certificateHex = "3082ABCD";
  return signer;
}

// A 16-digit PKCS#7 slot.
inline constexpr rebuild::SignatureKind kSmallSlot{16, false};

// The time texts need only that the utilities object can be created: a bare one stands in.
inline platform::ObjectFactory::Override utilities_available() {
  return platform::ObjectFactory::instance().override_class(
      "CAPICOM.Utilities", [] { return std::make_shared<platform::AutomationObject>(); });
}

}  // namespace corvane::test
