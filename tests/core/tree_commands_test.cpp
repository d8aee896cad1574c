#include "trees/tree_commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "model/layout.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace {

namespace L = layout;
namespace C = command_texts;

// Scripted dialogs that also record every question of the input dialog.
class RecordingDialogs : public testing::ScriptedDialogs {
 public:
  struct Question {
    std::string caption;
    std::string initial;
    int limit;
  };
  std::vector<Question> asked;

  std::optional<std::string> InputText(const std::string& caption, const std::string& initial, int maxLength) override {
    asked.push_back({caption, initial, maxLength});
    return ScriptedDialogs::InputText(caption, initial, maxLength);
  }
};

enum Group { kRelays = 0, kPhones = 1, kSms = 2 };

// Offsets whose bytes differ between two images of equal length.
std::vector<std::size_t> Changed(const ConfigImage& before, const ConfigImage& after) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before.bytes()[i] != after.bytes()[i]) out.push_back(i);
  }
  return out;
}

const std::vector<std::size_t> kNothing;

class TreeCommandsTest : public ::testing::Test {
 protected:
  TreeCommandsTest() {
    ResetTrees(tree1, tree2, image, 15);
    image.SetRaw(L::kAlarm1Time, "00:00");
    image.SetRaw(L::kAlarm2Time, "00:00");
    image.SetByte(L::kAlarmFlags, '3');
  }

  // Tree1: source s, event e, group g, item i.
  TreeNode* Node1(std::size_t s, std::size_t e, Group g, std::size_t i) {
    return tree1.top(s)->child(e)->child(g)->child(i);
  }
  // The relay i of an alarm clock (source 14 or 15).
  TreeNode* AlarmRelay(std::size_t s, std::size_t i) { return tree1.top(s)->child(0)->child(0)->child(i); }
  // Tree2: channel c, state e, group g, item i (the threshold states have their
  // value node first).
  TreeNode* Group2(std::size_t c, std::size_t e, Group g) {
    return tree2.top(c)->child(e)->child(g + (e == 1 ? 0 : 1));
  }
  TreeNode* Node2(std::size_t c, std::size_t e, Group g, std::size_t i) { return Group2(c, e, g)->child(i); }
  TreeNode* Value2(std::size_t c, std::size_t e) { return tree2.top(c)->child(e)->child(0); }

  PopupMenuId Press1(TreeNode* node, MouseButton b = MouseButton::Right, bool dbl = false) {
    return commands.Tree1MouseDown(node, b, dbl, edits);
  }
  PopupMenuId Press2(TreeNode* node, MouseButton b = MouseButton::Right, bool dbl = false) {
    return commands.Tree2MouseDown(node, b, dbl, edits);
  }

  ConfigImage image{L::kLongImageLength};
  Tree tree1;
  Tree tree2;
  RecordingDialogs dialogs;
  SubscriberEdits edits;
  TreeCommands commands{tree1, tree2, image, dialogs};
};

// ---------------------------------------------------------------- relays

