// The handlers of the settings pages: the common page (object identifier,
// password, numbers, SMS centre, attempts, status messages), the input delays
// and relay durations, and the sensor identifiers with the guard mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "model/cp1251.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "started_model.h"
#include "trees/reaction_trees.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {
namespace L = layout;
namespace PT = page_texts;

// A started main window; the version is switched like the menu does.
class PagesTest : public testing::StartedModel {
 protected:
  // The offsets where the working image differs from a copy taken before.
  std::vector<std::size_t> Changed(const Bytes& before) const {
    std::vector<std::size_t> diff;
    const Bytes& now = m.ws.working.bytes();
    for (std::size_t i = 0; i < now.size() || i < before.size(); ++i) {
      if (i >= now.size() || i >= before.size() || now[i] != before[i]) diff.push_back(i);
    }
    return diff;
  }
  std::vector<std::string> Messages() const { return dialogs.Texts(); }

  Pages& p = m.pages;
};

std::string Fill(std::size_t n) { return std::string(n, '*'); }

// ---- Subscriber numbers -----------------------------------------------------

TEST_F(PagesTest, AbonentNoExitStoresNumberInTheVersionsField) {
  struct Case {
    int version;
    int k;
    std::string text;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {14, 3, "8 916 12 34", 4612 + 24, "8 916 12 34*"},  // spaces kept, fill to 12
      {10, 1, "+79161234567", 4612, "+79161234567"},
      {12, 9, "112", 4612 + 96, "112" + Fill(9)},
      {13, 5, "", 4612 + 48, Fill(12)},
      {15, 3, "+7 916 123 45 67", 5181 + 32, "+7 916 123 45 67"},
      {15, 1, "+79161234567", 5181, "+79161234567****"},
      {15, 9, "0 0", 5181 + 128, "0 0" + Fill(13)},
      {15, 4, "", 5181 + 48, Fill(16)},
  };
  for (const auto& c : cases) {
    Version(c.version);
    const Bytes before = m.ws.working.bytes();
    p.AbonentNo[c.k - 1].text = c.text;
    p.AbonentNoExit(c.k);
    SCOPED_TRACE(c.text + " v" + std::to_string(c.version));
    EXPECT_EQ(At(c.offset, c.bytes.size()), c.bytes);
    EXPECT_EQ(m.ws.abonents[c.k - 1], c.text);
    EXPECT_EQ(p.AbonentNo[c.k - 1].text, c.text);
    EXPECT_TRUE(Messages().empty());
    // Nothing outside the number's field is written.
    for (std::size_t at : Changed(before)) {
      EXPECT_TRUE(at >= c.offset && at < c.offset + c.bytes.size()) << at;
    }
  }
}

TEST_F(PagesTest, AbonentNoExitKeepsAtMostSixteenCharactersInTheList) {
  p.AbonentNo[0].text = "+7 916 123 45 67 89";
  p.AbonentNoExit(1);
  EXPECT_EQ(m.ws.abonents[0], "+7 916 123 45 67");
  EXPECT_EQ(At(5181, 17), "+7 916 123 45 67" + Fill(1));  // the next number's field is untouched
  Version(14, true);
  p.AbonentNoExit(1);
  EXPECT_EQ(At(4612, 13), std::string("+7 916 123 4") + '\0');
}

TEST_F(PagesTest, AbonentNoExitRejectsAWrongCharacter) {
  for (const int version : {13, 15}) {
    for (const std::string bad : {"+7916abc", "8(916)1234", "12-34", "#1", "+7916\t1"}) {
      Version(version);
      p.AbonentNo[5].text = "111";
      p.AbonentNoExit(6);
      m.ws.working.SetByte(10 * 59 + 16 + 2, '6');  // a reaction that selects subscriber 6
      p.AbonentNo[5].text = bad;
      p.AbonentNoExit(6);
      SCOPED_TRACE(bad);
      EXPECT_EQ(m.ws.working.Byte(10 * 59 + 16 + 2), std::uint8_t{'N'});
      EXPECT_EQ(Messages(), std::vector<std::string>{PT::kWrongNumber});
      EXPECT_EQ(p.AbonentNo[5].text, "");
      EXPECT_EQ(m.ws.abonents[5], "");
      if (version == 15) {
        EXPECT_EQ(At(5181 + 80, 16), Fill(16));
      } else {
        EXPECT_EQ(At(4612 + 60, 12), Fill(12));
      }
    }
  }
}

