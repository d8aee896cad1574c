// The main window driven as a hand drives it, with real mouse presses, keys
// and focus moves: the exit handlers of the edits run when an edit is left,
// whatever its text did, and only then; Enter moves on only where it should;
// the sending attempts step by 1; a press beside the tree nodes keeps the
// selection; a window destroyed while an edit is being changed goes quietly.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "desk.h"
#include "guide_window.h"
#include "hand.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "pages/byte_spin_box.h"
#include "tree_view.h"

namespace vemtaro::app {
namespace {
namespace L = layout;

const std::string kWrongNumber = "Неправильно набран номер";
const std::string kWrongValue = "Значение неверно";
const std::string kSixteen = "Количество символов должно быть равно 16";

// The settings file a v15 controller might have given: some image bytes as
// they stand there.
std::string FileWith(const std::vector<std::pair<std::size_t, std::string>>& bytes) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  for (const auto& [offset, raw] : bytes) m.ws.working.SetRaw(offset, raw);
  return *m.SettingsFileBytes();
}

class HandInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowActive(&d.window)); }

  // Opens a file as "Открыть" does (the open itself is not under test here).
  void Open(const std::string& bytes) {
    d.files.files["/site.dat"] = bytes;
    ASSERT_TRUE(d.window.OpenFile("/site.dat"));
    d.dialogs.Clear();
  }

  template <class W>
  W* Find(const char* name) {
    W* w = d.window.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  // Brings a page to the front with a click on its tab.
  void ShowPage(int index) {
    QTabBar* bar = d.window.RzPageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    ASSERT_EQ(d.window.RzPageControl1->currentIndex(), index);
  }

  static void ClickInto(QLineEdit* edit) {
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    ASSERT_TRUE(edit->hasFocus()) << edit->objectName().toStdString();
  }

  std::string Image(std::size_t offset, std::size_t length) { return d.model().ws.working.Raw(offset, length); }

  Desk d;
};

// Leaving an edit runs its exit handler even when its text did not change: a
// number left empty takes its subscriber out of every reaction, a wrong
// identifier or master key from a file is refused and emptied.
TEST_F(HandInputTest, LeavingAnEditUnchangedRunsItsExitHandler) {
  enum class Leave { ClickNext, Tab, BackTab };
  struct Case {
    const char* name;
    int page;
    const char* edit;
    const char* next;  // clicked for Leave::ClickNext
    Leave leave;
    std::vector<std::pair<std::size_t, std::string>> file;
    std::size_t offset;
    std::string stored;
    std::vector<std::string> messages;
  };
  // clang-format off
  const std::size_t phones1 = L::kBlockPhones;                          // input 1 closing
  const std::size_t phones6 = 6 * L::kBlockLength + L::kBlockPhones;  // input 4 closing
  const std::vector<Case> cases = {
      {"empty number", 0, "AbonentNo4", "AbonentNo5", Leave::ClickNext, {{phones1, "44"}}, phones1, "NNNNNNNNN", {}},
      {"empty dispatch number", 0, "AbonentNo1", "", Leave::Tab, {{phones6 + 3, "1"}}, phones6, "NNNNNNNNN", {}},
      {"lowercase identifier", 3, "ID3", "ID4", Leave::ClickNext, {{L::IdentifierField(3), "0123456789abcdef"}},
       L::IdentifierField(3), std::string(16, '*'), {kWrongValue}},
      {"short identifier", 3, "ID2", "", Leave::BackTab, {{L::IdentifierField(2), "0123456789ABCDE*"}},
       L::IdentifierField(2), std::string(16, '*'), {kSixteen}},
      {"short master key", 4, "MasterKey", "", Leave::Tab, {{L::kMasterKey, "0123456789ABCDE*"}}, L::kMasterKey,
       std::string(16, '*'), {kSixteen}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(FileWith(c.file));
    ASSERT_NE(Image(c.offset, c.stored.size()), c.stored);
    ShowPage(c.page);
    QLineEdit* edit = Find<QLineEdit>(c.edit);
    ClickInto(edit);
    const QString before = edit->text();
    switch (c.leave) {
      case Leave::ClickNext: ClickInto(Find<QLineEdit>(c.next)); break;
      case Leave::Tab: QTest::keyClick(edit, Qt::Key_Tab); break;
      case Leave::BackTab: QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier); break;
    }
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(Image(c.offset, c.stored.size()), c.stored);
    EXPECT_EQ(d.dialogs.Texts(), c.messages);
    EXPECT_EQ(edit->text(), c.messages.empty() ? before : QString());
  }
}

