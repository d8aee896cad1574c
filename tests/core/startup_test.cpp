// The main window from its creation through the start-up sequence: the fresh
// image, the version-15 profile and the state of the pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/cp1251.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

std::string Fill(std::size_t n) { return std::string(n, '*'); }
std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() : m(dialogs) { m.Startup(); }
  std::string At(std::size_t offset, std::size_t length) const { return m.ws.working.Raw(offset, length); }

  testing::ScriptedDialogs dialogs;
  MainModel m;
};

TEST(MainWindowCreation, DesignState) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  EXPECT_EQ(m.ws.FirmwareVersion, 15);
  EXPECT_TRUE(m.ws.ChecksumEnabled);
  EXPECT_FALSE(m.ws.KeepImage);
  EXPECT_EQ(m.ws.working.bytes(), Bytes(5484, 0));
  EXPECT_EQ(m.ws.incoming.bytes(), Bytes(5484, 0));
  EXPECT_FALSE(m.N13.enabled);
  EXPECT_TRUE(m.N22.checked);
  EXPECT_EQ(m.selectedPort, 1);
  // The version menu's design state checks "v. 10".
  const std::vector<std::pair<std::string, std::string>> items = {
      {"v110", "v. 10"}, {"v111", "v. 11"}, {"v112", "v. 12"}, {"v113", "v. 13"}, {"v141", "v. 14"}, {"v151", "v. 15"},
  };
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(m.versionMenu[i].name, items[i].first);
    EXPECT_EQ(m.versionMenu[i].caption, items[i].second);
    EXPECT_EQ(m.versionMenu[i].checked, i == 0);
  }
  EXPECT_EQ(m.Tree1.size(), 0u);
  EXPECT_EQ(std::string(main_texts::kCaption), "Vemtaro 9.01.6");
}

TEST_F(StartupTest, FreshImageFromOffset4612) {
  struct Row {
    std::size_t from;
    std::size_t to;  // inclusive
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {4612, 4735, std::string(124, '\0')},  // fields of older versions
      {4736, 4999, Fill(8 + 256)},
      {5000, 5031, Repeat("00", 16)},
      {5032, 5047, Fill(16)},
      {5048, 5049, "00"},
      {5050, 5050, std::string(1, '\x05')},
      {5051, 5051, "1"},
      {5052, 5058, "0000000"},
      {5059, 5076, Repeat("00", 9)},
      {5077, 5086, "00:0000:00"},
      {5087, 5118, std::string(32, 'N')},
      {5119, 5119, "3"},
      {5120, 5120, "0"},
      {5121, 5170, Repeat("00", 25)},
      {5171, 5180, Fill(10)},
      {5181, 5324, Fill(144)},
      {5325, 5340, "+79168999100" + Fill(4)},
      {5341, 5483, std::string(143, '\0')},
  };
  // The rows cover 4612..5483 without gap or overlap.
  std::size_t next = 4612;
  for (const auto& r : rows) {
    ASSERT_EQ(r.from, next);
    ASSERT_EQ(r.bytes.size(), r.to - r.from + 1) << r.from;
    next = r.to + 1;
    EXPECT_EQ(At(r.from, r.bytes.size()), r.bytes) << "offsets " << r.from << ".." << r.to;
  }
  EXPECT_EQ(next, 5484u);
  EXPECT_EQ(m.ws.working.size(), 5484u);
  EXPECT_EQ(m.ws.incoming.bytes(), Bytes(5484, 0));
}

TEST_F(StartupTest, ReactionAreaHoldsTheTreeDefaults) {
  // Every block: relays and phone slots 'N', end byte '*'.
  for (std::size_t b = 0; b < layout::kReactionBlockCount; ++b) {
    const std::size_t start = b * 59;
    EXPECT_EQ(At(start, 25), std::string(25, 'N')) << b;
    EXPECT_EQ(At(start + 58, 1), "*") << b;
  }
  struct Sms {
    std::size_t block;
    std::string text;
  };
  const std::vector<Sms> texts = {
      {0, "Вход 1 Замкнут"},
      {59, "Вход 1 Разомкнут"},
      {885, "Вход 8 Разомкнут"},
      {944, "Питание от сети ВОССТАНОВЛЕНО"},
      {1003, "Питание от сети ОТСУТСТВУЕТ"},
      {1062, "Кнопка 0 брелока НАЖАТА"},
      {1475, "Кнопка 3 брелока ОТПУЩЕНА"},
      {1534, "Принято под ОХРАНУ"},
      {1593, "Снято с ОХРАНЫ"},
      {1652, "Дат. 1 - БОЛЬШЕ ВЕРХНЕГО порога"},
      {1652 + 59, "Дат. 1 - НОРМА"},
      {1652 + 177 * 7 + 118, "Дат. 8 - МЕНЬШЕ НИЖНЕГО порога"},
      {1652 + 177 * 8, "АЦП 1 - БОЛЬШЕ ВЕРХНЕГО порога"},
      {1652 + 177 * 15 + 118, "АЦП 8 - МЕНЬШЕ НИЖНЕГО порога"},
  };
  for (const auto& s : texts) {
    const std::string coded = Utf8ToCp1251(s.text);
    EXPECT_EQ(At(s.block + 25, 33), coded + Fill(33 - coded.size())) << s.text;
  }
  EXPECT_EQ(At(25, 34), "\xC2\xF5\xEE\xE4 1 \xC7\xE0\xEC\xEA\xED\xF3\xF2" + Fill(20));  // 14 characters, then fill
  for (std::size_t c = 0; c < 16; ++c) {
    EXPECT_EQ(At(4484 + 8 * c, 8), "21  -2  ") << c;
  }
}