TEST(RelayNumberTest, LeadingNumberOfTheText) {
  const struct {
    const char* text;
    const char* number;
  } cases[] = {
      {"12 - Включить", "12"},
      {"3 - Не изменять", "3"},
      {"7", "7"},
      {"16", "16"},
      {"Ж лампа", "Ж"},
      {"ЖЖЖ", "ЖЖ"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RelayNumber(c.text), c.number) << c.text;
}

TEST_F(TreeCommandsTest, RelayCommandWritesTheNodesByteTextAndIcon) {
  struct Case {
    const char* what;
    bool tree1;
    std::size_t top, event, relay;
    const char* item;
    std::size_t offset;
    char code;
    const char* text;
    int icon;
  };
  const Case cases[] = {
      {"input 1, second event, relay 12", true, 0, 1, 11, "N2", 70, 'Z', "12 - Включить", 12},
      {"button 2, first event, relay 1", true, 11, 0, 0, "N3", 1298, 'R', "1 - Выключить", 13},
      {"guard, disarm, relay 16", true, 13, 1, 15, "N2", 1593 + 15, 'Z', "16 - Включить", 12},
      {"alarm clock 1, relay 4", true, 14, 0, 3, "N2", 5090, 'Z', "4 - Включить", 12},
      {"alarm clock 2, relay 16", true, 15, 0, 15, "N3", 5118, 'R', "16 - Выключить", 13},
      {"first analogue input, norm, relay 1", false, 8, 1, 0, "N2", 3127, 'Z', "1 - Включить", 12},
      {"channel 15, below MIN, relay 16", false, 15, 2, 15, "N3", 4440, 'R', "16 - Выключить", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TreeNode* node = c.tree1 ? (c.top >= 14 ? AlarmRelay(c.top, c.relay) : Node1(c.top, c.event, kRelays, c.relay))
                             : Node2(c.top, c.event, kRelays, c.relay);
    const ConfigImage before = image;
    EXPECT_EQ(c.tree1 ? Press1(node) : Press2(node), PopupMenuId::LMDPopupMenu2);
    ASSERT_TRUE(commands.Click(c.item, {node}));
    EXPECT_EQ(Changed(before, image), std::vector<std::size_t>{c.offset});
    EXPECT_EQ(image.Byte(c.offset), c.code);
    EXPECT_EQ(node->text, c.text);
    EXPECT_EQ(node->icon, c.icon);

    // "Не изменять" brings the default back.
    commands.N4Click({node});
    EXPECT_EQ(Changed(before, image), kNothing);
    EXPECT_EQ(node->text, RelayText(static_cast<int>(c.relay + 1), 'N'));
    EXPECT_EQ(node->icon, 11);
  }
}

TEST_F(TreeCommandsTest, RelayCommandOnSeveralNodesWritesEachOwnByteAndSkipsOthers) {
  TreeNode* a = Node1(0, 1, kRelays, 11);  // 70
  TreeNode* b = Node1(8, 0, kRelays, 2);   // 944 + 2
  TreeNode* c = AlarmRelay(15, 0);         // 5103
  TreeNode* source = tree1.top(3);
  TreeNode* group = tree1.top(0)->child(0)->child(kPhones);
  TreeNode* sms = Node1(2, 0, kSms, 0);
  const std::vector<std::string> others = {source->text, group->text, sms->text};
  const ConfigImage before = image;

  commands.N3Click({a, source, b, group, sms, c});

  EXPECT_EQ(Changed(before, image), (std::vector<std::size_t>{70, 946, 5103}));
  for (std::size_t off : {70u, 946u, 5103u}) EXPECT_EQ(image.Byte(off), 'R') << off;
  EXPECT_EQ(a->text, "12 - Выключить");
  EXPECT_EQ(b->text, "3 - Выключить");
  EXPECT_EQ(c->text, "1 - Выключить");
  EXPECT_EQ((std::vector<std::string>{source->text, group->text, sms->text}), others);
  EXPECT_EQ(source->icon, 3);
}

TEST_F(TreeCommandsTest, RelayMenuCaptionsCarryTheRelayNumber) {
  EXPECT_EQ(Press1(Node1(4, 0, kRelays, 12)), PopupMenuId::LMDPopupMenu2);
  EXPECT_EQ(commands.LMDPopupMenu2.Find("N2")->caption, "13 - Включить");
  EXPECT_EQ(commands.LMDPopupMenu2.Find("N3")->caption, "13 - Выключить");
  EXPECT_EQ(commands.LMDPopupMenu2.Find("N4")->caption, "13 - Не изменять");
  EXPECT_EQ(Press2(Node2(1, 1, kRelays, 4)), PopupMenuId::LMDPopupMenu2);
  EXPECT_EQ(commands.LMDPopupMenu2.Find("N2")->caption, "5 - Включить");
  EXPECT_EQ(commands.LMDPopupMenu2.Find("N4")->icon, 11);
}

// ---------------------------------------------------------------- phones

TEST_F(TreeCommandsTest, PhoneMenuShowsOnlyFilledSubscribers) {
  edits[0] = "+79160000001";
  edits[2] = "8 916 000 00 03";
  edits[8] = "+79160000009";
  EXPECT_EQ(Press1(Node1(9, 0, kPhones, 1)), PopupMenuId::LMDPopupMenu1);
  const PopupMenu& menu = commands.LMDPopupMenu1;
  EXPECT_TRUE(menu.Find("N1")->visible);
  EXPECT_EQ(menu.Find("N1")->caption, C::kClearPhones);
  EXPECT_EQ(menu.Find("N1")->icon, 27);
  const char* names[] = {"N11", "N21", "N31", "N41", "N51", "N61", "N71", "N81", "N91"};
  for (int k = 0; k < 9; ++k) {
    const PopupItem* item = menu.Find(names[k]);
    ASSERT_NE(item, nullptr) << names[k];
    EXPECT_EQ(item->visible, !edits[k].empty()) << names[k];
    if (item->visible) {
      EXPECT_EQ(item->caption, edits[k]);
    }
    EXPECT_EQ(item->icon, 14);
  }

  // The menu follows the edits every time it opens.
  edits[2].clear();
  Press2(Node2(0, 0, kPhones, 0));
  EXPECT_FALSE(menu.Find("N31")->visible);
}

TEST_F(TreeCommandsTest, PhoneItemWritesTheDigitIntoTheSlot) {
  edits[2] = "+79160000003";
  TreeNode* slot = Node1(9, 0, kPhones, 1);
  Press1(slot);
  const ConfigImage before = image;
  ASSERT_TRUE(commands.Click("N31", {}));
  EXPECT_EQ(Changed(before, image), std::vector<std::size_t>{1079});
  EXPECT_EQ(image.Byte(1079), '3');
  EXPECT_EQ(slot->text, "+79160000003");
  EXPECT_EQ(slot->icon, 14);

  // In Tree2 the state adds its 59 bytes: sensor 2, below MIN, slot 9.
  edits[6] = "+79160000007";
  TreeNode* slot2 = Node2(1, 2, kPhones, 8);
  Press2(slot2);
  commands.N71Click();
  EXPECT_EQ(image.Byte(1652 + 177 + 118 + 16 + 8), '7');
  EXPECT_EQ(slot2->text, "+79160000007");
}

TEST_F(TreeCommandsTest, HiddenPhoneItemAssignsNothing) {
  edits[0] = "+79160000001";
  TreeNode* slot = Node1(0, 0, kPhones, 0);
  Press1(slot);
  const ConfigImage before = image;
  commands.AssignPhone(2);   // subscriber 2 is empty: its item is hidden
  commands.AssignPhone(10);  // no such item
  EXPECT_EQ(Changed(before, image), kNothing);
  EXPECT_EQ(slot->text, "1 - Нет -");
}

TEST_F(TreeCommandsTest, ClearPhonesEmptiesTheWholeGroup) {
  edits = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
  // Sensor 1, below MIN: block 1770; fill three slots first.
  for (std::size_t slot : {0u, 4u, 8u}) {
    Press2(Node2(0, 2, kPhones, slot));
    commands.AssignPhone(static_cast<int>(slot + 1));
  }
  EXPECT_EQ(image.Raw(1786, 9), "1NNN5NNN9");
  const ConfigImage before = image;

  Press2(Node2(0, 2, kPhones, 4));
  ASSERT_TRUE(commands.Click("N1", {}));
  EXPECT_EQ(image.Raw(1786, 9), "NNNNNNNNN");
  EXPECT_EQ(Changed(before, image), (std::vector<std::size_t>{1786, 1790, 1794}));
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(Node2(0, 2, kPhones, i)->text, std::to_string(i + 1) + " - Нет -");
  }
}

// ---------------------------------------------------------------- SMS

TEST_F(TreeCommandsTest, SmsEntryWritesTheTextWithFill) {
  struct Case {
    const char* what;
    std::optional<std::string> answer;
    std::string text;   // the node afterwards
    std::string field;  // bytes 25..57 of the block afterwards (Windows-1251)
  };
  const std::string stars(33, '*');
  const Case cases[] = {
      {"five characters", "Hello", "Hello", "Hello" + std::string(28, '*')},
      {"empty confirm", "", "", stars},
      {"Cyrillic", "Дверь", "Дверь", "\xC4\xE2\xE5\xF0\xFC" + std::string(28, '*')},
      {"no Windows-1251 code",
       "A\xE2\x82\xAE"
       "B\xE6\x97\xA5",
       "A?B?", "A?B?" + std::string(29, '*')},
      {"longer than the limit", std::string(40, 'x'), std::string(32, 'x'), std::string(32, 'x') + "*"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TreeNode* node = Node1(3, 1, kSms, 0);  // input 4, opening: block 413
    const std::size_t block = 413;
    const std::string old = node->text;
    image.SetByte(block + 58, '#');  // the end byte is never touched
    dialogs.inputs.push_back(c.answer);
    dialogs.asked.clear();

    EXPECT_EQ(Press1(node, MouseButton::Left, true), PopupMenuId::None);

    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].caption, "Введите текст сообщения (макс. 32 символа)");
    EXPECT_EQ(dialogs.asked[0].initial, old);
    EXPECT_EQ(dialogs.asked[0].limit, 32);
    EXPECT_EQ(node->text, c.text);
    EXPECT_EQ(image.Raw(block + 25, 33), c.field);
    EXPECT_EQ(image.Byte(block + 58), '#');
    EXPECT_EQ(image.Byte(block + 24), 'N');
  }
}

