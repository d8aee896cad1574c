// Saving and opening settings files through the main window: round trips of
// every version, files of another version, damaged trees and image sections,
// files that are refused whole, and the status texts and icons afterwards.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "files/tree_text.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

namespace L = layout;
using testing::MemoryFiles;
using testing::ScriptedDialogs;

constexpr const char* kLoaded = "Настройки загружены";
constexpr const char* kTree1Error = "Ошибка данных\rКод ошибки: 101\rЗагружены значения по умолчанию!";
constexpr const char* kTree2Error = "Ошибка данных\rКод ошибки: 102\rЗагружены значения по умолчанию!";
constexpr const char* kImageError = "Ошибка данных\rКод ошибки: 103\rЗагружены значения по умолчанию!";
constexpr const char* kDataError = "Значения не установлены!\rОшибка данных\rКод ошибки: 94";

std::string Text(const ConfigImage& image) { return image.Raw(0, image.size()); }

std::string TreeState(const Tree& tree) {
  std::ostringstream out;
  tree.ForEach(
      [&](const TreeNode& n) { out << n.level() << '|' << n.text << '|' << n.icon << '|' << n.expanded << '\n'; });
  return out.str();
}

void Put(std::ostringstream& out, const Edit& e) {
  out << e.name << '=' << e.text << '/' << e.maxLength << e.enabled << e.visible << '\n';
}
void Put(std::ostringstream& out, const Spin& s) { out << s.name << '=' << s.value << s.enabled << '\n'; }
void Put(std::ostringstream& out, const CheckGroup& g) {
  out << g.name << '=' << g.enabled;
  for (bool b : g.checked) out << b;
  out << '/';
  for (bool b : g.itemEnabled) out << b;
  out << '\n';
}

// Everything an open may change: state, images, trees, menus and page controls.
std::string Snapshot(const MainModel& m) {
  std::ostringstream out;
  out << "version=" << m.ws.FirmwareVersion << " checksum=" << m.ws.ChecksumEnabled << " keep=" << m.ws.KeepImage
      << " gauge=" << m.gaugeMax << " status=" << m.status << " N22=" << m.N22.checked << '\n';
  for (const auto& item : m.versionMenu) out << item.name << item.checked;
  out << "\nworking=" << Text(m.ws.working) << "\nincoming=" << Text(m.ws.incoming) << '\n';
  for (const auto& a : m.ws.abonents) out << "abonent=" << a << '\n';
  out << "tree1\n" << TreeState(m.Tree1) << "tree2\n" << TreeState(m.Tree2);
  const Pages& p = m.pages;
  for (const Edit* e : {&p.ObjectID, &p.PasswordEdit, &p.CenterPhone, &p.MasterKey}) Put(out, *e);
  for (const auto& e : p.AbonentNo) Put(out, e);
  for (const auto& e : p.ID) Put(out, e);
  for (const auto* row : {&p.Input, &p.UInput, &p.AInput, &p.UAInput}) {
    for (const auto& s : *row) Put(out, s);
  }
  for (const auto& s : p.Rele) Put(out, s);
  Put(out, p.Vihod);
  Put(out, p.NumOfAttempts);
  for (const CheckGroup* g : {&p.StatusSMS, &p.StatusMessages, &p.Zones, &p.AZones}) Put(out, *g);
  out << "Ohr=" << p.Ohr.index << p.Ohr.enabled << " OhrSMS=" << p.OhrSMS.checked << p.OhrSMS.enabled
      << " tabs=" << p.TimeAfterReactionEnabled << p.TabSheet3Enabled << '\n';
  for (const Label* l : {&p.Label1, &p.Label5, &p.Label7, &p.Label8, &p.RzGroupBox2}) out << l->caption << '\n';
  for (const auto& l : p.IdLabels) out << l.visible;
  return out.str();
}

