#include "signing/nss_signed_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/signing/signing_test_support.h"

namespace corvane::signing {
namespace {

using test::store_certificate;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

TEST(NssSignedData, EachKeyTypeMakesAVerifiableDerSignatureWithTheChain) {
  const std::string content = "%PDF-1.4 some bytes\n\x00\xff trailing";
  for (const char* subject : {"Alex Signer", "Dana Signer", "Blair EC Signer", "Eli DSA Signer"}) {
    SCOPED_TRACE(subject);
    Signer signer;
    signer.SetCertificate(store_certificate(subject));
    signer.SetOptions(kIncludeWholeChain);
    NssSignedData data;
    data.SetContent(std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
    platform::CallError error;
    const auto signature = data.Sign(signer, /*detached=*/true, kBinaryEncoding, error);
    ASSERT_TRUE(signature) << error.description;
    const auto verified = test::verify_detached(*signature, content);
    EXPECT_TRUE(verified.ok) << verified.output;
    EXPECT_FALSE(test::verify_detached(*signature, content + " ").ok);
    EXPECT_EQ(test::openssl_der(*signature), *signature) << "not DER";
    // The chain up to and including the root.
    EXPECT_THAT(test::carried_subjects(*signature),
                UnorderedElementsAre("O = Fixture Org, CN = Fixture Test CA", HasSubstr("CN = " + std::string(subject) + ",")));
  }
}

}  // namespace
}  // namespace corvane::signing
