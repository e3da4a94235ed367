#include "signing/sign_content.h"

#include <gtest/gtest.h>

#include "platform/hex.h"
#include "platform/object_factory.h"
#include "settings/registry.h"
#include "signing/store_objects.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

using test::unique_container_of;

class SignContentTest : public ::testing::Test {
 protected:
  void SetUp() override { register_signing_classes(); }
  SignerState state_;
};

// RSA and EC keys are matched by unique container name; a run's own choice also by nickname or
// fingerprint. Anything else signs nothing, unless the site asks for the store's last certificate instead.
TEST_F(SignContentTest, SignsOnlyWithTheSelectedRsaOrEcKey) {
  const std::string dana = unique_container_of("Dana Signer");
  const std::string fallback_key = std::string(settings::kUserBase) + "lastcertfallback";
  const struct {
    std::string container, run, fallback;
    const char* signer;  // "" : refused, nothing recorded
    bool signs;
  } cases[] = {
      // Two certificates share Alex's key: the first in store order wins.
      {unique_container_of("Alex Signer"), "", "", "Alex Renewed", true},
      {dana, "", "", "Dana Signer", true},
      {unique_container_of("Blair EC Signer"), "", "", "Blair EC Signer", true},
      // DSA keys are never matched; nor is a misspelt name (a stale one and
      // a run's choice by fingerprint or container: the token test).
      {unique_container_of("Eli DSA Signer"), "", "", "", false},
      {dana + " ", "", "", "", false},
      {"NSS Certificate DB:00", "", "1", "Zed Nokey", false},
      // A run's own choice wins over the saved one and is never saved.
      {"NSS Certificate DB:00", "Dana Signer", "", "Dana Signer", true},
      {dana, "Casey Nokey", "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.container + " / " + c.run + " / " + c.fallback);
    ASSERT_TRUE(settings::reg_write_text(fallback_key, c.fallback));
    SignerState state;
    state.containerName = c.container;
    state.signerName = "before";
    const std::string hex = signContent(state, "x", c.run);
    EXPECT_EQ(!hex.empty() && state.refusal.empty(), c.signs) << hex;
    if (!*c.signer) {
      const std::string& name = c.run.empty() ? c.container : c.run;
      EXPECT_EQ(hex, "the selected certificate " + name + " is not in the store");
      EXPECT_EQ(state.refusal.message(), hex);
      EXPECT_EQ(state.refusal.code(), platform::ErrorCode::kCertificateNotFound);
      EXPECT_EQ(state.signerName, "before");
      continue;
    }
    EXPECT_EQ(state.signerName, c.signer);
    EXPECT_TRUE(state.refusal.empty());
    EXPECT_EQ(state.containerName, c.container);
    if (!c.signs) continue;
    // A text is signed as UTF-16LE.
    const auto signed_text = platform::bytes_from_hex(hex).value_or(platform::ByteArray{});
    EXPECT_TRUE(test::verify_detached(signed_text, std::string("x\0", 2)).ok);
    // The length found without the key is an RSA signature's own and at least an EC one's, with or without
    // signed attributes.
    const auto certificate = select_signer(state, c.run).certificate;
    const bool ec = std::string(c.signer) == "Blair EC Signer";
    const ContentFeed feed = [](const ContentSink& sink) {
      sink(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("x"), 1));
      return true;
    };
    for (const bool cades : {false, true}) {
      std::string why;
      const auto signature = sign_content(state, certificate, feed, cades, why);
      ASSERT_TRUE(signature) << why;
      EXPECT_TRUE(test::verify_detached(*signature, "x").ok);
      const std::size_t longest = longest_signature_hex(certificate, cades);
      EXPECT_TRUE(ec ? longest >= 2 * signature->size() : longest == 2 * signature->size())
          << cades << ": " << longest << " for " << signature->size() << " bytes";
    }
  }
  ASSERT_TRUE(settings::reg_write_text(fallback_key, ""));
}

