// One running copy of the program per user and desktop session. The first
// copy listens on a local socket private to the user and the session (in the
// user's own runtime folder, named after the program and the display); a
// later start asks it to come forward and to open the settings file it was
// started with, waits for its answer, and ends. The messages and their
// answers are those of window/handover.h.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

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
  };
  // A later start: "RAISE", and "OPEN" with the file's absolute path when a
  // file is given (a regular file; another is not sent and makes the start
  // fail). The name is taken byte for byte (shell::FileNameBytes). Waits at most
  // waitMs for the answers.
  Result HandOver(const QString& fileToOpen, int waitMs = 5000);

  // The first start listens. raise runs for every "RAISE"; open is given the
  // path of every "OPEN" of a regular file (its bytes kept as shell::FileNameText
  // keeps them) and answers whether it took it.
  // Neither runs once context is gone. False when the channel could not be
  // set up (the program then runs without it).
  bool Listen(QObject* context, std::function<void()> raise, std::function<bool(const QString&)> open);
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
  QString listenError_;
};

}  // namespace vemtaro::app
