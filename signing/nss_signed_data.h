// CMS SignedData messages signed with a key of the NSS store: detached,
// SHA-256, the chain up to the root, DER; no signed attributes, or the CAdES
// ones when asked.
#pragma once

#include <array>

#include "signing/store_objects.h"

namespace corvane::signing {

class NssSignedData final : public SignedData {
 public:
  bool SetContent(std::span<const std::uint8_t> bytes) override;
  bool SetContent(std::string_view text, platform::TextEncoding encoding) override;
  bool SetContentPieces(std::span<const std::span<const std::uint8_t>> pieces) override;
  bool SetContentFeed(const ContentFeed& feed) override;
  // The key is used once; an EC or DSA signature is written in its DER
  // form (a SEQUENCE of r and s).
  [[nodiscard]] std::optional<platform::ByteArray> Sign(const Signer& signer, bool detached, int encoding,
                                                        platform::CallError& error) override;
  [[nodiscard]] std::optional<std::size_t> LongestMessage(const Signer& signer) const override;

 private:
  std::optional<std::array<std::uint8_t, 32>> digest_;
};

}  // namespace corvane::signing
