#include "signing/chooser_qt/certificate_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace corvane::signing::qt {

void show_certificate_dialog(QWidget* parent, const CertificateFacts& facts) {
  QDialog dialog(parent);
  dialog.setObjectName("CertificateDialog");
  dialog.setWindowTitle(QStringLiteral("Certificate: ") + QString::fromStdString(facts.title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* form = new QFormLayout;
  for (const auto& [label, value] : facts.lines) {
    // Read-only line edits, so the values can be selected and copied.
    auto* field = new QLineEdit(QString::fromStdString(value));
    field->setReadOnly(true);
    field->setMinimumWidth(420);
    field->setCursorPosition(0);
    form->addRow(QString::fromStdString(label) + ":", field);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.exec();
}

}  // namespace corvane::signing::qt
