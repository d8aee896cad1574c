// The question about unsaved changes in the main window, driven by hand:
// mouse clicks on the menu bar, its menus and the port menu, and the window
// closed as the window manager closes it. Every action that replaces the
// configuration in use asks first when the configuration holds changes:
// "Отмена" leaves everything as it was, "Не сохранять" goes on, "Сохранить"
// saves to the chosen file and then goes on. Also the real question box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desk.h"
#include "files/settings_file.h"
#include "hand.h"
#include "main_window.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "port/link_host.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"
#include "sim/controller_sim.h"
#include "tree_view.h"

namespace vemtaro::app {
namespace {

// Nothing these tests remember lands in the user's own settings or data
// folders; set before any window reads its settings.
const bool kTestMode = [] {
  QStandardPaths::setTestModeEnabled(true);
  return true;
}();

constexpr int kTransferMs = 180000;

using Answer = SaveChangesAnswer;

// What an action that did not go on must leave as it was.
struct State {
  int version;
  Bytes image;
  std::vector<bool> marks;
  QString status;
  QString tree1Top;

  explicit State(Desk& d)
      : version(d.model().ws.FirmwareVersion),
        image(d.model().ws.working.bytes()),
        marks(d.CheckMarks()),
        status(d.window.RzMarqueeStatus1->text()),
        tree1Top(d.window.Tree1->topLevelItem(0)->text(0)) {}
  bool operator==(const State&) const = default;
};

void PrintTo(const State& s, std::ostream* os) { *os << "version " << s.version; }

// The cases every replacing action is tried with.
struct Case {
  const char* name;
  bool change;                   // whether the configuration holds a change
  std::optional<Answer> answer;  // scripted answer, none when not asked
  bool goesOn;
};
const std::vector<Case> kCases = {
    {"cancel", true, Answer::Cancel, false},
    {"discard", true, Answer::Discard, true},
    {"save", true, Answer::Save, true},
    {"no change", false, std::nullopt, true},
};

constexpr const char* kSavedPath = "/saved/changes.dat";

// Prepares the desk for a case: the change, the answer and the save dialog's
// file name (kept queued first, so that the action's own file dialogs come
// after it).
void Prepare(Desk& d, const Case& c) {
  if (c.change) d.Change();
  if (c.answer) d.dialogs.saveChanges.push_back(*c.answer);
  if (c.answer == Answer::Save) d.dialogs.fileNames.push_back(std::string(kSavedPath));
}

// What every case checks after the action: whether it was asked, whether the
// changed configuration went to the save file.
void CheckAsked(Desk& d, const Case& c, const Bytes& changedImage) {
  EXPECT_EQ(d.dialogs.saveChangesAsked, c.answer ? 1 : 0);
  if (c.answer == Answer::Save) {
    ASSERT_EQ(d.files.files.count(kSavedPath), 1u);
    const auto parsed = ParseSettingsFile(d.files.files[kSavedPath]);
    ASSERT_TRUE(parsed.data && parsed.data->image);
    EXPECT_EQ(*parsed.data->image, changedImage);
    EXPECT_EQ(parsed.data->version, 15);
  } else {
    EXPECT_EQ(d.files.files.count(kSavedPath), 0u);
  }
  EXPECT_TRUE(d.dialogs.saveChanges.empty());
  EXPECT_TRUE(d.window.isVisible());
}

class SaveChangesWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);
  }
};

TEST_F(SaveChangesWindowTest, VersionItem) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    Prepare(d, c);
    const State before(d);
    d.ChooseVersion(12);
    CheckAsked(d, c, before.image);
    if (c.goesOn) {
      EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
      EXPECT_EQ(d.CheckMarks(), (std::vector<bool>{false, false, true, false, false, false}));
    } else {
      EXPECT_EQ(State(d), before);
      EXPECT_EQ(d.CheckMarks(), (std::vector<bool>{false, false, false, false, false, true}));
      EXPECT_TRUE(d.model().Modified());
    }
  }
}

