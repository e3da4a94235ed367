// The verify subcommand of the corvanepdf command, run as a child process.
#include <gtest/gtest.h>

#include "tests/signing/signing_test_support.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::test {
namespace {

CommandResult corvanepdf(const std::string& arguments, const std::string& env = "") {
  return run_command(env + " " + shell_quote(CORVANEPDF_CLI) + " " + arguments);
}

TEST(VerifyCommand, ExitsZeroOnlyWhenEverySignatureHolds) {
  ScratchDir dir("verify-command");
  sign_with_peer(fixture_pdf("plain.pdf"), dir / "signed.pdf");
  write_file(dir / "appended.pdf", read_file(dir / "signed.pdf") + "\n%%EOF\n");
  const auto q = [&dir](const std::string& name) { return shell_quote((dir / name).string()); };
  const struct {
    std::string arguments;
    int want_exit;
    const char* want_output;
  } cases[] = {
      {"verify " + q("signed.pdf"), 0,
       "  E-mail: alex@example.test\n  Signing time: 20"},
      {"verify " + q("signed.pdf"), 0,
       "  Digest algorithm: SHA-256\n  Signature: valid\n  Certificate: trusted\n  Whole file covered: yes\n"},
      {"verify " + q("appended.pdf"), 1, "  Whole file covered: no (the signed revision ends at byte"},
      {"verify " + shell_quote(fixture_pdf("plain.pdf").string()), 1, "The document has no signatures.\n"},
      {"verify " + shell_quote(fixture_pdf("enc-rc4-128.pdf").string()), 1, "password is missing or wrong"},
      {"verify " + q("missing.pdf"), 1, "corvanepdf: The file"},
      {"verify " + shell_quote(fixture_pdf("not-a-pdf.pdf").string()), 1, "corvanepdf: The document"},
      {"verify", 2, "FILE is required"},
      {"verify " + q("signed.pdf") + " --bogus", 2, "--bogus"},
  };
  for (const auto& c : cases) {
    const CommandResult r = corvanepdf(c.arguments);
    EXPECT_EQ(r.exit_code, c.want_exit) << c.arguments << "\n" << r.output;
    EXPECT_NE(r.output.find(c.want_output), std::string::npos) << c.arguments << "\n" << r.output;
  }
}

// --json: one document that jq reads, with the exit status of the text.
TEST(VerifyCommand, JsonReportsTheSameFacts) {
  ScratchDir dir("verify-json");
  sign_with_peer(fixture_pdf("plain.pdf"), dir / "signed.pdf");
  write_file(dir / "appended.pdf", read_file(dir / "signed.pdf") + "\n%%EOF\n");
  const std::string facts =
      "[.all_hold, (.signatures | length), (.signatures[]? | .valid, .covers_whole_file, .signer.digest_algorithm, "
      ".signer.email, .signer.trusted, (.signed_end > 0)), .error]";
  const struct {
    std::string file;
    int want_exit;
    const char* want_facts;
  } cases[] = {
      {(dir / "signed.pdf").string(), 0, R"([true,1,true,true,"SHA-256","alex@example.test",true,true,null])"},
      {(dir / "appended.pdf").string(), 1, R"([false,1,true,false,"SHA-256","alex@example.test",true,true,null])"},
      {fixture_pdf("plain.pdf").string(), 1, R"([false,0,null])"},
      {(dir / "missing.pdf").string(), 1, R"([null,0,"The file)"},
  };
  for (const auto& c : cases) {
    const auto json = dir / "report.json";
    const CommandResult r = corvanepdf("verify --json " + shell_quote(c.file) + " >" + shell_quote(json.string()));
    EXPECT_EQ(r.exit_code, c.want_exit) << c.file << "\n" << r.output;
    const CommandResult read = run_command("jq -c '" + facts + "' " + shell_quote(json.string()));
    EXPECT_EQ(read.exit_code, 0) << read_file(json);
    EXPECT_TRUE(read.output.starts_with(c.want_facts)) << c.file << "\n" << read.output;
  }
}

TEST(VerifyCommand, AValidSignatureFromAnUntrustedSignerStillHolds) {
  ScratchDir dir("verify-untrusted");
  sign_with_peer(fixture_pdf("plain.pdf"), dir / "signed.pdf");
  std::filesystem::create_directories(dir / "empty-store");
  ASSERT_EQ(run_command("certutil -N --empty-password -d " + shell_quote("sql:" + (dir / "empty-store").string()))
                .exit_code,
            0);
  const CommandResult r = corvanepdf("verify " + shell_quote((dir / "signed.pdf").string()),
                                     "CORVANE_NSSDB=" + shell_quote("sql:" + (dir / "empty-store").string()));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("  Signature: valid\n  Certificate: not trusted ("), std::string::npos) << r.output;
}

TEST(VerifyCommand, OurOwnSignedFilesAreValid) {
  ScratchDir dir("verify-own");
  write_file(dir / "hkcu.reg", reg_file("HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf",
                                        reg_value("UniqueContainerName", unique_container_of("Alex Signer"))));
  const std::string env = "CORVANE_HKLM=" + shell_quote((dir / "hklm.reg").string()) +
                          " CORVANE_HKCU=" + shell_quote((dir / "hkcu.reg").string());
  const auto out = shell_quote((dir / "signed.pdf").string());
  const struct {
    const char* input;
    const char* password_option;
  } cases[] = {{"plain.pdf", ""}, {"xref-stream.pdf", ""}, {"enc-aes-256.pdf", " --password user"}};
  for (const auto& c : cases) {
    const CommandResult signing = corvanepdf(
        "sign " + shell_quote(fixture_pdf(c.input).string()) + c.password_option + " -o " + out, env);
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
