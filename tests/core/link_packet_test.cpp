// The packet matcher TApdDataPacket and its dispatcher: start and end
// conditions, overlapping matches, letter case, included strings, re-arming,
// time-outs, one collecting matcher silencing the others, discarded bytes and
// errors raised by handlers.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "link/packet.h"

namespace vemtaro {
namespace {

using State = TApdDataPacket::State;

// Records every event of the matchers it is attached to as "name:data" or
// "name:timeout", in order.
struct EventLog {
  std::vector<std::string> events;
  void Attach(TApdDataPacket& m) {
    m.OnPacket = [this](TApdDataPacket& sender, std::string_view data) {
      events.push_back(sender.Name() + ":" + std::string(data));
    };
    m.OnTimeout = [this](TApdDataPacket& sender) { events.push_back(sender.Name() + ":timeout"); };
  }
};

PacketSettings StringPacket(std::string name, std::string start, std::string end) {
  PacketSettings s;
  s.Name = std::move(name);
  s.StartString = std::move(start);
  s.EndString = std::move(end);
  s.EndCondition.ecString = !s.EndString.empty();
  s.AutoEnable = false;
  s.TimeOut = 0;
  return s;
}

PacketSettings AnyDataPacket(std::string name, std::string end, int timeOut = 0) {
  PacketSettings s;
  s.Name = std::move(name);
  s.StartCondition = StartCond::scAnyData;
  s.EndString = std::move(end);
  s.EndCondition.ecString = true;
  s.AutoEnable = false;
  s.TimeOut = timeOut;
  return s;
}

// A dispatcher with an open port.
struct Port {
  PacketDispatcher port;
  EventLog log;
  std::vector<std::string> errors;
  Port() {
    port.SetPortOpen(true, 0);
    port.SetErrorSink([this](const std::string& text) { errors.push_back(text); });
  }
  TApdDataPacket& Add(PacketSettings s, bool arm = true) {
    TApdDataPacket& m = port.Add(std::move(s));
    log.Attach(m);
    if (arm) m.SetEnabled(true, 0);
    return m;
  }
};

// Start strings are found wherever they occur, also when a partial match fails
// and an occurrence overlaps it; with an empty end condition the packet is the
// start string itself.
TEST(LinkPacketStart, FindsOverlappingOccurrences) {
  struct Case {
    const char* start;
    const char* input;
    int packets;
  };
  const std::vector<Case> cases = {
      {"LOAD_OK", "LLOAD_OK", 1}, {"LOAD_OK", "LOLOAD_OK", 1}, {"AAB", "AAAB", 1},    {"ABAC", "ABABAC", 1},
      {"ATI", "AATATI", 1},       {"ATI", "ATXATI", 1},        {"ATI", "ATATATX", 0}, {"ABAB", "ABABAB", 1},
      {"ATI", "ATIATI", 2},       {"Ver.", "VVeVer.", 1},
  };
  for (const auto& c : cases) {
    for (const bool byteByByte : {false, true}) {
      Port p;
      PacketSettings s = StringPacket("P", c.start, "");
      s.AutoEnable = true;
      p.Add(s);
      const std::string_view input = c.input;
      if (byteByByte) {
        for (const char ch : input) p.port.Feed(std::string_view(&ch, 1), 0);
      } else {
        p.port.Feed(input, 0);
      }
      EXPECT_EQ(p.log.events.size(), static_cast<std::size_t>(c.packets)) << c.start << " in " << c.input;
      for (const auto& e : p.log.events) EXPECT_EQ(e, std::string("P:") + c.start);
    }
  }
}

TEST(LinkPacketEnd, FindsOverlappingEndStringsAndLeavesStringsOutWhenAsked) {
  struct Case {
    const char* start;
    const char* end;
    bool include;
    const char* input;
    const char* delivered;  // nullptr: nothing delivered
  };
  const std::vector<Case> cases = {
      {"\r\n", "LOAD_OK\r\n", false, "\r\nIMAGELLOAD_OK\r\n", "IMAGEL"},
      {"\r\n", "LOAD_OK\r\n", true, "\r\nIMAGELOAD_OLOAD_OK\r\n", "\r\nIMAGELOAD_OLOAD_OK\r\n"},
      {"\r\n", "LOAD_OK\r\n", false, "\r\nLOAD_OK\r\r\nLOAD_OK\r\n", "LOAD_OK\r\r\n"},
      {"Ver.", "\r\n", false, "Ver. 15\r\r\n", " 15\r"},
      {"Ver.", "\r\n", true, "xxVer. 15\r\n", "Ver. 15\r\n"},
      // The end string is looked for only after the start string.
      {"AB", "BC", false, "ABC..BC", "C.."},
      {"STATUS\r\n", "ENDSTATUS\r\n", false, "STATUS\r\nENDSTATUS\r\n", ""},
      {"\r\n", "LOAD_OK\r\n", false, "\r\nLOAD_OK\r", nullptr},
  };
  for (const auto& c : cases) {
    Port p;
    PacketSettings s = StringPacket("P", c.start, c.end);
    s.IncludeStrings = c.include;
    p.Add(s);
    p.port.Feed(c.input, 0);
    if (c.delivered == nullptr) {
      EXPECT_TRUE(p.log.events.empty()) << c.input;
    } else {
      EXPECT_EQ(p.log.events, std::vector<std::string>{std::string("P:") + c.delivered}) << c.input;
    }
  }
}

TEST(LinkPacketCase, IgnoreCaseAppliesToStartAndEndStrings) {
  struct Case {
    bool ignoreCase;
    const char* end;
    const char* input;
    const char* delivered;
  };
  const std::vector<Case> cases = {
      {true, "\r\n", "ver. 15\r\n", "P: 15"},
      {true, "\r\n", "VER.x\r\n", "P:x"},
      {true, "LOAD_OK", "Ver.abLoad_ok", "P:ab"},
      {false, "\r\n", "ver. 15\r\nVer.a\r\n", "P:a"},
      {false, "LOAD_OK", "Ver.Load_okLOAD_OK", "P:Load_ok"},
  };
  for (const auto& c : cases) {
    Port p;
    PacketSettings s = StringPacket("P", "Ver.", c.end);
    s.IgnoreCase = c.ignoreCase;
    s.IncludeStrings = false;
    p.Add(s);
    p.port.Feed(c.input, 0);
    EXPECT_EQ(p.log.events, std::vector<std::string>{c.delivered}) << c.input;
  }
}

TEST(LinkPacketPattern, QuestionMarkMatchesAnyByteAndBackslashMakesLiteral) {
  Port p;
  PacketSettings s = StringPacket("P", "A?C", "");
  s.AutoEnable = true;
  p.Add(s);
  PacketSettings t = StringPacket("Q", "\\?!", "");
  t.AutoEnable = true;
  p.Add(t);
  p.port.Feed("AxC A?C x!?!", 0);
  EXPECT_EQ(p.log.events, (std::vector<std::string>{"P:AxC", "P:A?C", "Q:?!"}));
}

// The packet size counts from the first byte of the start string and is tested
// only on bytes after it: a size equal to the start string's length completes on
// the next byte, which is delivered too.
TEST(LinkPacketSize, CompletesWhenThePacketHoldsItsSize) {
  struct Case {
    const char* start;
    int size;
    const char* input;
    std::vector<std::string> delivered;
  };
  const std::vector<Case> cases = {
      {"ATI", 3, "ATI", {}},
      {"ATI", 3, "ATI\r", {"P:ATI\r"}},
      {"ATI", 3, "xxati\rATI", {"P:ati\r"}},
      {"AB", 5, "ABxyzw", {"P:ABxyz"}},
      {"AB", 5, "ABxy", {}},
  };
  for (const auto& c : cases) {
    Port p;
    PacketSettings s = StringPacket("P", c.start, "");
    s.EndCondition.ecPacketSize = true;
    s.PacketSize = c.size;
    p.Add(s);
    p.port.Feed(c.input, 0);
    EXPECT_EQ(p.log.events, c.delivered) << c.input;
  }
}

TEST(LinkPacketSize, AnyDataCountsFromTheFirstCollectedByte) {
  Port p;
  PacketSettings s = AnyDataPacket("P", "\r\n");
  s.EndCondition = EndCond{false, true};
  s.PacketSize = 3;
  p.Add(s);
  p.port.Feed("abcd", 0);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:abc"});
}

TEST(LinkPacketAnyData, CollectsFromArmingUpToTheEndString) {
  Port p;
  PacketSettings s = AnyDataPacket("P", "\r\n");
  s.IncludeStrings = true;
  p.Add(s);
  EXPECT_EQ(p.port.Collecting(), &p.port.at(0));
  p.port.Feed("12:30\r\nrest", 0);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:12:30\r\n"});
  EXPECT_FALSE(p.port.at(0).Enabled());
}

TEST(LinkPacketAutoEnable, RearmsAfterAPacketOnlyWhenSet) {
  for (const bool autoEnable : {true, false}) {
    Port p;
    PacketSettings s = StringPacket("P", "<", ">");
    s.AutoEnable = autoEnable;
    s.IncludeStrings = false;
    TApdDataPacket& m = p.Add(s);
    p.port.Feed("<a><b>", 0);
    EXPECT_EQ(p.log.events, autoEnable ? (std::vector<std::string>{"P:a", "P:b"}) : (std::vector<std::string>{"P:a"}));
    EXPECT_EQ(m.Enabled(), autoEnable);
  }
}

TEST(LinkPacketAutoEnable, HandlerMayTurnItOffBeforeTheRearm) {
  Port p;
  PacketSettings s = StringPacket("P", "ATI", "");
  s.AutoEnable = true;
  TApdDataPacket& m = p.Add(s);
  m.OnPacket = [](TApdDataPacket& sender, std::string_view) { sender.settings.AutoEnable = false; };
  p.port.Feed("ATI", 0);
  EXPECT_FALSE(m.Enabled());
}

// A time-out of N ticks runs from the start condition; it expires once the tick
// number passes start + N, disarms the matcher whatever AutoEnable says and
// drops what was collected.
TEST(LinkPacketTimeout, ExpiresAfterItsTicksAndDisarms) {
  for (const bool autoEnable : {true, false}) {
    Port p;
    PacketSettings s = StringPacket("P", "\r\n", "LOAD_OK\r\n");
    s.TimeOut = 2;
    s.AutoEnable = autoEnable;
    TApdDataPacket& m = p.Add(s);
    p.port.Feed("xx", 10);
    p.port.Feed("\r\n", 60);  // tick 1: expires at tick 4, from 220 ms
    EXPECT_EQ(m.state(), State::Collecting);
    p.port.Poll(219);
    p.port.Feed("abc", 219);
    EXPECT_TRUE(p.log.events.empty());
    p.port.Poll(220);
    EXPECT_EQ(p.log.events, std::vector<std::string>{"P:timeout"});
    EXPECT_FALSE(m.Enabled());
    EXPECT_EQ(m.state(), State::Idle);
    EXPECT_EQ(p.port.Collecting(), nullptr);
    // The rest of the packet finds no one.
    p.port.Feed("LOAD_OK\r\n", 300);
    EXPECT_EQ(p.log.events.size(), 1u);
  }
}

TEST(LinkPacketTimeout, ArrivingBytesNoticeTheExpiryFirst) {
  Port p;
  PacketSettings s = StringPacket("P", "<", ">");
  s.TimeOut = 1;
  p.Add(s);
  p.port.Feed("<abc", 0);
  p.port.Feed(">", 110);  // tick 2 > 0 + 1: too late
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:timeout"});
}

TEST(LinkPacketTimeout, ZeroTicksAndMissingStartsNeverExpire) {
  Port p;
  PacketSettings none = StringPacket("None", "<", ">");
  none.TimeOut = 0;
  TApdDataPacket& collecting = p.Add(none);
  p.port.Feed("<abc", 0);
  p.port.Poll(1000000000);
  EXPECT_EQ(collecting.state(), State::Collecting);
  p.port.Feed(">", 1000000001);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"None:<abc>"});

