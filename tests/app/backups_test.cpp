// The desktop's backups: the folder store the link hands its copies to (paths,
// no copy ever replaced, hostile object identifiers, a folder that cannot be
// written), the window "Резервные копии" and the two write options of
// "Дополнительные настройки", driven by hand.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backup_store.h"
#include "backups_window.h"
#include "main_window.h"
#include "marquee_label.h"
#include "model/layout.h"
#include "scripted_dialogs.h"
#include "shell/qt_file_store.h"

namespace vemtaro::app {
namespace {

// Nothing these tests remember lands in the user's own settings or data
// folders; set before any window reads its settings.
const bool kTestMode = [] {
  QStandardPaths::setTestModeEnabled(true);
  return true;
}();

const QDateTime kNoon(QDate(2026, 3, 4), QTime(12, 5, 9));

// A settings file of a version, with an object identifier of its own.
std::string SettingsFile(int version, const std::string& objectId = {}) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  m.ApplyProfile(version);
  if (!objectId.empty()) {
    if (versions::LongObjectId(version)) {
      m.ws.working.WriteText(layout::kObjectIdLong, layout::kObjectIdLongLength, objectId);
    } else {
      m.ws.working.WriteText(layout::kObjectIdShort, layout::kObjectIdShortLength, objectId);
    }
  }
  return *m.SettingsFileBytes();
}

std::string ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll().toStdString();
}

// Every file and folder below a folder, relative to it.
QStringList Everything(const QString& folder) {
  QStringList all;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) all << QDir(folder).relativeFilePath(it.next());
  all.sort();
  return all;
}

class BackupStoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }
  QTemporaryDir temp;
  QString root() const { return temp.filePath("backups"); }
  QDateTime now = kNoon;
  BackupFolderStore store{root(), [this] { return now; }};

  std::string Keep(const std::string& objectId, const std::string& bytes = "V15*...") {
    std::string where;
    std::string error;
    EXPECT_TRUE(store.Keep({objectId, 15, bytes}, where, error)) << error;
    EXPECT_TRUE(error.empty()) << error;
    return where;
  }
};

TEST_F(BackupStoreTest, TheDefaultFolderIsInTheDesktopProgramsDataFolder) {
  // Whichever program asks (these tests, vemtaro-cli): the desktop's folder.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  ASSERT_FALSE(data.isEmpty());
  EXPECT_EQ(BackupFolderStore::DefaultRoot(), QFileInfo(data).path() + "/Vemtaro/backups");
}

// Without a home folder the system would name a folder under "/": no folder
// then, and no copy (a write then stops as for any copy that is not kept).
TEST_F(BackupStoreTest, WithoutAHomeFolderThereIsNoDefaultFolder) {
  const QByteArray home = qgetenv("HOME");
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qunsetenv("XDG_DATA_HOME");
  for (const char* value : std::initializer_list<const char*>{"", "/", nullptr}) {
    SCOPED_TRACE(value == nullptr ? "unset" : value);
    if (value == nullptr) {
      qunsetenv("HOME");
    } else {
      qputenv("HOME", value);
    }
    EXPECT_EQ(BackupFolderStore::DefaultRoot(), QString());
  }
  // A data folder of its own is enough.
  qputenv("XDG_DATA_HOME", temp.path().toUtf8());
  EXPECT_FALSE(BackupFolderStore::DefaultRoot().isEmpty());
  qputenv("HOME", home);
  if (dataHome.isNull()) {
    qunsetenv("XDG_DATA_HOME");
  } else {
    qputenv("XDG_DATA_HOME", dataHome);
  }
}

// The copies hold the controller's password and phone numbers: only the user
// may read them, whatever the umask, and folders that were open are closed.
TEST_F(BackupStoreTest, CopiesAndTheirFoldersArePrivate) {
  const auto modeOf = [](const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 01;
  };
  const mode_t before = ::umask(0);
  // Folders made by the store, the folders above the backups folder too.
  store.SetRoot(temp.filePath("data/Vemtaro/backups"));
  const QString first = QString::fromStdString(Keep("OBJ"));
  // Folders made open by an earlier version of the program are closed.
  ASSERT_EQ(::chmod(QFile::encodeName(store.Root()).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(store.Root() + "/OBJ").constData(), 0755), 0);
  const QString second = QString::fromStdString(Keep("OBJ"));
  ::umask(before);
  EXPECT_EQ(modeOf(first), 0600u);
  EXPECT_EQ(modeOf(second), 0600u);
  for (const QString& folder :
       {temp.filePath("data"), temp.filePath("data/Vemtaro"), store.Root(), store.Root() + "/OBJ"}) {
    EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
  }
}

