#include "cli/signed_by.h"

#include "verify/verify_document.h"

namespace corvane::cli {

std::string signer_of(const std::string& path, const std::string& password) {
  const verify::DocumentReport report = verify::verify_document(path, password);
  return report.signatures.empty() ? std::string() : report.signatures.back().signer.subject;
}

}  // namespace corvane::cli
