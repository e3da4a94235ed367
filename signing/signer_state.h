// The signing certificate's selection and details: one copy per thread,
// kept from one signing call and one run to the next.
//
// A plain record with no code, so that the PDF-update code can read it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/refusal.h"

namespace corvane {

// Hands a content to `sink` piece by piece, in order; false when the content
// could not be read whole.
using ContentSink = std::function<void(std::span<const std::uint8_t>)>;
using ContentFeed = std::function<bool(const ContentSink& sink)>;
namespace signing {
class Certificate;
}

struct SignerState {
  // Unique key-container name of the signing certificate; empty until known.
  std::string containerName;
  // The certificate chosen for the current run only (nickname, SHA-256
  // fingerprint or unique container name); while set it is used instead of
  // containerName, and neither the settings nor the chooser are consulted.
  std::string runSelection;
  // Why the last lookup found no certificate to sign with ("the selected
  // certificate NAME is not in the store", a token's login problem); empty
  // when it found one.
  platform::Refusal refusal;
  // The certificate found for the selection `foundFor`, kept so that the
  // store is opened and searched once per thread while the selection stays
  // the same. Empty when the last lookup matched nothing.
  std::string foundFor;
  std::shared_ptr<signing::Certificate> found;
  // `found` is the store's last certificate, taken because the selection
  // matched nothing (lastcertfallback); the run logs that once, and
  // fallbackLogged says it has (reset at the start of each run).
  bool foundByFallback = false;
  bool fallbackLogged = false;
  // Subject common name, subject e-mail and subject DNS name of the
  // certificate last used (UTF-8).
  std::string signerName;
  std::string signerEmail;
  std::string signerDnsName;
  // DER of that certificate as lower-case hex.
  std::string certificateHex;
  // The signer's user name for the e-mail cache (UTF-8).
  std::string userName;
};

}  // namespace corvane