  Port q;
  PacketSettings waiting = StringPacket("Wait", "STATUS\r\n", "ENDSTATUS\r\n");
  waiting.TimeOut = 1;
  TApdDataPacket& w = q.Add(waiting);
  q.port.Feed("STAT", 0);
  q.port.Poll(1000000000);
  EXPECT_TRUE(w.Enabled());
  EXPECT_TRUE(q.log.events.empty());
}

TEST(LinkPacketTimeout, AnyDataTimesFromArming) {
  Port p;
  TApdDataPacket& m = p.Add(AnyDataPacket("P", "\r\n", 3), false);
  m.SetEnabled(true, 100);  // tick 1: expires at tick 5 (275 ms)
  p.port.Poll(274);
  EXPECT_TRUE(m.Enabled());
  p.port.Poll(275);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:timeout"});
}

TEST(LinkPacketTimeout, HandlerErrorIsReported) {
  Port p;
  TApdDataPacket& m = p.Add(AnyDataPacket("P", "\r\n", 1));
  m.OnTimeout = [](TApdDataPacket&) { throw std::runtime_error("boom"); };
  p.port.Poll(110);
  EXPECT_EQ(p.errors, std::vector<std::string>{"boom"});
  EXPECT_FALSE(m.Enabled());
}

TEST(LinkPacketArming, ArmingAnArmedMatcherKeepsItsPartialMatch) {
  Port p;
  TApdDataPacket& m = p.Add(StringPacket("P", "Ver.", "\r\n"));
  p.port.Feed("Ve", 0);
  m.SetEnabled(true, 0);
  p.port.Feed("r.15\r\n", 0);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:Ver.15\r\n"});
}

