#include "serial_adapter.h"

#include "port/link_host.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "model/dialogs.h"
#include "window/main_model.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vemtaro::port {

namespace {

#ifdef Q_OS_UNIX
// The system's text for a line that poll() shows hung up or failed, or an
// empty text for a line that is there.
QString HangUpText(short revents) {
  if ((revents & POLLNVAL) != 0) return qt_error_string(EBADF);
  if ((revents & (POLLHUP | POLLERR)) != 0) return qt_error_string(EIO);
  return {};
}

// The path of the device node behind a port name, as QSerialPort opens it.
QString DevicePath(const QString& portName) {
  return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}
#endif

}  // namespace

// DTR and RTS must not become active while the program holds the port.
// QSerialPort cannot set them before open() (on a closed port it refuses the
// request with NotOpenError), so the earliest point is right after open()
// returns: the line clears both there before it does anything else, and again
// just before it closes. What the platform still does on its own:
// - Linux: opening a tty whose stored speed is not B0 raises DTR and RTS in the
//   kernel, on every open; changing the speed away from B0 (as QSerialPort::open
//   does when it finds the port at B0) raises them too. Both lines are
//   therefore active from the open() system call until the first clear here.
//   Whatever set them since, the clear just before closing leaves them
//   inactive; QSerialPort then puts back the termios it found at open, which
//   does not raise them (only leaving B0 does), and with HUPCL set the kernel
//   lowers both on the last close anyway.
// - Windows: drivers commonly raise DTR when the port is opened (CreateFile),
//   so it is active until the clear here; on close QSerialPort restores the
//   DCB it saved at open, whose DTR and RTS settings then apply again.
// - A pseudo-terminal has no modem lines: the request fails (ENOTTY or
//   EINVAL), and there is nothing to hold.
void ClearModemLines(QSerialPort& port) {
  if (!port.isOpen()) return;
#ifdef Q_OS_UNIX
  // One request for both lines, so that they fall together; the system's error
  // number is kept, as a port without modem lines is no fault.
  const int saved = errno;
  const int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(static_cast<int>(port.handle()), TIOCMBIC, &lines);
  errno = saved;
#else
  port.setDataTerminalReady(false);
  port.setRequestToSend(false);
  port.clearError();
#endif
}

OpenStatus ClassifyOpenError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError: return OpenStatus::Opened;
    case QSerialPort::PermissionError: return OpenStatus::Busy;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::OpenError: return OpenStatus::Missing;
    default: return OpenStatus::Refused;
  }
}

OpenStatus ClassifyPermissionError(const QString& name) {
#ifdef Q_OS_UNIX
  // The device's path as QSerialPort forms it from the name.
  const bool path = name.startsWith('/') || name.startsWith("./") || name.startsWith("../");
  const QByteArray device = QFile::encodeName(path ? name : QStringLiteral("/dev/") + name);
  const int saved = errno;
  const bool refused = ::access(device.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
  errno = saved;
  if (refused) return OpenStatus::Denied;
#else
  (void)name;
#endif
  return OpenStatus::Busy;
}

OpenResult QtSerialLine::Open(const QString& name) {
  Close();
  port_.setPortName(name);
  port_.setBaudRate(kBaudRate);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.setReadBufferSize(static_cast<qint64>(kReceiveQueueSize));
  port_.clearError();
  if (!port_.open(QIODevice::ReadWrite)) {
    OpenStatus status = ClassifyOpenError(port_.error());
    if (status == OpenStatus::Opened) status = OpenStatus::Refused;
    if (port_.error() == QSerialPort::PermissionError) status = ClassifyPermissionError(name);
    OpenResult result{status, port_.errorString()};
    port_.close();
    port_.clearError();
    return result;
  }
  clearModemLines(port_);
  port_.clearError();
  return OpenResult{OpenStatus::Opened, {}};
}

void QtSerialLine::Close() {
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::AllDirections);
  // A failing clear on a hung-up line is reported as an error, and the adapter
  // may close the port in answer to it.
  if (!port_.isOpen()) return;
  clearModemLines(port_);
  port_.close();
  port_.clearError();
}

