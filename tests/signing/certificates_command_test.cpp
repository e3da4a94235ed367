#include "cli/certificates_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::cli {
namespace {

std::vector<std::vector<std::string>> table(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

// The rows come from the chooser's list; the command shows them as nine
// tab-separated columns under an optional header, or as JSON.
TEST(CertificatesCommand, ListsTheStoreInChooserOrder) {
  std::ostringstream out, err;
  ASSERT_EQ(certificates_list(out, err, CertificatesFormat::kLinesWithHeader), 0) << err.str();
  const auto rows = table(out.str());
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Issuer", "Subject", "Valid From", "Valid To", "Unique Container",
                                               "Provider Type", "Usable", "SHA-256", "Nickname"}));
  const struct {
    std::size_t row;
    const char* subject;
    std::string container;
    const char *type, *usable;
  } cases[] = {{1, "Alex Renewed", test::unique_container_of("Alex Signer"), "RSA_FULL", "yes"},
               {3, "Blair EC Signer", test::unique_container_of("Blair EC Signer"), "ECDSA", "yes"},
               {4, "Casey Nokey", "-", "-", "no"},
               {6, "Eli DSA Signer", test::unique_container_of("Eli DSA Signer"), "DSS", "no"}};
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
  }

  // The same rows as one JSON document, read back by jq; no key is null.
  std::ostringstream json;
  ASSERT_EQ(certificates_list(json, err, CertificatesFormat::kJson), 0) << err.str();
  test::ScratchDir dir("certificates-json");
  test::write_file(dir / "list.json", json.str());
  const test::CommandResult r = test::run_command(
      "jq -r '.certificates | length, (.[0] | .subject, .unique_container, .provider_type, .usable), "
      "(.[3] | .subject, .unique_container, .provider_type, .usable)' " +
      test::shell_quote((dir / "list.json").string()));
  EXPECT_EQ(r.output, "7\nAlex Renewed\n" + test::unique_container_of("Alex Signer") +
                          "\nRSA_FULL\ntrue\nCasey Nokey\nnull\nnull\nfalse\n")
      << json.str();
}

}  // namespace
}  // namespace corvane::cli