// A started model under a version, with renamed nodes and edited values.
void Customise(MainModel& m, int version) {
  m.ApplyProfile(version);
  m.Tree1.top(0)->text = "Дверь";
  m.Tree1.top(0)->child(0)->text = "Открыта";
  m.Tree1.top(8)->text = "Питание";
  m.Tree1.top(14)->text = "Утро";
  m.Tree2.top(0)->text = "Термометр";
  m.Tree2.top(0)->child(1)->text = "В норме";
  m.Tree2.top(m.Tree2.topCount() - 1)->text = "Последний";
  Pages& p = m.pages;
  p.SetSpinValue({SpinRow::Rele, 3}, 17);
  p.SetSpinValue({SpinRow::Input, 2}, 9);
  p.PasswordEdit.text = "1234";
  p.PasswordEditExit();
  p.ObjectID.text = "77";
  p.ObjectIDExit();
  p.AbonentNo[0].text = "+79161234567";
  p.AbonentNoExit(1);
  p.SetItemChecked(p.Zones, 0, true);
  ConfigImage& w = m.ws.working;
  w.SetRaw(0, "ZR");
  w.SetByte(16, '1');
  w.WriteText(25, 33, "Дверь открыта");
  w.SetRaw(L::kAlarm1Time, "07:30");
  w.SetByte(L::kAlarmFlags, '1');
  w.SetRaw(L::kThresholdArea, " 5.5");
}

std::size_t Length(int version) { return FindProfile(version)->imageLength; }

class OpenSave : public ::testing::Test {
 protected:
  void SetUp() override {
    source.Startup();
    target.Startup();
  }
  std::string FileOf(int version) {
    Customise(source, version);
    const auto bytes = source.SettingsFileBytes();
    EXPECT_TRUE(bytes);
    return bytes.value_or("");
  }
  ScriptedDialogs sourceDialogs;
  ScriptedDialogs dialogs;
  MainModel source{sourceDialogs};
  MainModel target{dialogs};
};

class RoundTrip : public OpenSave, public ::testing::WithParamInterface<int> {};

