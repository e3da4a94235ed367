// The engine's operations: opening and passwords, keeping and removing encryption, page size and failures.
#include "engine/qpdf_engine.h"

#include <gtest/gtest.h>

#include "tests/engine/engine_test_support.h"

namespace corvane::engine::test {
namespace {

std::filesystem::path encrypted_plain(const ScratchDir& dir, const std::string& name, const std::string& options,
                                      const char* source = "plain.pdf") {
  return qpdf_made(dir / name, fixture_pdf(source).string() + " --allow-weak-crypto --encrypt " + options + " --");
}

TEST(QpdfEngine, OpensAndAnswersPasswordsAsUserOrOwner) {
  ScratchDir dir("passwords");
  const auto empty_user = encrypted_plain(dir, "empty-user.pdf", "'' owner 256");
  const struct { std::filesystem::path file; std::int32_t encryption; bool readable_at_once; const char* password;
                 std::int32_t answer; } cases[] = {
      {fixture_pdf("plain.pdf"), 0, true, "anything", 1}, {fixture_pdf("enc-rc4-128.pdf"), 1, false, "wrong", 0},
      {fixture_pdf("enc-rc4-128.pdf"), 1, false, "owner", 2}, {fixture_pdf("enc-aes-256.pdf"), 1, false, "", 0},
      {fixture_pdf("enc-aes-256.pdf"), 1, false, "user", 1}, {empty_user, 1, true, "", 1},
      {empty_user, 1, true, "owner", 2}, {empty_user, 1, true, "wrong", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.filename().string() + " / " + c.password);
    QpdfEngine engine;
    open(engine, c.file);
    std::int32_t encryption = -1, answer = -1;
    ASSERT_TRUE(engine.GetEncryption(encryption));
    EXPECT_EQ(encryption, c.encryption);
    SignedLayout layout;
    EXPECT_EQ(write_signed(engine, stand_in_objects(), layout).has_value(), c.readable_at_once);
    ASSERT_TRUE(engine.SubmitPassword(c.password, answer));
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(write_signed(engine, stand_in_objects(), layout).has_value(), c.answer > 0 || c.readable_at_once);
  }
}

TEST(QpdfEngine, KeepsEachEncryptionRemovesItAndPutsItBack) {
  ScratchDir dir("encryption");
  const struct { const char* name; std::string options; const char* source; const char* described; } cases[] = {
      {"rc4-40", "user owner 40", "plain.pdf", "V=1;R=2;Length=40;"},
      {"aes-128", "user owner 128 --use-aes=y", "annots-form.pdf", "V=4;R=4;Length=128;"},
      {"aes-256", "user owner 256", "annots-form.pdf", "V=5;R=6;Length=256;"},
      {"aes-128 clear metadata", "user owner 128 --use-aes=y --cleartext-metadata",
       "ghostscript.pdf", "V=4;R=4;Length=128;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto source = encrypted_plain(dir, std::string(c.name) + ".pdf", c.options, c.source);
    const std::string text = page_text(source, "user");
    QpdfEngine engine;
    open(engine, source, "user");
    std::string settings;
    ASSERT_TRUE(engine.GetEncryptionSettings(settings));
    EXPECT_EQ(settings.rfind(c.described, 0), 0u) << settings;
    EXPECT_EQ(settings.find("user"), std::string::npos);
    EXPECT_EQ(settings.find("owner"), std::string::npos);

    const std::string encrypted = image_of(engine);
    write_file(dir / "encrypted.pdf", encrypted);
    EXPECT_EQ(layout_violations(encrypted), std::vector<std::string>{});
    EXPECT_EQ(qpdf_problems(dir / "encrypted.pdf", "user"), "");
    EXPECT_EQ(page_text(dir / "encrypted.pdf", "user"), text);
    const bool metadata_visible = encrypted.find("xmpmeta") != std::string::npos;
    EXPECT_EQ(metadata_visible, settings.find("EncryptMetadata=false") != std::string::npos);

    ASSERT_TRUE(engine.RemoveEncryption());
    EXPECT_FALSE(engine.SetEncryptionSettings("V=1;R=2"));
    ASSERT_TRUE(engine.SetEncryptionSettings(settings));
    const std::string again = image_of(engine);
    write_file(dir / "again.pdf", again);
    EXPECT_EQ(page_text(dir / "again.pdf", "user"), text);
    // RC4 has no random part: the document read again writes the same bytes.
    if (settings.find("StmF=RC4") != std::string::npos) { EXPECT_TRUE(image_of(engine) == again); }
  }
}

TEST(QpdfEngine, PageSizeIsTheFirstPageAsShown) {
  ScratchDir dir("page-size");
  const struct { std::filesystem::path file; double width, height; } cases[] = {
      {fixture_pdf("plain.pdf"), 595, 842}, {fixture_pdf("annots-form.pdf"), 612, 792},
      {written(dir / "rotated.pdf", odd_pdf(/*rotated=*/true)), 600, 400}};
  for (const auto& c : cases) {
    QpdfEngine engine;
    open(engine, c.file);
    double width = 0, height = 0;
    ASSERT_TRUE(engine.GetPageWidth(width));
    ASSERT_TRUE(engine.GetPageHeight(height));
    EXPECT_EQ(width, c.width) << c.file;
    EXPECT_EQ(height, c.height) << c.file;
  }
}

TEST(QpdfEngine, FailedCallsKeepTheirOutValuesAndLeaveAReason) {
  QpdfEngine engine;
  EXPECT_TRUE(engine.SetWorkingMode(0));
  EXPECT_FALSE(engine.SetWorkingMode(1));
  double width = -1;
  EXPECT_FALSE(engine.GetPageWidth(width));
  EXPECT_EQ(width, -1);
  std::string settings = "kept";
  open(engine, fixture_pdf("plain.pdf"));
  EXPECT_FALSE(engine.GetEncryptionSettings(settings));
  EXPECT_EQ(settings, "kept");
  EXPECT_FALSE(engine.SetEncryptionSettings("V=2;R=3"));
  SignedLayout layout;
  layout.size = 7;
  EXPECT_FALSE(write_signed(engine, [](std::int32_t) { return std::optional<AddedObjects>(); }, layout));
  EXPECT_EQ(layout.size, 7u);
  EXPECT_TRUE(engine.AddTextStamp(10, 10, 100, 50, "", 100));
  EXPECT_FALSE(engine.AddTextStamp(10, 10, 0.5, 50, "text", 100));
  const auto reasons = engine.TakeDiagnostics();
  ASSERT_EQ(reasons.size(), 6u);
  EXPECT_EQ(reasons[0].rfind("SetWorkingMode: ", 0), 0u);
  EXPECT_EQ(reasons[5].rfind("AddTextStamp: ", 0), 0u);
  EXPECT_TRUE(engine.TakeDiagnostics().empty());
  // The document is read again after the failed write.
  EXPECT_FALSE(image_of(engine).empty());
}

}  // namespace
}  // namespace corvane::engine::test
