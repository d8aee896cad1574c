// The two reaction trees: default shapes and the bytes the builders write, the
// guard branch, the refresh of a node's children from the image, the mapping of
// nodes to reaction blocks and the icon passes.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/cp1251.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace {

namespace L = layout;
using testing::ScriptedDialogs;

constexpr const char* kInvalid = "Неверные данные в контроллере";

TreeNode* At(const Tree& tree, std::initializer_list<std::size_t> path) {
  TreeNode* node = nullptr;
  bool first = true;
  for (std::size_t i : path) {
    node = first ? tree.top(i) : node->child(i);
    first = false;
    if (node == nullptr) return nullptr;
  }
  return node;
}

std::size_t Subtree(const TreeNode& n) {
  std::size_t c = 1;
  for (const auto& ch : n.children()) c += Subtree(*ch);
  return c;
}

std::string Bytes(const ConfigImage& image, std::size_t from, std::size_t n) { return image.Raw(from, n); }

// An SMS text field as the builders write it: the text in Windows-1251, then '*'.
std::string SmsField(const std::string& utf8) {
  std::string coded = Utf8ToCp1251(utf8);
  coded.resize(L::kSmsFieldLength, '*');
  return coded;
}

// Checks one event node: the three groups with their default items.
void ExpectDefaultEvent(const TreeNode& event, const std::string& sms) {
  ASSERT_EQ(event.childCount(), 3u) << event.text;
  const TreeNode& relays = *event.child(0);
  const TreeNode& phones = *event.child(1);
  const TreeNode& group = *event.child(2);
  EXPECT_EQ(relays.text, "Реле");
  EXPECT_EQ(relays.icon, 6);
  EXPECT_EQ(phones.text, "Телефоны");
  EXPECT_EQ(phones.icon, 7);
  EXPECT_EQ(group.text, "SMS");
  EXPECT_EQ(group.icon, 8);
  ASSERT_EQ(relays.childCount(), 16u);
  for (std::size_t k = 0; k < 16; ++k) {
    EXPECT_EQ(relays.child(k)->text, std::to_string(k + 1) + " - Не изменять");
    EXPECT_EQ(relays.child(k)->icon, 11);
    EXPECT_EQ(relays.child(k)->childCount(), 0u);
  }
  ASSERT_EQ(phones.childCount(), 9u);
  for (std::size_t k = 0; k < 9; ++k) {
    EXPECT_EQ(phones.child(k)->text, std::to_string(k + 1) + " - Нет -");
    EXPECT_EQ(phones.child(k)->icon, 14);
  }
  ASSERT_EQ(group.childCount(), 1u);
  EXPECT_EQ(group.child(0)->text, sms);
  EXPECT_EQ(group.child(0)->icon, 15);
}

// Checks the default bytes of one reaction block.
void ExpectDefaultBlock(const ConfigImage& image, std::size_t b, const std::string& sms) {
  EXPECT_EQ(Bytes(image, b, 16), std::string(16, 'N')) << "relays of block " << b;
  EXPECT_EQ(Bytes(image, b + 16, 9), std::string(9, 'N')) << "slots of block " << b;
  EXPECT_EQ(Bytes(image, b + 25, 33), SmsField(sms)) << "SMS of block " << b;
  EXPECT_EQ(image.Byte(b + 58), std::uint8_t{'*'}) << "end of block " << b;
}

struct SourceRow {
  std::string text;
  int icon;
  std::string event1;
  int icon1;
  std::string event2;
  int icon2;
  std::string sms1;
  std::string sms2;
};

std::vector<SourceRow> SourceTable() {
  std::vector<SourceRow> rows;
  for (int k = 1; k <= 8; ++k) {
    const std::string n = std::to_string(k);
    rows.push_back(
        {"Вход " + n, 3, "Замыкание", 4, "Размыкание", 5, "Вход " + n + " Замкнут", "Вход " + n + " Разомкнут"});
  }
  rows.push_back({"Сеть 220v ", 19, "Восстановление", 12, "Пропадание", 13, "Питание от сети ВОССТАНОВЛЕНО",
                  "Питание от сети ОТСУТСТВУЕТ"});
  for (int k = 0; k <= 3; ++k) {
    const std::string n = std::to_string(k);
    rows.push_back({"Кнопка " + n, 54, "Нажатие", 4, "Отпускание", 5, "Кнопка " + n + " брелока НАЖАТА",
                    "Кнопка " + n + " брелока ОТПУЩЕНА"});
  }
  rows.push_back({"ОХРАНА ", 20, "Постановка", 21, "Снятие", 22, "Принято под ОХРАНУ", "Снято с ОХРАНЫ"});
  return rows;
}

class Tree1Test : public ::testing::Test {
 protected:
  void SetUp() override { BuildTree1(tree, image); }
  ConfigImage image{L::kLongImageLength};
  Tree tree;
  AbonentList abonents;
  ScriptedDialogs dialogs;
};

