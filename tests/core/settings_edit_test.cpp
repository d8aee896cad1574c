#include "editor/settings_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "listing/inspect.h"
#include "model/fields.h"
#include "model/layout.h"
#include "pages/pages.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"
#include "trees/tree_commands.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace L = layout;
using Status = SettingResult::Status;

const std::string kThresholdMessage = command_texts::kThresholdInvalid;

class SettingsEdit : public ::testing::Test {
 protected:
  SettingsEdit() : dialogs(shown), m(dialogs) {
    m.Startup();
    shown.Clear();
  }
  void Version(int v) {
    m.ApplyProfile(v);
    shown.Clear();
  }
  SettingResult Set(const std::string& name, const std::string& value) { return SetSetting(m, dialogs, name, value); }
  void SetOk(const std::string& name, const std::string& value) {
    const SettingResult r = Set(name, value);
    ASSERT_TRUE(r.ok()) << name << "=" << value << ": " << r.message;
  }
  std::string At(std::size_t offset, std::size_t length) const { return m.ws.working.Raw(offset, length); }

  testing::ScriptedDialogs shown;
  EditDialogs dialogs;
  MainModel m;
};

// ---- Page settings ---------------------------------------------------------

TEST_F(SettingsEdit, PageSettingsStoreTheirFieldsThroughTheirHandlers) {
  struct Case {
    int version;
    std::string name;
    std::string value;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {15, "ObjectID", "AB1", 5171, "AB1*******"},
      {13, "ObjectID", "AB12", 4732, "AB12"},
      {15, "PasswordEdit", "pass", 4736, "pass****"},
      {13, "AbonentNo3", "+7 916 12", 4636, "+7 916 12***"},
      {15, "AbonentNo1", "+79161234567", 5181, "+79161234567****"},
      {15, "CenterPhone", "Мегафон(Урал)", 5325, "+79222909090****"},
      {14, "CenterPhone", "+79000000000", 4720, "+79000000000"},
      {15, "CenterPhone", "", 5325, "****************"},
      {15, "NumOfAttempts", "7", 5050, "\x07"},
      {15, "NumOfAttempts", "300", 5050, "\xFF"},
      {15, "NumOfAttempts", "-4", 5050, std::string(1, '\0')},
      {15, "Input5", "200", 5067, "C8"},
      {13, "UInput2", "16", 5125, "10"},
      {15, "UAInput8", "255", 5169, "FF"},
      {15, "AInput1", "99999999999999999999", 5139, "FF"},
      {12, "Rele7", "1", 5012, "01"},
      {15, "Vihod", "16", 5075, "10"},
      {15, "ID3", "0123456789ABCDEF", 4776, "0123456789ABCDEF"},
      {10, "ID16", "FEDCBA9876543210", 4984, "FEDCBA9876543210"},
      {15, "MasterKey", "00000000000000FF", 5032, "00000000000000FF"},
      {15, "Zones", "[0 1 1 0 0 0 0 0]", 5048, "06"},
      {15, "Zones", "01100001", 5048, "86"},
      {14, "AZones", "[1 0 0 0 0 0 0 1]", 5121, "81"},
      {15, "StatusSMS", "[1 0 0 1]", 5052, "1001"},
      {15, "StatusMessages", "[0 1 0]", 5057, "4"},
      {15, "StatusMessages", "[0 1 1]", 5057, "6"},
      {11, "StatusMessages", "[1 1 0]", 5057, "5"},
      {15, "OhrSMS", "yes", 5120, "1"},
      {15, "Ohr", "Режим запрещен", 5051, "0"},
  };
  for (const auto& c : cases) {
    Version(c.version);
    const SettingResult r = Set(c.name, c.value);
    EXPECT_TRUE(r.ok()) << c.version << " " << c.name << ": " << r.message;
    EXPECT_EQ(At(c.offset, c.bytes.size()), c.bytes) << c.version << " " << c.name << "=" << c.value;
    EXPECT_TRUE(shown.shown.empty()) << c.name;
  }
}