TEST_P(RoundTrip, SaveThenOpenRestoresEverything) {
  const int v = GetParam();
  const std::string file = FileOf(v);
  ASSERT_EQ(file.substr(0, 4), "V" + std::to_string(v) + "*");
  target.Tree1.top(3)->expanded = true;
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(target.ws.FirmwareVersion, v);
  EXPECT_FALSE(target.ws.KeepImage);
  EXPECT_EQ(target.ws.ChecksumEnabled, v != 10);
  EXPECT_EQ(target.ws.working.size(), Length(v));
  EXPECT_EQ(Text(target.ws.working), Text(source.ws.working));
  EXPECT_EQ(Text(target.ws.incoming), Text(source.ws.working));
  EXPECT_EQ(WriteTreeText(target.Tree1), WriteTreeText(source.Tree1));
  EXPECT_EQ(WriteTreeText(target.Tree2), WriteTreeText(source.Tree2));
  EXPECT_EQ(target.SettingsFileBytes(), file);
  EXPECT_EQ(target.status, kLoaded);
  for (const auto& item : target.versionMenu) EXPECT_EQ(item.checked, item.name == FindProfile(v)->menuName);
  // The pages show the file's values.
  EXPECT_EQ(target.pages.PasswordEdit.text, "1234");
  EXPECT_EQ(target.pages.ObjectID.text, "77");
  EXPECT_EQ(target.pages.Rele[2].value, 17);
  EXPECT_EQ(target.pages.Input[1].value, 9);
  EXPECT_EQ(target.pages.AbonentNo[0].text, "+79161234567");
  EXPECT_EQ(target.ws.abonents[0], "+79161234567");
  EXPECT_TRUE(target.pages.Zones.checked[0]);
  // Collapsed, with the alarm icons of the file's alarm digit '1'.
  target.Tree1.ForEach([](const TreeNode& n) { EXPECT_FALSE(n.expanded); });
  EXPECT_EQ(target.Tree1.top(14)->icon, icons::kAlarmOn);
  EXPECT_EQ(target.Tree1.top(15)->icon, icons::kAlarmOff);
  // The renamed nodes lead to the file's bytes when expanded.
  target.Expand(TreeKind::Control, *target.Tree1.top(0)->child(0)->child(0));
  target.Expand(TreeKind::Control, *target.Tree1.top(0)->child(0)->child(1));
  target.Expand(TreeKind::Control, *target.Tree1.top(0)->child(0)->child(2));
  target.Expand(TreeKind::Control, *target.Tree1.top(14)->child(0));
  target.Expand(TreeKind::Parametric, *target.Tree2.top(0)->child(0));
  EXPECT_EQ(target.Tree1.top(0)->child(0)->child(0)->child(1)->text, "2 - Выключить");
  EXPECT_EQ(target.Tree1.top(0)->child(0)->child(1)->child(0)->text, "+79161234567");
  EXPECT_EQ(target.Tree1.top(0)->child(0)->child(2)->child(0)->text, "Дверь открыта");
  EXPECT_EQ(target.Tree1.top(14)->child(0)->text, "07:30");
  EXPECT_EQ(target.Tree2.top(0)->child(0)->child(0)->text, "5.5");
  EXPECT_TRUE(dialogs.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip, ::testing::Range(10, 16),
                         [](const auto& info) { return std::string(1, 'v').append(std::to_string(info.param)); });

TEST_F(OpenSave, Version12FileUnderVersion15) {
  const std::string file = FileOf(12);
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  EXPECT_EQ(target.ws.FirmwareVersion, 12);
  EXPECT_EQ(target.ws.working.size(), 5121u);
  EXPECT_EQ(target.ws.incoming.size(), 5121u);
  EXPECT_EQ(Text(target.ws.working), Text(source.ws.working));
  ASSERT_EQ(target.Tree2.topCount(), 8u);
  for (std::size_t c = 0; c < 8; ++c) EXPECT_EQ(target.Tree2.top(c)->icon, icons::kSensor);
  EXPECT_TRUE(target.versionMenu[2].checked);
  EXPECT_FALSE(target.versionMenu[5].checked);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(OpenSave, Version15FileUnderVersion10) {
  const std::string file = FileOf(15);
  target.ApplyProfile(10);
  ASSERT_EQ(target.ws.working.size(), 5121u);
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  EXPECT_EQ(target.ws.working.size(), 5484u);
  EXPECT_EQ(target.ws.incoming.size(), 5484u);
  EXPECT_EQ(Text(target.ws.working), Text(source.ws.working));
  ASSERT_EQ(target.Tree2.topCount(), 16u);
  for (std::size_t c = 0; c < 16; ++c) {
    EXPECT_EQ(target.Tree2.top(c)->icon, c < 8 ? icons::kSensor : icons::kAnalog) << c;
  }
  EXPECT_TRUE(target.ws.ChecksumEnabled);
}

TEST_F(OpenSave, UnknownVersionAppliesNoProfile) {
  std::string file = FileOf(15);
  file.replace(0, 4, "V9*");
  target.ApplyProfile(10);
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  EXPECT_EQ(target.ws.FirmwareVersion, 9);
  EXPECT_EQ(target.ws.working.size(), 5121u);  // the current lengths
  EXPECT_EQ(target.ws.incoming.size(), 5121u);
  EXPECT_FALSE(target.ws.ChecksumEnabled);  // still version 10's
  for (const auto& item : target.versionMenu) EXPECT_EQ(item.checked, item.name == "v110");
  EXPECT_EQ(Text(target.ws.working), Text(source.ws.working).substr(0, 5121));
  // Below version 12 every channel is a sensor.
  for (std::size_t c = 0; c < target.Tree2.topCount(); ++c) EXPECT_EQ(target.Tree2.top(c)->icon, icons::kSensor);
  EXPECT_EQ(target.status, kLoaded);
}

std::string ReplaceTrees(const std::string& file, const std::string& tree1, const std::string& tree2) {
  const auto parsed = ParseSettingsFile(file);
  return *WriteSettingsFile(parsed.data->version, tree1, tree2, *parsed.data->image);
}

std::string DefaultTreeText(int which, int version) {
  ConfigImage scratch(L::kLongImageLength);
  Tree t;
  if (which == 1) {
    BuildTree1(t, scratch);
  } else {
    BuildTree2(t, scratch, version);
  }
  return WriteTreeText(t);
}

TEST_F(OpenSave, DamagedTreeTextsFallBackToTheirDefaults) {
  struct Case {
    const char* name;
    bool bad1;
    bool bad2;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {{"tree 1", true, false, {kTree1Error}},
                                   {"tree 2", false, true, {kTree2Error}},
                                   {"both", true, true, {kTree1Error, kTree2Error}}};
  const std::string file = FileOf(12);
  const std::string t1 = WriteTreeText(source.Tree1);
  const std::string t2 = WriteTreeText(source.Tree2);
  // A line three levels below a top-level line.
  const std::string bad1 = t1.substr(0, t1.find("\r\n") + 2) + "\t\t\tЛишний\r\n" + t1.substr(t1.find("\r\n") + 2);
  const std::string bad2 = "\t\tСначала глубоко\r\n\t\t\t\tглубже\r\n" + t2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Clear();
    target.ApplyProfile(15);
    ASSERT_TRUE(target.OpenSettingsBytes(ReplaceTrees(file, c.bad1 ? bad1 : t1, c.bad2 ? bad2 : t2)));
    EXPECT_EQ(dialogs.Texts(), c.messages);
    for (const auto& shown : dialogs.shown) EXPECT_TRUE(shown.error);
    EXPECT_EQ(WriteTreeText(target.Tree1), c.bad1 ? DefaultTreeText(1, 12) : t1);
    // The default parametric tree is built for the file's version.
    EXPECT_EQ(WriteTreeText(target.Tree2), c.bad2 ? DefaultTreeText(2, 12) : t2);
    EXPECT_EQ(target.Tree2.topCount(), 8u);
    // The open goes on: the image is the file's.
    EXPECT_EQ(target.ws.FirmwareVersion, 12);
    EXPECT_EQ(Text(target.ws.working), Text(source.ws.working));
    EXPECT_EQ(target.status, kLoaded);
  }
}

TEST_F(OpenSave, UnreadableImageLengthResetsTheImage) {
  const std::string file = FileOf(15);
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  const std::string stale = Text(target.ws.incoming);
  ASSERT_EQ(stale, Text(source.ws.working));

  // The same file with the image length "abcde".
  const auto parsed = ParseSettingsFile(file);
  std::string damaged = file;
  damaged.replace(parsed.data->imageLengthOffset, 5, "abcde");
  target.Tree2.top(0)->text = "Переименован";
  ASSERT_TRUE(target.OpenSettingsBytes(damaged));
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kImageError});
  EXPECT_TRUE(dialogs.shown[0].error);
  // The defaults of ResetImage, not the stale incoming image.
  const ConfigImage& w = target.ws.working;
  EXPECT_NE(Text(w), stale);
  EXPECT_EQ(w.Raw(L::kPassword, 8), std::string(8, '*'));
  EXPECT_EQ(w.Raw(L::kAlarm1Time, 10), "00:0000:00");
  EXPECT_EQ(w.Byte(L::kAlarmFlags), std::uint8_t{'3'});
  EXPECT_EQ(w.Byte(L::kGuardMode), std::uint8_t{'1'});
  EXPECT_EQ(w.Byte(L::kNumOfAttempts), std::uint8_t{5});
  // The page values are stored again; the reaction blocks are left as they were.
  EXPECT_EQ(w.Raw(L::kReleDurations + 4, 2), "11");
  EXPECT_EQ(w.Raw(0, 2), "ZR");
  EXPECT_EQ(target.pages.PasswordEdit.text, "");
  // The incoming image keeps the last one read; the trees are the file's.
  EXPECT_EQ(Text(target.ws.incoming), stale);
  EXPECT_EQ(WriteTreeText(target.Tree2), WriteTreeText(source.Tree2));
  EXPECT_EQ(target.Tree1.top(14)->icon, icons::kAlarmOn);
  EXPECT_EQ(target.Tree1.top(15)->icon, icons::kAlarmOn);
  EXPECT_EQ(target.status, kLoaded);
}

