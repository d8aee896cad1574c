// The desktop program's main window driven offscreen: menus, trees and their
// commands, settings files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "alarm_time_window.h"
#include "files/settings_file.h"
#include "main_window.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "tree_view.h"

namespace vemtaro::app {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  testing::ScriptedDialogs dialogs;
  testing::MemoryFiles files;
  TForm1 window{dialogs, files};

  void SetUp() override { window.FormShow(); }

  std::uint8_t Byte(std::size_t offset) { return *window.model().ws.working.Byte(offset); }

  // Expands a node as a user would and returns its item.
  QTreeWidgetItem* Expand(ReactionTreeView* view, const TreeNode* node) {
    QTreeWidgetItem* item = view->ItemOf(node);
    view->expandItem(item);
    return item;
  }

  // Chooses the menu item of that name when the popup opens.
  void Choose(ReactionTreeView* view, const QString& itemName) {
    view->menuChooser = [itemName](QMenu& menu, const QPoint&) -> QAction* {
      for (QAction* a : menu.actions()) {
        if (a->objectName() == itemName) return a;
      }
      return nullptr;
    };
  }

  void RightClick(ReactionTreeView* view, const TreeNode* node, Qt::KeyboardModifiers mods = {}) {
    QTreeWidgetItem* item = view->ItemOf(node);
    view->scrollToItem(item);
    const QPoint pos = view->visualItemRect(item).center();
    QMouseEvent press(QEvent::MouseButtonPress, pos, view->viewport()->mapToGlobal(pos), Qt::RightButton,
                      Qt::RightButton, mods);
    QApplication::sendEvent(view->viewport(), &press);
  }
};

TEST_F(MainWindowTest, StartsInTheVersion15State) {
  EXPECT_EQ(window.windowTitle(), "Vemtaro 9.01.6");
  EXPECT_TRUE(window.versionItems[5]->isChecked());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(window.versionItems[i]->isChecked());
  EXPECT_TRUE(window.N22->isChecked());
  EXPECT_FALSE(window.N13->isEnabled());
  EXPECT_EQ(window.RzPageControl1->count(), 5);
  EXPECT_EQ(window.RzPageControl1->tabText(0), "Общие\nустановки");
  EXPECT_EQ(window.RzPageControl1->tabText(4), "Режим\nохраны");
  EXPECT_EQ(window.Tree1->topLevelItemCount(), 16);
  EXPECT_EQ(window.Tree2->topLevelItemCount(), 16);
  EXPECT_EQ(window.Tree1->topLevelItem(13)->text(0), "ОХРАНА ");
}

// Every tab is as tall as its two-line caption needs, with the style's room
// above and below it: a tab that is not selected, drawn lower, keeps the
// lower line whole.
TEST_F(MainWindowTest, TabsHoldTheirTwoLineCaptions) {
  window.show();
  QTabBar* bar = window.RzPageControl1->tabBar();
  const int room = bar->style()->pixelMetric(QStyle::PM_TabBarTabVSpace, nullptr, bar);
  for (int i = 0; i < bar->count(); ++i) {
    SCOPED_TRACE(bar->tabText(i).toStdString());
    const QSize caption = bar->fontMetrics().size(Qt::TextShowMnemonic, bar->tabText(i));
    EXPECT_GE(caption.height(), 2 * bar->fontMetrics().height());
    EXPECT_GE(bar->tabRect(i).height(), caption.height() + room);
    EXPECT_GE(bar->tabRect(i).width(), caption.width());
  }
}

TEST_F(MainWindowTest, EachVersionItemChecksItselfAloneAndSetsCaptions) {
  for (int i = 0; i < 6; ++i) {
    window.versionItems[i]->trigger();
    for (int j = 0; j < 6; ++j) EXPECT_EQ(window.versionItems[j]->isChecked(), i == j) << i << j;
    EXPECT_EQ(window.N22->isChecked(), i != 0);
    const std::string caption = window.model().pages.RzGroupBox2.caption;
    EXPECT_EQ(caption,
              i < 3 ? "Длительность включения реле (1 ед.=0.5 сек)" : "Длительность включения реле (1 ед.=1 сек)");
    EXPECT_EQ(window.Tree2->topLevelItemCount(), i < 2 ? 16 : (i == 2 ? 8 : 16));
  }
}

