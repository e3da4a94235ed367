#include "cli/certificates_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/aligned_columns.h"
#include "cli/commands.h"
#include "settings/setting_values.h"
#include "signing/ca_trust.h"
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

std::string selected_container() { return settings::trimmed(settings::read_setting("UniqueContainerName")); }

bool is_selected(const signing::CertificateListing& c, const std::string& selected) {
  return !selected.empty() && c.unique_container == selected;
}

void print_json(std::ostream& out, const std::vector<signing::CertificateListing>& list) {
  const std::string selected = selected_container();
  JsonWriter json(out);
  json.begin_object();
  json.key("certificates");
  json.begin_array();
  for (const auto& c : list) {
    json.begin_object();
    json.member("subject", c.subject_name);
    json.member("common_name", c.subject);
    json.member("email", c.email);
    json.member("issuer", c.issuer_name);
    json.member("issuer_common_name", c.issuer);
    json.member("valid_from", c.valid_from_iso);
    json.member("valid_to", c.valid_to_iso);
    key_member(json, "unique_container", c.unique_container);
    key_member(json, "provider_type", c.provider_type);
    json.member("usable", c.usable);
    json.member("sha256", c.fingerprint);
    key_member(json, "nickname", c.nickname);
    json.member("selected", is_selected(c, selected));
    json.end_object();
  }
  json.end_array();
  json.end_object();
}

// For a person: the columns aligned, "*" before the selected certificate.
void print_table(std::ostream& out, const std::vector<signing::CertificateListing>& list) {
  std::vector<std::vector<std::string>> rows{{"", "Nickname", "Name", "E-mail", "Issuer", "Valid until", "Key"}};
  const std::string selected = selected_container();
  bool any_selected = false;
  for (const auto& c : list) {
    const bool mark = is_selected(c, selected);
    any_selected = any_selected || mark;
    const std::string key = c.key_type.empty() ? "no key" : c.usable ? c.key_type : c.key_type + " (cannot sign)";
    rows.push_back({mark ? "*" : "", field(c.nickname), field(c.subject), field(c.email), field(c.issuer),
                    c.valid_to_iso, key});
  }
  print_aligned_columns(out, std::move(rows));
  if (any_selected) out << "* signs (UniqueContainerName)\n";
  else if (!list.empty()) out << "none selected: corvanepdf settings set UniqueContainerName NICKNAME\n";
}

// Whether `name` names the listed certificate: its unique container name,
// nickname (with or without the token's name), common name or SHA-256
// fingerprint.
bool names(const signing::CertificateListing& c, const std::string& name) {
  const auto colon = c.nickname.find(':');
  return name == c.unique_container || name == c.nickname || name == c.subject ||
         (colon != std::string::npos && c.nickname.substr(colon + 1) == name) ||
         signing::same_fingerprint(name, c.fingerprint);
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
  } else if (format == CertificatesFormat::kTable) {
    print_table(out, *list);
  } else {
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

std::optional<std::string> container_name_for(const std::string& name, std::ostream& err) {
  signing::register_signing_classes();
  std::string error, login_problem;
  const auto list = signing::list_store(error, login_problem);
  if (!list) {
    err << error << "\n";
    return std::nullopt;
  }
  for (const auto& c : *list)
    if (c.usable && names(c, name)) return c.unique_container;
  err << "the store holds no certificate with a key to sign with named " << name << "; it holds:\n";
  for (const auto& c : *list)
    if (c.usable) err << "  " << c.nickname << " (" << c.subject << "): " << c.unique_container << "\n";
  if (!login_problem.empty()) err << "the keys of a token are not listed: " << login_problem << "\n";
  return std::nullopt;
}

void add_certificates_command(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  CLI::App* command = app.add_subcommand(
      "certificates",
      "List the certificate store in the chooser's order (a table on a terminal, else tab-separated lines; "
      "--json for programs)");
  command->add_flag("--json", *json, "Print one JSON document instead of the lines");
  command->callback([json] {
    const CertificatesFormat format = *json                          ? CertificatesFormat::kJson
                                      : ::isatty(STDOUT_FILENO) == 1 ? CertificatesFormat::kTable
                                                                     : CertificatesFormat::kLines;
    const int code = certificates_list(std::cout, std::cerr, format);
    if (code != 0) throw CLI::RuntimeError(code);
  });
}

}  // namespace corvane::cli
