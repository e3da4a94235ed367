// `corvanepdf sign` as a user meets it: one clear line for every failure,
// nothing written then; on hostile inputs a signed file qpdf and pdfsig
// accept, or one line and nothing written, the input keeping its bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/component/signed_pdf.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

using ::testing::HasSubstr;

CommandResult sign(const ScratchDir& dir, const std::string& arguments, const std::string& redirections = "</dev/null") {
  return run_without_terminal(dir.path(), CORVANEPDF_CLI, "sign " + arguments, "", redirections);
}
std::string q(const std::filesystem::path& path) { return shell_quote(path.string()); }
// The hives of `dir` selecting the fixture signer, with `values`.
void select_signer(const ScratchDir& dir, const std::string& values = "") {
  write_user_hive(dir.path(), reg_value("UniqueContainerName", unique_container_of("Alex Signer")) + values);
}

TEST(SignCommand, EveryFailureAUserCausesGetsOneClearLine) {
  ScratchDir dir("sign-command");
  std::filesystem::create_directory(dir / "folder.pdf");
  const std::string signer = reg_value("UniqueContainerName", unique_container_of("Alex Signer"));
  const std::string plain = q(fixture_pdf("plain.pdf")), encrypted = q(fixture_pdf("enc-aes-256.pdf"));
  const std::string out = " -o " + q(dir / "out.pdf");
  write_file(dir / "no-pages.pdf",
             make_pdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [ ] /Count 0 >>"}));
  ::mkfifo((dir / "fifo.pdf").c_str(), 0600);
  write_file(dir / "huge.pdf", "%PDF-1.4\n");
  std::filesystem::resize_file(dir / "huge.pdf", 2200000000u);  // sparse
  const struct {
    const char* name;
    std::string arguments;
    const char* want;
    bool configured = true;  // a signer is selected
  } cases[] = {
      {"missing input", q(dir / "missing.pdf") + out, "no such file"},
      {"folder as input", q(dir / "folder.pdf") + out, "is a folder"},
      {"not a PDF", q(fixture_pdf("not-a-pdf.pdf")) + out, "not a PDF the engine can read"},
      {"no password", encrypted + out, "is encrypted: give its password with --password"},
      {"wrong password", encrypted + " --password nope" + out, "wrong password for"},
      {"output folder missing", plain + " -o " + q(dir / "nowhere" / "out.pdf"), "output folder"},
      {"no certificate and no chooser", plain + out, "no signing certificate is configured", false},
      {"no pages", q(dir / "no-pages.pdf") + out, "has no pages"},
      {"output is a FIFO", plain + " -o " + q(dir / "fifo.pdf"), "could not be written: not a regular file"},
      {"FIFO as input", q(dir / "fifo.pdf") + out, "not a regular file"},
      {"larger than the format allows", q(dir / "huge.pdf") + out, "too large to sign"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_user_hive(dir.path(), c.configured ? signer : "");
    const CommandResult r = sign(dir, c.arguments);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_TRUE(r.output.starts_with("corvanepdf: ")) << r.output;
    EXPECT_THAT(r.output, HasSubstr(c.want));
    EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << "one line:\n" << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
  }
}

// A temporary folder that does not exist takes nothing away.
TEST(SignCommand, StandardInputIntoStandardOutputThroughAPipeOrAFile) {
  ScratchDir dir("sign-stdio");
  select_signer(dir, reg_value("signtext", "1"));
  const ScopedEnv tmpdir("TMPDIR", (dir / "missing").string());
  const std::string plain = q(fixture_pdf("plain.pdf"));
  const auto out = dir / "out.pdf";
  for (const std::string& redirections : {"<" + plain + " >" + q(out), "<" + plain + " | cat >" + q(out)}) {
    SCOPED_TRACE(redirections);
    std::filesystem::remove(out);
    const CommandResult r = sign(dir, "- -o -", redirections);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output, "") << "nothing but the file on stdout, nothing on stderr";
    EXPECT_THAT(pdfsig_report(out, ""), HasSubstr("Signature is Valid."));
  }
  // Messages and log lines name standard input, never a temporary file.
  const CommandResult r = sign(dir, "- -o -", "<" + q(fixture_pdf("not-a-pdf.pdf")));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(r.output.starts_with("corvanepdf: cannot open standard input")) << r.output;
  const CommandResult appended = sign(dir, "-v - -o " + q(dir / "twice.pdf"), "<" + q(out));
  EXPECT_EQ(appended.exit_code, 0) << appended.output;
  EXPECT_THAT(appended.output, HasSubstr("corvanepdf: standard input: appended to keep 1 earlier signature\n"));
  EXPECT_THAT(appended.output, HasSubstr(": signature stamp: "));
  EXPECT_FALSE(contains(appended.output, "/proc/")) << appended.output;
}

// The pid of `corvanepdf ARGUMENTS` with `dir`'s hives, TMPDIR `tmp`, and
// standard input `input` (-1: /dev/null).
pid_t start_cli(const ScratchDir& dir, const std::filesystem::path& tmp, const std::vector<std::string>& arguments,
                int input) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  ::setsid();
  ::dup2(input >= 0 ? input : ::open("/dev/null", O_RDONLY), STDIN_FILENO);
  ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  ::setenv("CORVANE_HKLM", (dir / "hklm.reg").c_str(), 1);
  ::setenv("CORVANE_HKCU", (dir / "hkcu.reg").c_str(), 1);
  ::unsetenv("DISPLAY");
  std::vector<char*> argv{const_cast<char*>(CORVANEPDF_CLI)};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(CORVANEPDF_CLI, argv.data());
  ::_exit(127);
}

