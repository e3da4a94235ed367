// The corvanepdf command line, the Python example and the README's first
// signature, run as child processes against scratch hives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/terminal_run.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

using ::testing::HasSubstr;

TEST(Cli, ArgumentErrorsString2byteAndRegisterExitWithTheirCodes) {
  ScratchDir dir("cli");
  // No hive can be written: registering fails, the rest goes on with the defaults.
  std::filesystem::create_directory(dir / "hklm.reg");
  std::filesystem::create_directory(dir / "hkcu.reg");
  const struct {
    std::string arguments;
    int want_exit;
    const char* want_output;
    bool exact = false;  // the whole output, not a part of it
  } cases[] = {
      {"", 2, "subcommand"},
      {"nosuch", 2, "unknown command nosuch\ncommands:\n  sign "},
      {"--version", 0, "\nqpdf "},
      {"sign in.pdf", 2, "--output is required"},
      {"sign -o out.pdf", 2, "IN.pdf is required"},
      {"sign in.pdf -o out.pdf --bogus", 2, "--bogus"},
      {"string2byte", 2, "TEXT is required"},
      // string2byte prints the code-page bytes, one zero byte for "".
      {"string2byte ''", 0, "0\n", true},
      {"string2byte " + shell_quote("\xC3\xA9\xE2\x82\xAC"), 0, "233 128\n", true},
      {"register", 1, "registration failed"},
  };
  for (const auto& c : cases) {
    const CommandResult r = run_without_terminal(dir.path(), CORVANEPDF_CLI, c.arguments);
    EXPECT_EQ(r.exit_code, c.want_exit) << c.arguments << "\n" << r.output;
    EXPECT_TRUE(c.exact ? r.output == c.want_output : contains(r.output, c.want_output))
        << c.arguments << "\n" << r.output;
  }
}

TEST(Cli, PythonExampleCreatesTheObjectWithoutARegistration) {
  ScratchDir dir("cli");
  const auto python = [&dir](const std::string& arguments) {
    return run_without_terminal(dir.path(), "python3",
                                shell_quote(std::string(CORVANE_SOURCE_DIR) + "/examples/edit_from_python.py") + arguments,
                                (*CORVANE_PYTHON_PRELOAD ? "LD_PRELOAD=" + shell_quote(CORVANE_PYTHON_PRELOAD) : "") +
                                    " CORVANEPDF_LIBRARY=" + shell_quote(CORVANEPDF_LIBRARY));
  };
  CommandResult r = python("");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_THAT(r.output, HasSubstr("pdfloaded: False\n"));

  // A signed file that cannot be written: signit stays true, lasterror says why.
  write_user_hive(dir.path(), reg_value("UniqueContainerName", unique_container_of("Alex Signer")));
  const std::string out = (dir / "missing" / "out.pdf").string();
  r = python(" " + shell_quote(fixture_pdf("plain.pdf").string()) + " " + shell_quote(out));
  EXPECT_EQ(r.exit_code, 1) << r.output;  // nothing was written
  EXPECT_THAT(r.output, HasSubstr("signit: True\nlasterror: the signed file could not be written to " + out));
  EXPECT_THAT(r.output, HasSubstr("\nlasterrorcode: NOT_WRITTEN\n"));

  // A file that is not a PDF: what the engine said of it.
  r = python(" " + shell_quote(fixture_pdf("not-a-pdf.pdf").string()) + " " + shell_quote((dir / "out.pdf").string()));
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_THAT(r.output, HasSubstr("lasterror: the document could not be opened: not a PDF the engine can read ("));
  EXPECT_THAT(r.output, HasSubstr("\nlasterrorcode: NOT_PDF\n"));
}

// The README's "Sign your first file" commands, word for word, each on a
// terminal of its own (import asks for the password there) in a fresh HOME
// holding mine.p12 (the fixture signer), company-ca.pem and report.pdf.
TEST(Readme, FirstSignatureWorksWordForWord) {
  ScratchDir home("first-signature");
  const std::filesystem::path pem = fixtures_dir() / "nss" / "pem";
  ASSERT_EQ(run_command("openssl pkcs12 -export -inkey " + shell_quote((pem / "signer.key").string()) + " -in " +
                        shell_quote((pem / "signer.crt").string()) + " -passout 'pass:correct horse' -out " +
                        shell_quote((home / "mine.p12").string())).exit_code, 0);
  std::filesystem::copy_file(pem / "ca.crt", home / "company-ca.pem");
  std::filesystem::copy_file(fixture_pdf("plain.pdf"), home / "report.pdf");
  const std::string readme = read_file(std::string(CORVANE_SOURCE_DIR) + "/README.md");
  const auto block = readme.find("```sh\n", readme.find("## Sign your first file")) + 6;
  std::istringstream commands(readme.substr(block, readme.find("```", block) - block));
  std::vector<std::string> verbs;
  TerminalRun run;
  for (std::string command; std::getline(commands, command);) {
    if (command.find_first_not_of(' ') == std::string::npos) continue;
    const auto verb = command.find(' ') + 1;
    verbs.push_back(command.substr(verb, command.find(' ', verb) - verb));
    // Only what a new user has: the command on PATH, a scratch machine hive.
    run = run_on_terminal("cd " + shell_quote(home.path().string()) + " && env -i PATH=" +
                              shell_quote(std::filesystem::path(CORVANEPDF_CLI).parent_path().string()) + ":\"$PATH\" HOME=" +
                              shell_quote(home.path().string()) + " LANG=C.UTF-8 TERM=dumb CORVANE_HKLM=" +
                              shell_quote((home / "machine.reg").string()) + " bash -c " + shell_quote(command),
                          "assword", "correct horse\n");
    ASSERT_EQ(run.exit_code, 0) << command << "\n" << run.screen;
  }
  EXPECT_EQ(verbs, (std::vector<std::string>{"import", "certificates", "sign", "trust", "verify"}));
  EXPECT_THAT(run.screen, HasSubstr("Every signature is valid"));
  EXPECT_THAT(run.screen, HasSubstr("Certificate: trusted"));
}

}  // namespace
}  // namespace corvane::test
