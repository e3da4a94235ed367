// Subcommands of the corvanepdf command line that live in files of their own.
#pragma once

namespace CLI {
class App;
}

namespace corvane::cli {

// `settings list | get NAME | set NAME VALUE [--dword] [--machine]`
void add_settings_command(CLI::App& app);
// `certificates`: the certificate store in the chooser's order.
void add_certificates_command(CLI::App& app);

}  // namespace corvane::cli