TEST_F(OpenSave, UnreadableImageLengthGivesTheGuardEntryTheDefaultShape) {
  // A file saved with guard mode forbidden: its guard entry has the Touch
  // Memory shape, but after code 103 the defaults allow guard mode.
  source.pages.SetOhrIndex(1);
  std::string file = *source.SettingsFileBytes();
  file.replace(ParseSettingsFile(file).data->imageLengthOffset, 5, "abcde");
  target.pages.SetOhrIndex(1);
  ASSERT_TRUE(target.OpenSettingsBytes(file));
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kImageError});
  EXPECT_EQ(target.pages.Ohr.index, 0);
  EXPECT_TRUE(target.pages.Zones.enabled);
  EXPECT_EQ(target.ws.working.Byte(L::kGuardMode), std::uint8_t{'1'});
  ASSERT_EQ(target.Tree1.top(L::kGuardSource)->childCount(), 2u);
  EXPECT_EQ(target.Tree1.top(L::kGuardSource)->child(1)->text, "Снятие");
  EXPECT_EQ(target.Tree1.top(L::kGuardSource)->icon, icons::kGuard);
}

class RefusedFile : public OpenSave {
 protected:
  void SetUp() override {
    OpenSave::SetUp();
    file = FileOf(15);
    // The target holds a configuration of its own, not the defaults.
    ASSERT_TRUE(target.OpenSettingsBytes(
        *WriteSettingsFile(13, WriteTreeText(source.Tree1), DefaultTreeText(2, 13), source.ws.working.bytes())));
    target.pages.PasswordEdit.text = "987";
    target.pages.PasswordEditExit();
    target.Tree1.top(2)->expanded = true;
    target.status = "прежний текст";
    dialogs.Clear();
    before = Snapshot(target);
  }
  std::string file;
  std::string before;
};

