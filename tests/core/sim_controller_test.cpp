// The simulated controller: the handshake, the probing, and the bytes of every
// exchange (read, write, clock, identifiers, status, relays), driven by feeding
// bytes and times.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/image.h"
#include "model/profiles.h"
#include "sim/controller_sim.h"

namespace vemtaro::sim {
namespace {

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string Byte(std::uint8_t b) { return std::string(1, static_cast<char>(b)); }

// An image of n bytes in which every byte value occurs, "\n" and "\r" included.
Bytes Pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
  return bytes;
}

// The image as the PC sends it: the checksum in the last byte when the version has one.
Bytes AsSent(Bytes image, int version) {
  const VersionProfile* profile = FindProfile(version);
  if (profile != nullptr && profile->checksum) image.back() = ImageChecksum(image);
  return image;
}

ControllerOptions WithVersion(int version) {
  ControllerOptions options;
  options.version = version;
  return options;
}

// A controller that has finished the handshake at 200 ms.
ControllerSim ConnectedSim(ControllerOptions options = {}) {
  ControllerSim sim(std::move(options));
  sim.Poll(0);
  sim.Receive("PC\r\n", 100);
  sim.Receive("PC_OK", 200);
  return sim;
}

// Splits a reply at every "\r\n", dropping the separators.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  EXPECT_EQ(start, text.size()) << "bytes after the last line end";
  return lines;
}

TEST(SimHandshake, BytesInOrder) {
  ControllerSim sim;
  EXPECT_EQ(sim.Poll(0), "ATI\r");
  EXPECT_EQ(sim.Receive("BYE", 10), "");  // the PC opening its port: still probing
  EXPECT_EQ(sim.state(), ControllerSim::State::Probing);
  EXPECT_EQ(sim.Receive("PC\r\n", 100), "Ver.GSM-ALARM 15\r\n");
  EXPECT_EQ(sim.state(), ControllerSim::State::AwaitingPcOk);
  EXPECT_EQ(sim.Receive("PC_OK", 150), "");
  EXPECT_EQ(sim.state(), ControllerSim::State::Connected);
  EXPECT_EQ(sim.Poll(60000), "") << "no probes once connected";
  EXPECT_FALSE(sim.NextEventMs().has_value());
}

TEST(SimHandshake, VersionTextHoldsTheVersionInCharacters10To12) {
  for (int v = kMinFirmware; v <= kMaxFirmware; ++v) {
    ControllerSim sim(WithVersion(v));
    sim.Poll(0);
    const std::string reply = sim.Receive("PC\r\n", 100);
    ASSERT_EQ(reply.substr(0, 4), "Ver.") << v;
    ASSERT_EQ(reply.substr(reply.size() - 2), "\r\n") << v;
    const std::string text = reply.substr(4, reply.size() - 6);
    EXPECT_EQ(text, DefaultVersionText(v));
    ASSERT_GE(text.size(), 12u);
    EXPECT_EQ(std::stoi(text.substr(9, 3)), v);
  }
  ControllerOptions options;
  options.versionText = "custom text 1.5";
  ControllerSim sim(options);
  sim.Poll(0);
  EXPECT_EQ(sim.Receive("PC\r\n", 100), "Ver.custom text 1.5\r\n");
}

TEST(SimHandshake, CommandsWaitForPcOk) {
  ControllerSim sim;
  sim.Poll(0);
  EXPECT_EQ(sim.Receive("LOAD\n", 10), "") << "not before the PC has answered";
  sim.Receive("PC\r\n", 100);
  EXPECT_EQ(sim.Receive("ID\n", 150), "") << "not before PC_OK";
  EXPECT_EQ(sim.Receive("PC\r\n", 160), "Ver.GSM-ALARM 15\r\n") << "a second PC is answered again";
  sim.Receive("PC_OK", 200);
  EXPECT_EQ(sim.Receive("ID\n", 300), std::string(256, '0') + "\r\n");
}

