#include "cli/certificates_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "signing/certificate_list.h"
#include "signing/sign_content.h"

namespace corvane::cli {
namespace {

// A field with tabs and line ends turned into blanks, so every line keeps
// its columns.
std::string field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

int certificates_list(std::ostream& out, std::ostream& err, bool header) {
  signing::register_signing_classes();
  std::string error, login_problem;
  const auto list = signing::list_store(error, login_problem);
  if (!list) {
    err << error << "\n";
    return 1;
  }
  if (header)
    out << "Issuer\tSubject\tValid From\tValid To\tUnique Container\tProvider Type\tUsable\tSHA-256\tNickname\n";
  for (const auto& c : *list)
    out << field(c.issuer) << '\t' << field(c.subject) << '\t' << c.valid_from << '\t' << c.valid_to << '\t'
        << field(c.unique_container) << '\t' << c.provider_type << '\t' << (c.usable ? "yes" : "no") << '\t'
        << c.fingerprint << '\t' << field(c.nickname) << '\n';
  if (!login_problem.empty()) {
    err << "the keys of a token are not listed: " << login_problem << "\n";
    return 1;
  }
  return 0;
}

void add_certificates_command(CLI::App& app) {
  app.add_subcommand("certificates",
                     "List the certificate store in the chooser's order (tab-separated; the unique container "
                     "name is what UniqueContainerName takes)")
      ->callback([] {
        const int code = certificates_list(std::cout, std::cerr, /*header=*/::isatty(STDOUT_FILENO) == 1);
        if (code != 0) throw CLI::RuntimeError(code);
      });
}

}  // namespace corvane::cli
