#include "tests/signing/signing_test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

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

namespace {

// `bytes` written to dir/name; the file's name quoted for the shell.
std::string written(const ScratchDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  write_file(dir / name, std::string(bytes.begin(), bytes.end()));
  return shell_quote((dir / name).string());
}

}  // namespace

Verification verify_detached(const std::vector<std::uint8_t>& signature, const std::string& content) {
  ScratchDir dir("verify");
  write_file(dir / "content.bin", content);
  const auto result = run_command("openssl cms -verify -binary -inform DER -noverify -in " +
                                  written(dir, "sig.der", signature) + " -content " +
                                  shell_quote((dir / "content.bin").string()) + " -out /dev/null");
  return {result.exit_code == 0, result.output};
}

std::vector<std::uint8_t> openssl_der(const std::vector<std::uint8_t>& message) {
  ScratchDir dir("cmsout");
  run_command("openssl cms -cmsout -inform DER -outform DER -in " + written(dir, "in.der", message) + " -out " +
              shell_quote((dir / "out.der").string()));
  const std::string out = read_file(dir / "out.der");
  return {out.begin(), out.end()};
}

std::vector<std::string> carried_subjects(const std::vector<std::uint8_t>& message) {
  ScratchDir dir("certs");
  const auto result = run_command("openssl pkcs7 -inform DER -print_certs -in " + written(dir, "in.der", message));
  std::vector<std::string> subjects;
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line))
    if (line.rfind("subject=", 0) == 0) subjects.push_back(line.substr(8));
  return subjects;
}

}  // namespace corvane::test
