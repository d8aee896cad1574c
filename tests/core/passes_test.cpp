// The two whole-image passes: ApplyIncomingImage, which shows a read image in
// every control and makes it the working image, and ResetImage, which writes a
// version's defaults with the controls' current values.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/layout.h"
#include "scripted_dialogs.h"
#include "started_model.h"
#include "trees/reaction_trees.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {
namespace PT = page_texts;

std::string Fill(std::size_t n) { return std::string(n, '*'); }

void Dump(std::ostringstream& out, const Edit& e) {
  out << e.name << '=' << e.text << '/' << e.maxLength << e.enabled << e.visible << '\n';
}
void Dump(std::ostringstream& out, const Spin& s) {
  out << s.name << '=' << s.value << '/' << s.step << s.enabled << '\n';
}
void Dump(std::ostringstream& out, const CheckGroup& g) {
  out << g.name << g.enabled << ':';
  for (std::size_t i = 0; i < g.checked.size(); ++i) out << g.checked[i] << g.itemEnabled[i];
  out << '\n';
}

// Everything the pages show.
std::string Snapshot(const Pages& p) {
  std::ostringstream out;
  Dump(out, p.ObjectID);
  Dump(out, p.PasswordEdit);
  for (const auto& e : p.AbonentNo) Dump(out, e);
  Dump(out, p.CenterPhone);
  Dump(out, p.NumOfAttempts);
  Dump(out, p.StatusSMS);
  Dump(out, p.StatusMessages);
  for (const auto* row : {&p.Input, &p.UInput, &p.AInput, &p.UAInput}) {
    for (const auto& s : *row) Dump(out, s);
  }
  for (const auto& s : p.Rele) Dump(out, s);
  for (bool v : p.PanelVisible) out << v;
  out << '\n';
  Dump(out, p.Vihod);
  for (const Label* l : {&p.Label1, &p.Label5, &p.Label7, &p.Label8, &p.RzGroupBox2})
    out << l->caption << l->visible << '\n';
  out << p.TimeAfterReactionEnabled << p.TabSheet3Enabled << '\n';
  for (const auto& e : p.ID) Dump(out, e);
  for (const auto& l : p.IdLabels) out << l.visible;
  out << "\nOhr" << p.Ohr.index << p.Ohr.enabled << " SMS" << p.OhrSMS.checked << p.OhrSMS.enabled << '\n';
  Dump(out, p.Zones);
  Dump(out, p.AZones);
  Dump(out, p.MasterKey);
  return out.str();
}

std::string TreeDump(const Tree& t) {
  std::ostringstream out;
  t.ForEach(
      [&](const TreeNode& n) { out << n.level() << ' ' << n.text << ' ' << n.icon << ' ' << n.expanded << '\n'; });
  return out.str();
}

class PassesTest : public testing::StartedModel {
 protected:
  // A readable image of the current length whose fields all differ from the
  // defaults; spin box i (in AllSpins order) holds SpinValue(i).
  ConfigImage Rich() const {
    ConfigImage in = m.ws.working;
    std::size_t i = 0;
    for (const auto& [id, offset] : AllSpins()) in.WriteHexPair(offset, SpinValue(i++));
    in.SetRaw(5048, "A5");
    in.SetRaw(5121, "3c");
    in.SetByte(5050, 200);
    in.SetRaw(5051, "1");
    in.SetRaw(5052, "1010");
    in.SetRaw(5057, "5");
    in.SetRaw(5119, "2");
    in.SetRaw(5120, "1");
    in.SetRaw(4732, "AB12");
    in.SetRaw(5171, "OBJ*42****");
    for (int k = 1; k <= 9; ++k) {
      const std::string d = std::to_string(k);
      in.WriteText(4612 + 12 * static_cast<std::size_t>(k - 1), 12, k == 3 ? "" : "8 900 " + d);
      in.WriteText(5181 + 16 * static_cast<std::size_t>(k - 1), 16, k == 3 ? "" : "+7 900 000 00 0" + d);
    }
    in.WriteText(4720, 12, "+79262909090");
    in.WriteText(5325, 16, "+79222909090");
    in.SetRaw(4744, "0123456789ABCDEF");
    in.SetRaw(4984, "fedcba9876543210");  // shown as read, though not typeable
    in.SetRaw(4736, "pw12****");
    in.SetRaw(5032, "00112233445566FF");
    return in;
  }
  static int SpinValue(std::size_t i) { return static_cast<int>((i * 37 + 11) % 256); }
  static std::vector<std::pair<SpinId, std::size_t>> AllSpins() {
    std::vector<std::pair<SpinId, std::size_t>> s;
    for (int n = 1; n <= 8; ++n) {
      const auto d = 2 * static_cast<std::size_t>(n - 1);
      s.push_back({{SpinRow::Input, n}, 5059 + d});
      s.push_back({{SpinRow::UInput, n}, 5123 + d});
      s.push_back({{SpinRow::AInput, n}, 5139 + d});
      s.push_back({{SpinRow::UAInput, n}, 5155 + d});
    }
    for (int n = 1; n <= 16; ++n) s.push_back({{SpinRow::Rele, n}, 5000 + 2 * static_cast<std::size_t>(n - 1)});
    s.push_back({{SpinRow::Vihod, 1}, 5075});
    return s;
  }
  bool Apply(const ConfigImage& in, bool suppressGuard = false) {
    m.ws.incoming = in;
    return p.ApplyIncomingImage(suppressGuard);
  }

