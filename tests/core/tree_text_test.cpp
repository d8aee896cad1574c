// The tree text of the settings files: the writer's exact bytes, the reader's
// line splitting and level rules, and round trips of the default trees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tree_text.h"
#include "model/image.h"
#include "model/layout.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace {

using namespace std::string_literals;

// The shape of a tree in pre-order, one "level:text" entry a node.
std::vector<std::string> Shape(const Tree& tree) {
  std::vector<std::string> out;
  tree.ForEach([&](const TreeNode& n) { out.push_back(std::to_string(n.level()) + ":" + n.text); });
  return out;
}

TEST(TreeTextWriter, TabsTextAndCrLfInWindows1251) {
  Tree tree;
  TreeNode* a = tree.AddTop("Вход 1");
  TreeNode* b = a->AddChild("Замыкание");
  b->AddChild("Реле")->AddChild("1 - Не изменять");
  a->AddChild("B");
  tree.AddTop("Z");
  const std::string expected =
      "\xC2\xF5\xEE\xE4 1\r\n"
      "\t\xC7\xE0\xEC\xFB\xEA\xE0\xED\xE8\xE5\r\n"
      "\t\t\xD0\xE5\xEB\xE5\r\n"
      "\t\t\t1 - \xCD\xE5 \xE8\xE7\xEC\xE5\xED\xFF\xF2\xFC\r\n"
      "\tB\r\n"
      "Z\r\n";
  EXPECT_EQ(WriteTreeText(tree), expected);
  EXPECT_EQ(WriteTreeText(Tree()), "");
}

TEST(TreeTextWriter, NodeTextsNeverBreakTheLines) {
  Tree tree;
  TreeNode* top = tree.AddTop("  два пробела");
  top->AddChild("\tтаб");
  top->AddChild("a\r\nb");
  top->AddChild("x\0y"s)->AddChild(" \t \r");
  top->AddChild("лф\nв середине\r");
  tree.AddTop("");
  const std::string text = WriteTreeText(tree);
  EXPECT_EQ(text,
            "\xE4\xE2\xE0 \xEF\xF0\xEE\xE1\xE5\xEB\xE0\r\n"
            "\t\xF2\xE0\xE1\r\n"
            "\ta  b\r\n"
            "\tx y\r\n"
            "\t\t\r\n"
            "\t\xEB\xF4 \xE2 \xF1\xE5\xF0\xE5\xE4\xE8\xED\xE5 \r\n"
            "\r\n");
  Tree back;
  ASSERT_FALSE(ReadTreeText(text, back));
  EXPECT_EQ(Shape(back),
            (std::vector<std::string>{"0:два пробела", "1:таб", "1:a  b", "1:x y", "2:", "1:лф в середине ", "0:"}));
}

struct ReadCase {
  const char* name;
  std::string text;
  std::vector<std::string> shape;
  std::size_t failLine;  // 0: reads without an error
  std::size_t failOffset;
};