// Whether process `pid` opens a file under `folder` within 60 s.
bool holds_file_under(pid_t pid, const std::filesystem::path& folder) {
  for (int tenth = 0; tenth < 600; ++tenth) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
      if (std::filesystem::read_symlink(fd.path(), error).string().starts_with(folder.string() + "/")) return true;
    ::usleep(100000);
  }
  return false;
}

TEST(SignCommand, ARunEndedByASignalLeavesNothingInItsTemporaryFolder) {
  ScratchDir dir("sign-signals");
  select_signer(dir);
  const auto tmp = dir / "tmp";
  std::filesystem::create_directory(tmp);
  // A batch waits for the lock of an input whose signed file is a hard link to it.
  const auto input = dir / "x.pdf";
  std::filesystem::copy_file(fixture_pdf("plain.pdf"), input);
  std::filesystem::create_directory(dir / "out");
  std::filesystem::create_hard_link(input, dir / "out" / "x-signed.pdf");
  const std::string document = read_file(fixture_pdf("plain.pdf"));
  const struct {
    int signal;
    bool batch;
  } cases[] = {{SIGTERM, false}, {SIGHUP, false}, {SIGINT, false}, {SIGKILL, false}, {SIGKILL, true}, {SIGTERM, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(::strsignal(c.signal)) + (c.batch ? ", batch" : ", standard input"));
    int pipe[2] = {-1, -1};
    std::optional<HeldFileLock> other_run;
    pid_t run = -1;
    if (c.batch) {
      other_run.emplace(input);
      run = start_cli(dir, tmp, {"sign", input.string(), "--out-dir", (dir / "out").string()}, -1);
      EXPECT_TRUE(wait_for_file_lock(input, /*waiting=*/true));
    } else {
      // The document is read up to its end; the pipe stays open.
      ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
      run = start_cli(dir, tmp, {"sign", "-", "-o", "-"}, pipe[0]);
      ::close(pipe[0]);
      EXPECT_TRUE(::write(pipe[1], document.data(), document.size()) == static_cast<ssize_t>(document.size()));
      EXPECT_TRUE(holds_file_under(run, tmp));
    }
    ::kill(run, c.signal);
    int status = 0;
    ::waitpid(run, &status, 0);
    if (pipe[1] >= 0) ::close(pipe[1]);
    EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) != 0);
    std::string left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tmp)) left += entry.path().string() + "\n";
    EXPECT_EQ(left, "");
  }
}

TEST(SignCommand, BatchSignsEveryGoodFileDespiteABadOne) {
  ScratchDir dir("sign-batch");
  select_signer(dir);
  // The output folder is made, with its parents.
  std::string arguments;
  for (const char* name : {"plain.pdf", "not-a-pdf.pdf", "annots-form.pdf", "xref-stream.pdf", "ghostscript.pdf"})
    arguments += q(fixture_pdf(name)) + " ";
  const auto out_dir = dir / "new" / "out";
  const CommandResult r = sign(dir, arguments + "--out-dir " + q(out_dir) + " --jobs 2");

  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_THAT(r.output, HasSubstr("signed 4 of 5 files"));
  EXPECT_THAT(r.output, HasSubstr("not-a-pdf.pdf: cannot open "));
  EXPECT_TRUE(contains(r.output, "[5/5] ")) << "plain progress lines without a terminal:\n" << r.output;
  EXPECT_FALSE(std::filesystem::exists(out_dir / "not-a-pdf-signed.pdf"));
  for (const char* name : {"plain", "annots-form", "xref-stream", "ghostscript"})
    EXPECT_THAT(pdfsig_report(out_dir / (std::string(name) + "-signed.pdf"), ""), HasSubstr("Signature is Valid.")) << name;
}

