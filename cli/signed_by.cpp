#include "cli/signed_by.h"

#include "cli/sign_messages.h"
#include "signing/certificate_list.h"
#include "signing/sign_content.h"
#include "verify/verify_document.h"

namespace corvane::cli {
namespace {

// The subject of the store's certificate that `name` names (unique
// container name, nickname or SHA-256 fingerprint); "".
std::string store_subject(const std::string& name) {
  if (name.empty()) return {};
  signing::register_signing_classes();
  std::string error;
  std::string login_problem;
  const auto list = signing::list_store(error, login_problem);
  if (!list) return {};
  for (const auto& certificate : *list)
    if (certificate.unique_container == name || certificate.nickname == name ||
        signing::names_fingerprint(certificate.fingerprint, name))
      return certificate.subject;
  return {};
}

}  // namespace

std::string signer_of(const std::string& path, const std::string& password, const std::string& certificate) {
  if (std::string subject = store_subject(certificate.empty() ? configured_container() : certificate);
      !subject.empty())
    return subject;
  // Chosen in a way the store cannot tell: read back from the file.
  const verify::DocumentReport report = verify::verify_document(path, password);
  if (report.signatures.empty()) return {};
  const verify::SignerDetails& signer = report.signatures.back().signer;
  return signer.common_name.empty() ? signer.subject : signer.common_name;
}

}  // namespace corvane::cli
