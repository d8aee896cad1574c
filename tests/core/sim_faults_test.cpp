// Faults of the simulated controller: what each one does to the bytes on the line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "model/image.h"
#include "model/profiles.h"
#include "sim/controller_sim.h"

namespace vemtaro::sim {
namespace {

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string Byte(std::uint8_t b) { return std::string(1, static_cast<char>(b)); }

Bytes Pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
  return bytes;
}

ControllerOptions Options(int version, bool withImage = false) {
  ControllerOptions options;
  options.version = version;
  if (withImage) options.image = Pattern(FindProfile(version)->imageLength);
  return options;
}

ControllerSim ConnectedSim(ControllerOptions options) {
  ControllerSim sim(std::move(options));
  sim.Poll(0);
  sim.Receive("PC\r\n", 100);
  sim.Receive("PC_OK", 200);
  return sim;
}

// The image bytes of a LOAD reply, framing checked.
Bytes Delivered(const std::string& reply) {
  const std::string frame = "LOAD_OK\r\n";
  EXPECT_GE(reply.size(), 2 * frame.size());
  if (reply.size() < 2 * frame.size()) return {};
  EXPECT_EQ(reply.substr(0, frame.size()), frame);
  EXPECT_EQ(reply.substr(reply.size() - frame.size()), frame);
  return Bytes(reply.begin() + frame.size(), reply.end() - frame.size());
}

// A PC that repeats "LOAD\n" faster than a paced line carries the images
// gets whole images only, and no more of them than the queue holds.
TEST(SimFaults, RepeatedReadsQueueWholeImagesUpToTheBound) {
  ControllerOptions options = Options(15, true);
  options.paced = true;
  ControllerSim sim = ConnectedSim(options);
  std::string requests;
  for (int i = 0; i < 1000; ++i) requests += "LOAD\n";
  const std::size_t sent = sim.Receive(requests, 1000).size() + sim.Poll(2000).size();
  EXPECT_LE(sim.Pending().size(), kMaxQueuedBytes);
  const std::size_t reply = 2 * std::string("LOAD_OK\r\n").size() + options.image->size();
  EXPECT_EQ((sent + sim.Pending().size()) % reply, 0u) << "no answer is queued in part";
}

TEST(SimFaults, NoLoadOkIgnoresTheReadOnly) {
  ControllerSim sim = ConnectedSim(Options(15));
  sim.faults().noLoadOk = true;
  EXPECT_EQ(sim.Receive("LOAD\n", 1000), "");
  EXPECT_EQ(sim.Poll(100000), "");
  EXPECT_EQ(sim.Receive("ID\n", 100000).size(), 258u) << "other commands are answered";
}

TEST(SimFaults, BadChecksumAndShortImage) {
  for (int version : {10, 12, 15}) {
    ControllerSim sim = ConnectedSim(Options(version, true));
    sim.faults().badChecksum = true;
    const Bytes body = Delivered(sim.Receive("LOAD\n", 1000));
    ASSERT_EQ(body.size(), FindProfile(version)->imageLength);
    EXPECT_EQ(body.back(), static_cast<std::uint8_t>(ImageChecksum(body) + 1)) << version;

    sim.faults().badChecksum = false;
    sim.faults().shortImage = 100;
    const Bytes shortBody = Delivered(sim.Receive("LOAD\n", 2000));
    EXPECT_EQ(shortBody, Bytes(Pattern(100))) << version;
  }
}

TEST(SimFaults, SilentSendsNothingButListens) {
  ControllerSim sim(Options(15));
  sim.faults().silent = true;
  EXPECT_EQ(sim.Poll(0), "") << "not even a probe";
  EXPECT_EQ(sim.Receive("PC\r\n", 100), "");
  EXPECT_EQ(sim.Receive("PC_OK", 200), "");
  EXPECT_EQ(sim.state(), ControllerSim::State::Connected);
  std::int64_t t = 1000;
  for (const char* command : {"LOAD\n", "SAVE\n", "ID\n", "STAT\n", "TIME\n"}) {
    sim.Restart(t);
    sim.Receive("PC\r\nPC_OK", t + 100);
    EXPECT_EQ(sim.state(), ControllerSim::State::Connected) << command;
    EXPECT_EQ(sim.Receive(command, t + 200), "") << command;
    EXPECT_EQ(sim.Poll(t + 10000), "") << command;
    t += 20000;
  }
  EXPECT_TRUE(sim.Pending().empty());
}

TEST(SimFaults, GarbageReplacesEveryByteFromTheSeed) {
  const auto run = [](std::optional<std::uint32_t> seed) {
    ControllerSim sim(Options(15));
    sim.faults().garbageSeed = seed;
    std::string out = sim.Poll(0);
    out += sim.Receive("PC\r\n", 100);
    return out;
  };
  const std::string clean = run(std::nullopt);
  ASSERT_EQ(clean, "ATI\rVer.GSM-ALARM 15\r\n");
  const std::string a = run(7);
  EXPECT_EQ(a.size(), clean.size()) << "same length, other bytes";
  EXPECT_NE(a, clean);
  EXPECT_EQ(a.find("ATI"), std::string::npos);
  EXPECT_EQ(a, run(7)) << "the same seed gives the same bytes";
  EXPECT_NE(a, run(8));
}

TEST(SimFaults, DroppedAcknowledgementIsTakenOnTheRepeat) {
  const std::size_t k = 40;
  ControllerSim sim = ConnectedSim(Options(12));
  sim.faults().dropAckAt = k;
  const Bytes sent = Pattern(5121);
  std::int64_t t = 1000;
  ASSERT_EQ(sim.Receive("SAVE\n", t), "SAVE_OK\r\n");
  std::string acks;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    t += 2;
    std::string answer = sim.Receive(Byte(sent[i]), t);
    if (i == k) {
      ASSERT_EQ(answer, "") << "byte k is not answered";
      t += 300;  // the PC's 5-tick wait runs out and it sends the byte again
      answer = sim.Receive(Byte(sent[i]), t);
    }
    acks += answer;
  }
  EXPECT_EQ(acks, std::string(sent.size(), 'o') + "SAVE_OK\r\n");
  EXPECT_EQ(sim.image(), sent) << "the repeat is byte k, not byte k+1";
}

