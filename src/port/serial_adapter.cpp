#include "serial_adapter.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "main/main_model.h"
#include "model/dialogs.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace vemtaro::port {

OpenStatus ClassifyOpenError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
      return OpenStatus::Opened;
    case QSerialPort::PermissionError:
      return OpenStatus::Busy;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::OpenError:
      return OpenStatus::Missing;
    default:
      return OpenStatus::Refused;
  }
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
    OpenResult result{status, port_.errorString()};
    port_.close();
    port_.clearError();
    return result;
  }
  // DTR and RTS held inactive. A pseudo-terminal has no modem lines and refuses
  // the request; that does not make the line unusable, so it is not an error.
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(false);
  port_.clearError();
  return OpenResult{OpenStatus::Opened, {}};
}

void QtSerialLine::Close() {
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::AllDirections);
  port_.close();
  port_.clearError();
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
  com_.hooks.processEvents = [] { QCoreApplication::processEvents(); };
  // A wait that takes no events still lets the window system repaint the
  // windows; user input waits until the wait is over.
  com_.hooks.keepPainted = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
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
      Lose(line_.port().errorString());
      break;
    case QSerialPort::ReadError:
      // A read that returns nothing although the line signalled input: the
      // line has been hung up (a closed pseudo-terminal reads end-of-file).
      // QSerialPort keeps listening and would report it again at once, and
      // its error text is stale then.
      Lose(qt_error_string(EIO));
      break;
    case QSerialPort::TimeoutError:
      // Reported by an idle wait that saw no input: not a fault.
      line_.port().clearError();
      break;
    default:
      break;
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
  if ((pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && line_.Available() == 0) {
    Lose(qt_error_string(EIO));
    return;
  }
#else
  port.waitForReadyRead(kIdleWaitMs);
#endif
  if (port.isOpen() && port.error() == QSerialPort::TimeoutError) port.clearError();
}

}  // namespace vemtaro::port
