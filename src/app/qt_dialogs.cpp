#include "qt_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "model/profiles.h"
#include "shell/file_names.h"
#include "window_frame.h"

namespace vemtaro::app {
namespace {
const char* const kFilter = "Файлы данных (*.dat)";
const char* const kSaveTitle = "Сохранение настроек";
const char* const kSuffix = "dat";
const char* const kConnectionType = "Тип соединения";
const char* const kDirect = "Прямое";
const char* const kModem = "Через модем";
const char* const kOk = "OK";
const char* const kCancel = "Отмена";
const char* const kNewConfiguration = "Новая конфигурация";
const char* const kNewVersion = "Версия прошивки новой конфигурации:";

// The folder a file dialog starts in: the one given, else the current one
// (not the one Qt's dialogs last showed, whatever asked for it).
QString StartFolder(const FileDialogStart& start) {
  return start.folder.empty() ? QDir::currentPath() : shell::FileNameText(start.folder);
}

std::optional<std::string> ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return shell::FileNameBytes(dialog.selectedFiles().first());
}
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

void QtDialogs::ShowInformation(const std::string& text) {
  QMessageBox box(QMessageBox::Information, QApplication::applicationName(), DisplayText(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}

std::optional<int> QtDialogs::ChooseConnectionType() {
  QDialog dialog(parent_, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint);
  dialog.setObjectName("LMDCheckListDlg1");
  dialog.setWindowTitle(kConnectionType);
  auto* layout = new QVBoxLayout(&dialog);
  auto* prompt = new QLabel(kConnectionType, &dialog);
  prompt->setObjectName("Prompt");
  layout->addWidget(prompt);
  auto* choices = new QButtonGroup(&dialog);
  int id = 0;
  for (const char* caption : {kDirect, kModem}) {
    auto* choice = new QRadioButton(caption, &dialog);
    choice->setObjectName(id == 0 ? "Direct" : "Modem");
    choices->addButton(choice, id++);
    layout->addWidget(choice);
  }
  choices->button(0)->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(kOk);
  buttons->button(QDialogButtonBox::Cancel)->setText(kCancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(220);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  dialog.adjustSize();
  CentreOn(&dialog, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return choices->checkedId();
}

SaveChangesAnswer QtDialogs::AskSaveChanges() {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QString::fromUtf8(dialog_texts::kSaveChanges),
                  QMessageBox::NoButton, parent_);
  box.setObjectName("SaveChangesBox");
  QPushButton* save = box.addButton(QString::fromUtf8(dialog_texts::kSaveChangesSave), QMessageBox::AcceptRole);
  save->setObjectName("Save");
  QPushButton* discard =
      box.addButton(QString::fromUtf8(dialog_texts::kSaveChangesDiscard), QMessageBox::DestructiveRole);
  discard->setObjectName("Discard");
  QPushButton* cancel = box.addButton(QString::fromUtf8(dialog_texts::kSaveChangesCancel), QMessageBox::RejectRole);
  cancel->setObjectName("Cancel");
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return SaveChangesAnswer::Save;
  if (box.clickedButton() == discard) return SaveChangesAnswer::Discard;
  return SaveChangesAnswer::Cancel;
}

std::optional<std::string> QtDialogs::InputText(const std::string& caption, const std::string& initial, int maxLength) {
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

std::optional<std::string> QtDialogs::AskSaveFileName() { return AskSaveFileFrom({}); }

std::optional<std::string> QtDialogs::AskOpenFileName() { return AskOpenFileFrom({}); }

std::optional<std::string> QtDialogs::AskSaveFileFrom(const FileDialogStart& start) {
  QFileDialog dialog(parent_, kSaveTitle, StartFolder(start), kFilter);
  dialog.setObjectName("SaveDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(kSuffix);
  if (!start.name.empty()) dialog.selectFile(QString::fromStdString(start.name));
  return ChosenFile(dialog);
}

std::optional<std::string> QtDialogs::AskOpenFileFrom(const FileDialogStart& start) {
  QFileDialog dialog(parent_, QString(), StartFolder(start), kFilter);
  dialog.setObjectName("OpenDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(kSuffix);
  return ChosenFile(dialog);
}

std::optional<int> QtDialogs::ChooseFirmwareVersion(int current) {
  QDialog dialog(parent_, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint);
  dialog.setObjectName("NewConfigurationDialog");
  dialog.setWindowTitle(QString::fromUtf8(kNewConfiguration));
  auto* layout = new QVBoxLayout(&dialog);
  auto* prompt = new QLabel(QString::fromUtf8(kNewVersion), &dialog);
  prompt->setObjectName("Prompt");
  layout->addWidget(prompt);
  auto* versions = new QListWidget(&dialog);
  versions->setObjectName("Versions");
  prompt->setBuddy(versions);
  for (const VersionProfile& profile : kProfiles) {
    auto* item = new QListWidgetItem(QString::fromUtf8(profile.menuCaption), versions);
    item->setData(Qt::UserRole, profile.version);
    if (profile.version == current) versions->setCurrentItem(item);
  }
  if (versions->currentItem() == nullptr) versions->setCurrentRow(versions->count() - 1);
  // Every version in sight, without a scroll bar.
  versions->setFixedHeight(versions->sizeHintForRow(0) * versions->count() + 2 * versions->frameWidth());
  layout->addWidget(versions);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(kOk);
  buttons->button(QDialogButtonBox::Cancel)->setText(kCancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(versions, &QListWidget::itemActivated, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(260);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  dialog.adjustSize();
  CentreOn(&dialog, parent_);
  versions->setFocus();
  if (dialog.exec() != QDialog::Accepted || versions->currentItem() == nullptr) return std::nullopt;
  return versions->currentItem()->data(Qt::UserRole).toInt();
}

}  // namespace vemtaro::app