TEST_F(RefusedFile, DamagedFilesChangeNothing) {
  const auto parsed = ParseSettingsFile(file);
  ASSERT_TRUE(parsed.data);
  const SettingsFileData& d = *parsed.data;
  std::string v12 = FileOf(12);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"marker only", "V"},
      {"no version end", "V15"},
      {"garbage", "\x01\x02garbage\xFF"},
      {"no marker", "X" + file.substr(1)},
      {"version not a number", "Vxx" + file.substr(3)},
      {"tree length not a number", file.substr(0, 4) + "1x345" + file.substr(9)},
      {"second tree length not a number", file.substr(0, d.tree2Offset - 5) + "abcde" + file.substr(d.tree2Offset)},
      {"cut in tree 1", file.substr(0, d.tree1Offset + 100)},
      {"cut in tree 2", file.substr(0, d.tree2Offset + 100)},
      {"cut in the image length", file.substr(0, d.imageLengthOffset + 3)},
      {"cut in the image", file.substr(0, d.imageOffset + 5000)},
      {"version 12 file cut in the image", v12.substr(0, v12.size() - 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(target.OpenSettingsBytes(c.bytes, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(Snapshot(target), before);
  }
}

TEST_F(RefusedFile, ImageWithABadHexPairChangesNothing) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const auto parsed = ParseSettingsFile(file);
  const std::size_t image = parsed.data->imageOffset;
  const std::string v12 = FileOf(12);
  const std::size_t image12 = ParseSettingsFile(v12).data->imageOffset;
  std::vector<Case> cases = {
      {"relay duration", file}, {"arming delay", file}, {"analogue zones", file}, {"version 12 input delay", v12}};
  cases[0].bytes[image + L::kReleDurations + 1] = 'G';
  cases[1].bytes[image + L::kArmingDelay] = ' ';
  cases[2].bytes[image + L::kAnalogZones] = 'x';
  cases[3].bytes[image12 + L::kInputDelays] = '*';
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Clear();
    std::string error = "untouched";
    EXPECT_FALSE(target.OpenSettingsBytes(c.bytes, &error));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kDataError});
    EXPECT_TRUE(dialogs.shown[0].error);
    EXPECT_TRUE(error.empty());  // already reported
    EXPECT_EQ(Snapshot(target), before);
  }
}

TEST_F(RefusedFile, OpenThroughTheFileStoreReportsTheFailure) {
  MemoryFiles files;
  files.files["C:\\Конфиги\\битый.dat"] = file.substr(0, 20);
  EXPECT_FALSE(target.OpenSettings("C:\\Конфиги\\битый.dat", files));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(dialogs.shown[0].text.rfind("Не удалось открыть файл настроек C:\\Конфиги\\битый.dat\r", 0), 0u);
  EXPECT_EQ(Snapshot(target), before);

  dialogs.Clear();
  EXPECT_FALSE(target.OpenSettings("C:\\нет такого.dat", files));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(Snapshot(target), before);

  // A cancelled dialog does nothing at all.
  dialogs.Clear();
  target.N7Click(files);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(Snapshot(target), before);
}

TEST_F(OpenSave, SaveAndOpenThroughTheDialogs) {
  MemoryFiles files;
  const std::string path = "C:\\Конфиги\\объект 1.dat";
  Customise(target, 14);
  const std::string expected = *target.SettingsFileBytes();
  dialogs.fileNames.push_back(path);
  target.N6Click(files);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(target.status, "Настройки сохранены в файл: " + path);
  ASSERT_EQ(files.files.count(path), 1u);
  EXPECT_EQ(files.files[path], expected);

  // A cancelled save dialog changes nothing.
  target.N6Click(files);
  EXPECT_EQ(files.files.size(), 1u);
  EXPECT_EQ(target.status, "Настройки сохранены в файл: " + path);

  sourceDialogs.fileNames.push_back(path);
  source.N7Click(files);
  EXPECT_TRUE(sourceDialogs.shown.empty());
  EXPECT_EQ(source.status, kLoaded);
  EXPECT_EQ(source.ws.FirmwareVersion, 14);
  EXPECT_EQ(*source.SettingsFileBytes(), expected);
}