TEST(SimHandshake, ByeAndMissingPcOkReturnToProbing) {
  ControllerSim sim = ConnectedSim();
  EXPECT_EQ(sim.Receive("BYE", 5000), "");
  EXPECT_EQ(sim.state(), ControllerSim::State::Probing);
  EXPECT_EQ(sim.NextEventMs(), 6000);
  EXPECT_EQ(sim.Poll(5999), "");
  EXPECT_EQ(sim.Poll(6000), "ATI\r");
  EXPECT_EQ(sim.Receive("PC\r\n", 6100), "Ver.GSM-ALARM 15\r\n");
  // No "PC_OK" (an old version the PC refuses): probing again after 3 s.
  EXPECT_EQ(sim.NextEventMs(), 9100);
  EXPECT_EQ(sim.Poll(9099), "");
  EXPECT_EQ(sim.Poll(9100), "ATI\r");
  EXPECT_EQ(sim.state(), ControllerSim::State::Probing);
}

TEST(SimProbing, FollowsTheInterval) {
  for (std::int64_t interval : {250, 1000, 3000}) {
    ControllerOptions options;
    options.probeIntervalMs = interval;
    ControllerSim sim(options);
    EXPECT_EQ(sim.Poll(500), "ATI\r") << "first probe at the first moment seen";
    EXPECT_EQ(sim.Poll(500 + interval - 1), "") << interval;
    EXPECT_EQ(sim.NextEventMs(), 500 + interval);
    EXPECT_EQ(sim.Poll(500 + interval), "ATI\r") << interval;
    // A late call sends the overdue probe once and keeps the period.
    EXPECT_EQ(sim.Poll(500 + 10 * interval + 5), "ATI\r") << interval;
    EXPECT_EQ(sim.NextEventMs(), 500 + 11 * interval);
  }
  ControllerOptions options;
  options.probe = "ATI\r\n";
  ControllerSim sim(options);
  EXPECT_EQ(sim.Poll(0), "ATI\r\n");
}

TEST(SimProbing, KeepProbingUntilPcOk) {
  ControllerOptions options;
  options.keepProbing = true;
  options.probeIntervalMs = 250;
  ControllerSim sim(options);
  EXPECT_EQ(sim.Poll(0), "ATI\r");
  EXPECT_EQ(sim.Receive("PC\r\n", 100), "Ver.GSM-ALARM 15\r\n");
  EXPECT_EQ(sim.NextEventMs(), 250) << "the next probe, before the PC_OK deadline";
  EXPECT_EQ(sim.Poll(250), "ATI\r");
  EXPECT_EQ(sim.Poll(499), "");
  EXPECT_EQ(sim.Poll(500), "ATI\r");
  EXPECT_EQ(sim.state(), ControllerSim::State::AwaitingPcOk) << "still waiting for PC_OK";
  EXPECT_EQ(sim.Receive("PC_OK", 600), "");
  EXPECT_EQ(sim.Poll(10000), "") << "no probes once connected";
  EXPECT_FALSE(sim.NextEventMs().has_value());

  // Without the option the probes stop at the PC's answer.
  ControllerSim quiet;
  quiet.Poll(0);
  quiet.Receive("PC\r\n", 100);
  EXPECT_EQ(quiet.NextEventMs(), 3100);
  EXPECT_EQ(quiet.Poll(3099), "");
}

TEST(SimLoad, FramingImageAndChecksum) {
  for (const VersionProfile& profile : kProfiles) {
    ControllerOptions options = WithVersion(profile.version);
    options.image = Pattern(profile.imageLength);
    ControllerSim sim = ConnectedSim(options);
    const std::string reply = sim.Receive("LOAD\n", 1000);
    const std::string head = "LOAD_OK\r\n";
    const std::string tail = "LOAD_OK\r\n";
    ASSERT_EQ(reply.size(), head.size() + profile.imageLength + tail.size()) << profile.version;
    EXPECT_EQ(reply.substr(0, head.size()), head);
    EXPECT_EQ(reply.substr(reply.size() - tail.size()), tail);
    const Bytes body(reply.begin() + head.size(), reply.end() - tail.size());
    const Bytes stored = Pattern(profile.imageLength);
    EXPECT_TRUE(std::equal(body.begin(), body.end() - 1, stored.begin())) << profile.version;
    if (profile.checksum) {
      EXPECT_EQ(body.back(), ImageChecksum(body)) << profile.version;
    } else {
      EXPECT_EQ(body.back(), stored.back()) << "version 10 sends its last byte as stored";
    }
  }
}