TEST(LinkPacketArming, ArmingAnArmedCollectingMatcherKeepsItsTimeout) {
  Port p;
  PacketSettings s = AnyDataPacket("P", "\r\n", 2);
  TApdDataPacket& m = p.Add(s);
  m.SetEnabled(true, 200);
  p.port.Poll(165);  // tick 3 > 0 + 2
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:timeout"});
}

TEST(LinkPacketArming, DisarmingDropsThePartialMatchAndTheTimeout) {
  Port p;
  PacketSettings s = StringPacket("P", "Ver.", "\r\n");
  s.TimeOut = 1;
  TApdDataPacket& m = p.Add(s);
  p.port.Feed("Ve", 0);
  m.SetEnabled(false, 0);
  EXPECT_EQ(m.state(), State::Idle);
  m.SetEnabled(true, 0);
  p.port.Feed("r.15\r\n", 0);
  EXPECT_TRUE(p.log.events.empty());

  p.port.Feed("Ver.", 0);
  EXPECT_EQ(p.port.Collecting(), &m);
  m.SetEnabled(false, 0);
  EXPECT_EQ(p.port.Collecting(), nullptr);
  p.port.Poll(1000);
  EXPECT_TRUE(p.log.events.empty());
}

TEST(LinkPacketArming, ChecksTheSettings) {
  struct Case {
    const char* what;
    PacketSettings settings;
    bool fails;
  };
  auto bySize = [](std::string start, int size) {
    PacketSettings s = StringPacket("P", std::move(start), "");
    s.EndCondition.ecPacketSize = true;
    s.PacketSize = size;
    return s;
  };
  PacketSettings anyNoEnd = AnyDataPacket("P", "");
  anyNoEnd.EndCondition = EndCond{};
  PacketSettings emptyEnd = StringPacket("P", "A", "");
  emptyEnd.EndCondition.ecString = true;
  const std::vector<Case> cases = {
      {"empty start string", StringPacket("P", "", "\r\n"), true},
      {"empty end string", emptyEnd, true},
      {"size 0", bySize("ATI", 0), true},
      {"size below the start string", bySize("ATI", 2), true},
      {"size equal to the start string", bySize("ATI", 3), false},
      {"any data without an end", anyNoEnd, true},
      {"start string only", StringPacket("P", "A", ""), false},
  };
  for (const auto& c : cases) {
    Port p;
    TApdDataPacket& m = p.Add(c.settings, false);
    if (c.fails) {
      EXPECT_THROW(m.SetEnabled(true, 0), LinkError) << c.what;
      EXPECT_FALSE(m.Enabled()) << c.what;
    } else {
      EXPECT_NO_THROW(m.SetEnabled(true, 0)) << c.what;
      EXPECT_TRUE(m.Enabled()) << c.what;
    }
  }
}

