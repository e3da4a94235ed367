#include "cli/commands.h"

#include <CLI/CLI.hpp>

namespace corvane::cli {

void add_settings_command(CLI::App& app) {
  app.add_subcommand("settings", "Show and change the values of the Corvane pdf key");
}

}  // namespace corvane::cli
