#include "verify/cms_check.h"

#include "verify/cades_check.h"

#include <gtest/gtest.h>

#include "tests/verify/verify_test_support.h"
#include "verify/signature_message.h"

namespace corvane::verify {
namespace {

SignedDigest content_of(const std::string& text) {
  return [text](std::span<const std::uint8_t> oid) {
    return digest_of(oid, [&text](const PieceSink& sink) {
      sink(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
      return true;
    });
  };
}

TEST(CmsSignature, VerifiesWithAndWithoutSignedAttributesForEachDigest) {
  const std::string content = "%PDF-1.7 the signed bytes of a document";
  const struct { const char *key, *md, *flags, *want_algorithm, *want_email; bool want_time; } cases[] = {
      {"signer", "sha384", "", "SHA-384", "alex@example.test", true},
      {"signer", "sha1", "-noattr", "SHA-1", "alex@example.test", false},
      {"ecsigner", "sha256", "-noattr", "SHA-256", "blair@example.test", false},
      {"ecsigner", "sha512", "", "SHA-512", "blair@example.test", true},
  };
  for (const auto& c : cases) {
    const std::string label = std::string(c.key) + " " + c.md + " " + c.flags;
    const SignatureMessage message(test::openssl_sign(content, c.key, c.md, c.flags));
    const CmsCheck check = check_cms_signature(message, content_of(content));
    EXPECT_TRUE(check.valid) << label << ": " << check.problem;
    EXPECT_EQ(check.signer.digest_algorithm, c.want_algorithm) << label;
    EXPECT_EQ(check.signer.email, c.want_email) << label;
    EXPECT_NE(check.signer.subject.find("O=Fixture Org"), std::string::npos) << label << ": " << check.signer.subject;
    EXPECT_EQ(!check.signer.signing_time.empty(), c.want_time) << label;
    EXPECT_TRUE(check.signer.trusted) << label << ": " << check.signer.trust_problem;

    // One byte more or less in the signed bytes breaks every one of them, and the format check that reads the same
    // decoded message finds the message-digest attribute does not match.
    for (const std::string& changed : {content + " ", content.substr(1)}) {
      const CmsCheck broken = check_cms_signature(message, content_of(changed));
      EXPECT_FALSE(broken.valid) << label;
      EXPECT_FALSE(broken.problem.empty()) << label;
      EXPECT_EQ(broken.signer.email, c.want_email) << label;
      if (c.want_time) {
        EXPECT_EQ(read_format_facts(message, content_of(changed), {}).message_digest_matches, false) << label;
      }
    }
  }
}

}  // namespace
}  // namespace corvane::verify
