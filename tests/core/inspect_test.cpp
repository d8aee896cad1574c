#include "listing/inspect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "files/settings_file.h"
#include "model/cp1251.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace L = layout;

InspectValue V(InspectValue::Value v) { return InspectValue{std::move(v), std::nullopt}; }
InspectValue Bad(std::size_t offset) { return InspectValue{std::string(), offset}; }

// The parsed file the model saves.
SettingsFileData FileOf(MainModel& m) {
  const auto bytes = m.SettingsFileBytes();
  EXPECT_TRUE(bytes);
  SettingsFileParse parsed = ParseSettingsFile(bytes ? *bytes : std::string());
  EXPECT_TRUE(parsed.data) << parsed.error.message;
  return parsed.data ? *parsed.data : SettingsFileData{};
}

std::map<std::string, InspectValue> SettingsByName(const Inspection& ins) {
  std::map<std::string, InspectValue> out;
  for (const auto& item : ins.settings) out.emplace(item.name, item.value);
  return out;
}

// A copy of a file with some image bytes replaced.
SettingsFileData WithBytes(SettingsFileData file, std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
  Bytes image = file.image.value_or(Bytes());
  for (const auto& [offset, byte] : changes) image.at(offset) = byte;
  file.image = std::move(image);
  return file;
}

class InspectFile : public ::testing::Test {
 protected:
  // The desktop program right after start-up and choosing a version.
  MainModel& Started(int version) {
    model_ = std::make_unique<MainModel>(dialogs_);
    model_->Startup();
    model_->ApplyProfile(version);
    return *model_;
  }
  testing::ScriptedDialogs dialogs_;
  std::unique_ptr<MainModel> model_;
};

// ---- Default files ----------------------------------------------------------

struct DefaultCase {
  int version;
  std::size_t channels;     // Tree2 channel nodes
  bool afterDelays;         // UInput, AInput, UAInput, AZones shown
  const char* lastChannel;  // name of the last channel node
};

class InspectDefaultFile : public InspectFile, public ::testing::WithParamInterface<DefaultCase> {};

TEST_P(InspectDefaultFile, DecodesTheDefaultsOfTheVersion) {
  const DefaultCase c = GetParam();
  const Inspection ins = InspectSettingsFile(FileOf(Started(c.version)));

  EXPECT_EQ(ins.firmware, c.version);
  EXPECT_TRUE(ins.hasImage);
  EXPECT_FALSE(ins.tree1Error);
  EXPECT_FALSE(ins.tree2Error);
  const auto s = SettingsByName(ins);
  for (const auto& item : ins.settings) EXPECT_TRUE(item.value.valid()) << item.name;
  EXPECT_EQ(s.at("ObjectID"), V(std::string()));
  EXPECT_EQ(s.at("PasswordEdit"), V(std::string()));
  EXPECT_EQ(s.at("AbonentNo9"), V(std::string()));
  EXPECT_EQ(s.at("CenterPhone"), V(std::string("+79168999100")));
  EXPECT_EQ(s.at("NumOfAttempts"), V(5));
  EXPECT_EQ(s.at("StatusSMS"), V(std::vector<bool>(4, false)));
  EXPECT_EQ(s.at("Rele16"), V(0));
  EXPECT_EQ(s.at("Vihod"), V(0));
  EXPECT_EQ(s.at("ID16"), V(std::string()));
  EXPECT_EQ(s.at("Zones"), V(std::vector<bool>(8, false)));
  EXPECT_EQ(s.at("Ohr"), V(true));
  EXPECT_EQ(s.at("OhrSMS"), V(false));
  // The status digit goes to the controller in every version.
  EXPECT_EQ(s.at("StatusMessages"), V(std::vector<bool>(3, false)));
  for (const char* name : {"UInput1", "AInput8", "UAInput8", "AZones"}) {
    EXPECT_EQ(s.count(name), c.afterDelays ? 1u : 0u) << name;
  }
  // ObjectID, PasswordEdit, 9 numbers, CenterPhone, NumOfAttempts, StatusSMS,
  // 8 inputs, 16 relays, Vihod, 16 identifiers, MasterKey, Zones, Ohr, OhrSMS;
  // StatusMessages; 24 delays and AZones.
  EXPECT_EQ(ins.settings.size(), 60u + (c.afterDelays ? 25u : 0u));

  ASSERT_EQ(ins.alarms.size(), 2u);
  for (std::size_t a = 0; a < 2; ++a) {
    EXPECT_EQ(ins.alarms[a].name, "Будильник " + std::to_string(a + 1));
    EXPECT_EQ(ins.alarms[a].time, V(std::string("00:00")));
    EXPECT_EQ(ins.alarms[a].on, V(true));
    EXPECT_EQ(ins.alarms[a].relays, V(std::string(16, 'N')));
  }

  ASSERT_EQ(ins.tree1.size(), 28u);
  EXPECT_EQ(ins.tree1[0].name, "Вход 1/Замыкание");
  EXPECT_EQ(ins.tree1[0].sms, V(std::string("Вход 1 Замкнут")));
  EXPECT_EQ(ins.tree1[17].name, "Сеть 220v /Пропадание");
  EXPECT_EQ(ins.tree1[17].block, 1003u);
  EXPECT_EQ(ins.tree1[27].name, "ОХРАНА /Снятие");
  EXPECT_EQ(ins.tree1[27].sms, V(std::string("Снято с ОХРАНЫ")));
  for (const auto& r : ins.tree1) {
    EXPECT_EQ(r.relays, V(std::string(16, 'N'))) << r.name;
    EXPECT_EQ(r.phones, V(std::string(9, 'N'))) << r.name;
    EXPECT_FALSE(r.max || r.min);
  }

  ASSERT_EQ(ins.tree2.size(), 3 * c.channels);
  EXPECT_EQ(ins.tree2[0].name, "Датчик 1/Выше MAX порога");
  EXPECT_EQ(ins.tree2[0].max, V(std::string("21")));
  EXPECT_EQ(ins.tree2[2].min, V(std::string("-2")));
  EXPECT_FALSE(ins.tree2[1].max || ins.tree2[1].min);
  EXPECT_EQ(ins.tree2[3 * c.channels - 2].name, std::string(c.lastChannel) + "/Норма");
  EXPECT_EQ(ins.tree2[3 * c.channels - 2].block, L::ChannelBlock(c.channels - 1, 1));
}

