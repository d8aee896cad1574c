#include "single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <memory>
#include <string_view>
#include <vector>

#include "shell/file_names.h"
#include "window/handover.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vemtaro::app {
namespace {

namespace texts {
constexpr const char* kNotAFile = "Файл «%1» не найден, или это не обычный файл.";
constexpr const char* kCannotHand = "Путь «%1» нельзя передать работающей программе Vemtaro.";
constexpr const char* kRefused = "Работающая программа Vemtaro не приняла файл «%1».";
constexpr const char* kPortTaken = "Порт «%1» добавлен в меню портов работающей программы Vemtaro.";
constexpr const char* kPortRefused = "Работающая программа Vemtaro не приняла порт «%1».";
constexpr const char* kCannotHandPort = "Порт «%1» нельзя передать работающей программе Vemtaro.";
constexpr const char* kTooManyPorts = "Работающей программе Vemtaro передаются не больше %1 портов.";
constexpr const char* kNoAnswer = "Работающая программа Vemtaro не ответила.";
constexpr const char* kNoChannel = "Нет связи с работающей программой Vemtaro: %1";
constexpr const char* kNoFolder = "нет папки, закрытой для других пользователей";
}  // namespace texts

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// A short fixed-length name for a text of any length.
QString Digest(const QByteArray& text) {
  return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(16));
}

QByteArray Line(std::string_view bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

}  // namespace

bool SingleInstance::IsPrivateFolder(const QString& path) {
#ifdef Q_OS_WIN
  Q_UNUSED(path);
  return false;
#else
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (info.isSymLink() || !info.isDir() || info.ownerId() != ::geteuid()) return false;
  const QFile::Permissions others =
      QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
  return (info.permissions() & others) == 0;
#endif
}

QString SingleInstance::ChannelName(const QString& programPath) {
  const QString program = QFileInfo(programPath).fileName().toUpper();
#ifdef Q_OS_WIN
  // Pipe names are seen by the whole machine: the user and the session are
  // part of the name.
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
  return QStringLiteral("%1-%2-%3").arg(program, Digest(qgetenv("USERNAME")), QString::number(session));
#else
  // The user's runtime folder, else a folder of the user's own in the
  // temporary folder, made for it; either only when no one else may enter it
  // (one that another user made first is not taken).
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!IsPrivateFolder(folder)) {
    folder = QDir(QDir::tempPath()).filePath(QStringLiteral("vemtaro-%1").arg(::geteuid()));
    QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!IsPrivateFolder(folder)) return {};
  }
  // The desktop session is told by the display the windows go to.
  const QByteArray session = "wayland=" + qgetenv("WAYLAND_DISPLAY") + "\nx11=" + qgetenv("DISPLAY");
  return QDir(folder).filePath(program + QStringLiteral("-") + Digest(session));
#endif
}

SingleInstance::SingleInstance(QString channel, QObject* parent) : QObject(parent), channel_(std::move(channel)) {}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();
}