TEST_F(Tree1Test, BuildsTheDefaultShape) {
  EXPECT_EQ(tree.size(), 892u);
  ASSERT_EQ(tree.topCount(), 16u);
  const auto rows = SourceTable();
  ASSERT_EQ(rows.size(), 14u);
  for (std::size_t s = 0; s < rows.size(); ++s) {
    SCOPED_TRACE("source " + std::to_string(s));
    const TreeNode& source = *tree.top(s);
    EXPECT_EQ(source.text, rows[s].text);
    EXPECT_EQ(source.icon, rows[s].icon);
    EXPECT_EQ(Subtree(source), 61u);
    ASSERT_EQ(source.childCount(), 2u);
    EXPECT_EQ(source.child(0)->text, rows[s].event1);
    EXPECT_EQ(source.child(0)->icon, rows[s].icon1);
    EXPECT_EQ(source.child(1)->text, rows[s].event2);
    EXPECT_EQ(source.child(1)->icon, rows[s].icon2);
    ExpectDefaultEvent(*source.child(0), rows[s].sms1);
    ExpectDefaultEvent(*source.child(1), rows[s].sms2);
  }
  for (std::size_t a = 0; a < 2; ++a) {
    SCOPED_TRACE("alarm clock " + std::to_string(a + 1));
    const TreeNode& alarm = *tree.top(14 + a);
    EXPECT_EQ(alarm.text, "Будильник " + std::to_string(a + 1));
    EXPECT_EQ(alarm.icon, 51);
    EXPECT_EQ(Subtree(alarm), 19u);
    ASSERT_EQ(alarm.childCount(), 1u);
    const TreeNode& time = *alarm.child(0);
    EXPECT_EQ(time.text, "00:00");
    EXPECT_EQ(time.icon, 52);
    ASSERT_EQ(time.childCount(), 1u);
    const TreeNode& relays = *time.child(0);
    EXPECT_EQ(relays.text, "Реле");
    EXPECT_EQ(relays.icon, 6);
    ASSERT_EQ(relays.childCount(), 16u);
    for (std::size_t k = 0; k < 16; ++k) {
      EXPECT_EQ(relays.child(k)->text, std::to_string(k + 1) + " - Не изменять");
      EXPECT_EQ(relays.child(k)->icon, 11);
    }
  }
}

TEST_F(Tree1Test, WritesTheDefaultBlocksAndNothingElse) {
  const auto rows = SourceTable();
  for (std::size_t s = 0; s < 14; ++s) {
    ExpectDefaultBlock(image, 118 * s, rows[s].sms1);
    ExpectDefaultBlock(image, 118 * s + 59, rows[s].sms2);
  }
  // Every relay and phone byte of the control area and of the alarm clocks.
  for (std::size_t b = 0; b < 1652; b += 59) {
    for (std::size_t i = 0; i < 25; ++i) ASSERT_EQ(image.Byte(b + i), std::uint8_t{'N'}) << b + i;
    ASSERT_EQ(image.Byte(b + 58), std::uint8_t{'*'}) << b + 58;
  }
  EXPECT_EQ(Bytes(image, 5087, 32), std::string(32, 'N'));
  // Input 1, first block: the 14 characters of "Вход 1 Замкнут", then fill.
  EXPECT_EQ(Bytes(image, 25, 14), "\xC2\xF5\xEE\xE4 1 \xC7\xE0\xEC\xEA\xED\xF3\xF2");
  EXPECT_EQ(Bytes(image, 39, 20), std::string(20, '*'));
  // The guard entry's first SMS text.
  EXPECT_EQ(Bytes(image, 1559, 18), Utf8ToCp1251("Принято под ОХРАНУ"));
  // Neither the alarm times, nor the alarm flags, nor any other field.
  for (std::size_t i = 1652; i < image.size(); ++i) {
    if (i >= 5087 && i < 5119) continue;
    ASSERT_EQ(image.Byte(i), std::uint8_t{0}) << "byte " << i;
  }
}

TEST_F(Tree1Test, BuildDoesNotEmptyTheTree) {
  BuildTree1(tree, image);
  EXPECT_EQ(tree.topCount(), 32u);
  Tree tree2;
  tree2.AddTop("x");
  ResetTrees(tree, tree2, image, 15);
  EXPECT_EQ(tree.size(), 892u);
  EXPECT_EQ(tree2.size(), 16u * 93u);
}

