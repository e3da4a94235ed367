#include "cli/certificates_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "settings/registry.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::cli {
namespace {

// The lines of `text`, each cut at `separator` when it is not 0.
std::vector<std::vector<std::string>> table(const std::string& text, char separator = '\t') {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream cells(line);
    rows.emplace_back();
    for (std::string cell; std::getline(cells, cell, separator);) rows.back().push_back(cell);
  }
  return rows;
}

// The rows come from the chooser's list; the command shows them as nine
// tab-separated columns, as a table for a person, or as JSON.
TEST(CertificatesCommand, ListsTheStoreInChooserOrder) {
  std::ostringstream out, err;
  ASSERT_EQ(certificates_list(out, err, CertificatesFormat::kLines), 0) << err.str();
  const auto rows = table(out.str());
  ASSERT_EQ(rows.size(), 7u);
  const struct {
    std::size_t row;
    const char* subject;
    std::string container;
    const char *type, *usable, *table_key;
  } cases[] = {{0, "Alex Renewed", test::unique_container_of("Alex Signer"), "RSA_FULL", "yes", "RSA"},
               {2, "Blair EC Signer", test::unique_container_of("Blair EC Signer"), "ECDSA", "yes", "EC"},
               {3, "Casey Nokey", "-", "-", "no", "no key"},
               {5, "Eli DSA Signer", test::unique_container_of("Eli DSA Signer"), "DSS", "no", "DSA (cannot sign)"}};
  // The table: a header, one aligned row each, "*" on the selected one.
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + "UniqueContainerName",
                                       test::unique_container_of("Blair EC Signer")));
  std::ostringstream shown;
  ASSERT_EQ(certificates_list(shown, err, CertificatesFormat::kTable), 0) << err.str();
  std::vector<std::string> lines;
  for (const auto& row : table(shown.str(), '\n')) lines.push_back(row.empty() ? "" : row[0]);
  ASSERT_EQ(lines.size(), 9u) << shown.str();
  const std::size_t key_column = lines[0].find("Key");
  EXPECT_TRUE(lines[0].starts_with("   Nickname")) << lines[0];
  EXPECT_EQ(lines[8], "* signs (UniqueContainerName)");
  for (const auto& c : cases) {
    const auto& r = rows[c.row];
    ASSERT_EQ(r.size(), 9u) << c.subject;
    EXPECT_EQ(r[0], "Fixture Test CA");
    EXPECT_EQ(r[1], c.subject);
    EXPECT_LT(r[2], r[3]);
    EXPECT_EQ(r[4], c.container);
    EXPECT_EQ(r[5], c.type);
    EXPECT_EQ(r[6], c.usable);
    EXPECT_EQ(r[7], test::store_certificate(c.subject)->Sha256Fingerprint());
    EXPECT_EQ(r[8], c.subject);  // nicknames are the subjects here
    const std::string& line = lines[c.row + 1];
    EXPECT_EQ(line.substr(0, 3), c.row == 2 ? "*  " : "   ") << line;
    EXPECT_EQ(line.substr(key_column), c.table_key) << line;
  }

  // JSON: full names, ISO 8601 times with their offset, the selection.
  std::ostringstream json;
  ASSERT_EQ(certificates_list(json, err, CertificatesFormat::kJson), 0) << err.str();
  test::ScratchDir dir("certificates-json");
  test::write_file(dir / "list.json", json.str());
  const test::CommandResult r = test::run_command(
      "jq -r '.certificates | length, (.[0] | .common_name, .unique_container, .provider_type, .usable), "
      "(.[3] | .common_name, .unique_container, .provider_type, .usable), .[2].selected, .[0].selected, "
      ".[4].subject, .[4].email, .[4].issuer, "
      "(.[0].valid_to | test(\"^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}$\"))' " +
      test::shell_quote((dir / "list.json").string()));
  EXPECT_EQ(r.output, "7\nAlex Renewed\n" + test::unique_container_of("Alex Signer") +
                          "\nRSA_FULL\ntrue\nCasey Nokey\nnull\nnull\nfalse\ntrue\nfalse\n"
                          "E=dana@example.test,CN=Dana Signer,O=Fixture Org\ndana@example.test\n"
                          "CN=Fixture Test CA,O=Fixture Org\ntrue\n")
      << json.str();
}

// The setting takes a key as --cert names it and keeps its container name;
// a certificate without a usable key, or none, is refused with the list.
TEST(CertificatesCommand, ContainerNameForNicknameFingerprintOrContainer) {
  const std::string dana = test::unique_container_of("Dana Signer");
  const std::string fingerprint = *test::store_certificate("Dana Signer")->Sha256Fingerprint();
  const struct { std::string name; std::optional<std::string> want; } cases[] = {
      {"Dana Signer", dana}, {dana, dana}, {fingerprint, dana},
      {"Casey Nokey", std::nullopt}, {"Eli DSA Signer", std::nullopt}, {"Alice Martin", std::nullopt}};
  for (const auto& c : cases) {
    std::ostringstream err;
    EXPECT_EQ(container_name_for(c.name, err), c.want) << c.name;
    if (!c.want) {
      EXPECT_TRUE(err.str().find("\n  Dana Signer (Dana Signer): " + dana + "\n") != std::string::npos) << err.str();
    }
  }
}

}  // namespace
}  // namespace corvane::cli
