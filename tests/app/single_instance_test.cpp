// The single-instance channel: private to the user and the session, taken by
// no other user, refusing what is not a message of a later start, and the
// main window taking a handed file only when it is idle (after the splash,
// after a dialog, after a transfer), through the question about unsaved
// changes.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desk.h"
#include "hand.h"
#include "main_window.h"
#include "marquee_label.h"
#include "shell/file_names.h"
#include "shell/qt_file_store.h"
#include "single_instance.h"
#include "tree_view.h"
#include "window/handover.h"

extern char** environ;

namespace vemtaro::app {
namespace {

using Outcome = SingleInstance::Outcome;
using shell::ArgumentsOf;
using shell::FileNameBytes;
using shell::FileNameText;
using shell::IsRegularFile;
using shell::ShownFileName;

constexpr int kWaitMs = 20000;  // nothing waits that long unless something is broken
const QString kProgram = QStringLiteral("/usr/bin/vemtaro");

// Environment variables set for the life of the object, then restored.
class Env {
 public:
  Env(std::initializer_list<std::pair<const char*, std::optional<QByteArray>>> values) {
    for (const auto& [name, value] : values) {
      saved_.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
      if (value) {
        qputenv(name, *value);
      } else {
        qunsetenv(name);
      }
    }
  }
  ~Env() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        qputenv(name, *value);
      } else {
        qunsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

bool Chmod(const QString& path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }

// A later start of the program in a thread of its own, while this thread
// runs the event loop of the running copy; its result.
SingleInstance::Result LaterStart(const QString& channel, const QString& file = {}) {
  auto later = std::async(std::launch::async, [channel, file] { return SingleInstance(channel).HandOver(file); });
  EXPECT_TRUE(port::RunEventsUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                   kWaitMs));
  return later.get();
}

// The same with ports given with --port.
SingleInstance::Result LaterStartWithPorts(const QString& channel, const QStringList& ports) {
  auto later =
      std::async(std::launch::async, [channel, ports] { return SingleInstance(channel).HandOver(QString(), ports); });
  EXPECT_TRUE(port::RunEventsUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                   kWaitMs));
  return later.get();
}

// What a raw connection to the channel gets back for the bytes it sends (up to
// `answers` answer lines), and whether the running copy then closes it: a
// last "RAISE" is answered "OK" on a connection that stays open.
struct Served {
  QByteArray answer;
  bool closedByServer = false;
};
Served SendRaw(const QString& channel, const QByteArray& bytes, int answers) {
  auto client = std::async(std::launch::async, [channel, bytes, answers] {
    Served served;
    QLocalSocket socket;
    socket.connectToServer(channel);
    if (!socket.waitForConnected(kWaitMs)) return served;
    const auto connected = [&] { return socket.state() == QLocalSocket::ConnectedState; };
    const auto collect = [&] { served.answer += socket.readAll(); };
    for (qsizetype at = 0; at < bytes.size() && connected(); at += 1024) {
      socket.write(bytes.mid(at, 1024));
      socket.waitForBytesWritten(kWaitMs);
      if (socket.waitForReadyRead(0)) collect();
    }
    while (connected() && served.answer.count('\n') < answers && socket.waitForReadyRead(kWaitMs)) collect();
    collect();
    if (connected()) {
      const QByteArray before = served.answer;
      socket.write("RAISE\n");
      socket.waitForBytesWritten(kWaitMs);
      while (connected() && !served.answer.endsWith("OK\n") && socket.waitForReadyRead(kWaitMs)) collect();
      collect();
      served.closedByServer = !served.answer.endsWith("OK\n");
      served.answer = before;
    } else {
      served.closedByServer = true;
    }
    return served;
  });
  EXPECT_TRUE(port::RunEventsUntil(
      [&] { return client.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, kWaitMs));
  return client.get();
}

// Runs the event loop until it has waited for events a few times: an idle
// program has by then done what it does when idle.
void RunIdleTurns(int turns = 3) {
  int waited = 0;
  QEventLoop loop;
  QTimer wake;  // something to wait for, each time
  wake.start(1);
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
    if (++waited >= turns) loop.quit();
  });
  loop.exec();
}

