// The chooser window on a virtual X display, through Qt's test events. A screenshot goes to the build
// folder, and to docs/chooser.png when CORVANE_UPDATE_SCREENSHOT is set.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "settings/registry.h"
#include "signing/sign_content.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

// Calls `action` with the active modal window once it is named `name`; tries every 20 ms for up to 10 s.
void when_modal(const QString& name, std::function<void(QWidget*)> action, int tries = 500) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal->objectName() == name && modal->isVisible()) {
    action(modal);
    return;
  }
  if (tries == 0) {
    ADD_FAILURE() << "no modal window " << name.toStdString();
    QApplication::closeAllWindows();
    return;
  }
  QTimer::singleShot(20, [name, action, tries] { when_modal(name, action, tries - 1); });
}

void click_row(QTreeWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(row)).center());
}

std::string field(QWidget* form, const char* name) { return form->findChild<QLineEdit*>(name)->text().toStdString(); }

TEST(ChooserWindow, ChooseThroughTheWindow) {
  // An Xvfb server of this test on a free display, which it names.
  const test::BackgroundProgram display({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  if (display.first_line().empty()) GTEST_SKIP() << "Xvfb could not be started: the chooser window is not tested";
  test::ScopedEnv x("DISPLAY", ":" + display.first_line());
  test::ScopedEnv wayland("WAYLAND_DISPLAY", "");
  test::ScopedEnv modules("CORVANE_PLUGIN_DIR", CORVANE_CHOOSER_MODULE_DIR);
  test::ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
  int argc = 1;
  char name[] = "chooser_window_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);  // the window module uses the host's application
  register_signing_classes();

  const std::string dana = test::unique_container_of("Dana Signer");
  when_modal("frmPrivKey", [&](QWidget* form) {
    EXPECT_EQ(form->windowTitle(), "Private Key Info");
    EXPECT_EQ(form->size(), QSize(503, 430));
    auto* list = form->findChild<QTreeWidget*>("ListView1");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->geometry(), QRect(8, 32, 481, 145));
    ASSERT_EQ(list->columnCount(), 4);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(list->columnWidth(c), 120) << c;
    EXPECT_EQ(list->headerItem()->text(2), "Valid From");
    ASSERT_EQ(list->topLevelItemCount(), 7);
    ASSERT_EQ(list->topLevelItem(4)->text(1), "Dana Signer");
    EXPECT_EQ(form->findChild<QWidget*>("cmdExit")->geometry(), QRect(408, 400, 81, 25));
    // Opened without a choice: the first certificate is selected with its details; Down moves on.
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_EQ(field(form, "txtUniqueContainer"), test::unique_container_of("Alex Signer"));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
    EXPECT_TRUE(list->topLevelItem(1)->isSelected());

    // A certificate without a key: the message box, closed with OK.
    bool box_shown = false;
    when_modal("MessageBox", [&](QWidget* box_widget) {
      auto* box = qobject_cast<QMessageBox*>(box_widget);
      box_shown = true;
      EXPECT_EQ(box->text().toStdString(), "This certificate has no private key!");
      EXPECT_EQ(box->windowTitle().toStdString(), "No Private Key!");
      EXPECT_EQ(box->icon(), QMessageBox::Critical);
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    click_row(list, 3);
    EXPECT_TRUE(box_shown);
    EXPECT_EQ(field(form, "txtUniqueContainer"), "");

    click_row(list, 4);
    EXPECT_EQ(field(form, "txtUniqueContainer"), dana);
    EXPECT_EQ(field(form, "txtProviderType"), "RSA_FULL");
    // The keys move the same selection the mouse made.
    EXPECT_EQ(form->focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(field(form, "txtProviderType"), "DSS");
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(field(form, "txtUniqueContainer"), dana);

    const QPixmap shot = form->grab();
    shot.save(QString::fromStdString((std::filesystem::path(CORVANE_BINARY_DIR) / "chooser.png").string()));
    if (std::getenv("CORVANE_UPDATE_SCREENSHOT")) shot.save(CORVANE_SCREENSHOT);

    QTest::keyClick(list, Qt::Key_Space);  // chooses, as Enter does
  });

  SignerState state;
  EXPECT_EQ(show_chooser(state), "");
  EXPECT_EQ(state.containerName, dana);
  EXPECT_EQ(settings::reg_read(std::string(settings::kUserBase) + "UniqueContainerName"), dana);

  // Opened again: on the current choice, selected with its details; Enter keeps it.
  when_modal("frmPrivKey", [&](QWidget* form) {
    auto* list = form->findChild<QTreeWidget*>("ListView1");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(4));
    EXPECT_TRUE(list->topLevelItem(4)->isSelected());
    EXPECT_EQ(field(form, "txtUniqueContainer"), dana);
    QTest::keyClick(list, Qt::Key_Return);
  });
  SignerState again;
  EXPECT_EQ(show_chooser(again), "");
  EXPECT_EQ(again.containerName, dana);
}

}  // namespace
}  // namespace corvane::signing