  Pages& p = m.pages;
};

// ---- ApplyIncomingImage -------------------------------------------------------------

TEST_F(PassesTest, AppliedImageSetsEveryControl) {
  const ConfigImage in = Rich();
  m.Tree1.top(0)->expanded = true;
  m.Tree2.top(3)->expanded = true;
  ASSERT_TRUE(Apply(in));
  EXPECT_TRUE(dialogs.shown.empty());
  std::size_t i = 0;
  for (const auto& [id, offset] : AllSpins()) {
    EXPECT_EQ(p.SpinAt(id).value, SpinValue(i++)) << offset;
  }
  for (std::size_t n = 0; n < 16; ++n) EXPECT_EQ(p.PanelVisible[n], p.Rele[n].value == 0);
  EXPECT_EQ(p.Zones.checked, (std::vector<bool>{true, false, true, false, false, true, false, true}));
  EXPECT_EQ(p.AZones.checked, (std::vector<bool>{false, false, true, true, true, true, false, false}));
  EXPECT_EQ(p.NumOfAttempts.value, 200);
  EXPECT_EQ(p.Ohr.index, 0);
  EXPECT_TRUE(p.OhrSMS.checked);
  EXPECT_EQ(p.StatusSMS.checked, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(p.StatusMessages.checked, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(p.ObjectID.text, "OBJ42");
  EXPECT_EQ(p.CenterPhone.text, "+79222909090");
  for (int k = 1; k <= 9; ++k) {
    const std::string expected = k == 3 ? "" : "+7 900 000 00 0" + std::to_string(k);
    EXPECT_EQ(p.AbonentNo[k - 1].text, expected);
    EXPECT_EQ(p.AbonentNo[k - 1].maxLength, 16);
    EXPECT_EQ(m.ws.abonents[k - 1], expected);
  }
  EXPECT_EQ(p.ID[0].text, "0123456789ABCDEF");
  EXPECT_EQ(p.ID[15].text, "fedcba9876543210");
  for (std::size_t k = 1; k < 15; ++k) EXPECT_EQ(p.ID[k].text, "");
  EXPECT_EQ(p.PasswordEdit.text, "pw12");
  EXPECT_EQ(p.MasterKey.text, "00112233445566FF");
  EXPECT_EQ(m.Tree1.top(kAlarmSource1)->icon, icons::kAlarmOff);
  EXPECT_EQ(m.Tree1.top(kAlarmSource2)->icon, icons::kAlarmOn);
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());
  EXPECT_FALSE(m.Tree1.top(0)->expanded);
  EXPECT_FALSE(m.Tree2.top(3)->expanded);
  EXPECT_EQ(m.ws.incoming.bytes(), in.bytes());
}

TEST_F(PassesTest, TheVersionDecidesWhichFieldsAreRead) {
  struct Case {
    int version;
    const char* objectId;
    const char* number1;
    const char* center;
    int phoneWidth;
    bool readsAfterDelays;
    bool readsStatusKinds;
  };
  const std::vector<Case> cases = {
      {10, "AB12", "8 900 1", "+79262909090", 12, false, false},
      {11, "AB12", "8 900 1", "+79262909090", 12, false, false},
      {12, "AB12", "8 900 1", "+79262909090", 12, false, true},
      {13, "AB12", "8 900 1", "+79262909090", 12, true, true},
      {14, "OBJ42", "8 900 1", "+79262909090", 12, true, true},
      {15, "OBJ42", "+7 900 000 00 01", "+79222909090", 16, true, true},
  };
  for (const auto& c : cases) {
    Version(c.version);
    SCOPED_TRACE(c.version);
    const ConfigImage in = Rich();
    ASSERT_TRUE(Apply(in));
    EXPECT_EQ(p.ObjectID.text, c.objectId);
    EXPECT_EQ(p.AbonentNo[0].text, c.number1);
    EXPECT_EQ(m.ws.abonents[0], c.number1);
    EXPECT_EQ(p.CenterPhone.text, c.center);
    EXPECT_EQ(p.CenterPhone.maxLength, c.phoneWidth);
    EXPECT_EQ(p.AbonentNo[8].maxLength, c.phoneWidth);
    EXPECT_EQ(p.UInput[0].value != 0, c.readsAfterDelays);
    EXPECT_EQ(p.AZones.checked[2], c.readsAfterDelays);
    EXPECT_EQ(p.StatusMessages.checked[1], c.readsStatusKinds);
    EXPECT_NE(p.Input[0].value, 0);
    EXPECT_EQ(m.ws.working.bytes(), in.bytes());
    EXPECT_TRUE(dialogs.shown.empty());
  }
}

TEST_F(PassesTest, LowercaseHexIsShownAndCopiedUnchanged) {
  ConfigImage in = m.ws.working;
  in.SetRaw(5000, "0f");
  ASSERT_TRUE(Apply(in));
  EXPECT_EQ(p.Rele[0].value, 15);
  EXPECT_FALSE(p.PanelVisible[0]);
  EXPECT_EQ(At(5000, 2), "0f");
  p.SetSpinValue({SpinRow::Rele, 1}, 14);
  p.SetSpinValue({SpinRow::Rele, 1}, 15);
  EXPECT_EQ(At(5000, 2), "0F");
}

TEST_F(PassesTest, AlarmDigitSetsTheAlarmIcons) {
  struct Case {
    char digit;
    int icon1;
    int icon2;
  };
  const std::vector<Case> cases = {
      {'0', icons::kAlarmOff, icons::kAlarmOff},
      {'1', icons::kAlarmOn, icons::kAlarmOff},
      {'2', icons::kAlarmOff, icons::kAlarmOn},
      {'3', icons::kAlarmOn, icons::kAlarmOn},
  };
  for (const auto& c : cases) {
    ConfigImage in = m.ws.working;
    in.SetByte(5119, static_cast<std::uint8_t>(c.digit));
    ASSERT_TRUE(Apply(in));
    EXPECT_EQ(m.Tree1.top(kAlarmSource1)->icon, c.icon1) << c.digit;
    EXPECT_EQ(m.Tree1.top(kAlarmSource2)->icon, c.icon2) << c.digit;
    // Another byte leaves both icons as they are and is copied as it stands.
    for (const char other : {'X', '4', '*'}) {
      in.SetByte(5119, static_cast<std::uint8_t>(other));
      ASSERT_TRUE(Apply(in));
      EXPECT_EQ(m.Tree1.top(kAlarmSource1)->icon, c.icon1);
      EXPECT_EQ(m.Tree1.top(kAlarmSource2)->icon, c.icon2);
      EXPECT_EQ(m.ws.working.Byte(5119), std::uint8_t(other));
    }
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PassesTest, StatusDigitIsReadFromVersion12On) {
  struct Case {
    int version;
    char digit;
    bool applied;
    std::vector<bool> checked;
  };
  const std::vector<Case> cases = {
      {10, '7', true, {false, false, false}},  {10, 'X', true, {false, false, false}},
      {11, '7', true, {false, false, false}},  {11, 'X', true, {false, false, false}},
      {12, '7', true, {true, true, true}},     {12, '8', true, {false, false, false}},
      {12, 'X', false, {false, false, false}}, {15, '3', true, {true, false, true}},
      {15, '9', true, {true, false, false}},   {15, ':', false, {false, false, false}},
  };
  for (const auto& c : cases) {
    Version(c.version);
    ConfigImage in = m.ws.working;
    in.SetByte(5057, static_cast<std::uint8_t>(c.digit));
    EXPECT_EQ(Apply(in), c.applied) << c.version << c.digit;
    EXPECT_EQ(p.StatusMessages.checked, c.checked) << c.version << c.digit;
    if (c.applied) {
      EXPECT_EQ(m.ws.working.Byte(5057), std::uint8_t(c.digit));
    }
    dialogs.Clear();
  }
}

TEST_F(PassesTest, Version11UnchecksTheAnalogueStatusItem) {
  Version(11);
  p.StatusMessages.checked[2] = true;
  ASSERT_TRUE(Apply(m.ws.working));
  EXPECT_FALSE(p.StatusMessages.checked[2]);
  EXPECT_FALSE(p.StatusMessages.itemEnabled[2]);
  EXPECT_FALSE(p.TimeAfterReactionEnabled);
}

TEST_F(PassesTest, ForbiddenGuardImageReshapesTheGuardEntry) {
  ASSERT_EQ(p.Ohr.index, 0);
  ConfigImage in = Rich();
  in.SetRaw(5051, "0");
  in.SetRaw(5075, "2A");
  in.SetRaw(5048, "03");
  ASSERT_TRUE(Apply(in));
  EXPECT_EQ(p.Ohr.index, 1);
  const TreeNode* guard = m.Tree1.top(13);
  EXPECT_EQ(guard->text, "КЛЮЧ Touch Memory");
  ASSERT_EQ(guard->childCount(), 1u);
  EXPECT_EQ(guard->child(0)->text, "КАСАНИЕ");
  EXPECT_EQ(m.Tree1.size(), 862u);
  // The guard handling set the delay to 0; the image's value came after.
  EXPECT_EQ(p.Vihod.value, 42);
  EXPECT_FALSE(p.Vihod.enabled);
  EXPECT_FALSE(p.Zones.enabled);
  EXPECT_FALSE(p.AZones.enabled);
  EXPECT_FALSE(p.OhrSMS.enabled);
  EXPECT_EQ(p.Zones.checked, (std::vector<bool>{true, true, false, false, false, false, false, false}));
  EXPECT_TRUE(p.OhrSMS.checked);
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());

  // An allowed image brings the guard entry back.
  in.SetRaw(5051, "1");
  ASSERT_TRUE(Apply(in));
  EXPECT_EQ(p.Ohr.index, 0);
  EXPECT_EQ(m.Tree1.top(13)->text, "ОХРАНА");
  EXPECT_EQ(m.Tree1.size(), 892u);
  EXPECT_TRUE(p.Zones.enabled);
  EXPECT_TRUE(p.AZones.enabled);
  EXPECT_TRUE(p.OhrSMS.enabled);
  EXPECT_TRUE(p.Vihod.enabled);
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PassesTest, SuppressedGuardHandlingLeavesTheTreeAlone) {
  const std::string tree = TreeDump(m.Tree1);
  ConfigImage in = Rich();
  in.SetRaw(5119, "3");  // the alarm icons as they stand
  in.SetRaw(5051, "0");
  in.SetRaw(5075, "2A");
  ASSERT_TRUE(Apply(in, true));
  EXPECT_EQ(p.Ohr.index, 1);
  EXPECT_EQ(TreeDump(m.Tree1), tree);
  EXPECT_EQ(p.Vihod.value, 42);
  EXPECT_FALSE(p.Zones.enabled);
  EXPECT_FALSE(p.OhrSMS.enabled);
  EXPECT_FALSE(p.AZones.enabled);
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());
  // Later guard changes are handled again.
  p.SetOhrIndex(0);
  EXPECT_EQ(m.Tree1.top(13)->text, "ОХРАНА");
  EXPECT_EQ(At(5051, 1), "1");
}

