// The strict controller: a PC that keeps the protocol leaves no violation for
// any firmware version, and each way of breaking it is reported with its facts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/image.h"
#include "model/profiles.h"
#include "sim/controller_sim.h"

namespace vemtaro::sim {
namespace {

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// An image of n bytes in which every byte value occurs, "\n" and "\r" included.
Bytes Pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
  return bytes;
}

// The image as the PC sends it: the checksum in the last byte when the version has one.
Bytes AsSent(Bytes image, int version) {
  if (FindProfile(version)->checksum) image.back() = ImageChecksum(image);
  return image;
}

ControllerOptions Strict(int version) {
  ControllerOptions options;
  options.version = version;
  options.strict = true;
  return options;
}

// The PC's end in virtual time: sends at `t`, and lets time pass only while
// it waits for an answer.
class Pc {
 public:
  explicit Pc(ControllerSim& sim) : sim_(sim) {}

  std::int64_t t = 0;
  std::string got;  // what came and was not taken yet

  void Send(std::string_view bytes) { got += sim_.Receive(bytes, t); }

  // Waits until `text` has come; whether it came before the controller fell
  // quiet. What came up to its end is taken.
  bool WaitFor(std::string_view text) {
    for (;;) {
      const std::size_t at = got.find(text);
      if (at != std::string::npos) {
        got.erase(0, at + text.size());
        return true;
      }
      const auto next = sim_.NextEventMs();
      if (!next || sim_.state() == ControllerSim::State::Probing) return false;
      t = std::max(t, *next);
      got += sim_.Poll(t);
    }
  }
  // Waits for n bytes and takes them.
  std::string WaitForBytes(std::size_t n) {
    while (got.size() < n) {
      const auto next = sim_.NextEventMs();
      if (!next) break;
      t = std::max(t, *next);
      got += sim_.Poll(t);
    }
    std::string taken = got.substr(0, n);
    got.erase(0, taken.size());
    return taken;
  }

 private:
  ControllerSim& sim_;
};

// Opening the port ("BYE"), answering one probe, taking the version: connected at 200 ms.
void Connect(ControllerSim& sim, Pc& pc) {
  pc.t = 0;
  pc.got = sim.Poll(0);
  pc.t = 5;
  pc.Send("BYE");
  ASSERT_EQ(pc.got, "ATI\r");
  pc.got.clear();
  pc.t = 100;
  pc.Send("PC\r\n");
  ASSERT_TRUE(pc.WaitFor("Ver." + sim.VersionText() + "\r\n"));
  pc.t = std::max<std::int64_t>(pc.t, 200);
  pc.Send("PC_OK");
  pc.t = 1000;
}

// How a write may differ from the PC's: at image byte `at`, below version 12
// another separator or other pauses; from version 12 on the next byte sent
// with it, or after nextAfterMs without waiting for the "o".
struct Tweak {
  std::optional<std::size_t> at;
  std::uint8_t separator = '\n';
  std::int64_t toSeparatorMs = kSeparatorPauseMs;
  std::int64_t toNextMs = kSeparatorPauseMs;
  bool together = false;
  std::optional<std::int64_t> nextAfterMs;
};

// "SAVE\n" and the image as the PC sends it; whether the final "SAVE_OK" came.
// Below version 12 the first byte goes 1 ms after "SAVE_OK", then byte, 5 ms,
// "\n", 5 ms; from 12 on each byte goes 1 ms after the "o" of the one before.
bool Write(Pc& pc, const Bytes& image, int version, const Tweak& tweak = {}) {
  pc.Send("SAVE\n");
  if (!pc.WaitFor("SAVE_OK\r\n")) return false;
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool tweaked = tweak.at && *tweak.at == i;
    const std::string byte(1, static_cast<char>(image[i]));
    if (versions::AcknowledgedBytes(version)) {
      pc.t += 1;
      if (tweaked && tweak.together) {
        pc.Send(byte + static_cast<char>(image[i + 1]));
        if (!pc.WaitFor("o") || !pc.WaitFor("o")) return false;
        ++i;
      } else if (tweaked && tweak.nextAfterMs) {
        pc.Send(byte);
        pc.t += *tweak.nextAfterMs;
        pc.Send(std::string(1, static_cast<char>(image[i + 1])));
        if (!pc.WaitFor("o") || !pc.WaitFor("o")) return false;
        ++i;
      } else {
        pc.Send(byte);
        if (!pc.WaitFor("o")) return false;
      }
    } else {
      pc.t += i == 0 ? 1 : 0;
      pc.Send(byte);
      pc.t += tweaked ? tweak.toSeparatorMs : kSeparatorPauseMs;
      pc.Send(std::string(1, static_cast<char>(tweaked ? tweak.separator : '\n')));
      pc.t += tweaked ? tweak.toNextMs : kSeparatorPauseMs;
    }
  }
  return pc.WaitFor("SAVE_OK\r\n");
}

