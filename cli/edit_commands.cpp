// The subcommands that drive the class edit through its C++ interface.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/batch_sign.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/sign_file.h"
#include "cli/sign_messages.h"
#include "cli/signed_by.h"
#include "cli/standard_streams.h"
#include "corvanepdf/edit.hpp"

namespace corvane::cli {
namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "corvanepdf: " << message << "\n";
  throw CLI::RuntimeError(kExitFailed);
}

// Signs one file into another; "-" for either is standard input or output.
// Says where the signed file went and who signed it unless -q, or the file
// itself goes to standard output.
void run_sign_one(const SignOptions& options) {
  const StandardStreams streams(options.inputs.front(), options.output);
  if (!streams.error().empty()) fail(streams.error());
  SignRequest request = options.request(streams.input(), streams.output());
  request.input_name = streams.shown(request.input);
  // -v shows the log lines with the names the user gave.
  std::function<void(const std::vector<std::string>&)> print_lines;
  if (const auto printer = verbose_printer(options))
    print_lines = [&streams, printer](const std::vector<std::string>& lines) {
      std::vector<std::string> shown;
      for (const auto& line : lines) shown.push_back(streams.shown(line));
      printer(shown);
    };
  std::string problem = sign_file(request, print_lines);
  if (problem.empty()) problem = streams.deliver();
  if (!problem.empty()) fail(streams.shown(problem));
  if (options.quiet || streams.output_is_stdout()) return;
  const std::string signer = signer_of(options.output, options.password, options.cert);
  std::cout << options.output << " signed by " << (signer.empty() ? "an unknown signer" : signer) << "\n";
}

// With no certificate selected, the chooser is shown once before signing
// (not inside each run); closing it without choosing ends the command.
void choose_when_none_selected(const SignOptions& options) {
  if (!options.cert.empty() || certificate_configured() || !chooser_can_show()) return;
  corvanepdf::edit component;
  component.choose_certificate();
  if (!certificate_configured()) fail("no certificate chosen");
}

// Signs one file (-o) or several (--out-dir) and says why a file was not
// signed; exit code 1 unless every file was signed.
void run_sign(const SignOptions& options) {
  if (options.out_dir.empty()) {
    if (options.output.empty()) throw CLI::RequiredError("--output");
    if (options.inputs.size() > 1)
      throw CLI::ValidationError("IN.pdf", "-o takes one input; sign several files with --out-dir");
    choose_when_none_selected(options);
    run_sign_one(options);
    return;
  }
  if (std::find(options.inputs.begin(), options.inputs.end(), "-") != options.inputs.end())
    throw CLI::ValidationError("IN.pdf", "standard input (-) is signed with -o");
  choose_when_none_selected(options);
  if (run_batch(options) != 0) throw CLI::RuntimeError(kExitFailed);
}

}  // namespace

void add_edit_commands(CLI::App& app) {
  auto options = std::make_shared<SignOptions>();
  CLI::App* sign = app.add_subcommand(
      "sign", "Sign IN.pdf into OUT.pdf, or several files into a folder (--out-dir, each as NAME-signed.pdf)");
  sign->add_option("IN.pdf", options->inputs, "The PDF(s) to sign; - reads standard input")->required();
  CLI::Option* output = sign->add_option("-o,--output", options->output,
                                         "The signed file (OUT.pdf), for one input; - writes standard output");
  sign->add_option("--out-dir", options->out_dir,
                   "The folder for the signed files of several inputs (made when missing)")
      ->excludes(output);
  sign->add_option("-j,--jobs", options->jobs, "Files signed at the same time (default: the number of cores)")
      ->check(CLI::Range(1, 256));
  sign->add_option("--password", options->password, "Password of an encrypted PDF");
  sign->add_option("--user", options->user, "User name of the signer");
  CLI::Option* reason = sign->add_option("--reason", options->reason, "Reason for signing");
  reason->each([options](const std::string&) { options->reason_given = true; });
  sign->add_option("--cert", options->cert,
                   "The certificate for this run only: nickname, SHA-256 fingerprint or unique container name "
                   "(see 'corvanepdf certificates'); never saved");
  CLI::Option* append = sign->add_flag(
      "--append", options->append,
      "Append the signature as an incremental update: earlier signatures stay valid (default for a signed input)");
  CLI::Option* rebuild = sign->add_flag("--rebuild", options->rebuild,
                                       "Rebuild the document (earlier signatures no longer cover it)")
                             ->excludes(append);
  sign->add_option("--field", options->field,
                   "Sign this empty signature field of the document (its full name; see 'corvanepdf fields'), "
                   "as an incremental update")
      ->excludes(rebuild);
  sign->add_option("--certify", options->certify,
                   "Certify the document with this first signature: 1 no changes, 2 form filling and signing, "
                   "3 also annotations allowed afterwards (0: an approval signature)")
      ->check(CLI::IsMember({"0", "1", "2", "3"}));
  sign->add_flag("-v,--verbose", options->verbose, "Print the run's diagnostic log lines to stderr");
  sign->add_flag("--pades", options->pades, "Make a PAdES signature (CAdES signed attributes)");
  sign->add_option("--tsa", options->tsa_url, "Timestamp the signature at this RFC 3161 authority (URL)");
  sign->add_flag("--ltv", options->ltv,
                 "Add the validation data (certificates, OCSP responses or CRLs) after the signature");
  sign->add_flag("-q,--quiet", options->quiet, "Print nothing on success");
  sign->callback([options] { run_sign(*options); });

  auto text = std::make_shared<std::string>();
  CLI::App* sign_text = app.add_subcommand("sign-text", "Print the signature of a text as hex");
  sign_text->add_option("TEXT", *text, "The text to sign")->required();
  sign_text->callback([text] {
    corvanepdf::edit component;
    std::cout << component.sign(*text) << "\n";
  });

  app.add_subcommand("choose-certificate", "Choose the signing certificate")->callback([] {
    corvanepdf::edit component;
    component.choose_certificate();
  });

  app.add_subcommand("time", "Print the local time with its offset from UTC")->callback([] {
    corvanepdf::edit component;
    try {
      std::cout << component.GetUniversalTime() << "\n";
    } catch (const std::runtime_error& e) {
      fail(e.what());
    }
  });

  auto word = std::make_shared<std::string>();
  CLI::App* to_bytes =
      app.add_subcommand("string2byte", "Print the code-page bytes of a text as decimal numbers");
  to_bytes->add_option("TEXT", *word, "The text")->required();
  to_bytes->callback([word] {
    corvanepdf::edit component;
    const auto bytes = component.string2byte(*word);
    std::string line;
    for (const auto byte : bytes) {
      if (!line.empty()) line += ' ';
      line += std::to_string(byte);
    }
    std::cout << line << "\n";
  });
}

}  // namespace corvane::cli