// Enter in a number, an identifier or the master key leaves nothing: no
// handler, no message, the focus stays. In ObjectID and PasswordEdit it moves
// the focus on, which leaves them.
TEST_F(HandInputTest, EnterLeavesOnlyWhereItMovesTheFocusOn) {
  struct Case {
    int page;
    const char* edit;
    const char* typed;
    bool movesOn;
    std::size_t offset;
    std::string storedOnLeaving;
    std::vector<std::string> messages;  // on leaving
  };
  const std::vector<Case> cases = {
      {0, "AbonentNo3", "12x", false, L::kPhonesLong + 32, std::string(16, '*'), {kWrongNumber}},
      {0, "AbonentNo1", "+7 916", false, L::kPhonesLong, "+7 916**********", {}},
      {3, "ID5", "0123", false, L::IdentifierField(5), std::string(16, '*'), {kSixteen}},
      {4, "MasterKey", "00112233AABBCCDD", false, L::kMasterKey, "00112233AABBCCDD", {}},
      {0, "ObjectID", "OBJ-7", true, L::kObjectIdLong, "OBJ-7*****", {}},
      {0, "PasswordEdit", "secret", true, L::kPassword, "secret**", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    d.dialogs.Clear();
    ShowPage(c.page);
    QLineEdit* edit = Find<QLineEdit>(c.edit);
    ClickInto(edit);
    const std::string before = Image(c.offset, c.storedOnLeaving.size());
    QTest::keyClicks(edit, c.typed);
    QTest::keyClick(edit, Qt::Key_Return);
    if (!c.movesOn) {
      EXPECT_TRUE(edit->hasFocus());
      EXPECT_EQ(edit->text(), QString::fromUtf8(c.typed));
      EXPECT_TRUE(d.dialogs.shown.empty());
      EXPECT_EQ(Image(c.offset, c.storedOnLeaving.size()), before);
      QTest::keyClick(edit, Qt::Key_Tab);
    }
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(Image(c.offset, c.storedOnLeaving.size()), c.storedOnLeaving);
    EXPECT_EQ(d.dialogs.Texts(), c.messages);
  }
}

// Ctrl or the right button on the number of a spin box sets the step of 10 for
// the delays and relays; the sending attempts keep the step of 1.
TEST_F(HandInputTest, OnlyTheDelaysAndRelaysStepBy10) {
  struct Case {
    int page;
    const char* spin;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    int step;
  };
  const std::vector<Case> cases = {
      {0, "NumOfAttempts", Qt::LeftButton, Qt::ControlModifier, 1},
      {0, "NumOfAttempts", Qt::RightButton, Qt::NoModifier, 1},
      {1, "Input5", Qt::LeftButton, Qt::ControlModifier, 10},
      {1, "UInput2", Qt::RightButton, Qt::NoModifier, 10},
      {4, "Vihod", Qt::LeftButton, Qt::ControlModifier, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.spin) + (c.button == Qt::RightButton ? " right" : " ctrl"));
    ShowPage(c.page);
    auto* spin = Find<ByteSpinBox>(c.spin);
    QLineEdit* number = spin->findChild<QLineEdit*>();
    const int before = spin->value();
    QTest::mouseClick(number, c.button, c.modifiers, number->rect().center());
    QTest::mouseClick(spin, Qt::LeftButton, {}, PlusButtonCentre(spin));
    EXPECT_EQ(spin->value(), before + c.step);
  }
  EXPECT_EQ(d.model().ws.working.Byte(L::kNumOfAttempts), 7);  // 5, then two presses of 1
}

