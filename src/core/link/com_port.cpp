#include "link/com_port.h"

#include <string>

#include "link/text_wait.h"

namespace vemtaro {

bool ComPort::WaitForText(std::string_view text, int ticks, bool processEvents, bool ignoreCase) {
  TextWait wait(text, ticks, ignoreCase, clock_.NowMs());
  Millis lastEvents = clock_.NowMs();
  if (wait.Done()) return true;
  const bool outer = waiting_;
  waiting_ = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{waiting_, outer};
  for (;;) {
    if (hooks.shuttingDown && hooks.shuttingDown()) return true;
    if (line_.Available() > 0) {
      const std::string byte = line_.Read(1);
      if (!byte.empty() && wait.Offer(static_cast<unsigned char>(byte[0]))) return true;
    }
    if (wait.Expired(clock_.NowMs())) return false;
    // The user-interface queue runs every few milliseconds of the wait: often
    // enough to keep the windows painted, rarely enough that a quick answer
    // (the "o" of each byte of a write) is not held up by it.
    if (processEvents && hooks.processEvents && clock_.NowMs() - lastEvents >= kEventsIntervalMs) {
      hooks.processEvents();
      lastEvents = clock_.NowMs();
    } else if (!processEvents && hooks.keepPainted && clock_.NowMs() - lastEvents >= kPaintIntervalMs) {
      hooks.keepPainted();
      lastEvents = clock_.NowMs();
    }
    if (line_.Available() == 0) {
      // A line that closed (a port pulled out) brings nothing more.
      if (!line_.IsOpen()) return false;
      // The adapter sleeps in the kernel or the event loop here; without an
      // idle hook nothing more can arrive, and the wait ends at once.
      if (!hooks.idle) return false;
      hooks.idle();
    }
  }
}

void ComPort::Service() {
  if (waiting_ || held_ > 0) return;
  const Millis now = clock_.NowMs();
  const std::size_t count = line_.Available();
  if (count > 0) {
    const std::string bytes = line_.Read(count);
    if (OnTriggerAvail) OnTriggerAvail(bytes.size());
    matchers_.Feed(bytes, now);
  }
  matchers_.Poll(now);
  if (OnServiced) OnServiced(now);
}

}  // namespace vemtaro