TEST_F(PassesTest, ApplyingTheSameImageTwiceGivesTheSameState) {
  for (const bool suppress : {false, true}) {
    ConfigImage in = Rich();
    in.SetRaw(5051, "0");
    in.SetRaw(5119, "1");
    in.WriteText(5325, 16, "+7916x");        // rejected by the SMS centre edit
    in.WriteText(5181 + 16, 16, "8 (916)");  // rejected by AbonentNo2
    Apply(in, suppress);
    const std::string pages = Snapshot(p);
    const std::string tree1 = TreeDump(m.Tree1);
    const std::string tree2 = TreeDump(m.Tree2);
    const Bytes working = m.ws.working.bytes();
    Apply(in, suppress);
    EXPECT_EQ(Snapshot(p), pages);
    EXPECT_EQ(TreeDump(m.Tree1), tree1);
    EXPECT_EQ(TreeDump(m.Tree2), tree2);
    EXPECT_EQ(m.ws.working.bytes(), working);
    EXPECT_EQ(working, in.bytes());
  }
}

TEST_F(PassesTest, AnUnreadableFieldChangesNothing) {
  struct Case {
    int version;
    std::size_t offset;
    std::string bytes;
    const char* field;
  };
  const std::vector<Case> cases = {
      {15, 5000, "G0", "Rele1"},       {10, 5030, "0x", "Rele16"},      {12, 5059, "  ", "Input1"},
      {15, 5073, "Z1", "Input8"},      {11, 5075, "-1", "Vihod"},       {15, 5048, "**", "Zones"},
      {13, 5121, "0g", "AZones"},      {13, 5123, "!!", "UInput1"},     {14, 5137, "1.", "UInput8"},
      {15, 5145, "??", "AInput4"},     {15, 5169, "x1", "UAInput8"},    {12, 5057, "X", "status digit"},
      {13, 5057, ":", "status digit"}, {15, 5057, "*", "status digit"},
  };
  for (const auto& c : cases) {
    Version(c.version);
    SCOPED_TRACE(std::string(c.field) + " v" + std::to_string(c.version));
    // Make the page differ from its defaults first.
    ASSERT_TRUE(Apply(Rich()));
    ConfigImage in = Rich();
    in.SetRaw(5051, "0");
    in.SetRaw(5119, "0");
    for (const auto& [id, offset] : AllSpins()) in.WriteHexPair(offset, 3);
    in.SetRaw(5048, "FF");
    in.SetRaw(5057, "0");
    in.SetRaw(c.offset, c.bytes);
    const std::string pages = Snapshot(p);
    const std::string tree1 = TreeDump(m.Tree1);
    const Bytes working = m.ws.working.bytes();
    const auto abonents = m.ws.abonents;
    EXPECT_FALSE(Apply(in));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].error);
    EXPECT_EQ(dialogs.shown[0].text, PT::kDataError);
    EXPECT_EQ(Snapshot(p), pages);
    EXPECT_EQ(TreeDump(m.Tree1), tree1);
    EXPECT_EQ(m.ws.working.bytes(), working);
    EXPECT_EQ(m.ws.abonents, abonents);
    dialogs.Clear();
  }
}

