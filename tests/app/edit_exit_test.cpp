// Whatever way an edit of the pages is left, its exit handler runs once, and
// a save, a transfer, a version change and "Выход" see what every edit shows.
// One table: each kind of edit with an exit handler (a number, an emptied
// number whose phone slots go, a wrong number, the object identifier, the
// password, a sensor identifier, the master key) × each way out, driven by
// hand: clicks, keys, the tab bar, Ctrl+Tab, the menus, the close box and a
// write to the simulated controller. What counts is what reaches the saved
// file, the controller and the question "Сохранить изменения в настройках?".
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "desk.h"
#include "files/settings_file.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "page_control.h"
#include "port/link_host.h"
#include "sim/controller_sim.h"
#include "status_window.h"

namespace vemtaro::app {
namespace {

namespace L = layout;
using Answer = SaveChangesAnswer;

constexpr int kTransferMs = 180000;
constexpr const char* kSavedPath = "/saved/edits.dat";

// A kind of edit: where it is, what the hand types into it and which bytes
// of the image its exit handler must leave.
struct EditKind {
  const char* name;
  int page;            // its tab in the page control
  const char* typed;   // typed over its text; empty: the text is deleted
  const char* other;   // a control of the same page a click moves to
  std::size_t offset;  // the field its handler stores
  std::string bytes;   // the field afterwards
  bool wrong = false;  // a wrong number: the message once, the edit emptied
};

// The number 3 is known and selected in the first phone slot of the first
// reaction block before the hand empties it.
constexpr std::size_t kSlotOfThree = L::kBlockPhones;

const std::vector<EditKind> kEdits = {
    {"AbonentNo1", 0, "+79001112233", "ObjectID", L::kPhonesLong, "+79001112233****"},
    {"AbonentNo3", 0, "", "ObjectID", L::kPhonesLong + 32, std::string(16, '*')},
    {"AbonentNo5", 0, "12a", "ObjectID", L::kPhonesLong + 64, std::string(16, '*'), true},
    {"ObjectID", 0, "OBJ-5", "PasswordEdit", L::kObjectIdLong, "OBJ-5*****"},
    {"PasswordEdit", 0, "pass1234", "ObjectID", L::kPassword, "pass1234"},
    {"ID3", 3, "FEDCBA9876543210", "ID1", L::IdentifierField(3), "FEDCBA9876543210"},
    {"MasterKey", 4, "0123456789ABCDEF", "Vihod", L::kMasterKey, "0123456789ABCDEF"},
};

// A desk whose configuration counts as saved, with the number 3 in use.
struct EditDesk : Desk {
  EditDesk() {
    MainModel& m = model();
    m.pages.AbonentNo[2].text = "+7903";
    m.pages.AbonentNoExit(3);
    m.ws.working.SetByte(kSlotOfThree, '3');
    window.RefreshAll();
    m.MarkUnmodified();
  }

  QLineEdit* Edit(const char* name) { return window.findChild<QLineEdit*>(name); }

  // A click on a tab of the page control.
  void ClickTab(int index) {
    QTabBar* bar = window.RzPageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }

  // The hand goes to the edit's page, clicks into it and types over its text.
  QLineEdit* TypeInto(const EditKind& kind) {
    ClickTab(kind.page);
    QLineEdit* edit = Edit(kind.name);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (*kind.typed == '\0') {
      QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
      QTest::keyClicks(edit, kind.typed);
    }
    return edit;
  }

  // The bytes of a saved file's image, or of the working image.
  std::string Saved(const std::string& path, std::size_t offset, std::size_t length) {
    const auto parsed = ParseSettingsFile(files.files[path]);
    if (!parsed.data || !parsed.data->image) return "(no image)";
    return ConfigImage(*parsed.data->image).Raw(offset, length);
  }
  std::string Working(std::size_t offset, std::size_t length) { return model().ws.working.Raw(offset, length); }