TEST_F(PagesTest, EmptyingANumberClearsItsPhoneSlotsEverywhere) {
  for (const int version : {14, 15}) {
    Version(version);
    ConfigImage& w = m.ws.working;
    // Slots referring to subscriber 4 in the first, a middle and the last block,
    // next to slots of other subscribers; '4' outside the slots stays.
    const std::vector<std::size_t> slots4 = {0 * 59 + 16,  0 * 59 + 24,  13 * 59 + 20,
                                             40 * 59 + 18, 75 * 59 + 16, 75 * 59 + 24};
    const std::vector<std::size_t> others = {0 * 59 + 17, 13 * 59 + 21, 75 * 59 + 23};
    const std::vector<std::size_t> notSlots = {0 * 59 + 0,   0 * 59 + 15, 5 * 59 + 25,     5 * 59 + 58,
                                               75 * 59 + 25, 4484,        L::kAlarm1Relays};
    for (std::size_t at : slots4) w.SetByte(at, '4');
    w.SetByte(others[0], '3');
    w.SetByte(others[1], '5');
    w.SetByte(others[2], '9');
    for (std::size_t at : notSlots) w.SetByte(at, '4');
    p.AbonentNo[3].text = "+79160000004";
    p.AbonentNoExit(4);
    EXPECT_EQ(m.ws.abonents[3], "+79160000004");
    const Bytes before = w.bytes();

    p.AbonentNo[3].text = "";
    p.AbonentNoExit(4);
    for (std::size_t at : slots4) EXPECT_EQ(w.Byte(at), std::uint8_t{'N'}) << at;
    EXPECT_EQ(w.Byte(others[0]), std::uint8_t{'3'});
    EXPECT_EQ(w.Byte(others[1]), std::uint8_t{'5'});
    EXPECT_EQ(w.Byte(others[2]), std::uint8_t{'9'});
    for (std::size_t at : notSlots) EXPECT_EQ(w.Byte(at), std::uint8_t{'4'}) << at;
    EXPECT_EQ(m.ws.abonents[3], "");
    const std::size_t field = version == 15 ? 5181 + 48 : 4612 + 36;
    const std::size_t width = version == 15 ? 16 : 12;
    EXPECT_EQ(At(field, width), Fill(width));
    // The number had 12 characters: only they change to fill.
    std::vector<std::size_t> expected = slots4;
    for (std::size_t i = 0; i < 12; ++i) expected.push_back(field + i);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Changed(before), expected);
  }
}

TEST_F(PagesTest, OnlyAbonentNo2ValidatesAtEveryChange) {
  for (int k = 1; k <= 9; ++k) {
    const Bytes before = m.ws.working.bytes();
    p.AbonentNo[k - 1].text = "12a";
    p.AbonentNoChange(k);
    if (k == 2) {
      EXPECT_EQ(Messages(), std::vector<std::string>{PT::kWrongNumber});
      EXPECT_EQ(p.AbonentNo[1].text, "");
      EXPECT_EQ(At(5181 + 16, 16), Fill(16));
    } else {
      EXPECT_TRUE(Messages().empty()) << k;
      EXPECT_EQ(p.AbonentNo[k - 1].text, "12a");
      EXPECT_EQ(m.ws.working.bytes(), before) << k;
    }
    dialogs.Clear();
  }
  p.AbonentNo[1].text = "+7 1";
  p.AbonentNoChange(2);
  EXPECT_EQ(At(5181 + 16, 16), "+7 1" + Fill(12));
  EXPECT_EQ(m.ws.abonents[1], "+7 1");
}

// ---- SMS centre -------------------------------------------------------------

TEST_F(PagesTest, CenterPhoneStoresInTheVersionsField) {
  struct Case {
    int version;
    std::string text;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {15, "+7 999", 5325, "+7 999" + Fill(10)},
      {15, "+7 999 123 45 67", 5325, "+7 999 123 45 67"},
      {15, "", 5325, Fill(16)},
      {14, "+79161234567", 4720, "+79161234567"},
      {10, "123", 4720, "123" + Fill(9)},
      {12, "", 4720, Fill(12)},
  };
  for (const auto& c : cases) {
    Version(c.version);
    const Bytes before = m.ws.working.bytes();
    p.CenterPhone.text = c.text;
    p.CenterPhoneExit();
    EXPECT_EQ(At(c.offset, c.bytes.size()), c.bytes) << c.text;
    EXPECT_TRUE(Messages().empty());
    // The field of the other versions is left alone.
    for (std::size_t at : Changed(before)) EXPECT_TRUE(at >= c.offset && at < c.offset + c.bytes.size()) << at;
  }
}

