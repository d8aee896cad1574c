// One running copy of the program per user and desktop session. The first
// copy listens on a local socket private to the user and the session (in the
// user's own runtime folder, named after the program and the display); a
// later start asks it to come forward, to open the settings file it was
// started with and to list the ports given with --port in its port menu,
// waits for its answers, and ends. The messages and their
// answers are those of window/handover.h.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace vemtaro::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // The channel of this program for this user and session: a socket named
  // after the program and the display, in the user's runtime folder
  // (XDG_RUNTIME_DIR), else in "vemtaro-<user id>" of the temporary folder,
  // used only when that folder is the user's own and no one else may enter
  // it; on Windows a name that holds the user and the session. Empty when
  // there is no such folder: the program then runs without the channel,
  // every start on its own.
  static QString ChannelName(const QString& programPath);
  // Whether a folder is the user's own: a directory (not a link), owned by
  // the user, that no one else may read, write or enter.
  static bool IsPrivateFolder(const QString& path);

  explicit SingleInstance(QString channel, QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Outcome {
    NoneRunning,  // no copy answers: this start is the first
    HandedOver,   // the running copy came forward and took the file
    Failed,       // a copy runs but did not take what it was sent (error())
  };
  struct Result {
    Outcome outcome = Outcome::NoneRunning;
    QString error;
    // What the running copy took besides coming forward, to be told: "Порт
    // «/dev/pts/3» добавлен в меню портов работающей программы Vemtaro."
    QStringList taken;
  };
  // A later start: "RAISE", and "OPEN" with the file's absolute path when a
  // file is given (a regular file; another is not sent and makes the start
  // fail), and a "PORT" for each port given (at most handover::kMaxPorts).
  // Names are taken byte for byte (shell::FileNameBytes). Waits at most waitMs
  // for the answers; a port or file the running copy refuses fails the start.
  Result HandOver(const QString& fileToOpen, const QStringList& ports, int waitMs = 5000);
  Result HandOver(const QString& fileToOpen, int waitMs = 5000) { return HandOver(fileToOpen, QStringList(), waitMs); }

  // The first start listens. raise runs for every "RAISE"; open is given the
  // path of every "OPEN" of a regular file (its bytes kept as shell::FileNameText
  // keeps them) and answers whether it took it; port is given the name of
  // every "PORT" and answers whether the port menu lists it now (without it
  // every port is refused). None runs once context is gone. False when the
  // channel could not be set up (the program then runs without it).
  bool Listen(QObject* context, std::function<void()> raise, std::function<bool(const QString&)> open,
              std::function<bool(const QString&)> port = {});
  // The reason Listen failed.
  const QString& listenError() const { return listenError_; }

  // Connections served at once; a further one is closed at once.
  static constexpr int kMaxConnections = 8;
  // A connection that has not sent its messages by then is closed.
  static constexpr int kConnectionMs = 10000;

 private:
  void Serve(QLocalSocket* socket);

  QString channel_;
  QLocalServer* server_ = nullptr;
  QPointer<QObject> context_;
  std::function<void()> raise_;
  std::function<bool(const QString&)> open_;
  std::function<bool(const QString&)> port_;
  QString listenError_;
};

}  // namespace vemtaro::app
