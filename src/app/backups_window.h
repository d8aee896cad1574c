// The window "Резервные копии": the copies of the controller's configuration
// kept before writes, newest first, with their object, date and time and
// firmware version. "Открыть" (or a double click) opens the chosen copy as a
// settings file; "Закрыть" closes the window.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemtaro::shell {
class BackupFolderStore;
}  // namespace vemtaro::shell

namespace vemtaro::app {

using shell::BackupFolderStore;

class BackupsWindow : public QDialog {
  Q_OBJECT
 public:
  // open: opens the copy at a path; true when it was opened, which closes the
  // window (a refused or cancelled opening keeps it).
  BackupsWindow(const BackupFolderStore& store, std::function<bool(const QString&)> open, QWidget* parent = nullptr);

  // Lists the store's copies anew; the newest is chosen.
  void Reload();

  QTreeWidget* Copies;
  QLabel* Empty;  // "Резервных копий нет", shown instead of an empty list
  QPushButton* OpenButton;
  QPushButton* CloseButton;

 private:
  void OpenChosen();
  void OpenItem(QTreeWidgetItem* item);

  const BackupFolderStore& store_;
  std::function<bool(const QString&)> open_;
};

}  // namespace vemtaro::app