TEST_F(Tree1Test, GuardBranchOffAndOnAgain) {
  // User settings in both guard events.
  image.SetRaw(1534, "ZR");
  image.SetRaw(1534 + 16, "31");
  image.WriteText(1534 + 25, 33, "Своё");
  image.SetRaw(1593, "ZZZ");
  image.SetRaw(1593 + 16, "9");
  image.WriteText(1593 + 25, 33, "Другое");
  image.SetByte(1651, 'E');
  At(tree, {13, 0})->expanded = true;
  At(tree, {2})->expanded = true;
  const std::string disarmBefore = Bytes(image, 1593, 59);
  // Outside the guard entry's SMS texts and relay and slot fields, and the guard
  // byte, the switch writes nothing.
  auto expectOnlyGuardBytesChanged = [&](const std::string& before) {
    for (std::size_t i = 0; i < image.size(); ++i) {
      const bool guardField = (i >= 1559 && i < 1592) || (i >= 1593 && i < 1651) || i == 5051;
      if (!guardField) {
        ASSERT_EQ(image.Byte(i), static_cast<std::uint8_t>(before[i])) << "byte " << i;
      }
    }
  };
  std::string before = Bytes(image, 0, image.size());

  SetGuardBranch(tree, image, false);
  expectOnlyGuardBytesChanged(before);
  EXPECT_EQ(tree.size(), 862u);
  EXPECT_EQ(image.Byte(5051), std::uint8_t{'0'});
  const TreeNode& key = *tree.top(13);
  EXPECT_EQ(key.text, "КЛЮЧ Touch Memory");
  EXPECT_EQ(key.icon, 38);
  ASSERT_EQ(key.childCount(), 1u);
  EXPECT_EQ(key.child(0)->text, "КАСАНИЕ");
  EXPECT_EQ(key.child(0)->icon, 28);
  EXPECT_EQ(Subtree(key), 31u);
  EXPECT_EQ(At(tree, {13, 0, 2, 0})->text, "Kасание ТМ");
  EXPECT_EQ(At(tree, {13, 0, 2, 0})->text.substr(0, 1), "K");  // Latin K
  EXPECT_EQ(Bytes(image, 1534 + 25, 33), std::string("\x4B\xE0\xF1\xE0\xED\xE8\xE5 \xD2\xCC") + std::string(23, '*'));
  EXPECT_EQ(Bytes(image, 1534, 2), "ZR");
  EXPECT_EQ(Bytes(image, 1534 + 16, 2), "31");
  EXPECT_EQ(Bytes(image, 1593, 59), disarmBefore);  // the deleted event's bytes stay
  tree.ForEach([](const TreeNode& n) { EXPECT_FALSE(n.expanded) << n.text; });
  // The other sources are untouched.
  EXPECT_EQ(tree.top(12)->text, "Кнопка 3");
  EXPECT_EQ(tree.top(14)->text, "Будильник 1");

  At(tree, {13, 0})->expanded = true;
  before = Bytes(image, 0, image.size());
  SetGuardBranch(tree, image, true);
  expectOnlyGuardBytesChanged(before);
  EXPECT_EQ(tree.size(), 892u);
  EXPECT_EQ(image.Byte(5051), std::uint8_t{'1'});
  const TreeNode& guard = *tree.top(13);
  EXPECT_EQ(guard.text, "ОХРАНА");  // without the builder's trailing space
  EXPECT_EQ(guard.icon, 20);
  ASSERT_EQ(guard.childCount(), 2u);
  EXPECT_EQ(guard.child(0)->text, "Постановка");
  EXPECT_EQ(guard.child(0)->icon, 21);
  EXPECT_EQ(guard.child(1)->text, "Снятие");
  EXPECT_EQ(guard.child(1)->icon, 22);
  EXPECT_EQ(At(tree, {13, 0, 2, 0})->text, "Принято под ОХРАНУ");
  EXPECT_EQ(Bytes(image, 1534 + 25, 33), SmsField("Принято под ОХРАНУ"));
  // The first event keeps its relays and slots.
  EXPECT_EQ(Bytes(image, 1534, 3), "ZRN");
  EXPECT_EQ(Bytes(image, 1534 + 16, 3), "31N");
  // The second event comes back with its defaults; its end byte is not rewritten.
  ExpectDefaultEvent(*guard.child(1), "Снято с ОХРАНЫ");
  EXPECT_EQ(Bytes(image, 1593, 25), std::string(25, 'N'));
  EXPECT_EQ(Bytes(image, 1593 + 25, 33), SmsField("Снято с ОХРАНЫ"));
  EXPECT_EQ(image.Byte(1651), std::uint8_t{'E'});
  tree.ForEach([](const TreeNode& n) { EXPECT_FALSE(n.expanded) << n.text; });
}

TEST_F(Tree1Test, GuardBranchWithoutTheGuardSourceWritesOnlyTheImage) {
  Tree partial;
  partial.AddTop("Вход 1");
  SetGuardBranch(partial, image, false);
  EXPECT_EQ(partial.size(), 1u);
  EXPECT_EQ(image.Byte(5051), std::uint8_t{'0'});
  SetGuardBranch(partial, image, true);
  EXPECT_EQ(image.Byte(5051), std::uint8_t{'1'});
}

TEST_F(Tree1Test, RelayRefreshShowsEveryCode) {
  image.SetRaw(0, "ZRNZRNZRNZRNZRNZ");
  const std::string before = Bytes(image, 0, image.size());
  TreeNode& relays = *At(tree, {0, 0, 0});
  Tree1Expanded(relays, image, abonents, dialogs);
  const char* kTexts[] = {" - Включить", " - Выключить", " - Не изменять"};
  const int kIcons[] = {12, 13, 11};
  for (std::size_t k = 0; k < 16; ++k) {
    EXPECT_EQ(relays.child(k)->text, std::to_string(k + 1) + kTexts[k % 3]);
    EXPECT_EQ(relays.child(k)->icon, kIcons[k % 3]);
  }
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(Bytes(image, 0, image.size()), before);  // a refresh writes nothing
}

TEST_F(Tree1Test, InvalidRelayByteStopsTheRefreshOnce) {
  for (const std::uint8_t bad :
       {std::uint8_t{'z'}, std::uint8_t{'0'}, std::uint8_t{'*'}, std::uint8_t{0}, std::uint8_t{0xDA}}) {
    SCOPED_TRACE(static_cast<int>(bad));
    dialogs.Clear();
    TreeNode& relays = *At(tree, {3, 1, 0});
    for (std::size_t k = 0; k < 16; ++k) {
      relays.child(k)->text = "old";
      relays.child(k)->icon = 99;
    }
    const std::size_t b = 3 * 118 + 59;
    image.SetRaw(b, "ZRN");
    image.SetByte(b + 3, bad);
    image.SetByte(b + 4, 'Z');
    image.SetByte(b + 10, bad);
    Tree1Expanded(relays, image, abonents, dialogs);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kInvalid});
    EXPECT_FALSE(dialogs.shown[0].error);
    EXPECT_EQ(relays.child(0)->text, "1 - Включить");
    EXPECT_EQ(relays.child(1)->text, "2 - Выключить");
    EXPECT_EQ(relays.child(2)->text, "3 - Не изменять");
    for (std::size_t k = 3; k < 16; ++k) {
      EXPECT_EQ(relays.child(k)->text, "old") << k;
      EXPECT_EQ(relays.child(k)->icon, 99) << k;
    }
    EXPECT_EQ(image.Byte(b + 3), bad);
  }
}