TEST_F(TreeCommandsTest, CancelledSmsEntryLeavesTextAndImage) {
  TreeNode* node = Node2(2, 1, kSms, 0);
  const std::string old = node->text;
  const ConfigImage before = image;
  dialogs.inputs.push_back(std::nullopt);
  EXPECT_EQ(Press2(node, MouseButton::Left, true), PopupMenuId::None);
  EXPECT_EQ(dialogs.asked.size(), 1u);
  EXPECT_EQ(node->text, old);
  EXPECT_EQ(Changed(before, image), kNothing);
}

TEST_F(TreeCommandsTest, SmsEntryInTree2UsesTheStateBlock) {
  // Sensor 2, second state: block 1652 + 177 + 59 = 1888; its text at 1913..1945.
  TreeNode* node = Node2(1, 1, kSms, 0);
  dialogs.inputs.push_back("Норма 2");
  Press2(node, MouseButton::Left, true);
  const ConfigImage expected = [&] {
    ConfigImage img = image;
    img.WriteText(1913, 33, "Норма 2");
    return img;
  }();
  EXPECT_EQ(Changed(expected, image), kNothing);
  EXPECT_EQ(image.ReadText(1913, 33), "Норма 2");
}

// ---------------------------------------------------------------- thresholds

TEST_F(TreeCommandsTest, ThresholdEntry) {
  struct Case {
    const char* what;
    std::size_t channel, state;
    std::optional<std::string> answer;
    const char* text;
    const char* stored;
    bool message;
  };
  const Case cases[] = {
      {"digit then letter", 0, 0, "5a", "0", "0   ", true},
      {"letter first", 0, 2, "x1", "0", "0   ", true},
      {"empty entry keeps the value", 4, 0, "", "21", "21  ", false},
      {"cancel keeps the value", 5, 2, std::nullopt, "-2", "-2  ", false},
      {"-10 below MIN of channel 3", 3, 2, "-10", "-10", "-10 ", false},
      {"two minus signs", 1, 0, "--", "--", "--  ", false},
      {"a point alone", 1, 2, ".", ".", ".   ", false},
      {"spaces are kept", 9, 0, " 5.5", " 5.5", " 5.5", false},
      {"four characters at most", 15, 2, "12345", "1234", "1234", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TreeNode* node = Value2(c.channel, c.state);
    const std::string old = node->text;
    const std::size_t field = c.state == 0 ? L::MaxThreshold(c.channel) : L::MinThreshold(c.channel);
    image.SetRaw(field, "????");  // written even when the value stays
    ConfigImage expected = image;
    expected.SetRaw(field, c.stored);
    dialogs.inputs.push_back(c.answer);
    dialogs.asked.clear();
    dialogs.Clear();

    EXPECT_EQ(Press2(node, MouseButton::Left, true), PopupMenuId::None);

    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].caption, "Введите новое значение");
    EXPECT_EQ(dialogs.asked[0].initial, old);
    EXPECT_EQ(dialogs.asked[0].limit, 4);
    EXPECT_EQ(node->text, c.text);
    EXPECT_EQ(Changed(expected, image), kNothing);
    if (c.message) {
      ASSERT_EQ(dialogs.shown.size(), 1u);
      EXPECT_FALSE(dialogs.shown[0].error);
      EXPECT_EQ(dialogs.shown[0].text, "Можно использовать только цифры и символы \".\", \"-\"");
    } else {
      EXPECT_TRUE(dialogs.shown.empty());
    }
  }
  EXPECT_EQ(image.Raw(4512, 4), "-10 ");
}

