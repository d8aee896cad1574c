// The desktop's keeping of backups: every copy of the controller's
// configuration read before a write is a settings file in a folder per object
// under the program's data folder,
//   <data folder>/backups/<object>/<yyyy-MM-dd_HH-mm-ss>.dat   (local time),
// written whole or not at all and never replaced: a second copy in the same
// second is "...-2.dat", then "-3", and so on. Nothing is ever removed.
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/backups.h"

namespace vemtaro::app {

namespace backup_store_texts {
inline constexpr const char* kNoDataFolder = "Не найдена папка данных программы";
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

  // "backups" in the program's data folder; empty when the system names none.
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

}  // namespace vemtaro::app
