// CMS SignedData messages made with NSS: detached, SHA-256, the chain up to
// the root, DER; no signed attributes, or the CAdES ones when asked.
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
  // An EC or DSA signature is written in its DER form (a SEQUENCE of r and s).
  [[nodiscard]] std::optional<platform::ByteArray> Sign(const Signer& signer, bool detached, int encoding,
                                                        platform::CallError& error) override;
  [[nodiscard]] std::size_t SlotHeadroom() const override { return headroom_; }

 private:
  std::optional<std::array<std::uint8_t, 32>> digest_;
  std::size_t headroom_ = 0;
};

}  // namespace corvane::signing