QString MakeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes = "x") {
  QFile file(dir.filePath(name));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  return file.fileName();
}

// A name in Windows-1251, as an old Windows archive unpacks: not UTF-8.
const std::string kCp1251Name = "\xCF\xF0\xE8\xEC\xE5\xF0.dat";

// A file of that name in the folder, with the bytes; its whole name as bytes.
std::string MakeCp1251File(const QTemporaryDir& dir, const std::string& bytes = "x") {
  const std::string path = QFile::encodeName(dir.path()).toStdString() + "/" + kCp1251Name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  EXPECT_GE(fd, 0) << std::strerror(errno);
  if (fd >= 0) {
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  return path;
}

// ---- File names byte for byte ----------------------------------------------------

// The program's arguments keep the bytes of a file name that is not UTF-8, and
// give them back whole; names in UTF-8 are plain text.
TEST(FileNames, ArgumentsKeepTheBytesOfTheirNames) {
  std::string program = "/usr/bin/vemtaro";
  std::string cp1251 = "/home/u/" + kCp1251Name;
  std::string utf8 = "/home/u/Объект 7.dat";
  std::string broken = "/a\xD0/\xC0\xAF/\xED\xA0\x80/\xF4\x90\x80\x80/\xFF";  // cut, overlong, surrogate, too high
  char* argv[] = {program.data(), cp1251.data(), utf8.data(), broken.data()};
  const QStringList arguments = ArgumentsOf(4, argv);
  ASSERT_EQ(arguments.size(), 4);
  EXPECT_EQ(arguments[0], QString::fromStdString(program));
  EXPECT_EQ(arguments[2], QString::fromUtf8("/home/u/Объект 7.dat"));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(FileNameBytes(arguments[i]), std::string(argv[i])) << i;
  EXPECT_FALSE(arguments[1].contains(QChar(0xFFFD)));
  EXPECT_EQ(ShownFileName(arguments[1]), QString::fromUtf8("/home/u/\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD.dat"));
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string file = MakeCp1251File(dir);
  EXPECT_TRUE(IsRegularFile(FileNameText(file)));
  EXPECT_FALSE(IsRegularFile(QString::fromStdString(file))) << "the name as UTF-8 text, U+FFFD for its bytes";
}

// ---- The channel's name and folder -------------------------------------------

TEST(SingleInstanceChannel, IsPrivateToTheUserAndTheSession) {
  QTemporaryDir runtime;  // 0700, the user's own
  QTemporaryDir shared;
  ASSERT_TRUE(runtime.isValid() && shared.isValid());
  ASSERT_TRUE(Chmod(shared.path(), 01777));
  const auto channel = [](const QByteArray& xdg, const char* display, const char* wayland) {
    const Env env{{"XDG_RUNTIME_DIR", xdg},
                  {"DISPLAY", display ? std::optional<QByteArray>(display) : std::nullopt},
                  {"WAYLAND_DISPLAY", wayland ? std::optional<QByteArray>(wayland) : std::nullopt}};
    return SingleInstance::ChannelName(kProgram);
  };
  const QByteArray own = QFile::encodeName(runtime.path());
  const QString x0 = channel(own, ":0", nullptr);
  EXPECT_EQ(QFileInfo(x0).absolutePath(), runtime.path());
  EXPECT_TRUE(QFileInfo(x0).fileName().startsWith("VEMTARO-")) << x0.toStdString();
  EXPECT_EQ(channel(own, ":0", nullptr), x0) << "one session, one channel";
  EXPECT_NE(channel(own, ":1", nullptr), x0) << "another X display is another session";
  EXPECT_NE(channel(own, ":0", "wayland-0"), x0);
  EXPECT_NE(channel(own, ":0", "wayland-0"), channel(own, ":0", "wayland-1"));
  {
    const Env env{{"XDG_RUNTIME_DIR", own}, {"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", std::nullopt}};
    EXPECT_EQ(SingleInstance::ChannelName("/opt/other/vemtaro"), x0) << "named after the program file";
  }
  // A runtime folder others may enter is not used; a folder of the user's own
  // is made in the temporary folder instead.
  const Env tmp{{"TMPDIR", QFile::encodeName(runtime.path())}};
  const QString fallback = channel(QFile::encodeName(shared.path()), ":0", nullptr);
  EXPECT_FALSE(fallback.startsWith(shared.path() + "/")) << fallback.toStdString();
  EXPECT_EQ(QFileInfo(fallback).absolutePath(), QDir(runtime.path()).filePath(QString("vemtaro-%1").arg(::geteuid())));
  EXPECT_TRUE(SingleInstance::IsPrivateFolder(QFileInfo(fallback).absolutePath()));
}

TEST(SingleInstanceChannel, OnlyAFolderNoOneElseMayEnterIsPrivate) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    const char* name;
    mode_t mode;
    bool privateFolder;
  };
  const Case cases[] = {
      {"owner only", 0700, true},   {"others may enter", 0701, false},   {"group may read", 0740, false},
      {"open to all", 0777, false}, {"shared and sticky", 01777, false},
  };
  for (const Case& c : cases) {
    const QString path = dir.filePath(c.name);
    ASSERT_TRUE(QDir().mkdir(path));
    ASSERT_TRUE(Chmod(path, c.mode));
    EXPECT_EQ(SingleInstance::IsPrivateFolder(path), c.privateFolder) << c.name;
  }
  ASSERT_TRUE(QFile::link(dir.filePath("owner only"), dir.filePath("link")));
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(dir.filePath("link"))) << "a link";
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(MakeFile(dir, "file"))) << "a file";
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(dir.filePath("missing")));
  EXPECT_FALSE(SingleInstance::IsPrivateFolder(QString()));
}

