// What corvanepdf says about a command it does not have.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace corvane::cli {

// "unknown command X" and the list of commands with their descriptions,
// when the first argument that is not an option names no command of `app`;
// nullopt otherwise (CLI11 then reports the rest).
[[nodiscard]] std::optional<std::string> unknown_command_message(const CLI::App& app, int argc,
                                                                  const char* const* argv);

}  // namespace corvane::cli
