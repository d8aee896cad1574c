// "Сравнить с файлом…" and "Сравнить с контроллером" driven by hand: the
// window "Сравнение конфигураций" with the differences under their pages and
// trees, a difference checked with the mouse and the space bar and taken with
// "Перенести в рабочую конфигурацию", the controller's configuration read over
// the link into the comparison only, and a write whose read-back differs.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "compare_window.h"
#include "desk.h"
#include "editor/comparison.h"
#include "editor/settings_edit.h"
#include "marquee_label.h"
#include "model/layout.h"

namespace vemtaro::app {
namespace {

namespace L = layout;
constexpr int kTransferMs = 180000;

// The rows of the window: "group" for a group, "  name | working | other"
// (with "[ ]" before a row that can be taken) for a difference.
std::vector<std::string> Listed(const QTreeWidget* list) {
  std::vector<std::string> out;
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    const QTreeWidgetItem* group = list->topLevelItem(g);
    out.push_back(group->text(0).toStdString());
    for (int k = 0; k < group->childCount(); ++k) {
      const QTreeWidgetItem* item = group->child(k);
      const bool box = (item->flags() & Qt::ItemIsUserCheckable) != 0;
      out.push_back(std::string(box ? "  [ ] " : "  ") + item->text(0).toStdString() + " | " +
                    item->text(1).toStdString() + " | " + item->text(2).toStdString());
    }
  }
  return out;
}

QTreeWidgetItem* Item(const QTreeWidget* list, const QString& name) {
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    for (int k = 0; k < list->topLevelItem(g)->childCount(); ++k) {
      if (list->topLevelItem(g)->child(k)->text(0) == name) return list->topLevelItem(g)->child(k);
    }
  }
  return nullptr;
}

// A settings file whose settings are changed by name.
std::string FileWith(const std::vector<SettingAssignment>& settings) {
  testing::ScriptedDialogs shown;
  EditDialogs dialogs(shown);
  MainModel m(dialogs);
  m.Startup();
  const BatchResult r = SetSettings(m, dialogs, settings);
  EXPECT_TRUE(r.ok) << r.failure.message;
  return *m.SettingsFileBytes();
}

struct CompareDesk : Desk {
  CompareWindow* Window() { return window.Compare; }

  // A difference is checked as a hand does it: a click on its row, then the
  // space bar.
  void Check(const QString& name) {
    QTreeWidget* list = Window()->Differences;
    QTreeWidgetItem* item = Item(list, name);
    ASSERT_NE(item, nullptr) << name.toStdString();
    list->scrollToItem(item);
    // On the name, right of its check box.
    const int x = list->header()->sectionViewportPosition(0) + list->columnWidth(0) * 2 / 3;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(x, list->visualItemRect(item).center().y()));
    ASSERT_EQ(list->currentItem(), item);
    QTest::keyClick(list, Qt::Key_Space);
    ASSERT_EQ(item->checkState(0), Qt::Checked) << name.toStdString();
  }
  void Click(QPushButton* button) {
    ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  }
};