// A name that is taken when the copy is made (a file, or a link even to
// nothing, that appeared there) is passed over and left as it is.
TEST_F(BackupStoreTest, ACopyIsNeverWrittenOverAFileOrThroughALink) {
  ASSERT_TRUE(QDir().mkpath(root() + "/OBJ"));
  const QString secret = temp.filePath("secret");
  ASSERT_TRUE(QFile::link(secret, root() + "/OBJ/2026-03-04_12-05-09.dat"));
  {
    QFile taken(root() + "/OBJ/2026-03-04_12-05-09-2.dat");
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("taken");
  }
  EXPECT_EQ(QString::fromStdString(Keep("OBJ", "copy")), root() + "/OBJ/2026-03-04_12-05-09-3.dat");
  EXPECT_FALSE(QFileInfo::exists(secret));
  EXPECT_EQ(ReadFile(root() + "/OBJ/2026-03-04_12-05-09-2.dat"), "taken");
}

TEST_F(BackupStoreTest, ACopyIsAFileNamedAfterItsTimeInItsObjectsFolder) {
  const std::string bytes = SettingsFile(15, "OBJ-17");
  const std::string where = Keep("OBJ-17", bytes);
  EXPECT_EQ(QString::fromStdString(where), root() + "/OBJ-17/2026-03-04_12-05-09.dat");
  EXPECT_EQ(ReadFile(QString::fromStdString(where)), bytes);
  EXPECT_EQ(Everything(root()), (QStringList{"OBJ-17", "OBJ-17/2026-03-04_12-05-09.dat"}));
}

TEST_F(BackupStoreTest, ACopyWithoutAnIdentifierHasAFolderToo) {
  const std::string where = Keep("");
  EXPECT_EQ(QString::fromStdString(where), root() + "/без идентификатора/2026-03-04_12-05-09.dat");
}

TEST_F(BackupStoreTest, CopiesOfTheSameSecondAreNeverReplaced) {
  const std::string first = Keep("OBJ", "first");
  const std::string second = Keep("OBJ", "second");
  const std::string third = Keep("OBJ", "third");
  now = now.addSecs(1);
  const std::string next = Keep("OBJ", "next");
  EXPECT_EQ(QString::fromStdString(first), root() + "/OBJ/2026-03-04_12-05-09.dat");
  EXPECT_EQ(QString::fromStdString(second), root() + "/OBJ/2026-03-04_12-05-09-2.dat");
  EXPECT_EQ(QString::fromStdString(third), root() + "/OBJ/2026-03-04_12-05-09-3.dat");
  EXPECT_EQ(QString::fromStdString(next), root() + "/OBJ/2026-03-04_12-05-10.dat");
  EXPECT_EQ(ReadFile(QString::fromStdString(first)), "first");
  EXPECT_EQ(ReadFile(QString::fromStdString(second)), "second");
  EXPECT_EQ(ReadFile(QString::fromStdString(third)), "third");
  // Another object in the same second starts its own count.
  EXPECT_EQ(QString::fromStdString(Keep("OBJ2")), root() + "/OBJ2/2026-03-04_12-05-10.dat");
}

TEST_F(BackupStoreTest, HostileIdentifiersStayInsideTheBackupsFolder) {
  // clang-format off
  const std::vector<std::string> ids = {"../../x", "a/b",   "con",     "",       "...",      "..",
                                        ".",       "/abs",  "..\\..\\y", "C:\\w", "\x01\x02\n\t", " . ",
                                        std::string("a\0b", 3), "*?<>|\"", "Объект 1"};
  // clang-format on
  const QString canonicalRoot = [&] {
    QDir().mkpath(root());
    return QFileInfo(root()).canonicalFilePath();
  }();
  for (const std::string& id : ids) {
    SCOPED_TRACE(id);
    const QString where = QString::fromStdString(Keep(id));
    const QFileInfo file(where);
    ASSERT_TRUE(file.exists());
    EXPECT_EQ(QFileInfo(file.canonicalPath()).canonicalPath(), canonicalRoot);
    EXPECT_EQ(file.dir().dirName().toStdString(), BackupFolderName(id));
  }
  // Nothing was written beside the backups folder.
  EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"backups"});
}

