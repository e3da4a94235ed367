// `corvanepdf` with a real token: a SoftHSM2 token added to the store with
// modutil (make_token_store.sh), its PKCS#11 calls logged by OpenSC's
// pkcs11-spy so that every login attempt is counted. A second store reaches
// the token through pin_flags_module, which shows it as after wrong PINs.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/terminal_run.h"
#include "tests/component/signed_pdf.h"
#include "tests/support/test_support.h"
#include "tests/timestamp/tsa_server.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const fs::path kTokenStore = fs::path(CORVANE_BINARY_DIR) / "token-store";
const fs::path kProtectedStore = fs::path(CORVANE_BINARY_DIR) / "signing-store" / "protected";

std::string token_container(const std::string& nickname) {
  std::ifstream in(kTokenStore / "keys.tsv");
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(nickname + "\t")) return line.substr(nickname.size() + 1);
  return {};
}

// A scratch folder with the settings, the spy's log and the files of a test.
class TokenTest : public ::testing::Test {
 protected:
  // A run's environment: `store`, CORVANE_PIN_FILE `pin_file` ("": none),
  // no display, pin_flags_module's flags `pin_flags` ("": none).
  std::string environment(const std::string& pin_file, const fs::path& store = kTokenStore / "db",
                          const std::string& pin_flags = "") const {
    return std::string("env -u DISPLAY -u WAYLAND_DISPLAY") + (pin_file.empty() ? " -u CORVANE_PIN_FILE" : "") +
           " SOFTHSM2_CONF=" + shell_quote((kTokenStore / "softhsm2.conf").string()) +
           " PKCS11SPY=/usr/lib/softhsm/libsofthsm2.so PKCS11SPY_OUTPUT=" + shell_quote((dir_ / "spy.log").string()) +
           " PIN_FLAGS_MODULE=/usr/lib/softhsm/libsofthsm2.so PIN_FLAGS=" + shell_quote(pin_flags) +
           " CORVANE_NSSDB=sql:" + shell_quote(store.string()) +
           " CORVANE_HKLM=" + shell_quote((dir_ / "hklm.reg").string()) +
           " CORVANE_HKCU=" + shell_quote((dir_ / "hkcu.reg").string()) +
           (pin_file.empty() ? "" : " CORVANE_PIN_FILE=" + shell_quote(pin_file));
  }
  // corvanepdf ARGUMENTS in a session without a terminal.
  CommandResult run(const std::string& pin_file, const std::string& arguments,
                    const fs::path& store = kTokenStore / "db", const std::string& pin_flags = "") const {
    return run_command(environment(pin_file, store, pin_flags) + " setsid -w " + shell_quote(CORVANEPDF_CLI) + " " + arguments +
                       " </dev/null");
  }
  // The token's calls since the last count: logins, and uses of a private
  // key (C_Sign, or C_SignFinal ending a multi-part signature).
  struct Calls {
    int logins = 0;
    int key_operations = 0;
  };
  Calls calls() const {
    std::ifstream in(dir_ / "spy.log");
    Calls count;
    for (std::string line; std::getline(in, line);) {
      count.logins += contains(line, "C_Login") ? 1 : 0;
      count.key_operations += line.ends_with(": C_Sign") || line.ends_with(": C_SignFinal") ? 1 : 0;
    }
    in.close();
    fs::remove(dir_ / "spy.log");
    return count;
  }
  int logins() const { return calls().logins; }
  void settings(const std::string& values) const { write_user_hive(dir_.path(), values); }
  // Copies of plain.pdf named `names`, and the options that sign them with
  // two workers into dir_/out.
  std::string batch(const std::vector<std::string>& names) const {
    std::string arguments;
    for (const auto& name : names) {
      fs::copy_file(fixture_pdf("plain.pdf"), dir_ / name);
      arguments += shell_quote((dir_ / name).string()) + " ";
    }
    fs::create_directories(dir_ / "out");
    return arguments + "--jobs 2 --out-dir " + shell_quote((dir_ / "out").string());
  }
  std::string fifo() const {
    ::mkfifo((dir_ / "fifo").c_str(), 0600);
    return (dir_ / "fifo").string();
  }
  std::string wrong_pin() const {
    write_file(dir_ / "wrong.txt", "0000\n");
    return (dir_ / "wrong.txt").string();
  }
  std::string to_out() const { return " -o " + shell_quote((dir_ / "out.pdf").string()); }

