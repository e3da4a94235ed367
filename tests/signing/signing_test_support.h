// Helpers of the signing tests: the test store, its key ids, and openssl as the judge of signatures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "signing/store_objects.h"

namespace corvane::test {

std::filesystem::path store_dir();  // the store the tests run on (CORVANE_NSSDB without "sql:")
// "NSS Certificate DB:" and the key id of `nickname`'s key from keys.tsv; "" when it has none.
std::string unique_container_of(const std::string& nickname);
// The certificate of the test store whose simple subject name is `subject`; nullptr when there is none.
std::shared_ptr<signing::Certificate> store_certificate(const std::string& subject);

struct Verification {
  bool ok = false;
  std::string output;  // what openssl said
};
// `openssl cms -verify -noverify` of a detached DER signature over `content`.
Verification verify_detached(const std::vector<std::uint8_t>& signature, const std::string& content);
// openssl's DER re-encoding of a CMS message (-cmsout -outform DER).
std::vector<std::uint8_t> openssl_der(const std::vector<std::uint8_t>& message);
// The subjects of the certificates a CMS message carries, as openssl prints them ("O = Org, CN = Name").
std::vector<std::string> carried_subjects(const std::vector<std::uint8_t>& message);

}  // namespace corvane::test