TEST_F(PagesTest, CenterPhoneWithAWrongCharacterStoresTheEmptyNumber) {
  p.SetCenterPhoneText("+7916x");
  EXPECT_EQ(Messages(), std::vector<std::string>{PT::kWrongNumber});
  EXPECT_EQ(p.CenterPhone.text, "");
  EXPECT_EQ(At(5325, 16), Fill(16));
}

TEST_F(PagesTest, ChoosingAnOperatorStoresItsNumber) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"МТС(Вел. Новгород)", "+79116009993"}, {"МТС(Москва)", "+79168999100"},
      {"МТС(Северо-Запад)", "+79112009993"},  {"Мегафон(Москва)", "+79262909090"},
      {"Мегафон(Поволжье)", "+79272909090"},  {"Мегафон(Северо-запад)", "+79219909090"},
      {"Мегафон(Урал)", "+79222909090"},      {"Мегафон(Центр)", "+79202909090"},
  };
  ASSERT_EQ(kOperators.size(), table.size());
  for (std::size_t row = 0; row < table.size(); ++row) {
    EXPECT_EQ(kOperators[row].name, table[row].first);
    EXPECT_EQ(kOperators[row].phone, table[row].second);
    p.ChooseOperator(row);
    EXPECT_EQ(p.CenterPhone.text, table[row].second);
    EXPECT_EQ(At(5325, 16), table[row].second + Fill(4));
  }
  Version(13);
  p.ChooseOperator(6);  // "Мегафон(Урал)"
  EXPECT_EQ(At(4720, 12), "+79222909090");
  EXPECT_TRUE(Messages().empty());
}

// ---- Object identifier and password -------------------------------------------

TEST_F(PagesTest, ObjectIDExitUsesTheVersionsField) {
  struct Case {
    int version;
    std::string text;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {15, "123", 5171, "123" + Fill(7)}, {15, "ABCDEFGHIJ", 5171, "ABCDEFGHIJ"},
      {14, "", 5171, Fill(10)},           {13, "12", 4732, "12**"},
      {10, "9999", 4732, "9999"},         {11, "Об", 4732, "\xCE\xE1**"},  // characters are not validated
  };
  for (const auto& c : cases) {
    Version(c.version);
    const Bytes before = m.ws.working.bytes();
    p.ObjectID.text = c.text;
    p.ObjectIDExit();
    EXPECT_EQ(At(c.offset, c.bytes.size()), c.bytes) << c.text;
    for (std::size_t at : Changed(before)) EXPECT_TRUE(at >= c.offset && at < c.offset + c.bytes.size());
  }
}

TEST_F(PagesTest, ObjectIDNeverReachesThePasswordInVersion13) {
  p.PasswordEdit.text = "secret12";
  p.PasswordEditExit();
  Version(13, true);
  ASSERT_EQ(p.ObjectID.maxLength, 4);
  p.ObjectID.text = "ABCDEFGHIJ";
  p.ObjectIDExit();
  EXPECT_EQ(At(4732, 12), "ABCDsecret12");
}

