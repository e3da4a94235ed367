#include "signing/nss_store.h"

#include <gtest/gtest.h>

#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

using test::store_certificate;

// Key names, provider types, names and addresses, and the order and number of entries (the keys and
// end-entity certificates by nickname) reach the chooser, the certificates command and signContent, and are
// tested there.
TEST(NssStore, OpensUnderAnyCaseOfItsNameAndCountsFromOne) {
  NssStore store, again;
  platform::CallError error;
  ASSERT_TRUE(store.Open(kCurrentUserStore, "My", kStoreReadOnly, error)) << error.description;
  ASSERT_TRUE(again.Open(kCurrentUserStore, "MY", kStoreReadOnly, error));
  ASSERT_GT(store.Count(), 0);
  for (std::int32_t i = 1; i <= store.Count(); ++i)
    EXPECT_EQ(again.Item(i)->Export(kBinaryEncoding), store.Item(i)->Export(kBinaryEncoding)) << i;
  EXPECT_EQ(store.Item(0), nullptr);
  EXPECT_EQ(store.Item(store.Count() + 1), nullptr);
}

TEST(NssStore, MachineKeysetWhenTheDatabaseIsOutsideHomeAndCertificateInfo) {
  const auto cert = store_certificate("Dana Signer");
  for (const bool outside : {false, true}) {
    test::ScopedEnv home("HOME", outside ? "/nonexistent-home" : test::store_dir().parent_path().string());
    EXPECT_EQ(cert->PrivateKey()->IsMachineKeyset(), outside);
  }
  EXPECT_EQ(store_certificate("Casey Nokey")->GetInfo(CertInfo::kDnsName), "");
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
