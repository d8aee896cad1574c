// The core's dialogs as real Qt dialogs: message boxes, the one-line input
// dialog, the settings-file dialogs and the connection-type dialog.
#pragma once

#include <QString>

#include "model/dialogs.h"

class QWidget;

namespace vemtaro::app {

class QtDialogs : public UserDialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> InputText(const std::string& caption, const std::string& initial, int maxLength) override;
  std::optional<std::string> AskSaveFileName() override;
  std::optional<std::string> AskOpenFileName() override;
  // SaveDialog1 and OpenDialog1 in the start's folder; the save dialog with
  // the start's name filled in. File names are kept byte for byte.
  std::optional<std::string> AskSaveFileFrom(const FileDialogStart& start) override;
  std::optional<std::string> AskOpenFileFrom(const FileDialogStart& start) override;
  void ShowInformation(const std::string& text) override;
  // LMDCheckListDlg1 "Тип соединения": "Прямое" (0, chosen when it opens) or
  // "Через модем" (1); nothing when cancelled.
  std::optional<int> ChooseConnectionType() override;
  // "Сохранить изменения в настройках?" with "Сохранить" (the default),
  // "Не сохранять" and "Отмена" (Escape, and closing the box).
  SaveChangesAnswer AskSaveChanges() override;
  // "Новая конфигурация": the list of the versions "v. 10" .. "v. 15" with
  // the current one chosen; OK (or Enter, or a double click) takes the one
  // chosen, "Отмена" (or Escape) nothing.
  std::optional<int> ChooseFirmwareVersion(int current) override;

 private:
  QWidget* parent_;
};

// The program's texts use "\r" as a line break; Qt wants "\n".
QString DisplayText(const std::string& text);

}  // namespace vemtaro::app
