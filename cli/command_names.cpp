#include "cli/command_names.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string_view>

namespace corvane::cli {

std::optional<std::string> unknown_command_message(const CLI::App& app, int argc, const char* const* argv) {
  const std::function<bool(const CLI::App*)> every = [](const CLI::App*) { return true; };
  const auto commands = app.get_subcommands(every);
  // The top level has flags only (--help, --version), so the first word
  // that is not an option is the command.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.starts_with("-")) continue;
    for (const CLI::App* command : commands)
      if (command->check_name(word)) return std::nullopt;
    std::string message = "unknown command " + word + "\ncommands:\n";
    for (const CLI::App* command : commands) {
      const std::string& name = command->get_name();
      message += "  " + name + std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') +
                 command->get_description() + "\n";
    }
    return message;
  }
  return std::nullopt;
}

}  // namespace corvane::cli
