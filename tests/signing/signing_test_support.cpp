#include "tests/signing/signing_test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/hex.h"
#include "signing/nss_store.h"
#include "tests/support/test_support.h"

namespace corvane::test {

std::filesystem::path store_dir() {
  std::string name = std::getenv("CORVANE_NSSDB") ? std::getenv("CORVANE_NSSDB") : "";
  if (name.rfind("sql:", 0) == 0) name.erase(0, 4);
  return name;
}

std::string unique_container_of(const std::string& nickname) {
  std::ifstream in(store_dir() / "keys.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string nick, id;
    std::getline(fields, nick, '\t');
    std::getline(fields, id, '\t');
    if (nick == nickname && id != "-" && !id.empty()) return "NSS Certificate DB:" + id;
  }
  return {};
}

std::shared_ptr<signing::Certificate> store_certificate(const std::string& subject) {
  static signing::NssStore store;
  platform::CallError error;
  if (store.Count() == 0 && !store.Open(signing::kCurrentUserStore, "My", signing::kStoreReadOnly, error))
    return nullptr;
  for (std::int32_t i = 1; i <= store.Count(); ++i)
    if (auto cert = store.Item(i); cert && cert->GetInfo(signing::CertInfo::kSubjectSimpleName) == subject) return cert;
  return nullptr;
}

std::vector<std::uint8_t> bytes_from_hex(const std::string& hex) {
  return platform::bytes_from_hex(hex).value_or(std::vector<std::uint8_t>{});
}

std::string as_text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

Verification verify_detached(const std::vector<std::uint8_t>& signature, const std::string& content) {
  ScratchDir dir("verify");
  write_file(dir / "sig.der", as_text(signature));
  write_file(dir / "content.bin", content);
  const auto result = run_command("openssl cms -verify -binary -inform DER -noverify -in " +
                                  shell_quote((dir / "sig.der").string()) + " -content " +
                                  shell_quote((dir / "content.bin").string()) + " -out /dev/null");
  return {result.exit_code == 0, result.output};
}

std::vector<std::uint8_t> openssl_der(const std::vector<std::uint8_t>& message) {
  ScratchDir dir("cmsout");
  write_file(dir / "in.der", as_text(message));
  run_command("openssl cms -cmsout -inform DER -outform DER -in " + shell_quote((dir / "in.der").string()) +
              " -out " + shell_quote((dir / "out.der").string()));
  const std::string out = read_file(dir / "out.der");
  return std::vector<std::uint8_t>(out.begin(), out.end());
}

std::vector<std::string> carried_subjects(const std::vector<std::uint8_t>& message) {
  ScratchDir dir("certs");
  write_file(dir / "in.der", as_text(message));
  const auto result =
      run_command("openssl pkcs7 -inform DER -print_certs -in " + shell_quote((dir / "in.der").string()));
  std::vector<std::string> subjects;
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line))
    if (line.rfind("subject=", 0) == 0) subjects.push_back(line.substr(8));
  return subjects;
}

}  // namespace corvane::test
