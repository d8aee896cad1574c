// The firmware version profiles: what each version item sets, how a switch
// treats the images with and without KeepImage, and the checksum menu item.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "listing/inspect.h"
#include "model/profiles.h"
#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

std::string Fill(std::size_t n) { return std::string(n, '*'); }

struct ProfileCase {
  int version;
  const char* item;
  std::size_t length;
  bool checksum;
  std::optional<int> gauge;  // nothing: left as it was
  int phoneWidth;
  int objectIdWidth;
  bool statusGroup;
  bool statusItem2;
  bool timeAfterReaction;
  bool tabSheet3;
  bool azones;
  bool ids9to16;
  bool oneSecond;
  std::size_t tree2Channels;
};

const std::vector<ProfileCase>& Profiles() {
  static const std::vector<ProfileCase> cases = {
      {10, "v110", 5121, false, std::nullopt, 12, 4, false, false, false, false, false, true, false, 16},
      {11, "v111", 5484, true, 5484, 12, 4, true, false, false, false, false, false, false, 16},
      {12, "v112", 5121, true, 5121, 12, 4, true, true, false, false, false, false, false, 8},
      {13, "v113", 5484, true, 5484, 12, 4, true, true, true, true, true, false, true, 16},
      {14, "v141", 5484, true, 5484, 12, 10, true, true, true, true, true, false, true, 16},
      {15, "v151", 5484, true, 5484, 16, 10, true, true, true, true, true, false, true, 16},
  };
  return cases;
}

struct Captions {
  const char* label7;
  const char* label8;
  const char* label1;
  const char* label5;
  const char* relays;
};
constexpr Captions kHalfSecond = {
    "Задержка реакции по аналоговым входам\n(1 ед. = 0.5 сек)",
    "Задержки аналоговых входов после реакции\n(1 ед. = 0,5 сек)",
    "Задержки реакции по контактным входам\n(1 ед. = 0,5 сек)",
    "Задержки контактных входов после реакции\n(1 ед. = 0,5 сек)",
    "Длительность включения реле (1 ед.=0.5 сек)",
};
constexpr Captions kOneSecond = {
    "Задержка реакции по аналоговым входам\n(1 ед. = 1 сек)",
    "Задержки аналоговых входов после реакции\n(1 ед. = 1 сек)",
    "Задержки реакции по контактным входам\n(1 ед. = 1 сек)",
    "Задержки контактных входов после реакции\n(1 ед. = 1 сек)",
    "Длительность включения реле (1 ед.=1 сек)",
};

// The click handler of a version item.
void Click(MainModel& m, int version) {
  const std::vector<std::function<void(MainModel&)>> clicks = {
      [](MainModel& x) { x.v110Click(); }, [](MainModel& x) { x.v111Click(); }, [](MainModel& x) { x.v112Click(); },
      [](MainModel& x) { x.v113Click(); }, [](MainModel& x) { x.v141Click(); }, [](MainModel& x) { x.v151Click(); },
  };
  clicks.at(static_cast<std::size_t>(version - 10))(m);
}

void ExpectOnlyChecked(const MainModel& m, const std::string& item) {
  int checked = 0;
  for (const auto& i : m.versionMenu) {
    if (i.checked) {
      ++checked;
      EXPECT_EQ(i.name, item);
    }
  }
  EXPECT_EQ(checked, 1);
}