INSTANTIATE_TEST_SUITE_P(Versions, InspectDefaultFile,
                         ::testing::Values(DefaultCase{10, 16, false, "Датчик 16"},
                                           DefaultCase{11, 16, false, "Датчик 16"},
                                           DefaultCase{12, 8, false, "Датчик 8"}, DefaultCase{13, 16, true, "АЦП 8"},
                                           DefaultCase{15, 16, true, "АЦП 8"}),
                         [](const auto& info) {
                           return std::string(1, 'v').append(std::to_string(info.param.version));
                         });

// ---- The values the pages show ----------------------------------------------

// The value of a page control as it stands, under its control name.
InspectValue PageValue(const Pages& p, const std::string& name) {
  auto numbered = [&](const char* prefix) -> std::size_t {
    const std::string pre(prefix);
    if (name.rfind(pre, 0) != 0 || name.size() == pre.size()) return 0;
    for (std::size_t i = pre.size(); i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
    }
    return std::stoul(name.substr(pre.size()));
  };
  auto group = [](const CheckGroup& g) { return V(std::vector<bool>(g.checked.begin(), g.checked.end())); };
  if (name == "ObjectID") return V(p.ObjectID.text);
  if (name == "PasswordEdit") return V(p.PasswordEdit.text);
  if (name == "CenterPhone") return V(p.CenterPhone.text);
  if (name == "NumOfAttempts") return V(p.NumOfAttempts.value);
  if (name == "StatusSMS") return group(p.StatusSMS);
  if (name == "StatusMessages") return group(p.StatusMessages);
  if (name == "Vihod") return V(p.Vihod.value);
  if (name == "MasterKey") return V(p.MasterKey.text);
  if (name == "Zones") return group(p.Zones);
  if (name == "AZones") return group(p.AZones);
  if (name == "Ohr") return V(p.Ohr.index == 0);
  if (name == "OhrSMS") return V(p.OhrSMS.checked);
  if (auto k = numbered("AbonentNo")) return V(p.AbonentNo.at(k - 1).text);
  if (auto k = numbered("UAInput")) return V(p.UAInput.at(k - 1).value);
  if (auto k = numbered("UInput")) return V(p.UInput.at(k - 1).value);
  if (auto k = numbered("AInput")) return V(p.AInput.at(k - 1).value);
  if (auto k = numbered("Input")) return V(p.Input.at(k - 1).value);
  if (auto k = numbered("Rele")) return V(p.Rele.at(k - 1).value);
  if (auto k = numbered("ID")) return V(p.ID.at(k - 1).text);
  ADD_FAILURE() << "no control " << name;
  return Bad(0);
}

