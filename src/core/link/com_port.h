// The port object ApdComPort1 as the core sees it: a serial line, the packet
// matchers attached to it, the blocking text wait and the data-available event.
//
// The adapter that owns the system port calls Service() whenever bytes have
// arrived and at least every 50 ms; Service() hands the received bytes to the
// matchers and notices expired time-outs. While WaitForText runs, Service()
// does nothing: no matcher sees a byte and no port event is delivered, and the
// wait itself reads the line one byte at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "link/packet.h"
#include "link/serial_line.h"
#include "link/ticks.h"

namespace vemtaro {

// How often a waiting WaitForText with the process-events flag runs the
// user-interface event queue.
inline constexpr Millis kEventsIntervalMs = 10;
inline constexpr Millis kPaintIntervalMs = 50;

// What WaitForText calls while it waits.
struct WaitHooks {
  // Runs the user-interface event queue (only with the process-events flag).
  std::function<void()> processEvents;
  // Keeps the windows painted during a wait without event processing: they
  // take no input meanwhile, and neither port events nor the program's own
  // steps run (the desktop repaints what the window system asks for).
  // Called every kPaintIntervalMs of such a wait.
  std::function<void()> keepPainted;
  // Called when no byte is waiting: the adapter blocks briefly for input, tests
  // advance the virtual clock or let the scripted controller answer. Without it
  // the wait ends as soon as no byte is waiting: a wait never spins.
  std::function<void()> idle;
  // True when the program is shutting down; the wait then stops and returns true.
  std::function<bool()> shuttingDown;
};

class ComPort {
 public:
  ComPort(SerialLine& line, const Clock& clock) : line_(line), clock_(clock) {}
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  SerialLine& line() { return line_; }
  Millis NowMs() const { return clock_.NowMs(); }
  PacketDispatcher& matchers() { return matchers_; }

  // Tells the matchers that the line has been opened or closed.
  void SetOpen(bool open) { matchers_.SetPortOpen(open, clock_.NowMs()); }

  void SendText(std::string_view text) { line_.Send(text); }
  void FlushInput() { line_.FlushInput(); }
  void FlushOutput() { line_.FlushOutput(); }

  // Reads incoming bytes one at a time, consuming them, until the text has
  // arrived (true), the time-out of `ticks` ticks has expired (false) or the
  // program is shutting down (true). Bytes after the text stay in the line.
  bool WaitForText(std::string_view text, int ticks, bool processEvents, bool ignoreCase);
  bool Waiting() const { return waiting_; }

  // While held (a pause of the program), Service() does nothing: port events
  // wait until the pause is over, as they do during WaitForText.
  void Hold(bool on) { held_ += on ? 1 : -1; }
  bool Held() const { return held_ > 0; }

  // Delivers what has arrived: the data-available event with the count, then
  // the bytes to the matchers, then expired time-outs. Held back during a wait.
  void Service();

  // OnTriggerAvail: called with the number of bytes that arrived.
  std::function<void(std::size_t count)> OnTriggerAvail;
  // Called at the end of every Service() that ran, with the time it used.
  std::function<void(Millis nowMs)> OnServiced;
  WaitHooks hooks;

 private:
  SerialLine& line_;
  const Clock& clock_;
  PacketDispatcher matchers_;
  bool waiting_ = false;
  int held_ = 0;
};

}  // namespace vemtaro
