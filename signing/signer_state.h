// The signing certificate's saved choice, its cache and the details of the
// certificate last used: one copy per thread, kept from one signing call and
// one run to the next.
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

// What a signature shows of its certificate: subject common name, subject
// e-mail and subject DNS name (UTF-8), and the certificate's DER as
// lower-case hex. A signing run carries the selected signer's own copy.
struct SignerDetails {
  std::string signerName;
  std::string signerEmail;
  std::string signerDnsName;
  std::string certificateHex;
};

// The details are those of the certificate last used on this thread.
struct SignerState : SignerDetails {
  // Unique key-container name of the saved choice of certificate; empty
  // until known (from the settings or the chooser).
  std::string containerName;
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
  // matched nothing (lastcertfallback); every lookup that hands it out logs
  // that.
  bool foundByFallback = false;
  // The signer's user name for the e-mail cache (UTF-8).
  std::string userName;
};

}  // namespace corvane