TEST_F(MainWindowTest, GuardModeForbiddenReshapesTree1) {
  window.model().pages.SetOhrIndex(1);
  window.RefreshAll();
  EXPECT_EQ(window.Tree1->topLevelItem(13)->text(0), "КЛЮЧ Touch Memory");
  EXPECT_EQ(window.Tree1->topLevelItem(13)->childCount(), 1);
  window.model().pages.SetOhrIndex(0);
  window.RefreshAll();
  EXPECT_EQ(window.Tree1->topLevelItem(13)->text(0), "ОХРАНА");
  EXPECT_EQ(window.Tree1->topLevelItem(13)->childCount(), 2);
}

TEST_F(MainWindowTest, RelayCommandOnSeveralSelectedNodesWritesEachByte) {
  Tree& t = window.model().Tree1;
  TreeNode* relaysA = t.top(0)->child(1)->child(0);  // input 1, second event
  TreeNode* relaysB = t.top(2)->child(0)->child(0);  // input 3, first event
  Expand(window.Tree1, t.top(0));
  Expand(window.Tree1, t.top(0)->child(1));
  Expand(window.Tree1, relaysA);
  Expand(window.Tree1, t.top(2));
  Expand(window.Tree1, t.top(2)->child(0));
  Expand(window.Tree1, relaysB);
  window.Tree1->clearSelection();
  window.Tree1->ItemOf(relaysA->child(11))->setSelected(true);
  window.Tree1->ItemOf(relaysB->child(0))->setSelected(true);
  window.Tree1->ItemOf(t.top(1))->setSelected(true);  // not a relay node
  Choose(window.Tree1, "N2");
  RightClick(window.Tree1, relaysB->child(0));
  EXPECT_EQ(Byte(70), 'Z');
  EXPECT_EQ(Byte(236), 'Z');
  EXPECT_EQ(window.Tree1->ItemOf(relaysA->child(11))->text(0), "12 - Включить");
  EXPECT_EQ(window.Tree1->ItemOf(relaysB->child(0))->text(0), "1 - Включить");
  EXPECT_EQ(window.Tree1->ItemOf(t.top(1))->text(0), "Вход 2");
}

TEST_F(MainWindowTest, SmsThresholdRenameAndTimeEntries) {
  Tree& t1 = window.model().Tree1;
  Tree& t2 = window.model().Tree2;
  // SMS text entry by a double click on the text node.
  TreeNode* sms = t1.top(0)->child(0)->child(2);
  Expand(window.Tree1, t1.top(0));
  Expand(window.Tree1, t1.top(0)->child(0));
  Expand(window.Tree1, sms);
  dialogs.inputs.push_back(std::string("Тревога"));
  QTreeWidgetItem* textItem = window.Tree1->ItemOf(sms->child(0));
  window.Tree1->scrollToItem(textItem);
  QPoint pos = window.Tree1->visualItemRect(textItem).center();
  QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, window.Tree1->viewport()->mapToGlobal(pos), Qt::LeftButton,
                  Qt::LeftButton, {});
  QApplication::sendEvent(window.Tree1->viewport(), &dbl);
  EXPECT_EQ(textItem->text(0), "Тревога");
  EXPECT_EQ(window.model().ws.working.ReadText(25, 33), "Тревога");

  // Threshold entry on the MIN value of channel 3.
  TreeNode* below = t2.top(3)->child(2);
  Expand(window.Tree2, t2.top(3));
  Expand(window.Tree2, below);
  dialogs.inputs.push_back(std::string("-10"));
  QTreeWidgetItem* value = window.Tree2->ItemOf(below->child(0));
  window.Tree2->scrollToItem(value);
  pos = window.Tree2->visualItemRect(value).center();
  QMouseEvent dbl2(QEvent::MouseButtonDblClick, pos, window.Tree2->viewport()->mapToGlobal(pos), Qt::LeftButton,
                   Qt::LeftButton, {});
  QApplication::sendEvent(window.Tree2->viewport(), &dbl2);
  EXPECT_EQ(value->text(0), "-10");
  EXPECT_EQ(window.model().ws.working.Raw(4512, 4), "-10 ");

  // Rename of a source.
  dialogs.inputs.push_back(std::string("Дверь"));
  window.Tree1->clearSelection();
  Choose(window.Tree1, "N12");
  RightClick(window.Tree1, t1.top(0));
  EXPECT_EQ(window.Tree1->topLevelItem(0)->text(0), "Дверь");

  // Alarm time 7:30 for alarm clock 2 through TForm4Window.
  TreeNode* time = t1.top(15)->child(0);
  Expand(window.Tree1, t1.top(15));
  Choose(window.Tree1, "N17");
  QTimer::singleShot(0, [this] {
    window.Form4->RzDateTimeEdit1->setTime(QTime(7, 30));
    window.Form4->Button1->click();
  });
  RightClick(window.Tree1, time);
  EXPECT_EQ(window.Tree1->ItemOf(time)->text(0), "07:30");
  EXPECT_EQ(window.model().ws.working.Raw(5082, 5), "07:30");
}