TEST(SimLoad, ImageIsFittedToTheVersion) {
  ControllerOptions options = WithVersion(12);
  options.image = Bytes(10, '7');
  ControllerSim sim(options);
  ASSERT_EQ(sim.image().size(), 5121u);
  EXPECT_EQ(sim.image()[9], '7');
  EXPECT_EQ(sim.image()[10], 0);
  EXPECT_EQ(ControllerSim(WithVersion(15)).image(), Bytes(5484, 0));
}

// Drives a write the way the PC does and checks every answer.
void WriteImage(ControllerSim& sim, const Bytes& image, std::int64_t& t, bool acknowledged) {
  EXPECT_EQ(sim.Receive("SAVE\n", t), "SAVE_OK\r\n");
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool last = i + 1 == image.size();
    t += 2;
    if (acknowledged) {
      ASSERT_EQ(sim.Receive(Byte(image[i]), t), last ? "oSAVE_OK\r\n" : "o") << "byte " << i;
    } else {
      ASSERT_EQ(sim.Receive(Byte(image[i]), t), "") << "byte " << i;
      t += 5;
      ASSERT_EQ(sim.Receive("\n", t), last ? "SAVE_OK\r\n" : "") << "separator " << i;
      t += 5;
    }
  }
}

TEST(SimSave, EachVersionAcknowledgesOrTakesSeparatorsAndKeepsTheImage) {
  for (const VersionProfile& profile : kProfiles) {
    const bool acknowledged = profile.version >= 12;
    ControllerSim sim = ConnectedSim(WithVersion(profile.version));
    const Bytes sent = AsSent(Pattern(profile.imageLength), profile.version);
    std::int64_t t = 1000;
    WriteImage(sim, sent, t, acknowledged);
    EXPECT_EQ(sim.state(), ControllerSim::State::Connected) << profile.version;
    EXPECT_EQ(sim.image(), sent) << profile.version;
    EXPECT_EQ(sim.Receive("LOAD\n", t + 100), "LOAD_OK\r\n" + Str(sent) + "LOAD_OK\r\n") << profile.version;
  }
}

// The final "SAVE_OK\r\n" comes saveOkDelayMs after the end of the image:
// after the last "\n" below version 12, after the last "o" from 12 on.
TEST(SimSave, FinalSaveOkDelay) {
  for (int version : {10, 15}) {
    for (std::int64_t delay : {0, 1500}) {
      for (bool paced : {false, true}) {
        SCOPED_TRACE(std::to_string(version) + " delay " + std::to_string(delay) + (paced ? " paced" : ""));
        ControllerOptions options = WithVersion(version);
        options.saveOkDelayMs = delay;
        options.paced = paced;
        ControllerSim sim = ConnectedSim(options);
        const Bytes sent = AsSent(Pattern(ImageLengthOf(version)), version);
        sim.Receive("SAVE\n", 1000);
        std::int64_t t = 2000;
        sim.Poll(t);
        std::string answers;
        for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
          answers += sim.Receive(Byte(sent[i]), t += 5);
          if (version < 12) answers += sim.Receive("\n", t += 5);
        }
        answers += sim.Poll(t += 5);
        ASSERT_EQ(answers, version >= 12 ? std::string(sent.size() - 1, 'o') : "");

        // The last byte, and below 12 its "\n" 5 ms later: the end of the image.
        const std::int64_t endMs = version < 12 ? t + 5 : t;
        std::string seen = sim.Receive(Byte(sent.back()), t);
        if (version < 12) seen += sim.Receive("\n", endMs);
        EXPECT_EQ(sim.state(), ControllerSim::State::Connected);
        std::int64_t dueUs = (endMs + delay) * 1000;
        if (paced && version >= 12 && delay == 0) dueUs += kByteTimeUs;  // after the "o" on the line
        if (delay > 0) {
          ASSERT_FALSE(sim.Pending().empty());
          EXPECT_EQ(sim.Pending().front().dueUs, dueUs);
          EXPECT_EQ(sim.NextEventMs(), endMs + delay);
        }
        // The first moment "SAVE_OK" has begun to come.
        std::int64_t ms = endMs;
        while (seen.find('S') == std::string::npos && ms < endMs + 10000) seen += sim.Poll(++ms);
        EXPECT_EQ(ms, (dueUs + 999) / 1000);
        seen += sim.Poll(ms + 100);
        EXPECT_EQ(seen, std::string(version >= 12 ? "o" : "") + "SAVE_OK\r\n");
        EXPECT_EQ(sim.image(), sent);
      }
    }
  }
}

