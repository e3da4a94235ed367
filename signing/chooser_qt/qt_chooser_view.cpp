// The chooser as a Qt window: every control at its place and size, the list
// with four columns of equal width, the message box, the certificate dialog.
#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "signing/chooser_layout.h"
#include "signing/chooser_qt/certificate_dialog.h"
#include "signing/chooser_qt/display_probe.h"
#include "signing/chooser_view.h"

namespace corvane::signing::qt {
namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }
QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QRect pixels(const Control& c) {
  return QRect(c.left / kTwipsPerPixel, c.top / kTwipsPerPixel, c.width / kTwipsPerPixel, c.height / kTwipsPerPixel);
}

QMessageBox::Icon icon_of(int style) {
  switch (style & 0x70) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Turns the Space key on the watched widget into a click of `button`.
class SpaceClicks final : public QObject {
 public:
  explicit SpaceClicks(QPushButton* button) : button_(button) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
      button_->click();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QPushButton* button_;
};

class QtChooserView final : public ChooserView {
 public:
  QtChooserView() {
    dialog_.setObjectName("frmPrivKey");
    dialog_.setWindowTitle(text(kChooserCaption));
    dialog_.setModal(true);
    dialog_.setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    // The form's font, else fonts of the same metrics where it is missing.
    QFont form_font;
    form_font.setFamilies({text(kLabelFont), "Microsoft Sans Serif", "Liberation Sans", "Arial", "Nimbus Sans",
                           "Helvetica"});
    form_font.setPointSizeF(kLabelPoints);
    dialog_.setFont(form_font);
    QFont label_font = form_font;
    label_font.setBold(true);

    std::vector<std::pair<int, QWidget*>> tab_order;
    for (const Control& c : kChooserControls) {
      QWidget* widget = nullptr;
      switch (c.kind) {
        case ControlKind::kLabel: {
          auto* label = new QLabel(text(c.caption), &dialog_);
          QFont font = label_font;
          if (c.name == "Label1") font.setPointSizeF(kTitlePoints);
          label->setFont(font);
          widget = label;
          break;
        }
        case ControlKind::kList:
          list_ = new QTreeWidget(&dialog_);
          list_->setRootIsDecorated(false);
          list_->setSelectionMode(QAbstractItemView::SingleSelection);
          list_->setSelectionBehavior(QAbstractItemView::SelectRows);
          list_->setColumnCount(0);
          widget = list_;
          break;
        case ControlKind::kTextBox: {
          auto* box = new QLineEdit(&dialog_);
          box->setReadOnly(true);
          fields_[static_cast<std::size_t>(*c.field)] = box;
          widget = box;
          break;
        }
        case ControlKind::kButton: {
          auto* button = new QPushButton(text(c.caption), &dialog_);
          button->setAutoDefault(false);
          // Enter anywhere in the form (the list included) chooses.
          button->setDefault(c.name == "cmdExit");
          (c.name == "cmdExit" ? choose_ : disable_) = button;
          widget = button;
          break;
        }
      }
      widget->setObjectName(text(c.name));
      widget->setGeometry(pixels(c));
      if (c.kind != ControlKind::kLabel) tab_order.emplace_back(c.tab, widget);
    }
    std::sort(tab_order.begin(), tab_order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tab_order.size(); ++i)
      QWidget::setTabOrder(tab_order[i - 1].second, tab_order[i].second);
  }

  void add_column(const std::string& caption, int width_twips) override {
    headers_.push_back(text(caption));
    list_->setColumnCount(static_cast<int>(headers_.size()));
    list_->setHeaderLabels(headers_);
    list_->setColumnWidth(static_cast<int>(headers_.size()) - 1, width_twips / kTwipsPerPixel);
  }

  void clear_list() override { list_->clear(); }

  void mark_current(int row) override {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) return;
    QFont bold = list_->font();
    bold.setBold(true);
    for (int c = 0; c < list_->columnCount(); ++c) item->setFont(c, bold);
    item->setText(0, "\u2713 " + item->text(0));
    const QSignalBlocker quiet(list_);
    list_->setCurrentItem(item);
  }

  void select_row(int row) override {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) return;
    const QSignalBlocker quiet(list_);
    list_->setCurrentItem(item);
  }

  void add_row(const ChooserRow& row) override {
    new QTreeWidgetItem(list_, {text(row.issuer), text(row.subject), text(row.valid_from), text(row.valid_to)});
  }

  void set_field(KeyField field, const std::string& value) override {
    QLineEdit* box = fields_[static_cast<std::size_t>(field)];
    box->setText(text(value));
    box->setCursorPosition(0);
  }

  void message_box(const std::string& message, const std::string& title, int style) override {
    QMessageBox box(icon_of(style), text(title), text(message), QMessageBox::Ok, &dialog_);
    box.setObjectName("MessageBox");
    box.exec();
  }

  void show_certificate(const CertificateFacts& facts) override { show_certificate_dialog(&dialog_, facts); }

  void run_modal(ChooserEvents& events) override {
    closing_ = false;
    const auto row_of = [this](QTreeWidgetItem* item) { return item ? list_->indexOfTopLevelItem(item) : -1; };
    // The current row is the one selection, moved by the mouse or the keys.
    QObject::connect(list_, &QTreeWidget::currentItemChanged, &dialog_,
                     [&events, row_of](QTreeWidgetItem* item, QTreeWidgetItem*) { events.ListView1_Click(row_of(item)); });
    QObject::connect(list_, &QTreeWidget::itemDoubleClicked, &dialog_,
                     [&events, row_of](QTreeWidgetItem* item, int) { events.ListView1_DblClick(row_of(item)); });
    QObject::connect(disable_, &QPushButton::clicked, &dialog_, [&events] { events.Command1_Click(); });
    QObject::connect(choose_, &QPushButton::clicked, &dialog_, [&events] { events.cmdExit_Click(); });
    // Without a current choice the list starts on its first row, unselected
    // and quietly: focusing the list must not act like a click.
    if (!list_->currentItem() && list_->topLevelItemCount() > 0) {
      const QSignalBlocker quiet(list_);
      list_->setCurrentItem(list_->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    }
    // Space chooses, as Enter does (the default button), instead of toggling
    // the row's selection.
    SpaceClicks space_chooses(choose_);
    list_->installEventFilter(&space_chooses);
    list_->setFocus();
    dialog_.exec();
    list_->removeEventFilter(&space_chooses);
    QObject::disconnect(list_, nullptr, &dialog_, nullptr);
    QObject::disconnect(disable_, nullptr, &dialog_, nullptr);
    QObject::disconnect(choose_, nullptr, &dialog_, nullptr);
    // Closed by the close box or Escape: the form unloads without saving.
    if (!closing_) events.Form_Unload();
  }

  void close() override {
    closing_ = true;
    dialog_.done(QDialog::Accepted);
  }

 private:
  QDialog dialog_;
  QTreeWidget* list_ = nullptr;
  QPushButton* choose_ = nullptr;
  QPushButton* disable_ = nullptr;
  std::array<QLineEdit*, kKeyFieldCount> fields_{};
  QStringList headers_;
  bool closing_ = false;
};