TEST_F(BackupStoreTest, WithoutADataFolderNothingIsKept) {
  BackupFolderStore none{QString(), [this] { return now; }};
  std::string where;
  std::string error;
  EXPECT_FALSE(none.Keep({"OBJ", 15, "x"}, where, error));
  EXPECT_EQ(error, "Не найдена папка данных программы: у пользователя нет домашней папки (HOME)");
  EXPECT_TRUE(where.empty());
}

// A folder that cannot be written: the failure names the path and the
// system's reason, and nothing is left behind. Permissions do not stop root,
// so root runs this in a child that gives its privileges up first.
void CheckReadOnlyFolders() {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString root = temp.filePath("backups");
  ASSERT_TRUE(QDir().mkpath(root + "/OBJ"));
  BackupFolderStore store{root, [] { return kNoon; }};
  const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
  const auto writable = readOnly | QFileDevice::WriteOwner;

  // The object's folder cannot be made.
  ASSERT_TRUE(QFile::setPermissions(root, readOnly));
  std::string where;
  std::string error;
  EXPECT_FALSE(store.Keep({"NEW", 15, "bytes"}, where, error));
  EXPECT_NE(error.find(root.toStdString() + "/NEW: "), std::string::npos) << error;
  EXPECT_NE(error.find("denied"), std::string::npos) << error;
  EXPECT_TRUE(where.empty());

  // The object's folder exists and cannot take a file.
  ASSERT_TRUE(QFile::setPermissions(root, writable));
  ASSERT_TRUE(QFile::setPermissions(root + "/OBJ", readOnly));
  error.clear();
  EXPECT_FALSE(store.Keep({"OBJ", 15, "bytes"}, where, error));
  EXPECT_NE(error.find(root.toStdString() + "/OBJ/2026-03-04_12-05-09.dat: "), std::string::npos) << error;
  EXPECT_TRUE(where.empty());
  ASSERT_TRUE(QFile::setPermissions(root + "/OBJ", writable));

  EXPECT_EQ(Everything(root), QStringList{"OBJ"}) << "nothing half-written";
}

constexpr const char* kChildVariable = "VEMTARO_BACKUP_STORE_CHILD";

TEST(BackupStoreReadOnly, AFolderThatCannotBeWritten) {
  if (geteuid() != 0) {
    CheckReadOnlyFolders();
    return;
  }
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChildVariable, "1");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(
      QCoreApplication::applicationFilePath(),
      {"--gtest_also_run_disabled_tests", "--gtest_filter=BackupStoreReadOnly.DISABLED_InAChildWithoutPrivileges"});
  ASSERT_TRUE(child.waitForFinished(120000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  if (output.contains("[  SKIPPED ]")) GTEST_SKIP() << output.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Run only by AFolderThatCannotBeWritten, in a child of its own.
TEST(BackupStoreReadOnly, DISABLED_InAChildWithoutPrivileges) {
  if (qEnvironmentVariableIsEmpty(kChildVariable))
    GTEST_SKIP() << "runs only as the child of AFolderThatCannotBeWritten";
  constexpr uid_t kNobody = 65534;
  if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
    GTEST_SKIP() << "the read-only part needs a user without privileges; setuid failed: " << std::strerror(errno);
  }
  ASSERT_NE(geteuid(), 0u);
  CheckReadOnlyFolders();
}

// ---------------------------------------------------------------- the list

class BackupsListTest : public BackupStoreTest {
 protected:
  void SetUp() override {
    now = QDateTime(QDate(2026, 1, 10), QTime(9, 0, 0));
    Keep("OBJ-1", SettingsFile(15, "OBJ-1"));
    now = QDateTime(QDate(2026, 2, 1), QTime(18, 30, 0));
    Keep("OB12", SettingsFile(12, "OB12"));
    Keep("OB12", SettingsFile(13, "OB12"));  // the same second: "-2"
    now = QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59));
    Keep("OBJ-1", "not a settings file");
  }
};