TEST_F(SaveChangesWindowTest, OpenAsksBeforeTheOpenDialog) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    d.files.files["/other.dat"] = OtherFile();
    Prepare(d, c);
    d.dialogs.fileNames.push_back(std::string("/other.dat"));  // the open dialog's answer
    const State before(d);
    d.Choose(d.window.N5, d.window.N7);
    CheckAsked(d, c, before.image);
    if (c.goesOn) {
      EXPECT_TRUE(d.dialogs.fileNames.empty());
      EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
      EXPECT_EQ(d.window.Tree1->topLevelItem(0)->text(0), "Калитка");
      EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Настройки загружены");
      EXPECT_FALSE(d.model().Modified());
    } else {
      EXPECT_EQ(d.dialogs.fileNames.size(), 1u) << "the open dialog was shown";
      EXPECT_EQ(State(d), before);
    }
  }
}

TEST_F(SaveChangesWindowTest, AFieldBeingEditedCountsAsAChange) {
  Desk d;
  d.window.RzPageControl1->setCurrentIndex(0);
  auto* edit = d.window.findChild<QLineEdit*>("ObjectID");
  ASSERT_NE(edit, nullptr);
  QTest::mouseClick(edit, Qt::LeftButton);
  edit->selectAll();
  QTest::keyClicks(edit, "OBJ9");
  ASSERT_FALSE(d.model().Modified()) << "not stored before the field is left";
  d.dialogs.saveChanges.push_back(Answer::Save);
  d.dialogs.fileNames.push_back(std::string(kSavedPath));
  d.Choose(d.window.N5, d.window.N7);  // the open dialog is then cancelled
  EXPECT_EQ(d.dialogs.saveChangesAsked, 1);
  ASSERT_EQ(d.files.files.count(kSavedPath), 1u);
  const auto parsed = ParseSettingsFile(d.files.files[kSavedPath]);
  ASSERT_TRUE(parsed.data && parsed.data->image);
  EXPECT_EQ(std::string(parsed.data->image->begin() + 5171, parsed.data->image->begin() + 5175), "OBJ9");
}

TEST_F(SaveChangesWindowTest, AHandedOverFile) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    d.files.files["/other.dat"] = OtherFile();
    Prepare(d, c);
    const State before(d);
    // The single-instance channel's entry point; the file is opened once the
    // program is idle.
    ASSERT_TRUE(d.window.TakeHandedFile("/other.dat"));
    ASSERT_TRUE(port::RunEventsUntil([&] { return d.window.HandedFiles().isEmpty(); }, kConnectMs));
    CheckAsked(d, c, before.image);
    if (c.goesOn) {
      EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
      EXPECT_EQ(d.window.Tree1->topLevelItem(0)->text(0), "Калитка");
    } else {
      EXPECT_EQ(State(d), before);
    }
  }
}

TEST_F(SaveChangesWindowTest, PortMenuAsksBeforeTheHandshake) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    Prepare(d, c);
    d.dialogs.connectionTypes.push_back(0);  // "Прямое"
    const State before(d);
    const QString comBefore = d.window.ComStatus->text();
    d.ChooseSimulator();
    CheckAsked(d, c, before.image);
    if (c.goesOn) {
      EXPECT_EQ(d.dialogs.connectionTypeAsked, 1);
      ASSERT_TRUE(port::RunEventsUntil([&] { return d.window.N13->isEnabled(); }, kConnectMs));
      EXPECT_EQ(d.window.ComStatus->text(), "Устройство подключено к: Симулятор контроллера");
    } else {
      EXPECT_EQ(d.dialogs.connectionTypeAsked, 0);
      EXPECT_FALSE(d.window.adapter().IsOpen());
      EXPECT_EQ(d.window.ComStatus->text(), comBefore);
      EXPECT_EQ(State(d), before);
    }
  }
}

