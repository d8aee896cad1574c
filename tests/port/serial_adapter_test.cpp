// The serial port adapter over a pseudo-terminal: the test holds the master
// end (the controller's side), the adapter opens the slave by its path.
#include "port/serial_adapter.h"
#include "port/port_list.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "link/com_port.h"
#include "link/packet.h"
#include "port/link_host.h"

namespace vemtaro::port {
namespace {

// Generous bound for waiting on something that should happen at once.
constexpr int kEventDeadlineMs = 3000;

class Pty {
 public:
  Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path_ = QString::fromLocal8Bit(name);
    for (int fd : {master_, slave_}) {
      termios t{};
      ::tcgetattr(fd, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(fd, TCSANOW, &t);
    }
  }
  ~Pty() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const QString& path() const { return path_; }
  int slave() const { return slave_; }

  void Write(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads from the master until `count` bytes have come or nothing more comes.
  std::string Read(std::size_t count) {
    std::string got;
    while (got.size() < count) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, kEventDeadlineMs) <= 0 || (pfd.revents & POLLIN) == 0) break;
      char buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }
  // Closing the master hangs up the line, as pulling a USB adapter does.
  // The slave end held by the test is closed too, so that only the adapter
  // holds the line.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString path_;
};

// Runs the event loop until `done` holds or the deadline passes.
bool RunUntil(const std::function<bool()>& done) { return RunEventsUntil(done, kEventDeadlineMs, 5); }

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class SerialAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    const OpenResult r = adapter.Open(pty.path());
    ASSERT_TRUE(r.ok()) << r.errorText.toStdString();
    QObject::connect(&adapter, &SerialAdapter::portLost, [this](const QString& text) { lost.push_back(text); });
  }

  Pty pty;
  SerialAdapter adapter;
  std::vector<QString> lost;
};

TEST_F(SerialAdapterTest, OpensWith9600EightNoneOneWithoutFlowControl) {
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & PARENB, 0u);
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);

  const QSerialPort& port = adapter.line().port();
  EXPECT_EQ(port.readBufferSize(), 8000);
  // A pseudo-terminal has no modem lines: switching DTR and RTS off leaves no
  // error behind and the line is usable.
  EXPECT_EQ(port.error(), QSerialPort::NoError);
  EXPECT_TRUE(adapter.IsOpen());
  EXPECT_TRUE(adapter.comPort().matchers().PortOpen());

  adapter.Close();
  EXPECT_FALSE(adapter.IsOpen());
  EXPECT_FALSE(adapter.comPort().matchers().PortOpen());
  adapter.Close();  // closing a closed port does nothing
  EXPECT_TRUE(lost.empty());
}

TEST_F(SerialAdapterTest, SentBytesArriveAtTheOtherEndInOrder) {
  const std::string bytes = std::string("BYE") + std::string("\x00\xff\r\n", 4) + "SAVE\n";
  adapter.comPort().SendText("BYE");
  adapter.comPort().SendText(std::string("\x00\xff\r\n", 4));
  adapter.comPort().SendText("SAVE\n");
  EXPECT_EQ(pty.Read(bytes.size()), bytes);
}

TEST_F(SerialAdapterTest, SendingBeyondTheBufferOrOnAClosedPortIsRefused) {
  EXPECT_THROW(adapter.comPort().SendText(std::string(kSendBufferSize + 1, 'x')), LinkError);
  adapter.Close();
  EXPECT_THROW(adapter.comPort().SendText("BYE"), LinkError);
}

TEST_F(SerialAdapterTest, ArrivingBytesReachAnArmedMatcherThroughTheEventLoop) {
  PacketSettings s;
  s.Name = "GetStatus";
  s.StartString = "STATUS\r\n";
  s.EndCondition.ecString = true;
  s.EndString = "ENDSTATUS\r\n";
  s.IncludeStrings = false;
  s.AutoEnable = false;
  s.TimeOut = 8000;
  ComPort& com = adapter.comPort();
  TApdDataPacket& m = com.matchers().Add(s);
  std::vector<std::string> packets;
  m.OnPacket = [&](TApdDataPacket&, std::string_view data) { packets.emplace_back(data); };
  std::size_t arrived = 0;
  com.OnTriggerAvail = [&](std::size_t count) { arrived += count; };
  m.SetEnabled(true, adapter.clock().NowMs());

  const std::string wire = "noiseSTATUS\r\nIN1=0\r\nT=21\r\nENDSTATUS\r\ntail";
  pty.Write(wire);
  ASSERT_TRUE(RunUntil([&] { return !packets.empty() && arrived == wire.size(); }));
  EXPECT_EQ(packets, std::vector<std::string>{"IN1=0\r\nT=21\r\n"});
  EXPECT_FALSE(m.Enabled());
}