TEST_F(TreeCommandsTest, RenamedThresholdStateNoLongerStoresItsValue) {
  TreeNode* state = tree2.top(2)->child(0);
  dialogs.inputs.push_back("Верхний порог");
  EXPECT_EQ(Press2(state), PopupMenuId::LMDPopupMenu3);
  commands.Click("N12", {state});
  ASSERT_EQ(state->text, "Верхний порог");

  const ConfigImage before = image;
  TreeNode* value = Value2(2, 0);
  dialogs.inputs.push_back("30");
  Press2(value, MouseButton::Left, true);
  EXPECT_EQ(value->text, "30");
  EXPECT_EQ(Changed(before, image), kNothing);
  // The other state of the channel still stores.
  dialogs.inputs.push_back("-5");
  Press2(Value2(2, 2), MouseButton::Left, true);
  EXPECT_EQ(image.Raw(L::MinThreshold(2), 4), "-5  ");
}

TEST_F(TreeCommandsTest, RenamedGroupLosesItsMenusAndEntries) {
  TreeNode* relays = Group2(0, 0, kRelays);
  TreeNode* sms = tree1.top(0)->child(0)->child(kSms);
  dialogs.inputs = {"Текст", "Выходы"};  // asked for the last selected first
  commands.N12Click({relays, sms});
  ASSERT_EQ(relays->text, "Выходы");
  ASSERT_EQ(sms->text, "Текст");
  dialogs.asked.clear();

  EXPECT_EQ(Press2(relays->child(0)), PopupMenuId::None);
  EXPECT_EQ(Press1(sms->child(0), MouseButton::Left, true), PopupMenuId::None);
  EXPECT_TRUE(dialogs.asked.empty());
  // A relay command skips the nodes that are no longer relay nodes.
  const ConfigImage before = image;
  commands.N2Click({relays->child(0)});
  EXPECT_EQ(Changed(before, image), kNothing);
  // A value node is found by the "Реле" group after it: gone with the rename.
  EXPECT_EQ(Press2(Value2(0, 0), MouseButton::Left, true), PopupMenuId::None);
  EXPECT_EQ(Press2(Value2(0, 2), MouseButton::Left, true), PopupMenuId::None);
  EXPECT_EQ(dialogs.asked.size(), 1u);  // only the MIN value of the untouched state
}

