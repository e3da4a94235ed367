// `corvanepdf import FILE.p12 [--password-file F] [--select]`: a PKCS#12
// file's key, certificate and chain into the user's certificate store.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/trust_command.h"
#include "settings/host_access.h"
#include "settings/registry.h"
#include "signing/pkcs12_import.h"
#include "signing/token_login.h"

namespace corvane::cli {
namespace {

struct ImportOptions {
  std::string file;
  std::string password_file;
  bool select = false;
  bool trust_ca = false;
};

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "corvanepdf: " << message << "\n";
  throw CLI::RuntimeError(1);
}

// Shows the file's chain (each certificate's subject and fingerprint) and
// trusts its certification authorities for signatures.
void trust_chain(const std::vector<signing::DerCertificate>& chain) {
  std::vector<signing::DerCertificate> authorities;
  std::cerr << "the file's chain:\n";
  for (const auto& der : chain) {
    const auto facts = signing::certificate_facts(der);
    if (!facts) continue;
    std::cerr << "  " << facts->subject << (facts->is_ca ? "" : " (not an authority: left as it is)")
              << "\n    SHA-256 " << facts->fingerprint << "\n";
    if (facts->is_ca) authorities.push_back(der);
  }
  if (authorities.empty()) fail("the file holds no certification authority to trust: trust yours with "
                                "`corvanepdf trust CA.pem`");
  if (!trust_for_signatures(authorities, std::cout, std::cerr)) throw CLI::RuntimeError(1);
}

// The bytes of `path` as the bounded reader gives them; ends the command
// with `what` named when they cannot be read.
std::string read_or_fail(const settings::FileRead& read, const std::string& what) {
  if (!read.bytes) fail("cannot read " + what + ": " + read.problem);
  return *read.bytes;
}

void run_import(const ImportOptions& options) {
  const std::string file = read_or_fail(settings::read_key_file(options.file), options.file);
  const std::vector<std::uint8_t> bytes(file.begin(), file.end());
  std::string password =
      options.password_file.empty()
          ? ""
          : read_or_fail(settings::read_password_file(options.password_file), "the password file " + options.password_file);
  std::string error;
  // Without a password file the file is tried with the empty password
  // first (some are exported with none), then the password is asked for.
  std::vector<signing::DerCertificate> chain;
  auto keys = signing::import_pkcs12(bytes, password, error, &chain);
  if (!keys && options.password_file.empty() && error.find("wrong password") != std::string::npos) {
    if (!signing::ask_secret_on_terminal("Password of " + options.file + ": ", password))
      fail(options.file + " is protected by a password: give the password with --password-file FILE (or - for "
           "standard input)");
    chain.clear();
    keys = signing::import_pkcs12(bytes, password, error, &chain);
  }
  if (!keys) fail("cannot import " + options.file + ": " + error);
  if (keys->empty()) fail(options.file + " holds no private key");
  for (const auto& key : *keys) std::cout << key.unique_container << "\t" << key.subject << "\n";
  if (options.trust_ca) trust_chain(chain);
  if (!options.select) {
    std::cerr << "sign with it: corvanepdf sign --cert '" << keys->front().unique_container
              << "' ..., or select it for good with --select\n";
    return;
  }
  const std::string path = std::string(settings::kUserBase) + "UniqueContainerName";
  if (!settings::reg_write_text(path, keys->front().unique_container)) fail("cannot save the selection");
  std::cerr << "selected " << keys->front().subject << " for signing\n";
}

}  // namespace

void add_import_command(CLI::App& app) {
  auto options = std::make_shared<ImportOptions>();
  CLI::App* import = app.add_subcommand(
      "import", "Import a PKCS#12 file (.p12, .pfx) into your certificate store and print its unique container name");
  import->add_option("FILE.p12", options->file, "The PKCS#12 file")->required();
  import->add_option("--password-file", options->password_file,
                     "A file whose first line is the file's password (- for standard input); without it the "
                     "password is asked on the terminal");
  import->add_flag("--select", options->select, "Sign with the imported certificate from now on");
  import->add_flag("--trust-ca", options->trust_ca,
                   "Show the file's chain and trust its certification authorities for signatures (as `trust`)");
  import->callback([options] { run_import(*options); });
}

}  // namespace corvane::cli