struct RelayMapCase {
  const char* name;
  bool control;                   // Tree1, else Tree2 of version 15
  std::vector<std::size_t> path;  // to the "Реле" group
  std::size_t start;
};

class RelayMapping : public ::testing::TestWithParam<RelayMapCase> {};

TEST_P(RelayMapping, GroupReadsItsBlock) {
  const RelayMapCase& c = GetParam();
  ConfigImage image(L::kLongImageLength);
  Tree tree1, tree2;
  BuildTree1(tree1, image);
  BuildTree2(tree2, image, 15);
  Tree& tree = c.control ? tree1 : tree2;
  TreeNode* node = nullptr;
  for (std::size_t i = 0; i < c.path.size(); ++i) node = i == 0 ? tree.top(c.path[0]) : node->child(c.path[i]);
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(node->text, "Реле");
  const auto block = c.control ? Tree1Block(*node) : Tree2Block(*node);
  ASSERT_TRUE(block);
  EXPECT_EQ(*block, c.start);
  const auto itemBlock = c.control ? Tree1Block(*node->child(5)) : Tree2Block(*node->child(5));
  EXPECT_EQ(itemBlock, block);
  // A pattern that no shifted window reproduces.
  const std::string pattern = "ZRNNZZRNRNNNZRRZ";
  image.SetRaw(c.start, pattern);
  ScriptedDialogs dialogs;
  AbonentList abonents;
  if (c.control) {
    Tree1Expanded(*node, image, abonents, dialogs);
  } else {
    Tree2Expanded(*node, image, abonents, dialogs);
  }
  EXPECT_TRUE(dialogs.shown.empty());
  for (std::size_t k = 0; k < 16; ++k) {
    const char* kind = pattern[k] == 'Z' ? " - Включить" : pattern[k] == 'R' ? " - Выключить" : " - Не изменять";
    EXPECT_EQ(node->child(k)->text, std::to_string(k + 1) + kind);
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, RelayMapping,
                         ::testing::Values(RelayMapCase{"input1_close", true, {0, 0, 0}, 0},
                                           RelayMapCase{"input3_open", true, {2, 1, 0}, 295},
                                           RelayMapCase{"mains_lost", true, {8, 1, 0}, 1003},
                                           RelayMapCase{"button2_press", true, {11, 0, 0}, 1298},
                                           RelayMapCase{"disarm", true, {13, 1, 0}, 1593},
                                           RelayMapCase{"alarm1", true, {14, 0, 0}, 5087},
                                           RelayMapCase{"alarm2", true, {15, 0, 0}, 5103},
                                           RelayMapCase{"sensor1_above", false, {0, 0, 1}, 1652},
                                           RelayMapCase{"sensor8_below", false, {7, 2, 1}, 3009},
                                           RelayMapCase{"adc1_norm", false, {8, 1, 0}, 3127},
                                           RelayMapCase{"adc8_below", false, {15, 2, 1}, 4425}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tree1Test, AlarmClockRelayFromItsOwnField) {
  image.SetByte(5090, 'Z');
  TreeNode& relays = *At(tree, {14, 0, 0});
  Tree1Expanded(relays, image, abonents, dialogs);
  EXPECT_EQ(relays.child(3)->text, "4 - Включить");
  EXPECT_EQ(relays.child(3)->icon, 12);
  EXPECT_EQ(relays.child(2)->text, "3 - Не изменять");
  // Alarm clock 2 does not see it.
  TreeNode& relays2 = *At(tree, {15, 0, 0});
  Tree1Expanded(relays2, image, abonents, dialogs);
  EXPECT_EQ(relays2.child(3)->text, "4 - Не изменять");
}

TEST_F(Tree1Test, AlarmTimeNodeShowsItsBytesAsTheyStand) {
  image.SetRaw(5077, "07:30");
  image.SetRaw(5082, "2*:x9");
  image.SetByte(5087, 'Q');  // the relays are not read when the time node expands
  TreeNode& time1 = *At(tree, {14, 0});
  TreeNode& time2 = *At(tree, {15, 0});
  Tree1Expanded(time1, image, abonents, dialogs);
  Tree1Expanded(time2, image, abonents, dialogs);
  EXPECT_EQ(time1.text, "07:30");
  EXPECT_EQ(time2.text, "2*:x9");
  EXPECT_TRUE(dialogs.shown.empty());
  // The alarm clock node itself is left alone.
  Tree1Expanded(*tree.top(14), image, abonents, dialogs);
  EXPECT_EQ(tree.top(14)->text, "Будильник 1");
}

TEST_F(Tree1Test, PhoneSlotsShowTheSubscriberList) {
  abonents[0] = "+79001112233";
  abonents[4] = "+74950000005";
  abonents[8] = "+79990000009";
  const std::size_t b = 118 * 5;  // input 6, closing
  image.SetRaw(b + 16, "13N912NN5");
  const std::vector<std::string> expected = {"+79001112233", "2 - Нет -", "3 - Нет -", "+79990000009", "+79001112233",
                                             "6 - Нет -",    "7 - Нет -", "8 - Нет -", "+74950000005"};
  TreeNode& phones = *At(tree, {5, 0, 1});
  for (std::size_t k = 0; k < 9; ++k) phones.child(k)->icon = 99;
  Tree1Expanded(phones, image, abonents, dialogs);
  EXPECT_TRUE(dialogs.shown.empty());
  for (std::size_t k = 0; k < 9; ++k) {
    EXPECT_EQ(phones.child(k)->text, expected[k]) << k;
    EXPECT_EQ(phones.child(k)->icon, 14);
  }
  EXPECT_EQ(Bytes(image, b + 16, 9), "13N912NN5");  // "3" stays although entry 3 is empty
}

TEST_F(Tree1Test, InvalidPhoneSlotChangesNothing) {
  abonents[0] = "+79001112233";
  const std::size_t b = 118 * 5 + 59;
  TreeNode& phones = *At(tree, {5, 1, 1});
  for (const char bad : {'0', 'A', '*', 'n', '\0'}) {
    SCOPED_TRACE(static_cast<int>(bad));
    dialogs.Clear();
    for (std::size_t k = 0; k < 9; ++k) phones.child(k)->text = "old";
    image.SetRaw(b + 16, "11111111");
    image.SetByte(b + 24, static_cast<std::uint8_t>(bad));
    const std::string before = Bytes(image, 0, image.size());
    Tree1Expanded(phones, image, abonents, dialogs);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kInvalid});
    for (std::size_t k = 0; k < 9; ++k) EXPECT_EQ(phones.child(k)->text, "old");
    EXPECT_EQ(Bytes(image, 0, image.size()), before);
  }
}