TEST_F(SerialAdapterTest, FlushInputDiscardsWhatHasArrivedButNotWhatFollows) {
  PacketSettings s;
  s.Name = "IDReciev";
  s.StartCondition = StartCond::scAnyData;
  s.EndCondition.ecString = true;
  s.EndString = "\r\n";
  s.AutoEnable = false;
  ComPort& com = adapter.comPort();
  TApdDataPacket& m = com.matchers().Add(s);
  std::vector<std::string> packets;
  m.OnPacket = [&](TApdDataPacket&, std::string_view data) { packets.emplace_back(data); };

  pty.Write("junk\r\n");
  // The bytes are in the line's input queue once the test's own slave end sees them.
  pollfd pfd{pty.slave(), POLLIN, 0};
  ASSERT_EQ(::poll(&pfd, 1, kEventDeadlineMs), 1);
  com.FlushInput();
  m.SetEnabled(true, adapter.clock().NowMs());
  pty.Write("ID=7\r\n");
  ASSERT_TRUE(RunUntil([&] { return !packets.empty(); }));
  EXPECT_EQ(packets, std::vector<std::string>{"ID=7\r\n"});
}

TEST_F(SerialAdapterTest, TheServiceTimerFiresMatcherTimeOutsWithoutInput) {
  PacketSettings s;
  s.Name = "TimeIn";
  s.StartCondition = StartCond::scAnyData;
  s.EndCondition.ecString = true;
  s.EndString = "\r\n";
  s.TimeOut = 2;
  TApdDataPacket& m = adapter.comPort().matchers().Add(s);
  int timeouts = 0;
  m.OnTimeout = [&](TApdDataPacket&) { ++timeouts; };
  m.SetEnabled(true, adapter.clock().NowMs());
  ASSERT_TRUE(RunUntil([&] { return timeouts > 0; }));
  EXPECT_EQ(timeouts, 1);
  EXPECT_FALSE(m.Enabled());
}

TEST_F(SerialAdapterTest, WaitForTextFindsTheTextAndLeavesWhatFollows) {
  pty.Write("xxLOLOAD_OKrest");
  ComPort& com = adapter.comPort();
  EXPECT_TRUE(com.WaitForText("load_ok", 10, false, true));
  ASSERT_TRUE(RunUntil([&] { return adapter.line().Available() >= 4; }));
  EXPECT_EQ(adapter.line().Read(100), "rest");
}

TEST_F(SerialAdapterTest, WaitForTextSeesTextThatArrivesWhileItWaits) {
  // The write happens from a timer, which runs only because the wait lets the
  // event queue run.
  QObject context;
  QTimer::singleShot(100, &context, [&] { pty.Write("SAVE_OK\r\n"); });
  std::size_t arrived = 0;
  adapter.comPort().OnTriggerAvail = [&](std::size_t count) { arrived += count; };
  EXPECT_TRUE(adapter.comPort().WaitForText("SAVE_OK\r\n", 100, true, true));
  EXPECT_EQ(arrived, 0u);  // no port event during the wait; the bytes were consumed
}

TEST_F(SerialAdapterTest, WaitForTextGivesUpAfterItsTimeOut) {
  pty.Write("TIME_O");
  EXPECT_FALSE(adapter.comPort().WaitForText("TIME_OK\r\n", 10, false, true));
  EXPECT_TRUE(adapter.IsOpen());
  EXPECT_TRUE(lost.empty());
}

TEST_F(SerialAdapterTest, WaitForTextSleepsInsteadOfSpinning) {
  // About one second of waiting, with and without running the event queue,
  // must cost far less than one second of processor time.
  for (const bool processEvents : {false, true}) {
    const double before = CpuSeconds();
    EXPECT_FALSE(adapter.comPort().WaitForText("never", 18, processEvents, true));
    EXPECT_LT(CpuSeconds() - before, 0.3) << "processEvents " << processEvents;
  }
}

// Runs `step` as a queued call in the pass of the event loop in which the
// port's read notification is due: the bytes written now are in the line's
// input queue before the pass begins, so the loop finds the descriptor readable
// and the queued call pending at once, and runs the queued call first.
void RunBeforeTheReadNotification(Pty& pty, const std::string& bytes, const std::function<void()>& step) {
  pty.Write(bytes);
  pollfd pfd{pty.slave(), POLLIN, 0};
  ASSERT_EQ(::poll(&pfd, 1, kEventDeadlineMs), 1);
  bool ran = false;
  QObject context;
  QMetaObject::invokeMethod(
      &context,
      [&] {
        step();
        ran = true;
      },
      Qt::QueuedConnection);
  ASSERT_TRUE(RunUntil([&] { return ran; }));
}