class InspectEditedFile : public InspectFile, public ::testing::WithParamInterface<int> {};

// Every setting is decoded as the pages show it after the file is opened, from
// the field of the file's version.
TEST_P(InspectEditedFile, SettingsMatchThePagesAfterOpening) {
  const int version = GetParam();
  MainModel& m = Started(version);
  Pages& p = m.pages;
  p.ObjectID.text = "0123456789";
  p.ObjectIDExit();
  p.PasswordEdit.text = "секрет";
  p.PasswordEditExit();
  p.AbonentNo[0].text = "+7 916 000";
  p.AbonentNoExit(1);
  p.AbonentNo[2].text = "+79161234567";
  p.AbonentNoExit(3);
  p.SetCenterPhoneText("+79262909090");
  p.SetSpinValue({SpinRow::NumOfAttempts, 1}, 42);
  p.SetItemChecked(p.StatusSMS, 3, true);
  p.SetItemChecked(p.StatusMessages, 1, true);
  p.SetSpinValue({SpinRow::Input, 5}, 200);
  p.SetSpinValue({SpinRow::UInput, 2}, 9);
  p.SetSpinValue({SpinRow::AInput, 8}, 255);
  p.SetSpinValue({SpinRow::UAInput, 1}, 1);
  p.SetSpinValue({SpinRow::Rele, 3}, 7);
  p.SetSpinValue({SpinRow::Vihod, 1}, 30);
  p.ID[2].text = "0123456789ABCDEF";
  p.IDExit(3);
  p.MasterKey.text = "FEDCBA9876543210";
  p.MasterKeyExit();
  p.SetItemChecked(p.Zones, 1, true);
  p.SetItemChecked(p.AZones, 7, true);
  p.SetOhrSmsChecked(true);
  const Inspection ins = InspectSettingsFile(FileOf(m));

  MainModel opened(dialogs_);
  opened.Startup();
  ASSERT_TRUE(opened.OpenSettingsBytes(*m.SettingsFileBytes()));
  ASSERT_TRUE(dialogs_.shown.empty()) << dialogs_.shown.front().text;
  for (const auto& item : ins.settings) {
    // Opening a file under versions 10 and 11 leaves the kinds of status
    // message as they were; the listing shows the digit that goes to the
    // controller.
    if (item.name == "StatusMessages" && !versions::ReadsStatusKinds(version)) continue;
    EXPECT_EQ(item.value, PageValue(opened.pages, item.name)) << item.name << " v" << version;
  }
  const auto s = SettingsByName(ins);
  EXPECT_EQ(s.at("ObjectID"), V(std::string(versions::LongObjectId(version) ? "0123456789" : "0123")));
  EXPECT_EQ(s.at("AbonentNo3"), V(std::string("+79161234567")));
  EXPECT_EQ(s.at("PasswordEdit"), V(std::string("секрет")));
  EXPECT_EQ(s.at("Rele3"), V(7));
  EXPECT_EQ(s.at("StatusMessages"), V(std::vector<bool>{false, true, false}));
  EXPECT_EQ(s.at("Zones"), V(std::vector<bool>{false, true, false, false, false, false, false, false}));
}

INSTANTIATE_TEST_SUITE_P(Versions, InspectEditedFile, ::testing::Values(10, 11, 12, 13, 14, 15),
                         [](const auto& info) { return std::string(1, 'v').append(std::to_string(info.param)); });

// The fields of numbers and of the object identifier follow the version.
TEST_F(InspectFile, NumbersAndObjectIdAreReadFromTheVersionsFields) {
  struct Case {
    int version;
    std::size_t objectId, objectIdLength, phone3, center, phoneLength;
  };
  for (const Case c : {Case{13, 4732, 4, 4612 + 24, 4720, 12}, Case{14, 5171, 10, 4612 + 24, 4720, 12},
                       Case{15, 5171, 10, 5181 + 32, 5325, 16}}) {
    SettingsFileData file = FileOf(Started(c.version));
    // Both field sets hold texts; only the version's own are read.
    ConfigImage image(*file.image);
    image.WriteText(4732, 4, "AAAA");
    image.WriteText(5171, 10, "BBBBBBBBBB");
    image.WriteText(4612 + 24, 12, "+111");
    image.WriteText(5181 + 32, 16, "+222");
    image.WriteText(4720, 12, "+333");
    image.WriteText(5325, 16, "+444");
    file.image = image.bytes();
    const auto s = SettingsByName(InspectSettingsFile(file));
    EXPECT_EQ(s.at("ObjectID"), V(image.ReadText(c.objectId, c.objectIdLength))) << c.version;
    EXPECT_EQ(s.at("AbonentNo3"), V(image.ReadText(c.phone3, c.phoneLength))) << c.version;
    EXPECT_EQ(s.at("CenterPhone"), V(image.ReadText(c.center, c.phoneLength))) << c.version;
  }
}