TEST_F(PassesTest, FieldsAVersionDoesNotReadMayHoldAnything) {
  struct Case {
    int version;
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {12, 5057, "5"},     {11, 5057, "X"},      {12, 5121, "zz"},  // 5121 lies beyond a version-12 image
      {13, 5171, "G*G*G"}, {10, 5123, "zzzzzz"}, {15, 4612, "zz"},
  };
  for (const auto& c : cases) {
    Version(c.version);
    ConfigImage in = m.ws.working;
    in.SetRaw(c.offset, c.bytes);
    EXPECT_TRUE(Apply(in)) << c.version << ' ' << c.offset;
    EXPECT_EQ(m.ws.working.bytes(), in.bytes());
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PassesTest, WrongCharactersInReadNumbers) {
  ConfigImage in = m.ws.working;
  in.WriteText(5325, 16, "+7916ABC");
  in.WriteText(5181 + 16, 16, "+7916-2");  // AbonentNo2 validates at every change
  in.WriteText(5181 + 32, 16, "+7916-3");  // AbonentNo3 only when it is left
  in.WriteText(5181 + 48, 16, "+7916 4");
  ASSERT_TRUE(Apply(in));
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{PT::kWrongNumber, PT::kWrongNumber}));
  EXPECT_FALSE(dialogs.shown[0].error);
  EXPECT_EQ(p.CenterPhone.text, "");
  EXPECT_EQ(p.AbonentNo[1].text, "");
  EXPECT_EQ(m.ws.abonents[1], "");
  EXPECT_EQ(p.AbonentNo[2].text, "+7916-3");
  EXPECT_EQ(m.ws.abonents[2], "+7916-3");
  EXPECT_EQ(m.ws.abonents[3], "+7916 4");
  // The image keeps the characters read.
  EXPECT_EQ(At(5325, 16), "+7916ABC" + Fill(8));
  EXPECT_EQ(At(5181 + 16, 16), "+7916-2" + Fill(9));
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());
}