TEST(SimSave, AcknowledgementTextIsAnOption) {
  ControllerOptions options = WithVersion(15);
  options.ack = "O";
  ControllerSim sim = ConnectedSim(options);
  sim.Receive("SAVE\n", 1000);
  EXPECT_EQ(sim.Receive("ab", 1001), "OO");
}

TEST(SimSave, AbandonedWriteReturnsToCommandsAfterIdleTime) {
  ControllerSim sim = ConnectedSim(WithVersion(13));
  sim.Receive("SAVE\n", 1000);
  for (int i = 0; i < 10; ++i) sim.Receive("A", 1001 + i);
  EXPECT_EQ(sim.NextEventMs(), 1010 + 2000);
  sim.Poll(3009);
  EXPECT_EQ(sim.state(), ControllerSim::State::ReceivingImage);
  sim.Poll(3010);
  EXPECT_EQ(sim.state(), ControllerSim::State::Connected);
  EXPECT_EQ(sim.image()[9], 'A') << "bytes are written as they come";
  EXPECT_EQ(sim.image()[10], 0);
  EXPECT_EQ(sim.Receive("ID\n", 3100), std::string(256, '0') + "\r\n");
}

TEST(SimTime, SetsTheClockAndReportsIt) {
  ControllerSim sim = ConnectedSim();
  EXPECT_EQ(sim.Receive("TIME\n", 1000), "TIME_OK\r\n");
  EXPECT_EQ(sim.Receive("09:05:07\n", 1010), "");
  EXPECT_EQ(sim.Receive("08-12-26\n", 1020), "09:05:07*08-12-26*\r\n");
  EXPECT_EQ(sim.ClockText(1020 + 61000), "09:06:08*08-12-26") << "the clock runs";

  struct Case {
    const char* time;
    const char* date;
    const char* oneSecondLater;
  };
  const std::vector<Case> cases = {
      {"23:59:59", "31-12-26", "00:00:00*01-01-27"},
      {"23:59:59", "28-02-28", "00:00:00*29-02-28"},
      {"23:59:59", "28-02-27", "00:00:00*01-03-27"},
      {"23:59:59", "31-12-99", "00:00:00*01-01-00"},
  };
  std::int64_t t = 2000;
  for (const auto& c : cases) {
    sim.Receive("TIME\n", t);
    sim.Receive(std::string(c.time) + "\n", t);
    sim.Receive(std::string(c.date) + "\n", t);
    EXPECT_EQ(sim.ClockText(t + 1000), c.oneSecondLater) << c.time << " " << c.date;
    t += 5000;
  }
}

TEST(SimTime, UnreadableTimeLeavesTheClock) {
  ControllerOptions options;
  options.clock = ClockTime{2026, 12, 8, 12, 0, 0};
  options.clockTrailer = "";
  ControllerSim sim = ConnectedSim(options);  // clock starts at 0 ms
  for (const char* bad :
       {"25:00:00\n31-12-26\n", "12:00:00\n30-02-26\n", "12-00-00\n01-01-26\n", "1:2:3\n01-01-26\n"}) {
    EXPECT_EQ(sim.Receive("TIME\n", 10000), "TIME_OK\r\n");
    EXPECT_EQ(sim.Receive(bad, 10000), "12:00:10*08-12-26\r\n") << bad;
  }
  EXPECT_EQ(sim.Receive("TIME\n", 20000), "TIME_OK\r\n");
  EXPECT_EQ(sim.Receive("10:00:00\r\n01-02-03\r\n", 20000), "10:00:00*01-02-03\r\n")
      << "a \"\\r\" before the line end is tolerated";
}

