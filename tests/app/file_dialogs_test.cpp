// Where the settings-file dialogs start while the program runs: in the folder
// of the file last chosen, opened or saved; the save dialog with a name made
// from the object identifier, else the name of the file in use, else
// "vemtaro.dat". Nothing of it is kept for the next start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "desk.h"
#include "hand.h"
#include "qt_dialogs.h"

namespace vemtaro::app {
namespace {

void CtrlKey(Desk& d, Qt::Key key) { QTest::keyClick(&d.window, key, Qt::ControlModifier); }

void TypeObjectId(Desk& d, const QString& text) {
  d.window.RzPageControl1->setCurrentIndex(0);
  auto* edit = d.window.findChild<QLineEdit*>("ObjectID");
  edit->setFocus(Qt::MouseFocusReason);
  edit->selectAll();
  // Letters beyond ASCII as a keyboard sends them: the key of the capital
  // letter, the text of the letter typed.
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(edit, c.toLatin1());
    } else {
      QTest::sendKeyEvent(QTest::Click, edit, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c), {});
    }
  }
  QTest::keyClick(edit, Qt::Key_Tab);
}

TEST(FileDialogs, StartInTheFolderLastUsedWithANameFromTheObjectIdentifier) {
  Desk d;
  d.files.files["/home/u/objects/a.dat"] = OtherFile();  // no object identifier
  struct Step {
    const char* name;
    std::function<void(Desk&)> hand;
    bool save;                          // which dialog the step shows
    std::optional<std::string> chosen;  // what the dialog answers
    FileDialogStart start;              // where the dialog was asked to start
  };
  const Step steps[] = {
      {"the first save", [](Desk& dd) { CtrlKey(dd, Qt::Key_S); }, true, "/work/out/first.dat", {"", "vemtaro.dat"}},
      {"an open starts where the save went",
       [](Desk& dd) { CtrlKey(dd, Qt::Key_O); },
       false,
       "/home/u/objects/a.dat",
       {"/work/out", ""}},
      {"a save suggests the file opened",
       [](Desk& dd) { CtrlKey(dd, Qt::Key_S); },
       true,
       std::nullopt,
       {"/home/u/objects", "a.dat"}},
      {"a new configuration has no file",
       [](Desk& dd) {
         dd.dialogs.firmwareVersions.push_back(15);
         CtrlKey(dd, Qt::Key_N);
         CtrlKey(dd, Qt::Key_S);
       },
       true,
       std::nullopt,
       {"/home/u/objects", "vemtaro.dat"}},
      {"the object identifier, made fit for a file name",
       [](Desk& dd) {
         TypeObjectId(dd, " .Склад/2 ");
         CtrlKey(dd, Qt::Key_S);
       },
       true,
       "/srv/x/Склад-2.dat",
       {"/home/u/objects", "Склад-2.dat"}},
      {"the save of the question before an open",
       [](Desk& dd) {
         TypeObjectId(dd, "K\\7");
         dd.dialogs.saveChanges.push_back(SaveChangesAnswer::Save);
         CtrlKey(dd, Qt::Key_O);
       },
       true,
       std::nullopt,
       {"/srv/x", "K-7.dat"}},
  };
  std::size_t saves = 0;
  std::size_t opens = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    d.dialogs.fileNames.push_back(s.chosen);
    s.hand(d);
    const std::vector<FileDialogStart>& starts = s.save ? d.dialogs.saveStarts : d.dialogs.openStarts;
    std::size_t& seen = s.save ? saves : opens;
    ASSERT_EQ(starts.size(), seen + 1);
    EXPECT_EQ(starts[seen].folder, s.start.folder);
    EXPECT_EQ(starts[seen].name, s.start.name);
    ++seen;
    d.dialogs.fileNames.clear();
  }
  EXPECT_EQ(d.files.files.count("/srv/x/Склад-2.dat"), 1u);
}

// The program's dialogs start in the folder given, the save dialog with the
// name filled in; the name chosen comes back whole.
TEST(FileDialogs, TheDialogsStartWhereTheyAreTold) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QWidget owner;
  QtDialogs dialogs(&owner);
  const std::string folder = QDir(dir.path()).canonicalPath().toStdString();

  QString shownFolder;
  QString typed;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), "SaveDialog1");
    shownFolder = dialog->directory().canonicalPath();
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    typed = name->text();
    QTest::keyClick(name, Qt::Key_Return);
  });
  const auto saved = dialogs.AskSaveFileFrom({folder, "Склад-2.dat"});
  EXPECT_EQ(shownFolder.toStdString(), folder);
  EXPECT_EQ(typed, "Склад-2.dat");
  EXPECT_EQ(saved, folder + "/Склад-2.dat");

  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), "OpenDialog1");
    shownFolder = dialog->directory().canonicalPath();
    dialog->reject();
  });
  EXPECT_EQ(dialogs.AskOpenFileFrom({folder, ""}), std::nullopt);
  EXPECT_EQ(shownFolder.toStdString(), folder);
}

}  // namespace
}  // namespace vemtaro::app