// "LOAD\n" and the image that comes between the two "LOAD_OK\r\n".
std::string Read(Pc& pc, std::size_t length) {
  pc.Send("LOAD\n");
  if (!pc.WaitFor("LOAD_OK\r\n")) return "no LOAD_OK";
  const std::string image = pc.WaitForBytes(length);
  if (!pc.WaitFor("LOAD_OK\r\n")) return "no closing LOAD_OK";
  return image;
}

// Every exchange of the PC, done as the PC does it.
void WholeSession(ControllerSim& sim, int version) {
  Pc pc(sim);
  Connect(sim, pc);
  const std::size_t length = ImageLengthOf(version);
  EXPECT_EQ(Read(pc, length), Str(sim.image()));

  const Bytes written = AsSent(Pattern(length), version);
  ASSERT_TRUE(Write(pc, written, version));
  EXPECT_EQ(Read(pc, length), Str(written)) << "delivered as it was written";

  pc.Send("TIME\n");
  ASSERT_TRUE(pc.WaitFor("TIME_OK\r\n"));
  pc.Send("09:05:07\n");
  pc.Send("08-12-26\n");
  ASSERT_TRUE(pc.WaitFor("\r\n"));
  pc.Send("ID\n");
  EXPECT_EQ(pc.WaitForBytes(258).substr(256), "\r\n");
  pc.Send("STAT\n");
  ASSERT_TRUE(pc.WaitFor("ENDSTATUS\r\n"));
  pc.t += 100;
  pc.Send("RELESET\n");
  pc.t += 60;
  pc.Send("10100001\n");
  pc.t += 100;

  // Ending the session and starting another on the next probe.
  pc.Send("BYE");
  pc.got.clear();
  pc.t += 1000 + 10;  // the next probe has gone out, paced or not
  pc.got += sim.Poll(pc.t);
  ASSERT_EQ(pc.got, "ATI\r");
  pc.t += 50;
  pc.Send("PC\r\n");
  ASSERT_TRUE(pc.WaitFor("\r\n"));
  pc.Send("PC_OK");
  pc.t += 50;
  pc.Send("BYE");
  EXPECT_EQ(sim.state(), ControllerSim::State::Probing);
}

TEST(SimStrict, APcThatKeepsTheProtocolBreaksNoRule) {
  for (int version = kMinFirmware; version <= kMaxFirmware; ++version) {
    for (bool slow : {false, true}) {
      SCOPED_TRACE(std::to_string(version) + (slow ? " paced, answers 20 ms late" : ""));
      ControllerOptions options = Strict(version);
      options.paced = slow;
      options.replyDelayMs = slow ? 20 : 0;
      options.image = AsSent(Pattern(ImageLengthOf(version)), version);
      ControllerSim sim(options);
      WholeSession(sim, version);
      EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
      EXPECT_EQ(sim.ViolationCount(), 0u);
    }
  }
}

