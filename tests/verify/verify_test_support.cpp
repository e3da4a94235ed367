#include "tests/verify/verify_test_support.h"

#include <gtest/gtest.h>

#include <regex>

#include "signing/hex.h"

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

void resign_with_openssl(const std::filesystem::path& path, const std::string& key, const std::string& md,
                         const std::string& flags) {
  std::string pdf = read_file(path);
  const Slot slot = find_slot(pdf);
  ASSERT_GT(slot.end, slot.begin);
  const std::string content = pdf.substr(0, slot.begin) + pdf.substr(slot.end);
  std::string hex = signing::lower_hex(openssl_sign(content, key, md, flags));
  ASSERT_LE(hex.size(), slot.end - slot.begin - 2);
  hex.resize(slot.end - slot.begin - 2, '0');
  pdf.replace(slot.begin + 1, hex.size(), hex);
  write_file(path, pdf);
}

std::string make_pdf(const std::vector<std::string>& objects) {
  std::string pdf = "%PDF-1.7\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    const std::string digits = std::to_string(offset);
    pdf += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace corvane::test
