// The six packet matchers of the program: their settings, and how they frame
// the controller's replies on one port.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "link/matchers.h"

namespace vemtaro {
namespace {

TEST(LinkMatchers, SettingsOfTheSix) {
  struct Expected {
    const char* name;
    StartCond start;
    const char* startString;
    bool endByString;
    bool endBySize;
    const char* endString;
    int packetSize;
    bool includeStrings;
    bool autoEnable;
    int timeOut;
  };
  using enum StartCond;
  const std::vector<Expected> expected = {
      {"STARTPACK", scString, "ATI", false, true, "", 3, true, true, 0},
      {"ApdDataPacket3", scString, "Ver.", true, false, "\r\n", 16, false, false, 100},
      {"Zagruzka", scString, "\r\n", true, false, "LOAD_OK\r\n", 5121, false, false, 1000},
      {"TimeIn", scAnyData, "", true, false, "\r\n", 17, false, false, 4000},
      {"IDReciev", scAnyData, "", true, false, "\r\n", 256, false, false, 2000},
      {"GetStatus", scString, "STATUS\r\n", true, false, "ENDSTATUS\r\n", 0, false, false, 8000},
  };
  PacketDispatcher port;
  const ProgramMatchers m = AttachProgramMatchers(port);
  const std::vector<const TApdDataPacket*> attached = {&m.STARTPACK, &m.ApdDataPacket3, &m.Zagruzka,
                                                       &m.TimeIn,    &m.IDReciev,       &m.GetStatus};
  ASSERT_EQ(port.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    const PacketSettings& s = port.at(i).settings;
    EXPECT_EQ(attached[i], &port.at(i)) << e.name;
    EXPECT_EQ(s.Name, e.name);
    EXPECT_EQ(s.StartCondition, e.start) << e.name;
    EXPECT_EQ(s.StartString, e.startString) << e.name;
    EXPECT_EQ(s.EndCondition.ecString, e.endByString) << e.name;
    EXPECT_EQ(s.EndCondition.ecPacketSize, e.endBySize) << e.name;
    EXPECT_EQ(s.EndString, e.endString) << e.name;
    EXPECT_EQ(s.PacketSize, e.packetSize) << e.name;
    EXPECT_EQ(s.IncludeStrings, e.includeStrings) << e.name;
    EXPECT_EQ(s.AutoEnable, e.autoEnable) << e.name;
    EXPECT_EQ(s.TimeOut, e.timeOut) << e.name;
    EXPECT_TRUE(s.IgnoreCase) << e.name;
    EXPECT_FALSE(port.at(i).Enabled()) << e.name;
    EXPECT_EQ(port.Find(e.name), &port.at(i));
  }
}

TEST(LinkMatchers, EverySettingPassesTheArmingChecks) {
  PacketDispatcher port;
  port.SetPortOpen(true, 0);
  AttachProgramMatchers(port);
  for (std::size_t i = 0; i < port.size(); ++i) {
    EXPECT_NO_THROW(port.at(i).SetEnabled(true, 0)) << port.at(i).Name();
    port.at(i).SetEnabled(false, 0);
  }
}

// The six on one open port, with a log of "name:data" and "name:timeout".
struct Program {
  PacketDispatcher port;
  ProgramMatchers m = AttachProgramMatchers(port);
  std::vector<std::string> events;
  Program() {
    port.SetPortOpen(true, 0);
    for (std::size_t i = 0; i < port.size(); ++i) {
      port.at(i).OnPacket = [this](TApdDataPacket& sender, std::string_view data) {
        events.push_back(sender.Name() + ":" + std::string(data));
      };
      port.at(i).OnTimeout = [this](TApdDataPacket& sender) { events.push_back(sender.Name() + ":timeout"); };
    }
  }
};

TEST(LinkMatchers, StartPackFiresOnTheByteAfterAti) {
  Program p;
  p.m.STARTPACK.SetEnabled(true, 0);
  p.port.Feed("ATI", 0);
  EXPECT_TRUE(p.events.empty());
  p.port.Feed("\r", 0);
  EXPECT_EQ(p.events, std::vector<std::string>{"STARTPACK:ATI\r"});
  EXPECT_TRUE(p.m.STARTPACK.Enabled());  // AutoEnable: answers every probe
  p.port.Feed("ati5", 0);
  EXPECT_EQ(p.events.back(), "STARTPACK:ati5");
}

TEST(LinkMatchers, VersionReplyInEitherCaseAndItsTimeout) {
  Program p;
  p.m.ApdDataPacket3.SetEnabled(true, 0);
  p.port.Feed("ver.         15\r\n", 0);
  EXPECT_EQ(p.events, std::vector<std::string>{"ApdDataPacket3:         15"});
  EXPECT_FALSE(p.m.ApdDataPacket3.Enabled());

  p.m.ApdDataPacket3.SetEnabled(true, 1000);
  p.port.Feed("Ver. 1", 1000);  // tick 18: expires at tick 119 (6545 ms)
  p.port.Poll(6544);
  EXPECT_EQ(p.events.size(), 1u);
  p.port.Poll(6545);
  EXPECT_EQ(p.events.back(), "ApdDataPacket3:timeout");
}

// The load reply after the wait has taken "LOAD_OK": "\r\n", the image and
// "LOAD_OK\r\n"; only the image is delivered, whatever bytes it holds.
TEST(LinkMatchers, ZagruzkaDeliversTheImage) {
  Program p;
  std::string image(5121, 'A');
  image[10] = '\r';
  image[11] = '\n';
  image[100] = '\0';
  image[200] = static_cast<char>(0xFF);
  image.replace(300, 7, "LOAD_OK");
  p.m.Zagruzka.SetEnabled(true, 0);
  p.port.Feed("junk\r\n" + image + "LOAD_OK\r\nmore", 0);
  ASSERT_EQ(p.events.size(), 1u);
  EXPECT_EQ(p.events[0], "Zagruzka:" + image);
}

TEST(LinkMatchers, WhileZagruzkaCollectsTimeInAndIdRecievSeeNothing) {
  Program p;
  p.m.Zagruzka.SetEnabled(true, 0);
  p.port.Feed("\r\nabc", 0);
  p.m.TimeIn.SetEnabled(true, 0);
  p.m.IDReciev.SetEnabled(true, 0);
  p.port.Feed("12:00\r\nIDS\r\nLOAD_OK\r\n", 0);
  EXPECT_EQ(p.events, std::vector<std::string>{"Zagruzka:abc12:00\r\nIDS\r\n"});
  // TimeIn, attached first, takes the next reply; IDReciev waits its turn.
  p.port.Feed("10:30:00*01-02-03 \r\n0123456789ABCDEF\r\n", 0);
  EXPECT_EQ(p.events, (std::vector<std::string>{"Zagruzka:abc12:00\r\nIDS\r\n", "TimeIn:10:30:00*01-02-03 ",
                                                "IDReciev:0123456789ABCDEF"}));
}

TEST(LinkMatchers, GetStatusWaitsForItsStartWithoutLimit) {
  Program p;
  p.m.GetStatus.SetEnabled(true, 0);
  p.port.Poll(100000000);
  EXPECT_TRUE(p.m.GetStatus.Enabled());
  p.port.Feed("status\r\n0000\r\nENDSTATUS\r\n", 100000000);
  EXPECT_EQ(p.events, std::vector<std::string>{"GetStatus:0000\r\n"});
}

TEST(LinkMatchers, AfterATimeoutTheMatcherStaysDisarmed) {
  Program p;
  p.m.TimeIn.SetEnabled(true, 0);
  p.port.Poll(4001 * kTickMs - 1);
  EXPECT_TRUE(p.m.TimeIn.Enabled());
  p.port.Poll(4001 * kTickMs);
  EXPECT_EQ(p.events, std::vector<std::string>{"TimeIn:timeout"});
  p.port.Feed("12:00\r\n", 4001 * kTickMs);
  EXPECT_EQ(p.events.size(), 1u);
}

}  // namespace
}  // namespace vemtaro
