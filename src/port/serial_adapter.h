// The port object ApdComPort1 on a real serial port: a QSerialPort behind the
// core's SerialLine, a monotonic tick clock, and the core ComPort driven by the
// Qt event loop.
//
// Reception: every readyRead of the port and a 50 ms timer (running only while
// the port is open) call ComPort::Service(), which delivers the data-available
// event, feeds the matchers and notices expired time-outs.
//
// WaitForText: while no byte is waiting the wait blocks in the kernel for at
// most 20 ms at a time until input arrives; it never spins.
//
// The adapter can also open the simulated controller in place of a system
// port: a version 15 controller on an in-memory line, paced as at 9600 bit/s,
// that keeps what is written to it for as long as the adapter lives.
//
// A port that vanishes (USB adapter pulled, pseudo-terminal closed) is closed,
// the matchers are told, a pending WaitForText ends with false and portLost is
// emitted with the system's error text. A read error that QSerialPort reports
// while the line is still there (a read that found the bytes taken already by a
// text wait) is cleared and reception goes on.
//
// DTR and RTS are switched off as soon as the port is open and again just
// before it closes; ClearModemLines tells what the platform still does with
// them.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/com_port.h"
#include "link/serial_line.h"
#include "link/ticks.h"
#include "sim/linked_controller.h"

namespace vemtaro::port {

// How opening a port ended. Busy: the port exists but another program holds
// it. Denied: the port exists but this user may not open it (on Linux, not in
// the group that owns serial ports). Missing: there is no such port. Refused:
// the port was found but could not be set up.
enum class OpenStatus { Opened, Busy, Denied, Missing, Refused };

struct OpenResult {
  OpenStatus status = OpenStatus::Missing;
  QString errorText;  // the system's error text; empty when opened
  bool ok() const { return status == OpenStatus::Opened; }
};

// Tells a busy port from a missing one by the error QSerialPort reported.
OpenStatus ClassifyOpenError(QSerialPort::SerialPortError error);
// QSerialPort reports a port held by another program and one this user may
// not open alike (PermissionError). The device's own permissions tell them
// apart: Denied when they refuse this user reading and writing (EACCES,
// EPERM), else Busy. `name` as given to Open (/dev/ttyUSB0 or ttyUSB0).
OpenStatus ClassifyPermissionError(const QString& name);

// Line settings of the port.
inline constexpr qint32 kBaudRate = 9600;
// Matcher time-outs are noticed at least this often.
inline constexpr int kServiceIntervalMs = 50;
// Service period of the simulated controller's line.
inline constexpr int kSimulatorServiceMs = 5;
// Longest single block of a waiting WaitForText.
inline constexpr int kIdleWaitMs = 20;

// Switches DTR and RTS off on an open port, both at once where the system
// allows. A port without modem lines (a pseudo-terminal) is left as it is and
// no error is left behind. Does nothing on a closed port.
void ClearModemLines(QSerialPort& port);

// The serial line over a QSerialPort: 9600 baud, 8 data bits, no parity, one
// stop bit, no flow control, DTR and RTS off, an 8000-byte receive buffer.
class QtSerialLine : public SerialLine {
 public:
  QtSerialLine() = default;
  ~QtSerialLine() override { Close(); }
  QtSerialLine(const QtSerialLine&) = delete;
  QtSerialLine& operator=(const QtSerialLine&) = delete;

  // Opens the port by its name (/dev/ttyUSB0, /dev/pts/3, COM3) and applies the
  // settings. An open line is closed first. On failure the line stays closed.
  // The first thing done on the opened port is clearModemLines.
  OpenResult Open(const QString& name);
  // Discards what is buffered, clears the modem lines and closes the line.
  void Close();

  // Why the open line is gone, in the system's words, or an empty text while it
  // is still there: the line reports a hang-up or an error, or the device has
  // vanished.
  QString LossReason() const;
  // After a read error on a line that is still there: clears the error and
  // makes sure QSerialPort goes on reading from the event loop.
  void ResumeReading();

  bool IsOpen() const override { return port_.isOpen(); }
  void Send(std::string_view bytes) override;
  std::size_t Available() const override;
  std::string Read(std::size_t max) override;
  void FlushInput() override;
  void FlushOutput() override;

  QSerialPort& port() { return port_; }
  const QSerialPort& port() const { return port_; }

  // Called right after the port opens and just before it closes. Tests replace
  // it to see when it runs.
  std::function<void(QSerialPort&)> clearModemLines = ClearModemLines;

 private:
  QSerialPort port_;
};

// A monotonic millisecond clock counting from its creation.
class ElapsedClock : public Clock {
 public:
  ElapsedClock() { timer_.start(); }
  Millis NowMs() const override { return timer_.elapsed(); }

 private:
  QElapsedTimer timer_;
};

class SerialAdapter : public QObject {
  Q_OBJECT

 public:
  explicit SerialAdapter(QObject* parent = nullptr);
  ~SerialAdapter() override;

  // Opens the port and starts reception; the matchers begin again. On failure
  // the port stays closed.
  OpenResult Open(const QString& name);
  // Opens the simulated controller in place of a port.
  OpenResult OpenSimulator();
  bool SimulatorOpen() const { return sim_ != nullptr && lineSwitch_.Plugged() == &sim_->host(); }
  // The simulated controller (created by the first OpenSimulator()).
  sim::LinkedController* simulator() { return sim_.get(); }
  // Stops reception, discards what is buffered and closes the port. Closing a
  // closed port does nothing.
  void Close();
  bool IsOpen() const { return lineSwitch_.IsOpen(); }
  QString PortName() const { return line_.port().portName(); }

  ComPort& comPort() { return com_; }
  QtSerialLine& line() { return line_; }
  const Clock& clock() const { return clock_; }

 signals:
  // The open port went away; the port is closed by now.
  void portLost(const QString& errorText);

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  // WaitHooks::idle: blocks until input arrives or kIdleWaitMs have passed.
  void Idle();
  void Lose(const QString& errorText);
  // Moves bytes between the line and the simulated controller.
  void PumpSimulator();
  void SimulatorIdle();

  QtSerialLine line_;
  LineSwitch lineSwitch_;
  ElapsedClock clock_;
  ComPort com_;
  std::unique_ptr<sim::LinkedController> sim_;
  QTimer service_;
  QTimer simPump_;
  bool losing_ = false;
};

}  // namespace vemtaro::port
