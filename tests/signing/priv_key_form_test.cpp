#include "signing/priv_key_form.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/object_factory.h"
#include "settings/registry.h"
#include "signing/sign_content.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

using test::unique_container_of;

// A chooser view that plays a script of user actions.
class ScriptedView final : public ChooserView {
 public:
  using Step = std::function<void(ChooserEvents&)>;
  explicit ScriptedView(std::vector<Step> script) : script_(std::move(script)) {}

  void add_column(const std::string& caption, int width_twips) override { columns.emplace_back(caption, width_twips); }
  void clear_list() override { rows.clear(); }
  void add_row(const ChooserRow& row) override { rows.push_back(row); }
  void mark_current(int) override {}
  void set_field(KeyField field, const std::string& text) override { field_writes.emplace_back(field, text); }
  void message_box(const std::string&, const std::string&, int) override { ++boxes; }
  void show_certificate(const CertificateFacts&) override {}
  // Plays the script; when it ends with the form still open, the user closes it with the close box.
  void run_modal(ChooserEvents& events) override {
    shown = true;
    for (const Step& step : script_) {
      if (closed) break;
      step(events);
    }
    if (!closed) events.Form_Unload();
  }
  void close() override { closed = true; }

  std::vector<std::pair<std::string, int>> columns;
  std::vector<ChooserRow> rows;
  std::vector<std::pair<KeyField, std::string>> field_writes;
  int boxes = 0;
  bool shown = false;
  bool closed = false;

 private:
  std::vector<Step> script_;
};

constexpr int kAlexSigner = 1, kBlairEc = 2, kDana = 4, kEliDsa = 5;  // rows in store order

std::string setting(std::string_view base, const char* name) {
  return settings::reg_read(std::string(base) + name);
}

ScriptedView::Step click(int row) { return [row](ChooserEvents& e) { e.ListView1_Click(row); }; }
const ScriptedView::Step kChoose = [](ChooserEvents& e) { e.cmdExit_Click(); };
const ScriptedView::Step kDisable = [](ChooserEvents& e) { e.Command1_Click(); };

// The ten fields as the view last received them.
std::vector<std::string> shown_fields(const ScriptedView& view) {
  std::vector<std::string> fields(kKeyFieldCount);
  for (const auto& [field, text] : view.field_writes) fields[static_cast<std::size_t>(field)] = text;
  return fields;
}

class PrivKeyFormTest : public ::testing::Test {
 protected:
  void SetUp() override { register_signing_classes(); }
  SignerState state_;
};

TEST_F(PrivKeyFormTest, ListsTheStoreAndAClickShowsTheKeyFactsOfTheEntry) {
  const struct { int row; const char *container, *provider_type; } cases[] = {{kAlexSigner, "Alex Signer", "RSA_FULL"},
               {kDana, "Dana Signer", "RSA_FULL"},
               {kEliDsa, "Eli DSA Signer", "DSS"},
               {kBlairEc, "Blair EC Signer", "ECDSA"}};
  test::ScopedEnv home("HOME", "/nonexistent-home");  // a database outside home holds machine keys
  for (const auto& c : cases) {
    SCOPED_TRACE(c.container);
    ScriptedView view({click(c.row)});
    ASSERT_EQ(run_chooser(state_, view), "");
    EXPECT_EQ(view.columns, (std::vector<std::pair<std::string, int>>{
                                {"Issuer", 1803}, {"Subject", 1803}, {"Valid From", 1803}, {"Valid To", 1803}}));
    ASSERT_EQ(view.rows.size(), 7u);
    EXPECT_EQ(view.rows[c.row].valid_from.size(), 19u);  // yyyy-mm-dd hh:mm:ss
    EXPECT_EQ(shown_fields(view), (std::vector<std::string>{c.container, unique_container_of(c.container), "True",
                                                            "True", "False", "True", "False", "False",
                                                            "NSS Certificate DB", c.provider_type}));
    EXPECT_EQ(view.boxes, 0);
  }
}

// The choice is stored for the user and signing uses it; the machine key (writable here, as for root) gets
// the choice and the switch only with machinewideselection; "Disable" keeps SignerState's name.
TEST_F(PrivKeyFormTest, ChooseAndDisableWriteTheMachineKeyOnlyWhenMachineWide) {
  const std::string dana = unique_container_of("Dana Signer");
  const struct {
    const char* machine_wide;
    ScriptedView::Step button;
    std::string user_name, machine_name;
    const char *user_sign, *machine_sign;
  } cases[] = {{"", kChoose, dana, "old", "1", ""}, {"0", kChoose, dana, "old", "1", ""},
               {"1", kChoose, dana, dana, "1", "1"}, {"", kDisable, "", "old", "0", ""},
               {"1", kDisable, "", "", "0", "0"}};
  for (const auto& c : cases) {
    for (const auto base : {settings::kUserBase, settings::kMachineBase}) {
      ASSERT_TRUE(settings::reg_write_text(std::string(base) + "UniqueContainerName", "old"));
      ASSERT_TRUE(settings::reg_write_text(std::string(base) + "sign", ""));
    }
    ASSERT_TRUE(settings::reg_write_text(std::string(settings::kMachineBase) + "machinewideselection", c.machine_wide));
    SignerState state;
    state.containerName = "kept";
    ScriptedView view({click(kAlexSigner), click(kDana), c.button, click(kAlexSigner)});
    ASSERT_EQ(run_chooser(state, view), "");
    SCOPED_TRACE(std::string(c.machine_wide) + (c.user_name.empty() ? " Disable" : " Choose"));
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(shown_fields(view)[1], c.user_name) << "the click after the button must not reach the closed form";
    EXPECT_EQ(state.containerName, c.user_name.empty() ? "kept" : dana);
    EXPECT_EQ(setting(settings::kUserBase, "UniqueContainerName"), c.user_name);
    EXPECT_EQ(setting(settings::kMachineBase, "UniqueContainerName"), c.machine_name);
    EXPECT_EQ(setting(settings::kUserBase, "sign"), c.user_sign);
    EXPECT_EQ(setting(settings::kMachineBase, "sign"), c.machine_sign);
    if (!c.user_name.empty()) {
      EXPECT_EQ(signContent(state, ""), "");
      EXPECT_EQ(state.signerName, "Dana Signer");
    }
  }
}

TEST_F(PrivKeyFormTest, StoreThatCannotBeOpenedEndsTheLoading) {
  auto store = platform::ObjectFactory::instance().override_class(kStoreClassId, nullptr);
  ScriptedView view({click(kDana), kChoose});
  EXPECT_EQ(run_chooser(state_, view), "ActiveX component can't create object: " + std::string(kStoreClassId));
  EXPECT_FALSE(view.shown);
  EXPECT_EQ(state_.containerName, "");
}

}  // namespace
}  // namespace corvane::signing