TEST_F(MainWindowTest, SaveThenOpenRestoresEverything) {
  Tree& t1 = window.model().Tree1;
  t1.top(0)->text = "Дверь";
  window.model().pages.SetSpinValue({SpinRow::Rele, 3}, 42);
  window.RefreshAll();
  const Bytes saved = window.model().ws.working.bytes();
  dialogs.fileNames.push_back(std::string("/tmp/a.dat"));
  window.N6->trigger();
  ASSERT_EQ(files.files.count("/tmp/a.dat"), 1u);
  EXPECT_EQ(window.RzMarqueeStatus1->text(), "Настройки сохранены в файл: /tmp/a.dat");

  window.versionItems[5]->trigger();  // back to defaults
  EXPECT_EQ(window.Tree1->topLevelItem(0)->text(0), "Вход 1");
  dialogs.fileNames.push_back(std::string("/tmp/a.dat"));
  window.N7->trigger();
  EXPECT_EQ(window.Tree1->topLevelItem(0)->text(0), "Дверь");
  EXPECT_EQ(window.model().ws.working.bytes(), saved);
  EXPECT_EQ(window.model().pages.Rele[2].value, 42);
  EXPECT_EQ(window.RzMarqueeStatus1->text(), "Настройки загружены");
}

TEST_F(MainWindowTest, SavingStoresTheFieldBeingEdited) {
  window.show();
  QApplication::setActiveWindow(&window);
  window.RzPageControl1->setCurrentIndex(0);
  auto* edit = window.findChild<QLineEdit*>("ObjectID");
  ASSERT_NE(edit, nullptr);
  edit->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(edit->hasFocus());
  QTest::keyClicks(edit, "OBJ7");
  EXPECT_EQ(window.model().ws.working.Raw(5171, 4), "****");  // not yet left
  dialogs.fileNames.push_back(std::string("/tmp/b.dat"));
  window.N6->trigger();
  ASSERT_EQ(files.files.count("/tmp/b.dat"), 1u);
  const auto parsed = ParseSettingsFile(files.files["/tmp/b.dat"]);
  ASSERT_TRUE(parsed.data && parsed.data->image);
  EXPECT_EQ(std::string(parsed.data->image->begin() + 5171, parsed.data->image->begin() + 5175), "OBJ7");
}

TEST_F(MainWindowTest, AFailedSaveShowsAnErrorAndKeepsTheStatus) {
  files.failWrites = true;
  dialogs.fileNames.push_back(std::string("/tmp/c.dat"));
  window.N6->trigger();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(window.RzMarqueeStatus1->text(), "");
}

}  // namespace
}  // namespace vemtaro::app
