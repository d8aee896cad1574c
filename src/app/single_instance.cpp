#include "single_instance.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace vemtaro::app {
namespace {
constexpr int kWaitMs = 500;
const char kRaise[] = "RAISE\n";
const char kOpen[] = "OPEN ";
}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

QString SingleInstance::KeyForProgram(const QString& programPath) {
  return QFileInfo(programPath).fileName().toUpper();
}

bool SingleInstance::AnotherRunning(const QString& fileToOpen) {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(kRaise);
  if (!fileToOpen.isEmpty()) {
    socket.write(kOpen + QFileInfo(fileToOpen).absoluteFilePath().toUtf8() + "\n");
  }
  socket.waitForBytesWritten(kWaitMs);
  socket.disconnectFromServer();
  return true;
}

void SingleInstance::Listen(QWidget* window, std::function<void(const QString&)> openFile) {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(key_)) {
    // A socket left behind by a copy that crashed.
    QLocalServer::removeServer(key_);
    server_->listen(key_);
  }
  connect(server_, &QLocalServer::newConnection, this, [this, window, openFile] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, socket, [socket, openFile] {
        while (socket->canReadLine()) {
          const QString line = QString::fromUtf8(socket->readLine()).trimmed();
          if (line.startsWith(QLatin1String(kOpen)) && openFile) openFile(line.mid(int(sizeof kOpen) - 1));
        }
      });
      if (window == nullptr) continue;
      if (window->isMinimized()) {
        window->showNormal();
      }
      window->raise();
      window->activateWindow();
    }
  });
}

}  // namespace vemtaro::app