QString QtSerialLine::LossReason() const {
#ifdef Q_OS_UNIX
  if (!port_.isOpen()) return qt_error_string(EBADF);
  pollfd pfd{};
  pfd.fd = static_cast<int>(port_.handle());
  pfd.events = POLLIN;
  int ready = 0;
  do {
    ready = ::poll(&pfd, 1, 0);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return qt_error_string(errno);
  if (const QString text = HangUpText(pfd.revents); !text.isEmpty()) return text;
  if (!QFileInfo::exists(DevicePath(port_.portName()))) return qt_error_string(ENODEV);
  return {};
#else
  // Elsewhere QSerialPort reports a read error only when the system's read
  // failed, with the system's own text.
  return port_.isOpen() ? port_.errorString() : QString();
#endif
}

void QtSerialLine::ResumeReading() {
  port_.clearError();
  // A ResourceError also stops QSerialPort's read notification; setting the
  // read buffer size (to the same value) starts it again.
  port_.setReadBufferSize(port_.readBufferSize());
}

void QtSerialLine::Send(std::string_view bytes) {
  if (!port_.isOpen()) throw LinkError("The port is not open");
  const auto queued = static_cast<std::size_t>(std::max<qint64>(0, port_.bytesToWrite()));
  if (bytes.size() > kSendBufferSize - std::min(kSendBufferSize, queued)) throw LinkError("The send buffer is full");
  if (bytes.empty()) return;
  const auto size = static_cast<qint64>(bytes.size());
  if (port_.write(bytes.data(), size) != size) throw LinkError(port_.errorString().toStdString());
  // Hands the bytes to the system at once; what the system cannot take yet goes
  // out from the event loop or while a wait blocks.
  port_.flush();
}

std::size_t QtSerialLine::Available() const {
  return port_.isOpen() ? static_cast<std::size_t>(std::max<qint64>(0, port_.bytesAvailable())) : 0;
}

std::string QtSerialLine::Read(std::size_t max) {
  const std::size_t n = std::min(max, Available());
  if (n == 0) return {};
  const QByteArray bytes = port_.read(static_cast<qint64>(n));
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtSerialLine::FlushInput() {
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void QtSerialLine::FlushOutput() {
  if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

SerialAdapter::SerialAdapter(QObject* parent) : QObject(parent), com_(lineSwitch_, clock_) {
  service_.setInterval(kServiceIntervalMs);
  service_.setTimerType(Qt::PreciseTimer);
  connect(&service_, &QTimer::timeout, this, [this] { com_.Service(); });
  // The simulated line is pumped by a timer of its own, so that it goes on
  // while a handler of the service timer pauses in a nested event loop.
  simPump_.setInterval(kSimulatorServiceMs);
  simPump_.setTimerType(Qt::PreciseTimer);
  connect(&simPump_, &QTimer::timeout, this, [this] {
    if (!SimulatorOpen()) return;
    PumpSimulator();
    com_.Service();
  });
  connect(&line_.port(), &QSerialPort::readyRead, this, &SerialAdapter::OnReadyRead);
  connect(&line_.port(), &QSerialPort::errorOccurred, this, &SerialAdapter::OnError);
  com_.hooks.processEvents = [] {
    const LinkWaitScope waiting;
    QCoreApplication::processEvents();
  };
  // A wait that takes no events still lets the window system repaint the
  // windows; user input waits until the wait is over.
  com_.hooks.keepPainted = [] {
    const LinkWaitScope waiting;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
}

SerialAdapter::~SerialAdapter() {
  line_.port().disconnect(this);
  service_.stop();
  line_.Close();
}

OpenResult SerialAdapter::Open(const QString& name) {
  Close();
  OpenResult result = line_.Open(name);
  if (!result.ok()) return result;
  lineSwitch_.Plug(&line_);
  // The idle hook is present only while the port is open: a wait on a closed
  // (or lost) port ends at once with false.
  com_.hooks.idle = [this] { Idle(); };
  com_.SetOpen(true);
  service_.start();
  return result;
}

OpenResult SerialAdapter::OpenSimulator() {
  Close();
  if (!sim_) {
    sim::ControllerOptions options;
    options.version = 15;
    options.paced = true;
    // The controller holds the configuration of a fresh start of version 15.
    SilentDialogs silent;
    MainModel defaults(silent);
    defaults.Startup();
    options.image = defaults.ws.working.bytes();
    sim_ = std::make_unique<sim::LinkedController>(options);
  }
  sim_->line().host().SetOpen(true);
  // Power comes on with the line: the controller starts probing afresh.
  sim_->controller().Restart(clock_.NowMs());
  lineSwitch_.Plug(&sim_->host());
  com_.hooks.idle = [this] { SimulatorIdle(); };
  com_.SetOpen(true);
  // The simulated line has no descriptor to wake the event loop: it is
  // pumped and serviced on a short period instead.
  service_.start();
  simPump_.start();
  return OpenResult{OpenStatus::Opened, {}};
}

void SerialAdapter::Close() {
  service_.stop();
  simPump_.stop();
  com_.hooks.idle = nullptr;
  if (!lineSwitch_.IsOpen()) {
    lineSwitch_.Plug(nullptr);
    return;
  }
  if (SimulatorOpen()) {
    sim_->line().host().SetOpen(false);
  } else {
    line_.Close();
  }
  lineSwitch_.Plug(nullptr);
  com_.SetOpen(false);
}

void SerialAdapter::PumpSimulator() { sim_->Pump(clock_.NowMs()); }

void SerialAdapter::SimulatorIdle() {
  if (!SimulatorOpen()) return;
  PumpSimulator();
  if (lineSwitch_.Available() > 0) return;
  // Sleeps until the controller's next byte is due, at most kIdleWaitMs.
  Millis wait = kIdleWaitMs;
  if (const auto next = sim_->NextEventMs()) wait = std::clamp<Millis>(*next - clock_.NowMs(), 0, kIdleWaitMs);
  if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
  PumpSimulator();
}

void SerialAdapter::OnReadyRead() {
  if (lineSwitch_.Plugged() == &line_) com_.Service();
}

void SerialAdapter::OnError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError: {
      if (losing_ || lineSwitch_.Plugged() != &line_ || !line_.IsOpen()) break;
      // QSerialPort takes a read that brings nothing for a fault and reports it
      // with whatever error number the thread last saw: ReadError, or
      // ResourceError when that number is one such as EAGAIN.
      // A hung-up line reads nothing, but so does a line whose bytes were
      // taken, in the same pass of the event loop, by a text wait that ran
      // before the port's read notification. Only the line itself tells the
      // two apart.
      const QString reason = line_.LossReason();
      if (reason.isEmpty()) {
        line_.ResumeReading();
      } else {
        Lose(reason);
      }
      break;
    }
    case QSerialPort::TimeoutError:
      // Reported by an idle wait that saw no input: not a fault.
      line_.port().clearError();
      break;
    default: break;
  }
}

void SerialAdapter::Lose(const QString& errorText) {
  if (losing_ || !line_.IsOpen() || lineSwitch_.Plugged() != &line_) return;
  losing_ = true;
  // May run inside the idle hook, which Close() removes; nothing touches the
  // hook's closure after this returns.
  Close();
  losing_ = false;
  emit portLost(errorText);
}

void SerialAdapter::Idle() {
  QSerialPort& port = line_.port();
  if (!port.isOpen()) return;
#ifdef Q_OS_UNIX
  // Polls the descriptor itself and lets QSerialPort read only what is there.
  // A hung-up line reports POLLHUP (with or without POLLIN): the read then
  // fails and OnError closes the port, or, with nothing to read, the port is
  // closed here. QSerialPort's own wait would return at once, over and over,
  // on such a line.
  pollfd pfd{};
  pfd.fd = static_cast<int>(port.handle());
  pfd.events = POLLIN;
  if (port.bytesToWrite() > 0) pfd.events |= POLLOUT;
  if (::poll(&pfd, 1, kIdleWaitMs) <= 0) return;  // nothing arrived, or a signal
  if ((pfd.revents & POLLOUT) != 0) port.flush();
  if ((pfd.revents & POLLIN) != 0) port.waitForReadyRead(0);
  if (!port.isOpen()) return;  // lost while reading
  if (const QString text = HangUpText(pfd.revents); !text.isEmpty() && line_.Available() == 0) {
    Lose(text);
    return;
  }
#else
  port.waitForReadyRead(kIdleWaitMs);
#endif
  if (port.isOpen() && port.error() == QSerialPort::TimeoutError) port.clearError();
}

}  // namespace vemtaro::port