class TreeTextReader : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TreeTextReader, Reads) {
  const ReadCase& c = GetParam();
  Tree tree;
  tree.AddTop("stale");  // the reader empties the tree first
  const auto error = ReadTreeText(c.text, tree);
  if (c.failLine == 0) {
    EXPECT_FALSE(error) << "line " << error->line;
  } else {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, c.failLine);
    EXPECT_EQ(error->offset, c.failOffset);
  }
  EXPECT_EQ(Shape(tree), c.shape);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeTextReader,
    ::testing::Values(
        ReadCase{"crlf", "A\r\n\tB\r\n\t\tC\r\nD\r\n", {"0:A", "1:B", "2:C", "0:D"}, 0, 0},
        ReadCase{"lone_cr", "A\r\tB\r\t\tC\rD\r", {"0:A", "1:B", "2:C", "0:D"}, 0, 0},
        ReadCase{"lone_lf", "A\n\tB\n\t\tC\nD\n", {"0:A", "1:B", "2:C", "0:D"}, 0, 0},
        ReadCase{"mixed_ends", "A\r\n\tB\n\tC\r\tD", {"0:A", "1:B", "1:C", "1:D"}, 0, 0},
        ReadCase{"lf_cr_is_two_ends", "A\n\rB", {"0:A", "0:", "0:B"}, 0, 0},
        ReadCase{"empty_line", "A\r\n\r\n\tB\r\n", {"0:A", "0:", "1:B"}, 0, 0},
        ReadCase{"final_line_without_end", "A\r\n\tB", {"0:A", "1:B"}, 0, 0},
        ReadCase{"no_line_end_at_all", "A", {"0:A"}, 0, 0},
        ReadCase{"zero_byte_ends", "A\r\n\tB\0\t\t\t\tC\r\nD\r\n"s, {"0:A", "1:B"}, 0, 0},
        ReadCase{"zero_byte_first", "\0A\r\n"s, {}, 0, 0}, ReadCase{"empty", "", {}, 0, 0},
        ReadCase{"only_crlf", "\r\n", {"0:"}, 0, 0},
        ReadCase{"blanks_as_levels", "A\r\n B\r\n  C\r\n \tD\r\n\t E", {"0:A", "1:B", "2:C", "2:D", "2:E"}, 0, 0},
        ReadCase{"blanks_inside_kept", "A  B \r\n\tC\tD", {"0:A  B ", "1:C\tD"}, 0, 0},
        ReadCase{
            "back_to_ancestor", "A\n\tB\n\t\tC\n\t\t\tD\n\tE\n\t\t\tF", {"0:A", "1:B", "2:C", "3:D", "1:E"}, 6, 17},
        ReadCase{"back_to_top", "A\n\tB\n\t\tC\nD\n\tE", {"0:A", "1:B", "2:C", "0:D", "1:E"}, 0, 0},
        ReadCase{
            "first_line_is_top_whatever_its_level", "\t\tA\r\n\tB\r\n\t\tC\r\nD", {"0:A", "1:B", "2:C", "0:D"}, 0, 0},
        ReadCase{"two_levels_deeper_fails", "A\r\n\tB\r\n\t\t\tC\r\nD\r\n", {"0:A", "1:B"}, 3, 7},
        ReadCase{"deeper_on_second_line", "A\n\t\tB", {"0:A"}, 2, 2},
        ReadCase{"very_deep_line", "A\n" + std::string(100000, '\t') + "B", {"0:A"}, 2, 2},
        ReadCase{"windows1251",
                 "\xC2\xF5\xEE\xE4\r\n\t\x4B\xE0\xF1\xE0\xED\xE8\xE5 \xD2\xCC",
                 {"0:Вход", "1:Kасание ТМ"},
                 0,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TreeTextReader, FailureKeepsTheNodesReadSoFar) {
  Tree tree;
  const auto error = ReadTreeText("A\n\tB\n\tC\n\t\tD\n\t\t\t\tE\nF\n", tree);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 5u);
  EXPECT_EQ(tree.size(), 4u);
  EXPECT_EQ(tree.top(0)->child(1)->child(0)->text, "D");
}

// Every default tree: the text reads back to the same shape, and writing that
// again gives the same bytes. Its length has five digits, as the settings file
// expects.
TEST(TreeTextRoundTrip, DefaultTreesOfEveryVersion) {
  for (int v = 10; v <= 15; ++v) {
    for (bool guard : {true, false}) {
      SCOPED_TRACE(std::string("v").append(std::to_string(v)).append(guard ? " guard" : " key"));
      ConfigImage image(layout::kLongImageLength);
      Tree t1, t2;
      BuildTree1(t1, image);
      BuildTree2(t2, image, v);
      if (!guard) SetGuardBranch(t1, image, false);
      for (const Tree* t : {&t1, &t2}) {
        const std::string text = WriteTreeText(*t);
        EXPECT_GE(text.size(), 10000u);
        EXPECT_LE(text.size(), 99999u);
        Tree back;
        ASSERT_FALSE(ReadTreeText(text, back));
        EXPECT_EQ(back.size(), t->size());
        EXPECT_EQ(Shape(back), Shape(*t));
        EXPECT_EQ(WriteTreeText(back), text);
      }
    }
  }
}

}  // namespace
}  // namespace vemtaro