TEST(SignCommand, BatchNeverWritesOverAnInput) {
  ScratchDir dir("sign-batch-inputs");
  select_signer(dir);
  // "a-signed.pdf" is an input and also where "a.pdf" would be signed to.
  const std::string original = read_file(fixture_pdf("annots-form.pdf"));
  std::filesystem::copy_file(fixture_pdf("plain.pdf"), dir / "a.pdf");
  write_file(dir / "a-signed.pdf", original);
  const CommandResult r =
      sign(dir, q(dir / "a.pdf") + " " + q(dir / "." / "a-signed.pdf") + " --out-dir " + q(dir.path()) + " --jobs 1");

  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_THAT(r.output, HasSubstr("signed 1 of 2 files"));
  EXPECT_THAT(r.output, HasSubstr("a.pdf: its signed file would replace the input "));
  EXPECT_EQ(read_file(dir / "a-signed.pdf"), original);
  EXPECT_THAT(pdfsig_report(dir / "a-signed-signed.pdf", ""), HasSubstr("Signature is Valid."));
}

TEST(SignCommand, ARunWaitingForItsInputGoesOnWithTheFileLeftThere) {
  ScratchDir dir("sign-in-place-wait");
  select_signer(dir);
  const auto file = dir / "c.pdf";
  // What another run left: a signed file.
  ASSERT_EQ(sign(dir, "-q " + q(fixture_pdf("annots-form.pdf")) + " -o " + q(dir / "signed.pdf")).exit_code, 0);
  const std::string left = read_file(dir / "signed.pdf");
  const struct {
    const char* name;
    const char* mode;
    int want_exit;
    std::string want_output;
  } cases[] = {
      // An append, chosen or judged from the file then there, keeps the other run's signature.
      {"append", "--append", 0, ""},
      {"mode judged from the file", "", 0, "corvanepdf: " + file.string() + ": appended to keep 1 earlier signature\n"},
      // A rebuild of it would undo that signature.
      {"rebuild", "--rebuild", 1, "corvanepdf: cannot sign " + file.string() + ": the document changed while signing\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::copy_file(fixture_pdf("plain.pdf"), file, std::filesystem::copy_options::overwrite_existing);
    write_file(dir / "left.pdf", left);
    HeldFileLock other_run(file);
    CommandResult r;
    std::thread run([&] { r = sign(dir, std::string(c.mode) + " -q " + q(file) + " -o " + q(file)); });
    EXPECT_TRUE(wait_for_file_lock(file, /*waiting=*/true));
    std::filesystem::rename(dir / "left.pdf", file);
    other_run.release();
    run.join();
    EXPECT_EQ(r.exit_code, c.want_exit) << r.output;
    EXPECT_EQ(r.output, c.want_output);
    const std::string now = read_file(file);
    EXPECT_EQ(now.substr(0, left.size()), left) << "another run's file is kept";
    EXPECT_EQ(count_of(pdfsig_report(file, ""), "Signature is Valid."), c.want_exit == 0 ? 2u : 1u);
  }
}

enum class Outcome { kSigned, kRefused };

TEST(HostileInput, EndsSignedAndValidOrRefusedWithNothingWritten) {
  ScratchDir dir("hostile-input");
  // user.ini goes into the scratch folder.
  write_file(dir / "hklm.reg", reg_file(kMachineKey, reg_value("path", dir.path().string() + "/")));
  select_signer(dir, reg_value("signtext", "1"));
  const std::string plain = read_file(fixture_pdf("plain.pdf"));
  const std::string no_table = plain.substr(0, plain.rfind("xref\n")) + "trailer\n<< /Size 7 /Root 1 0 R >>\n%%EOF\n";
  std::string huge_length = plain;
  const std::size_t length = huge_length.find("/Length ") + 8;
  huge_length.replace(length, huge_length.find(' ', length) - length, "2147483648");
  // Lookalikes of the catalog's and pages' headers, an object's end and the
  // table in stream data: the rebuild must find the real headers.
  const std::string lookalikes = with_update(
      plain, {{3, "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 595 842 ] /Resources << /Font << /F1 5 0 R >> >> "
                  "/Contents 4 0 R /Annots [ ] /PieceInfo 7 0 R >>"},
              {7, pdf_stream("q\nendobj\n1 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\nxref\n0 1\n"
                             "0000000000 65535 f \ntrailer\n4 0 obj\n<< >>\nendobj\nQ")}});

  const struct {
    const char* name;
    std::string pdf;
    std::string options;
    Outcome want;
    const char* reason_json = nullptr;  // how qpdf reads the signature's /Reason back
  } cases[] = {
      {"cut in half (no trailer left)", plain.substr(0, plain.size() / 2), "", Outcome::kRefused},
      {"cut before startxref", plain.substr(0, plain.rfind("startxref")), "", Outcome::kSigned},
      {"garbage after %%EOF", plain + std::string("\x01\xff garbage\n%%EOF\nxref\n", 22), "", Outcome::kSigned},
      {"no cross-reference table", no_table, "", Outcome::kSigned},
      {"2 GB /Length", huge_length, "", Outcome::kSigned},
      {"table lookalikes in streams", lookalikes, "", Outcome::kSigned},
      {"reason of 10,000 characters", plain, "--reason " + shell_quote(std::string(10000, 'r')), Outcome::kSigned},
      {"placeholders in the reason", plain, "--reason '@@dummysig@@ @@newxrefnumber-1@@ @@certificate@@'",
       Outcome::kSigned, R"("/Reason": "u:@@dummysig@@ @@newxrefnumber-1@@ @@certificate@@")"},
      {"name with ( ) \\ line break and non-Latin letters", plain,
       "--user " + shell_quote("Zoë (QA) \\ back\nslash Ωμέγα 名前") + " --reason " + shell_quote("a (b\\) :-( \\\\ ü\r\nÄ"),
       Outcome::kSigned, R"("/Reason": "u:a (b\\) :-( \\\\ ü\r\nÄ")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto in = dir / "in.pdf";
    const auto out = dir / "out.pdf";
    std::filesystem::remove(out);
    write_file(in, c.pdf);
    const CommandResult r = sign(dir, q(in) + " -o " + q(out) + " " + c.options);
    EXPECT_EQ(read_file(in), c.pdf) << "the input was modified";
    if (c.want == Outcome::kRefused) {
      EXPECT_EQ(r.exit_code, 1) << r.output;
      EXPECT_TRUE(r.output.starts_with("corvanepdf: ")) << r.output;
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    EXPECT_EQ(r.exit_code, 0) << r.output;
    if (r.exit_code != 0) continue;
    EXPECT_EQ(qpdf_problems(out, ""), "");
    EXPECT_THAT(pdfsig_report(out, ""), HasSubstr("Signature is Valid."));
    if (!c.reason_json) continue;
    const std::string dictionary = std::to_string(last_number_after(read_file(out), "/Size ") - 1);
    EXPECT_THAT(run_command("qpdf --json=2 --json-key=qpdf --json-object=" + dictionary + " " + q(out)).output,
                HasSubstr(c.reason_json));
  }

  // A user.ini that cannot be written is a warning, not a failure.
  std::filesystem::remove(dir / "user.ini");
  ::mkfifo((dir / "user.ini").c_str(), 0600);
  const CommandResult warned = sign(dir, q(fixture_pdf("plain.pdf")) + " -o " + q(dir / "out.pdf") + " --user carol");
  EXPECT_EQ(warned.exit_code, 0) << warned.output;
  EXPECT_THAT(warned.output, HasSubstr("corvanepdf: warning: user.ini could not be updated"));

  // A file signed in place (rebuilt) is replaced by the signed file.
  write_file(dir / "same.pdf", plain);
  ASSERT_EQ(sign(dir, q(dir / "same.pdf") + " -o " + q(dir / "same.pdf")).exit_code, 0);
  EXPECT_THAT(pdfsig_report(dir / "same.pdf", ""), HasSubstr("Signature is Valid."));
}

}  // namespace
}  // namespace corvane::test
