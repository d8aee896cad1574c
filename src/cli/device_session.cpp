#include "device_session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#endif

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

// The first of the signals that stop a session; 0 while none came.
volatile std::sig_atomic_t caughtSignal = 0;

#ifndef _WIN32
// The handler writes a byte here, so that the event loop wakes at once.
int wakePipe[2] = {-1, -1};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
#endif
constexpr std::size_t kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// Does only what is safe in a signal handler: a flag and a write.
extern "C" void OnStopSignal(int signal) {
  if (caughtSignal == 0) caughtSignal = signal;
#ifndef _WIN32
  const int saved = errno;
  if (wakePipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
  }
  errno = saved;
#endif
}

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

// SIGINT (Ctrl-C), SIGTERM and SIGHUP end a session as Ctrl-C does: the handler
// notes the signal and wakes the event loop through a pipe; the session's
// waits see the note and stop the transfer at a byte boundary. The signals'
// earlier dispositions come back when the session ends.
class StopSignals {
 public:
  StopSignals() {
    caughtSignal = 0;
#ifndef _WIN32
    if (::pipe(wakePipe) == 0) {
      for (const int fd : wakePipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      }
      notifier_ = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
      QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [] {
        char bytes[64];
        while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
        }
      });
    } else {
      wakePipe[0] = wakePipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignalCount; ++i) ::sigaction(kStopSignals[i], &action, &previous_[i]);
#else
    for (std::size_t i = 0; i < kStopSignalCount; ++i) previous_[i] = std::signal(kStopSignals[i], OnStopSignal);
#endif
  }
  ~StopSignals() {
#ifndef _WIN32
    for (std::size_t i = 0; i < kStopSignalCount; ++i) ::sigaction(kStopSignals[i], &previous_[i], nullptr);
    notifier_.reset();
    for (int& fd : wakePipe) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
#else
    for (std::size_t i = 0; i < kStopSignalCount; ++i) {
      std::signal(kStopSignals[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
    }
#endif
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
#ifndef _WIN32
  struct sigaction previous_[kStopSignalCount] {};
  std::unique_ptr<QSocketNotifier> notifier_;
#else
  void (*previous_[kStopSignalCount])(int) = {};
#endif
};

DeviceSession::DeviceSession()
    : model_(dialogs_),
      host_(adapter_),
      link_(model_, adapter_.comPort(), host_),
      signals_(std::make_unique<StopSignals>()) {
  showProgress_ = ErrorIsTerminal();
  // The summary of a read or write names the version; the configuration it
  // takes from the controller is no one's work that a reset would lose.
  link_.tellVersionChange = false;
  model_.Startup();
  QObject::connect(&adapter_, &port::SerialAdapter::portLost, &adapter_, [this](const QString& reason) {
    lost_ = true;
    ClearProgress();
    // The loss first, then what it leaves: a write cut short says that the
    // controller may hold part of it.
    Error(portName_ + ": " + link_texts::kComLost + portName_ +
          (reason.isEmpty() ? std::string() : ": " + Std(reason)));
    link_.PortLost(Std(reason));
  });
}

DeviceSession::~DeviceSession() { End(); }

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

bool DeviceSession::Interrupted() const { return caughtSignal != 0; }

int DeviceSession::StopAfterInterrupt(const std::string& whatIsLeft) {
  ClearProgress();
  // The link decides what the stop leaves, as it does for the desktop
  // program's "Отмена"; the words here are the command line's.
  const StoppedTransfer stopped = link_.StopTransfer();
  std::string text = portName_ + ": interrupted";
  switch (stopped.outcome) {
    case StopOutcome::MayBeIncomplete:
      text += " after " + std::to_string(stopped.sent) + " of " + std::to_string(stopped.total) +
              " bytes; the controller may hold an incomplete configuration: write it again";
      break;
    case StopOutcome::WrittenNotVerified:
      text += "; the configuration was written but not read back and compared";
      break;
    case StopOutcome::NothingSent:
    case StopOutcome::NothingWritten:
    case StopOutcome::ReadDiscarded: text += "; " + whatIsLeft; break;
  }
  Error(text);
  // A second Ctrl-C is no reason to leave the line in the middle of a command.
  if (stopped.outcome == StopOutcome::MayBeIncomplete && !lost_) host_.Pause(kAbandonedWriteMs);
  End();
  return kSignalExitBase + static_cast<int>(caughtSignal);
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
    lastProgressMs_ = -1;
  }
  if (lastProgressMs_ >= 0 && now - lastProgressMs_ < kProgressIntervalMs) return;
  lastProgressMs_ = now;
  const std::size_t total = std::max<std::size_t>(model_.ws.working.size(), 1);
  const std::size_t done = std::min(link_.TransferCount, total);
  std::string line = std::string(PhaseName(phase)) + " " + portName_ + ": " + std::to_string(done * 100 / total) +
                     "%, " + std::to_string(done) + " of " + std::to_string(total) + " bytes";
  // The time left of the whole command (a checked write's copy, write and
  // read-back), as the desktop program's progress window shows it.
  if (const std::optional<Millis> left = link_.MsLeft(); left && done > 0) {
    line += ", " + std::to_string((*left + 999) / 1000) + " s left";
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