  const std::string pin_ = (kTokenStore / "pin.txt").string();
  const std::string plain_ = shell_quote(fixture_pdf("plain.pdf").string());
  ScratchDir dir_{"token"};
};

TEST_F(TokenTest, ListingLogsInOnceOrSaysWhyNot) {
  const struct {
    std::string pin_file;
    int exit_code, logins;
    const char* want;
  } cases[] = {{pin_, 0, 1, "ECDSA\tyes\t"},
               {wrong_pin(), 1, 1, "wrong PIN for token corvane-token"},
               {"", 1, 0, "no PIN: set CORVANE_PIN_FILE or run on a terminal"},
               // A FIFO nobody writes to does not hold the run.
               {fifo(), 1, 0, "no PIN: set CORVANE_PIN_FILE or run on a terminal"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pin_file);
    const CommandResult r = run(c.pin_file, "certificates");
    EXPECT_EQ(r.exit_code, c.exit_code) << r.output;
    EXPECT_THAT(r.output, HasSubstr(c.want));
    EXPECT_THAT(r.output, HasSubstr("\tcorvane-token:Tok P384\n"));
    EXPECT_EQ(logins(), c.logins);
  }
}

// Each key type, chosen by nickname, fingerprint (as listed, or lower case
// without colons) or container, signs with one login and one key use in
// either mode, with or without signed attributes and a timestamp.
TEST_F(TokenTest, RsaAndEcKeysSignOnceAndValidatorsAccept) {
  const TsaServer tsa(dir_ / "tsa");
  const std::string stamped = " --tsa " + tsa.url("/ok");
  const std::string rsa_fingerprint = [this] {
    const CommandResult list = run(pin_, "certificates");
    const auto at = list.output.find("\tcorvane-token:Tok RSA\n");
    const auto start = list.output.rfind('\t', at - 1);
    return list.output.substr(start + 1, at - start - 1);
  }();
  std::string typed_fingerprint;
  for (const char c : rsa_fingerprint)
    if (c != ':') typed_fingerprint += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  (void)logins();
  const struct {
    std::string cert;
    const char* name;
    std::string options;
  } cases[] = {{rsa_fingerprint, "Tok RSA", ""},
               {typed_fingerprint, "Tok RSA", "--append"},
               {"Tok RSA", "Tok RSA", "--pades" + stamped},
               {"Tok P256", "Tok P256", "--append --pades" + stamped},
               {"Tok P256", "Tok P256", "--pades"},
               {token_container("Tok P384"), "Tok P384", "--append" + stamped}};
  for (const auto& [cert, name, options] : cases) {
    SCOPED_TRACE(cert + " " + options);
    const auto out = dir_ / "out.pdf";
    const CommandResult r = run(pin_, "sign " + plain_ + to_out() + " --cert " + shell_quote(cert) + " " + options);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output, out.string() + " signed by " + name + "\n");
    const Calls calls = this->calls();
    EXPECT_EQ(calls.logins, 1);
    EXPECT_EQ(calls.key_operations, 1);
    EXPECT_THAT(pdfsig_report(out, ""), HasSubstr("Signature is Valid"));
    EXPECT_THAT(run_command("mutool sign -v " + shell_quote(out.string())).output, HasSubstr("unchanged since signing"));
    fs::remove(out);
  }
  // The run's choice was not saved.
  EXPECT_FALSE(contains(read_file(dir_ / "hkcu.reg"), "UniqueContainerName"));
}

