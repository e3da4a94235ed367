// The hive files: reading Windows exports, keeping what we do not
// understand, never overwriting a broken hive, concurrent writers.
#include "platform/hives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/codepage.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::platform {
namespace {

std::string utf16le_with_bom(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  append_utf16le(utf8, TextEncoding::kUtf8, out);
  return out;
}

// What the Windows registry editor exports: CRLF, binary values over
// continuation lines, a key deletion and a value deletion.
constexpr std::string_view kWindowsExport =
    "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\old]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n@=\"default text\"\r\n\"path\"=\"C:\\\\Logs\\\\\"\r\n"
    "\"debug\"=dword:0000000a\r\n"
    "\"blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n  16,17\r\n"
    "\"expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n\"quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"Stra\xC3\x9F" "e\"=\"Gr\xC3\xBC\xC3\x9F" "e\"\r\n\"gone\"=-\r\n; a comment the administrator wrote\r\n\r\n";

class HiveTest : public ::testing::Test {
 protected:
  test::ScratchHives hives_{"hive"};
  const std::string& machine_ = hives_.machine;
};

TEST_F(HiveTest, ReadsWindowsExportInEveryEncoding) {
  for (const std::string& bytes :
       {utf16le_with_bom(kWindowsExport), std::string(kWindowsExport), "\xEF\xBB\xBF" + std::string(kWindowsExport)}) {
    test::write_file(machine_, bytes);
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\path", "C:\\Logs\\"},
        {"hkey_local_machine\\software\\corvane\\PDF\\DEBUG", "10"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\quote", "say \"hi\""},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\Stra\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\", "default text"},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\blob", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\expand", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\pdf\\gone", std::nullopt},
        {"HKCU\\SOFTWARE\\Corvane\\pdf\\path", std::nullopt},
        {"HKLM\\SOFTWARE\\Corvane\\old\\x", std::nullopt},
    };
    for (const auto& [path, want] : cases) EXPECT_EQ(hive_read(path), want) << path;
  }
}

TEST_F(HiveTest, WriteKeepsEncodingLineEndsAndForeignLines) {
  test::write_file(machine_, utf16le_with_bom(kWindowsExport));
  ASSERT_TRUE(hive_write_text("HKLM\\SOFTWARE\\Corvane\\pdf\\PATH", "/var/log/corvane"));
  ASSERT_TRUE(hive_write_dword("HKLM\\SOFTWARE\\Corvane\\pdf\\sign", 1));
  // Only the path line and the new value differ.
  std::string want(kWindowsExport);
  const std::string_view old_line = "\"path\"=\"C:\\\\Logs\\\\\"";
  want.replace(want.find(old_line), old_line.size(), "\"path\"=\"/var/log/corvane\"");
  want.replace(want.rfind("\r\n\r\n"), 4, "\r\n\"sign\"=dword:00000001\r\n\r\n");
  EXPECT_EQ(test::read_file(machine_), utf16le_with_bom(want));
}

TEST_F(HiveTest, NewHiveMatchesGoldenFileAndIsPrivate) {
  ASSERT_TRUE(hive_write_text("HKCU\\SOFTWARE\\Corvane\\pdf\\reason", "C:\\dir \"quoted\""));
  ASSERT_TRUE(hive_write_dword("HKCU\\SOFTWARE\\Corvane\\pdf\\signtext", 0xFFFFFFFF));
  ASSERT_TRUE(hive_create_key(HiveRoot::kUser, "Software\\Corvane\\other"));
  EXPECT_EQ(hive_read("HKCU\\SOFTWARE\\Corvane\\pdf\\signtext"), "-1");

  test::expect_golden("settings/testdata/new_hive.reg", test::read_file(hives_.user));
  struct stat st {};
  ASSERT_EQ(::stat(hives_.user.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HiveTest, UnparsableHiveIsNeverOverwritten) {
  const std::string broken[] = {
      "not a registry file\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n\"orphan\"=\"value before any key\"\r\n",
      test::reg_file("HKEY_LOCAL_MACHINE\\SOFTWARE", "\"x\"=junk\r\n"),
  };
  for (const auto& bytes : broken) {
    test::write_file(machine_, bytes);
    EXPECT_FALSE(hive_write_text("HKLM\\SOFTWARE\\x", "1")) << bytes;
    EXPECT_FALSE(hive_create_key(HiveRoot::kMachine, "SOFTWARE\\new")) << bytes;
    EXPECT_EQ(hive_read("HKLM\\SOFTWARE\\x"), std::nullopt) << bytes;
    EXPECT_EQ(test::read_file(machine_), bytes);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(hives_.dir.path()), {}), 2)
      << "only the hive and its lock file";
}

TEST_F(HiveTest, TwoProcessesWritingOneHiveLoseNothing) {
  constexpr int kWriters = 2, kValuesEach = 25;
  auto name = [](int w, int i) {
    return "HKCU\\SOFTWARE\\Corvane\\pdf\\w" + std::to_string(w) + "_" + std::to_string(i);
  };
  EXPECT_TRUE(test::in_children(kWriters, [&](int w) {
    bool ok = true;
    for (int i = 0; i < kValuesEach; ++i) ok &= hive_write_text(name(w, i), std::to_string(i));
    return ok;
  }));
  const auto values = hive_list_values(HiveRoot::kUser, "SOFTWARE\\Corvane\\pdf");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), static_cast<std::size_t>(kWriters * kValuesEach));
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kValuesEach; ++i) EXPECT_EQ(hive_read(name(w, i)), std::to_string(i));
}

}  // namespace
}  // namespace corvane::platform
