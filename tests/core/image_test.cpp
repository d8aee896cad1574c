// The configuration image and its field codecs: hex pairs, mask pairs, text
// fields in Windows-1251 with '*' fill, resizing, the checksum and the bounds
// checks that keep every access inside the image.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/cp1251.h"
#include "model/image.h"
#include "model/layout.h"

namespace vemtaro {
namespace {

// An image of n bytes, each holding '.', so that untouched bytes are visible.
ConfigImage Dotted(std::size_t n) { return ConfigImage(Bytes(n, '.')); }

TEST(ImageHexPair, WritesTwoUppercaseDigits) {
  struct Case {
    int value;
    const char* bytes;
  };
  const std::vector<Case> cases = {
      {0, "00"}, {5, "05"}, {10, "0A"}, {15, "0F"}, {16, "10"}, {171, "AB"}, {200, "C8"}, {255, "FF"},
  };
  for (const auto& c : cases) {
    ConfigImage image = Dotted(6);
    image.WriteHexPair(2, c.value);
    EXPECT_EQ(image.Raw(0, 6), std::string("..") + c.bytes + "..") << c.value;
  }
}

TEST(ImageHexPair, ReadsEitherCase) {
  struct Case {
    const char* bytes;
    int value;
  };
  const std::vector<Case> cases = {
      {"00", 0},   {"0a", 10},  {"0A", 10},  {"0f", 15},  {"Ab", 171},
      {"aB", 171}, {"c8", 200}, {"ff", 255}, {"FF", 255}, {"99", 153},
  };
  for (const auto& c : cases) {
    ConfigImage image = Dotted(4);
    image.SetRaw(1, c.bytes);
    EXPECT_EQ(image.ReadHexPair(1), c.value) << c.bytes;
  }
}

TEST(ImageHexPair, RejectsAnyNonHexCharacter) {
  const std::vector<std::string> bad = {
      "0G", "g0", " 1", "1 ", "**", "-1", "+1", "0x", "X0", std::string("\0\0", 2), "0:", "/0", "@1", "`1",
  };
  for (const auto& b : bad) {
    ConfigImage image = Dotted(2);
    image.SetRaw(0, b);
    EXPECT_FALSE(image.ReadHexPair(0).has_value()) << b;
    EXPECT_FALSE(image.ReadMaskPair(0).has_value()) << b;
  }
}

TEST(ImageMaskPair, ReadsItemsFromBits) {
  struct Case {
    const char* bytes;
    CheckStates items;
  };
  const std::vector<Case> cases = {
      {"00", {false, false, false, false, false, false, false, false}},
      {"81", {true, false, false, false, false, false, false, true}},
      {"06", {false, true, true, false, false, false, false, false}},
      {"a5", {true, false, true, false, false, true, false, true}},
      {"FF", {true, true, true, true, true, true, true, true}},
  };
  for (const auto& c : cases) {
    ConfigImage image = Dotted(2);
    image.SetRaw(0, c.bytes);
    const auto items = image.ReadMaskPair(0);
    ASSERT_TRUE(items.has_value()) << c.bytes;
    EXPECT_EQ(*items, c.items) << c.bytes;
  }
}

TEST(ImageMaskPair, EveryMaskSurvivesWriteAndRead) {
  for (int v = 0; v < 256; ++v) {
    CheckStates items{};
    for (int i = 0; i < 8; ++i) items[static_cast<std::size_t>(i)] = (v >> i) & 1;
    ConfigImage image = Dotted(2);
    image.WriteMaskPair(0, items);
    EXPECT_EQ(image.ReadHexPair(0), v);
    EXPECT_EQ(image.ReadMaskPair(0), items) << v;
  }
  ConfigImage image = Dotted(2);
  image.WriteMaskPair(0, {false, true, true, false, false, false, false, false});
  EXPECT_EQ(image.Raw(0, 2), "06");
  image.WriteMaskPair(0, {true, false, false, false, false, false, false, true});
  EXPECT_EQ(image.Raw(0, 2), "81");
}

TEST(ImageTextField, StoresTextThenFill) {
  struct Case {
    std::size_t n;
    std::string text;
    std::string bytes;  // Windows-1251
  };
  const std::vector<Case> cases = {
      {8, "AB", "AB******"},
      {4, "", "****"},
      {4, "1234", "1234"},
      {4, "0123456789", "0123"},  // a longer text keeps its first n characters
      {12, "8 916 12 34", "8 916 12 34*"},
      {6, "Жук", "\xC6\xF3\xEA***"},
      {3, "ЖЖЖЖЖ", "\xC6\xC6\xC6"},  // truncated by characters, not by UTF-8 bytes
  };
  for (const auto& c : cases) {
    ConfigImage image = Dotted(c.n + 2);
    image.WriteText(1, c.n, c.text);
    EXPECT_EQ(image.Raw(0, c.n + 2), "." + c.bytes + ".") << c.text;
  }
}

TEST(ImageTextField, ReadSkipsFillWherever) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"12*4", "124"}, {"****", ""}, {"*1*2", "12"}, {"AB**", "AB"}, {"**AB", "AB"}, {"A B*", "A B"},
  };
  for (const auto& c : cases) {
    ConfigImage image = Dotted(6);
    image.SetRaw(1, c.bytes);
    EXPECT_EQ(image.ReadText(1, 4), c.text) << c.bytes;
  }
}