// A wrong PIN is tried once for the whole process, also by a batch; a
// password-protected store is opened the same way.
TEST_F(TokenTest, WrongPinIsTriedOnceAndRefusesTheRun) {
  settings(reg_value("UniqueContainerName", token_container("Tok RSA")));
  const std::string three = batch({"in0.pdf", "in1.pdf", "in2.pdf"});
  const struct {
    std::string arguments;
    fs::path store;
    const char* want;
  } cases[] = {
      {"sign " + plain_ + to_out(), kTokenStore / "db", "wrong PIN for token corvane-token"},
      {"sign " + three, kTokenStore / "db", "wrong PIN for token corvane-token"},
      {"sign " + plain_ + to_out() + " --cert 'Dana Signer'", kProtectedStore, "wrong PIN for token NSS Certificate DB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CommandResult r = run(wrong_pin(), c.arguments, c.store);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_THAT(r.output, HasSubstr(c.want));
    if (c.store == kTokenStore / "db") { EXPECT_EQ(logins(), 1); }
    EXPECT_FALSE(fs::exists(dir_ / "out.pdf"));
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
  }
  const CommandResult right =
      run((kProtectedStore / "pin.txt").string(), "sign " + plain_ + to_out() + " --cert 'Dana Signer'", kProtectedStore);
  EXPECT_EQ(right.exit_code, 0) << right.output;
}

// A Python host, a new `edit` per run, its PIN file changed between runs: a
// refused PIN is never sent again, a new one is tried once, the right one signs.
TEST_F(TokenTest, AHostTriesEachNewPinOnceAndNeverARefusedOneAgain) {
  settings(reg_value("UniqueContainerName", token_container("Tok RSA")));
  write_file(dir_ / "other-wrong.txt", "9999\n");
  const std::string wrong = wrong_pin(), other = (dir_ / "other-wrong.txt").string();
  const struct {
    std::string pin_file;
    bool signs;
    int logins;  // C_Login calls of the run
  } runs[] = {{wrong, false, 1}, {wrong, false, 0}, {other, false, 1}, {wrong, false, 0},
              {pin_, true, 1},   {pin_, true, 0}};
  // Prints, per PIN file, whether signit signed and the C_Login calls so far.
  static constexpr const char* kHost = R"(
import os, sys, corvanepdf
source, target, spy = sys.argv[1:4]
for pin_file in sys.argv[4:]:
    os.environ["CORVANE_PIN_FILE"] = pin_file
    with corvanepdf.Edit() as edit:
        edit.pdfpath, edit.savepath = source, target
        signed = edit.signit()
    logins = sum("C_Login" in line for line in open(spy, errors="replace")) if os.path.exists(spy) else 0
    print(int(bool(signed)), logins, flush=True)
)";
  std::string arguments = plain_ + " " + shell_quote((dir_ / "out.pdf").string()) + " " +
                          shell_quote((dir_ / "spy.log").string());
  for (const auto& run : runs) arguments += " " + shell_quote(run.pin_file);
  const CommandResult r = run_command(environment(wrong) + " PYTHONPATH=" + shell_quote(CORVANE_PYTHON_DIR) +
                                      " CORVANEPDF_LIBRARY=" + shell_quote(CORVANEPDF_LIBRARY) +
                                      (*CORVANE_PYTHON_PRELOAD ? " LD_PRELOAD=" + shell_quote(CORVANE_PYTHON_PRELOAD) : "") +
                                      " setsid -w python3 -c " + shell_quote(kHost) + " " + arguments + " </dev/null 2>&1");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::string want;
  int logins_so_far = 0;
  for (const auto& run : runs)
    want += std::to_string(run.signs ? 1 : 0) + " " + std::to_string(logins_so_far += run.logins) + "\n";
  EXPECT_EQ(r.output, want);
  EXPECT_THAT(pdfsig_report(dir_ / "out.pdf", ""), HasSubstr("Signature is Valid"));
}

