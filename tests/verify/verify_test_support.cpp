#include "tests/verify/verify_test_support.h"

#include <gtest/gtest.h>

#include <regex>

namespace corvane::test {

void sign_with_peer(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& nick,
                    const std::string& password) {
  const auto result = run_command("pdfsig -add-signature -nssdir " +
                                  shell_quote("sql:" + (fixtures_dir() / "nss").string()) + " -nick " +
                                  shell_quote(nick) + (password.empty() ? "" : " -upw " + shell_quote(password)) +
                                  " " + shell_quote(in.string()) + " " + shell_quote(out.string()));
  ASSERT_TRUE(std::filesystem::exists(out)) << result.output;
}

Slot find_slot(const std::string& pdf) {
  std::smatch m;
  const std::regex range(R"(/ByteRange\s*\[\s*0\s+(\d+)\s+(\d+))");
  if (!std::regex_search(pdf, m, range)) return {};
  return {std::stoul(m[1]), std::stoul(m[2])};
}

std::vector<std::uint8_t> openssl_sign(const std::string& content, const std::string& key, const std::string& md,
                                       const std::string& flags) {
  ScratchDir dir("openssl-sign");
  write_file(dir / "content", content);
  const auto pem = fixtures_dir() / "nss" / "pem";
  const auto result = run_command(
      "openssl cms -sign -binary -outform DER -md " + md + " " + flags + " -in " +
      shell_quote((dir / "content").string()) + " -signer " + shell_quote((pem / (key + ".crt")).string()) +
      " -inkey " + shell_quote((pem / (key + ".key")).string()) + " -certfile " +
      shell_quote((pem / "ca.crt").string()) + " -out " + shell_quote((dir / "sig").string()));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  const std::string der = read_file(dir / "sig");
  return {der.begin(), der.end()};
}

}  // namespace corvane::test
