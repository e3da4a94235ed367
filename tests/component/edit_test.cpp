#include "component/edit.h"

#include <gtest/gtest.h>

#include <optional>

#include "component/component_state.h"
#include "settings/registry.h"
#include "tests/component/fake_engine.h"

namespace corvane::component {
namespace {

using test::FakeEngineInstaller;

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override { component_state() = ComponentState{}; }
  FakeEngineInstaller engine_;
};

// The setting decides (user key first, then machine key) until a host sets the property.
TEST_F(EditTest, AppendModeFollowsTheSettingUntilTheHostSetsIt) {
  const struct { const char *user, *machine; bool want; } cases[] = {
      {"1", "", true}, {"", "1", true}, {"0", "1", false}, {"7", "", true},
      {"", "", false}, {"yes", "", false}, {"-0", "", false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + "appendmode", c.user));
    ASSERT_TRUE(settings::reg_write_text(std::string(settings::kMachineBase) + "appendmode", c.machine));
    Edit edit;
    EXPECT_EQ(edit.append_mode(), c.want) << c.user << "/" << c.machine;
    edit.appendmode = !c.want;
    EXPECT_EQ(edit.append_mode(), !c.want) << c.user << "/" << c.machine;
  }
}

TEST_F(EditTest, EmptyReasonKeepsTheReasonOfTheLastCreatedInstance) {
  Edit first;
  first.reason = "first reason";
  (void)first.signit();
  EXPECT_EQ(component_state().session.signingReason, "first reason");

  Edit second;  // its creation sets the thread's default reason
  first.reason = "";
  (void)first.signit();
  EXPECT_EQ(component_state().session.signingReason, kDefaultReason);
}

TEST_F(EditTest, OpenDocumentFollowsEncryptionAndPassword) {
  // Each case starts with documentEncrypted true; the password is offered only to encrypted documents.
  const struct {
    const char *name, *path, *password;
    std::optional<std::int32_t> open_result, encryption;
    std::optional<std::string> settings;
    bool want_open, want_encrypted;
    const char* want_settings;
    int want_submits;
  } cases[] = {
      {"unencrypted, any password", "a.pdf", "whatever", 1, 0, "S", true, false, "", 0},
      {"encrypted, no password", "a.pdf", "", 1, 1, "S", false, true, "", 0},
      {"encrypted, wrong password", "a.pdf", "nope", 1, 1, "S", false, true, "", 1},
      {"encrypted, right password", "a.pdf", "user", 1, 1, "S", true, true, "S", 1},
      {"other encryption value", "a.pdf", "user", 1, 4, "S", true, true, "S", 1},
      {"settings call fails", "a.pdf", "user", 1, 1, std::nullopt, true, true, "", 1},
      {"encryption call fails", "a.pdf", "", 1, std::nullopt, "S", true, false, "", 0},
      {"not a document", "a.pdf", "user", 0, 0, "S", false, true, "", 0},
      {"open call fails", "a.pdf", "user", std::nullopt, 0, "S", false, true, "", 0},
      {"empty path", "", "user", 1, 0, "S", false, true, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.record().open_result = c.open_result;
    engine_.record().encryption = c.encryption;
    engine_.record().encryption_settings = c.settings;
    Edit edit;
    edit.pdfpath = c.path;
    edit.pdfpasswd = c.password;
    edit.encryptionSettings = "left from before";
    component_state().session.documentEncrypted = true;
    const int submits_before = engine_.record().count("SubmitPassword");

    EXPECT_EQ(edit.open_document(), c.want_open);
    EXPECT_EQ(edit.pdfloaded, c.want_open);
    EXPECT_EQ(component_state().session.documentEncrypted, c.want_encrypted);
    EXPECT_EQ(edit.encryptionSettings, c.want_settings);
    EXPECT_EQ(engine_.record().count("SubmitPassword") - submits_before, c.want_submits);
  }
}

TEST(EditWithoutEngine, SignitClearsThePathAndFails) {
  component_state() = ComponentState{};
  FakeEngineInstaller missing(/*creatable=*/false);
  Edit edit;
  EXPECT_FALSE(edit.pdfeditloaded);
  edit.pdfpath = "in.pdf";
  edit.savepath = "out.pdf";
  EXPECT_FALSE(edit.signit());
  EXPECT_FALSE(edit.pdfeditloaded);
  EXPECT_FALSE(edit.pdfloaded);
  EXPECT_EQ(edit.pdfpath, "");
  EXPECT_EQ(edit.savepath, "out.pdf");
}

TEST_F(EditTest, SignitOpensTheDocumentOnlyWhileNotLoaded) {
  Edit edit;
  edit.pdfpath = "a.pdf";
  (void)edit.signit();
  (void)edit.signit();
  EXPECT_TRUE(edit.pdfloaded);
  EXPECT_EQ(engine_.record().count("OpenDocument"), 1);

  edit.pdfloaded = false;  // the host asks for a fresh open
  (void)edit.signit();
  EXPECT_EQ(engine_.record().count("OpenDocument"), 2);

  edit.pdfeditloaded = false;  // ... and for a fresh engine
  edit.pdfloaded = false;
  (void)edit.signit();
  EXPECT_EQ(engine_.record().created, 2);
  EXPECT_EQ(engine_.record().count("OpenDocument"), 3);
}

TEST_F(EditTest, EngineLivesWithTheInstanceUntilUnloaded) {
  {
    Edit edit;
    EXPECT_TRUE(edit.pdfeditloaded);
    EXPECT_EQ(engine_.record().alive, 1);
    edit.load_engine();  // replaces the engine, releasing the old one
    EXPECT_EQ(engine_.record().created, 2);
    EXPECT_EQ(engine_.record().alive, 1);
  }
  EXPECT_EQ(engine_.record().alive, 0);
  Edit edit;
  edit.encryptionSettings = "S";
  EXPECT_TRUE(edit.unload_engine());
  EXPECT_FALSE(edit.pdfeditloaded);
  EXPECT_EQ(edit.encryptionSettings, "");
  EXPECT_EQ(engine_.record().alive, 0);
}

}  // namespace
}  // namespace corvane::component
