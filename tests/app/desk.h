// The main window as the desktop tests drive it: started and shown, with
// scripted dialogs and in-memory files, and the hand's ways to its menus.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <vector>

#include "main_window.h"
#include "port/link_host.h"
#include "scripted_dialogs.h"
#include "sim/controller_sim.h"

namespace vemtaro::app {

inline constexpr int kConnectMs = 30000;

// A main window started and shown, with its dialogs and in-memory files.
struct Desk {
  testing::ScriptedDialogs dialogs;
  testing::MemoryFiles files;
  TForm1 window{dialogs, files};
  QSignalSpy closed{&window, &TForm1::FormClosed};

  Desk() {
    window.FormShow();
    window.show();
    QApplication::setActiveWindow(&window);
  }

  MainModel& model() { return window.model(); }

  // A change as a page makes it: relay 3's duration.
  void Change() {
    model().pages.SetSpinValue({SpinRow::Rele, 3}, 42);
    window.RefreshAll();
    ASSERT_TRUE(model().Modified());
  }

  // Opens a menu of the menu bar with a click on its title.
  void OpenMenu(QMenu* menu) {
    QMenuBar* bar = window.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(menu->isVisible()) << menu->title().toStdString();
  }

  // Clicks an item of an open menu.
  static void ClickItem(QMenu* menu, QAction* item) {
    ASSERT_TRUE(menu->isVisible());
    ASSERT_TRUE(item->isEnabled()) << item->text().toStdString();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
  }

  // "Файл" → item, "Обмен с контроллером" → item.
  void Choose(QMenu* menu, QAction* item) {
    OpenMenu(menu);
    ClickItem(menu, item);
  }

  // "Дополнительные настройки" → "Версия прошивки" → the version's item. The
  // submenu opens from the keyboard (Down to its item, Right to open it).
  void ChooseVersion(int version) {
    OpenMenu(window.N19);
    QTest::keyClick(window.N19, Qt::Key_Down);
    ASSERT_EQ(window.N19->activeAction(), window.N20->menuAction());
    QTest::keyClick(window.N19, Qt::Key_Right);
    ASSERT_TRUE(window.N20->isVisible());
    ClickItem(window.N20, window.versionItems[static_cast<std::size_t>(version - 10)]);
  }

  // A right click on the connection pane opens the port menu; its last item
  // is the simulated controller.
  void ChooseSimulator() {
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPoint at = window.ComStatus->mapTo(&window, window.ComStatus->rect().center());
    QTest::mouseClick(handle, Qt::RightButton, {}, at);
    ASSERT_TRUE(window.PopupMenu1->isVisible());
    QAction* simulator = window.PopupMenu1->findChild<QAction*>("SimulatorPort");
    if (simulator == nullptr) {
      for (QAction* a : window.PopupMenu1->actions()) {
        if (a->objectName() == "SimulatorPort") simulator = a;
      }
    }
    ASSERT_NE(simulator, nullptr);
    ClickItem(window.PopupMenu1, simulator);
  }

  bool Connect() {
    dialogs.connectionTypes.push_back(0);
    ChooseSimulator();
    // Connected once the controller has taken "PC_OK" and the program's pause
    // after it has ended.
    return port::RunEventsUntil(
        [this] {
          return window.N13->isEnabled() && window.InputEnabled() &&
                 window.adapter().simulator()->controller().state() == sim::ControllerSim::State::Connected;
        },
        kConnectMs);
  }

  std::vector<bool> CheckMarks() const {
    std::vector<bool> marks;
    for (QAction* item : window.versionItems) marks.push_back(item->isChecked());
    return marks;
  }
};

}  // namespace vemtaro::app