TEST_F(SettingsEdit, TheControlShowsTheNewValue) {
  SetOk("NumOfAttempts", "300");
  EXPECT_EQ(m.pages.NumOfAttempts.value, 255);
  SetOk("Rele3", "0");
  SetOk("Rele4", "9");
  EXPECT_TRUE(m.pages.PanelVisible[2]);
  EXPECT_FALSE(m.pages.PanelVisible[3]);
  SetOk("AbonentNo5", "+7 900");
  EXPECT_EQ(m.pages.AbonentNo[4].text, "+7 900");
  EXPECT_EQ(m.ws.abonents[4], "+7 900");
  SetOk("Zones", "[0 0 1 0 0 0 0 0]");
  EXPECT_EQ(m.pages.Zones.checked, (std::vector<bool>{false, false, true, false, false, false, false, false}));
}

TEST_F(SettingsEdit, RefusedValuesGiveTheProgramsOwnMessage) {
  struct Case {
    std::string name;
    std::string value;
    std::string message;
    std::size_t offset;
    std::string after;  // what the handler left in the field
  };
  const std::vector<Case> cases = {
      {"AbonentNo3", "12a", page_texts::kWrongNumber, 5213, std::string(16, '*')},
      {"CenterPhone", "+7(916)", page_texts::kWrongNumber, 5325, std::string(16, '*')},
      {"ID3", "0123456789abcdef", page_texts::kWrongValue, 4776, std::string(16, '*')},
      {"ID3", "0123", page_texts::kIdentifierLength, 4776, std::string(16, '*')},
      {"MasterKey", "GGGGGGGGGGGGGGGG", page_texts::kWrongValue, 5032, std::string(16, '*')},
      {"Датчик 1/Выше MAX порога/max", "1x", kThresholdMessage, 4484, "0   "},
  };
  for (const auto& c : cases) {
    const SettingResult r = Set(c.name, c.value);
    EXPECT_EQ(r.status, Status::Refused) << c.name;
    EXPECT_EQ(r.message, c.message) << c.name;
    EXPECT_EQ(At(c.offset, c.after.size()), c.after) << c.name;
    // The message is the result; it is not shown as well.
    EXPECT_TRUE(shown.shown.empty()) << c.name;
  }
}

TEST_F(SettingsEdit, AnAlarmSwitchOnDamagedFlagsIsRefusedWithTheCommandsError) {
  m.ws.working.SetByte(L::kAlarmFlags, 'x');
  const SettingResult r = Set("Будильник 1/on", "no");
  EXPECT_EQ(r.status, Status::Refused);
  EXPECT_EQ(r.message, command_texts::kAlarmFlagsInvalid);
  EXPECT_EQ(At(L::kAlarmFlags, 1), "x");
}