TEST_F(BackupsListTest, TheStoreListsNewestFirstWithTheirVersions) {
  const std::vector<KeptCopy> copies = store.List();
  ASSERT_EQ(copies.size(), 4u);
  EXPECT_EQ(copies[0].object, "OB12");
  EXPECT_EQ(copies[0].number, 2);
  EXPECT_EQ(copies[0].version, 13);
  EXPECT_EQ(copies[1].object, "OB12");
  EXPECT_EQ(copies[1].version, 12);
  EXPECT_EQ(copies[2].object, "OBJ-1");
  EXPECT_EQ(copies[2].version, 15);
  EXPECT_EQ(copies[2].time, QDateTime(QDate(2026, 1, 10), QTime(9, 0, 0)));
  EXPECT_EQ(copies[3].object, "OBJ-1");
  EXPECT_FALSE(copies[3].version.has_value());
  EXPECT_FALSE(copies[3].problem.isEmpty());
}

struct ShownWindow {
  BackupsWindow window;
  std::vector<QString> opened;
  bool accept = true;
  explicit ShownWindow(const BackupFolderStore& store)
      : window(store, [this](const QString& path) {
          opened.push_back(path);
          return accept;
        }) {
    window.show();
  }
  QStringList Row(int i) const {
    QTreeWidgetItem* item = window.Copies->topLevelItem(i);
    return {item->text(0), item->text(1), item->text(2)};
  }
  void ClickRow(int i) {
    QTreeWidgetItem* item = window.Copies->topLevelItem(i);
    QTest::mouseClick(window.Copies->viewport(), Qt::LeftButton, {}, window.Copies->visualItemRect(item).center());
  }
};

TEST_F(BackupsListTest, TheWindowListsTheCopies) {
  ShownWindow w(store);
  EXPECT_EQ(w.window.windowTitle(), "Резервные копии");
  QTreeWidgetItem* header = w.window.Copies->headerItem();
  EXPECT_EQ(header->text(0), "Объект");
  EXPECT_EQ(header->text(1), "Дата и время");
  EXPECT_EQ(header->text(2), "Версия прошивки");
  EXPECT_EQ(w.window.OpenButton->text(), "Открыть");
  EXPECT_EQ(w.window.CloseButton->text(), "Закрыть");
  ASSERT_EQ(w.window.Copies->topLevelItemCount(), 4);
  EXPECT_EQ(w.Row(0), (QStringList{"OB12", "01.02.2026 18:30:00", "13"}));
  EXPECT_EQ(w.Row(1), (QStringList{"OB12", "01.02.2026 18:30:00", "12"}));
  EXPECT_EQ(w.Row(2), (QStringList{"OBJ-1", "10.01.2026 09:00:00", "15"}));
  EXPECT_EQ(w.Row(3), (QStringList{"OBJ-1", "31.12.2025 23:59:59", "Файл не читается"}));
  EXPECT_FALSE(w.window.Copies->topLevelItem(3)->toolTip(2).isEmpty());
  EXPECT_TRUE(w.window.Copies->isVisible());
  EXPECT_FALSE(w.window.Empty->isVisible());
}

TEST_F(BackupsListTest, OpenOpensTheChosenCopyAndCloses) {
  ShownWindow w(store);
  w.ClickRow(2);
  QTest::mouseClick(w.window.OpenButton, Qt::LeftButton);
  ASSERT_EQ(w.opened.size(), 1u);
  EXPECT_EQ(w.opened[0], root() + "/OBJ-1/2026-01-10_09-00-00.dat");
  EXPECT_FALSE(w.window.isVisible());
  EXPECT_EQ(w.window.result(), QDialog::Accepted);
}

TEST_F(BackupsListTest, ADoubleClickOpensToo) {
  ShownWindow w(store);
  QTreeWidgetItem* item = w.window.Copies->topLevelItem(1);
  // Through the window, as the system delivers a double click: press,
  // release, press taken as a double click, release.
  QWidget* viewport = w.window.Copies->viewport();
  const QPoint at = viewport->mapTo(&w.window, w.window.Copies->visualItemRect(item).center());
  ASSERT_NE(w.window.windowHandle(), nullptr);
  QTest::mouseDClick(w.window.windowHandle(), Qt::LeftButton, {}, at);
  ASSERT_EQ(w.opened.size(), 1u);
  EXPECT_EQ(w.opened[0], root() + "/OB12/2026-02-01_18-30-00.dat");
}

