// WaitForText and the port around it: the counting rule, the time-out, what it
// consumes and what it leaves for the matchers, events held back while it runs;
// the in-memory line, sending, flushing and the port availability test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/com_port.h"
#include "link/matchers.h"
#include "link/text_wait.h"

namespace vemtaro {
namespace {

bool Finds(std::string_view text, std::string_view input, bool ignoreCase) {
  TextWait wait(text, 100, ignoreCase, 0);
  for (const char c : input) {
    if (wait.Offer(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

TEST(LinkTextWait, CountingRule) {
  struct Case {
    const char* text;
    const char* input;
    bool ignoreCase;
    bool found;
  };
  const std::vector<Case> cases = {
      {"LOAD_OK", "LOAD_OK", false, true},
      {"LOAD_OK", "xxLLOAD_OK", false, true},  // an extra L
      {"LOAD_OK", "LOLOAD_OK", false, true},   // an extra LO
      {"LOAD_OK", "load_ok", false, false},    // exact case
      {"SAVE_OK\r\n", "save_ok\r\n", true, true},
      {"o", "O", true, true},
      {"o", "O", false, false},
      {"AAB", "AAB", false, true},
      {"AAB", "AAAB", false, false},  // the count restarts at 1 only
      {"ABAC", "ABABAC", false, false},
      {"TIME_OK\r\n", "TIME_OK\r\r\n", false, false},
  };
  for (const auto& c : cases) EXPECT_EQ(Finds(c.text, c.input, c.ignoreCase), c.found) << c.text << " in " << c.input;
}

TEST(LinkTextWait, StopsAtTheLastCharacterOfTheText) {
  TextWait wait("OK", 5, false, 0);
  EXPECT_FALSE(wait.Offer('O'));
  EXPECT_EQ(wait.count(), 1u);
  EXPECT_TRUE(wait.Offer('K'));
  EXPECT_TRUE(wait.Done());
}

TEST(LinkTextWait, HundredTicksGiveUpBetween5500And5555Ms) {
  for (const Millis start : {Millis{0}, Millis{54}, Millis{1000}}) {
    TextWait wait("LOAD_OK", 100, false, start);
    Millis end = start;
    while (!wait.Expired(end)) ++end;
    EXPECT_GE(end - start, 5501);
    EXPECT_LE(end - start, 5555);
  }
}

// A port on an in-memory line whose clock runs only when the wait is idle.
struct Bench {
  MemoryLine line;
  VirtualClock clock;
  ComPort port{line.host(), clock};
  // Called when the wait finds nothing to read: the scripted controller.
  std::function<void()> controller;
  int idleCalls = 0;
  int eventRuns = 0;
  Bench() {
    line.host().SetOpen(true);
    port.SetOpen(true);
    port.hooks.idle = [this] {
      ++idleCalls;
      if (controller) controller();
      clock.Advance(1);
    };
    port.hooks.processEvents = [this] {
      ++eventRuns;
      port.Service();  // an event queue run: the port's events must stay held back
    };
  }
};

TEST(LinkComPortWait, ConsumesUpToTheTextAndLeavesTheRestForTheMatchers) {
  Bench b;
  const ProgramMatchers m = AttachProgramMatchers(b.port.matchers());
  std::vector<std::string> images;
  m.Zagruzka.OnPacket = [&](TApdDataPacket&, std::string_view data) { images.emplace_back(data); };
  m.Zagruzka.SetEnabled(true, b.clock.NowMs());
  // The reply comes whole: "LOAD_OK", "\r\n", the image, "LOAD_OK\r\n". The wait
  // takes the first "LOAD_OK"; the matcher starts at the "\r\n" after it.
  b.line.device().Send("LOAD_OK\r\nIMAGELOAD_OK\r\n");
  EXPECT_TRUE(b.port.WaitForText("LOAD_OK", 100, false, false));
  EXPECT_EQ(b.line.host().Available(), 16u);
  EXPECT_TRUE(images.empty());
  b.port.Service();
  EXPECT_EQ(images, std::vector<std::string>{"IMAGE"});
}

TEST(LinkComPortWait, TimesOutAfterItsTicksAndEatsWhatCame) {
  Bench b;
  b.clock.Set(1000);  // tick 18: gives up at tick 119, 6545 ms
  b.line.device().Send("LOAD_");
  EXPECT_FALSE(b.port.WaitForText("LOAD_OK", 100, false, false));
  EXPECT_EQ(b.clock.NowMs(), 6545);
  EXPECT_EQ(b.line.host().Available(), 0u);
  EXPECT_EQ(b.eventRuns, 0);
}

TEST(LinkComPortWait, TextArrivingLateIsFoundWithinTheTimeout) {
  Bench b;
  b.controller = [&] {
    if (b.clock.NowMs() == 5000) b.line.device().Send("SAVE_OK\r\n");
  };
  EXPECT_TRUE(b.port.WaitForText("SAVE_OK\r\n", 100, false, false));
  EXPECT_EQ(b.clock.NowMs(), 5001);
}

TEST(LinkComPortWait, HoldsBackMatchersAndEventsWhileProcessingEvents) {
  Bench b;
  const ProgramMatchers m = AttachProgramMatchers(b.port.matchers());
  std::size_t triggered = 0;
  b.port.OnTriggerAvail = [&](std::size_t n) { triggered += n; };
  int packets = 0;
  m.STARTPACK.OnPacket = [&](TApdDataPacket&, std::string_view) { ++packets; };
  m.STARTPACK.SetEnabled(true, 0);
  b.controller = [&] {
    if (b.clock.NowMs() == 10) b.line.device().Send("ATI!x");
    if (b.clock.NowMs() == 20) b.line.device().Send("O");
  };
  EXPECT_TRUE(b.port.WaitForText("o", 5, true, true));
  EXPECT_GT(b.eventRuns, 0);
  EXPECT_EQ(packets, 0);  // the wait ate "ATI!x" byte by byte; nobody else saw it
  EXPECT_EQ(triggered, 0u);
  EXPECT_FALSE(b.port.Waiting());
  b.line.device().Send("ATI?");
  b.port.Service();
  EXPECT_EQ(packets, 1);
  EXPECT_EQ(triggered, 4u);
}

TEST(LinkComPortWait, ShuttingDownEndsTheWaitWithTrue) {
  Bench b;
  b.port.hooks.shuttingDown = [&] { return b.clock.NowMs() >= 100; };
  EXPECT_TRUE(b.port.WaitForText("SAVE_OK\r\n", 100, true, true));
  EXPECT_EQ(b.clock.NowMs(), 100);
}

TEST(LinkComPortService, FeedsTheMatchersAndNoticesTimeouts) {
  Bench b;
  const ProgramMatchers m = AttachProgramMatchers(b.port.matchers());
  int timeouts = 0;
  m.ApdDataPacket3.OnTimeout = [&](TApdDataPacket&) { ++timeouts; };
  m.ApdDataPacket3.SetEnabled(true, 0);
  b.line.device().Send("Ver. 1");
  b.port.Service();
  EXPECT_EQ(b.port.matchers().Collecting(), &m.ApdDataPacket3);
  b.clock.Set(101 * kTickMs - 1);
  b.port.Service();
  EXPECT_EQ(timeouts, 0);
  b.clock.Set(101 * kTickMs);
  b.port.Service();
  EXPECT_EQ(timeouts, 1);
}

TEST(LinkMemoryLine, SendsReadsAndFlushes) {
  MemoryLine line(8);
  MemoryLine::End& host = line.host();
  MemoryLine::End& device = line.device();
  EXPECT_THROW(host.Send("BYE"), LinkError);  // closed
  host.SetOpen(true);
  host.Send("BYE");
  host.Send("PC\r\n");
  EXPECT_THROW(host.Send("PC_OK"), LinkError);  // does not fit the free room
  EXPECT_EQ(device.ReadAll(), "BYEPC\r\n");
  host.Send("LOAD\n");
  host.FlushOutput();
  EXPECT_EQ(device.Available(), 0u);

  device.Send("ATI!");
  EXPECT_EQ(host.Read(2), "AT");
  host.FlushInput();
  EXPECT_EQ(host.Available(), 0u);
  device.Send("xyz");
  host.SetOpen(false);  // closing drops what was received
  host.SetOpen(true);
  EXPECT_EQ(host.Available(), 0u);
}

TEST(LinkComPort, SendTextAndFlushGoToTheLine) {
  Bench b;
  b.port.SendText("SAVE\n");
  EXPECT_EQ(b.line.device().ReadAll(), "SAVE\n");
  b.port.SendText("x");
  b.port.FlushOutput();
  b.line.device().Send("junk");
  b.port.FlushInput();
  EXPECT_EQ(b.line.device().Available(), 0u);
  EXPECT_EQ(b.line.host().Available(), 0u);
}

TEST(LinkPortAvailable, ListsOpenableAndBusyPorts) {
  struct Probe : PortProbe {
    std::vector<int> tried;
    PortOpenResult TryOpen(int n) override {
      tried.push_back(n);
      if (n == 1) return PortOpenResult::Opened;
      if (n == 2) return PortOpenResult::AccessDenied;
      if (n == 4) return PortOpenResult::NoPermission;
      return PortOpenResult::Failed;
    }
  } probe;
  EXPECT_FALSE(PortAvailable(probe, 0));
  EXPECT_TRUE(probe.tried.empty());
  EXPECT_TRUE(PortAvailable(probe, 1));
  EXPECT_TRUE(PortAvailable(probe, 2));
  EXPECT_FALSE(PortAvailable(probe, 3));
  EXPECT_TRUE(PortAvailable(probe, 4)) << "listed: choosing it says why it cannot be used";
}

}  // namespace
}  // namespace vemtaro

namespace vemtaro {
namespace {

// A wait without event processing keeps the windows painted every 50 ms, but
// runs no event queue: the port's events stay held back all the same.
TEST(LinkComPortWait, WaitWithoutEventsOnlyKeepsTheWindowsPainted) {
  VirtualClock clock;
  MemoryLine line;
  ComPort port{line.host(), clock};
  line.host().SetOpen(true);
  port.SetOpen(true);
  int eventRuns = 0;
  std::vector<Millis> paints;
  std::size_t triggered = 0;
  port.OnTriggerAvail = [&](std::size_t n) { triggered += n; };
  port.hooks.processEvents = [&] { ++eventRuns; };
  port.hooks.keepPainted = [&] {
    paints.push_back(clock.NowMs());
    port.Service();
  };
  port.hooks.idle = [&] {
    if (clock.NowMs() == 100) line.device().Send("noise");
    clock.Advance(1);
  };
  EXPECT_FALSE(port.WaitForText("LOAD_OK", 100, false, false));
  EXPECT_EQ(eventRuns, 0);
  ASSERT_GE(paints.size(), 100u);
  for (std::size_t i = 1; i < paints.size(); ++i) EXPECT_EQ(paints[i] - paints[i - 1], kPaintIntervalMs);
  EXPECT_EQ(triggered, 0u) << "no port event during the wait";
}

}  // namespace
}  // namespace vemtaro