TEST(ImageTextField, Windows1251RoundTrip) {
  const std::vector<std::string> texts = {
      "Привет", "Снято с ОХРАНЫ", "ЁёЖжЯя", "Kасание ТМ", "№ 5", "Питание от сети ОТСУТСТВУЕТ",
  };
  for (const auto& t : texts) {
    ConfigImage image(40);
    image.WriteText(0, 33, t);
    EXPECT_EQ(image.ReadText(0, 33), t);
    EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(t)), t);
  }
  // Single bytes of the code page.
  ConfigImage image(8);
  image.WriteText(0, 8, "АяЁё№K");
  EXPECT_EQ(image.Raw(0, 8), "\xC0\xFF\xA8\xB8\xB9K**");
}

TEST(ImageTextField, CharacterWithoutCodeIsStoredAsQuestionMark) {
  ConfigImage image(6);
  image.WriteText(0, 6, "AΩ中B");
  EXPECT_EQ(image.Raw(0, 6), "A??B**");
  EXPECT_EQ(image.ReadText(0, 6), "A??B");
}

TEST(ImageResize, KeepsBytesAndZeroFills) {
  ConfigImage image(Bytes{1, 2, 3, 4});
  image.Resize(7);
  EXPECT_EQ(image.bytes(), (Bytes{1, 2, 3, 4, 0, 0, 0}));
  image.Resize(2);
  EXPECT_EQ(image.bytes(), (Bytes{1, 2}));
  // Bytes cut off are not brought back by lengthening again.
  image.Resize(4);
  EXPECT_EQ(image.bytes(), (Bytes{1, 2, 0, 0}));

  ConfigImage full(Bytes(layout::kLongImageLength, 'x'));
  full.Resize(layout::kShortImageLength);
  EXPECT_EQ(full.size(), layout::kShortImageLength);
  full.Resize(layout::kLongImageLength);
  EXPECT_EQ(full.Raw(0, layout::kShortImageLength), std::string(layout::kShortImageLength, 'x'));
  EXPECT_EQ(full.Raw(layout::kShortImageLength, layout::kLongImageLength - layout::kShortImageLength),
            std::string(layout::kLongImageLength - layout::kShortImageLength, '\0'));
}

TEST(ImageChecksumTest, SumOfAllButTheLastByteModulo256) {
  struct Case {
    Bytes bytes;
    std::uint8_t sum;
  };
  const std::vector<Case> cases = {
      {{}, 0},
      {{7}, 0},
      {{1, 2, 3}, 3},
      {{255, 255, 9}, 254},
      {{128, 128, 0}, 0},
      {Bytes(layout::kLongImageLength, 0xFF), 149},    // 5483 * 255 mod 256
      {Bytes(layout::kShortImageLength, 0x01), 0x00},  // 5120 mod 256
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImageChecksum(c.bytes), c.sum) << c.bytes.size();
    EXPECT_EQ(ImageChecksum(ConfigImage(c.bytes)), c.sum);
  }
  // The last byte, where the checksum itself is stored, does not count.
  Bytes b(layout::kShortImageLength, '0');
  const std::uint8_t before = ImageChecksum(b);
  b.back() = 0x5A;
  EXPECT_EQ(ImageChecksum(b), before);
  b.front() = '1';
  EXPECT_EQ(ImageChecksum(b), static_cast<std::uint8_t>(before + 1));
}

TEST(ImageBounds, ReadsOutsideFail) {
  ConfigImage image = Dotted(10);
  image.SetRaw(8, "AB");
  constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();
  EXPECT_EQ(image.Byte(9), std::uint8_t{'B'});
  EXPECT_FALSE(image.Byte(10).has_value());
  EXPECT_FALSE(image.Byte(kHuge).has_value());
  EXPECT_EQ(image.ReadHexPair(8), 0xAB);
  EXPECT_FALSE(image.ReadHexPair(9).has_value());  // second digit would lie beyond
  EXPECT_FALSE(image.ReadHexPair(10).has_value());
  EXPECT_FALSE(image.ReadHexPair(kHuge).has_value());
  EXPECT_FALSE(image.ReadHexPair(kHuge - 1).has_value());
  EXPECT_FALSE(image.ReadMaskPair(9).has_value());
  EXPECT_EQ(image.ReadText(12, 4), "");
  EXPECT_EQ(image.ReadText(kHuge, 4), "");
  EXPECT_EQ(image.Raw(kHuge, 2), "");
  EXPECT_EQ(ConfigImage().ReadHexPair(0), std::nullopt);
}

TEST(ImageBounds, WritesOutsideAreLeftOut) {
  constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();
  ConfigImage image = Dotted(10);
  const Bytes before = image.bytes();
  image.SetByte(10, 'x');
  image.SetByte(kHuge, 'x');
  image.WriteHexPair(9, 0xAB);  // a pair never half written
  image.WriteHexPair(kHuge, 0xAB);
  image.WriteHexPair(kHuge - 1, 0xAB);
  image.WriteMaskPair(10, {true});
  image.WriteText(10, 4, "ABCD");
  image.WriteText(kHuge - 1, 4, "ABCD");
  image.WriteFlag(10, true);
  image.Fill(10, 5, 'x');
  image.SetRaw(10, "xyz");
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(image.size(), 10u);

  // A text or a run that starts inside stops at the end.
  image.WriteText(8, 4, "ABCD");
  EXPECT_EQ(image.Raw(0, 10), "........AB");
  image.Fill(9, 3, 'z');
  EXPECT_EQ(image.Raw(0, 10), "........Az");
  EXPECT_EQ(image.size(), 10u);
}

}  // namespace
}  // namespace vemtaro