// ---- Damaged fields -----------------------------------------------------------

struct DamageCase {
  const char* what;
  int version;
  std::size_t offset;  // the byte that is damaged
  std::uint8_t byte;
  const char* key;       // flat key of the item that becomes invalid
  std::size_t reported;  // the offset it carries
};

class InspectDamagedField : public InspectFile, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(InspectDamagedField, GivesAnInvalidItemWithItsOffset) {
  const DamageCase c = GetParam();
  const SettingsFileData file = WithBytes(FileOf(Started(c.version)), {{c.offset, c.byte}});
  const Inspection ins = InspectSettingsFile(file);
  std::size_t invalid = 0;
  for (const FlatItem& item : FlattenInspection(ins)) {
    if (item.value.valid()) continue;
    ++invalid;
    EXPECT_EQ(item.key, c.key);
    EXPECT_EQ(item.value.invalidOffset, c.reported);
    EXPECT_EQ(ValueText(item.value), "invalid (offset " + std::to_string(c.reported) + ")");
  }
  EXPECT_EQ(invalid, 1u) << "only " << c.key << " is invalid";
}

INSTANTIATE_TEST_SUITE_P(Fields, InspectDamagedField,
                         ::testing::Values(DamageCase{"ReleHigh", 15, 5004, 'G', "Rele3", 5004},
                                           DamageCase{"ReleLow", 10, 5005, ' ', "Rele3", 5004},
                                           DamageCase{"Input", 12, 5060, 'x', "Input1", 5059},
                                           DamageCase{"Vihod", 14, 5075, '*', "Vihod", 5075},
                                           DamageCase{"UAInput", 13, 5170, 'Z', "UAInput8", 5169},
                                           DamageCase{"Zones", 11, 5049, 0, "Zones", 5048},
                                           DamageCase{"AZones", 15, 5121, 'q', "AZones", 5121},
                                           DamageCase{"StatusDigit", 12, 5057, ':', "StatusMessages", 5057},
                                           DamageCase{"CenterPhone", 15, 5327, 'A', "CenterPhone", 5327},
                                           DamageCase{"AbonentNo2", 13, 4624, 'x', "AbonentNo2", 4624},
                                           DamageCase{"AlarmRelay", 15, 5110, 'Y', "alarm2/relays", 5110},
                                           DamageCase{"Tree1Relay", 15, 59 + 3, 'z', "tree1@59/relays", 62},
                                           DamageCase{"Tree2Phone", 12, 1711 + 16 + 8, '0', "tree2@1711/phones", 1735}),
                         [](const auto& info) { return std::string(info.param.what); });

// Every status digit the program opens is shown with the kinds the pages show
// after opening it; a byte the program refuses is invalid for both.
TEST_F(InspectFile, StatusDigitsAreReadAsTheProgramReadsThem) {
  for (const int version : {12, 15}) {
    for (const char digit : std::string("0123456789:<;/A")) {
      SCOPED_TRACE(std::to_string(version) + " '" + digit + "'");
      const SettingsFileData file =
          WithBytes(FileOf(Started(version)), {{L::kStatusMessages, static_cast<std::uint8_t>(digit)}});
      const InspectValue shown = SettingsByName(InspectSettingsFile(file)).at("StatusMessages");
      MainModel opened(dialogs_);
      opened.Startup();
      const bool readable = digit >= '0' && digit <= '9';
      ASSERT_EQ(opened.OpenSettingsBytes(*WriteSettingsFile(version, file.tree1, file.tree2, *file.image)), readable);
      if (readable) {
        EXPECT_EQ(shown, PageValue(opened.pages, "StatusMessages"));
      } else {
        EXPECT_EQ(shown, Bad(L::kStatusMessages));
      }
      dialogs_.Clear();
    }
  }
}