TEST_F(SettingsEdit, WrongFormsAndDisabledControlsAreRefusedAndChangeNothing) {
  struct Case {
    int version;
    std::string name;
    std::string value;
    std::string mentions;
  };
  const std::vector<Case> cases = {
      {15, "NumOfAttempts", "five", "not a whole number"},
      {15, "Input1", "", "not a whole number"},
      {15, "StatusSMS", "[1 0]", "check items"},
      {15, "Zones", "[1 0 0 0 0 0 0 2]", "check items"},
      {15, "Ohr", "maybe", "yes or no"},
      {15, "OhrSMS", "", "yes or no"},
      {13, "ObjectID", "12345", "at most 4 characters under firmware version 13"},
      {15, "ObjectID", "12345678901", "at most 10"},
      {14, "AbonentNo1", "+7916123456789", "at most 12"},
      {15, "PasswordEdit", "пароль123", "at most 8"},
      {15, "PasswordEdit", "a\tb", "control characters"},
      {15, "ID1", "0123456789ABCDEF0", "at most 16"},
      {15, "firmware", "14", "firmware version 15"},
      {15, "checksum", "maybe", "matches, differs or not used"},
      {12, "UInput1", "5", "from firmware version 13"},
      {12, "AInput1", "5", "analogue inputs exist from firmware version 13"},
      {12, "UAInput1", "5", "analogue inputs"},
      {12, "AZones", "[1 0 0 0 0 0 0 0]", "analogue zones exist from firmware version 13"},
      {10, "StatusMessages", "[1 0 0]", "disabled under firmware version 10"},
      {11, "StatusMessages", "[0 0 1]", "\"АЦП (аналоговые входы)\": it is disabled under firmware version 11"},
      {15, "ID9", "0123456789ABCDEF", "shown only under firmware version 10"},
      {15, "Вход 1/Замыкание/relays", "ZZZ", "16 relay actions"},
      {15, "Вход 1/Замыкание/relays", "ZZZZZZZZZZZZZZZz", "16 relay actions"},
      {15, "Вход 1/Замыкание/Реле/3", "on", "not a relay action"},
      {15, "Вход 1/Замыкание/phones", "1234", "9 phone slots"},
      {15, "Вход 1/Замыкание/phones", "0NNNNNNNN", "9 phone slots"},
      {15, "Вход 1/Замыкание/Телефоны/2", "12", "subscriber number 1..9"},
      {15, "Вход 1/Замыкание/phones", "1NNNNNNNN", "AbonentNo1) is empty"},
      {15, "Вход 1/Замыкание/sms", std::string(33, 'a'), "at most 32 characters"},
      {15, "Вход 1/Замыкание/sms", "a\nb", "line breaks"},
      {15, "Вход 1/Замыкание/SMS", "снег ☃", "Windows-1251"},
      {15, "Датчик 1/Выше MAX порога/max", "12345", "at most 4"},
      {15, "ObjectID", "A*B", "cannot hold '*': a text field is filled with '*' after its text"},
      {13, "ObjectID", "AB*", "cannot hold '*'"},
      {15, "PasswordEdit", "*pass", "cannot hold '*'"},
      {15, "AbonentNo2", "+7*916", "cannot hold '*'"},
      {15, "CenterPhone", "*", "cannot hold '*'"},
      {15, "ID2", "0123456789ABCDE*", "cannot hold '*'"},
      {15, "MasterKey", "****************", "cannot hold '*'"},
      {15, "Вход 1/Замыкание/sms", "Alarm *1*", "cannot hold '*'"},
      {15, "Будильник 1/time", "25:00", "not a time"},
      {15, "Будильник 1/time", "7:5", "not a time"},
      {15, "Будильник 2/on", "sometimes", "yes or no"},
  };
  for (const auto& c : cases) {
    Version(c.version);
    const ConfigImage before = m.ws.working;
    const SettingResult r = Set(c.name, c.value);
    EXPECT_EQ(r.status, Status::Refused) << c.version << " " << c.name << "=" << c.value;
    EXPECT_NE(r.message.find(c.mentions), std::string::npos) << c.name << ": " << r.message;
    EXPECT_EQ(m.ws.working.bytes(), before.bytes()) << c.name;
  }
}

TEST_F(SettingsEdit, ADisabledOrHiddenControlMayBeGivenItsCurrentValue) {
  Version(12);
  EXPECT_TRUE(Set("UInput1", "0").ok());
  EXPECT_TRUE(Set("AZones", "[0 0 0 0 0 0 0 0]").ok());
  Version(15);
  EXPECT_TRUE(Set("ID9", "").ok());
  EXPECT_TRUE(Set("firmware", "15").ok());
  EXPECT_TRUE(Set("checksum", "differs").ok());
  SetOk("Ohr", "no");
  EXPECT_TRUE(Set("Vihod", "0").ok());
  EXPECT_TRUE(Set("OhrSMS", "no").ok());
  EXPECT_EQ(Set("OhrSMS", "yes").message, "cannot be changed while guard mode is forbidden (Ohr: no)");
  EXPECT_EQ(Set("Zones", "[1 0 0 0 0 0 0 0]").status, Status::Refused);
}

TEST_F(SettingsEdit, UnknownAndAmbiguousNames) {
  for (const char* name :
       {"Foo", "objectid", "Input9", "Input0", "Input01", "Rele17", "AbonentNo10", "ID17", "Вход 9/Замыкание/relays",
        "Вход 1/Замыкание/max", "Вход 1/Замыкание", "Вход 1/Замыкание/Реле/17", "Вход 1/Замыкание/Телефоны/10",
        "Будильник 1/sms", "Будильник 1/phones", "Датчик 1/Норма/max", "Датчик 1/Выше MAX порога/min",
        "Датчик 9/Норма/sms", "ОХРАНА /Снятие/time"}) {
    const SettingResult r = Set(name, "N");
    EXPECT_EQ(r.status, Status::UnknownName) << name;
    EXPECT_NE(r.message.find(name), std::string::npos) << r.message;
  }
  // Two sources given the same name: the name no longer tells which is meant.
  m.Tree1.top(1)->text = m.Tree1.top(0)->text;
  const SettingResult r = Set("Вход 1/Замыкание/relays", std::string(16, 'Z'));
  EXPECT_EQ(r.status, Status::UnknownName);
  EXPECT_NE(r.message.find("names 2 reactions"), std::string::npos) << r.message;
}

