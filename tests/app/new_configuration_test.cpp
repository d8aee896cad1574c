// "Файл" → "Новая конфигурация" (Ctrl+N) driven by hand: after the question
// about unsaved changes and the choice of the version, the configuration in
// use is byte for byte the one vemtaro-cli new makes for that version.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>

#include "desk.h"
#include "files/settings_file.h"
#include "marquee_label.h"
#include "model/cp1251.h"
#include "qt_dialogs.h"
#include "tree_view.h"
#include "window/fresh_configuration.h"

namespace vemtaro::app {
namespace {

// What vemtaro-cli new --firmware N writes.
std::string CliNew(int version) {
  QTemporaryDir dir;
  if (!dir.isValid()) return "(no folder)";
  const QString out = dir.filePath("new.dat");
  QProcess cli;
  cli.start(VEMTARO_CLI_PATH, {"new", "--firmware", QString::number(version), "-o", out});
  if (!cli.waitForFinished(30000) || cli.exitCode() != 0) return "(vemtaro-cli failed)";
  QFile file(out);
  if (!file.open(QIODevice::ReadOnly)) return "(no file)";
  return file.readAll().toStdString();
}

// Types into an edit of the pages and leaves it with Tab, as a hand does.
void Type(Desk& d, const char* name, const QString& text) {
  auto* edit = d.window.findChild<QLineEdit*>(name);
  ASSERT_NE(edit, nullptr) << name;
  d.window.RzPageControl1->setCurrentWidget(d.window.findChild<QWidget*>("Common"));
  edit->setFocus(Qt::TabFocusReason);
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Tab);
}

void CtrlKey(Desk& d, Qt::Key key) { QTest::keyClick(&d.window, key, Qt::ControlModifier); }

// A configuration of its own: an object identifier, a number and a name of
// input 1.
void MakeChanges(Desk& d) {
  Type(d, "ObjectID", "OBJ-17");
  Type(d, "AbonentNo1", "+79001112233");
  d.model().Tree1.top(0)->text = "Калитка";
  d.window.RefreshAll();
  ASSERT_TRUE(d.model().Modified());
}

TEST(NewConfiguration, CtrlNGivesWhatTheCommandLineMakesInEveryVersion) {
  ASSERT_NE(CliNew(15), "(vemtaro-cli failed)");
  for (int version = kMinFirmware; version <= kMaxFirmware; ++version) {
    SCOPED_TRACE(version);
    Desk d;
    MakeChanges(d);
    d.dialogs.saveChanges.push_back(SaveChangesAnswer::Discard);
    d.dialogs.firmwareVersions.push_back(version);
    CtrlKey(d, Qt::Key_N);

    EXPECT_EQ(d.dialogs.saveChangesAsked, 1);
    ASSERT_EQ(d.dialogs.firmwareVersionsOffered.size(), 1u);
    EXPECT_EQ(d.dialogs.firmwareVersionsOffered[0], 15) << "the version in use is chosen first";
    EXPECT_EQ(d.model().ws.FirmwareVersion, version);
    EXPECT_FALSE(d.model().Modified());
    EXPECT_EQ(d.window.RzMarqueeStatus1->text(), "Новая конфигурация, версия прошивки " + QString::number(version));
    EXPECT_EQ(d.window.findChild<QLineEdit*>("ObjectID")->text(), "");
    EXPECT_EQ(d.window.findChild<QLineEdit*>("AbonentNo1")->text(), "");
    EXPECT_EQ(d.window.Tree1->topLevelItem(0)->text(0), "Вход 1");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(d.window.versionItems[i]->isChecked(), i == version - kMinFirmware);
    EXPECT_EQ(d.model().filePlaces.file(), "");

    // Saved with Ctrl+S, it is byte for byte the command line's file, and the
    // same as the core gives.
    d.dialogs.fileNames.push_back("/work/new.dat");
    CtrlKey(d, Qt::Key_S);
    ASSERT_EQ(d.files.files.count("/work/new.dat"), 1u);
    const std::string saved = d.files.files["/work/new.dat"];
    EXPECT_EQ(saved, CliNew(version));
    EXPECT_EQ(saved, FreshSettingsFile(version).value_or(""));
    EXPECT_EQ(saved.substr(0, 4), "V" + std::to_string(version) + "*");
  }
}

// A cancel at either question leaves everything as it was; "Сохранить" saves
// first. The version dialog offers the version in use.
TEST(NewConfiguration, ACancelAtEitherQuestionChangesNothing) {
  Desk d;
  d.ChooseVersion(12);
  ASSERT_EQ(d.model().ws.FirmwareVersion, 12);
  MakeChanges(d);
  const Bytes before = d.model().ws.working.bytes();
  const QString status = d.window.RzMarqueeStatus1->text();

  d.dialogs.saveChanges.push_back(SaveChangesAnswer::Cancel);
  CtrlKey(d, Qt::Key_N);
  EXPECT_EQ(d.dialogs.saveChangesAsked, 1);
  EXPECT_TRUE(d.dialogs.firmwareVersionsOffered.empty()) << "no version asked after Отмена";

  d.dialogs.saveChanges.push_back(SaveChangesAnswer::Discard);
  d.dialogs.firmwareVersions.push_back(std::nullopt);
  d.Choose(d.window.N5, d.window.NewConfiguration);
  EXPECT_EQ(d.dialogs.saveChangesAsked, 2);
  ASSERT_EQ(d.dialogs.firmwareVersionsOffered, std::vector<int>{12});

  EXPECT_EQ(d.model().ws.FirmwareVersion, 12);
  EXPECT_EQ(d.model().ws.working.bytes(), before);
  EXPECT_TRUE(d.model().Modified());
  EXPECT_EQ(d.window.RzMarqueeStatus1->text(), status);
  EXPECT_EQ(d.window.findChild<QLineEdit*>("ObjectID")->text(), "OBJ-") << "version 12 holds four characters";
  EXPECT_EQ(d.window.Tree1->topLevelItem(0)->text(0), "Калитка");

  // "Сохранить": the changes go to a file, then the new configuration comes.
  d.dialogs.saveChanges.push_back(SaveChangesAnswer::Save);
  d.dialogs.fileNames.push_back("/work/kept.dat");
  d.dialogs.firmwareVersions.push_back(14);
  CtrlKey(d, Qt::Key_N);
  ASSERT_EQ(d.files.files.count("/work/kept.dat"), 1u);
  EXPECT_NE(d.files.files["/work/kept.dat"].find(Utf8ToCp1251("Калитка")), std::string::npos);
  EXPECT_EQ(d.model().ws.FirmwareVersion, 14);
  EXPECT_EQ(d.model().ws.working.bytes(), *ParseSettingsFile(*FreshSettingsFile(14)).data->image);
  EXPECT_FALSE(d.model().Modified());
}

// The real dialog: the six versions with the current one chosen; the keys
// choose another, Escape cancels.
TEST(NewConfiguration, TheVersionDialogListsTheVersions) {
  QWidget owner;
  QtDialogs dialogs(&owner);
  struct Case {
    const char* name;
    int current;
    std::function<void(QDialog*)> hand;
    std::optional<int> chosen;
  };
  const Case cases[] = {
      {"Enter takes the current one", 13, [](QDialog* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Return); }, 13},
      {"Down, then OK", 13,
       [](QDialog* w) {
         QTest::keyClick(w->focusWidget(), Qt::Key_Down);
         auto* box = w->findChild<QDialogButtonBox*>();
         QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
       },
       14},
      {"Up from a version outside the list", 9,
       [](QDialog* w) {
         QTest::keyClick(w->focusWidget(), Qt::Key_Up);
         QTest::keyClick(w->focusWidget(), Qt::Key_Return);
       },
       14},
      {"Escape", 11, [](QDialog* w) { QTest::keyClick(w, Qt::Key_Escape); }, std::nullopt},
      {"Отмена", 11,
       [](QDialog* w) {
         auto* box = w->findChild<QDialogButtonBox*>();
         EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text(), "Отмена");
         QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
       },
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QStringList items;
    int currentRow = -1;
    QString title;
    QString prompt;
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      title = w->windowTitle();
      prompt = w->findChild<QLabel*>("Prompt")->text();
      auto* list = w->findChild<QListWidget*>("Versions");
      for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
      currentRow = list->currentRow();
      EXPECT_EQ(w->focusWidget(), list);
      c.hand(w);
    });
    EXPECT_EQ(dialogs.ChooseFirmwareVersion(c.current), c.chosen);
    EXPECT_EQ(title, "Новая конфигурация");
    EXPECT_EQ(prompt, "Версия прошивки новой конфигурации:");
    EXPECT_EQ(items, QStringList({"v. 10", "v. 11", "v. 12", "v. 13", "v. 14", "v. 15"}));
    EXPECT_EQ(currentRow, c.current >= 10 && c.current <= 15 ? c.current - 10 : 5);
  }
}

}  // namespace
}  // namespace vemtaro::app
