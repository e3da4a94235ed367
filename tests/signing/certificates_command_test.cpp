#include "cli/certificates_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/signing/signing_test_support.h"

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

TEST(CertificatesCommand, ListsTheStoreInChooserOrder) {
  std::ostringstream out, err;
  ASSERT_EQ(certificates_list(out, err, /*header=*/false), 0) << err.str();
  const auto rows = table(out.str());
  ASSERT_EQ(rows.size(), 7u);
  const struct {
    std::size_t row;
    const char* subject;
    std::string container;
    const char* type;
  } cases[] = {{0, "Alex Renewed", test::unique_container_of("Alex Signer"), "RSA_FULL"},
               {2, "Blair EC Signer", test::unique_container_of("Blair EC Signer"), "UNKNOWN"},
               {3, "Casey Nokey", "-", "-"},
               {5, "Eli DSA Signer", test::unique_container_of("Eli DSA Signer"), "DSS"}};
  for (const auto& c : cases) {
    const auto& r = rows[c.row];
    ASSERT_EQ(r.size(), 6u) << c.subject;
    EXPECT_EQ(r[0], "Fixture Test CA");
    EXPECT_EQ(r[1], c.subject);
    EXPECT_LT(r[2], r[3]);
    EXPECT_EQ(r[4], c.container);
    EXPECT_EQ(r[5], c.type);
  }
}

TEST(CertificatesCommand, HeaderOnRequest) {
  std::ostringstream out, err;
  ASSERT_EQ(certificates_list(out, err, /*header=*/true), 0);
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
            "Issuer\tSubject\tValid From\tValid To\tUnique Container\tProvider Type");
}

}  // namespace
}  // namespace corvane::cli
