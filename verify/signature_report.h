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

#include "verify/after_signature.h"
#include "verify/cades_check.h"
#include "verify/cms_check.h"

namespace corvane::verify {

// The fields a signature locks (its field's /Lock and its FieldMDP
// reference): none, all, those listed, or all but those listed.
struct FieldLocks {
  enum class Action { kNone, kAll, kInclude, kExclude } action = Action::kNone;
  std::vector<std::string> fields;
  [[nodiscard]] bool locks(const std::string& field) const;
};

struct SignatureReport {
  // From the signature dictionary.
  std::string field_name;   // "" when the field has none
  // A document timestamp (/SubFilter /ETSI.RFC3161): an authority's token
  // over the byte ranges instead of a signer's signature. Its signer is the
  // authority (subject, the token's time, SHA-256), its timestamp facts in
  // format_facts.timestamp; it is valid when the token's signature holds and
  // its imprint is the digest of the ranges; its authority is trusted when
  // its certificate chains to one the store trusts as an authority.
  bool document_timestamp = false;
  // The signature itself: well-formed ranges and a CMS signature that
  // matches them (check_ranges, check_cms).
  bool valid = false;
  std::string problem;      // why not valid; "" when valid
  SignerDetails signer;     // signing_time from the signed attribute, else from /M; trust
  // What the signature covers (check_ranges).
  bool covers_whole_file = false;
  std::uint64_t signed_end = 0;  // where the signed bytes end; 0 when the ranges are not usable
  std::vector<long long> byte_range;  // the dictionary's /ByteRange numbers; empty when not all integers
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
  // What the later revisions did, and whether it is permitted
  // (check_later_revisions, then judge_permissions).
  AfterSignature after;
  // The signature dictionary's object (number, generation); 0 when direct.
  int object_number = 0;
  int object_generation = 0;
  // 1, 2 or 3 when this signature certifies the document (/Perms /DocMDP
  // names it; its /P); 0 for an approval signature.
  int certification = 0;
  FieldLocks locks;
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
  kHolds = 0,       // every signature valid, followed by nothing it does not permit, its signer trusted
  kBroken = 1,      // no signer's signature, one invalid, or a change after one that it does not permit
  kUnreadable = 2,  // the file or the document could not be read
  kUntrusted = 3,   // all valid and permitted, but a signer or timestamp authority not trusted (or not
                    // checked) or a weak digest
};

// True when the document has a signer's signature (not only document
// timestamps) and every signature is valid and followed only by changes it
// permits, whoever signed it.
[[nodiscard]] bool all_signatures_hold(const DocumentReport& report);

// True when a signature is a signer's, not a document timestamp.
[[nodiscard]] bool has_signer(const DocumentReport& report);

[[nodiscard]] Verdict verdict_of(const DocumentReport& report);

// "validation data", "signing", "form filling", "annotations", "other";
// "nothing" for kNone.
[[nodiscard]] const char* change_level_name(ChangeLevel level);

// "DocMDP P2 (form filling and signing allowed)" for a certification's /P.
[[nodiscard]] std::string certification_text(int p);

}  // namespace corvane::verify