// A token that counts earlier wrong PINs still signs with the right one, and
// says so once on stderr, for one file and for a batch.
TEST_F(TokenTest, SignShowsTheTokensWarningAboutEarlierWrongPins) {
  const std::string one = "sign " + plain_ + to_out();
  const std::string two = "sign " + batch({"a.pdf", "b.pdf"});
  const struct {
    const char* pin_flags;
    std::string arguments;
    const char* want;
  } cases[] = {
      {"count_low", one, "corvanepdf: warning: token corvane-token: a wrong PIN was entered before\n"},
      {"final_try", one, "corvanepdf: warning: token corvane-token: one try left before the PIN locks\n"},
      {"final_try", two, "corvanepdf: warning: token corvane-token: one try left before the PIN locks\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pin_flags) + " " + c.arguments);
    const CommandResult r = run(pin_, c.arguments + " --cert 'Tok P256'", kTokenStore / "pin-flags-db", c.pin_flags);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(count_of(r.output, c.want), 1u) << r.output;
    EXPECT_EQ(count_of(r.output, "token corvane-token:"), 1u) << r.output;
  }
}

TEST_F(TokenTest, SelectedKeyMissingFromTheStoreSignsNothingUnlessFallbackIsSet) {
  const auto out = dir_ / "out.pdf";
  const std::string stale = reg_value("UniqueContainerName", "corvane-token:00");
  settings(stale);
  const CommandResult refused = run(pin_, "sign -v " + plain_ + to_out());
  EXPECT_EQ(refused.exit_code, 1) << refused.output;
  EXPECT_THAT(refused.output, HasSubstr("the selected certificate corvane-token:00 is not in the store"));
  EXPECT_THAT(refused.output, HasSubstr("choose another with --cert"));
  EXPECT_FALSE(fs::exists(out));
  settings(stale + reg_value("lastcertfallback", "1"));
  const CommandResult fallback = run(pin_, "sign -v " + plain_ + to_out());
  EXPECT_EQ(fallback.exit_code, 0) << fallback.output;
  EXPECT_THAT(fallback.output, HasSubstr("lastcertfallback: signing with the store's last certificate, Tok RSA"));
  EXPECT_THAT(fallback.output, HasSubstr(out.string() + " signed by Tok RSA\n"));
}

// The PIN is asked once on the terminal, hidden, for every worker of a batch.
TEST_F(TokenTest, BatchAsksForThePinOnceOnATerminal) {
  settings(reg_value("UniqueContainerName", token_container("Tok P256")));
  std::vector<std::string> names;
  for (int i = 0; i < 20; ++i) names.push_back("doc" + std::to_string(i) + ".pdf");
  const std::string command = environment("") + " " + shell_quote(CORVANEPDF_CLI) + " sign " + batch(names);
  const TerminalRun run = run_on_terminal(command, "PIN for token \"corvane-token\": ", "1234\n");
  EXPECT_EQ(run.exit_code, 0) << run.screen;
  EXPECT_EQ(count_of(run.screen, "PIN for token"), 1u) << run.screen;
  EXPECT_FALSE(contains(run.screen, "1234")) << run.screen;
  EXPECT_THAT(run.screen, HasSubstr("signed 20 of 20 files"));
  const Calls calls = this->calls();
  EXPECT_EQ(calls.logins, 1);
  EXPECT_EQ(calls.key_operations, 20);
}

// With nothing selected, sign shows the chooser once; closing it ends the run.
TEST_F(TokenTest, SignShowsTheChooserOnceAndStopsWhenItIsClosed) {
  const TerminalRun run = run_on_terminal(
      environment(pin_) + " " + shell_quote(CORVANEPDF_CLI) + " sign " + plain_ + to_out(), "q or Esc: close", "q\n");
  EXPECT_EQ(run.exit_code, 1) << run.screen;
  EXPECT_EQ(count_of(run.screen, "Private Key Info"), 1u) << run.screen;
  EXPECT_THAT(run.screen, HasSubstr("corvanepdf: no certificate chosen"));
  EXPECT_FALSE(fs::exists(dir_ / "out.pdf"));
}

// A PKCS#12 file goes into a store made for it; --select signs with it from
// then on.
TEST_F(TokenTest, ImportMakesTheStoreAndSelectsTheKey) {
  const fs::path pem = kProtectedStore.parent_path() / "pem";
  const auto p12 = dir_ / "dana.p12", certificate_only = dir_ / "certificate-only.p12", out = dir_ / "out.pdf";
  for (const auto& [file, options] : {std::pair{p12, std::string("-inkey ") + shell_quote((pem / "dana.key").string()) +
                                                         " -certfile " + shell_quote((pem / "ca.crt").string()) +
                                                         " -name 'Dana P12'"},
                                      {certificate_only, std::string("-nokeys")}})
    ASSERT_EQ(run_command("openssl pkcs12 -export " + options + " -in " + shell_quote((pem / "dana.crt").string()) +
                          " -passout pass:pw123 -out " + shell_quote(file.string())).exit_code, 0);
  write_file(dir_ / "pw.txt", "pw123\n");
  fs::create_directory(dir_ / "home");
  const std::string p12_arg = shell_quote(p12.string()), password = " --password-file " + shell_quote((dir_ / "pw.txt").string());
  // No store named: the import makes the default one under HOME.
  const std::string home = "-u CORVANE_NSSDB -u CORVANE_PIN_FILE HOME=" + shell_quote((dir_ / "home").string());
  const auto in_home = [&](const std::string& arguments, const std::string& redirections = "</dev/null") {
    return run_without_terminal(dir_.path(), CORVANEPDF_CLI, arguments, home, redirections);
  };
  // Files that would grow without end, hold the run or add what nobody
  // signs with are refused, and nothing goes into the store.
  const struct {
    std::string arguments;
    std::string want;
  } refused[] = {
      {"certificates", "no certificate store at " + (dir_ / "home" / ".pki" / "nssdb").string() +
                           " yet: make one with `corvanepdf import FILE.p12 --select`"},
      {"import " + p12_arg, "give the password with --password-file FILE (or - for standard input)"},
      {"import /dev/zero", "cannot read /dev/zero: not a regular file"},
      {"import " + p12_arg + " --password-file " + shell_quote(fifo()), "nothing was written to it within 3 seconds"},
      {"import " + shell_quote(certificate_only.string()) + password, "holds no private key"},
  };
  for (const auto& c : refused) {
    const CommandResult r = in_home(c.arguments);
    EXPECT_EQ(r.exit_code, 1) << c.arguments;
    EXPECT_THAT(r.output, HasSubstr(c.want));
  }
  EXPECT_FALSE(contains(run_command("certutil -L -d sql:" + shell_quote((dir_ / "home" / ".pki" / "nssdb").string())).output,
                        "Dana"));
  // The password on standard input.
  const CommandResult from_input =
      in_home("import " + p12_arg + " --password-file -", "<" + shell_quote((dir_ / "pw.txt").string()));
  EXPECT_EQ(from_input.exit_code, 0) << from_input.output;
  const CommandResult imported = in_home("import " + p12_arg + password + " --select");
  EXPECT_EQ(imported.exit_code, 0) << imported.output;
  EXPECT_TRUE(imported.output.starts_with("NSS Certificate DB:")) << imported.output;
  EXPECT_THAT(imported.output, HasSubstr("\tDana Signer\n"));
  const CommandResult signed_run = in_home("sign " + plain_ + " -o " + shell_quote(out.string()));
  EXPECT_EQ(signed_run.exit_code, 0) << signed_run.output;
  EXPECT_THAT(pdfsig_report(out, ""), HasSubstr("Signature is Valid"));

  // Its authority is in the store but not trusted: --trust-ca shows the
  // file's chain and trusts it; a certificate that is not an authority is
  // refused.
  EXPECT_EQ(in_home("verify " + shell_quote(out.string())).exit_code, 3);
  const CommandResult trusted = in_home("import " + p12_arg + password + " --trust-ca");
  EXPECT_EQ(trusted.exit_code, 0) << trusted.output;
  EXPECT_THAT(trusted.output, HasSubstr("the file's chain:\n  CN="));
  EXPECT_THAT(trusted.output, HasSubstr("trusted for signatures: CN="));
  EXPECT_EQ(in_home("verify " + shell_quote(out.string())).exit_code, 0);
  const CommandResult not_an_authority = in_home("trust " + shell_quote((pem / "dana.crt").string()));
  EXPECT_EQ(not_an_authority.exit_code, 1);
  EXPECT_THAT(not_an_authority.output, HasSubstr("is not a certification authority"));
}

}  // namespace
}  // namespace corvane::test