// ---- A later start and the running copy ---------------------------------------

class SingleInstanceServed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime.isValid() && files.isValid());
    channel = QDir(runtime.path()).filePath("VEMTARO-test");
    ASSERT_TRUE(running.Listen(
        &context, [this] { ++raised; },
        [this](const QString& path) {
          opened << path;
          return takeFiles;
        }))
        << running.listenError().toStdString();
  }

  QTemporaryDir runtime;
  QTemporaryDir files;
  QString channel;
  QObject context;
  SingleInstance running{QDir(runtime.path()).filePath("VEMTARO-test")};
  int raised = 0;
  QStringList opened;
  bool takeFiles = true;
};

TEST_F(SingleInstanceServed, ALaterStartHandsOverItsFileAndComesForward) {
  const QString site = MakeFile(files, "site.dat");
  const std::string cp1251Bytes = MakeCp1251File(files);
  const QString cp1251 = FileNameText(cp1251Bytes);
  struct Case {
    const char* name;
    QString file;
    bool take;
    Outcome outcome;
    QStringList opened;
    const char* error;  // a piece of the error
  };
  const Case cases[] = {
      {"no file", {}, true, Outcome::HandedOver, {}, ""},
      {"a file", site, true, Outcome::HandedOver, {site}, ""},
      {"a file not taken", site, false, Outcome::Failed, {site}, "не приняла файл"},
      {"a file that is not there", files.filePath("missing.dat"), true, Outcome::Failed, {}, "не найден"},
      {"a folder", files.path(), true, Outcome::Failed, {}, "не обычный файл"},
      {"a name in Windows-1251", cp1251, true, Outcome::HandedOver, {cp1251}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raised = 0;
    opened.clear();
    takeFiles = c.take;
    const SingleInstance::Result result = LaterStart(channel, c.file);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.error))) << result.error.toStdString();
    EXPECT_EQ(raised, 1) << "every later start brings the window forward";
    EXPECT_EQ(opened, c.opened);
    for (const QString& path : opened) EXPECT_TRUE(IsRegularFile(path)) << ShownFileName(path).toStdString();
  }
  EXPECT_EQ(FileNameBytes(cp1251), cp1251Bytes);
}

