#include "cli/verify_text_report.h"

#include <algorithm>
#include <optional>
#include <string>

namespace corvane::cli {
namespace {

std::string or_none(const std::string& text, const char* none) { return text.empty() ? none : text; }

const char* holds(std::optional<bool> value) { return !value ? "absent" : *value ? "matches" : "does not match"; }

// The format and, where there are any, the signed attributes, the validation
// data in the document and the timestamp.
void print_format(std::ostream& out, const verify::SignatureReport& s) {
  if (s.format.empty()) return;
  out << "  Format: " << s.format << "\n";
  const verify::FormatFacts& f = s.format_facts;
  if (f.signed_attributes)
    out << "  Signed attributes: message-digest " << holds(f.message_digest_matches) << ", signing-certificate-v2 "
        << holds(f.signing_certificate_matches) << "\n";
  if (!f.validation_data.revoked.empty())
    out << "  Validation data: says " << f.validation_data.revoked << " is revoked\n";
  else if (f.validation_data.covered)
    out << "  Validation data: in the document for the whole chain\n";
  else if (!f.validation_data.missing.empty())
    out << "  Validation data: none in the document for " << f.validation_data.missing << "\n";
  if (!f.timestamp) return;
  const verify::TimestampFacts& t = *f.timestamp;
  const char* stamped = s.document_timestamp ? "the signed bytes" : "the signature";
  out << "  Timestamp: " << or_none(t.time, "unreadable") << " by " << or_none(t.authority, "an unknown authority")
      << ", token " << (t.valid ? "valid" : "invalid") << ", imprint " << (t.imprint_matches ? "matches " : "does not match ")
      << stamped << "\n";
}

// "validation data (permitted)", "form filling: field "Amount" (not
// permitted: the document is not certified)", "other: object 4 1 (new
// generation of the content of page 1)".
std::string after_text(const verify::AfterSignature& after) {
  const verify::LaterChange* change = after.shown();
  if (change == nullptr)
    return after.document_information.empty() ? "nothing but new cross-reference sections (permitted)"
                                              : "document information only (permitted)";
  std::string text = verify::change_level_name(change->level);
  if (change->level == verify::ChangeLevel::kOther)
    return text + ": " + (change->object.empty() ? change->what : "object " + change->object + " (" + change->what + ")");
  if (change->level != verify::ChangeLevel::kValidationData) text += ": " + change->what;
  if (after.permitted) return text + " (permitted)";
  return text + " (not permitted" + (after.refusal.empty() ? "" : ": " + after.refusal) + ")";
}

// The issuer of an untrusted signer and the command that would trust it.
std::string trust_hint(const verify::SignerDetails& signer) {
  if (signer.issuer.empty()) return "";
  const std::string command = signer.issuer_nickname.empty()
                                  ? "corvanepdf trust ISSUER.pem (its certificate), or for this run verify --trust "
                                    "ISSUER.pem"
                                  : "corvanepdf trust '" + signer.issuer_nickname + "'";
  return "  Issuer: " + signer.issuer + ", not trusted for signatures; to trust it: " + command + "\n";
}

void print_signature(std::ostream& out, int number, const verify::SignatureReport& s, std::uint64_t file_size) {
  out << "Signature " << number;
  if (!s.field_name.empty()) out << " (field \"" << s.field_name << "\")";
  out << ":\n";
  out << "  Signer: " << or_none(s.signer.subject, "unknown") << "\n";
  out << "  E-mail: " << or_none(s.signer.email, "none") << "\n";
  out << "  Signing time: " << or_none(s.signer.signing_time, "not given") << "\n";
  out << "  Digest algorithm: " << or_none(s.signer.digest_algorithm, "unknown") << (s.weak_digest ? " (weak)" : "")
      << "\n";
  out << "  Signature: " << (s.valid ? "valid" : "invalid (" + s.problem + ")") << "\n";
  out << "  Certificate: ";
  if (!s.format_facts.validation_data.revoked.empty()) out << "revoked (by the document's validation data)\n";
  else if (s.signer.trusted) out << "trusted\n";
  else if (s.signer.subject.empty() || !s.signer.trust_checked) out << "not checked\n";
  else out << "not trusted (" << s.signer.trust_problem << ")\n" << trust_hint(s.signer);
  // A signature followed by nothing but validation data is whole as signed.
  if (!s.covers_whole_file && s.after.level == verify::ChangeLevel::kValidationData && s.after.permitted)
    out << "  Coverage: covers its revision; after it: validation data\n";
  else if (s.covers_whole_file) out << "  Whole file covered: yes\n";
  else if (s.signed_end == 0) out << "  Whole file covered: no\n";
  else
    out << "  Whole file covered: no (the signed revision ends at byte " << s.signed_end << " of " << file_size
        << ")\n";
  print_format(out, s);
  if (s.certification > 0) out << "  Certification: " << verify::certification_text(s.certification) << "\n";
  if (s.locks.action != verify::FieldLocks::Action::kNone) out << "  Locks: " << locks_text(s.locks) << "\n";
  if (s.revision == 0) return;
  out << "  Revision: " << s.revision << " of " << s.revisions << ", signed bytes 0 to " << s.signed_end
      << " (all but its /Contents)\n";
  if (s.covers_whole_file) {
    out << "  After it: nothing (the signature covers the whole file)\n";
    return;
  }
  out << "  After it: " << after_text(s.after) << "\n";
  if (!s.after.document_information.empty()) {
    out << "  Document information changed after it:";
    for (const std::string& key : s.after.document_information) out << " " << key;
    out << "\n";
  }
}

template <typename Fact>
bool any_signature(const verify::DocumentReport& report, Fact fact) {
  return std::any_of(report.signatures.begin(), report.signatures.end(), fact);
}

}  // namespace

std::string locks_text(const verify::FieldLocks& locks) {
  std::string names;
  for (const std::string& field : locks.fields) names += (names.empty() ? "\"" : ", \"") + field + "\"";
  switch (locks.action) {
    case verify::FieldLocks::Action::kNone: break;
    case verify::FieldLocks::Action::kAll: return "all fields";
    case verify::FieldLocks::Action::kInclude: return "fields " + names;
    case verify::FieldLocks::Action::kExclude: return "all fields but " + (names.empty() ? "none" : names);
  }
  return "";
}

void print_text_report(std::ostream& out, std::ostream& err, const verify::DocumentReport& report) {
  if (!report.trust_checked)
    err << "corvanepdf: " << report.store_problem << "; the signers' trust is not checked\n";
  if (report.signatures.empty()) {
    out << "The document has no signatures.\n";
    return;
  }
  int number = 0;
  for (const auto& signature : report.signatures) print_signature(out, ++number, signature, report.file_size);
  if (!verify::has_signer(report)) {
    out << "The document has no signature, only document timestamps.\n";
    return;
  }
  if (!verify::all_signatures_hold(report)) {
    out << "Not every signature is valid and followed only by changes it permits.\n";
    return;
  }
  if (any_signature(report, [](const verify::SignatureReport& s) { return !s.covers_whole_file; }))
    out << "Every signature is valid; only changes it permits follow each of them.\n";
  else
    out << "Every signature is valid and covers the whole file.\n";
  if (any_signature(report, [](const verify::SignatureReport& s) { return !s.signer.trusted; }))
    out << "Not every signer is trusted.\n";
  if (any_signature(report, [](const verify::SignatureReport& s) { return s.weak_digest; }))
    out << "A signature uses a weak digest algorithm.\n";
}

}  // namespace corvane::cli
