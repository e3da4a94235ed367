#include "tests/identity/identity_test_support.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {
namespace {

int g_planned_port = 0;
std::unique_ptr<SlapdServer> g_server;  // ended by the environment's TearDown

const std::string kTestdata = std::string(CORVANE_SOURCE_DIR) + "/tests/identity/testdata";

std::string configuration(const std::filesystem::path& folder) {
  return "include /etc/ldap/schema/core.schema\ninclude /etc/ldap/schema/cosine.schema\ninclude " + kTestdata +
         "/ad_classes.schema\npidfile " + (folder / "slapd.pid").string() + "\nargsfile " +
         (folder / "slapd.args").string() + "\nmodulepath /usr/lib/ldap\nmoduleload back_mdb\nsizelimit unlimited\n"
         "database mdb\nmaxsize 10485760\nsuffix \"" + std::string(kTestSuffix) + "\"\nrootdn \"cn=admin," +
         std::string(kTestSuffix) + "\"\nrootpw admin-secret\ndirectory " + (folder / "db").string() + "\n";
}

// slapd in the foreground at URI ($1) with the folder FOLDER ($2), seeded
// from LDIF ($3); "ready" once seeded. Closing its input or SIGTERM stops slapd and waits for it.
constexpr char kLauncher[] =
    "slapd -d 0 -h \"$1\" -f \"$2/slapd.conf\" >\"$2/slapd.log\" 2>&1 & pid=$!\n"
    "trap 'trap \"\" TERM; kill $pid 2>/dev/null; wait $pid' EXIT; trap 'exit 1' TERM\n"
    "for i in $(seq 200); do ldapsearch -x -H \"$1\" -s base -b '' >/dev/null 2>&1 && break; sleep 0.025; done\n"
    "ldapadd -x -H \"$1\" -D \"cn=admin,$4\" -w admin-secret -f \"$3\" >>\"$2/slapd.log\" 2>&1 || exit 1\n"
    "echo ready; read -r _\n";

// Points the LDAP client library (its configuration is read once per process, before any test) at the
// test server, with a scratch home and none of the user's LDAP variables.
class IdentityEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    home_ = std::make_unique<ScratchDir>("identity-home");
    ::setenv("HOME", home_->path().c_str(), 1);
    for (const char* name : {"LDAPBINDDN", "LDAPRC", "LDAPCONF", "LDAPNOINIT", "LDAPSASL_MECH", "LDAPBASE",
                             "CORVANE_LDAP_PASSWORD_FILE"})
      ::unsetenv(name);
    ::setenv("LDAPURI", SlapdServer::planned_uri().c_str(), 1);
  }
  void TearDown() override {
    SlapdServer::shut_down();
    home_.reset();
  }

 private:
  std::unique_ptr<ScratchDir> home_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new IdentityEnvironment);

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
  if (g_server) return g_server->uri_;
  if (g_planned_port == 0) g_planned_port = free_loopback_port();
  return loopback_ldap_uri(g_planned_port);
}

SlapdServer& SlapdServer::instance() {
  if (!g_server) {
    g_server.reset(new SlapdServer());
    // The planned port may have been taken meanwhile: then try fresh ones.
    bool started = g_server->start(g_planned_port ? g_planned_port : free_loopback_port());
    for (int attempt = 0; !started && attempt < 3; ++attempt) started = g_server->start(free_loopback_port());
    if (!started) {
      ADD_FAILURE() << "slapd did not start; see " << g_server->folder_->path() / "slapd.log";
      g_server->uri_.clear();
    }
  }
  return *g_server;
}

void SlapdServer::shut_down() { g_server.reset(); }

bool SlapdServer::start(int port) {
  program_.reset();
  folder_ = std::make_unique<ScratchDir>("slapd");
  std::filesystem::create_directories(folder_->path() / "db");
  write_file(*folder_ / "slapd.conf", configuration(folder_->path()));
  uri_ = loopback_ldap_uri(port);
  program_ = std::make_unique<BackgroundProgram>(std::vector<std::string>{
      "sh", "-c", kLauncher, "slapd", uri_, folder_->path().string(), kTestdata + "/directory.ldif", kTestSuffix});
  return program_->first_line() == "ready";
}

}  // namespace corvane::test
