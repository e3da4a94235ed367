#include "cli/trust_command.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "settings/host_access.h"

namespace corvane::cli {
namespace {

// The certificates `what` names: those of the file at that path, else the
// store's certificate of that nickname or fingerprint. Ends the command
// with a message when there are none.
std::vector<signing::DerCertificate> named_certificates(const std::string& what) {
  std::string error;
  struct stat facts {};
  if (::stat(what.c_str(), &facts) == 0) {
    const settings::FileRead read = settings::read_key_file(what);
    if (!read.bytes) error = "cannot read " + what + ": " + read.problem;
    else if (auto certificates = signing::read_certificates(*read.bytes, error); !certificates.empty())
      return certificates;
    else error = what + " " + error;
  } else if (auto der = signing::store_certificate_named(what, error)) {
    return {std::move(*der)};
  }
  std::cerr << "corvanepdf: " << error << "\n";
  throw CLI::RuntimeError(1);
}

}  // namespace

bool trust_for_signatures(const std::vector<signing::DerCertificate>& certificates, std::ostream& out,
                          std::ostream& err) {
  bool all = true;
  for (const auto& der : certificates) {
    std::string error;
    if (const auto trusted = signing::trust_ca(der, error)) {
      out << "trusted for signatures: " << trusted->subject << "\n  SHA-256 " << trusted->fingerprint << "\n";
    } else {
      err << "corvanepdf: " << error << "\n";
      all = false;
    }
  }
  return all;
}

void add_trust_command(CLI::App& app) {
  auto what = std::make_shared<std::string>();
  CLI::App* trust = app.add_subcommand(
      "trust", "Trust a certification authority for signatures in your certificate store (verify then trusts the "
               "signers it issued)");
  trust->add_option("CA", *what, "A PEM or DER file of the authority's certificate(s), or the nickname or SHA-256 "
                                 "fingerprint of one in the store")
      ->required();
  trust->callback([what] {
    if (!trust_for_signatures(named_certificates(*what), std::cout, std::cerr)) throw CLI::RuntimeError(1);
  });
}

}  // namespace corvane::cli
