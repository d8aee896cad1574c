// One running copy of the program: the first copy listens on a local socket
// named after the program file; a second copy asks it to come forward and ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QWidget;

namespace vemtaro::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // key: the program file's name without its folder, in upper case.
  explicit SingleInstance(const QString& key, QObject* parent = nullptr);
  // True when another copy answered (it has been asked to come forward, and to
  // open the settings file when one is given).
  bool AnotherRunning(const QString& fileToOpen = QString());
  // Starts listening; the window is restored and raised when a later copy
  // starts, and openFile is given the file that copy was started with.
  void Listen(QWidget* window, std::function<void(const QString&)> openFile = {});
  static QString KeyForProgram(const QString& programPath);

 private:
  QString key_;
  QLocalServer* server_ = nullptr;
};

}  // namespace vemtaro::app
