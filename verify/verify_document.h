// Verifying every signature of a PDF: where each one is, whether its byte
// ranges cover the file, whether its CMS signature holds, who signed and
// whether the signer is trusted.
#pragma once

#include <string>

#include "verify/permissions.h"
#include "verify/signature_report.h"

namespace corvane::verify {

// Verifies the document at `path`, opened with `password` ("" for none).
// The file is opened once, without blocking and without following a link
// that another user owns; only a regular file is read. Memory stays near
// one signature at a time, whatever the number of signatures. Never throws;
// a document that cannot be read gives `opened` false.
[[nodiscard]] DocumentReport verify_document(const std::string& path, const std::string& password);
// The same, with levels of change `permit` allows after the signatures of
// a document no signature certifies.
[[nodiscard]] DocumentReport verify_document(const std::string& path, const std::string& password,
                                             const PermitOptions& permit);

}  // namespace corvane::verify
