// Files in folders other users (nobody, 65534) can write to, as root: replaced files keep what they were,
// planted links and FIFOs are refused without blocking, setgid folders work, no temporary file stays.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/atomic_file.h"
#include "platform/logme.h"
#include "platform/profile.h"
#include "platform/removed_on_signal.h"
#include "platform/safe_open.h"
#include "platform/secret_file.h"
#include "tests/support/test_support.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;
constexpr uid_t kNobody = 65534;

// Runs `fn` in a child process as nobody (group 65534); its answer.
bool as_nobody(const std::function<bool()>& fn) { return test::in_child(fn, /*as_nobody=*/true); }

bool logge(const fs::path& file, const std::string& line) {
  LogMe log;
  Variant args[] = {Variant(file.string()), Variant(line)};
  Variant result;
  CallError error;
  return log.invoke(LogMe::kLoggeId, InvokeKind::kMethod, args, result, error);
}

// An access ACL granting nobody read access, in the kernel's xattr form: version 2, then (tag, perm, id)
// for user::rw-, user:nobody:r--, group::r--, mask::r--, other::---.
const std::string kAclWithNobody(
    "\x02\0\0\0" "\x01\0\x06\0\xff\xff\xff\xff" "\x02\0\x04\0\xfe\xff\0\0" "\x04\0\x04\0\xff\xff\xff\xff"
    "\x10\0\x04\0\xff\xff\xff\xff" "\x20\0\0\0\xff\xff\xff\xff", 44);

std::string xattr_of(const fs::path& file, const char* name) {
  char value[256];
  const ssize_t n = ::lgetxattr(file.c_str(), name, value, sizeof value);
  return n < 0 ? "" : std::string(value, static_cast<std::size_t>(n));
}

struct Folders {
  fs::path shared;     // 1777, like /tmp
  fs::path group;      // 2775 root:65534, the recommended shared `path`
  fs::path root_only;  // 0700, with root's file important.conf
  fs::path important() const { return root_only / "important.conf"; }
};

struct Row {
  const char* name;
  std::function<std::string(const Folders&)> run;  // what the row observes, "" when all is as it should be
};

std::string expect(bool ok, const std::string& what) { return ok ? "" : what; }

