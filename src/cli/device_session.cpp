#include "device_session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include "cli_common.h"
#include "output.h"

namespace vemtaro::cli {
namespace {

// How often a wait looks at the outcome it waits for. The event loop sleeps in
// between; port events and the link's steps run meanwhile.
constexpr int kCheckIntervalMs = 10;
// How often the progress line is written.
constexpr qint64 kProgressIntervalMs = 250;
// Width of the progress line, padded so that a shorter line covers a longer.
constexpr std::size_t kProgressWidth = 72;

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

QElapsedTimer& SessionClock() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return clock;
}

const char* PhaseName(ControllerLink::TransferPhase phase) {
  switch (phase) {
    case ControllerLink::TransferPhase::Read: return "reading";
    case ControllerLink::TransferPhase::Backup: return "reading the backup copy";
    case ControllerLink::TransferPhase::Write: return "writing";
    case ControllerLink::TransferPhase::Verify: return "reading back";
    case ControllerLink::TransferPhase::None: break;
  }
  return "";
}

}  // namespace

DeviceSession::DeviceSession() : model_(dialogs_), host_(adapter_), link_(model_, adapter_.comPort(), host_) {
  interrupted = 0;
  previousSigint_ = std::signal(SIGINT, OnInterrupt);
  showProgress_ = ErrorIsTerminal();
  model_.Startup();
  QObject::connect(&adapter_, &port::SerialAdapter::portLost, &adapter_, [this](const QString& reason) {
    lost_ = true;
    link_.PortLost(Std(reason));
    ClearProgress();
    Error(portName_ + ": " + LineBreaks(link_.comStatus) + (reason.isEmpty() ? std::string() : ": " + Std(reason)));
  });
}

DeviceSession::~DeviceSession() {
  End();
  std::signal(SIGINT, previousSigint_ == SIG_ERR ? SIG_DFL : previousSigint_);
}

bool DeviceSession::Connect(const std::string& portName, int timeoutS) {
  // A name without a folder is one of the system's ports ("ttyUSB0" is
  // /dev/ttyUSB0): the messages name the path that is tried.
  portName_ = portName;
#ifndef _WIN32
  if (portName.find('/') == std::string::npos) portName_ = "/dev/" + portName;
#endif
  dialogs_.SetSubject(portName_);
  const int errorsBefore = dialogs_.ErrorCount();
  // The port menu item of the port, with "Прямое" chosen in the dialog. A port
  // that cannot be opened has been reported by the link.
  link_.PopupMenuItemsClick(portName);
  if (!adapter_.IsOpen()) return false;
  // The handshake ends with a version reply; an unreadable or too old version
  // is reported as an error box, after which the program would go on searching.
  WaitFor(
      [&] { return link_.Connected() || link_.ReportedVersion().has_value() || dialogs_.ErrorCount() != errorsBefore; },
      static_cast<qint64>(timeoutS) * 1000);
  if (lost_ || Interrupted()) return false;
  if (link_.Connected()) return true;
  if (dialogs_.ErrorCount() != errorsBefore) return false;
  if (const auto version = link_.ReportedVersion()) {
    Error(portName_ + ": the controller reports firmware version " + std::to_string(*version) + " (\"" +
          link_.VersionText() + "\"), which this program does not support (10 to 15)");
    return false;
  }
  ReportNoAnswer("connection", timeoutS);
  return false;
}

bool DeviceSession::WaitFor(const std::function<bool()>& done, qint64 timeoutMs) {
  if (done()) return true;
  if (lost_ || Interrupted()) return false;
  port::RunEventsUntil(
      [&] {
        ShowProgress();
        return done() || lost_ || Interrupted();
      },
      timeoutMs, kCheckIntervalMs);
  ClearProgress();
  return done();
}

bool DeviceSession::Interrupted() const { return interrupted != 0; }

int DeviceSession::StopAfterInterrupt(const std::string& whatIsLeft) {
  ClearProgress();
  const auto phase = link_.Phase();
  const bool writing = phase == ControllerLink::TransferPhase::Write;
  // The byte whose offset the count holds has gone out too.
  const std::size_t sent = std::min(link_.TransferCount + 1, model_.ws.working.size());
  const std::size_t total = model_.ws.working.size();
  link_.StopTransfer();
  std::string text = portName_ + ": interrupted";
  if (writing) {
    text += " after " + std::to_string(sent) + " of " + std::to_string(total) +
            " bytes; the controller may hold an incomplete configuration: write it again";
  } else if (phase == ControllerLink::TransferPhase::Verify) {
    text += "; the configuration was written but not read back and compared";
  } else {
    text += "; " + whatIsLeft;
  }
  Error(text);
  // A second Ctrl-C is no reason to leave the line in the middle of a command.
  if (writing && !lost_) host_.Pause(kAbandonedWriteMs);
  End();
  return kInterrupted;
}

void DeviceSession::ShowProgress() {
  if (!showProgress_) return;
  const auto phase = link_.Phase();
  const qint64 now = SessionClock().elapsed();
  if (phase == ControllerLink::TransferPhase::None) {
    ClearProgress();
    return;
  }
  if (static_cast<int>(phase) != progressPhase_) {
    progressPhase_ = static_cast<int>(phase);
    phaseStartMs_ = now;
    lastProgressMs_ = -1;
  }
  if (lastProgressMs_ >= 0 && now - lastProgressMs_ < kProgressIntervalMs) return;
  lastProgressMs_ = now;
  const std::size_t total = std::max<std::size_t>(model_.ws.working.size(), 1);
  const std::size_t done = std::min(link_.TransferCount, total);
  std::string line = std::string(PhaseName(phase)) + " " + portName_ + ": " + std::to_string(done * 100 / total) +
                     "%, " + std::to_string(done) + " of " + std::to_string(total) + " bytes";
  const qint64 elapsed = now - phaseStartMs_;
  if (done > 0 && elapsed > 0) {
    const auto left = static_cast<qint64>((total - done) * static_cast<std::size_t>(elapsed) / done / 1000);
    line += ", " + std::to_string(left) + " s left";
  }
  line = TerminalSafe(line, false);
  if (line.size() < kProgressWidth) line.append(kProgressWidth - line.size(), ' ');
  PrintErrRaw("\r" + line);
  progressShown_ = true;
}

void DeviceSession::ClearProgress() {
  if (!progressShown_) return;
  progressShown_ = false;
  progressPhase_ = 0;
  PrintErrRaw("\r" + std::string(kProgressWidth, ' ') + "\r");
}

void DeviceSession::End() {
  if (ended_) return;
  ended_ = true;
  ClearProgress();
  link_.EndConnection();
  host_.ClosePort();
}

void DeviceSession::ReportNoAnswer(const std::string& what, int seconds) const {
  Error(portName_ + ": the controller did not answer (no " + what + " within " + std::to_string(seconds) + " s)");
}

}  // namespace vemtaro::cli