void ExpectProfileState(const MainModel& m, const ProfileCase& c) {
  const Pages& p = m.pages;
  EXPECT_EQ(m.ws.FirmwareVersion, c.version);
  EXPECT_EQ(m.ws.working.size(), c.length);
  EXPECT_EQ(m.ws.incoming.size(), c.length);
  EXPECT_EQ(m.ws.ChecksumEnabled, c.checksum);
  EXPECT_EQ(m.N22.checked, c.checksum);
  EXPECT_EQ(p.CenterPhone.maxLength, c.phoneWidth);
  for (const auto& e : p.AbonentNo) EXPECT_EQ(e.maxLength, c.phoneWidth);
  EXPECT_EQ(p.StatusMessages.enabled, c.statusGroup);
  EXPECT_EQ(p.StatusMessages.itemEnabled[2], c.statusItem2);
  EXPECT_TRUE(p.StatusMessages.itemEnabled[0]);
  EXPECT_TRUE(p.StatusMessages.itemEnabled[1]);
  EXPECT_EQ(p.TimeAfterReactionEnabled, c.timeAfterReaction);
  EXPECT_EQ(p.TabSheet3Enabled, c.tabSheet3);
  EXPECT_EQ(p.AZones.enabled, c.azones);
  for (std::size_t k = 0; k < 16; ++k) EXPECT_EQ(p.ID[k].visible, k < 8 || c.ids9to16) << k;
  for (const auto& l : p.IdLabels) EXPECT_EQ(l.visible, c.ids9to16) << l.name;
  const Captions& captions = c.oneSecond ? kOneSecond : kHalfSecond;
  EXPECT_EQ(p.Label7.caption, captions.label7);
  EXPECT_EQ(p.Label8.caption, captions.label8);
  EXPECT_EQ(p.Label1.caption, captions.label1);
  EXPECT_EQ(p.Label5.caption, captions.label5);
  EXPECT_EQ(p.RzGroupBox2.caption, captions.relays);
  ExpectOnlyChecked(m, c.item);
}

class ProfilesTest : public ::testing::Test {
 protected:
  ProfilesTest() : m(dialogs) { m.Startup(); }
  void Switch(int version, bool keepImage) {
    m.ws.KeepImage = keepImage;
    Click(m, version);
  }
  std::string At(std::size_t offset, std::size_t length) const { return m.ws.working.Raw(offset, length); }

  testing::ScriptedDialogs dialogs;
  MainModel m;
};

TEST(ProfileTable, MatchesTheVersions) {
  ASSERT_EQ(kProfiles.size(), Profiles().size());
  for (const auto& c : Profiles()) {
    const VersionProfile* profile = FindProfile(c.version);
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->imageLength, c.length);
    EXPECT_EQ(profile->checksum, c.checksum);
    EXPECT_EQ(profile->gauge, c.gauge);
    EXPECT_EQ(profile->phoneWidth, c.phoneWidth);
    EXPECT_EQ(profile->objectIdWidth, c.objectIdWidth);
    EXPECT_EQ(profile->menuName, std::string(c.item));
  }
  EXPECT_EQ(FindProfile(9), nullptr);
  EXPECT_EQ(FindProfile(16), nullptr);
}

TEST(ProfileSwitch, EachVersionItemAppliesItsProfile) {
  for (const bool keep : {false, true}) {
    for (const auto& c : Profiles()) {
      SCOPED_TRACE(std::to_string(c.version) + (keep ? " keeping the image" : ""));
      testing::ScriptedDialogs dialogs;
      MainModel m(dialogs);
      m.Startup();
      m.ws.KeepImage = keep;
      Click(m, c.version);
      ExpectProfileState(m, c);
      EXPECT_EQ(m.gaugeMax, c.gauge.value_or(5484));
      EXPECT_EQ(m.pages.ObjectID.maxLength, c.objectIdWidth);
      if (!keep) {
        EXPECT_EQ(m.Tree2.topCount(), c.tree2Channels);
        EXPECT_EQ(m.Tree2.size(), c.tree2Channels * 93);
        EXPECT_EQ(m.Tree1.size(), 892u);
      } else {
        EXPECT_EQ(m.Tree2.topCount(), 16u);  // the trees are kept
      }
      EXPECT_TRUE(dialogs.shown.empty());
    }
  }
}

