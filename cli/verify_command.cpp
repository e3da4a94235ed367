// `corvanepdf verify FILE [--password PW]`: prints every signature of a PDF
// with its signer, signing time, digest algorithm, trust, coverage, its
// revision and what the later revisions did. The exit status is the verdict
// (verify::Verdict, listed in --help).
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/verify_text_report.h"
#include "verify/verify_document.h"
#include "verify/verify_json.h"

namespace corvane::cli {
namespace {

struct VerifyOptions {
  std::string file;
  std::string password;
  bool json = false;
};

constexpr const char* kExitCodes =
    "Per signature, \"Revision: R of N, signed bytes 0 to E\" is the file's revision it belongs to\n"
    "(revisions end at each %%EOF) and where its signed bytes end; \"After it:\" says what later\n"
    "revisions did: \"nothing\" (it covers the whole file), \"signatures added\" (only signature\n"
    "fields, their widgets and appearances, growth of /Fields and /Annots, /SigFlags, /DSS, new\n"
    "cross-reference sections) or \"content changed\" (anything else, with the first change).\n"
    "Exit status: 0 every signature is valid, nothing but signatures follows it, and its signer is\n"
    "trusted;\n"
    "1 no signature, a signature is invalid, or the document's content changed after it was signed;\n"
    "2 the file could not be read;\n"
    "3 every signature is valid with nothing but signatures after it, but a signer is not trusted\n"
    "(or cannot be checked without a certificate store) or a weak digest (SHA-1, MD5) is used.";

void run_verify(const VerifyOptions& options) {
  const verify::DocumentReport report = verify::verify_document(options.file, options.password);
  if (options.json) verify::print_verify_json(std::cout, options.file, report);
  else if (!report.opened) std::cerr << "corvanepdf: " << report.error << "\n";
  else print_text_report(std::cout, std::cerr, report);
  const verify::Verdict verdict = verify::verdict_of(report);
  if (verdict != verify::Verdict::kHolds) throw CLI::RuntimeError(static_cast<int>(verdict));
}

}  // namespace

void add_verify_command(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* verify = app.add_subcommand("verify", "Verify the signatures of a PDF");
  verify->footer(kExitCodes);
  verify->add_option("FILE", options->file, "The signed PDF")->required();
  verify->add_option("--password", options->password, "Password of an encrypted PDF");
  verify->add_flag("--json", options->json, "Print one JSON document instead of the text");
  verify->callback([options] { run_verify(*options); });
}

}  // namespace corvane::cli