TEST_F(SingleInstanceServed, NothingRunsOnceTheWindowIsGone) {
  const QString site = MakeFile(files, "site.dat");
  {
    QObject gone;
    SingleInstance other(QDir(runtime.path()).filePath("VEMTARO-other"));
    ASSERT_TRUE(other.Listen(
        &gone, [this] { ++raised; }, [this](const QString& p) { return opened << p, true; }));
    QObject* dying = new QObject;
    SingleInstance late(QDir(runtime.path()).filePath("VEMTARO-late"));
    ASSERT_TRUE(late.Listen(
        dying, [this] { ++raised; }, [this](const QString& p) { return opened << p, true; }));
    delete dying;
    EXPECT_EQ(LaterStart(QDir(runtime.path()).filePath("VEMTARO-late"), site).outcome, Outcome::Failed);
  }
  EXPECT_EQ(raised, 0);
  EXPECT_TRUE(opened.isEmpty());
}

TEST_F(SingleInstanceServed, WhatIsNoMessageOfALaterStartIsRefusedAndClosed) {
  const QString site = MakeFile(files, "site.dat");
  struct Case {
    const char* name;
    QByteArray bytes;
    int answers;
    QByteArray answer;  // empty: the answer may be lost to the closing
    bool closed;
    int raised;  // with the last "RAISE" of a connection left open
  };
  const Case cases[] = {
      {"unknown", "QUIT\n", 1, "REFUSED\n", true, 0},
      {"a relative path", "OPEN site.dat\n", 1, "REFUSED\n", true, 0},
      {"a control character", "OPEN /a\x01.dat\n", 1, "REFUSED\n", true, 0},
      {"a message after a bad one", "QUIT\nRAISE\n", 1, "REFUSED\n", true, 0},
      {"a second raise", "RAISE\nRAISE\n", 2, "OK\nREFUSED\n", true, 1},
      {"a port without a name", "PORT \n", 1, "REFUSED\n", true, 0},
      // A copy that takes no ports refuses each, and goes on serving.
      {"a port not taken", "PORT /dev/pts/7\n", 1, "REFUSED\n", false, 1},
      {"a folder", "OPEN " + QFile::encodeName(files.path()) + "\n", 1, "REFUSED\n", false, 1},
      {"no such file", "OPEN " + QFile::encodeName(files.filePath("no.dat")) + "\n", 1, "REFUSED\n", false, 1},
      // 300 MB were once buffered whole; the channel closes after one message's bound.
      {"a flood without an end", QByteArray(64 * 1024 * 1024, 'x'), 1, "", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raised = 0;
    opened.clear();
    const Served served = SendRaw(channel, c.bytes, c.answers);
    if (!c.answer.isEmpty()) {
      EXPECT_EQ(served.answer, c.answer);
    } else {
      EXPECT_TRUE(served.answer.isEmpty() || served.answer == "REFUSED\n") << served.answer.toStdString();
    }
    EXPECT_EQ(served.closedByServer, c.closed);
    EXPECT_EQ(raised, c.raised);
    EXPECT_TRUE(opened.isEmpty());
  }
  // The channel still serves a later start.
  EXPECT_EQ(LaterStart(channel, site).outcome, Outcome::HandedOver);
  EXPECT_EQ(opened, QStringList{site});
}

// ---- Another user --------------------------------------------------------------

constexpr uid_t kNobody = 65534;

// A second user on the machine who listens first wherever the channel might
// be: in a child process that has given up root's privileges. Returns, per
// socket path, whether it could listen there, and what it received.
struct Squatter {
  std::string folder;                // made first, open to all (or empty)
  std::vector<std::string> sockets;  // listened on, where it can
  std::string listening;             // per socket '1' or '0'
  std::string received;
  pid_t pid = -1;
  int report = -1;  // child -> parent: the listening flags, then at the end what it received
  int done = -1;    // parent -> child: the later start is over

  bool Start() {
    int reportPipe[2];
    int donePipe[2];
    if (pipe(reportPipe) != 0 || pipe(donePipe) != 0) return false;
    std::vector<sockaddr_un> addresses(sockets.size());
    std::vector<pollfd> fds(sockets.size() + 1);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
      addresses[i].sun_family = AF_UNIX;
      std::strncpy(addresses[i].sun_path, sockets[i].c_str(), sizeof addresses[i].sun_path - 1);
    }
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      // Only system calls from here on.
      close(reportPipe[0]);
      close(donePipe[1]);
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
      if (!folder.empty() && mkdir(folder.c_str(), 0777) == 0) chmod(folder.c_str(), 0777);
      char flags[16] = {};
      for (std::size_t i = 0; i < addresses.size() && i < sizeof flags; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool ok = fd >= 0 &&
                        bind(fd, reinterpret_cast<const sockaddr*>(&addresses[i]), sizeof addresses[i]) == 0 &&
                        listen(fd, 8) == 0;
        flags[i] = ok ? '1' : '0';
        fds[i] = {ok ? fd : -1, POLLIN, 0};
      }
      fds.back() = {donePipe[0], POLLIN, 0};
      if (write(reportPipe[1], flags, addresses.size()) < 0) _exit(3);
      char buffer[8192];
      for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) _exit(4);
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
          if (fds[i].fd < 0 || (fds[i].revents & POLLIN) == 0) continue;
          const int peer = accept(fds[i].fd, nullptr, nullptr);
          if (peer < 0) continue;
          const ssize_t n = read(peer, buffer, sizeof buffer);
          if (n > 0 && write(reportPipe[1], buffer, static_cast<std::size_t>(n)) < 0) _exit(5);
          close(peer);
        }
        if (fds.back().revents != 0) _exit(0);
      }
    }
    close(reportPipe[1]);
    close(donePipe[0]);
    report = reportPipe[0];
    done = donePipe[1];
    listening.resize(sockets.size());
    for (std::size_t got = 0; got < sockets.size();) {
      const ssize_t n = read(report, listening.data() + got, sockets.size() - got);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Ends the child; true when it ended well.
  bool Stop() {
    close(done);
    char buffer[4096];
    for (ssize_t n; (n = read(report, buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      received.append(buffer, static_cast<std::size_t>(n));
    }
    close(report);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

// Another user of the machine who is there first gets neither the later
// starts' messages nor the power to end them: the channel is never where
// that user can reach.
TEST(SingleInstanceChannel, AnotherUserCannotTakeIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as a second user (nobody) in a child process";
  QTemporaryDir runtime;  // the user's runtime folder, 0700
  QTemporaryDir shared;   // a temporary folder open to all, as /tmp is
  QTemporaryDir files;
  ASSERT_TRUE(runtime.isValid() && shared.isValid() && files.isValid());
  ASSERT_TRUE(Chmod(shared.path(), 01777));
  const QString site = MakeFile(files, "site.dat");
  const std::string pub = QFile::encodeName(shared.path()).toStdString();
  const std::string own = pub + "/vemtaro-0";  // the folder the program would make
  QString name;
  {
    const Env env{{"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())}};
    name = QFileInfo(SingleInstance::ChannelName(kProgram)).fileName();
  }
  const std::string file = QFile::encodeName(name).toStdString();
  struct Case {
    const char* name;
    std::optional<QByteArray> xdg;
    std::string folder;
    std::vector<std::string> sockets;
    bool anyListening;  // whether the squatter could listen anywhere
  };
  const std::string inRuntime = QFile::encodeName(QDir(runtime.path()).filePath(name)).toStdString();
  const Case cases[] = {
      {"in the user's runtime folder", QFile::encodeName(runtime.path()), "", {inRuntime}, false},
      {"the program's folder made first", std::nullopt, own, {own + "/" + file, pub + "/VEMTARO"}, true},
      {"a runtime folder open to all", QByteArray(pub.c_str()), own, {pub + "/" + file, own + "/" + file}, true},
      {"the old name in the temporary folder", std::nullopt, "", {pub + "/VEMTARO", pub + "/" + file}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // What an earlier case left behind goes first.
    QDir(QString::fromStdString(own)).removeRecursively();
    for (const std::string& socket : c.sockets) QFile::remove(QString::fromStdString(socket));
    const Env env{{"XDG_RUNTIME_DIR", c.xdg}, {"TMPDIR", QByteArray(pub.c_str())}};
    Squatter squatter;
    squatter.folder = c.folder;
    squatter.sockets = c.sockets;
    ASSERT_TRUE(squatter.Start());
    EXPECT_EQ(squatter.listening.find('1') != std::string::npos, c.anyListening) << squatter.listening;
    // A later start: nobody of this user runs, so it is the first.
    const QString channel = SingleInstance::ChannelName(kProgram);
    EXPECT_EQ(SingleInstance(channel).HandOver(site, 2000).outcome, Outcome::NoneRunning);
    if (!channel.isEmpty()) {
      EXPECT_TRUE(SingleInstance::IsPrivateFolder(QFileInfo(channel).absolutePath()));
      SingleInstance first(channel);
      QObject context;
      EXPECT_TRUE(first.Listen(
          &context, [] {}, [](const QString&) { return true; }))
          << first.listenError().toStdString();
    }
    ASSERT_TRUE(squatter.Stop());
    EXPECT_EQ(squatter.received, "") << "the other user learnt of a later start";
  }
}

// ---- The main window takes a handed file when it is idle -----------------------

bool Opened(TForm1& window) {
  return window.Tree1->topLevelItemCount() > 0 && window.Tree1->topLevelItem(0)->text(0) == "Калитка";
}

class HandedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime.isValid() && files.isValid());
    site = MakeFile(files, "site.dat", QByteArray::fromStdString(OtherFile()));
  }

  // The channel of a window, served as the program serves it.
  void Serve(TForm1& window) {
    ASSERT_TRUE(server.Listen(
        &window, [&window] { window.ComeForward(); },
        [&window](const QString& p) { return window.TakeHandedFile(p); }));
  }

  QTemporaryDir runtime;
  QTemporaryDir files;
  QString site;
  QString channel = QDir(runtime.path()).filePath("VEMTARO-window");
  SingleInstance server{channel};
};

TEST_F(HandedFileTest, DuringTheSplashItWaitsForTheWindow) {
  testing::ScriptedDialogs dialogs;
  shell::QtFileStore disk;
  TForm1 window(dialogs, disk);
  Serve(window);
  EXPECT_EQ(LaterStart(channel, site).outcome, Outcome::HandedOver);
  EXPECT_EQ(window.HandedFiles(), QStringList{site});
  RunIdleTurns();
  EXPECT_FALSE(Opened(window)) << "opened before the window is up";
  window.FormShow();
  window.show();
  ASSERT_TRUE(port::RunEventsUntil([&] { return Opened(window); }, kWaitMs));
  EXPECT_EQ(window.model().ws.FirmwareVersion, 12);
  EXPECT_TRUE(window.HandedFiles().isEmpty());
  EXPECT_EQ(dialogs.saveChangesAsked, 0) << "nothing to save yet";
}

TEST_F(HandedFileTest, DuringADialogItWaitsAndThenAsksAboutChanges) {
  Desk d;
  d.files.files[site.toStdString()] = OtherFile();
  Serve(d.window);
  d.Change();
  d.dialogs.saveChanges.push_back(SaveChangesAnswer::Discard);
  bool waited = false;
  // "Справка" → "О программе": its box stays up while the file comes.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    poll.stop();
    ASSERT_NE(qobject_cast<QMessageBox*>(box), nullptr);
    EXPECT_EQ(LaterStart(channel, site).outcome, Outcome::HandedOver);
    RunIdleTurns();
    waited = !Opened(d.window);
    QTest::keyClick(box, Qt::Key_Escape);
  });
  poll.start(0);
  d.Choose(d.window.findChild<QMenu*>("N9"), d.window.N10);
  EXPECT_TRUE(waited) << "opened while the dialog was up";
  ASSERT_TRUE(port::RunEventsUntil([&] { return Opened(d.window); }, kWaitMs));
  EXPECT_EQ(d.dialogs.saveChangesAsked, 1);
}

TEST_F(HandedFileTest, DuringATransferItWaitsForItsEnd) {
  Desk d;
  d.files.files[site.toStdString()] = OtherFile();
  Serve(d.window);
  ASSERT_TRUE(d.Connect());
  d.Choose(d.window.N13, d.window.N14);  // "Загрузить конфигурацию из контроллера"
  ASSERT_FALSE(d.window.InputEnabled()) << "the read holds the window";
  EXPECT_EQ(LaterStart(channel, site).outcome, Outcome::HandedOver);
  RunIdleTurns();
  ASSERT_TRUE(d.window.link().Transferring());
  EXPECT_FALSE(Opened(d.window));
  // The read ends first, then the file is opened over what it read.
  ASSERT_TRUE(port::RunEventsUntil([&] { return Opened(d.window); }, 180000));
  EXPECT_EQ(d.window.link().loadResult, true);
  EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Настройки загружены");
}

TEST_F(HandedFileTest, AtMostAFewWait) {
  Desk d;
  for (int i = 0; i < TForm1::kMaxHandedFiles; ++i) EXPECT_TRUE(d.window.TakeHandedFile(site));
  EXPECT_FALSE(d.window.TakeHandedFile(site));
  EXPECT_EQ(d.window.HandedFiles().size(), TForm1::kMaxHandedFiles);
}

// A later start's ports join the running copy's port menu, which the running
// copy says for each, and the later start tells; a port it cannot take fails
// the later start with its name.
TEST(SingleInstancePorts, AHandedPortJoinsThePortMenu) {
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  Desk d;
  d.window.portSource = [] { return QList<port::PortEntry>{{"/dev/ttyS0", "", "", ""}}; };
  d.window.SetExtraPorts({"/dev/pts/3"});
  const QString channel = QDir(runtime.path()).filePath("VEMTARO-ports");
  SingleInstance running(channel);
  int raised = 0;
  ASSERT_TRUE(running.Listen(
      &d.window, [&raised] { ++raised; }, [](const QString&) { return false; },
      [&d](const QString& name) { return d.window.AddExtraPort(name); }));
  // The port menu as a click on the connection pane opens it.
  const auto captions = [&d] {
    const QPoint at = d.window.ComStatus->mapTo(&d.window, d.window.ComStatus->rect().center());
    QTest::mouseClick(d.window.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(d.window.PopupMenu1->isVisible());
    QStringList texts;
    for (QAction* a : d.window.PopupMenu1->actions()) texts << (a->isSeparator() ? "-" : a->text());
    QTest::keyClick(d.window.PopupMenu1, Qt::Key_Escape);
    return texts;
  };
  const QString simulator = QString::fromUtf8(link_texts::kSimulatorPort);
  const auto taken = [](const char* name) {
    return QStringLiteral("Порт «%1» добавлен в меню портов работающей программы Vemtaro.").arg(name);
  };

  SingleInstance::Result result = LaterStartWithPorts(channel, {"/dev/pts/7", "/dev/pts/3", "COM3"});
  EXPECT_EQ(result.outcome, Outcome::HandedOver) << result.error.toStdString();
  EXPECT_EQ(result.taken, (QStringList{taken("/dev/pts/7"), taken("/dev/pts/3"), taken("COM3")}));
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(captions(), (QStringList{"/dev/ttyS0", "/dev/pts/3", "/dev/pts/7", "COM3", "-", simulator}));

  // More ports than a start hands over: the first eight are sent.
  QStringList many;
  for (int i = 10; i < 10 + static_cast<int>(handover::kMaxPorts) + 1; ++i)
    many << QStringLiteral("/dev/pts/%1").arg(i);
  result = LaterStartWithPorts(channel, many);
  EXPECT_EQ(result.outcome, Outcome::Failed);
  EXPECT_EQ(result.error, "Работающей программе Vemtaro передаются не больше 8 портов.");
  EXPECT_EQ(result.taken.size(), 8);
  EXPECT_FALSE(captions().contains("/dev/pts/18"));

  // A menu that holds as many added ports as it may refuses one more.
  for (int i = 0; i < port::kMaxPorts; ++i) d.window.AddExtraPort(QStringLiteral("/dev/pts/%1").arg(100 + i));
  result = LaterStartWithPorts(channel, {"/dev/pts/99"});
  EXPECT_EQ(result.outcome, Outcome::Failed);
  EXPECT_EQ(result.error, "Работающая программа Vemtaro не приняла порт «/dev/pts/99».");
  EXPECT_TRUE(result.taken.isEmpty());
  EXPECT_FALSE(captions().contains("/dev/pts/99"));
}

// ---- Two starts of the program -------------------------------------------------

// The program itself, started twice in one session: the second start hands
// its file over, ends with 0, and the first goes on.
TEST(SingleInstanceProgram, ASecondStartLeavesOneProgramRunning) {
  QTemporaryDir runtime;
  QTemporaryDir files;
  ASSERT_TRUE(runtime.isValid() && files.isValid());
  const QString site = MakeFile(files, "site.dat", QByteArray::fromStdString(OtherFile()));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  QString channel;
  {
    const Env same{{"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())}};
    channel = SingleInstance::ChannelName(VEMTARO_APP_PATH);
  }
  ASSERT_TRUE(channel.startsWith(runtime.path()));
  QProcess first;
  first.setProcessEnvironment(env);
  first.start(VEMTARO_APP_PATH, {});
  ASSERT_TRUE(first.waitForStarted(kWaitMs));
  ASSERT_TRUE(
      port::RunEventsUntil([&] { return QFileInfo::exists(channel) || first.state() != QProcess::Running; }, kWaitMs));
  ASSERT_EQ(first.state(), QProcess::Running);

  QProcess second;
  second.setProcessEnvironment(env);
  second.start(VEMTARO_APP_PATH, {site});
  ASSERT_TRUE(port::RunEventsUntil([&] { return second.state() == QProcess::NotRunning; }, kWaitMs))
      << "the second copy kept running";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  EXPECT_EQ(first.state(), QProcess::Running);

  // A port given to a later start joins the running copy's port menu; the
  // later start says so.
  QProcess third;
  third.setProcessEnvironment(env);
  third.start(VEMTARO_APP_PATH, {"--port", "/dev/pts/77"});
  ASSERT_TRUE(port::RunEventsUntil([&] { return third.state() == QProcess::NotRunning; }, kWaitMs))
      << "the third copy kept running";
  EXPECT_EQ(third.exitCode(), 0) << third.readAllStandardError().toStdString();
  EXPECT_EQ(QString::fromUtf8(third.readAllStandardOutput()),
            "vemtaro: Порт «/dev/pts/77» добавлен в меню портов работающей программы Vemtaro.\n");
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(kWaitMs);
}

// The program started by a file manager with a file whose name is in
// Windows-1251 opens it, and so does the running copy when a second start
// hands it the same name. Each open is seen as the file being opened.
TEST(SingleInstanceProgram, OpensAFileWhoseNameIsNotUtf8) {
  QTemporaryDir runtime;
  QTemporaryDir files;
  ASSERT_TRUE(runtime.isValid() && files.isValid());
  const std::string site = MakeCp1251File(files, OtherFile());
  const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, site.c_str(), IN_OPEN), 0);
  // Whether the file was opened within the wait.
  const auto opened = [watch] {
    pollfd fd{watch, POLLIN, 0};
    if (::poll(&fd, 1, kWaitMs) <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    return ::read(watch, buffer, sizeof buffer) > 0;
  };
  const Env env{{"QT_QPA_PLATFORM", QByteArray("offscreen")}, {"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())}};
  // Started with the name's bytes as its argument, as a file manager does.
  const auto start = [&site] {
    std::string program = VEMTARO_APP_PATH;
    std::string file = site;
    char* argv[] = {program.data(), file.data(), nullptr};
    pid_t pid = -1;
    return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
  };
  const pid_t first = start();
  ASSERT_GT(first, 0);
  EXPECT_TRUE(opened()) << "the first start did not open its file";

  const pid_t second = start();
  ASSERT_GT(second, 0);
  EXPECT_TRUE(opened()) << "the running copy did not open the file handed to it";
  int status = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  pid_t ended = 0;
  while ((ended = ::waitpid(second, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    QTest::qWait(10);
  }
  if (ended == 0) ::kill(second, SIGKILL), ::waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the second start: " << status;
  EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the first copy ended";
  ::kill(first, SIGKILL);
  ::waitpid(first, nullptr, 0);
  ::close(watch);
}

}  // namespace
}  // namespace vemtaro::app