TEST_F(InspectFile, AnInvalidAlarmDigitMakesBothAlarmsInvalid) {
  const SettingsFileData file = WithBytes(FileOf(Started(15)), {{L::kAlarmFlags, 'X'}});
  const Inspection ins = InspectSettingsFile(file);
  EXPECT_EQ(ins.alarms[0].on, Bad(5119));
  EXPECT_EQ(ins.alarms[1].on, Bad(5119));
}

TEST_F(InspectFile, UncheckedNumbersKeepTheirCharacters) {
  // Only CenterPhone and AbonentNo2 validate while an image is shown.
  SettingsFileData file = FileOf(Started(14));
  ConfigImage image(*file.image);
  image.WriteText(4612, 12, "abc");
  file.image = image.bytes();
  EXPECT_EQ(SettingsByName(InspectSettingsFile(file)).at("AbonentNo1"), V(std::string("abc")));
}

TEST_F(InspectFile, AFileWithoutAProfileReadsWhatItsImageHolds) {
  // Version 9 has no profile: the image is taken as it stands, and a field
  // beyond its end is invalid at the first missing byte.
  SettingsFileData file = FileOf(Started(10));
  file.version = 9;
  file.image->resize(5060);
  const Inspection ins = InspectSettingsFile(file);
  EXPECT_EQ(ins.checksum, ChecksumState::NotUsed);
  const auto s = SettingsByName(ins);
  EXPECT_EQ(s.at("NumOfAttempts"), V(5));
  EXPECT_EQ(s.at("Input1"), Bad(5060));  // the pair's second byte is missing
  EXPECT_EQ(s.at("Input2"), Bad(5061));
  EXPECT_EQ(s.at("OhrSMS"), Bad(5120));
  EXPECT_EQ(ins.alarms[0].time, Bad(5077));
  EXPECT_EQ(ins.tree2.size(), 48u);  // the 16 channels of the file's tree
}

TEST_F(InspectFile, AShortImageIsPaddedToTheProfileLength) {
  SettingsFileData file = FileOf(Started(15));
  file.image->resize(5000);
  const auto s = SettingsByName(InspectSettingsFile(file));
  EXPECT_EQ(s.at("Rele1"), Bad(5000));  // zeros are not hex digits
  EXPECT_EQ(s.at("NumOfAttempts"), V(0));
  EXPECT_EQ(s.at("PasswordEdit"), V(std::string()));  // still inside the file's image
  EXPECT_EQ(s.at("MasterKey"), V(std::string(16, '\0')));
}

TEST_F(InspectFile, AFileWithoutImageDescribesOnlyVersionAndTrees) {
  SettingsFileData file = FileOf(Started(13));
  file.image.reset();
  const Inspection ins = InspectSettingsFile(file);
  EXPECT_EQ(ins.firmware, 13);
  EXPECT_FALSE(ins.hasImage);
  EXPECT_TRUE(ins.settings.empty());
  EXPECT_TRUE(ins.alarms.empty());
  EXPECT_TRUE(ins.tree1.empty());
}

// ---- Checksum -------------------------------------------------------------------

TEST_F(InspectFile, ChecksumState) {
  struct Case {
    int version;
    bool store;  // the checksum written into the last byte
    ChecksumState expected;
  };
  for (const Case c : {Case{10, true, ChecksumState::NotUsed}, Case{11, true, ChecksumState::Matches},
                       Case{12, true, ChecksumState::Matches}, Case{12, false, ChecksumState::Differs},
                       Case{15, true, ChecksumState::Matches}, Case{15, false, ChecksumState::Differs}}) {
    SettingsFileData file = FileOf(Started(c.version));
    Bytes& image = *file.image;
    image.back() = static_cast<std::uint8_t>(ImageChecksum(image) + (c.store ? 0 : 1));
    EXPECT_EQ(InspectSettingsFile(file).checksum, c.expected) << c.version << " " << c.store;
  }
  EXPECT_STREQ(ChecksumStateText(ChecksumState::Matches), "matches");
  EXPECT_STREQ(ChecksumStateText(ChecksumState::Differs), "differs");
  EXPECT_STREQ(ChecksumStateText(ChecksumState::NotUsed), "not used");
}

// ---- Names from the trees --------------------------------------------------------

