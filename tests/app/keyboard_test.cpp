// The main window from the keyboard alone: a letter of its own (the "&" of its
// text) on every menu and menu item, Ctrl+N, Ctrl+O and Ctrl+S for the file
// items, and the trees' commands by the Menu key, Shift+F10 and Enter.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "desk.h"
#include "hand.h"
#include "marquee_label.h"
#include "tree_view.h"

namespace vemtaro::app {
namespace {

// The letter after the single "&" of a text, in lower case; null without one.
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// Every item of a menu and of its submenus has a letter of its own within
// its menu; the texts are those of the program's description, "&" aside.
void CheckMnemonics(QMenu* menu, const QString& path) {
  std::set<QChar> letters;
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    const QString where = path + " → " + item->text();
    const QChar letter = Mnemonic(item->text());
    EXPECT_FALSE(letter.isNull()) << where.toStdString() << ": no letter";
    EXPECT_TRUE(letters.insert(letter).second) << where.toStdString() << ": its letter is taken";
    if (QMenu* sub = item->menu()) CheckMnemonics(sub, where);
  }
}

TEST(Keyboard, EveryMenuAndItemHasALetterOfItsOwn) {
  Desk d;
  std::set<QChar> titles;
  int menus = 0;
  for (QAction* title : d.window.menuBar()->actions()) {
    if (title->isSeparator()) continue;
    ++menus;
    const QChar letter = Mnemonic(title->text());
    EXPECT_FALSE(letter.isNull()) << title->text().toStdString();
    EXPECT_TRUE(titles.insert(letter).second) << title->text().toStdString() << ": its letter is taken";
    ASSERT_NE(title->menu(), nullptr);
    CheckMnemonics(title->menu(), title->text());
  }
  EXPECT_EQ(menus, 4);
}

// The texts stay the program's own; only the "&" is added.
TEST(Keyboard, TheMenuTextsKeepTheirWords) {
  Desk d;
  TForm1& w = d.window;
  const std::vector<std::pair<QAction*, const char*>> texts = {
      {w.N5->menuAction(), "Файл"},
      {w.NewConfiguration, "Новая конфигурация"},
      {w.N6, "Сохранить"},
      {w.N7, "Открыть"},
      {w.Backups, "Резервные копии…"},
      {w.N8, "Выход"},
      {w.N13->menuAction(), "Обмен с контроллером"},
      {w.N14, "Загрузить конфигурацию из контроллера"},
      {w.N15, "Передать конфигурацию в контроллер"},
      {w.ID17, "Запрос ID датчиков"},
      {w.N16, "Установить системные часы контроллера"},
      {w.N23, "Запрос состояния"},
      {w.N24, "Открытие канала связи"},
      {w.N19->menuAction(), "Дополнительные настройки"},
      {w.N20->menuAction(), "Версия прошивки"},
      {w.versionItems[0], "v. 10"},
      {w.versionItems[5], "v. 15"},
      {w.N22, "Проверка контрольной суммы"},
      {w.VerifyAfterWrite, "Проверять после записи"},
      {w.BackupBeforeWrite, "Резервная копия перед записью"},
      {w.N10, "О программе"},
      {w.Guide, "Руководство пользователя"},
  };
  for (const auto& [item, text] : texts) EXPECT_EQ(item->text().remove('&'), QString::fromUtf8(text));
  EXPECT_EQ(w.N13->title(), "&Обмен с контроллером");
  EXPECT_EQ(w.NewConfiguration->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(w.N6->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(w.N7->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(w.Guide->shortcut(), QKeySequence(Qt::Key_F1));
}

// A Cyrillic letter as the keyboard sends it: the key of the capital letter,
// the text of the small one.
void Letter(QWidget* to, char16_t small, Qt::KeyboardModifiers mods = {}) {
  const QChar c(small);
  QTest::sendKeyEvent(QTest::Click, to, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c), mods);
}

// Ctrl+S and Ctrl+O, and the same items by Alt+Ф and their letters.
TEST(Keyboard, TheFileItemsByTheirKeys) {
  struct Case {
    const char* name;
    std::function<void(Desk&)> keys;
  };
  const auto ctrl = [](Qt::Key key) {
    return [key](Desk& d) { QTest::keyClick(&d.window, key, Qt::ControlModifier); };
  };
  const auto letters = [](char16_t item) {
    return [item](Desk& d) {
      Letter(&d.window, u'ф', Qt::AltModifier);
      ASSERT_TRUE(d.window.N5->isVisible()) << "Alt+Ф opens Файл";
      Letter(d.window.N5, item);
      EXPECT_FALSE(d.window.N5->isVisible());
    };
  };
  const Case saves[] = {{"Ctrl+S", ctrl(Qt::Key_S)}, {"Alt+Ф, С", letters(u'с')}};
  for (const Case& c : saves) {
    SCOPED_TRACE(c.name);
    Desk d;
    d.dialogs.fileNames.push_back("/work/saved.dat");
    c.keys(d);
    EXPECT_EQ(d.dialogs.saveStarts.size(), 1u);
    EXPECT_EQ(d.files.files.count("/work/saved.dat"), 1u);
    EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Настройки сохранены в файл: /work/saved.dat");
  }
  const Case opens[] = {{"Ctrl+O", ctrl(Qt::Key_O)}, {"Alt+Ф, О", letters(u'о')}};
  for (const Case& c : opens) {
    SCOPED_TRACE(c.name);
    Desk d;
    d.files.files["/work/v12.dat"] = OtherFile();
    d.dialogs.fileNames.push_back("/work/v12.dat");
    c.keys(d);
    EXPECT_EQ(d.dialogs.openStarts.size(), 1u);
    EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
    EXPECT_EQ(d.window.Tree1->topLevelItem(0)->text(0), "Калитка");
  }
}

// Alt and a menu's letter open that menu; the letters of "Дополнительные
// настройки" reach the version submenu and its items.
TEST(Keyboard, AltAndALetterOpenTheMenus) {
  Desk d;
  struct Case {
    char16_t letter;
    QMenu* menu;
  };
  const Case cases[] = {{u'ф', d.window.N5}, {u'д', d.window.N19}, {u'с', d.window.findChild<QMenu*>("N9")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.menu->title().toStdString());
    Letter(&d.window, c.letter, Qt::AltModifier);
    EXPECT_TRUE(c.menu->isVisible());
    QTest::keyClick(c.menu, Qt::Key_Escape);
    QTest::keyClick(d.window.menuBar(), Qt::Key_Escape);
    EXPECT_FALSE(c.menu->isVisible());
  }
  // Alt+Д, В, 2: "v. 12".
  Letter(&d.window, u'д', Qt::AltModifier);
  Letter(d.window.N19, u'в');
  ASSERT_TRUE(d.window.N20->isVisible());
  QTest::keyClick(d.window.N20, Qt::Key_2);
  EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
  EXPECT_TRUE(d.window.versionItems[2]->isChecked());
}

// The tree's commands from the keyboard. The arrows go to the node (Right
// opens a node, and once open goes to its first child); then the Menu key or
// Shift+F10 opens the node's menu at the node, Enter opens an SMS text's or a
// threshold's entry.
class TreeKeys : public ::testing::Test {
 protected:
  Desk d;

  // Goes to the node of that path (indices from the top) with the arrows;
  // Left closes a node passed on the way.
  QTreeWidgetItem* GoTo(ReactionTreeView* view, const std::vector<int>& path) {
    d.window.RzPageControl1->setCurrentIndex(view == d.window.Tree1 ? 2 : 3);
    view->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view, Qt::Key_Home);
    const auto down = [view](int count) {
      for (int i = 0; i < count; ++i) {
        if (view->currentItem()->isExpanded()) QTest::keyClick(view, Qt::Key_Left);
        QTest::keyClick(view, Qt::Key_Down);
      }
    };
    down(path[0]);
    for (std::size_t level = 1; level < path.size(); ++level) {
      if (!view->currentItem()->isExpanded()) QTest::keyClick(view, Qt::Key_Right);
      QTest::keyClick(view, Qt::Key_Right);
      down(path[level]);
    }
    return view->currentItem();
  }
};

TEST_F(TreeKeys, TheMenuKeyAndShiftF10OpenTheNodesMenuAtTheNode) {
  struct Case {
    const char* name;
    bool tree1;
    std::vector<int> path;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* menu;
    const char* item;
    std::function<void(Desk&)> check;
  };
  const Case cases[] = {
      {"relay 12 of input 1's opening, Menu key",
       true,
       {0, 1, 0, 11},
       Qt::Key_Menu,
       {},
       "LMDPopupMenu2",
       "N2",
       [](Desk& d) {
         EXPECT_EQ(d.model().ws.working.Raw(70, 1), "Z");
         EXPECT_EQ(d.window.Tree1->currentItem()->text(0), "12 - Включить");
       }},
      {"input 2, Shift+F10",
       true,
       {1},
       Qt::Key_F10,
       Qt::ShiftModifier,
       "LMDPopupMenu3",
       "N12",
       [](Desk& d) { EXPECT_EQ(d.window.Tree1->topLevelItem(1)->text(0), "Дверь"); }},
      {"alarm clock 2's time, Menu key", true, {15, 0}, Qt::Key_Menu, {}, "LMDPopupMenu4", nullptr, nullptr},
      {"relay 1 of sensor 1's MAX state, Shift+F10",
       false,
       {0, 0, 1, 0},
       Qt::Key_F10,
       Qt::ShiftModifier,
       "LMDPopupMenu2",
       "N3",
       [](Desk& d) { EXPECT_EQ(d.model().ws.working.Raw(1652 + 0, 1), "R"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReactionTreeView* view = c.tree1 ? d.window.Tree1 : d.window.Tree2;
    QTreeWidgetItem* item = GoTo(view, c.path);
    ASSERT_NE(item, nullptr);
    const QRect node(view->viewport()->mapToGlobal(view->visualItemRect(item).topLeft()),
                     view->visualItemRect(item).size());
    QString opened;
    QPoint at;
    view->menuChooser = [&](QMenu& menu, const QPoint& pos) -> QAction* {
      opened = menu.objectName();
      at = pos;
      for (QAction* a : menu.actions()) {
        if (c.item != nullptr && a->objectName() == c.item) return a;
      }
      return nullptr;
    };
    d.dialogs.inputs.push_back(std::string("Дверь"));
    QTest::keyClick(view, c.key, c.mods);
    EXPECT_EQ(opened, c.menu);
    EXPECT_GE(at.x(), node.left());
    EXPECT_LE(at.x(), node.right());
    EXPECT_GE(at.y(), node.top());
    EXPECT_LE(at.y(), node.bottom() + 1);
    if (c.check) c.check(d);
    d.dialogs.inputs.clear();
  }
}

TEST_F(TreeKeys, EnterOpensTheEntryOfAnSmsTextOrAThreshold) {
  struct Case {
    const char* name;
    bool tree1;
    std::vector<int> path;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* typed;
    std::size_t offset;
    std::string bytes;  // what the image then holds there
    bool asked;
  };
  const std::string sms = "Тревога";
  const Case cases[] = {
      {"the SMS text of input 1's closing", true, {0, 0, 2, 0}, Qt::Key_Return, {}, "Тревога", 25, "", true},
      {"channel 4's MIN value", false, {3, 2, 0}, Qt::Key_Return, {}, "-10", 4512, "-10 ", true},
      {"the keypad's Enter on channel 4's MAX value",
       false,
       {3, 0, 0},
       Qt::Key_Enter,
       Qt::KeypadModifier,
       "75",
       4508,
       "75  ",
       true},
      {"a relay group: nothing", true, {0, 0, 0}, Qt::Key_Return, {}, "x", 0, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReactionTreeView* view = c.tree1 ? d.window.Tree1 : d.window.Tree2;
    ASSERT_NE(GoTo(view, c.path), nullptr);
    const Bytes before = d.model().ws.working.bytes();
    d.dialogs.inputs.push_back(std::string(c.typed));
    QTest::keyClick(view, c.key, c.mods);
    EXPECT_EQ(d.dialogs.inputs.empty(), c.asked);
    if (!c.asked) {
      EXPECT_EQ(d.model().ws.working.bytes(), before);
      d.dialogs.inputs.clear();
      continue;
    }
    EXPECT_EQ(view->currentItem()->text(0), c.typed);
    if (c.bytes.empty()) {
      EXPECT_EQ(d.model().ws.working.ReadText(c.offset, 33), c.typed);
    } else {
      EXPECT_EQ(d.model().ws.working.Raw(c.offset, c.bytes.size()), c.bytes);
    }
  }
}

}  // namespace
}  // namespace vemtaro::app