TEST(CompareWindowTest, AFileIsComparedAndACheckedDifferenceTaken) {
  CompareDesk d;
  d.files.files["/work/other.dat"] = FileWith({{"ObjectID", "OBJ-2"},
                                               {"Rele3", "42"},
                                               {"Вход 1/Замыкание/relays", "ZNNNNNNNNNNNNNNN"},
                                               {"ID2", "0123456789ABCDEF"},
                                               {"Zones", "[0 1 0 0 0 0 0 0]"}});
  const Bytes before = d.model().ws.working.bytes();
  ASSERT_FALSE(d.model().Modified());
  EXPECT_EQ(d.window.CompareFile->text(), "Сравнить с &файлом…");
  d.dialogs.fileNames.push_back("/work/other.dat");
  d.Choose(d.window.N5, d.window.CompareFile);
  ASSERT_NE(d.Window(), nullptr);
  ASSERT_TRUE(d.Window()->isVisible());
  EXPECT_TRUE(d.Window()->isModal());
  EXPECT_EQ(d.Window()->windowTitle(), "Сравнение конфигураций");
  EXPECT_EQ(d.Window()->Heading->text(), "Сравнение рабочей конфигурации с файлом /work/other.dat");
  QTreeWidget* list = d.Window()->Differences;
  EXPECT_EQ(list->headerItem()->text(0), "Настройка");
  EXPECT_EQ(list->headerItem()->text(1), "Рабочая конфигурация");
  EXPECT_EQ(list->headerItem()->text(2), "Файл");
  const std::vector<std::string> listed = {
      "Общие установки",
      "  [ ] ObjectID |  | OBJ-2",
      "Задержки входов и реле",
      "  [ ] Rele3 | 0 | 42",
      "Контрольные датчики",
      "  [ ] Вход 1/Замыкание/relays | NNNNNNNNNNNNNNNN | ZNNNNNNNNNNNNNNN",
      "Параметрические датчики",
      "  [ ] ID2 |  | 0123456789ABCDEF",
      "Режим охраны",
      "  [ ] Zones | [0 0 0 0 0 0 0 0] | [0 1 0 0 0 0 0 0]",
  };
  EXPECT_EQ(Listed(list), listed);
  EXPECT_FALSE(d.Window()->Empty->isVisible());
  EXPECT_FALSE(d.Window()->TakeButton->isEnabled());
  // Comparing changed nothing.
  EXPECT_EQ(d.model().ws.working.bytes(), before);
  EXPECT_FALSE(d.model().Modified());

  // The relay of input 1 and the number of relay 3 are taken.
  d.Check("Вход 1/Замыкание/relays");
  d.Check("Rele3");
  d.Click(d.Window()->TakeButton);
  EXPECT_TRUE(d.dialogs.shown.empty()) << d.dialogs.shown[0].text;
  Bytes expected = before;
  const std::string relays = "ZNNNNNNNNNNNNNNN";
  std::copy(relays.begin(), relays.end(), expected.begin() + L::SourceBlock(0, 0) + L::kBlockRelays);
  expected[L::kReleDurations + 4] = '2';
  expected[L::kReleDurations + 5] = 'A';
  EXPECT_EQ(d.model().ws.working.bytes(), expected);
  EXPECT_TRUE(d.model().Modified());
  // The page shows the taken value at once.
  auto* rele3 = d.window.findChild<QSpinBox*>("Rele3");
  ASSERT_NE(rele3, nullptr);
  EXPECT_EQ(rele3->value(), 42);
  // The taken rows are gone, the others stay unchecked.
  EXPECT_EQ(Listed(list), (std::vector<std::string>{listed[0], listed[1], listed[6], listed[7], listed[8], listed[9]}));
  EXPECT_FALSE(d.Window()->TakeButton->isEnabled());

  // "Закрыть" closes the window; the main window takes input again.
  d.Click(d.Window()->CloseButton);
  EXPECT_FALSE(d.Window()->isVisible());
  EXPECT_TRUE(d.window.InputEnabled());

  // A file holding the working configuration has no differences.
  d.dialogs.fileNames.push_back("/work/same.dat");
  d.files.files["/work/same.dat"] = *d.model().SettingsFileBytes();
  d.Choose(d.window.N5, d.window.CompareFile);
  ASSERT_TRUE(d.Window()->isVisible());
  EXPECT_TRUE(d.Window()->Empty->isVisible());
  EXPECT_EQ(d.Window()->Empty->text(), "Различий нет");
  EXPECT_FALSE(d.Window()->Differences->isVisible());
  QTest::keyClick(d.Window(), Qt::Key_Escape);
  EXPECT_FALSE(d.Window()->isVisible());
}

TEST(CompareWindowTest, ARefusedValueIsToldAndAFileThatCannotBeReadIsNotCompared) {
  CompareDesk d;
  std::string other = FileWith({{"AbonentNo3", "+79165"}});
  // A number no hand could type, in the file all the same.
  const std::size_t at = other.size() - 5484 + 5181;
  other.replace(at, 4, "12A4");
  d.files.files["/work/other.dat"] = other;
  d.files.files["/work/broken.dat"] = "15\r\n";
  const Bytes before = d.model().ws.working.bytes();

  d.dialogs.fileNames.push_back("/work/broken.dat");
  d.Choose(d.window.N5, d.window.CompareFile);
  ASSERT_EQ(d.dialogs.shown.size(), 1u);
  EXPECT_TRUE(d.dialogs.shown[0].error);
  EXPECT_EQ(d.dialogs.shown[0].text.rfind("Не удалось открыть файл настроек /work/broken.dat\r", 0), 0u)
      << d.dialogs.shown[0].text;
  EXPECT_TRUE(d.Window() == nullptr || !d.Window()->isVisible());
  d.dialogs.Clear();

  d.dialogs.fileNames.push_back("/work/other.dat");
  d.Choose(d.window.N5, d.window.CompareFile);
  ASSERT_TRUE(d.Window()->isVisible());
  d.Check("AbonentNo1");
  d.Check("AbonentNo3");
  d.Click(d.Window()->TakeButton);
  ASSERT_EQ(d.dialogs.shown.size(), 1u);
  EXPECT_TRUE(d.dialogs.shown[0].error);
  EXPECT_EQ(d.dialogs.shown[0].text.rfind("Не перенесено в рабочую конфигурацию:\rAbonentNo1 = 12A4: ", 0), 0u)
      << d.dialogs.shown[0].text;
  Bytes expected = before;
  const std::string number = "+79165**********";
  std::copy(number.begin(), number.end(), expected.begin() + 5213);
  EXPECT_EQ(d.model().ws.working.bytes(), expected);
  EXPECT_EQ(Listed(d.Window()->Differences),
            (std::vector<std::string>{"Общие установки", "  [ ] AbonentNo1 |  | 12A4"}));
}