TEST_F(SettingsEdit, AModelWithoutEditDialogsIsRefused) {
  testing::ScriptedDialogs plain;
  MainModel other(plain);
  other.Startup();
  EditDialogs edit(plain);
  EXPECT_EQ(SetSetting(other, edit, "Input1", "5").status, Status::Refused);
  EXPECT_EQ(other.ws.working.Raw(5059, 2), "00");
}

// ---- Side effects --------------------------------------------------------

TEST_F(SettingsEdit, EmptyingASubscriberNumberClearsTheSlotsThatSelectIt) {
  SetOk("AbonentNo4", "+7 111");
  SetOk("AbonentNo5", "+7 222");
  SetOk("Вход 2/Размыкание/phones", "45N4NNNNN");
  SetOk("Датчик 3/Норма/Телефоны/9", "4");
  SetOk("AbonentNo4", "");
  EXPECT_EQ(At(L::SourceBlock(1, 1) + L::kBlockPhones, 9), "N5NNNNNNN");
  EXPECT_EQ(At(L::ChannelBlock(2, 1) + L::kBlockPhones, 9), "NNNNNNNNN");
  EXPECT_EQ(At(5181 + 16 * 3, 16), std::string(16, '*'));
  EXPECT_EQ(m.ws.abonents[3], "");
}

TEST_F(SettingsEdit, ForbiddingGuardModeResetsTheDelayAndReshapesTheGuardEntry) {
  SetOk("Vihod", "20");
  SetOk("Zones", "[1 0 0 0 0 0 0 0]");
  SetOk("Ohr", "no");
  EXPECT_EQ(At(L::kArmingDelay, 2), "00");
  EXPECT_EQ(At(L::kGuardMode, 1), "0");
  EXPECT_EQ(At(L::kZones, 2), "01");  // the zones keep their checks
  const TreeNode* guard = m.Tree1.top(L::kGuardSource);
  EXPECT_EQ(guard->text, tree_texts::kTouchKey);
  EXPECT_EQ(guard->childCount(), 1u);
  EXPECT_EQ(m.ws.working.ReadText(L::kGuardArmBlock + L::kBlockSms, L::kSmsFieldLength), tree_texts::kTouchSms);
  EXPECT_FALSE(m.pages.Vihod.enabled);
  // The reshaped entry is found under its new names.
  SetOk("КЛЮЧ Touch Memory/КАСАНИЕ/Реле/1", "Z");
  EXPECT_EQ(At(L::kGuardArmBlock, 1), "Z");
  EXPECT_EQ(Set("ОХРАНА /Снятие/sms", "x").status, Status::UnknownName);
  SetOk("Ohr", "yes");
  EXPECT_TRUE(m.pages.Vihod.enabled);
  EXPECT_EQ(m.Tree1.top(L::kGuardSource)->text, tree_texts::kGuard);
  SetOk("ОХРАНА/Снятие/sms", "Снято");
}

// ---- Reactions -----------------------------------------------------------

