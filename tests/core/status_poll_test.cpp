// "Автоопрос" of the status window on the link's virtual clock, the readings'
// history that the chart draws, and the reading of a field's text as a number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/link_fixture.h"
#include "window/status_history.h"

namespace vemtaro::testing {
namespace {

using Interval = StatusAutoPoll;

// ---------------------------------------------------------------- numbers

TEST(ReadingValue, NumbersAndNotNumbers) {
  struct Case {
    std::string text;
    std::optional<double> value;
  };
  const std::vector<Case> cases = {
      {"512", 512},
      {"0", 0},
      {"+21.5", 21.5},
      {"-4.5", -4.5},
      {"21,5", 21.5},
      {"  1023\t", 1023},
      {".5", 0.5},
      {"7.", 7},
      {"-0", 0},
      {"000123.250", 123.25},
      {std::string(32, '9'), 99999999999999999999999999999999.0},
      // Not numbers: nothing, signs and points alone, letters, units,
      // exponents, two points, inner blanks, too long, bytes above ASCII.
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"+.", std::nullopt},
      {".", std::nullopt},
      {"--1", std::nullopt},
      {"+-1", std::nullopt},
      {"12a", std::nullopt},
      {"ERR", std::nullopt},
      {"1e3", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1,2.3", std::nullopt},
      {"1 2", std::nullopt},
      {"0x1F", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"21.5\xB0", std::nullopt},
      {"21.5 C", std::nullopt},
      {std::string(33, '1'), std::nullopt},
      {std::string("1\0", 2), std::nullopt},
      {"1\r", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    const std::optional<double> value = ReadingValue(c.text);
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (value) {
      EXPECT_DOUBLE_EQ(*value, *c.value);
      EXPECT_FALSE(std::signbit(*value) && *value == 0) << "no negative zero";
    }
  }
}

// ---------------------------------------------------------------- history

StatusReading Reading(const std::string& analog1, const std::string& sensor1) {
  StatusReading reading;
  reading.analog[0] = analog1;
  reading.sensors[0] = sensor1;
  return reading;
}

TEST(StatusHistory, KeepsTheLastTenMinutesAndNoMoreThanItsBound) {
  struct Case {
    const char* name;
    Millis everyMs;
    Millis forMs;
    std::size_t kept;
  };
  // One sample a second for 20 minutes: the last 10 minutes and the sample at
  // their very start. Ten a second: the bound.
  for (const Case& c : {Case{"1 s", 1000, 20 * 60 * 1000, 601}, Case{"100 ms", 100, 20 * 60 * 1000, 1200}}) {
    SCOPED_TRACE(c.name);
    StatusHistory history;
    Millis last = 0;
    for (Millis at = 0; at <= c.forMs; at += c.everyMs) {
      history.Add(at, Reading(std::to_string(at / c.everyMs % 1000), "x"));
      last = at;
      ASSERT_LE(history.Samples().size(), StatusHistory::kMaxSamples);
    }
    EXPECT_EQ(history.Samples().size(), c.kept);
    EXPECT_GE(history.Samples().front().atMs, last - StatusHistory::kSpanMs);
    EXPECT_EQ(history.Samples().back().atMs, last);
  }
}

TEST(StatusHistory, NumbersOnlyAndEveryChangeCounted) {
  StatusHistory history;
  const auto start = history.Revision();
  StatusReading reading;
  for (std::size_t k = 0; k < 8; ++k) {
    reading.analog[k] = std::to_string(100 * (k + 1));
    reading.sensors[k] = k % 2 ? "---" : "+2" + std::to_string(k) + ".5";
  }
  reading.analog[7].reset();  // a short block: no line for it
  history.Add(42, reading);
  ASSERT_EQ(history.Samples().size(), 1u);
  const StatusSample& sample = history.Samples().front();
  EXPECT_EQ(sample.atMs, 42);
  for (std::size_t k = 0; k < 7; ++k) EXPECT_EQ(sample.values[k], 100.0 * static_cast<double>(k + 1)) << k;
  EXPECT_FALSE(sample.values[7].has_value()) << "a line the block did not hold is no reading";
  EXPECT_EQ(sample.values[8], 20.5);
  EXPECT_FALSE(sample.values[9].has_value()) << "a text that is no number is left out, not taken as 0";
  EXPECT_EQ(sample.values[14], 26.5);
  EXPECT_NE(history.Revision(), start);
  const auto added = history.Revision();
  history.Clear();
  EXPECT_TRUE(history.Samples().empty());
  EXPECT_NE(history.Revision(), added);
}

// ---------------------------------------------------------------- auto-poll

// Times at which "STAT\n" reached the controller since the mark, and nothing
// else was sent meanwhile.
std::vector<Millis> StatTimes(const LinkBench& b, std::size_t mark) {
  const std::string sent = b.Sent(mark);
  std::vector<Millis> times;
  const std::string stat = "STAT\n";
  for (std::size_t at = 0; at < sent.size(); at += stat.size()) {
    EXPECT_EQ(sent.substr(at, stat.size()), stat) << "at " << at << " of \"" << sent << "\"";
    times.push_back(b.SentAt(at, mark));
  }
  return times;
}

TEST(StatusAutoPoll, AsksAtOnceThenEveryThreeSecondsAndChartsTheReplies) {
  LinkBench b(15);
  b.sim().status().analog[0] = "512";
  b.sim().status().sensors[2] = "+21.5";
  b.sim().status().sensors[3] = "\xED\xE5\xF2";  // "нет" in Windows-1251
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  const Millis start = b.Now();
  b.link.AutoPollClick(true);
  EXPECT_TRUE(b.link.form5.AutoPoll);
  b.Run(10000 - 1);
  EXPECT_EQ(b.Sent(mark), "STAT\nSTAT\nSTAT\nSTAT\n");
  const std::vector<Millis> times = StatTimes(b, mark);
  ASSERT_EQ(times.size(), 4u);
  for (std::size_t i = 0; i < times.size(); ++i) {
    // Sent at once, then every 3 s; reaching the controller takes a step.
    EXPECT_LE(times[i] - start, static_cast<Millis>(i) * Interval::kIntervalMs + 2) << i;
    EXPECT_GE(times[i] - start, static_cast<Millis>(i) * Interval::kIntervalMs) << i;
  }
  const auto& samples = b.link.form5.History.Samples();
  ASSERT_EQ(samples.size(), 4u) << "every reply is charted";
  for (const StatusSample& s : samples) {
    EXPECT_EQ(s.values[0], 512.0);
    EXPECT_EQ(s.values[8 + 2], 21.5);
    EXPECT_FALSE(s.values[8 + 3].has_value());
  }
  EXPECT_EQ(b.link.form5.Dat[3], "нет") << "the field still shows the text as it came";
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(StatusAutoPoll, NeverAsksWhileTheLastRequestWaitsForItsReply) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  const std::size_t mark = b.Mark();
  const Millis start = b.Now();
  b.link.AutoPollClick(true);
  // No reply: nothing more for 10 s, then the request counts as lost and goes
  // again.
  b.Run(Interval::kLostAfterMs - 10);
  EXPECT_EQ(b.Sent(mark), "STAT\n");
  b.faults().silent = false;
  b.Run(20);
  EXPECT_EQ(b.Sent(mark), "STAT\nSTAT\n");
  // That one is answered; the next follows 3 s after it.
  ASSERT_TRUE(b.RunUntil([&] { return !b.matchers().GetStatus.Enabled(); }, 2000));
  EXPECT_EQ(b.link.form5.History.Samples().size(), 1u);
  b.Run(Interval::kIntervalMs);
  const std::vector<Millis> times = StatTimes(b, mark);
  ASSERT_EQ(times.size(), 3u);
  EXPECT_NEAR(static_cast<double>(times[1] - start), Interval::kLostAfterMs, 2);
  EXPECT_NEAR(static_cast<double>(times[2] - start), Interval::kLostAfterMs + Interval::kIntervalMs, 2);

  // A reply that has begun is awaited to its end, however slowly it comes.
  b.faults().silent = true;
  ASSERT_TRUE(b.RunUntil([&] { return b.Sent(mark).size() == 4 * 5; }, Interval::kIntervalMs + 10));
  b.Inject("STATUS\r\n01");
  b.Run(Interval::kLostAfterMs * 2);
  EXPECT_EQ(b.Sent(mark).size(), 4u * 5) << "no request while a reply is coming in";
  b.Inject("\r\n7\r\nENDSTATUS\r\n");
  b.Run(2);
  EXPECT_EQ(b.link.form5.ACP[0], "7");
  EXPECT_EQ(b.Sent(mark).size(), 5u * 5) << "asked again at once: the interval has long passed";
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(StatusAutoPoll, StopsWithTheWindowAndTheConnectionAndWaitsOutTransfers) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> end;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {"window closed", [](LinkBench& b) { b.link.StatusWindowClosed(); }, {}},
      {"switched off", [](LinkBench& b) { b.link.AutoPollClick(false); }, {}},
      {"port lost", [](LinkBench& b) { b.LosePort(); }, {}},
      {"another port chosen", [](LinkBench& b) { b.ClickPort(std::nullopt, "COM2"); }, {}},
      {"connection ended", [](LinkBench& b) { b.link.EndConnection(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(15);
    ASSERT_TRUE(b.Connect());
    b.link.AutoPollClick(true);
    b.Run(Interval::kIntervalMs * 2 - 10);
    const std::size_t mark = b.Mark();
    c.end(b);
    EXPECT_FALSE(b.link.form5.AutoPoll);
    b.Run(Interval::kIntervalMs * 4);
    EXPECT_EQ(b.Sent(mark).find("STAT"), std::string::npos) << b.Sent(mark);
    EXPECT_EQ(b.Shown(), c.shown);
  }
  {
    SCOPED_TRACE("no connection: it says so and stays off");
    LinkBench b(15);
    b.link.AutoPollClick(true);
    EXPECT_FALSE(b.link.form5.AutoPoll);
    EXPECT_EQ(b.Shown(), std::vector<std::string>{"Устройство не подключено !"});
    b.Run(Interval::kIntervalMs * 2);
    EXPECT_EQ(b.Sent(), "");
  }
  {
    SCOPED_TRACE("a read of the configuration: no request until it has ended");
    sim::ControllerOptions options = VersionOptions(15);
    options.image = DefaultImage(15);
    options.paced = true;  // the image takes 5.7 s to come
    LinkBench b(options);
    ASSERT_TRUE(b.Connect());
    b.link.AutoPollClick(true);
    ASSERT_TRUE(b.RunUntil([&] { return !b.matchers().GetStatus.Enabled(); }, 2000));
    const std::size_t mark = b.Mark();
    const Millis readStart = b.Now();
    b.link.N14Click();
    ASSERT_TRUE(b.link.Transferring());
    ASSERT_TRUE(b.RunUntil([&] { return !b.link.Transferring(); }, 60000));
    ASSERT_GT(b.Now() - readStart, Interval::kIntervalMs);
    EXPECT_EQ(b.link.loadResult, std::optional<bool>(true));
    EXPECT_EQ(b.Sent(mark), "LOAD\n") << "nothing else went out during the read";
    EXPECT_TRUE(b.link.form5.AutoPoll);
    b.Run(10);
    EXPECT_EQ(b.Sent(mark), "LOAD\nSTAT\n") << "asked again as soon as the read has ended";
  }
}

}  // namespace
}  // namespace vemtaro::testing
