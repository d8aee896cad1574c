// The controller link's host on the Qt event loop, shared by the desktop program
// and vemtaro-cli: it opens system ports and the simulated controller through
// the serial adapter, makes the program's pauses and hands the write's steps to
// the event loop.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

#include "port/serial_adapter.h"
#include "window/controller_link.h"

namespace vemtaro::port {

// Pauses up to this long are slept precisely (the 5 ms gaps of a write below
// version 12); longer ones run the event loop without user input, so that the
// windows stay painted while port events wait.
inline constexpr Millis kPreciseSleepMs = 20;

// The port name that stands for the simulated controller.
QString SimulatorPortName();

// Whether the link waits for the controller in an event loop of its own (a
// pause, a text wait that keeps the windows painted): what the event loop
// delivers meanwhile must not start anything of its own.
bool InsideLinkWait();
// Marks such a wait for its lifetime.
class LinkWaitScope {
 public:
  LinkWaitScope();
  ~LinkWaitScope();
  LinkWaitScope(const LinkWaitScope&) = delete;
  LinkWaitScope& operator=(const LinkWaitScope&) = delete;
};

// Runs the event loop until `done` holds (checked every checkMs) or timeoutMs
// have passed; returns whether it holds. The thread sleeps in the event loop
// between checks.
bool RunEventsUntil(const std::function<bool()>& done, qint64 timeoutMs, int checkMs = 10);

class AdapterLinkHost : public QObject, public LinkHost {
  Q_OBJECT

 public:
  explicit AdapterLinkHost(SerialAdapter& adapter, QObject* parent = nullptr);

  PortOpening OpenPort(const std::string& name) override;
  void ClosePort() override;
  void Pause(Millis ms) override;
  void Post(std::function<void()> step) override;
  LocalDateTime LocalTime() override;

  // Open results are kept for the caller that wants the system's text.
  const OpenResult& LastOpen() const { return lastOpen_; }

 private:
  SerialAdapter& adapter_;
  OpenResult lastOpen_;
};

}  // namespace vemtaro::port