const Row kRows[] = {
    {"in-place replace keeps mode, owner, group, ACL and extended attributes", [](const Folders& f) {
       const fs::path file = f.shared / "a.pdf";
       test::write_file(file, "old");
       const std::string& acl = kAclWithNobody;
       if (::chown(file.c_str(), kNobody, kNobody) != 0 || ::chmod(file.c_str(), 02640) != 0 ||
           ::setxattr(file.c_str(), "user.origin", "mail", 4, 0) != 0 ||
           ::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
         return std::string("setup: ") + std::strerror(errno);
       std::string why;
       if (!replace_file_contents(file.string(), "new", 0644, true, &why)) return "replace failed: " + why;
       struct stat st {};
       ::stat(file.c_str(), &st);
       return expect(test::read_file(file) == "new", "content") +
              expect((st.st_mode & 07777) == 02640, "mode " + std::to_string(st.st_mode & 07777)) +
              expect(st.st_uid == kNobody && st.st_gid == kNobody, "owner") +
              expect(xattr_of(file, "user.origin") == "mail", "xattr") +
              expect(xattr_of(file, "system.posix_acl_access") == acl, "ACL");
     }},
    {"a new file follows the umask (a kept 0600 file: the file writing test)", [](const Folders& f) {
       const mode_t old = ::umask(027);
       const bool made = replace_file_contents((f.shared / "new.pdf").string(), "x", 0666);
       ::umask(old);
       return expect(made, "write failed") +
              expect((fs::status(f.shared / "new.pdf").permissions() & fs::perms::all) == fs::perms(0640), "umask");
     }},
    {"a hard link keeps the old content (the replaced name gets the new file)", [](const Folders& f) {
       test::write_file(f.shared / "one.pdf", "old");
       fs::create_hard_link(f.shared / "one.pdf", f.shared / "two.pdf");
       const bool ok = replace_file_contents((f.shared / "one.pdf").string(), "new");
       return expect(ok && test::read_file(f.shared / "one.pdf") == "new" &&
                         test::read_file(f.shared / "two.pdf") == "old",
                     "hard link");
     }},
    {"output through another user's link, or a dangling one, replaces the link", [](const Folders& f) {
       const bool planted = as_nobody([&] {
         return ::symlink(f.important().c_str(), (f.shared / "signed.pdf").c_str()) == 0 &&
                ::symlink((f.root_only / "new.conf").c_str(), (f.shared / "dangling.pdf").c_str()) == 0;
       });
       const bool a = replace_file_contents((f.shared / "signed.pdf").string(), "pdf", 0666, true);
       const bool b = replace_file_contents((f.shared / "dangling.pdf").string(), "pdf");
       return expect(planted && a && b, "setup or write failed") +
              expect(test::read_file(f.important()) == "root's", "target replaced") +
              expect(!fs::exists(f.root_only / "new.conf"), "file made through a dangling link") +
              expect(fs::is_regular_file(fs::symlink_status(f.shared / "signed.pdf")), "link kept");
     }},
    {"planted pdf.log, user.ini and user.ini.lock links are not followed", [](const Folders& f) {
       const bool planted = as_nobody([&] {
         for (const char* name : {"pdf.log", "user.ini", "user.ini.lock"})
           if (::symlink(f.important().c_str(), (f.shared / name).c_str()) != 0) return false;
         return true;
       });
       std::string why;
       const bool logged = logge(f.shared / "pdf.log", "line");
       const bool written = profile_write_string((f.shared / "user.ini").string(), "user", "alice", "a@x", &why);
       return expect(planted, "setup") + expect(!logged && !written, "written through a link") +
              expect(test::read_file(f.important()) == "root's", "target changed") +
              expect(why.find("link of another user") != std::string::npos, "why: " + why);
     }},
    {"a folder not made yet, planted as a link to root's folder, takes no pdf.log, user.ini or lock",
     [](const Folders& f) {
       // The `path` folder itself, and a folder inside it.
       const fs::path planted = f.shared / "corvane";
       fs::create_directory(f.root_only / "sub");
       const bool made = as_nobody([&] { return ::symlink(f.root_only.c_str(), planted.c_str()) == 0; });
       std::string why;
       const bool logged = logge(planted / "pdf.log", "line") || logge(planted / "sub" / "pdf.log", "line");
       const bool written = profile_write_string((planted / "sub" / "user.ini").string(), "user", "alice", "a@x", &why);
       std::string made_there;
       for (const char* name : {"pdf.log", "sub/pdf.log", "sub/user.ini", "sub/user.ini.lock"})
         if (fs::exists(f.root_only / name)) made_there += std::string(name) + " ";
       return expect(made, "setup") + expect(!logged && !written, "written through the folder link") +
              expect(made_there.empty(), "made in root's folder: " + made_there) +
              expect(why == "a link of another user", "why: " + why);
     }},
    {"passwords, PINs and key files are not read through another user's link", [](const Folders& f) {
       const bool planted = as_nobody([&] {
         return ::symlink(f.important().c_str(), (f.shared / "pw.txt").c_str()) == 0 &&
                ::symlink(f.important().c_str(), (f.shared / "key.p12").c_str()) == 0;
       });
       const FileRead secret = read_secret_file((f.shared / "pw.txt").string());
       const FileRead key = read_bounded_file((f.shared / "key.p12").string(), kKeyFileLimit);
       return expect(planted, "setup") + expect(!secret.bytes && !key.bytes, "read through a link") +
              expect(secret.problem == "a link of another user" && key.problem == secret.problem,
                     "why: " + secret.problem + ", " + key.problem);
     }},
    {"FIFOs are refused without blocking", [](const Folders& f) {
       for (const char* name : {"pdf.log", "user.ini", "out.pdf"}) ::mkfifo((f.shared / name).c_str(), 0666);
       std::string why;
       const bool logged = logge(f.shared / "pdf.log", "line");
       const bool written = profile_write_string((f.shared / "user.ini").string(), "user", "alice", "a@x");
       const bool replaced = replace_file_contents((f.shared / "out.pdf").string(), "x", 0666, true, &why);
       return expect(!logged && !written && !replaced, "written") +
              expect(!read_whole_file((f.shared / "user.ini").string()), "read") +
              expect(why == "not a regular file", "why: " + why);
     }},
    {"a setgid folder keeps every user's entries and log lines", [](const Folders& f) {
       const std::string ini = (f.group / "user.ini").string();
       const auto write = [&](const char* user) { return profile_write_string(ini, "user", user, "default"); };
       const bool ok = write("alice") && logge(f.group / "pdf.log", "root") &&
                       as_nobody([&] { return write("bob") && logge(f.group / "pdf.log", "nobody"); }) &&
                       write("carol");
       return expect(ok, "a write failed") +
              expect(test::read_file(ini) == "[user]\nalice=default\nbob=default\ncarol=default\n",
                     test::read_file(ini)) +
              expect(test::read_file(f.group / "pdf.log") == "root\nnobody\n", "log lines");
     }},
    {"a write that fails says why", [](const Folders& f) {
       std::string why;
       const bool denied = as_nobody([&] {
         std::string reason;
         return !replace_file_contents((f.root_only / "out.pdf").string(), "x", 0666, true, &reason) &&
                reason == "no permission";
       });
       const bool missing = !replace_file_contents((f.shared / "no" / "out.pdf").string(), "x", 0666, true, &why);
       return expect(denied, "no permission") + expect(missing && why == "the folder does not exist", why);
     }},
    {"a full or read-only file system is named (where this system may mount)", [](const Folders& f) {
       const fs::path small = f.shared / "small";
       fs::create_directory(small);
       if (::mount("none", small.c_str(), "tmpfs", 0, "size=64k") != 0) return std::string();
       std::string full, read_only;
       const bool wrote_big = replace_file_contents((small / "big.pdf").string(), std::string(256 * 1024, 'x'),
                                                    0666, true, &full);
       const bool remounted = ::mount("none", small.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
       const bool wrote_small = replace_file_contents((small / "out.pdf").string(), "x", 0666, true, &read_only);
       const bool names_left = fs::directory_iterator(small) != fs::directory_iterator();
       ::umount(small.c_str());
       return expect(!wrote_big && full == "no space left on the device", "full: " + full) +
              expect(!remounted || (!wrote_small && read_only == "read-only file system"), "ro: " + read_only) +
              expect(!names_left, "a file left on the full file system");
     }},
    {"a signal removes a named temporary file", [](const Folders& f) {
       const fs::path temp = f.shared / "out.pdf.tmp1";
       test::write_file(temp, "partial");
       const pid_t child = ::fork();
       if (child == 0) {
         const RemovedOnSignal guard(temp.string());
         ::raise(SIGTERM);
         ::_exit(0);
       }
       int status = 0;
       ::waitpid(child, &status, 0);
       return expect(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, "not ended by the signal") +
              expect(!fs::exists(temp), "left behind");
     }},
};

TEST(SharedFolders, OtherUsersCannotTurnRootsWritesAgainstHim) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as user 65534";
  for (const Row& row : kRows) {
    test::ScratchDir dir("shared");
    const Folders f{dir / "shared", dir / "group", dir / "root-only"};
    for (const auto& folder : {f.shared, f.group, f.root_only}) fs::create_directory(folder);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755) | ::chmod(f.shared.c_str(), 01777) |
                  ::chown(f.group.c_str(), 0, kNobody) | ::chmod(f.group.c_str(), 02775) |
                  ::chmod(f.root_only.c_str(), 0755),
              0);
    test::write_file(f.important(), "root's");
    EXPECT_EQ(row.run(f), "") << row.name;
    for (const auto& folder : {f.shared, f.group, f.root_only})
      for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
            << row.name << ": " << entry.path();
  }
}

}  // namespace
}  // namespace corvane::platform
