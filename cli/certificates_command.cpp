#include "cli/certificates_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "signing/certificate_list.h"
#include "signing/sign_content.h"
#include "verify/json_writer.h"

namespace corvane::cli {
namespace {

using verify::JsonWriter;

// A field with tabs and line ends turned into blanks, so every line keeps
// its columns.
std::string field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

// "-" (no key) as null.
void key_member(JsonWriter& json, std::string_view name, const std::string& value) {
  json.key(name);
  if (value == "-") json.null();
  else json.value(value);
}

void print_json(std::ostream& out, const std::vector<signing::CertificateListing>& list) {
  JsonWriter json(out);
  json.begin_object();
  json.key("certificates");
  json.begin_array();
  for (const auto& c : list) {
    json.begin_object();
    json.member("issuer", c.issuer);
    json.member("subject", c.subject);
    json.member("valid_from", c.valid_from);
    json.member("valid_to", c.valid_to);
    key_member(json, "unique_container", c.unique_container);
    key_member(json, "provider_type", c.provider_type);
    json.member("usable", c.usable);
    json.member("sha256", c.fingerprint);
    key_member(json, "nickname", c.nickname);
    json.end_object();
  }
  json.end_array();
  json.end_object();
}

}  // namespace

int certificates_list(std::ostream& out, std::ostream& err, CertificatesFormat format) {
  signing::register_signing_classes();
  std::string error, login_problem;
  const auto list = signing::list_store(error, login_problem);
  if (!list) {
    err << error << "\n";
    return 1;
  }
  if (format == CertificatesFormat::kJson) {
    print_json(out, *list);
  } else {
    if (format == CertificatesFormat::kLinesWithHeader)
      out << "Issuer\tSubject\tValid From\tValid To\tUnique Container\tProvider Type\tUsable\tSHA-256\tNickname\n";
    for (const auto& c : *list)
      out << field(c.issuer) << '\t' << field(c.subject) << '\t' << c.valid_from << '\t' << c.valid_to << '\t'
          << field(c.unique_container) << '\t' << c.provider_type << '\t' << (c.usable ? "yes" : "no") << '\t'
          << c.fingerprint << '\t' << field(c.nickname) << '\n';
  }
  if (!login_problem.empty()) {
    err << "the keys of a token are not listed: " << login_problem << "\n";
    return 1;
  }
  return 0;
}

void add_certificates_command(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  CLI::App* command = app.add_subcommand(
      "certificates",
      "List the certificate store in the chooser's order (tab-separated; the unique container "
      "name is what UniqueContainerName takes)");
  command->add_flag("--json", *json, "Print one JSON document instead of the lines");
  command->callback([json] {
    const CertificatesFormat format = *json                               ? CertificatesFormat::kJson
                                      : ::isatty(STDOUT_FILENO) == 1 ? CertificatesFormat::kLinesWithHeader
                                                                         : CertificatesFormat::kLines;
    const int code = certificates_list(std::cout, std::cerr, format);
    if (code != 0) throw CLI::RuntimeError(code);
  });
}

}  // namespace corvane::cli