TEST_F(TreeCommandsTest, NodesOutsideTheReactionAreasChangeTheirTextOnly) {
  // A 17th channel, as a settings file may bring it, and an "SMS" group under an
  // alarm clock, whose relay field is followed by the alarm flags.
  TreeNode* state = tree2.AddTop("Датчик 17", 23)->AddChild("Выше MAX порога", 4);
  TreeNode* value = state->AddChild("21", 24);
  TreeNode* relay = state->AddChild("Реле", 6)->AddChild("1 - Не изменять", 11);
  TreeNode* slot = state->AddChild("Телефоны", 7)->AddChild("1 - Нет -", 14);
  TreeNode* sms = state->AddChild("SMS", 8)->AddChild("old", 15);
  TreeNode* alarmSms = tree1.top(14)->child(0)->AddChild("SMS", 8)->AddChild("", 15);
  TreeNode* alarmSlot = tree1.top(15)->child(0)->AddChild("Телефоны", 7)->AddChild("1 - Нет -", 14);
  edits[4] = "+79160000005";
  dialogs.inputs = {"5", "new", "new"};
  const ConfigImage before = image;

  EXPECT_EQ(Press2(relay), PopupMenuId::LMDPopupMenu2);
  commands.N2Click({relay});
  Press2(value, MouseButton::Left, true);
  Press2(sms, MouseButton::Left, true);
  Press1(alarmSms, MouseButton::Left, true);
  EXPECT_EQ(Press2(slot), PopupMenuId::LMDPopupMenu1);
  commands.N51Click();
  EXPECT_EQ(Press1(alarmSlot), PopupMenuId::LMDPopupMenu1);
  commands.N51Click();

  EXPECT_EQ(Changed(before, image), kNothing);
  EXPECT_EQ(relay->text, "1 - Включить");
  EXPECT_EQ(value->text, "5");
  EXPECT_EQ(sms->text, "new");
  EXPECT_EQ(alarmSms->text, "new");
  EXPECT_EQ(slot->text, "+79160000005");
  EXPECT_EQ(alarmSlot->text, "+79160000005");
}

