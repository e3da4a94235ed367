// `corvanepdf verify FILE [--password PW]`: prints every signature of a PDF
// with its signer, signing time, digest algorithm, trust and coverage.
// Exit status 0 only when there is at least one signature and all of them
// are valid and cover the whole file.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "verify/verify_document.h"

namespace corvane::cli {
namespace {

struct VerifyOptions {
  std::string file;
  std::string password;
};

std::string or_none(const std::string& text, const char* none) { return text.empty() ? none : text; }

const char* holds(std::optional<bool> value) { return !value ? "absent" : *value ? "matches" : "does not match"; }

// The format and, where there are any, the signed attributes and the
// timestamp.
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
  out << "  Timestamp: " << or_none(t.time, "unreadable") << " by " << or_none(t.authority, "an unknown authority")
      << ", token " << (t.valid ? "valid" : "invalid") << ", imprint "
      << (t.imprint_matches ? "matches the signature" : "does not match the signature") << "\n";
}

void print_signature(std::ostream& out, int number, const verify::SignatureReport& s, std::uint64_t file_size) {
  out << "Signature " << number;
  if (!s.field_name.empty()) out << " (field \"" << s.field_name << "\")";
  out << ":\n";
  out << "  Signer: " << or_none(s.signer.subject, "unknown") << "\n";
  out << "  E-mail: " << or_none(s.signer.email, "none") << "\n";
  out << "  Signing time: " << or_none(s.signer.signing_time, "not given") << "\n";
  out << "  Digest algorithm: " << or_none(s.signer.digest_algorithm, "unknown") << "\n";
  out << "  Signature: " << (s.valid ? "valid" : "invalid (" + s.problem + ")") << "\n";
  out << "  Certificate: ";
  if (s.signer.trusted) out << "trusted\n";
  else if (s.signer.subject.empty()) out << "not checked\n";
  else out << "not trusted (" << s.signer.trust_problem << ")\n";
  out << "  Whole file covered: ";
  if (s.covers_whole_file) out << "yes\n";
  else if (s.signed_end == 0) out << "no\n";
  else out << "no (the signed revision ends at byte " << s.signed_end << " of " << file_size << ")\n";
  print_format(out, s);
}

void run_verify(const VerifyOptions& options) {
  const verify::DocumentReport report = verify::verify_document(options.file, options.password);
  if (!report.opened) {
    std::cerr << "corvanepdf: " << report.error << "\n";
    throw CLI::RuntimeError(1);
  }
  if (report.signatures.empty()) {
    std::cout << "The document has no signatures.\n";
    throw CLI::RuntimeError(1);
  }
  int number = 0;
  for (const auto& signature : report.signatures) print_signature(std::cout, ++number, signature, report.file_size);
  if (!verify::all_signatures_hold(report)) {
    std::cout << "Not every signature is valid and covers the whole file.\n";
    throw CLI::RuntimeError(1);
  }
  std::cout << "Every signature is valid and covers the whole file.\n";
}

}  // namespace

void add_verify_command(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* verify = app.add_subcommand("verify", "Verify the signatures of a PDF");
  verify->add_option("FILE", options->file, "The signed PDF")->required();
  verify->add_option("--password", options->password, "Password of an encrypted PDF");
  verify->callback([options] { run_verify(*options); });
}

}  // namespace corvane::cli
