// The signing run. For now it prepares the run (reason, user entry, engine,
// document) and answers false after that; the rebuild of the document comes
// with the signing pipeline.
#include "component/component_state.h"
#include "component/edit.h"
#include "identity/user_identity.h"

namespace corvane::component {

bool Edit::signit() {
  ComponentState& state = component_state();
  if (!reason.empty()) state.session.signingReason = reason;
  if (!username.empty()) {
    state.signer.userName = username;
    (void)identity::ensure_user_entry(username);
  } else {
    state.signer.userName.clear();
  }

  if (!pdfeditloaded) {
    pdfeditloaded = load_engine();
    if (!pdfeditloaded) pdfpath.clear();
  }
  if (pdfeditloaded && !pdfloaded) pdfloaded = pdfpath.empty() ? false : open_document();
  if (!pdfloaded) return false;

  return false;
}

}  // namespace corvane::component