TEST_F(BackupsListTest, ACopyNotOpenedKeepsTheWindow) {
  ShownWindow w(store);
  w.accept = false;
  QTest::mouseClick(w.window.OpenButton, Qt::LeftButton);
  ASSERT_EQ(w.opened.size(), 1u);
  EXPECT_EQ(w.opened[0], root() + "/OB12/2026-02-01_18-30-00-2.dat") << "the newest is chosen";
  EXPECT_TRUE(w.window.isVisible());
  QTest::mouseClick(w.window.CloseButton, Qt::LeftButton);
  EXPECT_FALSE(w.window.isVisible());
  EXPECT_EQ(w.opened.size(), 1u);
}

TEST_F(BackupStoreTest, AnEmptyListSaysSo) {
  ShownWindow w(store);
  EXPECT_EQ(w.window.Copies->topLevelItemCount(), 0);
  EXPECT_TRUE(w.window.Empty->isVisible());
  EXPECT_EQ(w.window.Empty->text(), "Резервных копий нет");
  EXPECT_FALSE(w.window.Copies->isVisible());
  EXPECT_FALSE(w.window.OpenButton->isEnabled());
  QTest::mouseClick(w.window.OpenButton, Qt::LeftButton);
  EXPECT_TRUE(w.opened.empty());
}

// ---------------------------------------------------------------- the main window

// Runs `act` on the modal window of type T once it is up (from the event
// loop of that window, on 0 ms timers).
template <typename T>
void WhenModal(std::function<void(T*)> act, int triesLeft = 1000) {
  QTimer::singleShot(0, [act, triesLeft] {
    if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(modal);
    } else if (triesLeft > 0) {
      WhenModal<T>(act, triesLeft - 1);
    } else {
      ADD_FAILURE() << "the window did not open";
    }
  });
}

class BackupsMenuTest : public BackupsListTest {
 protected:
  static void SetUpTestSuite() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings("Vemtaro", "Vemtaro").clear();
  }
  static void TearDownTestSuite() { QSettings("Vemtaro", "Vemtaro").clear(); }

  testing::ScriptedDialogs dialogs;
  shell::QtFileStore files;
  std::unique_ptr<TForm1> window;

  void Start() {
    window = std::make_unique<TForm1>(dialogs, files);
    window->FormShow();
    window->show();
    QApplication::setActiveWindow(window.get());
  }
  void SetUp() override {
    BackupsListTest::SetUp();
    Start();
    window->backupStore().SetRoot(root());
  }

  void OpenMenu(QMenu* menu) {
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(menu->isVisible());
  }
  void Choose(QMenu* menu, QAction* item) {
    OpenMenu(menu);
    ASSERT_TRUE(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
  }
};

TEST_F(BackupsMenuTest, TheFileMenuOpensACopyThroughTheQuestion) {
  QList<QAction*> items = window->N5->actions();
  const auto open = items.indexOf(window->N7);
  ASSERT_GE(open, 0);
  ASSERT_GT(items.size(), open + 1);
  EXPECT_EQ(items[open + 1], window->Backups);
  EXPECT_EQ(window->Backups->objectName(), "Backups");
  EXPECT_EQ(window->Backups->text().remove('&'), "Резервные копии…");

  window->model().pages.SetSpinValue({SpinRow::Rele, 3}, 42);
  window->RefreshAll();
  ASSERT_TRUE(window->model().Modified());

  struct Round {
    const char* name;
    SaveChangesAnswer answer;
    bool opened;
  };
  for (const Round& r :
       {Round{"cancel", SaveChangesAnswer::Cancel, false}, Round{"discard", SaveChangesAnswer::Discard, true}}) {
    SCOPED_TRACE(r.name);
    dialogs.saveChanges.push_back(r.answer);
    bool windowUp = false;
    bool keptOpen = false;
    WhenModal<BackupsWindow>([&](BackupsWindow* w) {
      windowUp = true;
      ASSERT_EQ(w->Copies->topLevelItemCount(), 4);
      QTreeWidgetItem* v12 = w->Copies->topLevelItem(1);
      ASSERT_EQ(v12->text(2), "12");
      QTest::mouseClick(w->Copies->viewport(), Qt::LeftButton, {}, w->Copies->visualItemRect(v12).center());
      QTest::mouseClick(w->OpenButton, Qt::LeftButton);
      keptOpen = w->isVisible();
      if (keptOpen) QTest::mouseClick(w->CloseButton, Qt::LeftButton);
    });
    Choose(window->N5, window->Backups);
    EXPECT_TRUE(windowUp);
    EXPECT_EQ(keptOpen, !r.opened);
    EXPECT_EQ(dialogs.saveChangesAsked, 1);
    dialogs.saveChangesAsked = 0;
    if (r.opened) {
      EXPECT_EQ(window->model().ws.FirmwareVersion, 12);
      EXPECT_EQ(window->model().ws.working.ReadText(layout::kObjectIdShort, layout::kObjectIdShortLength), "OB12");
      EXPECT_EQ(window->RzMarqueeStatus1->text(), "Настройки загружены");
      EXPECT_FALSE(window->model().Modified());
    } else {
      EXPECT_EQ(window->model().ws.FirmwareVersion, 15);
      EXPECT_TRUE(window->model().Modified());
    }
  }
}

