// Document timestamps: an RFC 3161 token over a whole document, added as an
// incremental update after its last byte. The update holds an invisible
// signature field on the first page whose value is a /DocTimeStamp
// dictionary (/SubFilter /ETSI.RFC3161) with the authority's token in
// /Contents; every earlier signature keeps covering what it signed.
#pragma once

#include <string>

#include "platform/refusal.h"

namespace corvane::doctimestamp {

struct DocumentTimestampRequest {
  std::string input;
  std::string output;  // may name the input: it is replaced in one step
  std::string password;  // of an encrypted input ("" for none)
  // The authority's URL; "" for the setting tsaurl. Its user name, timeout
  // and password come from the settings as for a signature's timestamp.
  std::string tsa_url;
};

struct DocumentTimestampResult {
  // Why nothing was written (its code and one line); empty when the
  // output was written.
  platform::Refusal refusal;
  std::string field_name;  // the new field's name (UTF-8)
  std::string time;        // the token's time, "2026-12-05 21:50:12 UTC"
  std::string authority;   // the authority named in the token
};

// Refuses (kBadOption), without a log line, when no authority is given or
// set or its password file cannot be read. Opens `input` (an encrypted one keeps its encryption; the token in
// /Contents is not encrypted), asks the authority once for the size of its
// tokens and once for the token over the SHA-256 of the update's byte
// ranges, and writes the input followed by the update to `output` (an
// unnamed file linked in at the end). Refuses, writing nothing, a document
// that cannot be read (with open's codes: kNoSuchFile, kPasswordMissing,
// kPasswordRefused, kDocumentLayout), any failure of the authority
// (kTimestampAuthority: no answer within its timeout, a refusal, a token for
// another imprint), an input replaced by another run meanwhile
// (kChangedWhileSigning) and an output that cannot be written (kNotWritten,
// the file system's reason as the cause). The log names the authority's URL
// and HTTP status. Never throws.
[[nodiscard]] DocumentTimestampResult add_document_timestamp(const DocumentTimestampRequest& request);

}  // namespace corvane::doctimestamp
