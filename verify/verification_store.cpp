#include "verify/verification_store.h"

#include <nss.h>

#include <mutex>

#include "signing/nss_database.h"
#include "verify/trust_anchors.h"

namespace corvane::verify {

const VerificationStore& verification_store() {
  static VerificationStore store;
  static std::once_flag once;
  std::call_once(once, [] {
    if (signing::ensure_database(store.problem)) {
      store.ready = store.trust_anchors = true;
      store.problem.clear();
      return;
    }
    // Without the store, NSS still decodes messages and checks signatures,
    // and trust against the authorities added for the run.
    store.ready = NSS_IsInitialized() || NSS_NoDB_Init(nullptr) == SECSuccess;
    store.trust_anchors = store.ready && has_added_anchors();
  });
  return store;
}

}  // namespace corvane::verify