// ---------------------------------------------------------------- alarm clocks

TEST_F(TreeCommandsTest, AlarmToggle) {
  struct Case {
    std::size_t source;
    char before;
    char after;
  };
  const Case cases[] = {
      {15, '3', '1'}, {14, '0', '1'}, {14, '3', '2'}, {15, '0', '2'}, {14, '1', '0'}, {15, '6', '4'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.before) + " source " + std::to_string(c.source));
    TreeNode* alarm = tree1.top(c.source);
    alarm->icon = 51;
    image.SetByte(L::kAlarmFlags, static_cast<std::uint8_t>(c.before));
    const ConfigImage before = image;
    EXPECT_EQ(Press1(alarm), PopupMenuId::LMDPopupMenu3);
    ASSERT_TRUE(commands.Click("N18", {}));
    EXPECT_EQ(Changed(before, image), std::vector<std::size_t>{L::kAlarmFlags});
    EXPECT_EQ(image.Byte(L::kAlarmFlags), c.after);
    EXPECT_EQ(alarm->icon, 53);
    commands.N18Click();
    EXPECT_EQ(image.Byte(L::kAlarmFlags), c.before);
    EXPECT_EQ(alarm->icon, 51);
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TreeCommandsTest, AlarmToggleOfAnUnreadableFlagChangesNothing) {
  for (char flags : {'x', '*', '\0', '9'}) {
    SCOPED_TRACE(static_cast<int>(flags));
    image.SetByte(L::kAlarmFlags, static_cast<std::uint8_t>(flags));
    TreeNode* alarm = tree1.top(15);  // bit 1 of 9 would need two digits
    const int icon = alarm->icon;
    const ConfigImage before = image;
    dialogs.Clear();
    Press1(alarm);
    commands.N18Click();
    EXPECT_EQ(Changed(before, image), kNothing);
    EXPECT_EQ(alarm->icon, icon);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].error);
    EXPECT_EQ(dialogs.shown[0].text, C::kAlarmFlagsInvalid);
  }
}

TEST_F(TreeCommandsTest, NameMenuShowsTheAlarmToggleOnlyForAlarmClocks) {
  const PopupItem& toggle = *commands.LMDPopupMenu3.Find("N18");
  const PopupItem& rename = *commands.LMDPopupMenu3.Find("N12");
  EXPECT_FALSE(toggle.visible);
  EXPECT_EQ(rename.caption, "Изменить название");
  EXPECT_EQ(rename.icon, 37);

  tree1.top(14)->icon = 51;
  EXPECT_EQ(Press1(tree1.top(14)), PopupMenuId::LMDPopupMenu3);
  EXPECT_TRUE(toggle.visible);
  EXPECT_EQ(toggle.icon, 53);
  commands.PopupClosed();
  EXPECT_FALSE(toggle.visible);

  tree1.top(15)->icon = 53;
  Press1(tree1.top(15));
  EXPECT_TRUE(toggle.visible);
  EXPECT_EQ(toggle.icon, 51);
  EXPECT_EQ(toggle.caption, "Вкл./Выкл.");

  // Any other node of the name menu hides it, even without PopupClosed.
  EXPECT_EQ(Press1(tree1.top(3)), PopupMenuId::LMDPopupMenu3);
  EXPECT_FALSE(toggle.visible);
  Press1(tree1.top(14));
  EXPECT_EQ(Press2(tree2.top(0)->child(1)), PopupMenuId::LMDPopupMenu3);
  EXPECT_FALSE(toggle.visible);
  EXPECT_TRUE(rename.visible);
}