  // "Файл" → "Сохранить" into a file.
  std::string SaveAndRead(std::size_t offset, std::size_t length) {
    dialogs.fileNames.push_back(std::string(kSavedPath));
    Choose(window.N5, window.N6);
    return Saved(kSavedPath, offset, length);
  }
};

// What one way out left: the field, the slot of number 3, and whether the
// question came.
struct Outcome {
  std::string field;
  char slotOfThree = 0;
  int asked = 0;
};

// A way out of the edit, and where its outcome is read.
struct WayOut {
  const char* name;
  bool connected;  // the simulated controller is connected first
  std::function<Outcome(EditDesk&, QLineEdit*, const EditKind&)> leave;
};

// What the saved file holds; without a file (nothing changed, nothing asked),
// what the window held as it went.
Outcome FromFile(EditDesk& d, const EditKind& k) {
  if (d.files.files.count(kSavedPath) == 0) {
    return {d.Working(k.offset, k.bytes.size()), d.Working(kSlotOfThree, 1)[0], d.dialogs.saveChangesAsked};
  }
  return {d.Saved(kSavedPath, k.offset, k.bytes.size()), d.Saved(kSavedPath, kSlotOfThree, 1)[0],
          d.dialogs.saveChangesAsked};
}

// What the simulated controller holds once the transfer chosen has ended.
Outcome Sent(EditDesk& d, const EditKind& k) {
  EXPECT_TRUE(
      port::RunEventsUntil([&] { return d.window.RzMarqueeStatus1->text() == "Сохранение завершено"; }, kTransferMs))
      << d.window.RzMarqueeStatus1->text().toStdString();
  const ConfigImage sent(d.window.adapter().simulator()->controller().image());
  return {sent.Raw(k.offset, k.bytes.size()), static_cast<char>(sent.Raw(kSlotOfThree, 1)[0]),
          d.dialogs.saveChangesAsked};
}

// Leaves the edit by hand, checks that the handler ran at once, then saves.
Outcome LeaveThenSave(EditDesk& d, const EditKind& k, const std::function<void()>& leave) {
  leave();
  EXPECT_EQ(d.Working(k.offset, k.bytes.size()), k.bytes) << "stored as the edit is left";
  d.SaveAndRead(k.offset, k.bytes.size());
  return FromFile(d, k);
}

// The question is answered "Сохранить" into the file.
void AnswerSave(EditDesk& d) {
  d.dialogs.saveChanges.push_back(Answer::Save);
  d.dialogs.fileNames.push_back(std::string(kSavedPath));
}

const std::vector<WayOut> kWaysOut = {
    {"Tab", false,
     [](EditDesk& d, QLineEdit* e, const EditKind& k) {
       return LeaveThenSave(d, k, [&] { QTest::keyClick(e, Qt::Key_Tab); });
     }},
    {"click elsewhere", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       return LeaveThenSave(d, k, [&] {
         QWidget* other = d.window.findChild<QWidget*>(k.other);
         if (auto* spin = qobject_cast<QAbstractSpinBox*>(other)) other = spin->findChild<QLineEdit*>();
         QTest::mouseClick(other, Qt::LeftButton, {}, other->rect().center());
       });
     }},
    {"tab of the page control", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) { return LeaveThenSave(d, k, [&] { d.ClickTab(2); }); }},
    {"Ctrl+Tab", false,
     [](EditDesk& d, QLineEdit* e, const EditKind& k) {
       return LeaveThenSave(d, k, [&] { QTest::keyClick(e, Qt::Key_Tab, Qt::ControlModifier); });
     }},
    {"Файл → Сохранить", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       d.SaveAndRead(k.offset, k.bytes.size());
       return FromFile(d, k);
     }},
    {"Выход", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       AnswerSave(d);
       d.Choose(d.window.N5, d.window.N8);
       EXPECT_EQ(d.closed.count(), 1);
       return FromFile(d, k);
     }},
    {"close box", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       AnswerSave(d);
       d.window.windowHandle()->close();
       EXPECT_EQ(d.closed.count(), 1);
       return FromFile(d, k);
     }},
    {"tab, then Выход", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       d.ClickTab(1);
       AnswerSave(d);
       d.Choose(d.window.N5, d.window.N8);
       EXPECT_EQ(d.closed.count(), 1);
       return FromFile(d, k);
     }},
    {"version v.12", false,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       // Without a change nothing is asked and the version's defaults follow:
       // what counts then is the image as it was.
       const Outcome unchanged{d.Working(k.offset, k.bytes.size()), d.Working(kSlotOfThree, 1)[0], 0};
       AnswerSave(d);
       d.ChooseVersion(12);
       EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
       return d.files.files.count(kSavedPath) == 0 ? unchanged : FromFile(d, k);
     }},
    {"Ctrl+Tab, then a transfer", true,
     [](EditDesk& d, QLineEdit* e, const EditKind& k) {
       QTest::keyClick(e, Qt::Key_Tab, Qt::ControlModifier);
       d.Choose(d.window.N13, d.window.N15);
       return Sent(d, k);
     }},
    {"Alt+О, a transfer chosen by keys", true,
     [](EditDesk& d, QLineEdit* e, const EditKind& k) {
       // The mnemonic of "&Обмен с контроллером" opens it with its first
       // item active; Down moves to "Передать конфигурацию в контроллер".
       QTest::sendKeyEvent(QTest::Click, e, static_cast<Qt::Key>(0x041E), QString(QChar(0x043E)), Qt::AltModifier);
       EXPECT_TRUE(d.window.N13->isVisible());
       QTest::keyClick(d.window.N13, Qt::Key_Down);
       EXPECT_EQ(d.window.N13->activeAction(), d.window.N15);
       QTest::keyClick(d.window.N13, Qt::Key_Return);
       return Sent(d, k);
     }},
    {"the status window", true,
     [](EditDesk& d, QLineEdit*, const EditKind& k) {
       // What the image holds while the status window is up, the window
       // then closed by hand.
       Outcome seen;
       QTimer::singleShot(0, [&] {
         EXPECT_EQ(QApplication::activeModalWidget(), d.window.Form5);
         seen = {d.Working(k.offset, k.bytes.size()), d.Working(kSlotOfThree, 1)[0], d.dialogs.saveChangesAsked};
         d.window.Form5->close();
       });
       d.Choose(d.window.N13, d.window.N23);
       EXPECT_FALSE(d.window.Form5->isVisible());
       return seen;
     }},
};

