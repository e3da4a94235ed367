#include "signing/nss_signed_data.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/signing/signing_test_support.h"

namespace corvane::signing {
namespace {

using test::store_certificate;

std::optional<platform::ByteArray> sign_bytes(const std::string& subject, const std::string& content,
                                              platform::CallError& error) {
  Signer signer;
  signer.SetCertificate(store_certificate(subject));
  signer.SetOptions(kIncludeWholeChain);
  NssSignedData data;
  data.SetContent(std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
  return data.Sign(signer, /*detached=*/true, kBinaryEncoding, error);
}

TEST(NssSignedData, EachKeyTypeMakesAVerifiableDerSignatureWithTheChain) {
  const std::string content = "%PDF-1.4 some bytes\n\x00\xff trailing";
  for (const char* subject : {"Alex Signer", "Dana Signer", "Blair EC Signer", "Eli DSA Signer"}) {
    SCOPED_TRACE(subject);
    platform::CallError error;
    const auto signature = sign_bytes(subject, content, error);
    ASSERT_TRUE(signature) << error.description;
    const auto verified = test::verify_detached(*signature, content);
    EXPECT_TRUE(verified.ok) << verified.output;
    EXPECT_FALSE(test::verify_detached(*signature, content + " ").ok);
    EXPECT_EQ(test::openssl_der(*signature), *signature) << "not DER";
    // The chain up to and including the root.
    std::string subjects;
    for (const auto& s : test::carried_subjects(*signature)) subjects += s + ",\n";
    EXPECT_EQ(std::count(subjects.begin(), subjects.end(), '\n'), 2) << subjects;
    for (const std::string cn : {"Fixture Test CA", subject})
      EXPECT_NE(subjects.find("CN = " + cn + ","), std::string::npos) << subjects;
  }
}

TEST(NssSignedData, TextIsSignedAsUtf16le) {
  const struct { std::string text; platform::TextEncoding encoding; } cases[] = {
      {"Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9f\x98\x80", platform::TextEncoding::kUtf8},
      {"\x80 \xe4\xf6\xfc \x9c", platform::TextEncoding::kCodePage}};
  for (const auto& c : cases) {
    Signer signer;
    signer.SetCertificate(store_certificate("Alex Signer"));
    NssSignedData data;
    ASSERT_TRUE(data.SetContent(c.text, c.encoding));
    platform::CallError error;
    const auto signature = data.Sign(signer, /*detached=*/true, kBinaryEncoding, error);
    ASSERT_TRUE(signature) << error.description;
    std::string utf16;
    platform::append_utf16le(c.text, c.encoding, utf16);
    const auto verified = test::verify_detached(*signature, utf16);
    EXPECT_TRUE(verified.ok) << c.text << verified.output;
  }
}

}  // namespace
}  // namespace corvane::signing