// While one matcher collects, the others drop their partial start match and
// see nothing, even when their own strings pass by.
TEST(LinkPacketRouting, ACollectingMatcherSilencesTheOthers) {
  Port p;
  TApdDataPacket& other = p.Add(StringPacket("Other", "ABCD", "!"));
  PacketSettings l = StringPacket("Load", "\r\n", "LOAD_OK\r\n");
  l.IncludeStrings = false;
  p.Add(l);
  p.port.Feed("AB\r\n", 0);  // Other's "AB" is dropped when Load starts collecting
  EXPECT_EQ(other.state(), State::WaitingForStart);
  p.port.Feed("CD!ABCD!\r\n", 0);
  EXPECT_TRUE(p.log.events.empty());
  p.port.Feed("LOAD_OK\r\nCD!ABCD!", 0);
  EXPECT_EQ(p.log.events, (std::vector<std::string>{"Load:CD!ABCD!\r\n", "Other:ABCD!"}));
}

TEST(LinkPacketRouting, AnyDataArmedDuringCollectionStartsAfterIt) {
  Port p;
  PacketSettings l = StringPacket("Load", "\r\n", "LOAD_OK\r\n");
  l.IncludeStrings = false;
  p.Add(l);
  PacketSettings t = AnyDataPacket("Time", "\r\n", 2);
  t.IncludeStrings = false;
  TApdDataPacket& time = p.Add(t, false);
  p.port.Feed("\r\nab", 0);
  time.SetEnabled(true, 0);
  EXPECT_EQ(time.state(), State::WaitingForStart);
  p.port.Feed("\r\ncd", 0);
  p.port.Poll(500);  // its time-out has not started yet
  EXPECT_TRUE(time.Enabled());
  p.port.Feed("LOAD_OK\r\n", 1000);
  p.port.Feed("12:00\r\n", 1100);  // starts at tick 20, would expire at tick 23
  EXPECT_EQ(p.log.events, (std::vector<std::string>{"Load:ab\r\ncd", "Time:12:00"}));
}

