#include "qt_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace vemtaro::app {
namespace {
const char* const kFilter = "Файлы данных (*.dat)";
const char* const kSaveTitle = "Сохранение настроек";
const char* const kSuffix = "dat";
}  // namespace

QString DisplayText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  return s;
}

void QtDialogs::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), DisplayText(text), QMessageBox::Ok, parent_);
  box.exec();
}

void QtDialogs::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), DisplayText(text), QMessageBox::Ok, parent_);
  box.exec();
}

std::optional<std::string> QtDialogs::InputText(const std::string& caption, const std::string& initial,
                                                int maxLength) {
  QDialog dialog(parent_);
  dialog.setObjectName("LMDInputDlg1");
  dialog.setWindowTitle(QString::fromStdString(caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(QString::fromStdString(caption), &dialog);
  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName("InputLine");
  edit->setMaxLength(maxLength);
  edit->setText(QString::fromStdString(initial));
  edit->selectAll();
  edit->setMinimumWidth(320);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text().toStdString();
}

std::optional<std::string> QtDialogs::AskSaveFileName() {
  QFileDialog dialog(parent_, kSaveTitle, QString(), kFilter);
  dialog.setObjectName("SaveDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(kSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDialogs::AskOpenFileName() {
  QFileDialog dialog(parent_, QString(), QString(), kFilter);
  dialog.setObjectName("OpenDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(kSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace vemtaro::app
