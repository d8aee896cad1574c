// The messages of the single-instance channel: what a later start sends, what
// the running copy takes from the bytes it receives, and the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/handover.h"

namespace vemtaro::handover {
namespace {

struct ReadCase {
  const char* name;
  std::string bytes;
  std::vector<Message> messages;  // taken before the end
  bool ok;                        // the connection stays open
};

std::string Repeated(const std::string& text, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += text;
  return out;
}

std::vector<Message> Concat(std::vector<Message> first, const Message& then, std::size_t n) {
  first.insert(first.end(), n, then);
  return first;
}

// A text of n bytes: a slash and then `fill`.
std::string Rooted(std::size_t n, char fill) {
  std::string text(n, fill);
  text[0] = '/';
  return text;
}

std::vector<ReadCase> ReadCases() {
  const std::string longPath = Rooted(kMaxMessageBytes - 6, 'a');  // "OPEN " + path + "\n" = 4096
  return {
      {"raise", "RAISE\n", {{Kind::Raise, {}}}, true},
      {"raise and open", "RAISE\nOPEN /home/u/site.dat\n", {{Kind::Raise, {}}, {Kind::Open, "/home/u/site.dat"}}, true},
      {"a path with spaces and Cyrillic", "OPEN /home/u/Объект 7.dat\n", {{Kind::Open, "/home/u/Объект 7.dat"}}, true},
      {"a Windows path", "OPEN C:/Users/u/site.dat\n", {{Kind::Open, "C:/Users/u/site.dat"}}, true},
      {"a network path", "OPEN \\\\server\\share\\site.dat\n", {{Kind::Open, "\\\\server\\share\\site.dat"}}, true},
      {"the longest message", "OPEN " + longPath + "\n", {{Kind::Open, longPath}}, true},
      {"a message not yet ended", "RAISE\nOPEN /a", {{Kind::Raise, {}}}, true},
      {"one byte too long", "OPEN " + longPath + "a\n", {}, false},
      {"too long without its end", std::string(kMaxMessageBytes, 'R'), {}, false},
      {"a second raise", "RAISE\nRAISE\n", {{Kind::Raise, {}}}, false},
      {"a second open", "OPEN /a.dat\nOPEN /b.dat\n", {{Kind::Open, "/a.dat"}}, false},
      {"raise, open and ports",
       "RAISE\nOPEN /a.dat\nPORT /dev/ttyUSB0\nPORT COM3\n",
       {{Kind::Raise, {}}, {Kind::Open, "/a.dat"}, {Kind::Port, "/dev/ttyUSB0"}, {Kind::Port, "COM3"}},
       true},
      {"a port named as the system names it", "PORT ttyUSB0\n", {{Kind::Port, "ttyUSB0"}}, true},
      {"the most a start sends", "RAISE\nOPEN /a.dat\n" + Repeated("PORT /dev/pts/7\n", kMaxPorts),
       Concat({{Kind::Raise, {}}, {Kind::Open, "/a.dat"}}, Message{Kind::Port, "/dev/pts/7"}, kMaxPorts), true},
      {"one port more", Repeated("PORT /dev/pts/7\n", kMaxPorts + 1),
       Concat({}, Message{Kind::Port, "/dev/pts/7"}, kMaxPorts), false},
      {"a port with a line end and a Windows-1251 name", "PORT /dev/%0A%CF\n", {{Kind::Port, "/dev/\n\xCF"}}, true},
      {"a port without a name", "PORT \n", {}, false},
      {"port without a space", "PORT/dev/ttyS0\n", {}, false},
      {"a NUL in a port", std::string("PORT a\0b\n", 9), {}, false},
      {"an escaped zero byte in a port", "PORT a%00b\n", {}, false},
      {"a port not UTF-8", "PORT /dev/\xFF\n", {}, false},
      {"a port with a lower-case escape", "PORT /dev/%cf\n", {}, false},
      {"lower-case port", "port /dev/ttyS0\n", {}, false},
      {"lower case", "raise\n", {}, false},
      {"an empty message", "\n", {}, false},
      {"carriage return", "RAISE\r\n", {}, false},
      {"unknown", "QUIT\n", {}, false},
      {"open without a path", "OPEN \n", {}, false},
      {"open without a space", "OPEN/a.dat\n", {}, false},
      {"a relative path", "OPEN site.dat\n", {}, false},
      {"a drive without a separator", "OPEN C:site.dat\n", {}, false},
      {"a tab in the path", "OPEN /a\tb.dat\n", {}, false},
      {"a NUL in the path", std::string("OPEN /a\0b.dat\n", 14), {}, false},
      {"a C1 control in the path", "OPEN /a\xC2\x85.dat\n", {}, false},
      {"not UTF-8", "OPEN /a\xFF.dat\n", {}, false},
      {"an overlong UTF-8 form", "OPEN /a\xC0\xAF.dat\n", {}, false},
      {"a surrogate", "OPEN /a\xED\xA0\x80.dat\n", {}, false},
      {"a cut UTF-8 character", "OPEN /a\xD0\n", {}, false},
      {"a good message after a bad one", "QUIT\nRAISE\n", {}, false},
      // Bytes the line does not carry as they are come as "%HH".
      {"a Windows-1251 name",
       "OPEN /home/u/%CF%F0%E8%EC%E5%F0.dat\n",
       {{Kind::Open, "/home/u/\xCF\xF0\xE8\xEC\xE5\xF0.dat"}},
       true},
      {"a line end, a C1 control and a percent sign in a name",
       "OPEN /a%0Ab%C2%85c%25.dat\n",
       {{Kind::Open,
         "/a\nb\xC2\x85"
         "c%.dat"}},
       true},
      {"a lower-case escape", "OPEN /a%cf.dat\n", {}, false},
      {"an escape of a byte the line carries as it is", "OPEN /a%41.dat\n", {}, false},
      {"an escape of a Cyrillic letter", "OPEN /a%D0%9E.dat\n", {}, false},
      {"a cut escape", "OPEN /a%C\n", {}, false},
      {"a lone percent sign", "OPEN /a%.dat\n", {}, false},
      {"an escaped zero byte", "OPEN /a%00b.dat\n", {}, false},
      {"an escaped relative path", "OPEN %2Fa.dat\n", {}, false},
  };
}

// Every case gives the same whether its bytes come at once or one by one.
TEST(HandoverReader, TakesOnlyWholeMessagesOfTheChannel) {
  for (const ReadCase& c : ReadCases()) {
    for (const bool byteByByte : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (byteByByte ? " byte by byte" : ""));
      MessageReader reader;
      std::vector<Message> messages;
      bool ok = true;
      if (byteByByte) {
        for (const char b : c.bytes) {
          ok = reader.Feed(std::string_view(&b, 1), messages);
          ASSERT_LT(reader.pending(), kMaxMessageBytes);
          if (!ok) break;
        }
      } else {
        ok = reader.Feed(c.bytes, messages);
      }
      EXPECT_EQ(ok, c.ok);
      EXPECT_EQ(messages, c.messages);
      EXPECT_EQ(reader.error().empty(), c.ok);
      if (!ok) {
        // A refused connection stays refused and keeps nothing.
        EXPECT_EQ(reader.pending(), 0u);
        EXPECT_FALSE(reader.Feed("RAISE\n", messages));
        EXPECT_EQ(messages, c.messages);
      }
    }
  }
}

TEST(HandoverReader, AFloodWithoutAnEndIsRefusedAtTheBound) {
  MessageReader reader;
  std::vector<Message> messages;
  const std::string chunk(1000, 'x');
  std::size_t fed = 0;
  while (reader.Feed(chunk, messages)) {
    fed += chunk.size();
    ASSERT_LE(reader.pending(), kMaxMessageBytes - 1);
    ASSERT_LT(fed, 10 * kMaxMessageBytes) << "still reading";
  }
  EXPECT_LT(fed, kMaxMessageBytes);
  EXPECT_TRUE(messages.empty());
  EXPECT_NE(reader.error().find("longer than 4096"), std::string::npos) << reader.error();
}

TEST(HandoverMessages, OnlyPathsTheChannelCarriesAreSent) {
  EXPECT_EQ(RaiseMessage(), "RAISE\n");
  EXPECT_EQ(OpenMessage("/home/u/site.dat"), "OPEN /home/u/site.dat\n");
  EXPECT_EQ(OpenMessage("D:\\sites\\site.dat"), "OPEN D:\\sites\\site.dat\n");
  EXPECT_EQ(OpenMessage("/srv/\xCF\xF0\xE8\xEC\xE5\xF0.dat"), "OPEN /srv/%CF%F0%E8%EC%E5%F0.dat\n");
  EXPECT_EQ(OpenMessage("/a\nOPEN /b"), "OPEN /a%0AOPEN /b\n");
  for (const std::string& bad : {std::string("site.dat"), std::string(), std::string("/a\0b", 4),
                                 Rooted(kMaxMessageBytes + 1, 'a'), Rooted(1401, '\xFF')}) {
    EXPECT_EQ(OpenMessage(bad), std::nullopt) << bad.substr(0, 20);
  }
  EXPECT_EQ(PortMessage("/dev/ttyUSB0"), "PORT /dev/ttyUSB0\n");
  EXPECT_EQ(PortMessage("COM3"), "PORT COM3\n");
  EXPECT_EQ(PortMessage("/dev/pts/7\nRAISE"), "PORT /dev/pts/7%0ARAISE\n");
  for (const std::string& bad : {std::string(), std::string("/dev/a\0b", 8), Rooted(kMaxMessageBytes, 'a')}) {
    EXPECT_EQ(PortMessage(bad), std::nullopt) << bad.substr(0, 20);
  }
  // What is sent is what is read.
  MessageReader reader;
  std::vector<Message> messages;
  const std::string mixed = "/srv/Объект \xCF\xF0\xE8\xEC\xE5\xF0 100%\x7F.dat";
  const std::string port = "/dev/serial/by-id/usb-FTDI_Объект_\xCF%-if00";
  ASSERT_TRUE(reader.Feed(RaiseMessage() + *OpenMessage(mixed) + *PortMessage(port), messages));
  EXPECT_EQ(messages, (std::vector<Message>{{Kind::Raise, {}}, {Kind::Open, mixed}, {Kind::Port, port}}));
}

TEST(HandoverAnswers, AreReadWholeAndNothingMore) {
  struct Case {
    std::string received;
    std::size_t expected;
    Answers answers;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"", 1, Answers::Incomplete},          {"O", 1, Answers::Incomplete},
      {"OK", 1, Answers::Incomplete},        {"OK\n", 1, Answers::Accepted},
      {"OK\nOK\n", 2, Answers::Accepted},    {"OK\nREF", 2, Answers::Incomplete},
      {"OK\nREFUSED\n", 2, Answers::Refused}, {"REFUSED\nOK\n", 2, Answers::Refused},
      {"OK\nOK\n", 1, Answers::Broken},      {"OKAY\n", 1, Answers::Broken},
      {"X", 1, Answers::Broken},             {"ok\n", 1, Answers::Broken},
      {"OK\r\n", 1, Answers::Broken},        {"OKOKOKOK", 1, Answers::Broken},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAnswers(c.received, c.expected), c.answers) << c.received << " / " << c.expected;
  }
  // Each answer in the messages' order: the later start tells which was taken.
  std::vector<bool> taken;
  EXPECT_EQ(ReadAnswers("OK\nREFUSED\nOK\n", 3, &taken), Answers::Refused);
  EXPECT_EQ(taken, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(ReadAnswers("OK\nOK\n", 3, &taken), Answers::Incomplete);
  EXPECT_EQ(taken, (std::vector<bool>{true, true}));
}

}  // namespace
}  // namespace vemtaro::handover