struct SmsCase {
  const char* name;
  std::string field;  // the 33 bytes at 25..57
  std::string text;   // the node's text after the refresh
};

TEST_F(Tree1Test, SmsNodeSkipsEveryFillByte) {
  const std::vector<SmsCase> cases = {
      {"only fill", std::string(33, '*'), ""},
      {"padded", "Hello" + std::string(28, '*'), "Hello"},
      {"fill inside", "ab**c*d" + std::string(26, '*'), "abcd"},
      {"full field", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456"},
      {"cyrillic", "\xD2\xE5\xF1\xF2" + std::string(29, '*'), "Тест"},
  };
  const std::size_t b = 118 * 9 + 59;  // button 0, released
  image.SetByte(b + 58, 'Q');          // the end byte is not part of the text
  TreeNode& sms = *At(tree, {9, 1, 2});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.field.size(), 33u);
    image.SetRaw(b + 25, c.field);
    Tree1Expanded(sms, image, abonents, dialogs);
    EXPECT_EQ(sms.child(0)->text, c.text);
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Tree1Test, NodesOutsideTheAreasMapToNothing) {
  // A tree as it may come from a file: an extra top-level node, a third event,
  // a 17th relay and a 10th phone slot.
  auto addEvent = [](TreeNode& parent, const std::string& name) {
    TreeNode* ev = parent.AddChild(name);
    TreeNode* r = ev->AddChild("Реле");
    for (int k = 0; k < 16; ++k) r->AddChild("old");
    TreeNode* p = ev->AddChild("Телефоны");
    for (int k = 0; k < 9; ++k) p->AddChild("old");
    ev->AddChild("SMS")->AddChild("old");
    return ev;
  };
  addEvent(*tree.AddTop("Лишний"), "Событие");
  addEvent(*tree.top(0), "Третье");
  addEvent(*tree.top(14), "Второе время");
  At(tree, {0, 0, 0})->AddChild("old");
  At(tree, {0, 0, 1})->AddChild("old");
  // Every byte of the image is a valid relay code and slot digit.
  ConfigImage full(L::kLongImageLength);
  full.Fill(0, full.size(), '1');
  full.Fill(0, 16, 'Z');
  abonents[0] = "+7000";
  const std::string before = full.Raw(0, full.size());

  for (TreeNode* n : {At(tree, {16, 0}), At(tree, {0, 2}), At(tree, {14, 1})}) {
    EXPECT_FALSE(Tree1Block(*n->child(0)));
    EXPECT_FALSE(Tree1Block(*n->child(0)->child(0)));
    for (std::size_t g = 0; g < 3; ++g) Tree1Expanded(*n->child(g), full, abonents, dialogs);
    for (std::size_t g = 0; g < 3; ++g) {
      for (const auto& item : n->child(g)->children()) EXPECT_EQ(item->text, "old") << n->text;
    }
  }
  // The mapped groups refresh their 16 relays and 9 slots, not the extra items.
  Tree1Expanded(*At(tree, {0, 0, 0}), full, abonents, dialogs);
  Tree1Expanded(*At(tree, {0, 0, 1}), full, abonents, dialogs);
  EXPECT_EQ(At(tree, {0, 0, 0, 15})->text, "16 - Включить");
  EXPECT_EQ(At(tree, {0, 0, 0, 16})->text, "old");
  EXPECT_EQ(At(tree, {0, 0, 1, 8})->text, "+7000");
  EXPECT_EQ(At(tree, {0, 0, 1, 9})->text, "old");
  // Nodes above level 3 and the root level map to nothing either.
  EXPECT_FALSE(Tree1Block(*tree.top(0)));
  EXPECT_FALSE(Tree1Block(*At(tree, {0, 0})));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(full.Raw(0, full.size()), before);
}