TEST(LinkPacketRouting, EarlierMatcherWinsABytethatCompletesTwoStarts) {
  Port p;
  p.Add(StringPacket("First", "AT", "!"));
  p.Add(StringPacket("Second", "T", "!"));
  p.port.Feed("AT1!T2!", 0);
  EXPECT_EQ(p.log.events, (std::vector<std::string>{"First:AT1!", "Second:T2!"}));
}

TEST(LinkPacketRouting, BytesNobodyWaitsForAreGone) {
  Port p;
  TApdDataPacket& m = p.Add(StringPacket("P", "Ver.", "\r\n"), false);
  p.port.Feed("Ve", 0);
  m.SetEnabled(true, 0);
  p.port.Feed("r.15\r\nVer.12\r\n", 0);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:Ver.12\r\n"});
}

TEST(LinkPacketRouting, BytesAfterAPacketReachAMatcherItsHandlerArms) {
  Port p;
  PacketSettings probe = StringPacket("Probe", "ATI", "");
  probe.EndCondition.ecPacketSize = true;
  probe.PacketSize = 3;
  TApdDataPacket& first = p.Add(probe);
  PacketSettings version = StringPacket("Version", "Ver.", "\r\n");
  version.IncludeStrings = false;
  TApdDataPacket& second = p.Add(version, false);
  first.OnPacket = [&](TApdDataPacket&, std::string_view) { second.SetEnabled(true, 0); };
  p.log.Attach(second);
  p.port.Feed("ATI\rVer. 15\r\n", 0);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"Version: 15"});
}