// Selects a node with a press of the left button, with the modifiers given.
void Press(ReactionTreeView* view, const TreeNode* node, Qt::KeyboardModifiers modifiers = {}) {
  QTreeWidgetItem* item = view->ItemOf(node);
  view->scrollToItem(item);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualItemRect(item).center());
}

// A press beside the nodes, left or right, leaves a multiple selection as it
// is and only forgets the node last pressed.
TEST_F(HandInputTest, APressBesideTheNodesKeepsTheSelection) {
  ShowPage(2);
  ReactionTreeView* view = d.window.Tree1;
  Tree& t = d.model().Tree1;
  TreeNode* relays = t.top(0)->child(0)->child(0);
  for (TreeNode* n : {t.top(0), t.top(0)->child(0), relays}) view->expandItem(view->ItemOf(n));
  Press(view, relays->child(2));
  Press(view, relays->child(5), Qt::ControlModifier);
  ASSERT_EQ(view->Selection().size(), 2u);
  ASSERT_EQ(d.model().commands.ClickedNode, relays->child(5));
  for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
    // Right of the widest node, in the row of the first relay: no node there.
    QTreeWidgetItem* row = view->ItemOf(relays->child(0));
    const QPoint beside(view->viewport()->width() - 2, view->visualItemRect(row).center().y());
    ASSERT_EQ(view->itemAt(beside), nullptr);
    QTest::mouseClick(view->viewport(), button, {}, beside);
    EXPECT_EQ(view->Selection(), (std::vector<TreeNode*>{relays->child(2), relays->child(5)}));
    EXPECT_EQ(d.model().commands.ClickedNode, nullptr);
  }
}

// While the program waits for the controller, the status pane says what for,
// painted while the window waits: the search, a read the controller does not
// answer (5.5 s), the sensor identifiers.
TEST_F(HandInputTest, WhileItWaitsThePaneSaysWhatFor) {
  QStringList seen;
  QTimer watch;  // runs inside the waits too: they keep the windows painted
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QString text = d.window.RzMarqueeStatus1->text();
    if (seen.isEmpty() || seen.back() != text) seen << text;
  });
  watch.start(20);
  ASSERT_TRUE(d.Connect());
  EXPECT_TRUE(seen.contains("Ожидание ответа контроллера на порту Симулятор контроллера ..."))
      << seen.join(" | ").toStdString();
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Версия прошивки: GSM-ALARM 15");

  sim::ControllerSim& controller = d.window.adapter().simulator()->controller();
  controller.faults().noLoadOk = true;
  seen.clear();
  d.Choose(d.window.N13, d.window.N14);  // "Загрузить конфигурацию из контроллера"
  EXPECT_TRUE(seen.contains("Ожидание ответа контроллера на запрос чтения (до 5,5 с) ..."))
      << seen.join(" | ").toStdString();
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Загрузка неудачна !!!");
  controller.faults().noLoadOk = false;

  d.Choose(d.window.N13, d.window.ID17);  // "Запрос ID датчиков"
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Ожидание ID датчиков от контроллера (до 110 с) ...");
  ASSERT_TRUE(port::RunEventsUntil([&] { return d.window.link().idsResult.has_value(); }, kConnectMs));
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "ID датчиков получены от контроллера") << "how the wait ended";
}