TEST_F(InspectFile, NamesComeFromTheFilesTrees) {
  MainModel& m = Started(15);
  m.Tree1.top(0)->text = "Дверь";
  m.Tree1.top(0)->child(1)->text = "Открыта";
  m.Tree1.top(14)->text = "Утро";
  m.Tree2.top(8)->text = "Котёл";
  m.Tree2.top(8)->child(2)->text = "Холодно";
  m.pages.SetOhrIndex(1);  // the Touch Memory shape: one event
  const Inspection ins = InspectSettingsFile(FileOf(m));

  ASSERT_EQ(ins.tree1.size(), 27u);
  EXPECT_EQ(ins.tree1[0].name, "Дверь/Замыкание");
  EXPECT_EQ(ins.tree1[1].name, "Дверь/Открыта");
  EXPECT_EQ(ins.tree1[26].name, "КЛЮЧ Touch Memory/КАСАНИЕ");
  EXPECT_EQ(ins.tree1[26].sms, V(std::string("Kасание ТМ")));
  EXPECT_EQ(ins.alarms[0].name, "Утро");
  EXPECT_EQ(ins.alarms[1].name, "Будильник 2");
  EXPECT_EQ(ins.tree2[26].name, "Котёл/Холодно");
  EXPECT_EQ(ins.tree2[26].block, L::ChannelBlock(8, 2));
  EXPECT_EQ(SettingsByName(ins).at("Ohr"), V(false));

  const auto flat = FlattenInspection(ins);
  const auto it = std::find_if(flat.begin(), flat.end(), [](const FlatItem& f) { return f.key == "tree2@3186/min"; });
  ASSERT_NE(it, flat.end());
  EXPECT_EQ(it->name, "Котёл/Холодно/min");
}

// A tree read from the file is what the desktop program shows: the reactions
// whose nodes it lacks are named by their place and counted; an unreadable
// tree gives way to the default tree, as opening the file does.
TEST_F(InspectFile, ShortTreesNameReactionsByPlaceUnreadableOnesTakeTheDefault) {
  SettingsFileData file = FileOf(Started(13));
  // Tree 1 holds two sources, the second without events; tree 2 cannot be read.
  file.tree1 = Utf8ToCp1251("Дверь\r\n\tОткрыта\r\nОкно\r\n");
  file.tree2 = Utf8ToCp1251("Котёл\r\n\t\t\tслишком глубоко\r\n");
  file.tree2Offset = 1000;
  const Inspection ins = InspectSettingsFile(file);
  EXPECT_FALSE(ins.tree1Error);
  ASSERT_TRUE(ins.tree2Error);
  EXPECT_EQ(ins.tree2Error->line, 2u);
  ASSERT_EQ(ins.tree1.size(), 28u);
  EXPECT_EQ(ins.tree1[0].name, "Дверь/Открыта");
  EXPECT_EQ(ins.tree1[1].name, "Дверь/[2]");
  EXPECT_EQ(ins.tree1[2].name, "Окно/[1]");
  EXPECT_EQ(ins.tree1[4].name, "[3]/[1]");
  EXPECT_EQ(ins.tree1[27].name, "[14]/[2]");
  EXPECT_EQ(ins.alarms[0].name, "[15]");
  // One event of the first source, two of the second, two of each of the 12
  // other sources, and the two alarm clocks.
  EXPECT_EQ(ins.tree1State.missing, 1u + 2u + 24u + 2u);
  EXPECT_EQ(ins.tree1State.nodes, 3u);
  EXPECT_EQ(TreeStateText(ins.tree1State), "short: 29 reactions have no node");
  // The unreadable tree gives way to the default tree of version 13.
  ASSERT_EQ(ins.tree2.size(), 48u);
  EXPECT_EQ(ins.tree2[0].name, "Датчик 1/Выше MAX порога");
  EXPECT_EQ(ins.tree2[47].name, "АЦП 8/Ниже MIN уровня");
  EXPECT_EQ(TreeStateText(ins.tree2State), "unreadable at line 2 (offset 1007): the default tree is used");
  EXPECT_FALSE(ins.tree2State.readWhole());
}