TEST_F(SettingsEdit, ReactionsAreWrittenByTheTreeCommands) {
  SetOk("AbonentNo3", "+7 333");
  struct Case {
    std::string name;
    std::string value;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"Вход 1/Размыкание/Реле/12", "Z", 70, "Z"},
      {"Вход 1/Размыкание/Реле/12", "Выключить", 70, "R"},
      {"Вход 1/Размыкание/Реле/12", "N", 70, "N"},
      {"Вход 3/Размыкание/relays", "ZRNNNNNNNNNNNNNZ", 295, "ZRNNNNNNNNNNNNNZ"},
      {"Сеть 220v /Пропадание/Реле", "RRNNNNNNNNNNNNNN", 1003, "RRN"},
      {"Кнопка 0/Нажатие/Телефоны/2", "3", 1079, "3"},
      {"Кнопка 0/Нажатие/phones", "3N3NNNNNN", 1078, "3N3NNNNNN"},
      {"Кнопка 0/Нажатие/Телефоны", "NNNNNNNN3", 1078, "NNNNNNNN3"},
      {"Вход 1/Замыкание/sms", "Hello", 25, "Hello" + std::string(28, '*')},
      {"Вход 1/Замыкание/SMS", "Привет", 25, "\xCF\xF0\xE8\xE2\xE5\xF2" + std::string(27, '*')},
      {"Вход 1/Замыкание/sms", "", 25, std::string(33, '*')},
      {"Датчик 2/Норма/sms", std::string(32, 'x'), 1652 + 177 + 59 + 25, std::string(32, 'x') + "*"},
      {"Датчик 4/Ниже MIN уровня/min", "-10", 4512, "-10 "},
      {"Датчик 1/Выше MAX порога/max", "5.5", 4484, "5.5 "},
      {"Датчик 1/Выше MAX порога/max", " ", 4484, "    "},
      {"АЦП 1/Норма/relays", "ZNNNNNNNNNNNNNNR", 3127, "ZNNNNNNNNNNNNNNR"},
      {"АЦП 8/Ниже MIN уровня/phones", "NNN3NNNNN", 4425 + 16, "NNN3NNNNN"},
      {"Будильник 2/time", "7:30", 5082, "07:30"},
      {"Будильник 1/time", "23:59", 5077, "23:59"},
      {"Будильник 2/on", "no", 5119, "1"},
      {"Будильник 1/on", "no", 5119, "0"},
      {"Будильник 2/on", "yes", 5119, "2"},
      {"Будильник 1/23:59/Реле/4", "Z", 5090, "Z"},
      {"Будильник 2/relays", "NNNNNNNNNNNNNNNR", 5103, "NNNNNNNNNNNNNNNR"},
  };
  for (const auto& c : cases) {
    const SettingResult r = Set(c.name, c.value);
    EXPECT_TRUE(r.ok()) << c.name << "=" << c.value << ": " << r.message;
    EXPECT_EQ(At(c.offset, c.bytes.size()), c.bytes) << c.name << "=" << c.value;
  }
  EXPECT_TRUE(shown.shown.empty());
}

// An empty threshold entry keeps the value the node shows and stores it again,
// as the entry dialog does with an empty answer; a blank empties the threshold.
TEST_F(SettingsEdit, AnEmptyThresholdKeepsTheValueAsTheEntryDialogDoes) {
  const std::string name = "Датчик 3/Выше MAX порога/max";
  const std::size_t at = L::MaxThreshold(2);
  struct Case {
    std::string before;  // typed first
    std::string after;   // the bytes after an empty entry
  };
  const std::vector<Case> cases = {{"5.5", "5.5 "}, {"21", "21  "}, {" 5", "5   "}, {"1 2", "12  "}, {" ", "    "}};
  for (const auto& c : cases) {
    SetOk(name, c.before);
    const Bytes start = m.ws.working.bytes();
    SetOk(name, "");
    EXPECT_EQ(At(at, 4), c.after) << "'" << c.before << "'";
    const Bytes bySet = m.ws.working.bytes();

    // The same through the dialog: a double click on the value node, an empty answer.
    m.ws.working = ConfigImage(start);
    TreeNode* state = m.Tree2.top(2)->child(0);
    m.Expand(TreeKind::Parametric, *state);
    shown.inputs.push_back(std::string());
    m.commands.Tree2MouseDown(state->child(0), MouseButton::Left, true, m.AbonentEdits());
    EXPECT_TRUE(shown.inputs.empty());
    EXPECT_EQ(m.ws.working.bytes(), bySet) << "'" << c.before << "'";
  }
}

TEST_F(SettingsEdit, TheNodesShowWhatTheCommandsWrote) {
  SetOk("AbonentNo2", "+7 222");
  SetOk("Вход 1/Размыкание/Реле/12", "Z");
  const TreeNode* relays = m.Tree1.top(0)->child(1)->child(0);
  EXPECT_EQ(relays->child(11)->text, "12 - Включить");
  EXPECT_EQ(relays->child(11)->icon, icons::kRelayOn);
  EXPECT_EQ(relays->child(10)->text, "11 - Не изменять");

  SetOk("Вход 2/Замыкание/phones", "N2NNNNNNN");
  const TreeNode* phones = m.Tree1.top(1)->child(0)->child(1);
  EXPECT_EQ(phones->child(1)->text, "+7 222");
  // Emptying one slot is "Удалить все" and the other slots chosen again.
  SetOk("Вход 2/Замыкание/Телефоны/3", "2");
  SetOk("Вход 2/Замыкание/Телефоны/2", "N");
  EXPECT_EQ(At(L::SourceBlock(1, 0) + L::kBlockPhones, 9), "NN2NNNNNN");
  EXPECT_EQ(phones->child(1)->text, "2 - Нет -");
  EXPECT_EQ(phones->child(2)->text, "+7 222");

  SetOk("Датчик 1/Ниже MIN уровня/min", "-7");
  EXPECT_EQ(m.Tree2.top(0)->child(2)->child(0)->text, "-7");
  SetOk("Вход 4/Замыкание/sms", "Окно");
  EXPECT_EQ(m.Tree1.top(3)->child(0)->child(2)->child(0)->text, "Окно");
  SetOk("Будильник 1/time", "6:05");
  EXPECT_EQ(m.Tree1.top(kAlarmSource1)->child(0)->text, "06:05");
  SetOk("Будильник 1/on", "no");
  EXPECT_EQ(m.Tree1.top(kAlarmSource1)->icon, icons::kAlarmOff);
}