// Arms a matcher for one line ended by CR LF and keeps what it receives.
struct LineCatcher {
  explicit LineCatcher(SerialAdapter& adapter) {
    PacketSettings s;
    s.Name = "IDReciev";
    s.StartCondition = StartCond::scAnyData;
    s.EndCondition.ecString = true;
    s.EndString = "\r\n";
    s.AutoEnable = false;
    TApdDataPacket& m = adapter.comPort().matchers().Add(s);
    m.OnPacket = [this](TApdDataPacket&, std::string_view data) { packets.emplace_back(data); };
    m.SetEnabled(true, adapter.clock().NowMs());
  }
  std::vector<std::string> packets;
};

TEST(SerialAdapterReadNotification, FindingTheBytesTakenAlreadyIsNoHangUp) {
  // The last answer of a write arrives during a pause; the next step's own
  // text wait takes it, and then the port's read notification, already due,
  // reads nothing. QSerialPort reports that with whatever error number the
  // thread saw last: a refused request (ReadError) or another descriptor's
  // empty read (ResourceError).
  const struct {
    int staleErrno;
    QSerialPort::SerialPortError reported;
  } cases[] = {{ENOTTY, QSerialPort::ReadError}, {EAGAIN, QSerialPort::ResourceError}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.staleErrno);
    Pty pty;
    ASSERT_TRUE(pty.ok());
    std::vector<QString> lost;
    std::vector<QSerialPort::SerialPortError> errors;
    SerialAdapter adapter;
    ASSERT_TRUE(adapter.Open(pty.path()).ok());
    QObject::connect(&adapter, &SerialAdapter::portLost, [&](const QString& text) { lost.push_back(text); });
    QObject::connect(&adapter.line().port(), &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError error) {
      if (error != QSerialPort::NoError) errors.push_back(error);
    });

    bool found = false;
    RunBeforeTheReadNotification(pty, "SAVE_OK\r\n", [&] {
      found = adapter.comPort().WaitForText("SAVE_OK\r\n", 100, false, true);
      errno = c.staleErrno;
    });
    EXPECT_TRUE(found);
    // The read notification has run and reported its empty read.
    EXPECT_EQ(errors, std::vector<QSerialPort::SerialPortError>{c.reported});

    EXPECT_TRUE(adapter.IsOpen());
    EXPECT_TRUE(lost.empty());
    EXPECT_EQ(adapter.line().port().error(), QSerialPort::NoError);

    // Reception through the event loop goes on.
    LineCatcher catcher(adapter);
    pty.Write("ID=7\r\n");
    ASSERT_TRUE(RunUntil([&] { return !catcher.packets.empty() || !lost.empty(); }));
    EXPECT_EQ(catcher.packets, std::vector<std::string>{"ID=7\r\n"});
    EXPECT_TRUE(lost.empty());
  }
}

TEST(SerialAdapterReadNotification, AnEmptyReadAfterTheDeviceVanishedLosesThePort) {
  // The port is opened through a link that goes away with the device, as the
  // links under /dev/serial do when an adapter is pulled.
  Pty pty;
  ASSERT_TRUE(pty.ok());
  char dir[] = "/tmp/vemtaro-port-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/ttyGSM";
  ASSERT_EQ(::symlink(pty.path().toLocal8Bit().constData(), link.c_str()), 0);
  std::vector<QString> lost;
  SerialAdapter adapter;
  const OpenResult opened = adapter.Open(QString::fromStdString(link));
  ::unlink(link.c_str());
  ::rmdir(dir);
  ASSERT_TRUE(opened.ok()) << opened.errorText.toStdString();
  QObject::connect(&adapter, &SerialAdapter::portLost, [&](const QString& text) { lost.push_back(text); });

  RunBeforeTheReadNotification(pty, "SAVE_OK\r\n", [&] {
    EXPECT_TRUE(adapter.comPort().WaitForText("SAVE_OK\r\n", 100, false, true));
    errno = ENOTTY;
  });
  EXPECT_FALSE(adapter.IsOpen());
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].toStdString(), qt_error_string(ENODEV).toStdString());
}

