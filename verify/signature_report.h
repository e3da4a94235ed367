// What the verifier finds out about each signature of a document, and the
// verdict drawn from it.
//
// One SignatureReport per signature, filled by the checkers that
// verify_document runs one after the other (each owns its own fields), and
// read by the printers. A new fact about a signature is a field here, a
// checker in verify_document.cpp's list and a line in each printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "verify/cades_check.h"
#include "verify/cms_check.h"

namespace corvane::verify {

// What the revisions after a signature's own did.
enum class LaterChanges {
  kNone,             // the signature covers the whole file
  kSignaturesAdded,  // only signature fields, their widgets and appearances,
                     // /Fields, /Annots and /SigFlags growing, /DSS, and new
                     // cross-reference sections
  kContentChanged,   // anything else: contents, resources, other objects
                     // changed or freed
};

struct SignatureReport {
  // From the signature dictionary.
  std::string field_name;   // "" when the field has none
  // A document timestamp (/SubFilter /ETSI.RFC3161): an authority's token
  // over the byte ranges instead of a signer's signature. Its signer is the
  // authority (subject, the token's time, SHA-256), its timestamp facts in
  // format_facts.timestamp; it is valid when the token's signature holds and
  // its imprint is the digest of the ranges. The authority's trust is not
  // judged, as for the timestamps inside signatures.
  bool document_timestamp = false;
  // The signature itself: well-formed ranges and a CMS signature that
  // matches them (check_ranges, check_cms).
  bool valid = false;
  std::string problem;      // why not valid; "" when valid
  SignerDetails signer;     // signing_time from the signed attribute, else from /M; trust
  // What the signature covers (check_ranges).
  bool covers_whole_file = false;
  std::uint64_t signed_end = 0;  // where the signed bytes end; 0 when the ranges are not usable
  // The digest algorithm is one that collisions can be made for (SHA-1, MD5).
  bool weak_digest = false;
  // "PKCS#7", "PAdES B-B", "PAdES B-T", "PAdES B-LT", "PKCS#7 with a
  // timestamp", "document timestamp"; "" when the signature could not be
  // read (check_format).
  std::string format;
  FormatFacts format_facts;
  // The file's revision the signature belongs to (1 = the first) and the
  // number of revisions; 0 when the ranges are not usable
  // (check_later_revisions).
  std::size_t revision = 0;
  std::size_t revisions = 0;
  // What the later revisions did, and for content changed the first change.
  LaterChanges later_changes = LaterChanges::kNone;
  std::string later_detail;
};

struct DocumentReport {
  bool opened = false;
  std::string error;        // why the document could not be read; "" when opened
  std::uint64_t file_size = 0;
  // False when no certificate store could be opened: signatures are
  // checked, their signers' trust is not (store_problem says why).
  bool trust_checked = false;
  std::string store_problem;
  std::vector<SignatureReport> signatures;
};

// The verdict on a document, as the verify command's exit status.
enum class Verdict : int {
  kHolds = 0,       // every signature valid, followed by nothing but signatures, its signer trusted
  kBroken = 1,      // no signature, one invalid, or the document's content changed after one
  kUnreadable = 2,  // the file or the document could not be read
  kUntrusted = 3,   // all valid, only signatures after them, but a signer not trusted (or not checked) or a weak
                    // digest; a document timestamp's authority does not count here
};

// True when the document has at least one signature and every signature
// (document timestamps included) is valid and either covers the whole file
// or is followed only by added signatures, whoever signed it.
[[nodiscard]] bool all_signatures_hold(const DocumentReport& report);

[[nodiscard]] Verdict verdict_of(const DocumentReport& report);

}  // namespace corvane::verify