TEST_F(SettingsEdit, AnUnchangedValueRunsNoCommand) {
  SetOk("Вход 1/Замыкание/relays", std::string(16, 'N'));
  SetOk("Вход 1/Замыкание/sms", "Вход 1 Замкнут");
  SetOk("Датчик 1/Выше MAX порога/max", "21");
  SetOk("Будильник 1/time", "00:00");
  SetOk("Будильник 1/on", "yes");
  EXPECT_EQ(m.commands.ClickedNode, nullptr);
  EXPECT_FALSE(m.Tree1.top(0)->expanded);
}

TEST_F(SettingsEdit, InvalidRelayDataOnTheWayIsANote) {
  m.ws.working.SetByte(L::SourceBlock(0, 0) + 1, 'x');
  const SettingResult r = Set("Вход 1/Замыкание/Реле/5", "Z");
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.notes, std::vector<std::string>{tree_texts::kInvalidData});
  EXPECT_EQ(At(0, 5), "NxNNZ");
}

TEST_F(SettingsEdit, AnEmptyPasswordKeepsTheStoredOneWithANote) {
  SetOk("PasswordEdit", "1234");
  const SettingResult r = Set("PasswordEdit", "");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(At(L::kPassword, 8), "1234****");
}

TEST_F(SettingsEdit, MessagesOutsideAChangeReachTheWrappedDialogs) {
  dialogs.ShowError("boom");
  dialogs.ShowMessage("note");
  EXPECT_EQ(shown.Texts(), (std::vector<std::string>{"boom", "note"}));
  shown.inputs.push_back("typed");
  EXPECT_EQ(dialogs.InputText("caption", "", 4), "typed");
}

// ---- Names, lines and batches ----------------------------------------------

// ---- Listing and changes agree -------------------------------------------------

// The listing of a configuration saved to a file.
Inspection Listed(MainModel& model) {
  const auto bytes = model.SettingsFileBytes();
  EXPECT_TRUE(bytes.has_value());
  const SettingsFileParse parsed = ParseSettingsFile(bytes.value_or(std::string()));
  EXPECT_TRUE(parsed.data.has_value());
  return parsed.data ? InspectSettingsFile(*parsed.data) : Inspection{};
}

// Values to try for a page control, by how its field is stored.
std::vector<std::string> PageCandidates(const fields::Field& f) {
  using fields::Codec;
  // All checked, none, every other one from the first, every other one from the second.
  const auto items = [](std::size_t n) {
    std::vector<std::string> out;
    for (const auto checked : {+[](std::size_t) { return true; }, +[](std::size_t) { return false; },
                               +[](std::size_t i) { return i % 2 == 0; }, +[](std::size_t i) { return i % 2 == 1; }}) {
      std::string text = "[";
      for (std::size_t i = 0; i < n; ++i) text += std::string(i ? " " : "") + (checked(i) ? "1" : "0");
      out.push_back(text + "]");
    }
    return out;
  };
  switch (f.codec) {
    case Codec::Text: return {"B7", "0123456789ABCDEF", ""};
    case Codec::Phone: return {"+7900", ""};
    case Codec::Count:
    case Codec::HexPair: return {"0", "7", "200"};
    case Codec::FlagBytes: return items(f.place.length);
    case Codec::StatusDigit: return items(3);
    case Codec::MaskPair: return items(8);
    case Codec::OnIfOne:
    case Codec::OffIfZero: return {"yes", "no"};
  }
  return {};
}