TEST_F(SerialAdapterTest, AHungUpLineThatReadsNothingIsNoticedByTheEventLoop) {
  // A hung-up terminal (as a USB adapter's is when it is pulled) reads
  // end-of-file rather than failing, so QSerialPort's report carries a stale
  // error number; the line itself shows the hang-up.
  std::vector<QSerialPort::SerialPortError> errors;
  QObject context;  // ends the recording with the test's body
  QObject::connect(&adapter.line().port(), &QSerialPort::errorOccurred, &context,
                   [&](QSerialPort::SerialPortError error) {
                     if (error != QSerialPort::NoError) errors.push_back(error);
                   });
  if (::ioctl(pty.slave(), TIOCVHANGUP) != 0) GTEST_SKIP() << "hanging up a terminal needs CAP_SYS_ADMIN";
  ASSERT_TRUE(RunUntil([&] { return !lost.empty(); }));
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].toStdString(), qt_error_string(EIO).toStdString());
  ASSERT_FALSE(errors.empty());
  EXPECT_TRUE(errors[0] == QSerialPort::ReadError || errors[0] == QSerialPort::ResourceError) << errors[0];
  EXPECT_FALSE(adapter.IsOpen());
  EXPECT_FALSE(adapter.comPort().matchers().PortOpen());
}

TEST_F(SerialAdapterTest, ALostLineEndsAPendingWaitAndClosesThePort) {
  struct Case {
    const char* name;
    bool processEvents;
    bool closeBeforeWait;
  };
  const std::vector<Case> cases = {
      {"hung up while waiting, events running", true, false},
      {"hung up before the wait, no events", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pty line;
    QObject context;  // cancels the timer below if the case ends early
    ASSERT_TRUE(line.ok());
    lost.clear();
    ASSERT_TRUE(adapter.Open(line.path()).ok());
    if (c.closeBeforeWait) {
      line.CloseMaster();
    } else {
      QTimer::singleShot(50, &context, [&] { line.CloseMaster(); });
    }
    const int ticks = 200;
    const Millis start = adapter.clock().NowMs();
    EXPECT_FALSE(adapter.comPort().WaitForText("never", ticks, c.processEvents, true));
    EXPECT_LT(adapter.clock().NowMs() - start, ticks * kTickMs);  // ended by the loss, not the time-out
    EXPECT_FALSE(adapter.IsOpen());
    EXPECT_FALSE(adapter.comPort().matchers().PortOpen());
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_FALSE(lost[0].isEmpty());
    // A wait on the lost port ends at once.
    EXPECT_FALSE(adapter.comPort().WaitForText("never", 2000, false, true));
  }
}

TEST_F(SerialAdapterTest, ALostLineIsNoticedByTheEventLoop) {
  pty.CloseMaster();
  ASSERT_TRUE(RunUntil([&] { return !lost.empty(); }));
  EXPECT_EQ(lost.size(), 1u);
  EXPECT_FALSE(adapter.IsOpen());
  EXPECT_FALSE(adapter.comPort().matchers().PortOpen());
  EXPECT_THROW(adapter.comPort().SendText("BYE"), LinkError);
}

TEST(SerialLineModemLines, AreClearedFirstAfterOpeningAndLastBeforeClosing) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  // What the port and the adapter show each time the modem lines are cleared.
  std::vector<std::string> clears;
  {
    SerialAdapter adapter;
    adapter.line().clearModemLines = [&](QSerialPort& port) {
      std::string seen = port.isOpen() ? "port open" : "port closed";
      seen += adapter.IsOpen() ? ", adapter open" : ", adapter closed";
      seen += adapter.comPort().matchers().PortOpen() ? ", matchers open" : ", matchers closed";
      clears.push_back(seen);
      ClearModemLines(port);
    };
    // Right after the port opens, before the adapter has taken the line into
    // use; on closing, while the port is still open.
    ASSERT_TRUE(adapter.Open(pty.path()).ok());
    EXPECT_EQ(clears, std::vector<std::string>{"port open, adapter closed, matchers closed"});
    clears.clear();
    adapter.Close();
    EXPECT_EQ(clears, std::vector<std::string>{"port open, adapter open, matchers open"});
    EXPECT_FALSE(adapter.line().port().isOpen());

    // Opening an open port closes it first; a lost port and one left open at
    // the end are closed the same way.
    clears.clear();
    ASSERT_TRUE(adapter.Open(pty.path()).ok());
    ASSERT_TRUE(adapter.Open(pty.path()).ok());
    EXPECT_EQ(clears, (std::vector<std::string>{"port open, adapter closed, matchers closed",
                                                "port open, adapter open, matchers open",
                                                "port open, adapter closed, matchers closed"}));
    clears.clear();
    pty.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return !adapter.IsOpen(); }));
    EXPECT_EQ(clears, std::vector<std::string>{"port open, adapter open, matchers open"});

    Pty other;
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(adapter.Open(other.path()).ok());
    clears.clear();
  }
  EXPECT_EQ(clears, std::vector<std::string>{"port open, adapter open, matchers open"});
}

