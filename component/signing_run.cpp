// The steps every signing run shares, whichever mode laid the revision out:
// the certificate selected and the slot sized without the key, the one
// signature over the prepared revision, and the slot filled with it.
#include "component/signit_steps.h"

#include "component/bytes.h"
#include "platform/hex.h"
#include "signing/sign_content.h"

namespace corvane::component {

Refusal select_signer(SigningRun& run, SignerState& signer) {
  signing::SelectedSigner selected = signing::select_signer(signer, run.request.selection, run.request.user_name);
  // A certificate that was named but not found (or a token that refused
  // its login) is the reason, whatever else went wrong.
  if (!signer.refusal.empty()) return signer.refusal;
  if (!selected.certificate) {
    return {ErrorCode::kSigningFailed,
            selected.problem.empty() ? "no signature could be made with the selected certificate"
                                     : "no signature could be made: " + one_line(std::move(selected.problem))};
  }
  run.certificate = std::move(selected.certificate);
  run.signer = std::move(selected.details);
  run.signature_hex = signing::longest_signature_hex(run.certificate, run.request.options.pades);
  if (run.signature_hex == 0) return {ErrorCode::kSigningFailed, "no signature could be made with the selected certificate"};
  return {};
}

Refusal build_signature(SigningRun& run, SignerState& signer) {
  std::string why;
  auto signature =
      signing::sign_content(signer, run.certificate, run.revision.signed_bytes, run.request.options.pades, why);
  if (!signature) return {ErrorCode::kSigningFailed, "the signature could not be made with the selected certificate"};
  run.signature = std::move(*signature);
  return timestamp_signature(run);
}

Refusal fill_slot(SigningRun& run) {
  std::string hex = platform::lower_hex(run.signature);
  const std::size_t width = run.revision.slot_width;
  if (hex.empty()) return {ErrorCode::kSigningFailed, "the signature could not be made with the selected certificate"};
  if (hex.size() > width)
    return {ErrorCode::kSigningFailed, "the signature (" + std::to_string(hex.size()) +
                                           " hex digits) is longer than its slot (" + std::to_string(width) + ")"};
  hex.resize(width, '0');
  if (!run.revision.write_slot || !run.revision.write_slot(hex))
    return "the signature could not be written into its slot";
  return {};
}

}  // namespace corvane::component