// Values to try for a reaction field, by the last part of its name.
std::vector<std::string> ReactionCandidates(const std::string& name) {
  const std::string field = name.substr(name.rfind('/') + 1);
  if (field == "relays") return {"RNRNRNRNRNRNRNRZ"};
  if (field == "phones") return {"1NNNNNNN1"};
  if (field == "sms") return {"Hi"};
  if (field == "max" || field == "min") return {" 5", "5 5", " ", "-1.5", ""};
  if (field == "time") return {"7:30"};
  if (field == "on") return {"no"};
  return {};
}

// In every version, every value that a name takes and that changes the image
// is listed under that name, the comparison with the listing before reports it,
// and the listing of the changed configuration, fed back as lines, makes the
// same image out of a fresh one.
TEST_F(SettingsEdit, EveryChangeByNameIsListedComparedAndCopiedBack) {
  for (int v = kMinFirmware; v <= kMaxFirmware; ++v) {
    MainModel fresh(dialogs);
    fresh.Startup();
    fresh.ApplyProfile(v);
    const auto freshFile = fresh.SettingsFileBytes();
    ASSERT_TRUE(freshFile.has_value());
    MainModel changed(dialogs);
    changed.Startup();
    ASSERT_TRUE(changed.OpenSettingsBytes(*freshFile));

    std::vector<std::pair<std::string, std::vector<std::string>>> tries = {{"AbonentNo1", {"+7911"}}};
    for (const fields::Field& f : fields::kFields) {
      for (int n = f.First(); n <= f.Last(); ++n) tries.push_back({f.ControlName(n), PageCandidates(f)});
    }
    for (const FlatItem& item : FlattenInspection(Listed(fresh))) {
      if (item.key.rfind("alarm", 0) == 0 || item.key.rfind("tree1@", 0) == 0 || item.key.rfind("tree2@", 0) == 0) {
        tries.push_back({item.name, ReactionCandidates(item.name)});
      }
    }
    const Inspection freshListing = Listed(fresh);
    Inspection before = Listed(changed);
    std::size_t changes = 0;
    // The page settings and thresholds, which take several values each, are
    // listed after each change; the other reactions, one value each, once at
    // the end.
    std::vector<std::string> atTheEnd;
    for (const auto& attempt : tries) {
      const std::string& name = attempt.first;
      const std::string field = name.substr(name.rfind('/') + 1);
      for (const std::string& value : attempt.second) {
        const Bytes image = changed.ws.working.bytes();
        if (!SetSetting(changed, dialogs, name, value).ok() || changed.ws.working.bytes() == image) continue;
        ++changes;
        if (!IsPageSettingName(name) && field != "max" && field != "min") {
          atTheEnd.push_back(name);
          continue;
        }
        const Inspection after = Listed(changed);
        const std::vector<FlatItem> flat = FlattenInspection(after);
        EXPECT_TRUE(std::any_of(flat.begin(), flat.end(), [&](const FlatItem& i) { return i.name == name; }))
            << "v" << v << ": " << name << "=" << value << " is not listed";
        const std::vector<InspectDifference> diff = DiffInspections(before, after);
        EXPECT_TRUE(std::any_of(diff.begin(), diff.end(), [&](const InspectDifference& d) { return d.name == name; }))
            << "v" << v << ": " << name << "=" << value << " is not reported by the comparison";
        before = after;
      }
    }
    EXPECT_GT(changes, 100u) << "v" << v;
    const Inspection last = Listed(changed);
    const std::vector<FlatItem> flat = FlattenInspection(last);
    const std::vector<InspectDifference> diff = DiffInspections(freshListing, last);
    for (const std::string& name : atTheEnd) {
      EXPECT_TRUE(std::any_of(flat.begin(), flat.end(), [&](const FlatItem& i) { return i.name == name; }))
          << "v" << v << ": " << name << " is not listed";
      EXPECT_TRUE(std::any_of(diff.begin(), diff.end(), [&](const InspectDifference& d) { return d.name == name; }))
          << "v" << v << ": " << name << " is not reported by the comparison";
    }

    // The listing as lines, "NAME: VALUE", taken back onto a fresh configuration.
    std::vector<SettingAssignment> lines;
    for (const FlatItem& item : flat) {
      const std::string value = ValueText(item.value);
      const auto split = SplitAssignment(item.name + ":" + (value.empty() ? "" : " " + value));
      ASSERT_TRUE(split.has_value()) << item.name;
      lines.push_back(*split);
    }
    MainModel copy(dialogs);
    copy.Startup();
    ASSERT_TRUE(copy.OpenSettingsBytes(*freshFile));
    const BatchResult r = SetSettings(copy, dialogs, lines);
    ASSERT_TRUE(r.ok) << "v" << v << ": " << lines[r.failed].name << ": " << r.failure.message;
    const Bytes want = changed.ws.working.bytes();
    const Bytes got = copy.ws.working.bytes();
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i], want[i]) << "v" << v << ": byte " << i << " is not copied back";
    }
    shown.Clear();
  }
}

