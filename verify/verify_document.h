// Verifying every signature of a PDF: where each one is, whether its byte
// ranges cover the file, whether its CMS signature holds, and who signed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "verify/cades_check.h"
#include "verify/cms_check.h"

namespace corvane::verify {

struct SignatureReport {
  std::string field_name;   // "" when the field has none
  bool valid = false;       // well-formed ranges and a signature that matches them
  std::string problem;      // why not valid; "" when valid
  SignerDetails signer;     // signing_time from the signed attribute, else from /M
  bool covers_whole_file = false;
  std::uint64_t signed_end = 0;  // where the signed bytes end; 0 when the ranges are not usable
  // "PKCS#7", "PAdES B-B", "PAdES B-T", ...; "" when the signature could not be read.
  std::string format;
  FormatFacts format_facts;
};

struct DocumentReport {
  bool opened = false;
  std::string error;        // why the document or the store could not be read; "" when opened
  std::uint64_t file_size = 0;
  std::vector<SignatureReport> signatures;
};

// Verifies the document at `path`, opened with `password` ("" for none).
// Never throws; a document that cannot be read gives `opened` false.
[[nodiscard]] DocumentReport verify_document(const std::string& path, const std::string& password);

// True when the document has at least one signature and every signature is
// valid and covers the whole file. Trust in the signers is not required:
// it is reported, and whom to trust is the reader's decision.
[[nodiscard]] bool all_signatures_hold(const DocumentReport& report);

}  // namespace corvane::verify
