// `corvanepdf verify FILE [--password PW]`: prints every signature of a PDF
// with its signer, signing time, digest algorithm, trust, coverage, its
// revision and what the later revisions did. The exit status is the verdict
// (verify::Verdict, listed in --help).
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>
#include <vector>

#include "cli/commands.h"
#include "cli/verify_text_report.h"
#include "verify/trust_anchors.h"
#include "verify/verify_document.h"
#include "verify/verify_json.h"

namespace corvane::cli {
namespace {

struct VerifyOptions {
  std::string file;
  std::string password;
  bool json = false;
  std::vector<std::string> trust;  // PEM bundles of authorities trusted for this run
  bool trust_system = false;
  std::vector<std::string> permit;  // "form-filling", "annotations"
};

constexpr const char* kExitCodes =
    "Per signature, \"Revision: R of N, signed bytes 0 to E\" is the file's revision it belongs to\n"
    "(revisions end at each %%EOF) and where its signed bytes end. \"After it:\" names the highest\n"
    "level of change the later revisions made and whether the signature permits it: validation data\n"
    "(/DSS, document timestamps: always permitted), signing (new signatures, prepared or invisible\n"
    "empty signature fields: permitted unless a certification forbids it), form filling (field values\n"
    "and their appearances), annotations (markup annotations): both only when a certification's\n"
    "DocMDP allows them (P2 form filling and signing, P3 also annotations, P1 nothing), or --permit\n"
    "for documents nobody certified; a field a signature locks may not change after it. \"other\"\n"
    "is anything else, with its object and what changed: never permitted. Changes to the document\n"
    "information (/Info, XMP metadata) are always permitted and always listed.\n"
    "--json prints: file, verdict, error, file_size, all_hold, trust_checked, store_problem and\n"
    "signatures[]: field_name, document_timestamp, format, valid, problem, signer (subject, email,\n"
    "signing_time, digest_algorithm, trusted, trust_problem), covers_whole_file, signed_end,\n"
    "signed_range (the /ByteRange numbers), weak_digest, timestamp (time, authority, valid,\n"
    "imprint_matches, problem), validation_data (covered, missing, revoked), revision, revisions,\n"
    "after (level, permitted, refusal, changes[] (level, object, what, permitted), fields,\n"
    "document_information), certification (p, text) or null, locks (action: none, all, include or\n"
    "exclude; fields).\n"
    "Exit status: 0 every signature is valid, followed only by changes it permits, and its signer is\n"
    "trusted;\n"
    "1 no signature (document timestamps alone are none), a signature is invalid, or a change after\n"
    "one that it does not permit;\n"
    "2 the file could not be read;\n"
    "3 every signature is valid and permits what follows it, but a signer or a document timestamp's\n"
    "authority is not trusted (or cannot be checked without a certificate store) or a weak digest\n"
    "(SHA-1, MD5) is used.";

// The system's bundle of certification authorities (Debian's ca-certificates).
constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

void run_verify(const VerifyOptions& options) {
  std::vector<std::string> bundles = options.trust;
  if (options.trust_system) bundles.push_back(kSystemBundle);
  for (const std::string& bundle : bundles) {
    if (std::string error; !verify::add_trust_anchors(bundle, error)) {
      std::cerr << "corvanepdf: --trust: " << error << "\n";
      throw CLI::RuntimeError(2);
    }
  }
  verify::PermitOptions permit;
  for (const std::string& level : options.permit) (level == "annotations" ? permit.annotations : permit.form_filling) = true;
  const verify::DocumentReport report = verify::verify_document(options.file, options.password, permit);
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
  verify->add_option("--trust", options->trust,
                     "A PEM bundle (or DER file) of certification authorities trusted for this run, besides those "
                     "your store trusts (repeatable)")
      ->allow_extra_args(false);  // one file each time: FILE may follow
  verify->add_flag("--trust-system", options->trust_system,
                   std::string("Trust the system's certification authorities for this run (") + kSystemBundle + ")");
  verify->add_option("--permit", options->permit,
                     "Also permit this level of change after the signatures of a document nobody certified")
      ->check(CLI::IsMember({"form-filling", "annotations"}))
      ->allow_extra_args(false)
      ->take_all();
  verify->callback([options] { run_verify(*options); });
}

}  // namespace corvane::cli
