// The readers of the controller's replies: the version number, the clock text,
// the identifier groups and the status block. Each reads only the bytes it is
// given; what a reply does not hold comes back as nothing.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "link/replies.h"

namespace vemtaro {
namespace {

TEST(LinkReplies, VersionNumber) {
  struct Case {
    std::string text;
    std::optional<int> version;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {"GSM-ALARM 15", 15, ""},
           {"GSM-ALARM015", 15, ""},
           {"GSM-ALARM  5", 5, ""},
           {"GSM-ALARM100", 100, ""},
           {"GSM-ALARM 15 and more", 15, ""},
           {"GSM-ALARM+12", 12, ""},
           {"GSM-ALARM -3", -3, ""},
           {"GSM-ALARM15x", std::nullopt, "'15x' is not a valid integer value"},
           {"GSM-ALARM1 5", std::nullopt, "'1 5' is not a valid integer value"},
           {"GSM-ALARM15 ", std::nullopt, "'15 ' is not a valid integer value"},
           {"GSM-ALARM   ", std::nullopt, "'   ' is not a valid integer value"},
           {"GSM-ALARM  -", std::nullopt, "'  -' is not a valid integer value"},
           {"GSM-ALARM- 1", std::nullopt, "'- 1' is not a valid integer value"},
           {"GSM-ALARM15", std::nullopt, "'15' is not a valid integer value"},
           {"GSM-ALARM", std::nullopt, "'' is not a valid integer value"},
           {"", std::nullopt, "'' is not a valid integer value"},
       }) {
    SCOPED_TRACE(c.text);
    std::string error = "unchanged";
    EXPECT_EQ(VersionNumberOf(c.text, &error), c.version);
    EXPECT_EQ(error, c.version ? "unchanged" : c.error);
    EXPECT_EQ(VersionNumberOf(c.text), c.version) << "the error text is optional";
  }
}

TEST(LinkReplies, ClockDisplayText) {
  struct Case {
    std::string reply;
    std::optional<std::string> shown;
  };
  for (const Case& c : std::vector<Case>{
           {"09:05:07*08-12-26*", "09:05:07 08-12-26"},
           {"09:05:07*08-12-26", "09:05:07 08-12-2"},
           {"09:05:07-08-12-26x", "09:05:07-08-12-26"},
           {"*", ""},
           {"", ""},
           {"09:05:07 08-12-26*", std::nullopt},
           {"09:05:07*08-12-2x*", std::nullopt},
           {"x", ""},
           {"x1", std::nullopt},
       }) {
    SCOPED_TRACE(c.reply);
    EXPECT_EQ(ClockDisplayText(c.reply), c.shown);
  }
}

TEST(LinkReplies, IdentifierGroups) {
  std::string reply;
  for (int k = 0; k < 16; ++k) reply += std::string(15, static_cast<char>('A' + k)) + std::to_string(k % 10);
  ASSERT_EQ(reply.size(), 256u);

  struct Case {
    std::size_t length;
    std::size_t groups;  // groups fully present
  };
  for (const Case& c : std::vector<Case>{{256, 16}, {255, 15}, {48, 3}, {47, 2}, {15, 0}, {0, 0}}) {
    SCOPED_TRACE(c.length);
    const auto groups = IdentifierGroups(std::string_view(reply).substr(0, c.length));
    for (std::size_t k = 0; k < 16; ++k) {
      if (k < c.groups) {
        ASSERT_TRUE(groups[k].has_value()) << k;
        EXPECT_EQ(*groups[k], reply.substr(16 * k, 16));
      } else {
        EXPECT_FALSE(groups[k].has_value()) << k;
      }
    }
  }
  const auto longer = IdentifierGroups(reply + "0123456789");
  EXPECT_EQ(longer[15], reply.substr(240, 16)) << "characters after the sixteenth group are not read";
}

TEST(LinkReplies, StatusBlockInputs) {
  struct Case {
    std::string line1;
    std::array<std::optional<bool>, 8> inputs;  // inputs 1..8
  };
  const std::optional<bool> none;
  for (const Case& c : std::vector<Case>{
           {"10000001", {true, false, false, false, false, false, false, true}},
           {"01000000", {false, false, false, false, false, false, true, false}},
           {"x0x0x0x0", {false, true, false, true, false, true, false, true}},
           {"111111110", {true, true, true, true, true, true, true, true}},
           {"1", {none, none, none, none, none, none, none, true}},
           {"", {none, none, none, none, none, none, none, none}},
       }) {
    SCOPED_TRACE(c.line1);
    EXPECT_EQ(ReadStatusBlock(c.line1 + "\r\n").inputs, c.inputs);
    EXPECT_EQ(ReadStatusBlock(c.line1 + "\r").inputs, c.inputs);
    EXPECT_EQ(ReadStatusBlock(c.line1).inputs, c.inputs) << "the data may end within line 1";
  }
}

TEST(LinkReplies, StatusBlockLines) {
  std::string crlf = "00000000\r\n", cr = "00000000\r", lf = "00000000\r";
  for (int line = 2; line <= 18; ++line) {
    const std::string n = std::to_string(line);
    crlf.append("v").append(n).append("\r\n");
    cr.append("v").append(n).append("\r");
    lf.append("\nv\n").append(n).append("\n\r");
  }
  for (const std::string& block : {crlf, cr, lf, crlf + "19\r\n20\r\n"}) {
    const StatusReading r = ReadStatusBlock(block);
    for (std::size_t k = 0; k < 8; ++k) {
      EXPECT_EQ(r.analog[k], std::string("v").append(std::to_string(k + 2)));
      EXPECT_EQ(r.sensors[k], std::string("v").append(std::to_string(k + 10)));
    }
    EXPECT_EQ(r.key, "v18");
  }

  // A short block: only the lines it holds; a last line without "\r" counts.
  const StatusReading shortBlock = ReadStatusBlock("00000000\r\n1\r\n\r\n3");
  EXPECT_EQ(shortBlock.analog[0], "1");
  EXPECT_EQ(shortBlock.analog[1], "") << "an empty line is a line";
  EXPECT_EQ(shortBlock.analog[2], "3");
  EXPECT_FALSE(shortBlock.analog[3].has_value());
  EXPECT_FALSE(shortBlock.sensors[0].has_value());
  EXPECT_FALSE(shortBlock.key.has_value());

  const StatusReading onlyLine1 = ReadStatusBlock("00000000\r\n");
  EXPECT_FALSE(onlyLine1.analog[0].has_value()) << "the line end of line 1 is no line";
}

}  // namespace
}  // namespace vemtaro