TEST(SimId, SixteenGroupsOfSixteen) {
  ControllerSim sim = ConnectedSim();
  sim.identifiers()[0] = "0123456789ABCDEF";
  sim.identifiers()[15] = "FEDCBA9876543210";
  sim.identifiers()[3] = "12AB";  // short: filled with "0"
  const std::string reply = sim.Receive("ID\n", 1000);
  ASSERT_EQ(reply.size(), 256u + 2);
  EXPECT_EQ(reply.substr(256), "\r\n");
  EXPECT_EQ(reply.substr(0, 16), "0123456789ABCDEF");
  EXPECT_EQ(reply.substr(16, 16), "0000000000000000");
  EXPECT_EQ(reply.substr(48, 16), "12AB000000000000");
  EXPECT_EQ(reply.substr(240, 16), "FEDCBA9876543210");
}

TEST(SimStat, EighteenLinesBetweenStatusAndEndStatus) {
  ControllerSim sim = ConnectedSim();
  sim.status().inputs = {true, false, false, false, false, false, false, true};
  sim.status().inputs[2] = true;  // input 3
  sim.status().analog[0] = "512";
  sim.status().analog[7] = "1023";
  sim.status().sensors[0] = "+23.5";
  sim.status().key = "0123456789ABCDEF";
  const std::vector<std::string> lines = Lines(sim.Receive("STAT\n", 1000));
  ASSERT_EQ(lines.size(), 1u + 18 + 1);
  EXPECT_EQ(lines.front(), "STATUS");
  EXPECT_EQ(lines.back(), "ENDSTATUS");
  EXPECT_EQ(lines[1], "10000101") << "input 8 first";
  EXPECT_EQ(lines[2], "512");
  EXPECT_EQ(lines[9], "1023");
  EXPECT_EQ(lines[10], "+23.5");
  EXPECT_EQ(lines[17], "0");
  EXPECT_EQ(lines[18], "0123456789ABCDEF");
}

TEST(SimReleset, SetsRelaysWithoutAnswer) {
  ControllerSim sim = ConnectedSim();
  EXPECT_EQ(sim.Receive("RELESET\n", 1000), "");
  EXPECT_EQ(sim.state(), ControllerSim::State::ReadingRelays);
  EXPECT_EQ(sim.Receive("10100000\n", 1060), "");
  EXPECT_EQ(sim.relays(), (std::array<bool, 8>{true, false, true, false, false, false, false, false}));
  EXPECT_EQ(sim.Receive("RELESET\n11000001\n", 2000), "");
  EXPECT_EQ(sim.relays(), (std::array<bool, 8>{true, true, false, false, false, false, false, true}));
  // A short line leaves the relays beyond it alone.
  sim.Receive("RELESET\n0\n", 3000);
  EXPECT_EQ(sim.relays(), (std::array<bool, 8>{false, true, false, false, false, false, false, true}));
  EXPECT_EQ(sim.state(), ControllerSim::State::Connected);
  EXPECT_EQ(Lines(sim.Receive("STAT\n", 3100)).size(), 20u) << "commands are taken again";
}

TEST(SimTiming, ReplyDelayAndPacing) {
  ControllerOptions options;
  options.replyDelayMs = 20;
  options.paced = true;
  options.image = Pattern(5484);
  ControllerSim sim = ConnectedSim(options);
  EXPECT_EQ(sim.Receive("LOAD\n", 1000), "");
  EXPECT_EQ(sim.NextEventMs(), 1020);
  ASSERT_EQ(sim.Pending().size(), 9u + 5484 + 9);
  for (std::size_t i = 0; i < sim.Pending().size(); ++i) {
    ASSERT_EQ(sim.Pending()[i].dueUs, 1020000 + static_cast<std::int64_t>(i) * kByteTimeUs) << i;
  }
  EXPECT_EQ(sim.Poll(1030), "LOAD_OK\r\n" + std::string(1, static_cast<char>(Pattern(1)[0])))
      << "10 bytes in the first 10 ms";
  std::string rest = sim.Poll(1020 + 6000);
  EXPECT_EQ(rest.size(), 5484u + 9 - 1);
  EXPECT_TRUE(sim.Pending().empty());
  // Paced replies never overlap: an answer queued while the line is busy waits.
  sim.Receive("ID\n", 7000);
  sim.Receive("ID\n", 7001);
  ASSERT_EQ(sim.Pending().size(), 2u * 258);
  EXPECT_EQ(sim.Pending()[258].dueUs, 7020000 + 258 * kByteTimeUs);
}

}  // namespace
}  // namespace vemtaro::sim
