// The diagnostic log: prepare-then-write, the `debug` switch, recovery after a failed hand-over.
#include "settings/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "tests/settings/settings_test_support.h"

namespace corvane::settings {
namespace {

using test::on_fresh_thread;

// A machine hive holding `debug_line` (a whole value line, or "") and `path`.
class LogTest : public ::testing::Test {
 protected:
  void set_hive(const std::string& debug_line, const std::string& path) {
    const std::string debug = debug_line.empty() ? "" : debug_line + "\r\n";
    test::write_file(hives_.machine, test::reg_file(test::kMachineKey, debug + test::reg_value("path", path)));
  }

  test::ScratchHives hives_{"log"};
  std::string logs_ = (hives_.dir / "logs").string();
  std::string log_file_ = logs_ + "/pdf.log";
};

// The first call only prepares the log; after a failed hand-over (here the folder is gone) the next call
// prepares it again.
TEST_F(LogTest, PreparesThenWritesTimeStampedLinesAndPreparesAgainAfterAFailure) {
  std::filesystem::create_directory(logs_);
  set_hive("\"debug\"=\"1\"", logs_);
  on_fresh_thread([&] {
    log_line("first");
    EXPECT_FALSE(std::filesystem::exists(log_file_));
    log_line("hello");
    log_line("");  // nothing
    log_line("caf\xC3\xA9");
    const std::string text = test::read_file(log_file_);
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d{14}: hello\n\\d{14}: caf\xC3\xA9\n"))) << text;
    struct stat st {};
    ASSERT_EQ(::stat(log_file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::filesystem::remove_all(logs_);
    log_line("lost");
    std::filesystem::create_directory(logs_);
    log_line("prepares again");
    log_line("last");
  });
  const std::string text = test::read_file(log_file_);
  EXPECT_TRUE(std::regex_match(text, std::regex("\\d{14}: last\n"))) << text;
}

TEST_F(LogTest, CaptureCollectsThisThreadsLinesWithTheLogOff) {
  set_hive("", logs_);
  on_fresh_thread([] {
    LogCapture outer;
    log_line("first");
    {
      LogCapture inner;
      log_warning("token T: one try left before the PIN locks");
      std::thread([] { log_line("another thread's"); }).join();
      EXPECT_EQ(inner.lines().size(), 1u);
      EXPECT_EQ(inner.warnings(), std::vector<std::string>{"token T: one try left before the PIN locks"});
    }
    log_line("");  // nothing
    log_line("last");
    ASSERT_EQ(outer.lines().size(), 2u);
    EXPECT_TRUE(std::regex_match(outer.lines().back(), std::regex("\\d{14}: last"))) << outer.lines().back();
    EXPECT_TRUE(outer.warnings().empty());
  });
}

TEST_F(LogTest, DebugSwitchAndMissingFolder) {
  const struct { const char* debug_line; bool folder_exists, on; } cases[] = {
      {"\"debug\"=dword:00000003", true, true}, {"\"debug\"=\" 1.5 \"", true, true},
      {"\"debug\"=\"0.5\"", true, false},  // rounds to 0
      {"", true, false}, {"\"debug\"=\"yes\"", true, false},
      {"\"debug\"=\"32768\"", true, false},  // not a 16-bit number
      {"\"debug\"=\"1\"", false, false},    // a failed hand-over; the folder is not made
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(logs_);
    if (c.folder_exists) std::filesystem::create_directory(logs_);
    set_hive(c.debug_line, logs_ + "/");  // a folder given with its slash
    on_fresh_thread([] {
      for (const char* message : {"prepare", "a", "b"}) log_line(message);
    });
    EXPECT_EQ(std::filesystem::exists(log_file_), c.on) << c.debug_line;
    EXPECT_EQ(std::filesystem::exists(logs_), c.folder_exists) << c.debug_line;
  }
}

}  // namespace
}  // namespace corvane::settings