TEST(CompareWindowTest, TheControllerIsComparedWithoutChangingTheWorkingConfiguration) {
  CompareDesk d;
  ASSERT_TRUE(d.Connect());
  // The controller holds a configuration of its own.
  ConfigImage held(d.model().ws.working.bytes());
  held.WriteText(L::kObjectIdLong, L::kObjectIdLongLength, "SIM-7");
  Bytes heldBytes = held.bytes();
  heldBytes.back() = ImageChecksum(ConfigImage(heldBytes));
  d.window.adapter().simulator()->controller().SetImage(heldBytes);
  const Bytes before = d.model().ws.working.bytes();
  ASSERT_FALSE(d.model().Modified());
  d.window.adapter().simulator()->ClearReceived();

  EXPECT_EQ(d.window.CompareController->text(), "Сра&внить с контроллером");
  d.Choose(d.window.N13, d.window.CompareController);
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Чтение конфигурации контроллера для сравнения ...");
  EXPECT_FALSE(d.window.InputEnabled());
  ASSERT_TRUE(port::RunEventsUntil([&] { return d.Window() != nullptr && d.Window()->isVisible(); }, kTransferMs));
  EXPECT_EQ(d.window.adapter().simulator()->ReceivedText(), "LOAD\n");
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Конфигурация контроллера прочитана для сравнения");
  EXPECT_TRUE(d.dialogs.shown.empty());
  // The working configuration and its pages are as they were.
  EXPECT_EQ(d.model().ws.working.bytes(), before);
  EXPECT_FALSE(d.model().Modified());
  EXPECT_EQ(d.window.findChild<QLineEdit*>("ObjectID")->text(), "");

  EXPECT_EQ(d.Window()->Heading->text(), "Сравнение рабочей конфигурации с конфигурацией контроллера");
  EXPECT_EQ(d.Window()->Differences->headerItem()->text(2), "Контроллер");
  EXPECT_EQ(Listed(d.Window()->Differences), (std::vector<std::string>{"Общие установки", "  [ ] ObjectID |  | SIM-7",
                                                                       "Прочее", "  checksum | differs | matches"}));
  EXPECT_FALSE(d.Window()->Empty->isVisible());
  d.Check("ObjectID");
  d.Click(d.Window()->TakeButton);
  Bytes expected = before;
  const std::string object = "SIM-7*****";
  std::copy(object.begin(), object.end(), expected.begin() + L::kObjectIdLong);
  EXPECT_EQ(d.model().ws.working.bytes(), expected);
  EXPECT_TRUE(d.model().Modified());
  EXPECT_EQ(d.window.findChild<QLineEdit*>("ObjectID")->text(), "SIM-7");
  EXPECT_EQ(Listed(d.Window()->Differences), (std::vector<std::string>{"Прочее", "  checksum | differs | matches"}));
  // The checksum state alone is a note: nothing else differs.
  EXPECT_TRUE(d.Window()->Empty->isVisible());
  EXPECT_TRUE(d.Window()->Differences->isVisible());
  d.Click(d.Window()->CloseButton);
  EXPECT_TRUE(d.dialogs.shown.empty());
}

TEST(CompareWindowTest, AReadBackThatDiffersIsShownInTheWindow) {
  CompareDesk d;
  ASSERT_TRUE(d.Connect());
  d.window.link().backups = nullptr;  // the write and its read-back alone
  sim::ControllerSim& controller = d.window.adapter().simulator()->controller();
  // Once the write is under way, the controller's memory changes behind it.
  bool changed = false;
  QTimer spoil;
  QObject::connect(&spoil, &QTimer::timeout, [&] {
    if (changed || d.window.link().Phase() != ControllerLink::TransferPhase::Write ||
        d.window.link().TransferCount < 1000) {
      return;
    }
    Bytes held = controller.image();
    held[L::SourceBlock(2, 1) + L::kBlockRelays] = 'Z';
    controller.SetImage(held);
    changed = true;
  });
  spoil.start(5);
  d.Choose(d.window.N13, d.window.N15);
  ASSERT_TRUE(port::RunEventsUntil([&] { return d.Window() != nullptr && d.Window()->isVisible(); }, kTransferMs));
  EXPECT_TRUE(changed);
  ASSERT_EQ(d.dialogs.shown.size(), 1u);
  EXPECT_EQ(d.dialogs.shown[0].text.rfind("Конфигурация в контроллере не совпадает с переданной!\r", 0), 0u);
  EXPECT_EQ(d.Window()->Heading->text(), "Сравнение переданной конфигурации с прочитанной из контроллера после записи");
  EXPECT_EQ(d.Window()->Differences->headerItem()->text(2), "Прочитано после записи");
  // The simulated controller sends its checksum over what it holds.
  EXPECT_EQ(Listed(d.Window()->Differences),
            (std::vector<std::string>{"Контрольные датчики",
                                      "  [ ] Вход 3/Размыкание/relays | NNNNNNNNNNNNNNNN | ZNNNNNNNNNNNNNNN"}));
  d.Click(d.Window()->CloseButton);
}

}  // namespace
}  // namespace vemtaro::app
