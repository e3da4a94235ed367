// `corvanepdf verify FILE [--password PW]`: prints every signature of a PDF
// with its signer, signing time, digest algorithm, trust and coverage.
// Exit status 0 only when there is at least one signature and all of them
// are valid and cover the whole file.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/verify_json.h"
#include "verify/verify_document.h"

namespace corvane::cli {
namespace {

struct VerifyOptions {
  std::string file;
  std::string password;
  bool json = false;
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

// The report as JSON, with the exit status of the text output.
void run_verify_json(const VerifyOptions& options, const verify::DocumentReport& report) {
  print_verify_json(std::cout, options.file, report);
  if (!verify::all_signatures_hold(report)) throw CLI::RuntimeError(1);
}

void run_verify(const VerifyOptions& options) {
  const verify::DocumentReport report = verify::verify_document(options.file, options.password);
  if (options.json) return run_verify_json(options, report);
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
  verify->add_flag("--json", options->json, "Print one JSON document instead of the text");
  verify->callback([options] { run_verify(*options); });
}

}  // namespace corvane::cli