// The states of a tree text as the listing says them.
TEST(InspectText, TreeStates) {
  struct Case {
    std::string text;  // a tree text
    std::string state;
  };
  const std::vector<Case> cases = {
      {"", "empty"},
      {std::string("\0", 1), "empty; cut at a zero byte at offset 10, 0 bytes after it not read"},
      {std::string("A\r\n\0B\r\n\tC\r\n", 10),
       "short: 30 reactions have no node; cut at a zero byte at offset 13, "
       "6 bytes after it not read"},
  };
  for (const Case& c : cases) {
    SettingsFileData file;
    file.version = 15;
    file.tree1 = c.text;
    file.tree1Offset = 10;
    file.image = Bytes(5484, '0');
    const Inspection ins = InspectSettingsFile(file);
    EXPECT_EQ(TreeStateText(ins.tree1State), c.state) << c.text;
    EXPECT_EQ(ins.tree1State.readWhole(), c.text.find('\0') == std::string::npos);
  }
}

TEST_F(InspectFile, Tree2ShowsTheChannelsOfItsTree) {
  // A version-12 file whose tree still has 16 channels, and one with 20.
  SettingsFileData file = FileOf(Started(12));
  file.tree2 = WriteTreeText(Started(11).Tree2);
  EXPECT_EQ(InspectSettingsFile(file).tree2.size(), 48u);
  for (int i = 0; i < 4; ++i) file.tree2 += Utf8ToCp1251("Лишний\r\n");
  const Inspection ins = InspectSettingsFile(file);
  ASSERT_EQ(ins.tree2.size(), 48u);  // nodes beyond the 16th map to no bytes
  EXPECT_EQ(ins.tree2[47].name, "Датчик 16/Ниже MIN уровня");
}

// ---- Text and comparison ------------------------------------------------------

TEST(InspectText, ValueText) {
  EXPECT_EQ(ValueText(V(std::string("Вход 1"))), "Вход 1");
  EXPECT_EQ(ValueText(V(255)), "255");
  EXPECT_EQ(ValueText(V(true)), "yes");
  EXPECT_EQ(ValueText(V(false)), "no");
  EXPECT_EQ(ValueText(V(std::vector<bool>{true, false, true})), "[1 0 1]");
  EXPECT_EQ(ValueText(Bad(5004)), "invalid (offset 5004)");
}

TEST_F(InspectFile, FlatListStartsWithVersionAndChecksum) {
  const auto flat = FlattenInspection(InspectSettingsFile(FileOf(Started(12))));
  ASSERT_GE(flat.size(), 3u);
  EXPECT_EQ(flat[0].name, "firmware");
  EXPECT_EQ(flat[0].value, V(12));
  EXPECT_EQ(flat[1].name, "checksum");
  EXPECT_EQ(flat[2].name, "tree1");
  EXPECT_EQ(flat[2].value, V(std::string("whole")));
  EXPECT_EQ(flat[3].name, "tree2");
  EXPECT_EQ(flat[4].name, "ObjectID");
  // 60 settings, 6 alarm values, 28 + 24 reactions of 3 values, 8 thresholds * 2.
  EXPECT_EQ(flat.size(), 4u + 60u + 6u + 3u * 52u + 16u);
}

TEST_F(InspectFile, DiffListsEachDifferingItem) {
  const SettingsFileData base = FileOf(Started(15));
  const Inspection a = InspectSettingsFile(base);
  EXPECT_TRUE(DiffInspections(a, a).empty());

  // Rele1: 0 -> 9; relay 1 of input 3, opening: N -> Z.
  const SettingsFileData changed = WithBytes(base, {{5001, '9'}, {L::SourceBlock(2, 1), 'Z'}});
  auto d = DiffInspections(a, InspectSettingsFile(changed));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].name, "Rele1");
  EXPECT_EQ(d[0].a, "0");
  EXPECT_EQ(d[0].b, "9");
  EXPECT_EQ(d[1].name, "Вход 3/Размыкание/relays");
  EXPECT_EQ(d[1].b, "Z" + std::string(15, 'N'));

  // A renamed node shows both names.
  SettingsFileData renamed = base;
  Tree tree;
  ASSERT_FALSE(ReadTreeText(base.tree2, tree));
  tree.top(0)->child(1)->text = "Нормально";
  renamed.tree2 = WriteTreeText(tree);
  d = DiffInspections(a, InspectSettingsFile(renamed));
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].name, "Датчик 1/Норма/relays [B: Датчик 1/Нормально/relays]");
  EXPECT_EQ(d[0].a, d[0].b);
}