TEST_F(OpenSave, FailedSaveShowsAnErrorAndKeepsTheStatus) {
  MemoryFiles files;
  files.failWrites = true;
  target.status = "прежний текст";
  EXPECT_FALSE(target.SaveSettings("D:\\только чтение.dat", files));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(dialogs.shown[0].text.rfind("Не удалось сохранить настройки в файл D:\\только чтение.dat", 0), 0u);
  EXPECT_EQ(target.status, "прежний текст");
  EXPECT_TRUE(files.files.empty());
}

TEST_F(OpenSave, SaveOnlyCollapsesTheTrees) {
  target.Tree1.top(0)->expanded = true;
  target.Tree2.top(0)->child(0)->expanded = true;
  const std::string image = Text(target.ws.working);
  ASSERT_TRUE(target.SettingsFileBytes());
  target.Tree1.ForEach([](const TreeNode& n) { EXPECT_FALSE(n.expanded); });
  target.Tree2.ForEach([](const TreeNode& n) { EXPECT_FALSE(n.expanded); });
  EXPECT_EQ(Text(target.ws.working), image);
}

// Icons after an open: structural nodes by kind, the guard shape by the
// image's guard byte, relay and slot items only when expanded.
TEST_F(OpenSave, IconsAfterOpen) {
  for (bool guard : {true, false}) {
    for (int v : {10, 12, 15}) {
      SCOPED_TRACE("v" + std::to_string(v) + (guard ? " guard" : " key"));
      Customise(source, v);
      if (!guard) source.pages.SetOhrIndex(1);
      ASSERT_EQ(source.Tree1.size(), guard ? 892u : 862u);
      ASSERT_EQ(source.ws.working.Byte(L::kGuardMode), std::uint8_t(guard ? '1' : '0'));
      ASSERT_TRUE(target.OpenSettingsBytes(*source.SettingsFileBytes()));
      EXPECT_EQ(target.Tree1.size(), guard ? 892u : 862u);
      EXPECT_EQ(target.pages.Ohr.index, guard ? 0 : 1);
      const TreeNode& g = *target.Tree1.top(13);
      EXPECT_EQ(g.icon, guard ? icons::kGuard : icons::kTouchKey);
      EXPECT_EQ(g.child(0)->icon, guard ? icons::kArm : icons::kTouch);
      if (guard) {
        EXPECT_EQ(g.child(1)->icon, icons::kDisarm);
      }
      std::vector<int> want;
      source.Tree1.ForEach([&](const TreeNode& n) { want.push_back(n.icon); });
      std::size_t i = 0;
      target.Tree1.ForEach([&](const TreeNode& n) {
        const bool item = n.level() == 3 && n.parent()->text != "SMS";
        const bool alarm = n.level() == 0 && n.index() >= 14;
        if (item) {
          EXPECT_EQ(n.icon, kNoIcon) << n.text;
        } else if (alarm) {
          EXPECT_EQ(n.icon, n.index() == 14 ? icons::kAlarmOn : icons::kAlarmOff);
        } else {
          EXPECT_EQ(n.icon, want[i]) << n.text;
        }
        ++i;
      });
      want.clear();
      source.Tree2.ForEach([&](const TreeNode& n) { want.push_back(n.icon); });
      i = 0;
      target.Tree2.ForEach([&](const TreeNode& n) {
        const bool item = n.level() == 3 && n.parent()->text != "SMS";
        EXPECT_EQ(n.icon, item ? kNoIcon : want[i]) << n.text;
        ++i;
      });
      // An expanded group gets its item icons.
      target.Expand(TreeKind::Control, *target.Tree1.top(0)->child(0)->child(0));
      EXPECT_EQ(target.Tree1.top(0)->child(0)->child(0)->child(0)->icon, icons::kRelayOn);
    }
  }
}

}  // namespace
}  // namespace vemtaro