TEST(LinkPacketPort, ClosedPortLeavesArmedMatchersIdle) {
  Port p;
  PacketSettings s = AnyDataPacket("P", "\r\n", 1);
  s.IncludeStrings = false;
  TApdDataPacket& m = p.Add(s);
  p.port.Feed("ab", 0);
  p.port.SetPortOpen(false, 10);
  EXPECT_TRUE(m.Enabled());
  EXPECT_EQ(m.state(), State::Idle);
  p.port.Feed("\r\n", 20);
  p.port.Poll(10000);  // no time-out while idle
  EXPECT_TRUE(p.log.events.empty());
  p.port.SetPortOpen(true, 10000);  // begins again, time-out from now
  EXPECT_EQ(m.state(), State::Collecting);
  p.port.Feed("cd\r\n", 10050);
  EXPECT_EQ(p.log.events, std::vector<std::string>{"P:cd"});
}

TEST(LinkPacketErrors, HandlerErrorIsReportedAndTheMatcherGoesOn) {
  Port p;
  PacketSettings s = StringPacket("P", "<", ">");
  s.AutoEnable = true;
  TApdDataPacket& m = p.Add(s);
  std::vector<std::string> strings;
  int calls = 0;
  m.OnPacket = [&](TApdDataPacket&, std::string_view data) {
    ++calls;
    if (data == "<bad>") throw std::invalid_argument("'bad' is not a valid integer value");
    if (data == "<odd>") throw 42;
  };
  m.OnStringPacket = [&](TApdDataPacket&, const std::string& text) { strings.push_back(text); };
  p.port.Feed("<bad><odd><ok>", 0);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(strings, (std::vector<std::string>{"<bad>", "<odd>", "<ok>"}));
  ASSERT_EQ(p.errors.size(), 2u);
  EXPECT_EQ(p.errors[0], "'bad' is not a valid integer value");
  EXPECT_TRUE(m.Enabled());
}

TEST(LinkPacketErrors, RearmingThatFailsIsReported) {
  Port p;
  PacketSettings s = StringPacket("P", "<", ">");
  s.AutoEnable = true;
  TApdDataPacket& m = p.Add(s);
  m.OnPacket = [](TApdDataPacket& sender, std::string_view) { sender.settings.StartString.clear(); };
  p.port.Feed("<a>", 0);
  EXPECT_EQ(p.errors.size(), 1u);
  EXPECT_FALSE(m.Enabled());
}