TEST_F(StartupTest, Version15ProfileIsApplied) {
  EXPECT_EQ(m.ws.FirmwareVersion, 15);
  EXPECT_FALSE(m.ws.KeepImage);
  EXPECT_TRUE(m.ws.ChecksumEnabled);
  EXPECT_TRUE(m.N22.checked);
  EXPECT_FALSE(m.N13.enabled);
  EXPECT_EQ(m.gaugeMax, 5484);
  EXPECT_EQ(m.ws.working.size(), 5484u);
  EXPECT_EQ(m.ws.incoming.size(), 5484u);
  for (const auto& item : m.versionMenu) EXPECT_EQ(item.checked, item.name == "v151") << item.name;
  const Pages& p = m.pages;
  EXPECT_EQ(p.Label7.caption, "Задержка реакции по аналоговым входам\n(1 ед. = 1 сек)");
  EXPECT_EQ(p.Label8.caption, "Задержки аналоговых входов после реакции\n(1 ед. = 1 сек)");
  EXPECT_EQ(p.Label1.caption, "Задержки реакции по контактным входам\n(1 ед. = 1 сек)");
  EXPECT_EQ(p.Label5.caption, "Задержки контактных входов после реакции\n(1 ед. = 1 сек)");
  EXPECT_EQ(p.RzGroupBox2.caption, "Длительность включения реле (1 ед.=1 сек)");
  EXPECT_TRUE(p.StatusMessages.enabled);
  EXPECT_TRUE(p.StatusMessages.itemEnabled[2]);
  EXPECT_TRUE(p.TimeAfterReactionEnabled);
  EXPECT_TRUE(p.TabSheet3Enabled);
  EXPECT_TRUE(p.AZones.enabled);
  for (std::size_t k = 8; k < 16; ++k) EXPECT_FALSE(p.ID[k].visible);
  for (const auto& l : p.IdLabels) EXPECT_FALSE(l.visible);
  EXPECT_EQ(p.ObjectID.maxLength, 10);
  EXPECT_EQ(p.CenterPhone.maxLength, 16);
  for (const auto& e : p.AbonentNo) EXPECT_EQ(e.maxLength, 16);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartupTest, PagesShowTheDefaults) {
  const Pages& p = m.pages;
  EXPECT_EQ(p.NumOfAttempts.value, 5);
  EXPECT_EQ(p.CenterPhone.text, "+79168999100");
  EXPECT_EQ(p.Ohr.index, 0);
  EXPECT_EQ(p.Ohr.items, (std::vector<std::string>{"Режим разрешен", "Режим запрещен"}));
  EXPECT_TRUE(p.OhrSMS.enabled);
  EXPECT_FALSE(p.OhrSMS.checked);
  EXPECT_TRUE(p.Zones.enabled);
  EXPECT_TRUE(p.Vihod.enabled);
  for (bool shown : p.PanelVisible) EXPECT_TRUE(shown);
  for (const auto* row : {&p.Input, &p.UInput, &p.AInput, &p.UAInput}) {
    for (const auto& s : *row) EXPECT_EQ(s.value, 0) << s.name;
  }
  for (const auto& s : p.Rele) EXPECT_EQ(s.value, 0) << s.name;
  EXPECT_EQ(p.Vihod.value, 0);
  EXPECT_EQ(p.ObjectID.text, "");
  EXPECT_EQ(p.PasswordEdit.text, "");
  EXPECT_EQ(p.MasterKey.text, "");
  for (const auto& e : p.AbonentNo) EXPECT_EQ(e.text, "");
  for (const auto& e : p.ID) EXPECT_EQ(e.text, "");
  for (const auto& a : m.ws.abonents) EXPECT_EQ(a, "");
  EXPECT_EQ(p.StatusSMS.checked, std::vector<bool>(4, false));
  EXPECT_EQ(p.StatusMessages.checked, std::vector<bool>(3, false));
  EXPECT_EQ(p.Zones.checked, std::vector<bool>(8, false));
  EXPECT_EQ(p.AZones.checked, std::vector<bool>(8, false));
}

TEST_F(StartupTest, TreesAreBuiltWithGuardModeAllowed) {
  EXPECT_EQ(m.Tree1.size(), 892u);
  EXPECT_EQ(m.Tree1.topCount(), 16u);
  EXPECT_EQ(m.Tree1.top(13)->text, "ОХРАНА ");
  EXPECT_EQ(m.Tree1.top(kAlarmSource1)->icon, icons::kAlarmOn);
  EXPECT_EQ(m.Tree1.top(kAlarmSource2)->icon, icons::kAlarmOn);
  EXPECT_EQ(m.Tree2.topCount(), 16u);
  EXPECT_EQ(m.Tree2.top(8)->text, "АЦП 1");
}

TEST_F(StartupTest, StartingTwiceGivesTheSameImage) {
  testing::ScriptedDialogs other;
  MainModel second(other);
  second.Startup();
  EXPECT_EQ(second.ws.working.bytes(), m.ws.working.bytes());
  EXPECT_EQ(second.ws.incoming.bytes(), m.ws.incoming.bytes());
}

}  // namespace
}  // namespace vemtaro