// Every control of the pages tells in Russian what it sets and its range: an
// edit the length its version allows, a spin box 0..255.
TEST_F(HandInputTest, EveryControlOfThePagesHasItsTip) {
  const QRegularExpression russian(QStringLiteral("[А-Яа-яЁё]"));
  for (const int version : {10, 15}) {
    SCOPED_TRACE(version);
    d.model().ApplyProfile(version);
    d.window.RefreshAll();
    int controls = 0;
    for (QWidget* w : d.window.RzPageControl1->findChildren<QWidget*>()) {
      const bool inner = qobject_cast<QComboBox*>(w->parentWidget()) != nullptr ||
                         qobject_cast<QAbstractSpinBox*>(w->parentWidget()) != nullptr;
      const bool control = qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QAbstractSpinBox*>(w) != nullptr ||
                           qobject_cast<QAbstractButton*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr ||
                           qobject_cast<QTreeWidget*>(w) != nullptr;
      // Not the parts of a control, nor the operators' table that drops down.
      if (!control || inner || qobject_cast<QTabBar*>(w->parentWidget()) != nullptr || w->window() != &d.window) {
        continue;
      }
      ++controls;
      const QString name =
          w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
      SCOPED_TRACE(name.toStdString());
      const QString tip = w->toolTip();
      EXPECT_TRUE(tip.contains(russian)) << tip.toStdString();
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        EXPECT_TRUE(tip.contains(QString::number(edit->maxLength()))) << tip.toStdString();
      }
      if (qobject_cast<QAbstractSpinBox*>(w) != nullptr) {
        EXPECT_TRUE(tip.contains("0–255")) << tip.toStdString();
      }
    }
    // 2 + 9 + 16 edits, the SMS centre, 50 spin boxes, 7 + 18 check boxes,
    // 2 radio buttons, 2 trees.
    EXPECT_EQ(controls, 27 + 1 + 50 + 25 + 2 + 2);
  }
}

// "Справка" → "Руководство пользователя" shows the guide with its pictures.
TEST_F(HandInputTest, TheGuideOpensFromTheHelpMenu) {
  d.Choose(d.window.findChild<QMenu*>("N9"), d.window.Guide);
  GuideWindow* window = d.window.HelpWindow;
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Руководство пользователя");
  const QString text = window->Browser->toPlainText();
  EXPECT_TRUE(text.startsWith("Vemtaro: руководство пользователя")) << text.left(80).toStdString();
  EXPECT_TRUE(
      !window->Browser->document()->resource(QTextDocument::ImageResource, QUrl("screenshots/splash.png")).isNull() ||
      !window->Browser->loadResource(QTextDocument::ImageResource, QUrl("screenshots/splash.png")).isNull());
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(d.dialogs.shown.empty());
}

// The guide of an installed program is the package's; a program that is not
// installed shows the repository's.
TEST(Guide, IsFoundBesideTheProgram) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  ASSERT_TRUE(QDir(root.path()).mkpath("usr/bin"));
  const QString bin = root.filePath("usr/bin");
  const QString repository = GuideFile(bin);
  EXPECT_TRUE(repository.endsWith("/docs/guide.md")) << repository.toStdString();
  ASSERT_TRUE(QDir(root.path()).mkpath("usr/share/doc/vemtaro"));
  QFile installed(root.filePath("usr/share/doc/vemtaro/guide.md"));
  ASSERT_TRUE(installed.open(QIODevice::WriteOnly));
  installed.close();
  EXPECT_EQ(GuideFile(bin), QFileInfo(installed).absoluteFilePath());
}

// A window released while it is shown and an edit of it holds a change that
// was not stored: nothing of it reaches the configuration, which goes first.
TEST(HandInputWindow, DestroyedWhileAnEditHoldsAChange) {
  for (const char* name : {"AbonentNo3", "ObjectID", "NumOfAttempts"}) {
    SCOPED_TRACE(name);
    auto desk = std::make_unique<Desk>();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&desk->window));
    QWidget* target = desk->window.findChild<QWidget*>(name);
    ASSERT_NE(target, nullptr);
    QWidget* edit = qobject_cast<QLineEdit*>(target) ? target : target->findChild<QLineEdit*>();
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, "12x");
    desk.reset();
  }
}

}  // namespace
}  // namespace vemtaro::app
