#include "device_session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include "cli_common.h"

namespace vemtaro::cli {
namespace {

// How often a wait looks at the outcome it waits for. The event loop sleeps in
// between; port events and the link's steps run meanwhile.
constexpr int kCheckIntervalMs = 10;

}  // namespace

DeviceSession::DeviceSession() : model_(dialogs_), host_(adapter_), link_(model_, adapter_.comPort(), host_) {
  model_.Startup();
  QObject::connect(&adapter_, &port::SerialAdapter::portLost, &adapter_, [this](const QString& reason) {
    lost_ = true;
    link_.PortLost(Std(reason));
    Error(LineBreaks(link_.comStatus) + (reason.isEmpty() ? std::string() : ": " + Std(reason)));
  });
}

DeviceSession::~DeviceSession() { End(); }

bool DeviceSession::Connect(const std::string& portName, int timeoutS) {
  portName_ = portName;
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
  if (lost_) return false;
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
  if (lost_) return false;
  port::RunEventsUntil([&] { return done() || lost_; }, timeoutMs, kCheckIntervalMs);
  return done();
}

void DeviceSession::End() {
  if (ended_) return;
  ended_ = true;
  link_.EndConnection();
  host_.ClosePort();
}

void DeviceSession::ReportNoAnswer(const std::string& what, int seconds) const {
  Error(portName_ + ": Контроллер не ответил (no " + what + " within " + std::to_string(seconds) + " s)");
}

}  // namespace vemtaro::cli
