#include "port/link_host.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace vemtaro::port {

QString SimulatorPortName() { return QString::fromUtf8(link_texts::kSimulatorPort); }

namespace {
// Waits of the link under way on the thread that drives the port (only ever
// the main thread).
int linkWaits = 0;
}  // namespace

bool InsideLinkWait() { return linkWaits > 0; }
LinkWaitScope::LinkWaitScope() { ++linkWaits; }
LinkWaitScope::~LinkWaitScope() { --linkWaits; }

bool RunEventsUntil(const std::function<bool()>& done, qint64 timeoutMs, int checkMs) {
  if (done()) return true;
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() >= timeoutMs) loop.quit();
  });
  check.start(checkMs);
  loop.exec();
  return done();
}

AdapterLinkHost::AdapterLinkHost(SerialAdapter& adapter, QObject* parent) : QObject(parent), adapter_(adapter) {
#ifdef Q_OS_LINUX
  // The short pauses of a write below version 12 (two of 5 ms a byte, 10242
  // for a whole image) would each overrun by the kernel's default timer slack
  // of 50 us; the link's thread asks for exact wake-ups instead.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

PortOpening AdapterLinkHost::OpenPort(const std::string& name) {
  const QString port = QString::fromStdString(name);
  lastOpen_ = port == SimulatorPortName() ? adapter_.OpenSimulator() : adapter_.Open(port);
  switch (lastOpen_.status) {
    case OpenStatus::Opened: return {PortOpenResult::Opened, {}};
    case OpenStatus::Busy: return {PortOpenResult::AccessDenied, lastOpen_.errorText.toStdString()};
    case OpenStatus::Denied: return {PortOpenResult::NoPermission, lastOpen_.errorText.toStdString()};
    case OpenStatus::Missing:
    case OpenStatus::Refused: break;
  }
  return {PortOpenResult::Failed, lastOpen_.errorText.toStdString()};
}

void AdapterLinkHost::ClosePort() { adapter_.Close(); }

void AdapterLinkHost::Pause(Millis ms) {
  if (ms <= 0) return;
  if (ms <= kPreciseSleepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  const LinkWaitScope waiting;
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void AdapterLinkHost::Post(std::function<void()> step) {
  QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

LocalDateTime AdapterLinkHost::LocalTime() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  return LocalDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

}  // namespace vemtaro::port
