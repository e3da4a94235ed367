#include "cli/commands.h"

#include <CLI/CLI.hpp>

namespace corvane::cli {

void add_certificates_command(CLI::App& app) {
  app.add_subcommand("certificates", "List the certificate store in the chooser's order");
}

}  // namespace corvane::cli
