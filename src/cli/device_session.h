// One connection of vemtaro-cli to the controller: the main window's model and
// its link on a serial port, driven by the Qt event loop as in the desktop
// program. The session opens the port, makes the direct-connection handshake,
// lets a command run its exchange through the link and waits for its outcome
// while the event loop runs, and ends the connection with "BYE".
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli_dialogs.h"
#include "port/link_host.h"
#include "port/serial_adapter.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace vemtaro::cli {

// How long a command waits for the handshake by default, in seconds.
inline constexpr int kDefaultConnectTimeoutS = 30;
// How long the identifier, clock and status commands wait for the controller's
// reply by default, in seconds: as long as the desktop program's matchers wait
// for the identifiers (2000 ticks) and for the clock's reply after
// "TIME_OK" (4000 ticks). The status block has no limit in the desktop program
// until it starts; a command waits a minute for it, so that a script never
// hangs. --reply-timeout sets another wait.
inline constexpr int kIdsReplyTimeoutS = static_cast<int>(link_timing::kIdsTicks * kTickMs / 1000);
inline constexpr int kClockReplyTimeoutS = static_cast<int>(link_timing::kClockTicks * kTickMs / 1000);
inline constexpr int kStatusReplyTimeoutS = 60;
// Upper bound of a read or write: both end by the link's own time-outs long
// before this.
inline constexpr qint64 kTransferBoundMs = 10 * 60 * 1000;
// After a write is stopped half-way, the line stays quiet for the core's
// kAbandonedWriteMs before "BYE", so that the controller has dropped the write
// and takes "BYE" as a command, not as bytes of the configuration.
// The exit code of a command stopped by a signal is 128 + its number: 130
// after Ctrl-C (SIGINT), 143 after SIGTERM, 129 after SIGHUP.
inline constexpr int kSignalExitBase = 128;

class StopSignals;

class DeviceSession {
 public:
  // The main window after its start-up sequence (version 15, defaults).
  DeviceSession();
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Opens the port and makes the handshake as a click on the port's menu item
  // with "Прямое" chosen, then waits up to timeoutS seconds for the controller
  // to report a version that has a profile. Prints why it failed and returns
  // false: the port cannot be opened, the controller did not answer, its
  // version cannot be read or has no profile, or the line went away.
  bool Connect(const std::string& portName, int timeoutS);

  // Runs the event loop until done() holds, the port is lost, the user pressed
  // Ctrl-C or timeoutMs have passed; whether done() holds. While a read or
  // write is under way and standard error is a terminal, one line there shows
  // its progress.
  bool WaitFor(const std::function<bool()>& done, qint64 timeoutMs);

  // Whether the user pressed Ctrl-C, or the program was told to end (SIGTERM:
  // `timeout`, a stopped service; SIGHUP: a closed terminal or SSH session),
  // since the session began. The session takes these signals for its
  // lifetime, so that the connection is ended properly.
  bool Interrupted() const;
  // Stops the transfer under way after such a signal and ends the connection:
  // a write sends nothing more and, after the controller has dropped it,
  // "BYE"; a read takes nothing more. Says what this leaves and returns the
  // exit code 128 + the signal's number.
  int StopAfterInterrupt(const std::string& whatIsLeft);

  // Ending the connection ("BYE", 300 ms, flushes) and closing the port. Also
  // done by the destructor when a command has not done it.
  void End();

  // The port went away during the session.
  bool Lost() const { return lost_; }
  // Prints that the controller did not answer within `seconds` s, naming what.
  void ReportNoAnswer(const std::string& what, int seconds) const;

  MainModel& model() { return model_; }
  ControllerLink& link() { return link_; }
  CliDialogs& dialogs() { return dialogs_; }
  // The port as the messages name it: the system's path where the name given
  // was short for one ("ttyUSB0" is /dev/ttyUSB0).
  const std::string& portName() const { return portName_; }

 private:
  void ShowProgress();
  void ClearProgress();

  CliDialogs dialogs_;
  MainModel model_;
  port::SerialAdapter adapter_;
  port::AdapterLinkHost host_;
  ControllerLink link_;
  std::string portName_;
  bool lost_ = false;
  bool ended_ = false;
  // The progress line: shown on a terminal only; the phase it shows and when
  // the line was last written.
  bool showProgress_ = false;
  bool progressShown_ = false;
  int progressPhase_ = 0;
  qint64 lastProgressMs_ = -1;
  // Takes SIGINT, SIGTERM and SIGHUP while it lives.
  std::unique_ptr<StopSignals> signals_;
};

}  // namespace vemtaro::cli