TEST_F(PassesTest, NumbersNotInTheImageAreEmptied) {
  p.AbonentNo[4].text = "+79160000005";
  p.AbonentNoExit(5);
  p.CenterPhone.text = "123";
  ConfigImage in = m.ws.working;
  in.WriteText(5181 + 64, 16, "");
  in.WriteText(5325, 16, "");
  ASSERT_TRUE(Apply(in));
  EXPECT_EQ(p.AbonentNo[4].text, "");
  EXPECT_EQ(m.ws.abonents[4], "");
  EXPECT_EQ(p.CenterPhone.text, "");
  EXPECT_EQ(m.ws.working.bytes(), in.bytes());
}

// ---- ResetImage ----------------------------------------------------------------------

TEST_F(PassesTest, ResetImageKeepsTheFieldsOfOlderVersionsInVersion15) {
  std::string older;
  for (std::size_t i = 0; i < 124; ++i) older.push_back(static_cast<char>('A' + i % 26));
  m.ws.working.SetRaw(4612, older);
  p.ObjectID.text = "OBJ";
  p.AbonentNo[0].text = "+7 1";
  p.CenterPhone.text = "999";
  p.ResetImage();
  EXPECT_EQ(At(4612, 124), older);
  EXPECT_EQ(At(5171, 10), "OBJ" + Fill(7));
  EXPECT_EQ(At(5181, 16), "+7 1" + Fill(12));
  EXPECT_EQ(At(5325, 16), "+79168999100" + Fill(4));
  EXPECT_EQ(p.CenterPhone.text, "+79168999100");
}

