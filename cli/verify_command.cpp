// `corvanepdf verify FILE [--password PW]`: prints every signature of a PDF
// with its signer, signing time, digest algorithm, trust, coverage, its
// revision and what the later revisions did. Exit status 0 only when there
// is at least one signature, all of them are valid, and after each one
// nothing but signatures was added.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "verify/revisions.h"
#include "verify/verify_document.h"

namespace corvane::cli {
namespace {

struct VerifyOptions {
  std::string file;
  std::string password;
};

std::string or_none(const std::string& text, const char* none) { return text.empty() ? none : text; }

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
}

const char* changes_text(verify::LaterChanges changes) {
  switch (changes) {
    case verify::LaterChanges::kNone: return "nothing (the signature covers the whole file)";
    case verify::LaterChanges::kSignaturesAdded: return "signatures added";
    case verify::LaterChanges::kContentChanged: break;
  }
  return "content changed";
}

// The signature's revision (1 = the first) among the file's revisions, and
// what the revisions after it did; true when that keeps it valid.
bool print_revision(std::ostream& out, const VerifyOptions& options, const verify::SignatureReport& s,
                    const std::vector<std::uint64_t>& ends) {
  if (s.signed_end == 0) return false;
  std::size_t revision = 1;
  while (revision <= ends.size() && ends[revision - 1] < s.signed_end) ++revision;
  out << "  Revision: " << revision << " of " << std::max<std::size_t>(ends.size(), revision)
      << ", signed bytes 0 to " << s.signed_end << " (all but its /Contents)\n";
  const verify::LaterRevisions later =
      s.covers_whole_file ? verify::LaterRevisions{}
                          : verify::classify_later_revisions(options.file, options.password, s.signed_end);
  out << "  After it: " << changes_text(later.changes);
  if (!later.detail.empty()) out << " (" << later.detail << ")";
  out << "\n";
  return later.changes != verify::LaterChanges::kContentChanged;
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
  bool all_hold = true;
  const std::vector<std::uint64_t> ends = verify::revision_ends(options.file);
  for (const auto& signature : report.signatures) {
    print_signature(std::cout, ++number, signature, report.file_size);
    all_hold = print_revision(std::cout, options, signature, ends) && signature.valid && all_hold;
  }
  if (!all_hold) {
    std::cout << "Not every signature is valid with only signatures added after it.\n";
    throw CLI::RuntimeError(1);
  }
  std::cout << "Every signature is valid; only signatures were added after any of them.\n";
}

}  // namespace

void add_verify_command(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* verify = app.add_subcommand(
      "verify",
      "Verify the signatures of a PDF. Per signature: signer, time, digest, whether it matches its bytes, trust, "
      "its revision and the bytes it signs, and what follows it: \"nothing\" (it covers the whole file), "
      "\"signatures added\" (later revisions only add signature fields, widgets, appearances, /Fields, /Annots, "
      "/SigFlags, /DSS) or \"content changed\" (anything else). Exit status: 0 when every signature is valid and "
      "nothing but signatures follows any of them; 1 otherwise, also without signatures or when the file cannot "
      "be read. An untrusted signer is reported but does not change the exit status.");
  verify->add_option("FILE", options->file, "The signed PDF")->required();
  verify->add_option("--password", options->password, "Password of an encrypted PDF");
  verify->callback([options] { run_verify(*options); });
}

}  // namespace corvane::cli