TEST(SerialLineModemLines, APortWithoutModemLinesLeavesNoErrorBehind) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  QSerialPort port;
  ClearModemLines(port);  // a closed port: nothing to do, nothing reported
  EXPECT_EQ(port.error(), QSerialPort::NoError);
  port.setPortName(pty.path());
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  errno = 0;
  ClearModemLines(port);
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(port.error(), QSerialPort::NoError);
  EXPECT_TRUE(port.isOpen());
}

TEST(SerialAdapterOpen, TellsAMissingPortFromABusyOne) {
  SerialAdapter adapter;
  const OpenResult missing = adapter.Open("/dev/vemtaro-no-such-port");
  EXPECT_EQ(missing.status, OpenStatus::Missing);
  EXPECT_FALSE(missing.errorText.isEmpty());
  EXPECT_FALSE(adapter.IsOpen());
  EXPECT_FALSE(adapter.comPort().WaitForText("x", 2000, false, true));

  Pty pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(adapter.Open(pty.path()).ok());
  SerialAdapter other;
  const OpenResult busy = other.Open(pty.path());
  EXPECT_EQ(busy.status, OpenStatus::Busy);
  EXPECT_FALSE(busy.errorText.isEmpty());
  EXPECT_FALSE(other.IsOpen());
  EXPECT_TRUE(adapter.IsOpen());
}

// A port whose permissions refuse this user is told apart from one another
// program holds: both come from QSerialPort as PermissionError. The refused
// user is played by a child process that gives up root for "nobody" before it
// opens a pseudo-terminal that only root may use.
TEST(SerialAdapterOpen, TellsAPortThisUserMayNotOpenFromABusyOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to open the port as another user";
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const QByteArray path = QFile::encodeName(pty.path());
  ASSERT_EQ(::chown(path.constData(), 0, 0), 0);
  ASSERT_EQ(::chmod(path.constData(), 0600), 0);
  EXPECT_EQ(ClassifyPermissionError(pty.path()), OpenStatus::Busy) << "root may open it";
  const QString shortName = pty.path().mid(QStringLiteral("/dev/").size());
  // The child's exit code: 0 when each check held, else the number of the one
  // that failed.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      ::_exit(10);
    }
    if (ClassifyPermissionError(pty.path()) != OpenStatus::Denied) ::_exit(11);
    if (ClassifyPermissionError(shortName) != OpenStatus::Denied) ::_exit(12);
    QtSerialLine line;
    const OpenResult opened = line.Open(pty.path());
    if (opened.status != OpenStatus::Denied) ::_exit(20 + static_cast<int>(opened.status));
    if (line.IsOpen()) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the checks of the child";
  // Held by another program: busy, whatever the permissions say.
  SerialAdapter holder;
  ASSERT_TRUE(holder.Open(pty.path()).ok());
  SerialAdapter other;
  EXPECT_EQ(other.Open(pty.path()).status, OpenStatus::Busy);
}

TEST(SerialAdapterOpen, ClassifiesQtOpenErrors) {
  const struct {
    QSerialPort::SerialPortError error;
    OpenStatus status;
  } cases[] = {
      {QSerialPort::PermissionError, OpenStatus::Busy}, {QSerialPort::DeviceNotFoundError, OpenStatus::Missing},
      {QSerialPort::OpenError, OpenStatus::Missing},    {QSerialPort::UnsupportedOperationError, OpenStatus::Refused},
      {QSerialPort::UnknownError, OpenStatus::Refused},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyOpenError(c.error), c.status) << c.error;
}

// The port menu's list: the ports the system reports now, in the order of the
// plain list, each with the description of its device.
TEST(PortList, EntriesAreThePortsWithTheirDescriptions) {
  const QStringList names = AvailablePorts();
  const QList<PortEntry> entries = AvailablePortEntries();
  ASSERT_EQ(entries.size(), names.size());
  for (qsizetype i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, names[i]);
    EXPECT_EQ(entries[i].description, entries[i].description.trimmed());
  }
}

}  // namespace
}  // namespace vemtaro::port