TEST_F(SaveChangesWindowTest, ReadAsksBeforeAnythingIsSent) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    ASSERT_TRUE(d.Connect());
    ASSERT_EQ(d.dialogs.saveChangesAsked, 0);
    // The controller holds a configuration of its own.
    sim::LinkedController& controller = *d.window.adapter().simulator();
    ConfigImage held(d.model().ws.working.bytes());
    held.WriteText(layout::kObjectIdLong, layout::kObjectIdLongLength, "SIM-7");
    controller.controller().SetImage(held.bytes());
    Prepare(d, c);
    controller.ClearReceived();
    const State before(d);
    d.Choose(d.window.N13, d.window.N14);
    CheckAsked(d, c, before.image);
    if (c.goesOn) {
      ASSERT_TRUE(port::RunEventsUntil([&] { return d.window.link().loadResult.has_value(); }, kTransferMs));
      EXPECT_EQ(d.window.link().loadResult, true);
      EXPECT_EQ(d.model().ws.working.ReadText(layout::kObjectIdLong, layout::kObjectIdLongLength), "SIM-7");
      EXPECT_NE(controller.ReceivedText().find("LOAD"), std::string::npos);
    } else {
      QCoreApplication::processEvents();
      EXPECT_EQ(controller.ReceivedText(), "") << "nothing is sent";
      EXPECT_FALSE(d.window.link().loadResult.has_value());
      EXPECT_FALSE(d.window.Form2->isVisible());
      EXPECT_EQ(State(d), before);
    }
  }
}

// "Выход" from the menu, and the window closed as the window manager's close
// button does.
TEST_F(SaveChangesWindowTest, ExitAndClosingTheWindow) {
  const std::vector<std::pair<const char*, std::function<void(Desk&)>>> closers = {
      {"Выход", [](Desk& d) { d.Choose(d.window.N5, d.window.N8); }},
      {"close box", [](Desk& d) { d.window.windowHandle()->close(); }},
  };
  for (const auto& [how, close] : closers) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(how) + ", " + c.name);
      Desk d;
      Prepare(d, c);
      const State before(d);
      close(d);
      EXPECT_EQ(d.dialogs.saveChangesAsked, c.answer ? 1 : 0);
      EXPECT_EQ(d.window.isVisible(), !c.goesOn);
      EXPECT_EQ(d.closed.count(), c.goesOn ? 1 : 0);
      EXPECT_EQ(d.files.files.count(kSavedPath), c.answer == Answer::Save ? 1u : 0u);
      if (!c.goesOn) {
        EXPECT_EQ(State(d), before);
      }
    }
  }
}

TEST_F(SaveChangesWindowTest, ASaveThatDoesNotHappenStopsTheAction) {
  struct Stop {
    const char* name;
    std::optional<std::string> fileName;
    bool failWrites;
  };
  for (const Stop& s : {Stop{"save dialog cancelled", std::nullopt, false}, Stop{"save failed", kSavedPath, true}}) {
    SCOPED_TRACE(s.name);
    Desk d;
    d.Change();
    d.files.failWrites = s.failWrites;
    d.dialogs.saveChanges.push_back(Answer::Save);
    d.dialogs.fileNames.push_back(s.fileName);
    const State before(d);
    d.ChooseVersion(10);
    EXPECT_EQ(State(d), before);
    EXPECT_TRUE(d.model().Modified());
    EXPECT_EQ(d.dialogs.shown.size(), s.failWrites ? 1u : 0u);
    if (s.failWrites) {
      EXPECT_TRUE(d.dialogs.shown[0].error);
    }
    // Nor does the window close.
    d.dialogs.saveChanges.push_back(Answer::Save);
    d.dialogs.fileNames.push_back(s.fileName);
    d.window.windowHandle()->close();
    EXPECT_TRUE(d.window.isVisible());
    EXPECT_EQ(d.closed.count(), 0);
  }
}

