// corvanepdf: the command-line host of the component. Parses the arguments,
// runs the chosen subcommand and turns its outcome into the exit status:
// 0 success, 1 the operation failed, 2 wrong arguments.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Puts a digital signature into an existing PDF.", "corvanepdf"};
  app.require_subcommand(1);
  corvane::cli::add_edit_commands(app);
  corvane::cli::add_server_commands(app);
  corvane::cli::add_settings_command(app);
  corvane::cli::add_certificates_command(app);
  corvane::cli::add_verify_command(app);
  corvane::cli::add_import_command(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // the subcommand has printed its message
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  } catch (const std::exception& e) {
    std::cerr << "corvanepdf: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
