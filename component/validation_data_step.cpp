// The validation data of a signing run: once the signature is in the
// signed file's bytes, and before anything is written, the ltv module
// fetches the revocation data of the signature's certificates and makes the
// update that adds them in a /DSS. The file and that update are then
// written together, so a server that fails leaves nothing written.
#include "component/signit_steps.h"
#include "ltv/dss_update.h"
#include "platform/hex.h"

namespace corvane::component {
namespace {

// The update that adds the validation data of `signature_hex` to the signed
// file `signed_file`.
Refusal validation_data_update(const Edit& edit, incremental::OriginalDocument& signed_file,
                               std::string_view signature_hex, std::string& dss) {
  const auto signature = platform::bytes_from_hex(signature_hex);
  if (!signature) return "the signature in the signed file is not hex text";
  ltv::DssUpdate update = ltv::make_dss_update(signed_file, *signature, edit.signatureOptions.fetch);
  if (!update.refusal.empty()) return update.refusal;
  dss = std::move(update.bytes);
  return {};
}

}  // namespace

Refusal validation_data_after_update(const Edit& edit, const incremental::OriginalDocument& document,
                                     std::string_view update, std::string_view signature_hex, std::string& dss) {
  dss.clear();
  if (!edit.signatureOptions.ltv) return {};
  std::string why;
  auto signed_file = document.with_update(update, edit.pdfpasswd, why);
  if (!signed_file) return "the signed file cannot be read for its validation data: " + why;
  return validation_data_update(edit, *signed_file, signature_hex, dss);
}

Refusal append_validation_data(Edit& edit) {
  if (!edit.signatureOptions.ltv) return {};
  ByteBuffer& file = edit.documentBytes;
  std::string why;
  auto signed_file = incremental::OriginalDocument::in_memory(std::span(file.data(), file.size()), edit.pdfpasswd, why);
  if (!signed_file) return "the signed file cannot be read for its validation data: " + why;
  const std::string_view slot(reinterpret_cast<const char*>(file.data()) + edit.contentsStart + 1,
                              static_cast<std::size_t>(edit.secondRangeStart - edit.contentsStart - 2));
  std::string dss;
  if (Refusal refusal = validation_data_update(edit, *signed_file, slot, dss); !refusal.empty()) return refusal;
  signed_file.reset();
  file.insert(file.end(), dss.begin(), dss.end());
  return {};
}

}  // namespace corvane::component
