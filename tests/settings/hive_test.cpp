// The hive files: reading Windows exports, keeping what we do not
// understand, never overwriting a broken hive, concurrent writers.
#include "platform/hives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "tests/support/test_support.h"

namespace corvane::platform {
namespace {

using test::ScopedEnv;
using test::ScratchDir;

std::string utf16le_with_bom(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  append_utf16le(utf8, TextEncoding::kUtf8, out);
  return out;
}

// What the Windows registry editor exports: UTF-16LE, CRLF, binary values
// over continuation lines, a key deletion and a value deletion.
constexpr std::string_view kWindowsExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\old]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
    "@=\"default text\"\r\n"
    "\"path\"=\"C:\\\\Logs\\\\\"\r\n"
    "\"debug\"=dword:0000000a\r\n"
    "\"blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17\r\n"
    "\"expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
    "\"quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"Stra\xC3\x9F" "e\"=\"Gr\xC3\xBC\xC3\x9F" "e\"\r\n"
    "\"gone\"=-\r\n"
    "; a comment the administrator wrote\r\n"
    "\r\n";

class HiveTest : public ::testing::Test {
 protected:
  ScratchDir dir_{"hive"};
  std::string machine_ = (dir_ / "machine.reg").string();
  std::string user_ = (dir_ / "user" / "registry.reg").string();
  ScopedEnv hklm_{"CORVANE_HKLM", machine_};
  ScopedEnv hkcu_{"CORVANE_HKCU", user_};
};

TEST_F(HiveTest, ReadsWindowsExport) {
  for (const std::string& bytes :
       {utf16le_with_bom(kWindowsExport), std::string(kWindowsExport),
        "\xEF\xBB\xBF" + std::string(kWindowsExport)}) {
    test::write_file(machine_, bytes);
    const struct {
      const char* path;
      std::optional<std::string> want;
    } cases[] = {
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\path", "C:\\Logs\\"},
        {"hkey_local_machine\\software\\corvane\\PDF\\DEBUG", "10"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\quote", "say \"hi\""},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\Stra\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\", "default text"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\blob", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\expand", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\gone", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\missing", std::nullopt},
        {"HKCU\\SOFTWARE\\Corvane\\pdf\\path", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\old\\x", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(hive_read(c.path), c.want) << c.path;
  }
}

TEST_F(HiveTest, WriteKeepsEncodingLineEndsAndForeignLines) {
  test::write_file(machine_, utf16le_with_bom(kWindowsExport));
  ASSERT_TRUE(hive_write_text("HKLM\\SOFTWARE\\Corvane\\pdf\\PATH", "/var/log/corvane"));
  ASSERT_TRUE(hive_write_dword("HKLM\\SOFTWARE\\Corvane\\pdf\\sign", 1));

  // The only lines that changed are the path and the new value.
  std::string want(kWindowsExport);
  const std::string_view old_line = "\"path\"=\"C:\\\\Logs\\\\\"";
  want.replace(want.find(old_line), old_line.size(), "\"path\"=\"/var/log/corvane\"");
  want.replace(want.rfind("\r\n\r\n"), 4, "\r\n\"sign\"=dword:00000001\r\n\r\n");
  EXPECT_EQ(test::read_file(machine_), utf16le_with_bom(want));
}

TEST_F(HiveTest, NewHiveMatchesGoldenFile) {
  ASSERT_TRUE(hive_write_text("HKCU\\SOFTWARE\\Corvane\\pdf\\reason", "C:\\dir \"quoted\""));
  ASSERT_TRUE(hive_write_dword("HKCU\\SOFTWARE\\Corvane\\pdf\\signtext", 0xFFFFFFFF));
  ASSERT_TRUE(hive_create_key(HiveRoot::kUser, "Software\\Corvane\\other"));
  EXPECT_EQ(hive_read("HKCU\\SOFTWARE\\Corvane\\pdf\\signtext"), "-1");

  const auto golden = std::filesystem::path(CORVANE_SOURCE_DIR) / "tests/settings/testdata/new_hive.reg";
  if (std::getenv("CORVANE_UPDATE_GOLDEN")) test::write_file(golden, test::read_file(user_));
  EXPECT_EQ(test::read_file(user_), test::read_file(golden));
  struct stat st {};
  ASSERT_EQ(::stat(user_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the user hive is private";
}

TEST_F(HiveTest, UnparsableHiveIsNeverOverwritten) {
  const std::string broken[] = {
      "not a registry file\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n\"orphan\"=\"value before any key\"\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"x\"=junk\r\n",
  };
  for (const auto& bytes : broken) {
    test::write_file(machine_, bytes);
    EXPECT_FALSE(hive_write_text("HKLM\\SOFTWARE\\x", "1")) << bytes;
    EXPECT_FALSE(hive_create_key(HiveRoot::kMachine, "SOFTWARE\\new")) << bytes;
    EXPECT_EQ(hive_read("HKLM\\SOFTWARE\\x"), std::nullopt) << bytes;
    EXPECT_EQ(test::read_file(machine_), bytes);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2)
      << "only the hive and its lock file";
}

TEST_F(HiveTest, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 2;
  constexpr int kValuesEach = 25;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  pid_t children[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      ::close(gate[1]);
      char ignored;
      (void)!::read(gate[0], &ignored, 1);  // wait until both are ready
      bool ok = true;
      for (int i = 0; i < kValuesEach; ++i)
        ok &= hive_write_text("HKCU\\SOFTWARE\\Corvane\\pdf\\w" + std::to_string(w) + "_" +
                                  std::to_string(i),
                              std::to_string(i));
      ::_exit(ok ? 0 : 1);
    }
  }
  ::close(gate[0]);
  ::close(gate[1]);  // starts both writers at once
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto values = hive_list_values(HiveRoot::kUser, "SOFTWARE\\Corvane\\pdf");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), static_cast<std::size_t>(kWriters * kValuesEach));
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kValuesEach; ++i)
      EXPECT_EQ(hive_read("HKCU\\SOFTWARE\\Corvane\\pdf\\w" + std::to_string(w) + "_" +
                          std::to_string(i)),
                std::to_string(i));
}

}  // namespace
}  // namespace corvane::platform
