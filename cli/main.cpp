// corvanepdf: the command-line host of the component. Parses the arguments,
// runs the chosen subcommand and turns its outcome into the exit status of
// cli/exit_codes.h.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "cli/command_names.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/version.h"

namespace {

// Every subcommand, each added by the file that implements it.
void add_commands(CLI::App& app) {
  corvane::cli::add_edit_commands(app);
  corvane::cli::add_server_commands(app);
  corvane::cli::add_settings_command(app);
  corvane::cli::add_certificates_command(app);
  corvane::cli::add_verify_command(app);
  corvane::cli::add_import_command(app);
  corvane::cli::add_trust_command(app);
  corvane::cli::add_timestamp_command(app);
  corvane::cli::add_fields_command(app);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::cli;
  CLI::App app{"Puts a digital signature into an existing PDF.", "corvanepdf"};
  app.set_version_flag("--version", version_text, "Print the version and those of qpdf and NSS in use");
  app.require_subcommand(1);
  add_commands(app);

  if (const auto unknown = unknown_command_message(app, argc, argv)) {
    std::cerr << "corvanepdf: " << *unknown;
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // the subcommand has printed its message
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitSuccess : kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "corvanepdf: " << e.what() << "\n";
    return kExitFailed;
  }
  return kExitSuccess;
}
