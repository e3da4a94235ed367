#include "signing/nss_store.h"

#include <gtest/gtest.h>

#include "signing/nss_database.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

using test::unique_container_of;

std::shared_ptr<Certificate> find(const Store& store, const std::string& subject) {
  for (std::int32_t i = 1; i <= store.Count(); ++i) {
    auto cert = store.Item(i);
    if (cert && cert->GetInfo(CertInfo::kSubjectSimpleName) == subject) return cert;
  }
  return nullptr;
}

class NssStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CallError error;
    ASSERT_TRUE(store_.Open(kCurrentUserStore, "My", kStoreReadOnly, error)) << error.description;
  }
  NssStore store_;
};

TEST_F(NssStoreTest, HoldsKeyAndEndEntityCertificatesInNicknameOrder) {
  std::vector<std::string> subjects;
  for (std::int32_t i = 1; i <= store_.Count(); ++i) subjects.push_back(*store_.Item(i)->GetInfo(CertInfo::kSubjectSimpleName));
  // The CA certificate has no key here and is left out.
  const std::vector<std::string> expected = {"Alex Renewed", "Alex Signer",    "Blair EC Signer", "Casey Nokey",
                                             "Dana Signer",  "Eli DSA Signer", "Zed Nokey"};
  EXPECT_EQ(subjects, expected);
  EXPECT_EQ(store_.Item(0), nullptr);
  EXPECT_EQ(store_.Item(store_.Count() + 1), nullptr);

  NssStore again;
  platform::CallError error;
  ASSERT_TRUE(again.Open(kCurrentUserStore, "MY", kStoreReadOnly, error));
  ASSERT_EQ(again.Count(), store_.Count());
  for (std::int32_t i = 1; i <= again.Count(); ++i)
    EXPECT_EQ(again.Item(i)->Export(kBinaryEncoding), store_.Item(i)->Export(kBinaryEncoding)) << i;
}

TEST_F(NssStoreTest, KeyFactsByKeyType) {
  const struct {
    const char* subject;
    const char* key_nickname;
    int provider_type;
  } cases[] = {{"Alex Signer", "Alex Signer", kProviderRsaFull},
               {"Alex Renewed", "Alex Signer", kProviderRsaFull},  // the same key, so the same names
               {"Dana Signer", "Dana Signer", kProviderRsaFull},
               {"Eli DSA Signer", "Eli DSA Signer", kProviderDss},
               {"Blair EC Signer", "Blair EC Signer", kUnknownProvider}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subject);
    const auto cert = find(store_, c.subject);
    ASSERT_TRUE(cert);
    ASSERT_TRUE(cert->HasPrivateKey());
    const auto key = cert->PrivateKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->UniqueContainerName(), unique_container_of(c.key_nickname));
    EXPECT_EQ(key->ContainerName(), c.key_nickname);
    EXPECT_EQ(key->ProviderName(), "NSS Certificate DB");
    EXPECT_EQ(key->ProviderType(), c.provider_type);
    EXPECT_EQ(key->IsAccessible(), true);
    EXPECT_EQ(key->IsProtected(), false);  // the test store has an empty password
    EXPECT_EQ(key->IsExportable(), true);
    EXPECT_EQ(key->IsHardwareDevice(), false);
    EXPECT_EQ(key->IsRemovable(), false);
  }
  for (const char* keyless : {"Casey Nokey", "Zed Nokey"}) {
    const auto cert = find(store_, keyless);
    ASSERT_TRUE(cert) << keyless;
    EXPECT_FALSE(cert->HasPrivateKey());
    EXPECT_EQ(cert->PrivateKey(), nullptr);
  }
}

TEST_F(NssStoreTest, MachineKeysetWhenTheDatabaseIsOutsideHome) {
  const auto key = find(store_, "Dana Signer")->PrivateKey();
  {
    test::ScopedEnv home("HOME", test::store_dir().parent_path().string());
    EXPECT_EQ(key->IsMachineKeyset(), false);
  }
  test::ScopedEnv home("HOME", "/nonexistent-home");
  EXPECT_EQ(key->IsMachineKeyset(), true);
}

TEST_F(NssStoreTest, CertificateInfo) {
  const struct {
    const char* subject;
    CertInfo info;
    const char* expected;
  } cases[] = {
      {"Alex Renewed", CertInfo::kIssuerSimpleName, "Fixture Test CA"},
      {"Alex Renewed", CertInfo::kEmailName, "Alex.Renewed@Example.TEST"},  // letter case kept
      {"Alex Renewed", CertInfo::kDnsName, "renewed.example.test"},
      {"Casey Nokey", CertInfo::kEmailName, "casey@example.test"},
      {"Casey Nokey", CertInfo::kDnsName, ""},
  };
  for (const auto& c : cases) {
    const auto cert = find(store_, c.subject);
    ASSERT_TRUE(cert) << c.subject;
    EXPECT_EQ(cert->GetInfo(c.info), c.expected) << c.subject << " " << static_cast<int>(c.info);
  }
  const auto cert = find(store_, "Dana Signer");
  EXPECT_EQ(cert->GetInfo(static_cast<CertInfo>(3)), std::nullopt);
  EXPECT_EQ(cert->SerialNumber(), "00:CA");  // serial 202, as its DER integer
  EXPECT_EQ(cert->SubjectName(), "E=dana@example.test,CN=Dana Signer,O=Fixture Org");
  EXPECT_LT(*cert->ValidFromDate(), *cert->ValidToDate());
  EXPECT_EQ(cert->Export(/*encoding=*/0), std::nullopt);
  const std::string pem_fingerprint =
      test::run_command("openssl x509 -noout -fingerprint -sha256 -in " +
                        test::shell_quote((test::store_dir() / "pem" / "dana.crt").string()))
          .output;
  EXPECT_NE(pem_fingerprint.find(*cert->Sha256Fingerprint()), std::string::npos) << pem_fingerprint;
}

}  // namespace
}  // namespace corvane::signing
