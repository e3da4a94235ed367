#include "tests/identity/slapd_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

int& planned_port() {
  static int port = 0;
  return port;
}

std::unique_ptr<SlapdServer>& server_slot() {
  static std::unique_ptr<SlapdServer> server;
  return server;
}

bool accepts_connections(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

std::string configuration(const std::filesystem::path& folder) {
  const std::filesystem::path testdata = std::filesystem::path(CORVANE_SOURCE_DIR) / "tests/identity/testdata";
  return "include /etc/ldap/schema/core.schema\n"
         "include /etc/ldap/schema/cosine.schema\n"
         "include " + (testdata / "ad_classes.schema").string() + "\n"
         "pidfile " + (folder / "slapd.pid").string() + "\n"
         "argsfile " + (folder / "slapd.args").string() + "\n"
         "modulepath /usr/lib/ldap\n"
         "moduleload back_mdb\n"
         "sizelimit unlimited\n"
         "database mdb\n"
         "maxsize 10485760\n"
         "suffix \"" + std::string(kTestSuffix) + "\"\n"
         "rootdn \"cn=admin," + std::string(kTestSuffix) + "\"\n"
         "rootpw admin-secret\n"
         "directory " + (folder / "db").string() + "\n";
}

}  // namespace

std::string loopback_ldap_uri(int port) { return "ldap://127.0.0.1:" + std::to_string(port) + "/"; }

int free_loopback_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = 0;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

std::string SlapdServer::planned_uri() {
  if (server_slot()) return server_slot()->uri_;
  if (planned_port() == 0) planned_port() = free_loopback_port();
  return loopback_ldap_uri(planned_port());
}

SlapdServer& SlapdServer::instance() {
  auto& slot = server_slot();
  if (!slot) {
    slot.reset(new SlapdServer());
    // The planned port may have been taken meanwhile: then try fresh ones.
    bool started = slot->start(planned_port() ? planned_port() : free_loopback_port());
    for (int attempt = 0; !started && attempt < 3; ++attempt) started = slot->start(free_loopback_port());
    if (!started) {
      ADD_FAILURE() << "slapd did not start; see " << slot->folder_ / "slapd.log";
      slot->uri_.clear();
    }
  }
  return *slot;
}

void SlapdServer::shut_down() { server_slot().reset(); }

SlapdServer::~SlapdServer() {
  stop();
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool SlapdServer::start(int port) {
  stop();
  folder_ = std::filesystem::path(CORVANE_BINARY_DIR) / "test-scratch" /
            ("slapd-" + std::to_string(::getpid()) + "-" + std::to_string(port));
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_ / "db");
  write_file(folder_ / "slapd.conf", configuration(folder_));
  uri_ = loopback_ldap_uri(port);

  const std::string conf = (folder_ / "slapd.conf").string();
  const std::string log = (folder_ / "slapd.log").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    // The server must not outlive a test program that crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execl("/usr/sbin/slapd", "slapd", "-d", "0", "-h", uri_.c_str(), "-f", conf.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) return false;

  bool listening = false;
  for (int i = 0; i < 200 && !listening; ++i) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    listening = accepts_connections(port);
    if (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (!listening) return false;
  const auto seeded = run_command("ldapadd -x -H " + uri_ + " -D " + shell_quote("cn=admin," + std::string(kTestSuffix)) +
                                  " -w admin-secret -f " +
                                  shell_quote(std::string(CORVANE_SOURCE_DIR) + "/tests/identity/testdata/directory.ldif"));
  if (seeded.exit_code != 0) {
    ADD_FAILURE() << "seeding the test directory failed:\n" << seeded.output;
    return false;
  }
  return true;
}

void SlapdServer::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace corvane::test