TEST_F(Tree1Test, ShortImageIsNeverReadPastItsEnd) {
  ConfigImage small(1600);
  small.Fill(0, small.size(), 'N');
  // The disarm block (1593..1651) does not fit: its relays read up to 1599, then stop.
  TreeNode& relays = *At(tree, {13, 1, 0});
  Tree1Expanded(relays, small, abonents, dialogs);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kInvalid});
  dialogs.Clear();
  Tree1Expanded(*At(tree, {13, 1, 1}), small, abonents, dialogs);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kInvalid});
  Tree1Expanded(*At(tree, {13, 1, 2}), small, abonents, dialogs);
  EXPECT_EQ(At(tree, {13, 1, 2, 0})->text, "");
  Tree1Expanded(*At(tree, {14, 0}), small, abonents, dialogs);
  EXPECT_EQ(At(tree, {14, 0})->text, "");
}

struct AlarmIconCase {
  std::uint8_t flags;
  int icon1;
  int icon2;
};

TEST(AlarmIcons, FromTheAlarmDigit) {
  const std::vector<AlarmIconCase> cases = {
      {'0', 53, 53}, {'1', 51, 53}, {'2', 53, 51}, {'3', 51, 51}, {'X', 7, 8}, {'4', 7, 8}, {'/', 7, 8}, {0, 7, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    ConfigImage image(L::kLongImageLength);
    Tree tree;
    BuildTree1(tree, image);
    tree.top(14)->icon = 7;
    tree.top(15)->icon = 8;
    SetAlarmIcons(tree, c.flags);
    EXPECT_EQ(tree.top(14)->icon, c.icon1);
    EXPECT_EQ(tree.top(15)->icon, c.icon2);
  }
  Tree empty;
  SetAlarmIcons(empty, '3');  // a tree without alarm clocks is left alone
  EXPECT_EQ(empty.size(), 0u);
}

// ---- Tree2 ----------------------------------------------------------------

struct Tree2Shape {
  int firmware;
  std::size_t sensors;
  std::size_t analog;
};

class Tree2Build : public ::testing::TestWithParam<Tree2Shape> {};

TEST_P(Tree2Build, ChannelsOfTheVersion) {
  const Tree2Shape& p = GetParam();
  ConfigImage image(L::kLongImageLength);
  Tree tree;
  BuildTree2(tree, image, p.firmware);
  const std::size_t channels = p.sensors + p.analog;
  ASSERT_EQ(tree.topCount(), channels);
  EXPECT_EQ(tree.size(), 93 * channels);
  for (std::size_t c = 0; c < channels; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    const bool analog = c >= p.sensors;
    const std::string number = std::to_string(analog ? c - p.sensors + 1 : c + 1);
    const TreeNode& ch = *tree.top(c);
    EXPECT_EQ(ch.text, (analog ? "АЦП " : "Датчик ") + number);
    EXPECT_EQ(ch.icon, analog ? 55 : 23);
    EXPECT_EQ(Subtree(ch), 93u);
    ASSERT_EQ(ch.childCount(), 3u);
    const std::string prefix = (analog ? "АЦП " : "Дат. ") + number;
    const TreeNode& above = *ch.child(0);
    const TreeNode& norm = *ch.child(1);
    const TreeNode& below = *ch.child(2);
    EXPECT_EQ(above.text, "Выше MAX порога");
    EXPECT_EQ(above.icon, 4);
    EXPECT_EQ(norm.text, "Норма");
    EXPECT_EQ(norm.icon, 26);
    EXPECT_EQ(below.text, "Ниже MIN уровня");
    EXPECT_EQ(below.icon, 5);
    ASSERT_EQ(above.childCount(), 4u);
    ASSERT_EQ(below.childCount(), 4u);
    EXPECT_EQ(above.child(0)->text, "21");
    EXPECT_EQ(above.child(0)->icon, 24);
    EXPECT_EQ(below.child(0)->text, "-2");
    EXPECT_EQ(below.child(0)->icon, 25);
    // The groups, checked as an event of Tree1 without the value node.
    const std::vector<std::pair<const TreeNode*, std::string>> states = {{&above, prefix + " - БОЛЬШЕ ВЕРХНЕГО порога"},
                                                                         {&norm, prefix + " - НОРМА"},
                                                                         {&below, prefix + " - МЕНЬШЕ НИЖНЕГО порога"}};
    for (std::size_t e = 0; e < 3; ++e) {
      Tree copy;
      TreeNode* ev = copy.AddTop("e");
      const TreeNode& state = *states[e].first;
      for (std::size_t g = state.childCount() - 3; g < state.childCount(); ++g) {
        TreeNode* grp = ev->AddChild(state.child(g)->text, state.child(g)->icon);
        for (const auto& item : state.child(g)->children()) grp->AddChild(item->text, item->icon);
      }
      ExpectDefaultEvent(*ev, states[e].second);
      ExpectDefaultBlock(image, 1652 + 177 * c + 59 * e, states[e].second);
    }
    EXPECT_EQ(Bytes(image, 4484 + 8 * c, 8), "21  -2  ");
  }
  // Nothing outside the reaction and threshold areas of the channels built.
  const std::size_t blockEnd = 1652 + 177 * channels;
  const std::size_t thresholdEnd = 4484 + 8 * channels;
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool written = (i >= 1652 && i < blockEnd) || (i >= 4484 && i < thresholdEnd);
    if (!written) {
      ASSERT_EQ(image.Byte(i), std::uint8_t{0}) << "byte " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, Tree2Build,
                         ::testing::Values(Tree2Shape{10, 16, 0}, Tree2Shape{11, 16, 0}, Tree2Shape{12, 8, 0},
                                           Tree2Shape{13, 8, 8}, Tree2Shape{14, 8, 8}, Tree2Shape{15, 8, 8}),
                         [](const auto& info) {
                           return std::string(1, 'v').append(std::to_string(info.param.firmware));
                         });

TEST(Tree2, LongestDefaultTextFitsTheField) {
  ConfigImage image(L::kLongImageLength);
  Tree tree;
  BuildTree2(tree, image, 10);
  const std::string text = "Дат. 16 - МЕНЬШЕ НИЖНЕГО порога";
  EXPECT_EQ(Utf8Length(text), 31u);
  EXPECT_EQ(tree.top(15)->child(2)->child(3)->child(0)->text, text);
  EXPECT_EQ(Bytes(image, 4425 + 25, 33), SmsField(text));
}

class Tree2Test : public ::testing::Test {
 protected:
  void SetUp() override { BuildTree2(tree, image, 15); }
  ConfigImage image{L::kLongImageLength};
  Tree tree;
  AbonentList abonents;
  ScriptedDialogs dialogs;
};

TEST_F(Tree2Test, ThresholdNodesShowTheirBytesWithoutSpaces) {
  struct Case {
    const char* raw;
    const char* shown;
  };
  const std::vector<Case> cases = {{" 5.5", "5.5"}, {"    ", ""},     {"21  ", "21"},
                                   {"-1 0", "-10"}, {"abcd", "abcd"}, {"12.5", "12.5"}};
  TreeNode& above = *At(tree, {8, 0});
  TreeNode& below = *At(tree, {8, 2});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    image.SetRaw(4548, c.raw);
    image.SetRaw(4552, std::string(c.raw).substr(1) + "7");
    Tree2Expanded(above, image, abonents, dialogs);
    Tree2Expanded(below, image, abonents, dialogs);
    EXPECT_EQ(above.child(0)->text, c.shown);
    std::string belowShown;
    for (char ch : std::string(c.raw).substr(1) + "7") {
      if (ch != ' ') belowShown.push_back(ch);
    }
    EXPECT_EQ(below.child(0)->text, belowShown);
  }
  // Only the first child of the state is the value node; the norm state has none.
  TreeNode& norm = *At(tree, {8, 1});
  Tree2Expanded(norm, image, abonents, dialogs);
  EXPECT_EQ(norm.child(0)->text, "Реле");
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Tree2Test, SecondSmsOfSensor2ReadsItsField) {
  image.SetByte(1912, 'N');
  image.SetRaw(1913, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456");
  image.SetByte(1946, 'Q');
  TreeNode& sms = *At(tree, {1, 1, 2});
  ASSERT_EQ(sms.text, "SMS");
  EXPECT_EQ(Tree2Block(sms), std::optional<std::size_t>(1888));
  Tree2Expanded(sms, image, abonents, dialogs);
  EXPECT_EQ(sms.child(0)->text, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456");
}

TEST_F(Tree2Test, PhonesAndInvalidRelays) {
  abonents[1] = "+79160000002";
  image.SetRaw(3127 + 16, "2N2NNNNN3");
  TreeNode& phones = *At(tree, {8, 1, 1});
  Tree2Expanded(phones, image, abonents, dialogs);
  EXPECT_EQ(phones.child(0)->text, "+79160000002");
  EXPECT_EQ(phones.child(1)->text, "2 - Нет -");
  EXPECT_EQ(phones.child(2)->text, "+79160000002");
  EXPECT_EQ(phones.child(8)->text, "9 - Нет -");
  EXPECT_TRUE(dialogs.shown.empty());

  image.SetRaw(3127, "ZQ");
  TreeNode& relays = *At(tree, {8, 1, 0});
  Tree2Expanded(relays, image, abonents, dialogs);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kInvalid});
  EXPECT_EQ(relays.child(0)->text, "1 - Включить");
  EXPECT_EQ(relays.child(1)->text, "2 - Не изменять");
}

TEST_F(Tree2Test, NodesOutsideTheAreasMapToNothing) {
  // A 17th channel and a fourth state, with every group and a threshold state.
  auto addState = [](TreeNode& channel, const char* name) {
    TreeNode* st = channel.AddChild(name);
    st->AddChild("old");
    TreeNode* r = st->AddChild("Реле");
    for (int k = 0; k < 16; ++k) r->AddChild("old");
    TreeNode* p = st->AddChild("Телефоны");
    for (int k = 0; k < 9; ++k) p->AddChild("old");
    st->AddChild("SMS")->AddChild("old");
    return st;
  };
  TreeNode* extra = tree.AddTop("Датчик 17");
  addState(*extra, "Выше MAX порога");
  addState(*extra, "Норма");
  addState(*extra, "Ниже MIN уровня");
  addState(*tree.top(0), "Выше MAX порога");
  ConfigImage full(L::kLongImageLength);
  full.Fill(0, full.size(), 'Z');
  const std::string before = full.Raw(0, full.size());
  std::vector<TreeNode*> states = {At(tree, {16, 0}), At(tree, {16, 1}), At(tree, {16, 2}), At(tree, {0, 3})};
  for (TreeNode* st : states) {
    Tree2Expanded(*st, full, abonents, dialogs);
    for (std::size_t g = 1; g < 4; ++g) {
      EXPECT_FALSE(Tree2Block(*st->child(g)));
      Tree2Expanded(*st->child(g), full, abonents, dialogs);
    }
  }
  // The fourth state of channel 0 is a threshold state by its text and shows
  // channel 0's upper threshold; everything else keeps its text.
  EXPECT_EQ(At(tree, {0, 3, 0})->text, "ZZZZ");
  for (TreeNode* st : states) {
    for (std::size_t g = 1; g < 4; ++g) {
      for (const auto& item : st->child(g)->children()) EXPECT_EQ(item->text, "old");
    }
  }
  for (std::size_t e = 0; e < 3; ++e) EXPECT_EQ(At(tree, {16, e, 0})->text, "old");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(full.Raw(0, full.size()), before);
}

TEST(Tree2, Version12LeavesChannels8To15Alone) {
  ConfigImage image(L::kShortImageLength);
  image.Fill(0, image.size(), 'x');
  Tree tree;
  BuildTree2(tree, image, 12);
  EXPECT_EQ(tree.topCount(), 8u);
  EXPECT_EQ(image.Raw(3068, 4484 - 3068), std::string(4484 - 3068, 'x'));
  EXPECT_EQ(image.Raw(4548, 4612 - 4548), std::string(4612 - 4548, 'x'));
  EXPECT_EQ(image.Raw(4540, 8), "21  -2  ");
}

// ---- Icons after a file read ------------------------------------------------

void ClearIcons(Tree& tree) {
  tree.ForEach([](TreeNode& n) { n.icon = kNoIcon; });
}

std::vector<int> Icons(const Tree& tree) {
  std::vector<int> out;
  tree.ForEach([&](const TreeNode& n) { out.push_back(n.icon); });
  return out;
}

// The icons a pass leaves unset: relay and slot items (set when a group
// expands) and the alarm clock nodes (set from the alarm digit).
bool LeftUnset(const TreeNode& n, bool control) {
  if (n.level() == 3 && n.parent()->text != "SMS") return true;
  if (control && n.level() == 0 && n.index() >= 14) return true;
  return false;
}

TEST(StructuralIcons, RestoreTheBuiltIconsForEveryVersionAndGuardShape) {
  for (int v = 10; v <= 15; ++v) {
    for (bool guard : {true, false}) {
      SCOPED_TRACE("v" + std::to_string(v) + (guard ? " guard" : " key"));
      ConfigImage image(L::kLongImageLength);
      Tree t1, t2;
      BuildTree1(t1, image);
      BuildTree2(t2, image, v);
      if (!guard) SetGuardBranch(t1, image, false);
      const auto icons1 = Icons(t1);
      const auto icons2 = Icons(t2);
      ClearIcons(t1);
      ClearIcons(t2);
      SetStructuralIcons(t1, t2, v, guard);
      std::size_t i = 0;
      t1.ForEach([&](const TreeNode& n) {
        EXPECT_EQ(n.icon, LeftUnset(n, true) ? kNoIcon : icons1[i]) << n.text;
        ++i;
      });
      i = 0;
      t2.ForEach([&](const TreeNode& n) {
        EXPECT_EQ(n.icon, LeftUnset(n, false) ? kNoIcon : icons2[i]) << n.text;
        ++i;
      });
    }
  }
}

TEST(StructuralIcons, FollowTheVersionAndSkipMissingNodes) {
  // A file's tree with renamed, fewer and more nodes than the default shape.
  Tree t1, t2;
  t1.AddTop("Дверь")->AddChild("Открыта");
  t1.AddTop("Окно");
  for (int c = 0; c < 20; ++c) t2.AddTop("Канал " + std::to_string(c))->AddChild("Выше");
  t2.top(3)->AddChild("Норма")->AddChild("Реле");
  SetStructuralIcons(t1, t2, 15, false);
  EXPECT_EQ(t1.top(0)->icon, 3);
  EXPECT_EQ(t1.top(0)->child(0)->icon, 4);
  EXPECT_EQ(t1.top(1)->icon, 3);
  for (std::size_t c = 0; c < 16; ++c) EXPECT_EQ(t2.top(c)->icon, c < 8 ? 23 : 55) << c;
  for (std::size_t c = 16; c < 20; ++c) EXPECT_EQ(t2.top(c)->icon, kNoIcon) << c;
  EXPECT_EQ(t2.top(3)->child(1)->icon, 26);
  EXPECT_EQ(t2.top(3)->child(1)->child(0)->icon, 6);

  SetStructuralIcons(t1, t2, 11, false);
  for (std::size_t c = 0; c < 16; ++c) EXPECT_EQ(t2.top(c)->icon, 23) << c;

  // The guard shape follows the flag, whatever the file's nodes say.
  ConfigImage image(L::kLongImageLength);
  Tree g1, g2;
  BuildTree1(g1, image);
  SetStructuralIcons(g1, g2, 15, false);
  EXPECT_EQ(g1.top(13)->icon, 38);
  EXPECT_EQ(g1.top(13)->child(0)->icon, 28);
  EXPECT_EQ(g1.top(13)->child(1)->icon, 22);  // an extra event is not touched
}

}  // namespace
}  // namespace vemtaro