// Whichever way the version changes (the menu with or without keeping the
// image, a settings file), the object identifier's edit takes the width of
// the version's field for new typing, a longer text stays in the edit and its
// first characters fill the field, and an edit fills the whole field.
TEST_F(PagesTest, TheObjectIdentifierFollowsEveryChangeOfVersion) {
  struct Case {
    const char* how;
    int from;
    int to;
    bool keepImage;
    bool byFile;  // the new version comes with a file holding "ABCDEFGHIJ" / "ABCD"
    const char* shown;
  };
  const std::vector<Case> cases = {
      {"file 15 over 13", 13, 15, true, true, "ABCDEFGHIJ"},
      {"file 13 over 15", 15, 13, true, true, "ABCD"},
      {"file 14 over 12", 12, 14, true, true, "ABCDEFGHIJ"},
      {"menu 13 kept", 15, 13, true, false, "UVWXYZ"},
      {"menu 14 kept", 13, 14, true, false, "UVWX"},
      {"menu 12", 15, 12, false, false, "UVWXYZ"},
      {"menu 15", 10, 15, false, false, "UVWX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    Version(c.to);
    p.ObjectID.text = "ABCDEFGHIJ";
    p.ObjectIDExit();
    const auto file = m.SettingsFileBytes();
    ASSERT_TRUE(file);
    Version(c.from);
    p.ObjectID.text = std::string("UVWXYZ").substr(0, static_cast<std::size_t>(p.ObjectID.maxLength));
    p.ObjectIDExit();
    if (c.byFile) {
      ASSERT_TRUE(m.OpenSettingsBytes(*file));
    } else {
      Version(c.to, c.keepImage);
    }
    const bool longField = c.to >= 14;
    const std::size_t width = longField ? 10 : 4;
    const std::size_t offset = longField ? 5171 : 4732;
    EXPECT_EQ(p.ObjectID.maxLength, static_cast<int>(width));
    EXPECT_EQ(p.ObjectID.text, c.shown);
    p.ObjectID.text = "KLMNOPQRST";
    p.ObjectIDExit();
    EXPECT_EQ(At(offset, width), std::string("KLMNOPQRST").substr(0, width));
    // Assigned, not copied from a literal: g++ 12 at -O3 takes that copy here
    // for an overlapping one (a false -Wrestrict).
    p.ObjectID.text.assign(1, 'K');
    p.ObjectIDExit();
    EXPECT_EQ(At(offset, width), std::string(1, 'K').append(Fill(width - 1)));
  }
}

// A text typed under a version with wider fields survives a round trip through
// narrower versions: each version stores as much of it as its field holds, and
// back under the wide version the whole text is stored again. The object
// identifier (10 characters from version 14 on, 4 before) as the numbers (16
// characters in version 15, 12 before).
TEST_F(PagesTest, AVersionRoundTripKeepsWhatWasTyped) {
  struct Trip {
    const char* how;
    std::vector<int> versions;  // chosen in turn after typing under version 15
    bool keepImage;
  };
  const std::vector<Trip> trips = {
      {"menu 12, 15", {12, 15}, false},
      {"menu 13, 14, 15", {13, 14, 15}, false},
      {"menu 13, 15 kept", {13, 15}, true},
      {"menu 13, 15", {13, 15}, false},
  };
  for (const Trip& t : trips) {
    SCOPED_TRACE(t.how);
    Version(15);
    p.ObjectID.text = "ABCDEFGHIJ";
    p.ObjectIDExit();
    p.AbonentNo[3].text = "+7 916 123 45 67";
    p.AbonentNoExit(4);
    for (const int v : t.versions) {
      Version(v, t.keepImage);
      SCOPED_TRACE(v);
      EXPECT_EQ(p.ObjectID.text, "ABCDEFGHIJ");
      EXPECT_EQ(p.AbonentNo[3].text, "+7 916 123 45 67");
      // What the version stores when the edits are left.
      p.ObjectIDExit();
      p.AbonentNoExit(4);
      if (v >= 14) {
        EXPECT_EQ(At(5171, 10), "ABCDEFGHIJ");
      } else {
        EXPECT_EQ(At(4732, 4), "ABCD");
      }
      if (v == 15) {
        EXPECT_EQ(At(5181 + 48, 16), "+7 916 123 45 67");
      } else {
        EXPECT_EQ(At(4612 + 36, 12), "+7 916 123 4");
      }
    }
    // Saved and opened again, the file holds the whole identifier.
    const auto file = m.SettingsFileBytes();
    ASSERT_TRUE(file);
    ASSERT_TRUE(m.OpenSettingsBytes(*file));
    EXPECT_EQ(p.ObjectID.text, "ABCDEFGHIJ");
    EXPECT_EQ(At(5171, 10), "ABCDEFGHIJ");
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(PagesTest, EmptyPasswordKeepsTheStoredOne) {
  struct Step {
    std::string text;
    std::string bytes;
  };
  const std::vector<Step> steps = {
      {"pass", "pass****"},      {"", "pass****"}, {"12345678", "12345678"},
      {"123456789", "12345678"}, {"", "12345678"}, {"пароль", "\xEF\xE0\xF0\xEE\xEB\xFC**"},
  };
  for (const auto& s : steps) {
    p.PasswordEdit.text = s.text;
    p.PasswordEditExit();
    EXPECT_EQ(At(4736, 8), s.bytes) << s.text;
    EXPECT_EQ(At(4744, 1), "*");
  }
}

// ---- Attempts and status messages --------------------------------------------

TEST_F(PagesTest, NumOfAttemptsIsARawByteClampedTo255) {
  struct Case {
    int value;
    int stored;
  };
  for (const Case c : std::vector<Case>{{200, 200}, {0, 0}, {255, 255}, {300, 255}, {-7, 0}, {42, 42}}) {
    p.SetSpinValue({SpinRow::NumOfAttempts, 1}, c.value);
    EXPECT_EQ(p.NumOfAttempts.value, c.stored);
    EXPECT_EQ(m.ws.working.Byte(5050), c.stored);
  }
}

TEST_F(PagesTest, StatusSMSStoresFourFlags) {
  struct Step {
    std::size_t item;
    bool checked;
    std::string flags;
  };
  const std::vector<Step> steps = {
      {0, true, "1000"}, {2, true, "1010"}, {3, true, "1011"}, {0, false, "0011"}, {1, true, "0111"},
  };
  for (const auto& s : steps) {
    p.SetItemChecked(p.StatusSMS, s.item, s.checked);
    EXPECT_EQ(At(5052, 4), s.flags);
  }
  EXPECT_EQ(At(5056, 1), "0");
}

TEST_F(PagesTest, StatusMessagesFlipTheirBitsOfTheStatusDigit) {
  struct Step {
    std::size_t item;  // 0 "Входы/выходы", 1 "Цифровая шина", 2 "АЦП (аналоговые входы)"
    bool checked;
    char digit;
  };
  const std::vector<Step> steps = {
      {1, true, '4'}, {2, true, '6'}, {0, true, '7'}, {1, false, '3'}, {2, false, '1'}, {0, false, '0'},
  };
  EXPECT_EQ(p.StatusMessages.items[1], "Цифровая шина");
  EXPECT_EQ(p.StatusMessages.items[2], "АЦП (аналоговые входы)");
  for (const auto& s : steps) {
    p.SetItemChecked(p.StatusMessages, s.item, s.checked);
    EXPECT_EQ(m.ws.working.Byte(5057), std::uint8_t(s.digit));
  }
}

TEST_F(PagesTest, ApplyStatusMessageKindsSetsItemsFromBits) {
  struct Case {
    int value;
    std::vector<bool> checked;  // "Входы/выходы", "Цифровая шина", "АЦП"
  };
  const std::vector<Case> cases = {
      {0, {false, false, false}}, {1, {true, false, false}}, {2, {false, false, true}}, {3, {true, false, true}},
      {4, {false, true, false}},  {5, {true, true, false}},  {6, {false, true, true}},  {7, {true, true, true}},
  };
  for (const auto& c : cases) {
    p.ApplyStatusMessageKinds(c.value);
    EXPECT_EQ(p.StatusMessages.checked, c.checked) << c.value;
    for (const int ignored : {-1, 10}) {
      p.ApplyStatusMessageKinds(ignored);
      EXPECT_EQ(p.StatusMessages.checked, c.checked) << ignored;
    }
  }
  // A controller's '8' and '9' show the kinds of their low bits.
  p.ApplyStatusMessageKinds(9);
  EXPECT_EQ(p.StatusMessages.checked, (std::vector<bool>{true, false, false}));
  p.ApplyStatusMessageKinds(8);
  EXPECT_EQ(p.StatusMessages.checked, (std::vector<bool>{false, false, false}));
}

// A status digit '8' or '9' read from a controller: every change of an item
// leaves a digit of exactly the items checked, which the program opens again.
TEST_F(PagesTest, StatusMessagesStayADigitAfterA8OrA9) {
  struct Case {
    char read;
    std::size_t item;
    bool checked;
    char digit;
  };
  const std::vector<Case> cases = {
      {'8', 0, true, '1'},  {'8', 1, true, '4'}, {'8', 2, true, '2'},
      {'9', 0, false, '0'}, {'9', 1, true, '5'}, {'9', 2, true, '3'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.read) + " item " + std::to_string(c.item));
    m.ws.incoming = m.ws.working;
    m.ws.incoming.SetByte(5057, static_cast<std::uint8_t>(c.read));
    ASSERT_TRUE(p.ApplyIncomingImage(false));
    ASSERT_EQ(m.ws.working.Byte(5057), std::uint8_t(c.read));
    p.SetItemChecked(p.StatusMessages, c.item, c.checked);
    EXPECT_EQ(m.ws.working.Byte(5057), std::uint8_t(c.digit));
    EXPECT_FALSE(Pages::CheckImage(m.ws.working, 15));
    const std::vector<bool> shown = p.StatusMessages.checked;
    m.ws.incoming = m.ws.working;
    ASSERT_TRUE(p.ApplyIncomingImage(false));
    EXPECT_EQ(p.StatusMessages.checked, shown);
  }
}

// ---- Delays and relay durations --------------------------------------------------

struct SpinField {
  SpinRow row;
  int n;
  std::size_t offset;
};

std::vector<SpinField> AllSpinFields() {
  std::vector<SpinField> f;
  for (int n = 1; n <= 8; ++n) {
    const auto d = 2 * static_cast<std::size_t>(n - 1);
    f.push_back({SpinRow::Input, n, 5059 + d});
    f.push_back({SpinRow::UInput, n, 5123 + d});
    f.push_back({SpinRow::AInput, n, 5139 + d});
    f.push_back({SpinRow::UAInput, n, 5155 + d});
  }
  for (int n = 1; n <= 16; ++n) f.push_back({SpinRow::Rele, n, 5000 + 2 * static_cast<std::size_t>(n - 1)});
  f.push_back({SpinRow::Vihod, 1, 5075});
  return f;
}

TEST_F(PagesTest, EverySpinBoxWritesOnlyItsHexPair) {
  const auto fields = AllSpinFields();
  ASSERT_EQ(fields.size(), 49u);
  for (const auto& f : fields) {
    for (const auto& [value, digits] : std::vector<std::pair<int, std::string>>{{167, "A7"}, {9, "09"}, {0, "00"}}) {
      const Bytes before = m.ws.working.bytes();
      p.SetSpinValue({f.row, f.n}, value);
      EXPECT_EQ(p.SpinAt({f.row, f.n}).value, value);
      EXPECT_EQ(At(f.offset, 2), digits) << f.offset;
      for (std::size_t at : Changed(before)) EXPECT_TRUE(at == f.offset || at == f.offset + 1) << f.offset << " " << at;
    }
  }
}

TEST_F(PagesTest, SpinBoxEdgeValues) {
  struct Case {
    SpinRow row;
    int n;
    int value;
    std::size_t offset;
    std::string digits;
  };
  const std::vector<Case> cases = {
      {SpinRow::Input, 5, 200, 5067, "C8"}, {SpinRow::UAInput, 8, 255, 5169, "FF"},
      {SpinRow::Rele, 16, 256, 5030, "FF"}, {SpinRow::Rele, 1, 1000, 5000, "FF"},
      {SpinRow::AInput, 1, -1, 5139, "00"}, {SpinRow::UInput, 8, 128, 5137, "80"},
      {SpinRow::Vihod, 1, 10, 5075, "0A"},
  };
  for (const auto& c : cases) {
    p.SetSpinValue({c.row, c.n}, 77);
    p.SetSpinValue({c.row, c.n}, c.value);
    EXPECT_EQ(At(c.offset, 2), c.digits) << c.value;
    EXPECT_EQ(p.SpinAt({c.row, c.n}).value, std::min(255, std::max(0, c.value)));
  }
}

TEST_F(PagesTest, RelayMarkerShowsWhileTheDurationIsZero) {
  EXPECT_TRUE(p.PanelVisible[6]);
  p.SetSpinValue({SpinRow::Rele, 7}, 1);
  EXPECT_EQ(At(5012, 2), "01");
  EXPECT_FALSE(p.PanelVisible[6]);
  p.SetSpinValue({SpinRow::Rele, 7}, 0);
  EXPECT_EQ(At(5012, 2), "00");
  EXPECT_TRUE(p.PanelVisible[6]);
  for (std::size_t i = 0; i < 16; ++i) EXPECT_TRUE(p.PanelVisible[i]) << i;
}

TEST_F(PagesTest, MousePressSetsTheStepOfTheButtons) {
  struct Case {
    bool ctrl;
    bool right;
    int step;
  };
  const std::vector<Case> cases = {{false, false, 1}, {true, false, 10}, {false, true, 10}, {true, true, 10}};
  for (const SpinId id :
       {SpinId{SpinRow::Rele, 3}, SpinId{SpinRow::Input, 1}, SpinId{SpinRow::UAInput, 8}, SpinId{SpinRow::Vihod, 1}}) {
    for (const auto& c : cases) {
      p.SetSpinValue(id, 100);
      p.ReleMouseDown(id, c.ctrl, c.right);
      EXPECT_EQ(p.SpinAt(id).step, c.step);
      p.SpinButton(id, +1);
      EXPECT_EQ(p.SpinAt(id).value, 100 + c.step);
      p.SpinButton(id, +1);  // the step stays until the next press
      EXPECT_EQ(p.SpinAt(id).value, 100 + 2 * c.step);
      p.SpinButton(id, -1);
      EXPECT_EQ(p.SpinAt(id).value, 100 + c.step);
    }
  }
  // The sending attempts always step by 1.
  for (const auto& c : cases) {
    p.SetSpinValue({SpinRow::NumOfAttempts, 1}, 5);
    p.ReleMouseDown({SpinRow::NumOfAttempts, 1}, c.ctrl, c.right);
    p.SpinButton({SpinRow::NumOfAttempts, 1}, +1);
    EXPECT_EQ(p.NumOfAttempts.value, 6);
  }
  // The buttons clamp at the ends of the range.
  p.ReleMouseDown({SpinRow::Rele, 2}, true, false);
  p.SetSpinValue({SpinRow::Rele, 2}, 250);
  p.SpinButton({SpinRow::Rele, 2}, +1);
  EXPECT_EQ(p.Rele[1].value, 255);
  EXPECT_EQ(At(5002, 2), "FF");
  p.SetSpinValue({SpinRow::Rele, 2}, 5);
  p.SpinButton({SpinRow::Rele, 2}, -1);
  EXPECT_EQ(p.Rele[1].value, 0);
  EXPECT_EQ(At(5002, 2), "00");
  EXPECT_TRUE(p.PanelVisible[1]);
}

// ---- Identifiers and master key -------------------------------------------------

TEST_F(PagesTest, StoreIdentifierValidatesSixteenHexDigits) {
  const std::string kLength = PT::kIdentifierLength;
  const std::string kWrong = PT::kWrongValue;
  struct Case {
    std::string text;
    bool ok;
    std::string bytes;
    std::string message;  // empty: none
  };
  const std::vector<Case> cases = {
      {"0123456789ABCDEF", true, "0123456789ABCDEF", ""},
      {"FFFFFFFFFFFFFFFF", true, "FFFFFFFFFFFFFFFF", ""},
      {"0123456789ABCDEF01", true, "0123456789ABCDEF", ""},  // the first 16 characters
      {"0123456789abcdef", false, Fill(16), kWrong},
      {"0123456789ABCDEG", false, Fill(16), kWrong},
      {"0123456789ABCDEF G", false, Fill(16), kWrong},  // every character is examined
      {"0123456789ABCDE", false, Fill(16), kLength},
      {"A", false, Fill(16), kLength},
      {"ЖЖЖЖЖЖЖЖ", false, Fill(16), kLength},  // eight characters
      {"", false, Fill(16), ""},
  };
  for (const auto& c : cases) {
    m.ws.working.SetRaw(4776, "................");
    const Bytes before = m.ws.working.bytes();
    EXPECT_EQ(p.StoreIdentifier(c.text, 4776), c.ok) << c.text;
    EXPECT_EQ(At(4776, 16), c.bytes) << c.text;
    EXPECT_EQ(Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
        << c.text;
    for (std::size_t at : Changed(before)) EXPECT_TRUE(at >= 4776 && at < 4792);
    dialogs.Clear();
  }
}

TEST_F(PagesTest, IdentifierEditsStoreAtTheirFields) {
  for (int k = 1; k <= 16; ++k) {
    const std::size_t offset = 4744 + 16 * static_cast<std::size_t>(k - 1);
    p.ID[k - 1].text = "0123456789ABCDEF";
    p.IDExit(k);
    EXPECT_EQ(At(offset, 16), "0123456789ABCDEF") << k;
    EXPECT_EQ(p.ID[k - 1].text, "0123456789ABCDEF");
    p.ID[k - 1].text = "0123456789abcdef";
    p.IDExit(k);
    EXPECT_EQ(At(offset, 16), Fill(16));
    EXPECT_EQ(p.ID[k - 1].text, "");
  }
  EXPECT_EQ(dialogs.shown.size(), 16u);
  dialogs.Clear();
  p.ID[2].text = "0123456789ABCDEF";
  p.IDExit(3);
  EXPECT_EQ(At(4776, 16), "0123456789ABCDEF");
  EXPECT_EQ(At(4775, 1), "*");
  EXPECT_EQ(At(4792, 1), "*");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PagesTest, MasterKey) {
  p.MasterKey.text = "FEDCBA9876543210";
  p.MasterKeyExit();
  EXPECT_EQ(At(5032, 16), "FEDCBA9876543210");
  p.MasterKey.text = "";
  p.MasterKeyExit();
  EXPECT_EQ(At(5032, 16), Fill(16));
  EXPECT_TRUE(Messages().empty());
  p.MasterKey.text = "FEDCBA987654321";
  p.MasterKeyExit();
  EXPECT_EQ(Messages(), std::vector<std::string>{PT::kIdentifierLength});
  EXPECT_EQ(p.MasterKey.text, "");
  EXPECT_EQ(At(5032, 18), Fill(16) + "00");
}

// ---- Guard mode -------------------------------------------------------------------

TEST_F(PagesTest, ForbiddingGuardModeResetsTheDelayAndReshapesTheTree) {
  p.SetSpinValue({SpinRow::Vihod, 1}, 30);
  p.SetOhrSmsChecked(true);
  p.SetItemChecked(p.Zones, 1, true);
  p.SetItemChecked(p.AZones, 7, true);
  m.ws.working.SetRaw(1593, "ZRZR");  // the disarming block keeps its bytes
  const std::string disarmBlock = At(1593, 59);
  m.Tree1.top(0)->expanded = true;

  p.SetOhrIndex(1);
  EXPECT_EQ(p.Vihod.value, 0);
  EXPECT_EQ(At(5075, 2), "00");
  EXPECT_EQ(At(5051, 1), "0");
  EXPECT_FALSE(p.Vihod.enabled);
  EXPECT_FALSE(p.Zones.enabled);
  EXPECT_FALSE(p.AZones.enabled);
  EXPECT_FALSE(p.OhrSMS.enabled);
  EXPECT_TRUE(p.OhrSMS.checked);
  EXPECT_TRUE(p.Zones.checked[1]);
  EXPECT_TRUE(p.AZones.checked[7]);
  EXPECT_EQ(At(5048, 2), "02");
  EXPECT_EQ(At(5120, 1), "1");

  const TreeNode* guard = m.Tree1.top(13);
  EXPECT_EQ(guard->text, "КЛЮЧ Touch Memory");
  ASSERT_EQ(guard->childCount(), 1u);
  EXPECT_EQ(guard->child(0)->text, "КАСАНИЕ");
  EXPECT_EQ(m.Tree1.size(), 862u);
  EXPECT_EQ(m.ws.working.ReadText(1534 + 25, 33), "Kасание ТМ");
  EXPECT_EQ(At(1534 + 25, 33), "K\xE0\xF1\xE0\xED\xE8\xE5 \xD2\xCC" + Fill(23));
  EXPECT_EQ(At(1593, 59), disarmBlock);
  EXPECT_FALSE(m.Tree1.top(0)->expanded);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PagesTest, AllowingGuardModeAgainEnablesTheGroupsOfTheVersion) {
  struct Case {
    int version;
    bool azones;
  };
  for (const Case c : std::vector<Case>{{10, false}, {12, false}, {13, true}, {14, true}, {15, true}}) {
    Version(c.version);
    p.SetOhrIndex(1);
    m.ws.working.SetRaw(1593, "ZZZZ");
    p.SetOhrIndex(0);
    EXPECT_TRUE(p.Vihod.enabled);
    EXPECT_TRUE(p.Zones.enabled);
    EXPECT_TRUE(p.OhrSMS.enabled);
    EXPECT_EQ(p.AZones.enabled, c.azones) << c.version;
    EXPECT_EQ(At(5051, 1), "1");
    EXPECT_EQ(p.Vihod.value, 0);
    const TreeNode* guard = m.Tree1.top(13);
    EXPECT_EQ(guard->text, "ОХРАНА");
    ASSERT_EQ(guard->childCount(), 2u);
    EXPECT_EQ(guard->child(0)->text, "Постановка");
    EXPECT_EQ(guard->child(1)->text, "Снятие");
    EXPECT_EQ(m.Tree1.size(), 892u);
    EXPECT_EQ(At(1593, 25), std::string(25, 'N'));
    EXPECT_EQ(m.ws.working.ReadText(1593 + 25, 33), "Снято с ОХРАНЫ");
    EXPECT_EQ(m.ws.working.ReadText(1534 + 25, 33), "Принято под ОХРАНУ");
  }
}

TEST_F(PagesTest, ZoneGroupsStoreMaskPairs) {
  p.SetItemChecked(p.Zones, 1, true);
  p.SetItemChecked(p.Zones, 2, true);
  EXPECT_EQ(At(5048, 2), "06");
  p.SetItemChecked(p.Zones, 7, true);
  EXPECT_EQ(At(5048, 2), "86");
  p.SetItemChecked(p.AZones, 0, true);
  p.SetItemChecked(p.AZones, 7, true);
  EXPECT_EQ(At(5121, 2), "81");
  EXPECT_EQ(At(5048, 2), "86");
}

TEST_F(PagesTest, AnalogueZonesExistOnlyInLongImages) {
  for (const int version : {10, 12}) {
    Version(version);
    const Bytes before = m.ws.working.bytes();
    ASSERT_EQ(before.size(), 5121u);
    p.SetItemChecked(p.AZones, 0, !p.AZones.checked[0]);
    p.AZonesChange();
    EXPECT_EQ(m.ws.working.bytes(), before);
  }
  Version(11);
  p.AZonesChange();
  EXPECT_EQ(m.ws.working.size(), 5484u);
}

TEST_F(PagesTest, SmsArmingFlag) {
  for (const int version : {12, 15}) {
    Version(version);
    p.SetOhrSmsChecked(true);
    EXPECT_EQ(At(5120, 1), "1");
    p.SetOhrSmsChecked(false);
    EXPECT_EQ(At(5120, 1), "0");
    EXPECT_EQ(m.ws.working.size(), version == 12 ? 5121u : 5484u);
  }
}

}  // namespace
}  // namespace vemtaro
