// The settings file's fields: the writer's layout and the reader on whole,
// short and damaged files. Every damaged file is read from a buffer of exactly
// its own size, so a read past its end shows under AddressSanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "files/tree_text.h"
#include "model/layout.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace {

using namespace std::string_literals;

// Parses a copy of the bytes held in a heap block of exactly their length.
SettingsFileParse ParseExact(const std::string& bytes) {
  std::unique_ptr<char[]> block(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
  return ParseSettingsFile(std::string_view(block.get(), bytes.size()));
}

Bytes PatternImage(std::size_t n) {
  Bytes image(n);
  for (std::size_t i = 0; i < n; ++i) image[i] = static_cast<std::uint8_t>((i * 7 + 3) % 256);
  return image;
}

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

const std::string kTree1 = "T1\r\n\tx\r\n";  // 8 bytes
const std::string kTree2 = "Ch\r\n";         // 4 bytes

TEST(SettingsFileWriter, LayoutOfTheFields) {
  const Bytes image = PatternImage(layout::kLongImageLength);
  const auto file = WriteSettingsFile(15, kTree1, kTree2, image);
  ASSERT_TRUE(file);
  EXPECT_EQ(*file, "V15*00008" + kTree1 + "00004" + kTree2 + "5484 " + AsString(image));

  const auto shortFile = WriteSettingsFile(10, kTree1, kTree2, PatternImage(layout::kShortImageLength));
  ASSERT_TRUE(shortFile);
  EXPECT_EQ(shortFile->substr(0, 4), "V10*");
  EXPECT_EQ(shortFile->substr(26, 5), "5121 ");
  EXPECT_EQ(shortFile->size(), 31u + 5121u);

  const auto v9 = WriteSettingsFile(9, "", "", Bytes{});
  ASSERT_TRUE(v9);
  EXPECT_EQ(*v9, "V9*00000000000    ");
}

TEST(SettingsFileWriter, DefaultTreesOfEveryVersion) {
  for (int v = 10; v <= 15; ++v) {
    SCOPED_TRACE(v);
    const std::size_t length = v == 10 || v == 12 ? layout::kShortImageLength : layout::kLongImageLength;
    ConfigImage image(length);
    Tree t1, t2;
    BuildTree1(t1, image);
    BuildTree2(t2, image, v);
    const std::string text1 = WriteTreeText(t1);
    const std::string text2 = WriteTreeText(t2);
    const auto file = WriteSettingsFile(v, text1, text2, image.bytes());
    ASSERT_TRUE(file);
    const std::string expected = std::string("V").append(std::to_string(v)) + "*" + std::to_string(text1.size()) +
                                 text1 + std::to_string(text2.size()) + text2 + std::to_string(length) + " " +
                                 AsString(image.bytes());
    EXPECT_EQ(*file, expected);
    const auto parsed = ParseExact(*file);
    ASSERT_TRUE(parsed.data);
    EXPECT_EQ(parsed.data->version, v);
    EXPECT_EQ(parsed.data->tree1, text1);
    EXPECT_EQ(parsed.data->tree2, text2);
    EXPECT_EQ(parsed.data->image, image.bytes());
  }
}

TEST(SettingsFileWriter, ShortTreeLengthsAreZeroPadded) {
  const std::string tree1(1234, 'a');
  const std::string tree2 = "B\r\n";
  const auto file = WriteSettingsFile(12, tree1, tree2, PatternImage(20));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->substr(4, 5), "01234");
  EXPECT_EQ(file->substr(9 + 1234, 5), "00003");
  EXPECT_EQ(file->substr(9 + 1234 + 5 + 3, 5), "20   ");
  const auto parsed = ParseExact(*file);
  ASSERT_TRUE(parsed.data);
  EXPECT_EQ(parsed.data->tree1, tree1);
  EXPECT_EQ(parsed.data->tree2, tree2);
  EXPECT_EQ(parsed.data->image, PatternImage(20));
}