TEST(SimStrict, FaultsThatTheProtocolAllowsForBreakNoRule) {
  // A dropped and a late "o": the PC sends the byte again after its wait.
  for (bool late : {false, true}) {
    SCOPED_TRACE(late ? "late" : "dropped");
    ControllerSim sim(Strict(15));
    const std::size_t k = 40;
    if (late) {
      sim.faults().lateAckAt = k;
      sim.faults().lateAckMs = 500;
    } else {
      sim.faults().dropAckAt = k;
    }
    Pc pc(sim);
    Connect(sim, pc);
    const Bytes image = AsSent(Pattern(5484), 15);
    pc.Send("SAVE\n");
    ASSERT_TRUE(pc.WaitFor("SAVE_OK\r\n"));
    for (std::size_t i = 0; i < image.size(); ++i) {
      const std::string byte(1, static_cast<char>(image[i]));
      pc.t += 1;
      pc.Send(byte);
      if (i == k) {
        EXPECT_EQ(pc.got, "");
        pc.t += 300;  // no "o" in time: the same byte again
        pc.Send(byte);
      }
      ASSERT_TRUE(pc.WaitFor("o")) << i;
    }
    ASSERT_TRUE(pc.WaitFor("SAVE_OK\r\n"));
    EXPECT_EQ(sim.image(), image);
    EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
  }
}

struct RuleCase {
  const char* name;
  ControllerOptions options;
  std::function<void(ControllerSim&, Pc&)> drive;
  std::vector<std::string> expected;
};

// Zeros but for the first byte and the checksum byte.
Bytes WithChecksumByte(std::size_t length, std::uint8_t first, std::uint8_t last) {
  Bytes image(length, 0);
  image.front() = first;
  image.back() = last;
  return image;
}

ControllerOptions With(ControllerOptions options, const std::function<void(ControllerOptions&)>& change) {
  change(options);
  return options;
}

std::function<void(ControllerSim&, Pc&)> Writing(Bytes image, Tweak tweak = {}) {
  return [image = std::move(image), tweak](ControllerSim& sim, Pc& pc) {
    Connect(sim, pc);
    EXPECT_TRUE(Write(pc, image, sim.version(), tweak));
  };
}

std::function<void(ControllerSim&, Pc&)> Connected(std::string bytes) {
  return [bytes = std::move(bytes)](ControllerSim& sim, Pc& pc) {
    Connect(sim, pc);
    pc.Send(bytes);
  };
}

Tweak At(std::size_t k, const std::function<void(Tweak&)>& change) {
  Tweak tweak;
  tweak.at = k;
  change(tweak);
  return tweak;
}

