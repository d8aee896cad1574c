// How the core talks to the user: message boxes, error boxes, the one-line input
// dialog and the file dialogs. The desktop program shows real dialogs, the CLI
// prints, and tests answer from a script and record what was shown.
//
// Texts use "\r" as the line break, as the program's messages are written.
#pragma once

#include <optional>
#include <string>

namespace vemtaro {

// Where a file dialog starts: its folder (empty: where the dialog starts by
// itself) and, for a save, the file name it suggests (empty: none).
struct FileDialogStart {
  std::string folder;
  std::string name;
};

// The answers to "Сохранить изменения в настройках?".
enum class SaveChangesAnswer { Save, Discard, Cancel };

namespace dialog_texts {
inline constexpr const char* kSaveChanges = "Сохранить изменения в настройках?";
inline constexpr const char* kSaveChangesSave = "Сохранить";
inline constexpr const char* kSaveChangesDiscard = "Не сохранять";
inline constexpr const char* kSaveChangesCancel = "Отмена";
}  // namespace dialog_texts

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A plain message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error box with the error icon and an OK button.
  virtual void ShowError(const std::string& text) = 0;
  // The one-line input dialog: caption, starting text, length limit. Returns the
  // confirmed text, or nothing when cancelled.
  virtual std::optional<std::string> InputText(const std::string& caption, const std::string& initial,
                                               int maxLength) = 0;
  // File dialogs: the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> AskSaveFileName() = 0;
  virtual std::optional<std::string> AskOpenFileName() = 0;
  // The same dialogs started in a folder, the save dialog with a name filled
  // in; dialogs that cannot start anywhere in particular show the plain ones.
  virtual std::optional<std::string> AskSaveFileFrom(const FileDialogStart&) { return AskSaveFileName(); }
  virtual std::optional<std::string> AskOpenFileFrom(const FileDialogStart&) { return AskOpenFileName(); }
  // An information box with an OK button.
  virtual void ShowInformation(const std::string& text) { ShowMessage(text); }
  // The connection-type dialog "Тип соединения": 0 "Прямое", 1 "Через модем",
  // nothing when cancelled.
  virtual std::optional<int> ChooseConnectionType() { return std::nullopt; }
  // The question before the configuration in use is replaced while it holds
  // unsaved changes: "Сохранить", "Не сохранять" or "Отмена". Without a way
  // to ask, the answer is "Отмена", so nothing is discarded unanswered.
  virtual SaveChangesAnswer AskSaveChanges() { return SaveChangesAnswer::Cancel; }
  // The firmware version of a new configuration, 10..15, the current one
  // chosen when the dialog opens; nothing when cancelled (also without a way
  // to ask).
  virtual std::optional<int> ChooseFirmwareVersion(int /*current*/) { return std::nullopt; }
};

// Dialogs for work without a user (benchmarks, fuzzing, generators): every
// message is dropped and every question is answered with a cancel.
class SilentDialogs : public UserDialogs {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string&) override {}
  std::optional<std::string> InputText(const std::string&, const std::string&, int) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName() override { return std::nullopt; }
  std::optional<std::string> AskOpenFileName() override { return std::nullopt; }
  SaveChangesAnswer AskSaveChanges() override { return SaveChangesAnswer::Cancel; }
};

// Reading and writing whole files; the desktop and the CLI save atomically, so a
// failed save never damages an existing file.
class FileStore {
 public:
  virtual ~FileStore() = default;
  // On failure returns false and a reason in error.
  virtual bool ReadAll(const std::string& path, std::string& bytes, std::string& error) = 0;
  virtual bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) = 0;
};

}  // namespace vemtaro