void copy_error(const std::string& message, char* error, std::size_t size) {
  if (!error || size == 0) return;
  const std::size_t n = std::min(message.size(), size - 1);
  std::memcpy(error, message.data(), n);
  error[n] = '\0';
}

// The application object the window needs: the host's, or one made here
// that lives as long as the process.
bool ensure_application(std::string& error) {
  if (auto* app = QCoreApplication::instance()) {
    if (qobject_cast<QApplication*>(app)) return true;
    error = "The host runs a Qt application without widgets";
    return false;
  }
  if (!display_reachable(error)) return false;
  static int argc = 1;
  static char name[] = "corvanepdf";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
  return true;
}

}  // namespace
}  // namespace corvane::signing::qt

extern "C" __attribute__((visibility("default"))) corvane::signing::ChooserView* corvane_create_chooser_view(
    int abi, char* error, std::size_t error_size) {
  using namespace corvane::signing;
  if (abi != kChooserViewAbi) {
    qt::copy_error("The chooser window module does not fit this component", error, error_size);
    return nullptr;
  }
  try {
    std::string why;
    if (!qt::ensure_application(why)) {
      qt::copy_error(why, error, error_size);
      return nullptr;
    }
    return new qt::QtChooserView();
  } catch (const std::exception& e) {
    qt::copy_error(e.what(), error, error_size);
  } catch (...) {
    qt::copy_error("The chooser window cannot be made", error, error_size);
  }
  return nullptr;
}
