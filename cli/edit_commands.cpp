// The subcommands that drive the class edit through its C++ interface.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "cli/commands.h"
#include "cli/sign_messages.h"
#include "corvanepdf/edit.hpp"

namespace corvane::cli {
namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "corvanepdf: " << message << "\n";
  throw CLI::RuntimeError(1);
}

struct SignOptions {
  std::string input;
  std::string output;
  std::string password;
  std::string user;
  std::string reason;
  bool verbose = false;
};

// Sets the properties as a host would, then signs. Reason and user are set
// only when given, so the component's defaults stay otherwise. What can be
// checked before is checked before; a failed run is explained from its
// diagnostic lines, which -v also prints.
void run_sign(const SignOptions& options, bool reason_given) {
  if (const std::string problem = sign_precheck(options.input, options.output); !problem.empty()) fail(problem);
  const RunLog log;
  corvanepdf::edit document;
  document.pdfpath(options.input);
  document.savepath(options.output);
  document.pdfpasswd(options.password);
  if (!options.user.empty()) document.username(options.user);
  if (reason_given) document.reason(options.reason);
  const bool signed_ok = document.signit();
  const auto lines = log.lines();
  if (options.verbose)
    for (const auto& line : lines) std::cerr << line << "\n";
  if (signed_ok) {
    if (const std::string problem = write_message(options.output, lines); !problem.empty()) fail(problem);
    return;
  }
  if (const std::string problem = failure_message(options.input, lines); !problem.empty()) fail(problem);
  if (!document.pdfeditloaded()) fail("the PDF engine is not available");
  if (!document.pdfloaded())
    fail("cannot open " + options.input + " (not a readable PDF, or a wrong or missing password)");
  fail("signing " + options.input + " failed (see the diagnostic log for details)");
}

}  // namespace

void add_edit_commands(CLI::App& app) {
  auto options = std::make_shared<SignOptions>();
  CLI::App* sign = app.add_subcommand("sign", "Sign IN.pdf into OUT.pdf");
  sign->add_option("IN.pdf", options->input, "The PDF to sign")->required();
  sign->add_option("-o,--output", options->output, "The signed file (OUT.pdf)")->required();
  sign->add_option("--password", options->password, "Password of an encrypted PDF");
  sign->add_option("--user", options->user, "User name of the signer");
  CLI::Option* reason = sign->add_option("--reason", options->reason, "Reason for signing");
  sign->add_flag("-v,--verbose", options->verbose, "Print the run's diagnostic log lines to stderr");
  sign->callback([options, reason] { run_sign(*options, reason->count() > 0); });

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
