// The validation data of a signing run: once the signature is in the
// signed file, and before it is put in place, the ltv module
// fetches the revocation data of the signature's certificates and makes the
// update that adds them in a /DSS, appended to the file before it is put
// in place, so a server that fails leaves nothing written.
#include <cerrno>

#include "component/signit_steps.h"
#include "ltv/dss_update.h"
#include "platform/atomic_file.h"
#include "platform/safe_open.h"

namespace corvane::component {
namespace {

// The update that adds the validation data of the run's signature to the
// signed file `signed_file`.
Refusal validation_data_update(const SigningRun& run, append::OriginalDocument& signed_file, std::string& dss) {
  ltv::DssUpdate update = ltv::make_dss_update(signed_file, run.signature, run.request.options.fetch);
  if (!update.refusal.empty()) return update.refusal;
  dss = std::move(update.bytes);
  return {};
}

}  // namespace

Refusal validation_data_after_update(const SigningRun& run, const append::OriginalDocument& document,
                                     std::string_view update, std::string& dss) {
  dss.clear();
  if (!run.request.options.ltv) return {};
  std::string why;
  auto signed_file = document.with_update(update, run.request.password, why);
  if (!signed_file) return "the signed file cannot be read for its validation data: " + why;
  return validation_data_update(run, *signed_file, dss);
}

Refusal append_validation_data(const SigningRun& run, int fd) {
  if (!run.request.options.ltv) return {};
  std::string why;
  auto signed_file = append::OriginalDocument::of_descriptor(fd, run.request.password, why);
  if (!signed_file) return "the signed file cannot be read for its validation data: " + why;
  std::string dss;
  if (Refusal refusal = validation_data_update(run, *signed_file, dss); !refusal.empty()) return refusal;
  const auto end = static_cast<std::uint64_t>(signed_file->base().file_size);
  signed_file.reset();
  if (!platform::write_all_at(fd, dss, end)) {
    std::string why = platform::failure_reason(errno);
    return {ErrorCode::kNotWritten, "the signed file could not be written: " + why, why};
  }
  return {};
}

}  // namespace corvane::component