TEST(SimFaults, ThreeDroppedAcknowledgementsEndTheWrite) {
  const std::size_t k = 5;
  ControllerSim sim = ConnectedSim(Options(14));
  sim.faults().dropAckAt = k;
  sim.faults().dropAckCount = 3;
  std::int64_t t = 1000;
  sim.Receive("SAVE\n", t);
  for (std::size_t i = 0; i < k; ++i) EXPECT_EQ(sim.Receive("Z", ++t), "o");
  for (int attempt = 0; attempt < 3; ++attempt) {
    t += 300;
    EXPECT_EQ(sim.Receive("Y", t), "") << attempt;
  }
  sim.Poll(t + 2000);
  EXPECT_EQ(sim.state(), ControllerSim::State::Connected) << "the abandoned write times out";
  EXPECT_EQ(sim.image()[k - 1], 'Z');
  EXPECT_EQ(sim.image()[k], 0);
}

TEST(SimFaults, LateAcknowledgementAndTheRepeatSentMeanwhile) {
  const std::size_t k = 3;
  ControllerSim sim = ConnectedSim(Options(15));
  sim.faults().lateAckAt = k;
  sim.faults().lateAckMs = 500;
  const Bytes sent = Pattern(5484);
  std::int64_t t = 1000;
  sim.Receive("SAVE\n", t);
  for (std::size_t i = 0; i < k; ++i) ASSERT_EQ(sim.Receive(Byte(sent[i]), ++t), "o");
  t += 1;
  const std::int64_t sentAt = t;
  EXPECT_EQ(sim.Receive(Byte(sent[k]), t), "");
  EXPECT_EQ(sim.NextEventMs(), sentAt + 500);
  EXPECT_EQ(sim.Receive(Byte(sent[k]), sentAt + 300), "") << "the repeat arrives while busy and is dropped";
  EXPECT_EQ(sim.Poll(sentAt + 499), "");
  EXPECT_EQ(sim.Poll(sentAt + 500), "o");
  t = sentAt + 500;
  std::string acks;
  for (std::size_t i = k + 1; i < sent.size(); ++i) acks += sim.Receive(Byte(sent[i]), ++t);
  EXPECT_EQ(acks, std::string(sent.size() - k - 1, 'o') + "SAVE_OK\r\n");
  EXPECT_EQ(sim.image(), sent);
}