TEST(SplitAssignment, TakesTheFirstSeparatorAfterASettingName) {
  struct Case {
    std::string text;
    std::optional<SettingAssignment> expected;
  };
  const std::vector<Case> cases = {
      {"ObjectID=12", SettingAssignment{"ObjectID", "12"}},
      {"ObjectID: 12", SettingAssignment{"ObjectID", "12"}},
      {"ObjectID:", SettingAssignment{"ObjectID", ""}},
      {"ObjectID=", SettingAssignment{"ObjectID", ""}},
      {"CenterPhone: +7 916", SettingAssignment{"CenterPhone", "+7 916"}},
      {"Вход 1/Замыкание/sms=a=b: c", SettingAssignment{"Вход 1/Замыкание/sms", "a=b: c"}},
      {"Вход 1/Замыкание/sms: x=y", SettingAssignment{"Вход 1/Замыкание/sms", "x=y"}},
      {"Вход 1/Замыкание/sms:  two blanks", SettingAssignment{"Вход 1/Замыкание/sms", " two blanks"}},
      {"A=B/Event/Реле/3=Z", SettingAssignment{"A=B/Event/Реле/3", "Z"}},
      {"Сеть 220v /Пропадание/phones: NNNNNNNNN", SettingAssignment{"Сеть 220v /Пропадание/phones", "NNNNNNNNN"}},
      {"Foo=1", SettingAssignment{"Foo", "1"}},
      {"Foo: bar", SettingAssignment{"Foo", "bar"}},
      {"nothing here", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto got = SplitAssignment(c.text);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
    if (!got) continue;
    EXPECT_EQ(got->name, c.expected->name) << c.text;
    EXPECT_EQ(got->value, c.expected->value) << c.text;
  }
}

TEST_F(SettingsEdit, ABatchAppliesGuardModeAroundTheSettingsItGoverns) {
  // Allowing guard mode comes first, so the settings it enables can be given
  // before it, as the settings listing gives them.
  SetOk("Ohr", "no");
  BatchResult r = SetSettings(m, dialogs, {{"Vihod", "5"}, {"Zones", "[0 1 0 0 0 0 0 0]"}, {"Ohr", "yes"}});
  ASSERT_TRUE(r.ok) << r.failure.message;
  EXPECT_EQ(At(L::kArmingDelay, 2), "05");
  EXPECT_EQ(At(L::kZones, 2), "02");
  EXPECT_EQ(At(L::kGuardMode, 1), "1");

  // Forbidding it comes after the settings it keeps but disables.
  r = SetSettings(m, dialogs, {{"Ohr", "no"}, {"OhrSMS", "yes"}, {"Input1", "3"}});
  ASSERT_TRUE(r.ok) << r.failure.message;
  EXPECT_EQ(At(L::kSmsArming, 1), "1");
  EXPECT_EQ(At(L::kGuardMode, 1), "0");
  EXPECT_EQ(At(L::kArmingDelay, 2), "00");
}

TEST_F(SettingsEdit, ABatchRefusesADelayThatForbiddingGuardModeResets) {
  const BatchResult r = SetSettings(m, dialogs, {{"Vihod", "5"}, {"Ohr", "no"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failed, 0u);
  EXPECT_NE(r.failure.message.find("does not keep 5"), std::string::npos) << r.failure.message;
}

TEST_F(SettingsEdit, ABatchStopsAtTheFirstFailure) {
  const BatchResult r =
      SetSettings(m, dialogs, {{"Input1", "5"}, {"Вход 1/Замыкание/Реле/1", "Z"}, {"Foo", "1"}, {"Input2", "6"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failed, 2u);
  EXPECT_EQ(r.failure.status, Status::UnknownName);
  EXPECT_EQ(At(5059, 4), "0500");
  EXPECT_EQ(At(0, 1), "Z");
}

}  // namespace
}  // namespace vemtaro