TEST(SimStrict, EachBrokenRuleIsReportedWithItsFacts) {
  const Bytes v10 = Pattern(5121);
  const Bytes v15 = AsSent(Pattern(5484), 15);
  // clang-format off
  const std::vector<RuleCase> cases = {
      {"checksum byte from version 12 on", Strict(15), Writing(WithChecksumByte(5484, 0x34, 0x12)),
       {"write: checksum byte at 5483 is 0x12, the image sums to 0x34"}},
      {"checksum byte below version 12", Strict(11), Writing(WithChecksumByte(5484, 0x34, 0x12)),
       {"write: checksum byte at 5483 is 0x12, the image sums to 0x34"}},
      {"no checksum in version 10", Strict(10), Writing(WithChecksumByte(5121, 0x34, 0x12)), {}},
      {"separator", Strict(11), Writing(AsSent(Pattern(5484), 11), At(17, [](Tweak& t) { t.separator = 'A'; })),
       {"write: byte after image byte 17 is 0x41, not the separator \"\\n\" (0x0a)"}},
      {"pause before the separator", Strict(10), Writing(v10, At(17, [](Tweak& t) { t.toSeparatorMs = 3; })),
       {"write: separator after image byte 17 came 3 ms after the byte, less than 5 ms"}},
      {"separator in the byte's chunk", Strict(10), Writing(v10, At(0, [](Tweak& t) { t.toSeparatorMs = 0; })),
       {"write: separator after image byte 0 came 0 ms after the byte, less than 5 ms"}},
      {"pause after the separator", Strict(10), Writing(v10, At(17, [](Tweak& t) { t.toNextMs = 2; })),
       {"write: image byte 18 came 2 ms after the separator of byte 17, less than 5 ms"}},
      {"pause within the tolerance", With(Strict(10), [](ControllerOptions& o) { o.gapToleranceMs = 1; }),
       Writing(v10, At(17, [](Tweak& t) { t.toSeparatorMs = 4; })), {}},
      {"pause beyond the tolerance", With(Strict(10), [](ControllerOptions& o) { o.gapToleranceMs = 1; }),
       Writing(v10, At(17, [](Tweak& t) { t.toSeparatorMs = 3; })),
       {"write: separator after image byte 17 came 2 ms ahead of the 5 ms pauses before it "
        "(more than the tolerance of 1 ms)"}},
      {"byte sent with the one before", Strict(15), Writing(v15, At(17, [](Tweak& t) { t.together = true; })),
       {"write: image byte 18 came at 1018 ms, before the \"o\" for byte 17 (due at 1018 ms) had gone out: "
        "the PC did not wait for the acknowledgement"}},
      {"byte sent before a slow \"o\"", With(Strict(13), [](ControllerOptions& o) { o.replyDelayMs = 20; }),
       Writing(AsSent(Pattern(5484), 13), At(17, [](Tweak& t) { t.nextAfterMs = 10; })),
       {"write: image byte 18 came at 1388 ms, before the \"o\" for byte 17 (due at 1398 ms) had gone out: "
        "the PC did not wait for the acknowledgement"}},
      {"time line", Strict(15), Connected("TIME\n25:00:00\n08-12-26\n"),
       {"time: time line \"25:00:00\" is not HH:MM:SS"}},
      {"time line with CR", Strict(15), Connected("TIME\n09:05:07\r\n08-12-26\n"),
       {"time: time line \"09:05:07\\r\" is not HH:MM:SS"}},
      {"date line", Strict(15), Connected("TIME\n09:05:07\n30-02-26\n"),
       {"time: date line \"30-02-26\" is not DD-MM-YY"}},
      {"short relay line", Strict(15), Connected("RELESET\n0101\n"),
       {"relays: relay line \"0101\" is not eight '0'/'1' characters"}},
      {"relay line with another character", Strict(15), Connected("RELESET\n1010102x\n"),
       {"relays: relay line \"1010102x\" is not eight '0'/'1' characters"}},
      {"long relay line", Strict(15), Connected("RELESET\n101000001\n"),
       {"relays: relay line \"101000001\" is not eight '0'/'1' characters"}},
      {"probe answered while connected", Strict(15), Connected("PC\r\n"),
       {"connected: unexpected \"PC\\r\\n\" (50 43 0d 0a) where a command should begin"}},
      {"bytes before a command", Strict(15), Connected("LOXID\n"),
       {"connected: unexpected \"LOX\" (4c 4f 58) where a command should begin"}},
      {"one run in two chunks",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         Connect(sim, pc);
         pc.Send("PC");
         pc.t += 3;
         pc.Send("\r\n");
       },
       {"connected: unexpected \"PC\" (50 43) where a command should begin"}},
      {"two runs apart",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         Connect(sim, pc);
         pc.Send("x");
         pc.t += 10;
         pc.Send("\xff");
       },
       {"connected: unexpected \"x\" (78) where a command should begin",
        "connected: unexpected \"\\xff\" (ff) where a command should begin"}},
      {"a long run", Strict(15), Connected(std::string(40, '?') + "ID\n"),
       {"connected: unexpected \"????????????????\" (3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f 3f ...; 40 bytes) "
        "where a command should begin"}},
      {"a command while probing",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         pc.got = sim.Poll(0);
         pc.t = 10;
         pc.Send("BYELOAD\n");
       },
       {"probing: unexpected \"LOAD\\n\" (4c 4f 41 44 0a) where \"BYE\" or \"PC\\r\\n\" should come"}},
      {"a command before PC_OK",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         pc.got = sim.Poll(0);
         pc.t = 100;
         pc.Send("PC\r\n");
         pc.Send("ID\nPC_OK");
       },
       {"awaiting PC_OK: unexpected \"ID\\n\" (49 44 0a) where \"PC_OK\", \"PC\\r\\n\" or \"BYE\" should come"}},
      {"probe answered after BYE",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         Connect(sim, pc);
         pc.Send("BYE");
         pc.t += 200;
         pc.Send("PC\r\n");
       },
       {"probing: \"PC\\r\\n\" came 200 ms after \"BYE\", before a new probe was sent: the PC answered a probe "
        "after BYE"}},
      {"probe answered after BYE and a new probe",
       Strict(15),
       [](ControllerSim& sim, Pc& pc) {
         Connect(sim, pc);
         pc.Send("BYE");
         pc.t += 1000;
         pc.Send("PC\r\n");
       },
       {}},
  };
  // clang-format on
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    ControllerSim sim(c.options);
    Pc pc(sim);
    c.drive(sim, pc);
    EXPECT_EQ(sim.Violations(), c.expected);
    EXPECT_EQ(sim.ViolationCount(), c.expected.size());
  }
}