TEST(SettingsFileWriter, RefusesTextsThatDoNotFitFiveDigits) {
  std::string error;
  EXPECT_FALSE(WriteSettingsFile(15, std::string(100000, 'a'), kTree2, PatternImage(10), &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(WriteSettingsFile(15, kTree1, std::string(100000, 'a'), PatternImage(10), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(WriteSettingsFile(15, std::string(99999, 'a'), kTree2, PatternImage(10)));
}

TEST(SettingsFileReader, ReadsEveryFieldAndWhereItStarts) {
  const Bytes image = PatternImage(layout::kLongImageLength);
  const auto parsed = ParseExact(*WriteSettingsFile(15, kTree1, kTree2, image));
  ASSERT_TRUE(parsed.data);
  const SettingsFileData& d = *parsed.data;
  EXPECT_EQ(d.version, 15);
  EXPECT_EQ(d.tree1, kTree1);
  EXPECT_EQ(d.tree2, kTree2);
  EXPECT_EQ(d.tree1Offset, 9u);
  EXPECT_EQ(d.tree2Offset, 22u);
  EXPECT_EQ(d.imageLengthOffset, 26u);
  EXPECT_EQ(d.imageOffset, 31u);
  EXPECT_EQ(d.image, image);
}

// A file cut after any number of bytes is refused at the field it ends in.
TEST(SettingsFileReader, FileCutAtEveryByte) {
  const Bytes image = PatternImage(layout::kLongImageLength);
  const std::string file = *WriteSettingsFile(15, kTree1, kTree2, image);
  struct Field {
    std::size_t from;  // first cut length that ends in this field
    const char* name;
    std::size_t offset;
  };
  const std::vector<Field> fields = {
      {0, "V", 0},       {1, "version", 1},       {4, "tree1Length", 4}, {9, "tree1", 9}, {17, "tree2Length", 17},
      {22, "tree2", 22}, {26, "imageLength", 26}, {31, "image", 31}};
  for (std::size_t n = 0; n < file.size(); ++n) {
    std::size_t f = fields.size() - 1;
    while (fields[f].from > n) --f;
    const auto parsed = ParseExact(file.substr(0, n));
    ASSERT_FALSE(parsed.data) << "cut at " << n;
    ASSERT_EQ(parsed.error.field, fields[f].name) << "cut at " << n;
    ASSERT_EQ(parsed.error.offset, fields[f].offset) << "cut at " << n;
    const std::string where = "(байт " + std::to_string(fields[f].offset) + ")";
    ASSERT_NE(parsed.error.message.find(where), std::string::npos) << parsed.error.message;
  }
  EXPECT_TRUE(ParseExact(file).data);
}

struct DamagedCase {
  const char* name;
  std::string bytes;
  bool ok;
  // When refused:
  const char* field;
  std::size_t offset;
  // When read:
  int version;
  std::optional<std::size_t> imageSize;  // nothing: the image length is not a number
};

std::string Head(const std::string& version, const std::string& l1, const std::string& t1, const std::string& l2,
                 const std::string& t2) {
  return "V" + version + "*" + l1 + t1 + l2 + t2;
}

const std::string kImage = AsString(PatternImage(layout::kLongImageLength));

class DamagedFile : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFile, Outcome) {
  const DamagedCase& c = GetParam();
  const auto parsed = ParseExact(c.bytes);
  if (!c.ok) {
    ASSERT_FALSE(parsed.data);
    EXPECT_EQ(parsed.error.field, c.field);
    EXPECT_EQ(parsed.error.offset, c.offset);
    EXPECT_FALSE(parsed.error.message.empty());
    return;
  }
  ASSERT_TRUE(parsed.data) << parsed.error.message;
  EXPECT_EQ(parsed.data->version, c.version);
  ASSERT_EQ(parsed.data->image.has_value(), c.imageSize.has_value());
  if (c.imageSize) {
    EXPECT_EQ(parsed.data->image->size(), *c.imageSize);
    EXPECT_EQ(AsString(*parsed.data->image), c.bytes.substr(parsed.data->imageOffset, *c.imageSize));
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFile,
    ::testing::Values(
        DamagedCase{"empty", "", false, "V", 0, 0, {}},
        DamagedCase{"no_marker", "X15*00000000005484 " + kImage, false, "V", 0, 0, {}},
        DamagedCase{"lowercase_marker", "v15*00000000005484 " + kImage, false, "V", 0, 0, {}},
        DamagedCase{"no_version_end", "V15", false, "version", 1, 0, {}},
        DamagedCase{"version_letters", "Vab*00000000005484 " + kImage, false, "version", 1, 0, {}},
        DamagedCase{"version_empty", "V*00000000005484 " + kImage, false, "version", 1, 0, {}},
        DamagedCase{"version_blank", "V 15*00000000005484 " + kImage, false, "version", 1, 0, {}},
        DamagedCase{"version_sign", "V+15*00000000005484 " + kImage, false, "version", 1, 0, {}},
        DamagedCase{"version_huge", "V99999999999999999999*00000000005484 " + kImage, false, "version", 1, 0, {}},
        DamagedCase{"version_9", "V9*00000000005484 " + kImage, true, "", 0, 9, 5484},
        DamagedCase{"version_123", "V123*00000000005484 " + kImage, true, "", 0, 123, 5484},
        DamagedCase{"tree1_length_letters", Head("15", "0a008", kTree1, "00004", kTree2) + "5484 " + kImage, false,
                    "tree1Length", 4, 0, {}},
        DamagedCase{"tree1_length_blank_inside", Head("15", "00 08", kTree1, "00004", kTree2) + "5484 " + kImage,
                    false, "tree1Length", 4, 0, {}},
        DamagedCase{"tree1_length_negative", Head("15", "-0008", kTree1, "00004", kTree2) + "5484 " + kImage,
                    false, "tree1Length", 4, 0, {}},
        DamagedCase{"tree1_length_four_digits", Head("15", "8", kTree1, "00004", kTree2) + "5484 " + kImage, false,
                    "tree1Length", 4, 0, {}},
        DamagedCase{"tree1_past_the_end", Head("15", "99999", kTree1, "00004", kTree2) + "5484 " + kImage, false,
                    "tree1", 9, 0, {}},
        DamagedCase{"tree2_length_letters", Head("15", "00008", kTree1, "0000x", kTree2) + "5484 " + kImage, false,
                    "tree2Length", 17, 0, {}},
        DamagedCase{"tree2_past_the_end", Head("15", "00008", kTree1, "09999", kTree2) + "5484 " + kImage, false,
                    "tree2", 22, 0, {}},
        DamagedCase{"image_length_letters", Head("15", "00008", kTree1, "00004", kTree2) + "abcde" + kImage, true, "",
                    0, 15, std::nullopt},
        DamagedCase{"image_length_blanks", Head("15", "00008", kTree1, "00004", kTree2) + "     " + kImage, true, "",
                    0, 15, std::nullopt},
        DamagedCase{"image_length_negative", Head("15", "00008", kTree1, "00004", kTree2) + "-5484" + kImage, true,
                    "", 0, 15, std::nullopt},
        DamagedCase{"image_length_no_image", Head("15", "00008", kTree1, "00004", kTree2) + "5x84 ", true, "", 0, 15,
                    std::nullopt},
        DamagedCase{"image_length_digits_blank", Head("15", "00008", kTree1, "00004", kTree2) + "5484 " + kImage,
                    true, "", 0, 15, 5484},
        DamagedCase{"image_length_blanks_first", Head("15", "00008", kTree1, "00004", kTree2) + "  512" + kImage,
                    true, "", 0, 15, 512},
        DamagedCase{"image_length_blank_inside", Head("15", "00008", kTree1, "00004", kTree2) + "54 84" + kImage,
                    true, "", 0, 15, 5484},
        DamagedCase{"image_length_zero", Head("15", "00008", kTree1, "00004", kTree2) + "0    ", true, "", 0, 15, 0},
        DamagedCase{"image_section_longer", Head("15", "00008", kTree1, "00004", kTree2) + "100  " + kImage, true, "",
                    0, 15, 100},
        DamagedCase{"image_section_short", Head("15", "00008", kTree1, "00004", kTree2) + "5484 " + kImage.substr(0, 5483),
                    false, "image", 31, 0, {}},
        DamagedCase{"image_length_past_the_end", Head("15", "00008", kTree1, "00004", kTree2) + "99999" + kImage,
                    false, "image", 31, 0, {}},
        DamagedCase{"empty_trees", Head("12", "00000", "", "00000", "") + "5121 " + kImage.substr(0, 5121), true, "",
                    0, 12, 5121},
        DamagedCase{"zero_bytes_in_trees", Head("15", "00004", "A\0\r\n"s, "00001", "\0"s) + "5484 " + kImage, true,
                    "", 0, 15, 5484}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace vemtaro