// The store is searched once while the selection stays the same.
TEST_F(SignContentTest, KeepsTheCertificateFoundWhileTheSelectionStays) {
  state_.containerName = unique_container_of("Dana Signer");
  ASSERT_FALSE(signContent(state_, "x").empty());
  auto failing = platform::ObjectFactory::instance().override_class(kStoreClassId, nullptr);
  EXPECT_FALSE(signContent(state_, "x").empty());
  EXPECT_EQ(signContent(state_, "x", "Alex Signer"),
            "ActiveX component can't create object: " + std::string(kStoreClassId));
}

TEST_F(SignContentTest, EmptyTextRecordsDetailsWithoutSigning) {
  state_.containerName = unique_container_of("Alex Signer");
  EXPECT_EQ(signContent(state_, ""), "");
  EXPECT_EQ(state_.signerName, "Alex Renewed");
  EXPECT_EQ(state_.signerEmail, "Alex.Renewed@Example.TEST");
  EXPECT_EQ(state_.signerDnsName, "renewed.example.test");
  EXPECT_EQ(state_.certificateHex, test::run_command("openssl x509 -outform DER -in " +
                                                     (test::store_dir() / "pem/renewed.crt").string() +
                                                     " | od -An -v -tx1 | tr -d ' \\n'")
                                       .output);
}

class FailingStore : public Store {
 public:
  bool Open(int, std::string_view, int, platform::CallError& error) override {
    error.description = "Access is denied.";
    return false;
  }
  std::int32_t Count() const override { return 0; }
  std::shared_ptr<Certificate> Item(std::int32_t) const override { return nullptr; }
  void Close() override {}
};

TEST_F(SignContentTest, StoreThatCannotBeOpenedGivesTheErrorAndChangesNothing) {
  auto store = platform::ObjectFactory::instance().override_class(
      kStoreClassId, [] { return std::make_shared<FailingStore>(); });
  state_.containerName = unique_container_of("Alex Signer");
  state_.signerName = "before";
  EXPECT_EQ(signContent(state_, "x"), "Access is denied.");
  EXPECT_EQ(state_.signerName, "before");
}

TEST_F(SignContentTest, ContainerNameFromUserSettingsBeforeMachineSettings) {
  const std::string user_key = std::string(settings::kUserBase) + "UniqueContainerName";
  const std::string machine_key = std::string(settings::kMachineBase) + "UniqueContainerName";
  const struct { std::string user, machine; const char* signer; } cases[] = {
      {"", unique_container_of("Dana Signer"), "Dana Signer"},
      {unique_container_of("Alex Signer"), unique_container_of("Dana Signer"), "Alex Renewed"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(settings::reg_write_text(user_key, c.user));
    ASSERT_TRUE(settings::reg_write_text(machine_key, c.machine));
    SignerState state;
    EXPECT_FALSE(signContent(state, "x").empty());
    EXPECT_EQ(state.signerName, c.signer);
    // Once known, the name is not read again.
    settings::reg_write_text(user_key, unique_container_of("Dana Signer"));
    EXPECT_EQ(signContent(state, ""), "");
    EXPECT_EQ(state.signerName, c.signer);
  }
}

TEST_F(SignContentTest, CertificateEmailReplacesADefaultEntryOfTheUser) {
  test::ScratchDir folder("userini");
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kMachineBase) + "path", folder.path().string()));
  const struct {
    const char *ini, *email, *user, *ini_holds;  // signerEmail, userName and a user.ini line afterwards
  } cases[] = {
      {"[user]\nbob=default\n", "alex.renewed@example.test", "bob", "bob=alex.renewed@example.test"},
      {"[user]\nbob=bob@corp.test\n", "Alex.Renewed@Example.TEST", "Bob", "bob=bob@corp.test"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    test::write_file(folder / "user.ini", c.ini);
    SignerState state;
    state.containerName = unique_container_of("Alex Signer");
    state.userName = "  Bob ";
    EXPECT_EQ(signContent(state, ""), "");
    EXPECT_EQ(state.signerEmail, c.email);
    EXPECT_EQ(state.userName, c.user);
    EXPECT_NE(test::read_file(folder / "user.ini").find(c.ini_holds), std::string::npos)
        << test::read_file(folder / "user.ini");
  }
}

}  // namespace
}  // namespace corvane::signing