TEST(SimStrict, ReadDeliversTheStoredBytes) {
  // The stored checksum byte is wrong for every version that has one.
  for (const VersionProfile& profile : kProfiles) {
    SCOPED_TRACE(profile.version);
    const Bytes stored = Pattern(profile.imageLength);
    ASSERT_NE(stored.back(), ImageChecksum(stored));
    for (bool strict : {true, false}) {
      ControllerOptions options = Strict(profile.version);
      options.strict = strict;
      options.image = stored;
      ControllerSim sim(options);
      Pc pc(sim);
      Connect(sim, pc);
      const std::string delivered = Read(pc, profile.imageLength);
      if (strict || !profile.checksum) {
        EXPECT_EQ(delivered, Str(stored)) << strict;
      } else {
        EXPECT_EQ(delivered, Str(AsSent(stored, profile.version))) << "not strict: the checksum is recomputed";
      }
      sim.faults().badChecksum = true;
      const std::string bad = Read(pc, profile.imageLength);
      ASSERT_EQ(bad.size(), stored.size());
      EXPECT_EQ(static_cast<std::uint8_t>(bad.back()), static_cast<std::uint8_t>(ImageChecksum(stored) + 1))
          << "the fault still applies";
      EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
    }
  }
}

TEST(SimStrict, FloodIsCountedAndKeptShort) {
  ControllerSim sim(Strict(15));
  std::vector<std::string> handed;
  sim.SetViolationHandler([&handed](const std::string& text) { handed.push_back(text); });
  Pc pc(sim);
  Connect(sim, pc);
  for (int i = 0; i < 250; ++i) {
    pc.t += 100;
    pc.Send("PC\r\n");
  }
  EXPECT_EQ(sim.ViolationCount(), 250u);
  EXPECT_EQ(sim.Violations().size(), kMaxViolationTexts);
  EXPECT_EQ(handed.size(), 250u) << "every violation is handed to the handler";
  sim.ClearViolations();
  EXPECT_EQ(sim.ViolationCount(), 0u);
  EXPECT_TRUE(sim.Violations().empty());
}

TEST(SimStrict, NotStrictRecordsNothing) {
  ControllerOptions options = Strict(10);
  options.strict = false;
  ControllerSim sim(options);
  Pc pc(sim);
  Connect(sim, pc);
  pc.Send("PC\r\nRELESET\n0\nTIME\n1:2:3\n4-5-6\n");
  const Bytes image = WithChecksumByte(5121, 1, 2);
  ASSERT_TRUE(Write(pc, image, 10, At(3, [](Tweak& t) { t.toSeparatorMs = 0; })));
  EXPECT_EQ(sim.ViolationCount(), 0u);
  EXPECT_TRUE(sim.Violations().empty());
}