TEST_F(PassesTest, ResetImageWritesDefaultsAndClearsTheirControls) {
  for (const int version : {10, 12, 13, 15}) {
    Version(version);
    SCOPED_TRACE(version);
    const std::size_t length = m.ws.working.size();
    p.PasswordEdit.text = "pw";
    p.PasswordEditExit();
    for (int k = 1; k <= 16; ++k) {
      p.ID[k - 1].text = "0123456789ABCDEF";
      p.IDExit(k);
    }
    p.MasterKey.text = "0123456789ABCDEF";
    p.MasterKeyExit();
    for (std::size_t i = 0; i < 4; ++i) p.SetItemChecked(p.StatusSMS, i, true);
    for (std::size_t i = 0; i < 3; ++i) p.SetItemChecked(p.StatusMessages, i, true);
    p.SetOhrSmsChecked(true);
    p.SetSpinValue({SpinRow::NumOfAttempts, 1}, 9);
    m.ws.working.SetRaw(5077, "12:3023:45");
    m.ws.working.SetRaw(5119, "1");

    p.ResetImage();
    EXPECT_EQ(p.PasswordEdit.text, "");
    for (const auto& id : p.ID) EXPECT_EQ(id.text, "");
    EXPECT_EQ(p.MasterKey.text, "");
    EXPECT_EQ(p.StatusSMS.checked, (std::vector<bool>(4, false)));
    EXPECT_EQ(p.StatusMessages.checked, (std::vector<bool>(3, false)));
    EXPECT_FALSE(p.OhrSMS.checked);
    EXPECT_EQ(p.NumOfAttempts.value, 5);

    EXPECT_EQ(At(4736, 8 + 256), Fill(8 + 256));
    EXPECT_EQ(At(5032, 16), Fill(16));
    EXPECT_EQ(m.ws.working.Byte(5050), 5);
    EXPECT_EQ(At(5051, 8), "10000000");
    EXPECT_EQ(At(5077, 10), "00:0000:00");
    EXPECT_EQ(At(5119, 2), "30");
    EXPECT_EQ(m.ws.working.size(), length);
    EXPECT_TRUE(dialogs.shown.empty());
  }
}

