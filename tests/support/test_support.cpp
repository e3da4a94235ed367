#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <sys/wait.h>

namespace corvane::test {

std::filesystem::path fixtures_dir() { return CORVANE_FIXTURES_DIR; }

std::filesystem::path fixture_pdf(const std::string& name) { return fixtures_dir() / "pdf" / name; }

ScratchDir::ScratchDir(const std::string& label) {
  static std::atomic<int> counter{0};
  const auto base = std::filesystem::path(CORVANE_BINARY_DIR) / "test-scratch";
  std::filesystem::create_directories(base);
  path_ = base / (label + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

CommandResult run_command(const std::string& command_line) {
  CommandResult result;
  FILE* pipe = ::popen((command_line + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string shell_quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandResult run_without_terminal(const std::filesystem::path& dir, const std::string& program,
                                   const std::string& arguments, const std::string& environment,
                                   const std::string& redirections) {
  return run_command("env -u DISPLAY -u WAYLAND_DISPLAY " + environment +
                     " CORVANE_HKLM=" + shell_quote((dir / "hklm.reg").string()) +
                     " CORVANE_HKCU=" + shell_quote((dir / "hkcu.reg").string()) + " setsid -w " +
                     shell_quote(program) + " " + arguments + " " + redirections);
}

std::vector<CommandResult> run_at_once(const std::filesystem::path& dir, const std::vector<std::string>& command_lines) {
  std::vector<CommandResult> results(command_lines.size());
  std::vector<std::thread> runs;
  for (std::size_t i = 0; i < command_lines.size(); ++i)
    runs.emplace_back(
        [&, i] { results[i] = run_without_terminal(dir, "bash", "-c " + shell_quote(command_lines[i])); });
  for (std::thread& run : runs) run.join();
  return results;
}

HeldFileLock::HeldFileLock(const std::filesystem::path& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_TRUE(fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0) << path;
}

HeldFileLock::~HeldFileLock() { release(); }
void HeldFileLock::release() { if (fd_ >= 0) ::close(std::exchange(fd_, -1)); }

bool wait_for_file_lock(const std::filesystem::path& path, bool waiting) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  // /proc/locks: "N: FLOCK ADVISORY WRITE PID MAJOR:MINOR:INODE 0 EOF", with
  // "-> " before "FLOCK" for a process waiting for the lock.
  const std::string inode = ":" + std::to_string(status.st_ino) + " ";
  for (int tenth = 0; tenth < 600; ++tenth) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
      if (contains(line, " FLOCK ") && contains(line, inode) && contains(line, "-> ") == waiting) return true;
    ::usleep(100000);
  }
  return false;
}

std::string make_pdf(const std::vector<std::string>& objects, const std::string& trailer_extra) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailer_extra +
         ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

std::string pdf_stream(const std::string& data, const std::string& dictionary) {
  return "<< " + dictionary + (dictionary.empty() ? "" : " ") + "/Length " + std::to_string(data.size()) +
         " >>\nstream\n" + data + "\nendstream";
}

long last_number_after(const std::string& pdf, const std::string& key) {
  const std::size_t at = pdf.rfind(key);
  return at == std::string::npos ? -1 : std::stol(pdf.substr(at + key.size()));
}

std::string with_update(const std::string& pdf, const std::vector<UpdateObject>& objects,
                        const std::string& trailer_extra) {
  std::string out = pdf;
  if (!out.ends_with("\n")) out += "\n";
  std::string table = "xref\n";
  auto size = static_cast<int>(last_number_after(pdf, "/Size "));
  for (const UpdateObject& object : objects) {
    char entry[40];
    if (object.body.empty()) {
      std::snprintf(entry, sizeof entry, "0000000000 %05d f \n", object.generation + 1);
    } else {
      std::snprintf(entry, sizeof entry, "%010zu %05d n \n", out.size(), object.generation);
      out += std::to_string(object.number) + " " + std::to_string(object.generation) + " obj\n" + object.body +
             "\nendobj\n";
    }
    table += std::to_string(object.number) + " 1\n" + entry;
    size = std::max(size, object.number + 1);
  }
  const std::size_t xref = out.size();
  out += table + "trailer\n<< /Size " + std::to_string(size) + " /Root " +
         std::to_string(last_number_after(pdf, "/Root ")) + " 0 R /Prev " +
         std::to_string(last_number_after(pdf, "startxref\n")) + " " + trailer_extra + " >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

std::string qpdf_problems(const std::filesystem::path& pdf, const std::string& password) {
  const std::string option = password.empty() ? "" : " --password=" + shell_quote(password);
  const auto result = run_command("qpdf --check" + option + " " + shell_quote(pdf.string()));
  const bool clean = result.exit_code == 0 && result.output.find("WARNING") == std::string::npos &&
                     result.output.find("No syntax or stream encoding errors found") != std::string::npos;
  return clean ? std::string() : result.output;
}

std::string page_text(const std::filesystem::path& pdf, const std::string& password) {
  const std::string option = password.empty() ? "" : " -upw " + shell_quote(password);
  const auto result = run_command("pdftotext -q" + option + " " + shell_quote(pdf.string()) + " -");
  std::string squeezed;
  for (const char c : result.exit_code == 0 ? result.output : std::string()) {
    if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
    else if (!squeezed.empty() && squeezed.back() != ' ') squeezed += ' ';
  }
  if (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
  return squeezed;
}

std::string object_text(const std::string& file, int number) {
  const std::size_t at = file.find("\n" + std::to_string(number) + " 0 obj\n");
  const std::size_t end = at == std::string::npos ? at : file.find("endobj\n", at);
  return end == std::string::npos ? "" : file.substr(at + 1, end + 6 - at);
}

bool in_children(int count, const std::function<bool(int)>& fn, bool as_nobody) {
  int gate[2];  // all children start when the gate closes
  if (::pipe(gate) != 0) return false;
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(gate[1]);
      char ignored;
      (void)!::read(gate[0], &ignored, 1);
      const gid_t nobody = 65534;
      if (as_nobody && (::setgroups(1, &nobody) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                        ::setresuid(nobody, nobody, nobody) != 0))
        ::_exit(2);
      ::_exit(fn(i) ? 0 : 1);
    }
    if (child > 0) children.push_back(child);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  bool all = static_cast<int>(children.size()) == count;
  for (const pid_t child : children) {
    int status = 0;
    all = ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && all;
  }
  return all;
}

std::string read_file(const std::filesystem::path& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string reg_file(const std::string& key, const std::string& values) {
  return "Windows Registry Editor Version 5.00\r\n\r\n[" + key + "]\r\n" + values;
}

std::string reg_value(const std::string& name, const std::string& value) {
  return "\"" + name + "\"=\"" + value + "\"\r\n";
}

void expect_golden(const std::string& relative, const std::string& actual) {
  const auto path = std::filesystem::path(CORVANE_SOURCE_DIR) / "tests" / relative;
  const char* update = std::getenv("CORVANE_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") return write_file(path, actual);
  ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing; run with CORVANE_UPDATE_GOLDEN=1";
  EXPECT_EQ(actual, read_file(path)) << "differs from " << path;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  stdin_ = in[1];
  pollfd wait{out[0], POLLIN, 0};
  char c;
  while (pid_ > 0 && ::poll(&wait, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') first_line_ += c;
  ::close(out[0]);
}

BackgroundProgram::~BackgroundProgram() {
  if (stdin_ >= 0) ::close(stdin_);
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name.c_str())) had_old_ = true, old_ = old;
  ::setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_old_) ::setenv(name_.c_str(), old_.c_str(), 1);
  else ::unsetenv(name_.c_str());
}

}  // namespace corvane::test
