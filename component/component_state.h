// The component-wide state: one copy per thread that uses the component,
// shared by every `edit` instance of that thread and never locked. It holds
// what runs leave for the next (a run works on its own copy and writes it
// back when it ends) and the certificate's saved choice and cache. Settings,
// identity and signing keep their own per-thread flags and caches.
#pragma once

#include "rebuild/signing_session.h"
#include "signing/signer_state.h"

namespace corvane::component {

struct ComponentState {
  SigningSession session;
  SignerState signer;
};

// This thread's copy, made on first use and kept until the thread ends.
[[nodiscard]] ComponentState& component_state();

}  // namespace corvane::component