// The first byte of a write read late by the host, as a busy machine does
// now and then, is no violation either: no reckoning rests on the first
// reading alone, and the bytes after it are reckoned from readings on time.
TEST(SimStrictOnALine, TheFirstByteReadLateIsNoViolation) {
  ControllerOptions options = Strict(10);
  options.gapToleranceMs = 2;
  ControllerSim sim(options);
  Pc pc(sim);
  Connect(sim, pc);
  const Bytes image = AsSent(Pattern(5121), 10);
  pc.Send("SAVE\n");
  ASSERT_TRUE(pc.WaitFor("SAVE_OK\r\n"));
  const std::int64_t start = pc.t + 1;
  for (std::size_t k = 0; k < image.size(); ++k) {
    const auto at = start + 10 * static_cast<std::int64_t>(k);
    pc.t = k == 0 ? at + 4 : at;  // byte 0 read 4 ms late, its separator on time
    pc.Send(std::string(1, static_cast<char>(image[k])));
    pc.t = at + 5;
    pc.Send("\n");
  }
  EXPECT_EQ(sim.Violations(), std::vector<std::string>{});
  EXPECT_EQ(sim.image(), image);
}

// Times measured on a real line (a tolerance above 0): each byte is reckoned
// against the 5 ms pauses after the bytes of the few readings before it. The
// PC's pauses, each a little over 5 ms, add up over a long write without
// hiding a pause it forgets late in the write; the host reading the terminal
// late, a stall of 100 ms included, is no violation.
TEST(SimStrictOnALine, ReadingLateIsNoViolationAForgottenPauseIs) {
  for (const bool forgets : {false, true}) {
    SCOPED_TRACE(forgets ? "forgets the pause after byte 4000" : "keeps every pause");
    ControllerOptions options = Strict(10);
    options.gapToleranceMs = 2;
    ControllerSim sim(options);
    Pc pc(sim);
    Connect(sim, pc);
    const Bytes image = AsSent(Pattern(5121), 10);
    pc.Send("SAVE\n");
    ASSERT_TRUE(pc.WaitFor("SAVE_OK\r\n"));
    // The PC sends a byte or a separator every 5.2 ms.
    struct Read {
      std::int64_t ms;
      std::string bytes;
    };
    std::vector<Read> reads;
    double sentUs = static_cast<double>(pc.t + 1) * 1000;
    for (std::size_t k = 0; k < image.size(); ++k) {
      for (const bool separator : {false, true}) {
        reads.push_back({static_cast<std::int64_t>(sentUs / 1000),
                         separator ? std::string("\n") : std::string(1, static_cast<char>(image[k]))});
        if (!(forgets && k == 4000 && !separator)) sentUs += 5200;
      }
    }
    // The host reads every byte as it comes, but for a stall: bytes 200 to
    // 219 wait and are read in one go with byte 220.
    std::vector<Read> readings;
    for (std::size_t i = 0; i < reads.size(); ++i) {
      if (i >= 2 * 200 && i < 2 * 220) continue;
      if (i == 2 * 220) {
        Read stalled{reads[i].ms, ""};
        for (std::size_t j = 2 * 200; j <= i; ++j) stalled.bytes += reads[j].bytes;
        readings.push_back(stalled);
        continue;
      }
      readings.push_back(reads[i]);
    }
    for (const Read& r : readings) {
      pc.t = r.ms;
      pc.Send(r.bytes);
    }
    std::vector<std::string> expected;
    if (forgets) {
      expected.push_back(
          "write: separator after image byte 4000 came 3 ms ahead of the 5 ms pauses before it "
          "(more than the tolerance of 2 ms)");
    }
    EXPECT_EQ(sim.Violations(), expected);
    EXPECT_EQ(sim.image(), image);
  }
}

}  // namespace
}  // namespace vemtaro::sim
