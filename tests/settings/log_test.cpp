// The diagnostic log: prepare-then-write, the `debug` switch, recovery after
// a failed hand-over, with the real logging component and a failing double.
#include "settings/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "platform/logme.h"
#include "platform/object_factory.h"
#include "tests/support/test_support.h"

namespace corvane::settings {
namespace {

using platform::AutomationObject;
using platform::CallError;
using platform::DispId;
using platform::InvokeKind;
using platform::Variant;
using test::ScopedEnv;
using test::ScratchDir;

// Log state is per thread: each run starts unprepared.
template <class Fn>
void on_fresh_thread(Fn fn) {
  std::thread(fn).join();
}

// A machine hive holding `debug_line` (a whole value line, or "") and `path`.
class LogTest : public ::testing::Test {
 protected:
  void set_hive(const std::string& debug_line, const std::string& path) {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n";
    if (!debug_line.empty()) text += debug_line + "\r\n";
    if (!path.empty()) text += "\"path\"=\"" + path + "\"\r\n";
    test::write_file(dir_ / "machine.reg", text);
  }
  std::string log_text() const { return test::read_file(dir_ / "logs" / "pdf.log"); }

  ScratchDir dir_{"log"};
  ScopedEnv hklm_{"CORVANE_HKLM", (dir_ / "machine.reg").string()};
  ScopedEnv hkcu_{"CORVANE_HKCU", (dir_ / "user.reg").string()};
  std::string logs_ = (dir_ / "logs").string();
};

TEST_F(LogTest, PreparesThenWritesTimeStampedLines) {
  std::filesystem::create_directory(logs_);
  set_hive("\"debug\"=\"1\"", logs_);
  on_fresh_thread([&] {
    log_line("first");  // prepares only
    EXPECT_FALSE(std::filesystem::exists(logs_ + "/pdf.log"));
    log_line("hello");
    log_line("");  // nothing
    log_line("caf\xC3\xA9");
  });
  const std::regex want("\\d{14}: hello\n\\d{14}: caf\xC3\xA9\n");
  EXPECT_TRUE(std::regex_match(log_text(), want)) << log_text();
  struct stat st {};
  ASSERT_EQ(::stat((logs_ + "/pdf.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogTest, DebugSwitch) {
  std::filesystem::create_directory(logs_);
  const struct {
    const char* debug_line;
    bool on;
  } cases[] = {
      {"\"debug\"=\"2\"", true},  {"\"debug\"=dword:00000003", true}, {"\"debug\"=\" 1.5 \"", true},
      {"\"debug\"=\"0\"", false}, {"", false}, {"\"debug\"=\"0.5\"", false},  // rounds to 0
      {"\"debug\"=\"yes\"", false}, {"\"debug\"=\"32768\"", false},  // not a 16-bit number
  };
  for (const auto& c : cases) {
    std::filesystem::remove(logs_ + "/pdf.log");
    set_hive(c.debug_line, logs_ + "/");  // a folder given with its slash
    on_fresh_thread([] {
      log_line("prepare");
      log_line("line");
    });
    EXPECT_EQ(std::filesystem::exists(logs_ + "/pdf.log"), c.on) << c.debug_line;
  }
}

TEST_F(LogTest, MissingFolderIsAFailedHandOverAndNotCreated) {
  set_hive("\"debug\"=\"1\"", logs_);  // the folder does not exist
  on_fresh_thread([] {
    for (const char* message : {"a", "b", "c"}) log_line(message);
  });
  EXPECT_FALSE(std::filesystem::exists(logs_));
}

// A logging component that fails its next call when told to, and records
// every line it accepts.
struct Recorder {
  int created = 0;
  bool fail_next = false;
  std::vector<std::string> lines;
};

class RecordingLogger : public AutomationObject {
 public:
  explicit RecordingLogger(Recorder& recorder) : recorder_(recorder) {}
  DispId dispatch_id(std::string_view name) const override { return name == "logge" ? 7 : -1; }
  bool invoke(DispId, InvokeKind, std::span<Variant> args, Variant&, CallError& error) override {
    if (recorder_.fail_next) {
      recorder_.fail_next = false;
      error.description = "Permission denied";
      return false;
    }
    recorder_.lines.push_back(*args[0].to_text() + " | " + args[1].to_text()->substr(14));
    return true;
  }

 private:
  Recorder& recorder_;
};

TEST_F(LogTest, RecoversAfterFailedHandOver) {
  set_hive("\"debug\"=\"1\"", "/var/log/corvane");
  Recorder recorder;
  auto guard = platform::ObjectFactory::instance().override_class(
      platform::kLogMeProgId, [&recorder]() -> std::shared_ptr<AutomationObject> {
        ++recorder.created;
        return std::make_shared<RecordingLogger>(recorder);
      });
  on_fresh_thread([&] {
    log_line("one");  // prepares
    recorder.fail_next = true;
    log_line("two");    // fails: back to not ready
    log_line("three");  // prepares again
    log_line("four");
  });
  EXPECT_EQ(recorder.created, 2);
  EXPECT_EQ(recorder.lines, std::vector<std::string>{"/var/log/corvane/pdf.log | : four"});
}

}  // namespace
}  // namespace corvane::settings
