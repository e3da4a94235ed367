// A signing double for the PDF-update tests: it records what it was asked to
// sign and fills the signer's details as the certificate store would.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pdfupdate/signature_objects.h"
#include "platform/object_factory.h"

namespace corvane::test {

struct FakeSigner {
  std::string name = "Alex Signer";
  std::string email = "alex@example.test";
  std::string certificate_hex = "3082ABCD";
  std::int32_t signature_hex_length = 16;
  std::vector<std::string> signed_texts;

  pdfupdate::SignContentFn fn() {
    return [this](SignerState& state, std::string_view was) {
      signed_texts.emplace_back(was);
      state.signerName = name;
      state.signerEmail = email;
      state.certificateHex = certificate_hex;
      if (was.empty()) return std::string();
      state.signatureHexLength = signature_hex_length;
      return std::string(static_cast<std::size_t>(signature_hex_length), 'a');
    };
  }
};

// The time texts need only that the certificate library's utilities object
// can be created; a bare automation object stands in for it.
inline platform::ObjectFactory::Override utilities_available() {
  return platform::ObjectFactory::instance().override_class(
      "CAPICOM.Utilities", [] { return std::make_shared<platform::AutomationObject>(); });
}

}  // namespace corvane::test