TEST_F(SaveChangesWindowTest, TheTitleCarriesNoMarkOfChanges) {
  Desk d;
  d.Change();
  EXPECT_EQ(d.window.windowTitle(), "Vemtaro 9.01.6");
}

// ---------------------------------------------------------------- the real box

TEST_F(SaveChangesWindowTest, TheQuestionBox) {
  struct BoxCase {
    const char* name;
    const char* button;  // object name of the button clicked, or none for Escape
    Answer answer;
  };
  const std::vector<BoxCase> cases = {
      {"Сохранить", "Save", Answer::Save},  {"Не сохранять", "Discard", Answer::Discard},
      {"Отмена", "Cancel", Answer::Cancel}, {"Escape", nullptr, Answer::Cancel},
      {"Enter", "", Answer::Save},
  };
  QWidget owner;
  QtDialogs dialogs(&owner);
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = true;
      EXPECT_EQ(box->text(), "Сохранить изменения в настройках?");
      auto* save = box->findChild<QPushButton*>("Save");
      auto* discard = box->findChild<QPushButton*>("Discard");
      auto* cancel = box->findChild<QPushButton*>("Cancel");
      ASSERT_TRUE(save && discard && cancel);
      EXPECT_EQ(save->text(), "Сохранить");
      EXPECT_EQ(discard->text(), "Не сохранять");
      EXPECT_EQ(cancel->text(), "Отмена");
      EXPECT_EQ(box->buttons().size(), 3);
      EXPECT_EQ(box->defaultButton(), save);
      EXPECT_EQ(box->escapeButton(), cancel);
      if (c.button == nullptr) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else if (std::string(c.button).empty()) {
        QTest::keyClick(box, Qt::Key_Return);
      } else {
        QPushButton* b = box->findChild<QPushButton*>(c.button);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
      }
      // Whatever happened above, the box does not stay open.
      if (box->isVisible()) box->done(QMessageBox::Cancel);
    });
    EXPECT_EQ(dialogs.AskSaveChanges(), c.answer);
    EXPECT_TRUE(seen);
  }
}

}  // namespace
}  // namespace vemtaro::app

namespace vemtaro::app {
namespace {

// Connected to a version 15 controller, a version 12 file opened from the
// menu is not written into it: the error names both versions, and nothing at
// all goes to the controller.
TEST_F(SaveChangesWindowTest, AFileOfAnotherVersionIsNotWritten) {
  Desk d;
  ASSERT_TRUE(d.Connect());
  sim::LinkedController& controller = *d.window.adapter().simulator();
  const Bytes held = controller.controller().image();
  d.files.files["/site-v12.dat"] = OtherFile();
  d.dialogs.fileNames.push_back(std::string("/site-v12.dat"));
  d.Choose(d.window.N5, d.window.N7);
  ASSERT_EQ(d.model().ws.FirmwareVersion, 12);
  ASSERT_TRUE(d.window.N13->isEnabled());
  controller.ClearReceived();
  d.dialogs.Clear();

  d.Choose(d.window.N13, d.window.N15);
  port::RunEventsUntil([] { return false; }, 300);
  ASSERT_EQ(d.dialogs.shown.size(), 1u);
  EXPECT_TRUE(d.dialogs.shown[0].error);
  EXPECT_EQ(d.dialogs.shown[0].text,
            "Конфигурация подготовлена для версии прошивки 12, а контроллер сообщил версию 15.\r"
            "Конфигурация не передана.");
  EXPECT_EQ(controller.ReceivedText(), "") << "nothing is sent, not even the read of the copy";
  EXPECT_EQ(controller.controller().image(), held);
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Сохранение неудачно!!!");
  EXPECT_FALSE(d.window.Form2->isVisible());
  EXPECT_TRUE(d.window.InputEnabled());
  EXPECT_TRUE(d.window.N13->isEnabled());
}

}  // namespace
}  // namespace vemtaro::app
