// The keeping of backups, shared by the desktop program and vemtaro-cli: every
// copy of the controller's configuration read before a write is a settings
// file in a folder per object under the desktop program's data folder,
//   <data folder>/backups/<object>/<yyyy-MM-dd_HH-mm-ss>.dat   (local time),
// made new (never over a file or through a link), written whole or not at all:
// a second copy in the same second is "...-2.dat", then "-3", and so on.
// Nothing is ever removed. The copies hold the controller's password and phone
// numbers: they are private to the user (0600), in folders only the user may
// enter (0700), whatever the umask.
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/backups.h"

namespace vemtaro::shell {

namespace backup_store_texts {
inline constexpr const char* kNoDataFolder =
    "Не найдена папка данных программы: у пользователя нет домашней папки (HOME)";
inline constexpr const char* kOutside = "Имя папки объекта выходит за папку резервных копий";
inline constexpr const char* kNoFreeName = "Нет свободного имени файла";
}  // namespace backup_store_texts

// A copy found in the backups folder.
struct KeptCopy {
  QString path;
  QString object;              // the name of its object's folder
  QDateTime time;              // from its file name; the file's modification time when the name holds none
  int number = 1;              // N of a "-N" name, 1 otherwise
  std::optional<int> version;  // the firmware version in its header
  QString problem;             // why the file cannot be read as a settings file, when it cannot
};

class BackupFolderStore : public BackupStore {
 public:
  // The time a copy is named after (local time).
  using Clock = std::function<QDateTime()>;

  // "backups" in the desktop program's data folder, whichever program asks;
  // empty when the system names none (no home folder: never under "/").
  static QString DefaultRoot();
  explicit BackupFolderStore(QString root = DefaultRoot(), Clock clock = {});

  const QString& Root() const { return root_; }
  void SetRoot(const QString& root) { root_ = root; }
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // Keeps the copy; on success `where` is the new file's path, on failure
  // `error` gives the path and the system's reason, and no file is left.
  bool Keep(const BackupCopy& copy, std::string& where, std::string& error) override;

  // Every *.dat in the object folders, newest first, each read for its version.
  std::vector<KeptCopy> List() const;

 private:
  QString root_;
  Clock clock_;
};

}  // namespace vemtaro::shell