TEST_F(TreeCommandsTest, TimeWindowWritesTheAlarmTime) {
  struct Case {
    std::size_t source;
    const char* typed;
    const char* text;
    std::size_t field;
  };
  const Case cases[] = {{15, "7:30", "07:30", 5082}, {14, "23:05", "23:05", 5077}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TreeNode* time = tree1.top(c.source)->child(0);
    EXPECT_EQ(Press1(time), PopupMenuId::LMDPopupMenu4);
    EXPECT_EQ(commands.LMDPopupMenu4.Find("N17")->caption, "Изменить время");
    ASSERT_TRUE(commands.Click("N17", {}));
    EXPECT_TRUE(commands.Form4.visible);
    EXPECT_EQ(commands.Form4.Caption, "Установите время...");
    EXPECT_EQ(commands.Form4.RzDateTimeEdit1, "00:00");

    ConfigImage expected = image;
    expected.SetRaw(c.field, c.text);
    commands.Form4.RzDateTimeEdit1 = c.typed;
    commands.Form4.Button1Click();
    EXPECT_FALSE(commands.Form4.visible);
    EXPECT_EQ(time->text, c.text);
    EXPECT_EQ(Changed(expected, image), kNothing);
  }
}

TEST_F(TreeCommandsTest, TimeWindowCancelChangesNothing) {
  TreeNode* time = tree1.top(14)->child(0);
  Press1(time);
  commands.N17Click();
  commands.Form4.RzDateTimeEdit1 = "9:15";
  const ConfigImage before = image;
  commands.Form4.Button2Click();
  EXPECT_FALSE(commands.Form4.visible);
  EXPECT_EQ(time->text, "00:00");
  EXPECT_EQ(Changed(before, image), kNothing);
}

TEST_F(TreeCommandsTest, TimeWindowOpensOnlyForAnAlarmTimeNode) {
  Press1(tree1.top(0)->child(0));
  commands.N17Click();
  EXPECT_FALSE(commands.Form4.visible);
  Press1(tree1.top(14));
  commands.N17Click();
  EXPECT_FALSE(commands.Form4.visible);
}

// ---------------------------------------------------------------- rename

TEST_F(TreeCommandsTest, RenameAsksFromTheLastSelectedToTheFirst) {
  TreeNode* a = tree1.top(0);
  TreeNode* b = tree1.top(0)->child(1);
  TreeNode* c = tree2.top(4);
  dialogs.inputs = {"Склад", std::nullopt, ""};  // answers for c, b, a
  EXPECT_EQ(Press1(a), PopupMenuId::LMDPopupMenu3);
  ASSERT_TRUE(commands.Click("N12", {a, b, c}));

  ASSERT_EQ(dialogs.asked.size(), 3u);
  EXPECT_EQ(dialogs.asked[0].initial, "Датчик 5");
  EXPECT_EQ(dialogs.asked[1].initial, "Размыкание");
  EXPECT_EQ(dialogs.asked[2].initial, "Вход 1");
  for (const auto& q : dialogs.asked) {
    EXPECT_EQ(q.caption, "Введите новое название");
    EXPECT_EQ(q.limit, 40);
  }
  EXPECT_EQ(c->text, "Склад");
  EXPECT_EQ(b->text, "Размыкание");
  EXPECT_EQ(a->text, "Вход 1");
}

// ---------------------------------------------------------------- presses