// Feeding byte by byte gives the same events as feeding everything at once.
TEST(LinkPacketFeeding, ByteByByteEqualsOneChunk) {
  struct Case {
    std::vector<PacketSettings> matchers;
    std::string input;
  };
  PacketSettings probe = StringPacket("Probe", "ATI", "");
  probe.EndCondition.ecPacketSize = true;
  probe.PacketSize = 3;
  probe.AutoEnable = true;
  PacketSettings load = StringPacket("Load", "\r\n", "LOAD_OK\r\n");
  load.IncludeStrings = false;
  PacketSettings status = StringPacket("Status", "STATUS\r\n", "ENDSTATUS\r\n");
  const std::vector<Case> cases = {
      {{probe, load}, "AATIxATATI\r\nLOAD_OLOAD_OK\r\nATI!"},
      {{status, probe}, "STSTATUS\r\nATI ENDSTATUSENDSTATUS\r\nATIATI"},
      {{load, status}, "\r\r\nSTATUS\r\nLOAD_OK\r\nSTATUS\r\nENDSTATUS\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> whole;
    for (const bool byteByByte : {false, true}) {
      Port p;
      for (const auto& s : c.matchers) p.Add(s);
      if (byteByByte) {
        for (const char ch : c.input) p.port.Feed(std::string_view(&ch, 1), 0);
        EXPECT_EQ(p.log.events, whole) << c.input;
      } else {
        p.port.Feed(c.input, 0);
        whole = p.log.events;
        EXPECT_FALSE(whole.empty());
      }
    }
  }
}

// Bytes fed while a handler runs (those that arrived during a pause inside
// it) go to the matchers armed at that moment, after the rest of the arrival
// that fired the handler; the matcher that fired stays disarmed until its
// handler has returned, and packets completed meanwhile are delivered then.
TEST(LinkPacketHandlers, BytesFedDuringAHandlerMeetTheMatchersArmedThen) {
  Port p;
  PacketSettings probe = StringPacket("Probe", "ATI", "");
  probe.EndCondition.ecPacketSize = true;
  probe.PacketSize = 3;
  probe.AutoEnable = true;
  TApdDataPacket& first = p.Add(probe);
  p.Add(StringPacket("Other", "<", ">"));
  std::vector<std::string> order;
  int probes = 0;
  first.OnPacket = [&](TApdDataPacket&, std::string_view) {
    ++probes;
    if (probes > 1) return;
    // The pause: a probe and a packet of the other matcher arrive meanwhile.
    p.port.Feed("ATI\r<b>", 10);
    order.push_back(std::string("after the pause, other delivered: ") + (p.log.events.empty() ? "no" : "yes"));
    EXPECT_FALSE(first.Enabled()) << "the matcher that fired waits for its handler";
  };
  p.port.Feed("ATI\r<a", 0);
  EXPECT_EQ(probes, 1) << "the probe that came during the handler is not answered";
  EXPECT_EQ(order, std::vector<std::string>{"after the pause, other delivered: no"});
  // "<a" came before the pause's bytes and is matched first: one packet.
  EXPECT_EQ(p.log.events, std::vector<std::string>{"Other:<aATI\r<b>"});
  EXPECT_TRUE(first.Enabled()) << "re-armed once its handler returned";
  p.port.Feed("ATI\r", 20);
  EXPECT_EQ(probes, 2);
}

// A packet may not grow without bound: past MaxSize the matcher disarms, drops
// what it collected and reports the overflow (OnTimeout when no OnOverflow is
// set), whatever AutoEnable says; the bytes after it meet no collecting matcher.
TEST(LinkPacketSize, PacketsAreBoundedByMaxSize) {
  for (const bool overflowHandler : {true, false}) {
    SCOPED_TRACE(overflowHandler ? "OnOverflow" : "OnTimeout");
    Port p;
    PacketSettings s = StringPacket("Load", "\r\n", "LOAD_OK\r\n");
    s.AutoEnable = true;
    s.MaxSize = 10;
    TApdDataPacket& m = p.Add(s);
    if (overflowHandler) {
      m.OnOverflow = [&](TApdDataPacket& sender) { p.log.events.push_back(sender.Name() + ":overflow"); };
    }
    p.port.Feed("\r\n12345LOAD_OK\r\n", 0);  // 18 bytes from the start string on
    EXPECT_EQ(p.log.events, std::vector<std::string>{overflowHandler ? "Load:overflow" : "Load:timeout"});
    EXPECT_FALSE(m.Enabled());
    EXPECT_EQ(m.state(), State::Idle);
    EXPECT_EQ(p.port.Collecting(), nullptr);

    // A packet of exactly MaxSize bytes is delivered.
    Port q;
    PacketSettings t = StringPacket("P", "<", ">");
    t.MaxSize = 4;
    q.Add(t);
    q.port.Feed("<ab>", 0);
    EXPECT_EQ(q.log.events, std::vector<std::string>{"P:<ab>"});
  }
}

}  // namespace
}  // namespace vemtaro