SingleInstance::Result SingleInstance::HandOver(const QString& fileToOpen, const QStringList& ports, int waitMs) {
  if (channel_.isEmpty()) return {};
  QLocalSocket socket;
  socket.connectToServer(channel_);
  if (!socket.waitForConnected(waitMs)) {
    const QLocalSocket::LocalSocketError error = socket.error();
    // No socket, or one left behind by a copy that has ended.
    if (error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError) return {};
    return {Outcome::Failed, Text(texts::kNoChannel).arg(socket.errorString()), {}};
  }
  QByteArray messages = Line(handover::RaiseMessage());
  std::size_t expected = 1;
  QString problem;
  // The file's name goes byte for byte: it need not be UTF-8.
  const std::string path = fileToOpen.isEmpty() ? std::string() : shell::AbsoluteFileName(fileToOpen);
  const QString shownPath = shell::ShownFileName(shell::FileNameText(path));
  if (!fileToOpen.isEmpty()) {
    const auto open = handover::OpenMessage(path);
    if (!shell::IsRegularFile(shell::FileNameText(path))) {
      problem = Text(texts::kNotAFile).arg(shell::ShownFileName(fileToOpen));
    } else if (!open) {
      problem = Text(texts::kCannotHand).arg(shownPath);
    } else {
      messages += Line(*open);
      ++expected;
    }
  }
  // The ports sent, in the order of their answers after those above.
  const std::size_t portsFrom = expected;
  QStringList portsSent;
  QStringList problems;
  if (!problem.isEmpty()) problems << problem;
  if (static_cast<std::size_t>(ports.size()) > handover::kMaxPorts) {
    problems << Text(texts::kTooManyPorts).arg(handover::kMaxPorts);
  }
  for (const QString& name : ports.mid(0, static_cast<qsizetype>(handover::kMaxPorts))) {
    if (const auto port = handover::PortMessage(shell::FileNameBytes(name))) {
      messages += Line(*port);
      portsSent << name;
      ++expected;
    } else {
      problems << Text(texts::kCannotHandPort).arg(shell::ShownFileName(name));
    }
  }
  socket.write(messages);
  const QDeadlineTimer deadline(waitMs);
  QByteArray answers;
  std::vector<bool> taken;
  handover::Answers state = handover::ReadAnswers({}, expected);
  while (state == handover::Answers::Incomplete) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      state = handover::Answers::Broken;
      break;
    }
    // No more than the answers take is kept: more is a broken answer.
    answers += socket.read(64);
    state = handover::ReadAnswers(std::string_view(answers.constData(), static_cast<std::size_t>(answers.size())),
                                  expected, &taken);
  }
  socket.disconnectFromServer();
  if (state == handover::Answers::Broken || state == handover::Answers::Incomplete) {
    problems << Text(texts::kNoAnswer);
    return {Outcome::Failed, problems.join('\n'), {}};
  }
  // Each answer told: "OK" to RAISE, then the file's, then each port's.
  QStringList told;
  const bool fileSent = portsFrom == 2;
  if (fileSent && !taken[1]) problems << Text(texts::kRefused).arg(shownPath);
  for (qsizetype i = 0; i < portsSent.size(); ++i) {
    const QString shown = shell::ShownFileName(portsSent[i]);
    if (taken[portsFrom + static_cast<std::size_t>(i)]) {
      told << Text(texts::kPortTaken).arg(shown);
    } else {
      problems << Text(texts::kPortRefused).arg(shown);
    }
  }
  if (!taken[0]) problems << Text(texts::kNoAnswer);
  if (!problems.isEmpty()) return {Outcome::Failed, problems.join('\n'), told};
  return {Outcome::HandedOver, {}, told};
}

bool SingleInstance::Listen(QObject* context, std::function<void()> raise, std::function<bool(const QString&)> open,
                            std::function<bool(const QString&)> port) {
  if (channel_.isEmpty()) {
    listenError_ = Text(texts::kNoFolder);
    return false;
  }
  context_ = context;
  raise_ = std::move(raise);
  open_ = std::move(open);
  port_ = std::move(port);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  server_->setMaxPendingConnections(kMaxConnections);
  bool listening = server_->listen(channel_);
  if (!listening && server_->serverError() == QAbstractSocket::AddressInUseError) {
    // A socket left behind by a copy that ended without closing it is taken
    // over; one on which a copy answers is left to it.
    QLocalSocket probe;
    probe.connectToServer(channel_);
    if (!probe.waitForConnected(1000)) {
      QLocalServer::removeServer(channel_);
      listening = server_->listen(channel_);
    }
  }
  if (!listening) {
    listenError_ = server_->errorString();
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      if (server_->findChildren<QLocalSocket*>(QString(), Qt::FindDirectChildrenOnly).size() > kMaxConnections) {
        socket->abort();
        socket->deleteLater();
        continue;
      }
      Serve(socket);
    }
  });
  return true;
}

void SingleInstance::Serve(QLocalSocket* socket) {
  // Qt keeps no more of a connection's bytes than one message.
  socket->setReadBufferSize(static_cast<qint64>(handover::kMaxMessageBytes));
  auto reader = std::make_shared<handover::MessageReader>();
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kConnectionMs, socket, [socket] { socket->abort(); });
  const auto read = [this, socket, reader] {
    // A refused connection is closing: nothing more of it is read.
    if (!reader->error().empty()) return;
    std::vector<handover::Message> messages;
    bool ok = true;
    while (ok && socket->bytesAvailable() > 0) {
      const QByteArray bytes = socket->read(static_cast<qint64>(handover::kMaxMessageBytes));
      ok = reader->Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), messages);
    }
    for (const handover::Message& message : messages) {
      bool taken = false;
      if (context_ != nullptr) {
        if (message.kind == handover::Kind::Raise) {
          if (raise_) raise_();
          taken = true;
        } else if (message.kind == handover::Kind::Port) {
          taken = port_ && port_(shell::FileNameText(message.path));
        } else {
          const QString path = shell::FileNameText(message.path);
          taken = shell::IsRegularFile(path) && open_ && open_(path);
        }
      }
      socket->write(Line(taken ? handover::kAccepted : handover::kRefused) + '\n');
    }
    if (!ok) {
      qWarning("Vemtaro: a message of a later start was refused (%s)", reader->error().c_str());
      socket->write(Line(handover::kRefused) + '\n');
      socket->disconnectFromServer();
    }
  };
  connect(socket, &QLocalSocket::readyRead, socket, read);
  read();
}

}  // namespace vemtaro::app