// Without the final "SAVE_OK" nothing more comes, at once or after a delay
// for it; the image is kept all the same.
TEST(SimFaults, NoFinalSaveOk) {
  for (int version : {11, 13}) {
    for (std::int64_t delayMs : {0, 500}) {
      SCOPED_TRACE(std::to_string(version) + ", delay " + std::to_string(delayMs));
      ControllerOptions options = Options(version);
      options.saveOkDelayMs = delayMs;
      ControllerSim sim = ConnectedSim(options);
      sim.faults().noFinalSaveOk = true;
      const Bytes sent = Pattern(5484);
      std::int64_t t = 1000;
      sim.Receive("SAVE\n", t);
      std::string answers;
      for (std::uint8_t b : sent) {
        answers += sim.Receive(Byte(b), ++t);
        if (version < 12) answers += sim.Receive("\n", ++t);
      }
      EXPECT_FALSE(sim.NextEventMs().has_value()) << "nothing more to send";
      answers += sim.Poll(t + 10000);
      EXPECT_EQ(answers, version >= 12 ? std::string(sent.size(), 'o') : "");
      EXPECT_EQ(sim.image(), sent);
    }
  }
}

TEST(SimFaults, LateLastAcknowledgementAndDelayedSaveOk) {
  ControllerOptions options = Options(12);
  options.saveOkDelayMs = 200;
  ControllerSim sim = ConnectedSim(options);
  sim.faults().lateAckAt = 5120;
  sim.faults().lateAckMs = 300;
  const Bytes sent = Pattern(5121);
  std::int64_t t = 1000;
  sim.Receive("SAVE\n", t);
  std::string acks;
  for (std::size_t i = 0; i + 1 < sent.size(); ++i) acks += sim.Receive(Byte(sent[i]), ++t);
  EXPECT_EQ(acks, std::string(5120, 'o'));
  const std::int64_t last = ++t;
  EXPECT_EQ(sim.Receive(Byte(sent.back()), last), "");
  EXPECT_EQ(sim.Poll(last + 300), "o");
  EXPECT_EQ(sim.Poll(last + 499), "");
  EXPECT_EQ(sim.Poll(last + 500), "SAVE_OK\r\n") << "the delay counts from the late \"o\"";
}

TEST(SimFaults, HangUpDuringARead) {
  ControllerSim sim = ConnectedSim(Options(15, true));
  sim.faults().hangUpAt = 1000;
  EXPECT_EQ(sim.Receive("LOAD\n", 1000), "LOAD_OK\r\n" + Str(Pattern(1000)));
  EXPECT_EQ(sim.state(), ControllerSim::State::HungUp);
  EXPECT_EQ(sim.Receive("BYE", 2000), "");
  EXPECT_EQ(sim.Receive("PC\r\nID\n", 3000), "");
  EXPECT_EQ(sim.Poll(100000), "");
  EXPECT_FALSE(sim.NextEventMs().has_value());
  sim.faults().hangUpAt.reset();
  sim.Restart(200000);
  EXPECT_EQ(sim.Poll(200000), "ATI\r") << "alive again after a restart";
}

TEST(SimFaults, HangUpDuringAWrite) {
  for (int version : {10, 12}) {
    const std::size_t k = 7;
    ControllerSim sim = ConnectedSim(Options(version));
    sim.faults().hangUpAt = k;
    std::int64_t t = 1000;
    sim.Receive("SAVE\n", t);
    std::string answers;
    const Bytes sent = Pattern(5121);
    for (std::uint8_t b : sent) {
      answers += sim.Receive(Byte(b), ++t);
      if (version < 12) answers += sim.Receive("\n", ++t);
    }
    answers += sim.Poll(t + 10000);
    EXPECT_EQ(answers, version >= 12 ? std::string(k, 'o') : "") << version;
    EXPECT_EQ(sim.state(), ControllerSim::State::HungUp);
    EXPECT_EQ(sim.image()[k - 1], sent[k - 1]);
    EXPECT_EQ(sim.image()[k], 0);
  }
}

}  // namespace
}  // namespace vemtaro::sim
