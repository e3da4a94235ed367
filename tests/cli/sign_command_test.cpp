// `corvanepdf sign` as a user meets it: one clear line for every failure a
// user can cause, nothing written then, and -v showing the run's log lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

// Hives of `dir` holding the user settings `values` ("name", "value" lines
// of a .reg file).
void write_user_hive(const ScratchDir& dir, const std::string& values) {
  write_file(dir / "hkcu.reg",
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf]\r\n" + values);
}

std::string reg_value(const std::string& name, const std::string& value) {
  return "\"" + name + "\"=\"" + value + "\"\r\n";
}

// The command in a session of its own (no controlling terminal) and without
// a display, so that no certificate chooser can show.
CommandResult sign(const ScratchDir& dir, const std::string& arguments) {
  return run_command("env -u DISPLAY -u WAYLAND_DISPLAY CORVANE_HKLM=" + shell_quote((dir / "hklm.reg").string()) +
                     " CORVANE_HKCU=" + shell_quote((dir / "hkcu.reg").string()) + " setsid -w " +
                     shell_quote(CORVANEPDF_CLI) + " sign " + arguments + " </dev/null");
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SignCommand, EveryFailureAUserCausesGetsOneClearLine) {
  ScratchDir dir("sign-command");
  std::filesystem::create_directory(dir / "folder.pdf");
  const std::string signer = reg_value("UniqueContainerName", unique_container_of("Alex Signer"));
  const std::string plain = shell_quote(fixture_pdf("plain.pdf").string());
  const std::string encrypted = shell_quote(fixture_pdf("enc-aes-256.pdf").string());
  const std::string out = shell_quote((dir / "out.pdf").string());
  const struct {
    const char* name;
    std::string settings;
    std::string arguments;
    const char* want;
  } cases[] = {
      {"missing input", signer, shell_quote((dir / "missing.pdf").string()) + " -o " + out, "no such file"},
      {"folder as input", signer, shell_quote((dir / "folder.pdf").string()) + " -o " + out, "is a folder"},
      {"not a PDF", signer, shell_quote(fixture_pdf("not-a-pdf.pdf").string()) + " -o " + out,
       "not a PDF the engine can read"},
      {"no password", signer, encrypted + " -o " + out, "is encrypted: give its password with --password"},
      {"wrong password", signer, encrypted + " --password nope -o " + out, "wrong password for"},
      {"output folder missing", signer, plain + " -o " + shell_quote((dir / "nowhere" / "out.pdf").string()),
       "output folder"},
      {"no certificate and no chooser", "", plain + " -o " + out, "no signing certificate is configured"},
      {"output is a folder", signer, plain + " -o " + shell_quote((dir / "folder.pdf").string()),
       "could not be written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_user_hive(dir, c.settings);
    const CommandResult r = sign(dir, c.arguments);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_TRUE(r.output.starts_with("corvanepdf: ")) << r.output;
    EXPECT_TRUE(contains(r.output, c.want)) << r.output;
    EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << "one line:\n" << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
  }
}

TEST(SignCommand, VerbosePrintsTheRunsLogLines) {
  ScratchDir dir("sign-command");
  write_user_hive(dir, reg_value("UniqueContainerName", unique_container_of("Alex Signer")) +
                           reg_value("signtext", "1"));
  const auto out = dir / "out.pdf";
  const std::string arguments = shell_quote(fixture_pdf("plain.pdf").string()) + " -o " + shell_quote(out.string());

  CommandResult r = sign(dir, arguments);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "");
  r = sign(dir, "-v " + arguments);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, ": signature stamp: ")) << r.output;
  const CommandResult check =
      run_command("pdfsig -nssdir " + shell_quote("sql:" + (fixtures_dir() / "nss").string()) + " " +
                  shell_quote(out.string()));
  EXPECT_TRUE(contains(check.output, "Signature is Valid.")) << check.output;

  r = sign(dir, "-v " + shell_quote(fixture_pdf("enc-rc4-128.pdf").string()) + " -o " + shell_quote(out.string()));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(contains(r.output, ": signing refused: the document is encrypted and no password was given\n"))
      << r.output;
}

TEST(SignCommand, BatchSignsEveryGoodFileDespiteABadOne) {
  ScratchDir dir("sign-batch");
  write_user_hive(dir, reg_value("UniqueContainerName", unique_container_of("Alex Signer")));
  std::filesystem::create_directory(dir / "out");
  std::string arguments;
  for (const char* name : {"plain.pdf", "not-a-pdf.pdf", "annots-form.pdf", "xref-stream.pdf", "ghostscript.pdf"})
    arguments += shell_quote(fixture_pdf(name).string()) + " ";
  const CommandResult r = sign(dir, arguments + "--out-dir " + shell_quote((dir / "out").string()) + " --jobs 2");

  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(contains(r.output, "signed 4 of 5 files")) << r.output;
  EXPECT_TRUE(contains(r.output, "not-a-pdf.pdf: cannot open ")) << r.output;
  EXPECT_TRUE(contains(r.output, "[5/5] ")) << "plain progress lines without a terminal:\n" << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "not-a-pdf-signed.pdf"));
  for (const char* name : {"plain", "annots-form", "xref-stream", "ghostscript"}) {
    const auto signed_file = dir / "out" / (std::string(name) + "-signed.pdf");
    const CommandResult check = run_command("pdfsig -nssdir " + shell_quote("sql:" + (fixtures_dir() / "nss").string()) +
                                            " " + shell_quote(signed_file.string()));
    EXPECT_TRUE(contains(check.output, "Signature is Valid.")) << name << ": " << check.output;
  }
}

}  // namespace
}  // namespace corvane::test