TEST_F(PassesTest, ResetImageStoresTheCurrentValuesOfTheOtherControls) {
  struct Case {
    int version;
    bool afterDelays;
  };
  for (const Case c : std::vector<Case>{{10, false}, {12, false}, {13, true}, {15, true}}) {
    Version(c.version);
    SCOPED_TRACE(c.version);
    std::size_t i = 0;
    for (const auto& [id, offset] : AllSpins()) p.SetSpinValue(id, static_cast<int>(10 + i++));
    p.SetItemChecked(p.Zones, 0, true);
    p.SetItemChecked(p.Zones, 7, true);
    p.SetItemChecked(p.AZones, 1, true);
    // Bytes written behind the controls' backs are overwritten with their values.
    ConfigImage& w = m.ws.working;
    for (const auto& [id, offset] : AllSpins()) w.SetRaw(offset, "zz");
    w.SetRaw(5048, "zz");
    w.SetRaw(5121, "zz");
    p.ResetImage();
    i = 0;
    for (const auto& [id, offset] : AllSpins()) {
      const bool afterDelay = offset >= 5121;
      if (afterDelay && !c.afterDelays) {
        EXPECT_EQ(w.Raw(offset, 2), "") << offset;  // beyond a 5121-byte image
      } else {
        EXPECT_EQ(w.ReadHexPair(offset), static_cast<int>(10 + i)) << offset;
      }
      ++i;
    }
    EXPECT_EQ(At(5048, 2), "81");
    if (c.afterDelays) {
      EXPECT_EQ(At(5121, 2), "02");
    }
    EXPECT_EQ(p.Rele[5].value, 10 + 4 * 8 + 5);  // the controls keep their values
  }
}

TEST_F(PassesTest, ResetImageStoresTextsInTheVersionsLayout) {
  struct Case {
    int version;
    std::size_t objectId;
    std::string objectBytes;
    std::size_t phones;
    std::size_t width;
    std::size_t center;
  };
  const std::vector<Case> cases = {
      {10, 4732, "ABCD", 4612, 12, 4720},       {11, 4732, "ABCD", 4612, 12, 4720},
      {12, 4732, "ABCD", 4612, 12, 4720},       {13, 4732, "ABCD", 4612, 12, 4720},
      {14, 5171, "ABCDEFGHIJ", 4612, 12, 4720}, {15, 5171, "ABCDEFGHIJ", 5181, 16, 5325},
  };
  for (const auto& c : cases) {
    p.ObjectID.text = "ABCDEFGHIJ";
    p.AbonentNo[2].text = "8 916 12 34";
    p.AbonentNo[8].text = "+7 916 123 45 67";
    Version(c.version);
    SCOPED_TRACE(c.version);
    EXPECT_EQ(p.ObjectID.maxLength, c.version >= 14 ? 10 : 4);
    // The edit keeps the whole text, the field takes what it holds, as the
    // numbers do.
    EXPECT_EQ(p.ObjectID.text, "ABCDEFGHIJ");
    EXPECT_EQ(At(c.objectId, c.objectBytes.size()), c.objectBytes);
    EXPECT_EQ(At(4736, 8), Fill(8));
    EXPECT_EQ(At(c.phones + 2 * c.width, c.width), "8 916 12 34" + Fill(c.width - 11));
    EXPECT_EQ(At(c.phones + 8 * c.width, c.width), std::string("+7 916 123 45 67").substr(0, c.width));
    EXPECT_EQ(m.ws.abonents[8], "+7 916 123 45 67");
    EXPECT_EQ(At(c.phones, c.width), Fill(c.width));
    EXPECT_EQ(At(c.center, c.width), "+79168999100" + Fill(c.width - 12));
  }
}

}  // namespace
}  // namespace vemtaro