TEST_F(BackupsMenuTest, AnUnreadableCopyShowsTheErrorAndKeepsTheWindow) {
  bool keptOpen = false;
  WhenModal<BackupsWindow>([&](BackupsWindow* w) {
    QTreeWidgetItem* bad = w->Copies->topLevelItem(3);
    QTest::mouseClick(w->Copies->viewport(), Qt::LeftButton, {}, w->Copies->visualItemRect(bad).center());
    QTest::mouseClick(w->OpenButton, Qt::LeftButton);
    keptOpen = w->isVisible();
    if (keptOpen) QTest::mouseClick(w->CloseButton, Qt::LeftButton);
  });
  Choose(window->N5, window->Backups);
  EXPECT_TRUE(keptOpen);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(dialogs.saveChangesAsked, 0) << "no changes, no question";
  EXPECT_EQ(window->model().ws.FirmwareVersion, 15);
}

// Both write options are on at every start: a stored "off" left by an
// earlier version of the program is not taken, and a check switched off is
// not kept for the next start.
TEST_F(BackupsMenuTest, TheWriteOptionsAreOnAtEveryStart) {
  QList<QAction*> items = window->N19->actions();
  const auto checksum = items.indexOf(window->N22);
  ASSERT_GE(checksum, 0);
  ASSERT_GE(items.size(), checksum + 3);
  EXPECT_EQ(items[checksum + 1], window->VerifyAfterWrite);
  EXPECT_EQ(items[checksum + 2], window->BackupBeforeWrite);
  EXPECT_EQ(window->VerifyAfterWrite->objectName(), "VerifyAfterWrite");
  EXPECT_EQ(window->VerifyAfterWrite->text().remove('&'), "Проверять после записи");
  EXPECT_EQ(window->BackupBeforeWrite->objectName(), "BackupBeforeWrite");
  EXPECT_EQ(window->BackupBeforeWrite->text().remove('&'), "Резервная копия перед записью");

  {
    QSettings stored("Vemtaro", "Vemtaro");
    stored.setValue("VerifyAfterWrite", false);
    stored.setValue("BackupBeforeWrite", false);
  }
  Start();
  EXPECT_TRUE(window->VerifyAfterWrite->isChecked());
  EXPECT_TRUE(window->BackupBeforeWrite->isChecked());
  EXPECT_TRUE(window->link().verifyAfterWrite);
  EXPECT_EQ(window->link().backups, &window->backupStore());
  QSettings("Vemtaro", "Vemtaro").clear();

  Choose(window->N19, window->BackupBeforeWrite);
  EXPECT_FALSE(window->BackupBeforeWrite->isChecked());
  EXPECT_EQ(window->link().backups, nullptr);
  EXPECT_TRUE(window->link().verifyAfterWrite);
  Choose(window->N19, window->VerifyAfterWrite);
  EXPECT_FALSE(window->link().verifyAfterWrite);
  EXPECT_TRUE(QSettings("Vemtaro", "Vemtaro").allKeys().isEmpty()) << "nothing is stored";

  Start();
  EXPECT_TRUE(window->VerifyAfterWrite->isChecked());
  EXPECT_TRUE(window->BackupBeforeWrite->isChecked());
  EXPECT_TRUE(window->link().verifyAfterWrite);
  EXPECT_EQ(window->link().backups, &window->backupStore());
}

}  // namespace
}  // namespace vemtaro::app
