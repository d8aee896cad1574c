// The main window TForm1: tab pages, the reaction trees, the main menu and the
// status bar over the core's MainModel, and the controller link: the port
// object (a serial adapter), the link's host on the event loop and the core's
// ControllerLink, whose state the window shows after every port event and
// every exchange command.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>

#include "backup_store.h"
#include "main/controller_link.h"
#include "main/main_model.h"
#include "port/link_host.h"
#include "port/port_list.h"
#include "port/serial_adapter.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;

namespace vemtaro::app {

class PageWidget;
class ReactionTreeView;
class MarqueeLabel;
class TForm2;
class TForm4Window;
class TForm5;
class TForm6;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // FormCreate. The dialogs and the file store are the core's ways to the user
  // and to the disk; the caller keeps them alive.
  TForm1(UserDialogs& dialogs, FileStore& files, QWidget* parent = nullptr);
  ~TForm1() override;

  MainModel& model() { return model_; }
  ControllerLink& link() { return link_; }
  port::SerialAdapter& adapter() { return adapter_; }

  // The start-up sequence (FormShow): ports, default image, trees, version 15.
  void FormShow();
  // Shows the core's state in every page, tree, menu and pane.
  void RefreshAll();
  // Opens a settings file named on the command line (as "Открыть" does);
  // returns whether it was opened.
  bool OpenFile(const QString& path);
  // A settings file handed over by a later start of the program: it waits
  // (at most kMaxHandedFiles of them) until the program is idle (shown, no
  // transfer, no exchange waiting for the controller, no dialog or menu open)
  // and is then opened as "Открыть" opens a file, after the question about
  // unsaved changes. Returns whether the file was taken.
  bool TakeHandedFile(const QString& path);
  static constexpr int kMaxHandedFiles = 8;
  // Files handed over and not yet opened.
  const QStringList& HandedFiles() const { return handedFiles_; }
  // A later start asks the window to come forward.
  void ComeForward();
  // Before an action replaces the configuration: stores the field being
  // edited, then, when the configuration holds unsaved changes, asks
  // "Сохранить изменения в настройках?". True when the action may go on.
  bool SaveChangesFirst();
  // Ports the port menu lists besides those the system reports.
  void SetExtraPorts(const QStringList& ports) { extraPorts_ = ports; }
  // Where the port menu takes the system's ports from each time it opens;
  // the system's list unless a test puts a list of its own here.
  std::function<QList<port::PortEntry>()> portSource = &port::AvailablePortEntries;
  // Opens the port menu at a point of the screen (a click on ComStatus),
  // listing the ports present now; nothing while a transfer holds the window.
  void ShowPortMenu(const QPoint& globalPos);
  // Shows the link's state: ComStatus and its port menu, the status pane, the
  // menus N5 and N13, the pages, the progress window and Timer3, TForm5.
  void RefreshLink();
  // PopupMenuItemsClick: the port menu item of that port was chosen. The
  // handshake may take another version's profile and with it the defaults,
  // so unsaved changes are asked about first.
  void PopupMenuItemsClick(const QString& portName);
  // Where the copies read before a write are kept ("Резервные копии…").
  BackupFolderStore& backupStore() { return backupStore_; }
  // Whether the main window takes input (off while a transfer holds it).
  bool InputEnabled() const;

  // Menu items, by their names.
  QMenu* N5;   // "Файл"
  QAction* N6;
  QAction* N7;
  QAction* Backups;  // "Резервные копии…"
  QAction* N8;
  QMenu* N13;  // "&Обмен с контроллером"
  QAction* N14;
  QAction* N15;
  QAction* ID17;
  QAction* N16;
  QAction* N23;
  QAction* N24;
  QMenu* N19;  // "Дополнительные настройки"
  QMenu* N20;  // "Версия прошивки"
  std::array<QAction*, 6> versionItems{};  // v110 .. v151
  QAction* N22;
  QAction* VerifyAfterWrite;   // "Проверять после записи"
  QAction* BackupBeforeWrite;  // "Резервная копия перед записью"
  QAction* N10;
  QAction* Guide;  // "Руководство пользователя"

  QTabWidget* RzPageControl1;
  ReactionTreeView* Tree1;
  ReactionTreeView* Tree2;
  QLabel* RzClockStatus1;
  MarqueeLabel* RzMarqueeStatus1;
  QLabel* ComStatus;
  QMenu* PopupMenu1;
  QTimer* Timer3;  // progress timer, 60 ms

  TForm2* Form2;
  TForm4Window* Form4;
  TForm5* Form5;
  TForm6* Form6;

 signals:
  // FormClose has run: the closing sequence is done and the program may end.
  void FormClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenu();
  void BuildPages();
  void BuildStatusBar();
  void ConnectLink();
  void ListPorts();
  void N6Click();
  void N7Click();
  void BackupsClick();
  // The two write options: remembered between runs, handed to the link.
  void LoadWriteOptions();
  void WriteOptionsChanged();
  void ApplyWriteOptions();
  // The field being edited is stored: its exit handler runs.
  void CommitEditing();

  void N8Click();
  void N10Click();
  void GuideClick();
  void N23Click();
  void N24Click();
  void OnTreeCommand(const QString& itemName);
  // Runs a link command the user gave, then shows the link's state.
  void RunLink(const std::function<void()>& command);
  // The closing sequence's link part, once: "BYE", 300 ms, Timer3 off, flushes.
  void EndConnection();
  // Whether the program is idle: nothing it does may be interrupted by
  // opening a file.
  bool Idle() const;
  // Opens the handed files while the program is idle.
  void OpenHandedFiles();
  // Looks at each turn of the event loop that finds nothing to do whether a
  // handed file can be opened now (only while files wait).
  void WatchForIdle(bool on);

  UserDialogs& dialogs_;
  FileStore& files_;
  QStringList extraPorts_;
  BackupFolderStore backupStore_;
  MainModel model_;
  port::SerialAdapter adapter_;
  port::AdapterLinkHost linkHost_;
  ControllerLink link_;
  bool connectionEnded_ = false;
  bool started_ = false;          // FormShow has run
  QStringList handedFiles_;
  bool openingHanded_ = false;
  bool openScheduled_ = false;
  QMetaObject::Connection idleWatch_;
  QList<PageWidget*> pages_;
  QTimer* clock_;
};

}  // namespace vemtaro::app