// The ways out whose outcome comes with the question: those that replace or
// end the configuration in use.
bool Asks(const WayOut& way) {
  const std::string name = way.name;
  return name == "Выход" || name == "close box" || name == "tab, then Выход" || name == "version v.12";
}

class EditExitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setQuitOnLastWindowClosed(false);
  }
};

TEST_F(EditExitTest, EveryWayOutOfAnEditRunsItsHandlerOnce) {
  for (const WayOut& way : kWaysOut) {
    for (const EditKind& kind : kEdits) {
      // A transfer takes seconds: the numbers and the object identifier.
      if (way.connected && (kind.page != 0 || std::string(kind.name) == "PasswordEdit")) continue;
      SCOPED_TRACE(std::string(kind.name) + " × " + way.name);
      EditDesk d;
      if (way.connected) {
        ASSERT_TRUE(d.Connect());
        // The write alone: no copy kept before, no read-back after.
        d.window.link().verifyAfterWrite = false;
        d.window.link().backups = nullptr;
        d.model().MarkUnmodified();
      }
      const bool changes = kind.bytes != d.Working(kind.offset, kind.bytes.size());
      QLineEdit* edit = d.TypeInto(kind);
      const Outcome out = way.leave(d, edit, kind);
      EXPECT_EQ(out.field, kind.bytes);
      // An emptied number 3 leaves the phone slots that selected it.
      EXPECT_EQ(out.slotOfThree, std::string(kind.name) == "AbonentNo3" ? 'N' : '3');
      if (Asks(way)) {
        EXPECT_EQ(out.asked, changes ? 1 : 0);
      }
      // A wrong number: its message once, whichever way it was left.
      const std::vector<std::string> expected =
          kind.wrong ? std::vector<std::string>{"Неправильно набран номер"} : std::vector<std::string>{};
      EXPECT_EQ(d.dialogs.Texts(), expected);
      if (kind.wrong) {
        EXPECT_EQ(edit->text(), "");
      }
    }
  }
}

// An object identifier typed under version 15 stays in its edit through
// versions 12 and back: version 12 stores its first 4 characters, version 15
// the whole text again; new typing under version 12 adds nothing to it.
TEST_F(EditExitTest, AVersionRoundTripKeepsTheTypedObjectIdentifier) {
  EditDesk d;
  QLineEdit* edit = d.TypeInto({"ObjectID", 0, "ABCDEFGHIJ", "", L::kObjectIdLong, ""});
  QTest::keyClick(edit, Qt::Key_Tab);
  for (const int version : {12, 15}) {
    SCOPED_TRACE(version);
    d.dialogs.saveChanges.push_back(Answer::Discard);
    d.ChooseVersion(version);
    ASSERT_EQ(d.model().ws.FirmwareVersion, version);
    EXPECT_EQ(edit->text(), "ABCDEFGHIJ");
    if (version == 12) {
      EXPECT_EQ(d.Working(L::kObjectIdShort, 4), "ABCD");
      QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
      QTest::keyClick(edit, Qt::Key_End);
      QTest::keyClicks(edit, "K");
      QTest::keyClick(edit, Qt::Key_Tab);
      EXPECT_EQ(edit->text(), "ABCDEFGHIJ");
      EXPECT_EQ(d.Working(L::kObjectIdShort, 4), "ABCD");
    }
  }
  EXPECT_EQ(d.dialogs.saveChangesAsked, 2);
  EXPECT_EQ(d.SaveAndRead(L::kObjectIdLong, 10), "ABCDEFGHIJ");
  EXPECT_TRUE(d.dialogs.Texts().empty());

  // Under version 12 again: what is deleted cannot be typed again beyond the
  // version's width, and a text typed anew keeps to it.
  d.ChooseVersion(12);
  QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
  QTest::keyClick(edit, Qt::Key_End);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "K");
  EXPECT_EQ(edit->text(), "ABCDEFGHI");
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, "WXYZ12");
  EXPECT_EQ(edit->text(), "WXYZ");
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(d.Working(L::kObjectIdShort, 4), "WXYZ");
}

}  // namespace
}  // namespace vemtaro::app
