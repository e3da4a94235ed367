// The verify subcommand of the corvanepdf command, run as a child process.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/signing/signing_test_support.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::test {
namespace {

std::string command(const std::string& arguments, const std::string& env = "") {
  return env + " " + shell_quote(CORVANEPDF_CLI) + " " + arguments;
}

CommandResult corvanepdf(const std::string& arguments, const std::string& env = "") {
  return run_command(command(arguments, env));
}

// A certificate store with no certificate in it, at `dir`.
std::string empty_store(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  EXPECT_EQ(run_command("certutil -N --empty-password -d " + shell_quote("sql:" + dir.string())).exit_code, 0);
  return "CORVANE_NSSDB=" + shell_quote("sql:" + dir.string());
}

// The exit status is the verdict: 0 valid, covering and trusted; 1 invalid,
// changed or unsigned; 2 unreadable; 3 valid but untrusted or weak. Crafted
// files: many fields sharing one large /Contents (memory stays near one
// signature), a SHA-1 signature, a signer forged with the real signer's name
// and address, a FIFO and another user's link (never blocked on or followed).
TEST(VerifyCommand, ExitStatusIsTheVerdict) {
  ScratchDir dir("verify-command");
  sign_with_peer(fixture_pdf("plain.pdf"), dir / "signed.pdf");
  write_file(dir / "appended.pdf", read_file(dir / "signed.pdf") + "\n%%EOF\n");
  constexpr std::size_t kSlotBytes = 2u << 20;
  write_file(dir / "shared.pdf", make_shared_slot_pdf(128, kSlotBytes, "signer", "sha256"));
  write_file(dir / "sha1.pdf", make_shared_slot_pdf(1, 8192, "signer", "sha1"));
  const std::string forged = (dir / "forged").string();
  ASSERT_EQ(run_command("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out " +
                        shell_quote(forged + ".key") + " && openssl x509 -in " +
                        shell_quote((fixtures_dir() / "nss" / "pem" / "signer.crt").string()) + " -signkey " +
                        shell_quote(forged + ".key") + " -days 30 -out " + shell_quote(forged + ".crt"))
                .exit_code,
            0);
  write_file(dir / "forged.pdf", make_shared_slot_pdf(1, 8192, forged, "sha256"));
  ASSERT_EQ(::mkfifo((dir / "fifo.pdf").c_str(), 0600), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    std::filesystem::create_symlink(dir / "signed.pdf", dir / "their-link.pdf");
    ASSERT_EQ(run_command("chown -h nobody " + shell_quote((dir / "their-link.pdf").string())).exit_code, 0);
  }
  const std::string no_store = "CORVANE_NSSDB=" + shell_quote("sql:" + (dir / "no-store").string());
  const std::string empty = empty_store(dir / "empty-store");

  const auto q = [&dir](const std::string& name) { return shell_quote((dir / name).string()); };
  const struct {
    std::string arguments;
    int want_exit;
    const char* want_output;
    std::string env = "";
    long max_peak_mib = 0;  // when not 0, the most memory the run may take
  } cases[] = {
      {"verify " + q("signed.pdf"), 0, "  E-mail: alex@example.test\n  Signing time: 20"},
      {"verify " + q("signed.pdf"), 0,
       "  Digest algorithm: SHA-256\n  Signature: valid\n  Certificate: trusted\n  Whole file covered: yes\n"},
      {"verify " + q("shared.pdf"), 0, "Signature 128 (field \"sig127\"):", "", 160},
      {"verify " + q("appended.pdf"), 1, "  Whole file covered: no (the signed revision ends at byte"},
      {"verify " + shell_quote(fixture_pdf("plain.pdf").string()), 1, "The document has no signatures.\n"},
      {"verify " + q("sha1.pdf"), 3,
       "  Digest algorithm: SHA-1 (weak)\n  Signature: valid\n  Certificate: trusted\n"},
      {"verify " + q("sha1.pdf"), 3, "covers the whole file.\nA signature uses a weak digest algorithm.\n"},
      {"verify " + q("forged.pdf"), 3, "  Signature: valid\n  Certificate: not trusted ("},
      {"verify " + q("forged.pdf"), 3, "covers the whole file.\nNot every signer is trusted.\n"},
      {"verify " + q("signed.pdf"), 3, "  Signature: valid\n  Certificate: not trusted (", empty},
      {"verify " + q("signed.pdf"), 3, "  Signature: valid\n  Certificate: not checked\n", no_store},
      {"verify " + q("signed.pdf"), 3, "the signers' trust is not checked", no_store},
      {"verify " + shell_quote(fixture_pdf("enc-rc4-128.pdf").string()), 2, "password is missing or wrong"},
      {"verify " + q("missing.pdf"), 2, "corvanepdf: The file"},
      {"verify " + shell_quote(fixture_pdf("not-a-pdf.pdf").string()), 2, "corvanepdf: The document"},
      // A FIFO that nobody writes to would block an ordinary open for ever.
      {"verify " + q("fifo.pdf"), 2, "not a regular file", "timeout 120"},
      {"verify " + q(root ? "their-link.pdf" : "missing.pdf"), 2, root ? "owned by another user" : "The file"},
      {"verify", 2, "FILE is required"},
      {"verify " + q("signed.pdf") + " --bogus", 2, "--bogus"},
      {"verify --help", 0, "3 every signature is valid"},
  };
  for (const auto& c : cases) {
    // Freed memory is handed back at once under the address sanitizer too.
    const MeasuredCommand run = run_measured(command(c.arguments, "ASAN_OPTIONS=quarantine_size_mb=1 " + c.env));
    const CommandResult& r = run.result;
    EXPECT_EQ(r.exit_code, c.want_exit) << c.arguments << "\n" << r.output;
    EXPECT_NE(r.output.find(c.want_output), std::string::npos) << c.arguments << "\n" << r.output;
    if (c.max_peak_mib > 0) {
      EXPECT_LT(run.peak_kib, c.max_peak_mib * 1024) << c.arguments;
    }
  }
}

TEST(VerifyCommand, OurOwnSignedFilesAreValid) {
  ScratchDir dir("verify-own");
  write_file(dir / "hkcu.reg", reg_file("HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf",
                                        reg_value("UniqueContainerName", unique_container_of("Alex Signer"))));
  // A page tree whose /Kids lead back to its root.
  write_file(dir / "looping-pages.pdf",
             make_pdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 1 >>",
                       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"}));
  const std::string env = "CORVANE_HKLM=" + shell_quote((dir / "hklm.reg").string()) +
                          " CORVANE_HKCU=" + shell_quote((dir / "hkcu.reg").string());
  const auto out = shell_quote((dir / "signed.pdf").string());
  const struct {
    std::string input;
    const char* password_option;
  } cases[] = {{fixture_pdf("plain.pdf").string(), ""},
               {fixture_pdf("xref-stream.pdf").string(), ""},
               {fixture_pdf("enc-aes-256.pdf").string(), " --password user"},
               {(dir / "looping-pages.pdf").string(), ""}};
  for (const auto& c : cases) {
    const CommandResult signing = corvanepdf("sign " + shell_quote(c.input) + c.password_option + " -o " + out, env);
    ASSERT_EQ(signing.exit_code, 0) << c.input << "\n" << signing.output;
    const CommandResult r = corvanepdf("verify " + out + c.password_option);
    EXPECT_EQ(r.exit_code, 0) << c.input << "\n" << r.output;
    EXPECT_NE(r.output.find("  Signature: valid\n  Certificate: trusted\n  Whole file covered: yes\n"),
              std::string::npos)
        << c.input << "\n" << r.output;
  }
}

}  // namespace
}  // namespace corvane::test
