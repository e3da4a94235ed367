#include "signing/nss_store.h"

#include <gtest/gtest.h>

#include "signing/nss_database.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

using test::store_certificate;

class NssStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CallError error;
    ASSERT_TRUE(store_.Open(kCurrentUserStore, "My", kStoreReadOnly, error)) << error.description;
  }
  NssStore store_;
};

TEST_F(NssStoreTest, HoldsKeyAndEndEntityCertificatesInNicknameOrder) {
  NssStore again;  // any letter case of the store's name
  platform::CallError error;
  ASSERT_TRUE(again.Open(kCurrentUserStore, "MY", kStoreReadOnly, error));
  std::vector<std::string> subjects;
  for (std::int32_t i = 1; i <= store_.Count(); ++i) {
    subjects.push_back(*store_.Item(i)->GetInfo(CertInfo::kSubjectSimpleName));
    EXPECT_EQ(again.Item(i)->Export(kBinaryEncoding), store_.Item(i)->Export(kBinaryEncoding)) << i;
  }
  // The CA certificate has no key here and is left out.
  EXPECT_EQ(subjects, (std::vector<std::string>{"Alex Renewed", "Alex Signer", "Blair EC Signer", "Casey Nokey",
                                                "Dana Signer", "Eli DSA Signer", "Zed Nokey"}));
  EXPECT_EQ(store_.Item(0), nullptr);
  EXPECT_EQ(store_.Item(store_.Count() + 1), nullptr);
}

// Key names and provider types reach the chooser's fields and the
// certificates command, and are tested there.
TEST_F(NssStoreTest, MachineKeysetWhenTheDatabaseIsOutsideHome) {
  const auto key = store_certificate("Dana Signer")->PrivateKey();
  {
    test::ScopedEnv home("HOME", test::store_dir().parent_path().string());
    EXPECT_EQ(key->IsMachineKeyset(), false);
  }
  test::ScopedEnv home("HOME", "/nonexistent-home");
  EXPECT_EQ(key->IsMachineKeyset(), true);
}

// Names and addresses reach the signer through signContent, tested there.
TEST_F(NssStoreTest, CertificateInfo) {
  EXPECT_EQ(store_certificate("Casey Nokey")->GetInfo(CertInfo::kDnsName), "");
  const auto cert = store_certificate("Dana Signer");
  EXPECT_EQ(cert->GetInfo(static_cast<CertInfo>(3)), std::nullopt);
  EXPECT_EQ(cert->SerialNumber(), "00:CA");  // serial 202, as its DER integer
  EXPECT_EQ(cert->Export(/*encoding=*/0), std::nullopt);
  const std::string fingerprint = test::run_command("openssl x509 -noout -fingerprint -sha256 -in " +
                                                    (test::store_dir() / "pem" / "dana.crt").string())
                                      .output;
  EXPECT_NE(fingerprint.find(*cert->Sha256Fingerprint()), std::string::npos) << fingerprint;
}

}  // namespace
}  // namespace corvane::signing
