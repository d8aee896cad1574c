// Time on the serial link. Every time-out of the port, the packet matchers and
// the text wait is counted in ticks of 55 ms. The current tick number is a
// monotonic millisecond count divided by 55 with the remainder dropped, and a
// time-out of N ticks started at tick s has expired once the current tick is
// greater than s + N: it ends between N * 55 + 1 ms and (N + 1) * 55 ms after it
// was started, depending on where in its tick it started.
//
// The link never reads a clock by itself: whoever drives it passes the time in.
// The adapter uses a steady system clock, tests a VirtualClock moved by hand.
#pragma once

#include <cstdint>

namespace vemtaro {

using Millis = std::int64_t;

inline constexpr Millis kTickMs = 55;

// Tick number of a millisecond count (counts start at 0 and never go back).
constexpr std::int64_t TickOf(Millis ms) { return ms / kTickMs; }

// Whether a time-out of `ticks` ticks started at tick `startTick` has expired at
// the millisecond count `nowMs`.
constexpr bool TimeoutExpired(std::int64_t startTick, std::int64_t ticks, Millis nowMs) {
  return TickOf(nowMs) > startTick + ticks;
}

// A monotonic millisecond clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Millis NowMs() const = 0;
};

// A clock that moves only when told to.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(Millis startMs = 0) : now_(startMs) {}
  Millis NowMs() const override { return now_; }
  void Advance(Millis ms) { now_ += ms; }
  void Set(Millis ms) { now_ = ms; }

 private:
  Millis now_;
};

}  // namespace vemtaro