TEST_F(ProfilesTest, EverySequenceOfSwitchesEndsInTheLastProfile) {
  const std::vector<int> sequence = {10, 15, 12, 11, 13, 10, 14, 12, 12, 15, 11, 10, 13};
  int step = 0;
  for (const int v : sequence) {
    const bool keep = (step++ % 3) == 1;
    Switch(v, keep);
    SCOPED_TRACE(std::to_string(v) + (keep ? " kept" : ""));
    ExpectProfileState(m, Profiles().at(static_cast<std::size_t>(v - 10)));
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ProfilesTest, Version10LeavesTheGaugeAsItWas) {
  Switch(12, false);
  EXPECT_EQ(m.gaugeMax, 5121);
  Switch(10, false);
  EXPECT_EQ(m.gaugeMax, 5121);
  Switch(13, true);
  EXPECT_EQ(m.gaugeMax, 5484);
  Switch(10, true);
  EXPECT_EQ(m.gaugeMax, 5484);
}

TEST_F(ProfilesTest, KeepingTheImageOnlyResizesIt) {
  Switch(12, false);
  for (std::size_t i = 0; i < 5121; ++i) {
    m.ws.working.SetByte(i, static_cast<std::uint8_t>('A' + i % 23));
    m.ws.incoming.SetByte(i, static_cast<std::uint8_t>('a' + i % 19));
  }
  const Bytes working = m.ws.working.bytes();
  const Bytes incoming = m.ws.incoming.bytes();

  Switch(13, true);
  for (const ConfigImage* image : {&m.ws.working, &m.ws.incoming}) {
    const Bytes& before = image == &m.ws.working ? working : incoming;
    ASSERT_EQ(image->size(), 5484u);
    EXPECT_EQ(Bytes(image->bytes().begin(), image->bytes().begin() + 5121), before);
    EXPECT_EQ(Bytes(image->bytes().begin() + 5121, image->bytes().end()), Bytes(5484 - 5121, 0));
  }
  Switch(12, true);
  EXPECT_EQ(m.ws.working.bytes(), working);
  EXPECT_EQ(m.ws.incoming.bytes(), incoming);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ProfilesTest, KeepingTheImageKeepsGuardModeAndTrees) {
  m.pages.SetOhrIndex(1);
  m.Tree1.top(0)->text = "Дверь";
  m.ws.working.SetRaw(0, "ZR");
  Switch(14, true);
  EXPECT_EQ(m.pages.Ohr.index, 1);
  EXPECT_EQ(m.Tree1.top(0)->text, "Дверь");
  EXPECT_EQ(m.Tree1.top(13)->text, "КЛЮЧ Touch Memory");
  EXPECT_EQ(At(0, 2), "ZR");
  EXPECT_EQ(At(5051, 1), "0");
}

TEST_F(ProfilesTest, ChoosingTheCurrentVersionStillResetsEverything) {
  testing::ScriptedDialogs freshDialogs;
  MainModel fresh(freshDialogs);
  fresh.Startup();

  m.pages.SetOhrIndex(1);
  m.Tree1.top(0)->text = "Дверь";
  m.Tree2.top(0)->child(0)->child(0)->text = "99";
  m.ws.working.SetRaw(0, "ZR");
  m.ws.working.SetRaw(1652 + 16, "123");
  m.ws.working.SetRaw(5077, "07:30");
  m.ws.working.SetRaw(5119, "0");
  Switch(15, false);
  EXPECT_EQ(m.pages.Ohr.index, 0);
  EXPECT_TRUE(m.pages.Zones.enabled);
  EXPECT_TRUE(m.pages.AZones.enabled);
  EXPECT_EQ(m.Tree1.top(0)->text, "Вход 1");
  EXPECT_EQ(m.Tree1.top(13)->text, "ОХРАНА ");
  EXPECT_EQ(m.Tree1.size(), 892u);
  EXPECT_EQ(m.Tree2.top(0)->child(0)->child(0)->text, "21");
  EXPECT_EQ(m.ws.working.bytes(), fresh.ws.working.bytes());
  ExpectOnlyChecked(m, "v151");
}

// What the user guide says of a version chosen in the menu: the values the
// page fields show stay (object identifier, subscriber numbers, input delays,
// relay durations, arming delay, zones); everything else and both trees go
// back to their defaults.
TEST_F(ProfilesTest, AVersionItemKeepsWhatThePageFieldsShow) {
  Pages& p = m.pages;
  p.ObjectID.text = "OBJ-17";
  p.ObjectIDExit();
  p.AbonentNo[0].text = "+79161234567";
  p.AbonentNoExit(1);
  p.SetSpinValue({SpinRow::Input, 1}, 40);
  p.SetSpinValue({SpinRow::Rele, 3}, 20);
  p.SetSpinValue({SpinRow::Vihod, 1}, 7);
  p.SetItemChecked(p.Zones, 2, true);
  p.PasswordEdit.text = "secret";
  p.PasswordEditExit();
  p.ChooseOperator(6);
  p.ID[0].text = "0123456789ABCDEF";
  p.IDExit(1);
  p.SetItemChecked(p.StatusSMS, 1, true);
  m.ws.working.SetRaw(0, "ZR");
  const std::string kept = WriteSettingsFile(15, "", "", m.ws.working.bytes()).value_or("");
  Switch(15, false);
  const Inspection before = InspectSettingsFile(*ParseSettingsFile(kept).data);
  const Inspection after =
      InspectSettingsFile(*ParseSettingsFile(WriteSettingsFile(15, "", "", m.ws.working.bytes()).value_or("")).data);
  std::vector<std::string> stayed;
  std::vector<std::string> reset;
  testing::ScriptedDialogs freshDialogs;
  MainModel fresh(freshDialogs);
  fresh.Startup();
  const Inspection defaults = InspectSettingsFile(
      *ParseSettingsFile(WriteSettingsFile(15, "", "", fresh.ws.working.bytes()).value_or("")).data);
  for (std::size_t i = 0; i < before.settings.size(); ++i) {
    if (before.settings[i].value == defaults.settings[i].value) continue;  // never changed
    (after.settings[i].value == before.settings[i].value ? stayed : reset).push_back(before.settings[i].name);
  }
  EXPECT_EQ(stayed, (std::vector<std::string>{"ObjectID", "AbonentNo1", "Input1", "Rele3", "Vihod", "Zones"}));
  EXPECT_EQ(reset, (std::vector<std::string>{"PasswordEdit", "CenterPhone", "StatusSMS", "ID1"}));
  EXPECT_EQ(At(0, 2), "NN");  // the reactions of both trees
}

TEST_F(ProfilesTest, Version15StoresTheObjectIdentifierEvenWhenKeepingTheImage) {
  Switch(14, false);
  m.pages.ObjectID.text = "ABCDEFGHIJ";  // typed, not yet left
  EXPECT_EQ(At(5171, 10), Fill(10));
  Switch(14, true);
  EXPECT_EQ(At(5171, 10), Fill(10));
  Switch(15, true);
  EXPECT_EQ(At(5171, 10), "ABCDEFGHIJ");

  // A text from version 13 fills the whole field of version 15: nothing of
  // what the field held before stays behind it.
  Switch(13, false);
  m.pages.ObjectID.text = "WXYZ";
  m.ws.working.SetRaw(5171, "0123456789");
  Switch(15, true);
  EXPECT_EQ(At(5171, 10), "WXYZ******");
  EXPECT_EQ(At(4732, 4), "ABCD");  // stored by the version-13 reset, not again
}

TEST_F(ProfilesTest, TextsLongerThanANarrowerLimitStay) {
  m.pages.AbonentNo[0].text = "+7 916 123 45 67";
  m.pages.CenterPhone.text = "+7 916 000 00 00";
  Switch(14, true);
  EXPECT_EQ(m.pages.AbonentNo[0].maxLength, 12);
  EXPECT_EQ(m.pages.AbonentNo[0].text, "+7 916 123 45 67");
  EXPECT_EQ(m.pages.CenterPhone.text, "+7 916 000 00 00");
}

TEST_F(ProfilesTest, ChecksumItemTogglesOnlyTheChecksum) {
  for (const int v : {10, 12, 15}) {
    Switch(v, false);
    const bool before = m.ws.ChecksumEnabled;
    const Bytes image = m.ws.working.bytes();
    m.N22Click();
    EXPECT_EQ(m.ws.ChecksumEnabled, !before);
    EXPECT_EQ(m.N22.checked, !before);
    EXPECT_EQ(m.ws.FirmwareVersion, v);
    EXPECT_EQ(m.ws.working.bytes(), image);
    ExpectOnlyChecked(m, Profiles().at(static_cast<std::size_t>(v - 10)).item);
    m.N22Click();
    EXPECT_EQ(m.ws.ChecksumEnabled, before);
    EXPECT_EQ(m.N22.checked, before);
    // The next switch sets the profile's value again.
    m.N22Click();
    Switch(v, true);
    EXPECT_EQ(m.ws.ChecksumEnabled, before);
    EXPECT_EQ(m.N22.checked, before);
  }
}

}  // namespace
}  // namespace vemtaro