// Files whose settings and reactions read the same but whose bytes for the
// controller differ do not compare equal: one line names the bytes. The
// checksum state, which a write stores anew, is a note and no difference.
TEST_F(InspectFile, DiffNamesImageBytesThatNoSettingShows) {
  const SettingsFileData base = FileOf(Started(15));
  const SettingsFileData off12 = WithBytes(FileOf(Started(12)), {{L::kSmsArming, '0'}});
  const std::size_t pw = L::kPassword;
  // The file with the checksum that a write stores, and with another one.
  const auto summed = [](SettingsFileData file) {
    file.image->back() = ImageChecksum(*file.image);
    return file;
  };
  const auto unsummed = [](SettingsFileData file) {
    file.image->back() = static_cast<std::uint8_t>(ImageChecksum(*file.image) + 1);
    return file;
  };
  SettingsFileData blockEnds = base;
  for (std::size_t s = 0; s < 5; ++s) {
    for (std::size_t e = 0; e < 2; ++e) (*blockEnds.image)[L::SourceBlock(s, e) + 58] = '#';
  }
  struct Case {
    std::string what;
    SettingsFileData a;
    SettingsFileData b;
    std::string line;  // "name: a -> b"; empty: no difference
  };
  const std::vector<Case> cases = {
      {"a '*' inside a password, both read \"AB\"", WithBytes(base, {{pw, 'A'}, {pw + 1, '*'}, {pw + 2, 'B'}}),
       WithBytes(base, {{pw, 'A'}, {pw + 1, 'B'}}), "image bytes 4737, 4738: 2A 42 -> 42 2A"},
      {"a status digit 8, read as 0", WithBytes(base, {{L::kStatusMessages, '8'}}), base, "image bytes 5057: 38 -> 30"},
      {"ten block ends", base, blockEnds,
       "image bytes 58, 117, 176, 235, 294, 353, 412, 471 and 2 more: 2A 2A 2A 2A 2A 2A 2A 2A -> 23 23 23 23 23 23 23 "
       "23"},
      {"the checksum byte, stored anew by a write", unsummed(base), summed(base), "note checksum: differs -> matches"},
      {"the checksum byte and a '*' in the password",
       unsummed(WithBytes(base, {{pw, 'A'}, {pw + 1, '*'}, {pw + 2, 'B'}})),
       summed(WithBytes(base, {{pw, 'A'}, {pw + 1, 'B'}})),
       "note checksum: differs -> matches|image bytes 4737, 4738: 2A 42 -> 42 2A"},
      {"the checksum and a setting", summed(WithBytes(base, {{5001, '9'}})), unsummed(base),
       "note checksum: matches -> differs|Rele1: 9 -> 0"},
      {"under version 12 the checksum takes the byte of OhrSMS", off12, summed(off12),
       "note checksum: differs -> matches|note OhrSMS: no -> yes"},
      {"equal files", base, base, ""},
  };
  for (const auto& c : cases) {
    const std::vector<InspectDifference> d = DiffInspections(InspectSettingsFile(c.a), InspectSettingsFile(c.b));
    std::string lines;
    for (const auto& x : d) {
      if (!lines.empty()) lines += '|';
      if (x.note) lines += "note ";
      lines += x.name;
      lines += ": " + x.a + " -> " + x.b;
    }
    EXPECT_EQ(lines, c.line) << c.what;
    // Only lines that are no note count.
    bool counted = false;
    std::istringstream parts(c.line);
    for (std::string part; std::getline(parts, part, '|');) counted = counted || part.rfind("note ", 0) != 0;
    EXPECT_EQ(HasDifference(d), counted) << c.what;
  }
}

TEST_F(InspectFile, DiffOfTwoVersionsShowsAbsentItems) {
  const Inspection v12 = InspectSettingsFile(FileOf(Started(12)));
  const Inspection v13 = InspectSettingsFile(FileOf(Started(13)));
  const auto d = DiffInspections(v12, v13);
  std::map<std::string, InspectDifference> byName;
  for (const auto& x : d) byName.emplace(x.name, x);
  EXPECT_EQ(byName.at("firmware").a, "12");
  EXPECT_EQ(byName.at("firmware").b, "13");
  EXPECT_EQ(byName.at("UInput1").a, "(absent)");
  EXPECT_EQ(byName.at("UInput1").b, "0");
  EXPECT_EQ(byName.at("АЦП 1/Норма/sms").a, "(absent)");
  EXPECT_EQ(byName.at("АЦП 1/Норма/sms").b, "АЦП 1 - НОРМА");
  EXPECT_EQ(byName.count("Rele1"), 0u);
}

}  // namespace
}  // namespace vemtaro
