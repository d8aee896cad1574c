// Ticks of 55 ms: the tick number of a millisecond count and the expiry rule of
// every link time-out, at the edges of its window.
#include <gtest/gtest.h>

#include <vector>

#include "link/ticks.h"

namespace vemtaro {
namespace {

TEST(LinkTicks, TickNumberDropsTheRemainder) {
  struct Case {
    Millis ms;
    std::int64_t tick;
  };
  const std::vector<Case> cases = {{0, 0}, {54, 0}, {55, 1}, {109, 1}, {110, 2}, {5500, 100}, {5554, 100}};
  for (const auto& c : cases) EXPECT_EQ(TickOf(c.ms), c.tick) << c.ms;
}

// A time-out of N ticks ends between N*55+1 ms and (N+1)*55 ms after its start,
// depending on where in its tick it started.
TEST(LinkTicks, TimeoutEndsWithinItsWindow) {
  for (const int n : {1, 5, 40, 100, 1000}) {
    for (const Millis phase : {Millis{0}, Millis{1}, Millis{27}, Millis{54}}) {
      const Millis start = 10 * kTickMs + phase;
      const std::int64_t startTick = TickOf(start);
      // The first millisecond at which it counts as expired.
      Millis end = start;
      while (!TimeoutExpired(startTick, n, end)) ++end;
      const Millis elapsed = end - start;
      EXPECT_GE(elapsed, n * kTickMs + 1) << n << " " << phase;
      EXPECT_LE(elapsed, (n + 1) * kTickMs) << n << " " << phase;
      // Started at the very end of a tick: the shortest wait; at its beginning: the longest.
      if (phase == 54) {
        EXPECT_EQ(elapsed, n * kTickMs + 1);
      }
      if (phase == 0) {
        EXPECT_EQ(elapsed, (n + 1) * kTickMs);
      }
    }
  }
}

TEST(LinkTicks, VirtualClockMovesOnlyWhenTold) {
  VirtualClock clock(100);
  const Clock& c = clock;
  EXPECT_EQ(c.NowMs(), 100);
  clock.Advance(55);
  EXPECT_EQ(c.NowMs(), 155);
  clock.Set(7);
  EXPECT_EQ(c.NowMs(), 7);
}

}  // namespace
}  // namespace vemtaro