TEST_F(TreeCommandsTest, PressOpensTheMenuOfTheNodeKind) {
  struct Case {
    const char* what;
    bool tree1;
    TreeNode* node;
    MouseButton button;
    PopupMenuId menu;
    bool clicked = true;  // the node becomes ClickedNode
  };
  const auto R = MouseButton::Right;
  const auto Lb = MouseButton::Left;
  const Case cases[] = {
      {"source", true, tree1.top(0), R, PopupMenuId::LMDPopupMenu3},
      {"guard event", true, tree1.top(13)->child(1), R, PopupMenuId::LMDPopupMenu3},
      {"alarm clock", true, tree1.top(15), R, PopupMenuId::LMDPopupMenu3},
      {"alarm time", true, tree1.top(15)->child(0), R, PopupMenuId::LMDPopupMenu4},
      {"alarm relay", true, AlarmRelay(14, 5), R, PopupMenuId::LMDPopupMenu2},
      {"alarm relay group", true, tree1.top(14)->child(0)->child(0), R, PopupMenuId::None},
      {"relay", true, Node1(2, 1, kRelays, 0), R, PopupMenuId::LMDPopupMenu2},
      {"slot", true, Node1(2, 1, kPhones, 8), R, PopupMenuId::LMDPopupMenu1},
      {"sms text", true, Node1(2, 1, kSms, 0), R, PopupMenuId::None},
      {"group", true, tree1.top(2)->child(1)->child(kPhones), R, PopupMenuId::None},
      {"left on a source", true, tree1.top(0), Lb, PopupMenuId::None},
      {"left on a relay", true, Node1(0, 0, kRelays, 0), Lb, PopupMenuId::None},
      {"channel", false, tree2.top(9), R, PopupMenuId::LMDPopupMenu3},
      {"state", false, tree2.top(9)->child(1), R, PopupMenuId::LMDPopupMenu3},
      {"value", false, Value2(9, 0), R, PopupMenuId::None},
      {"relay 2", false, Node2(9, 2, kRelays, 15), R, PopupMenuId::LMDPopupMenu2},
      {"slot 2", false, Node2(9, 0, kPhones, 0), R, PopupMenuId::LMDPopupMenu1},
      {"sms 2", false, Node2(9, 0, kSms, 0), R, PopupMenuId::None},
      {"a Tree2 node pressed in Tree1", true, tree2.top(0), R, PopupMenuId::None, false},
      {"a Tree1 node pressed in Tree2", false, Node1(0, 0, kRelays, 0), R, PopupMenuId::None, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.tree1 ? Press1(c.node, c.button) : Press2(c.node, c.button), c.menu);
    EXPECT_EQ(commands.ClickedNode, c.clicked ? c.node : nullptr);
  }
  EXPECT_TRUE(dialogs.asked.empty());
  EXPECT_EQ(commands.Menu(PopupMenuId::LMDPopupMenu4), &commands.LMDPopupMenu4);
  EXPECT_EQ(commands.Menu(PopupMenuId::None), nullptr);
  EXPECT_FALSE(commands.Click("N99", {}));
}

TEST_F(TreeCommandsTest, PressBesideTheNodesClearsClickedNode) {
  edits[0] = "+7";
  Press1(Node1(0, 0, kPhones, 0));
  EXPECT_EQ(Press1(nullptr), PopupMenuId::None);
  EXPECT_EQ(commands.ClickedNode, nullptr);
  const ConfigImage before = image;
  commands.N11Click();
  commands.N1Click();
  commands.N18Click();
  commands.N17Click();
  EXPECT_EQ(Changed(before, image), kNothing);
  EXPECT_FALSE(commands.Form4.visible);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TreeCommandsTest, NodeRemovedFromTheTreeIsNoLongerEdited) {
  edits[0] = "+7";
  Press1(Node1(13, 1, kPhones, 0));  // a slot of "Снятие"
  commands.AssignPhone(1);
  ASSERT_EQ(image.Byte(1593 + 16), '1');
  SetGuardBranch(tree1, image, false);  // deletes "Снятие" with its nodes
  const ConfigImage before = image;
  commands.N1Click();
  commands.AssignPhone(1);
  EXPECT_EQ(Changed(before, image), kNothing);
}

}  // namespace
}  // namespace vemtaro
