// The main window TForm1: tab pages, the reaction trees, the main menu and the
// status bar over the core's MainModel, and the controller link: the port
// object (a serial adapter), the link's host on the event loop and the core's
// ControllerLink, whose state the window shows after every port event and
// every exchange command.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "backup_store.h"
#include "editor/comparison.h"
#include "editor/settings_edit.h"
#include "marquee_label.h"
#include "port/link_host.h"
#include "port/port_list.h"
#include "port/serial_adapter.h"
#include "window/controller_link.h"
#include "window/main_model.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;

namespace vemtaro::app {

class CompareWindow;
class GuideWindow;
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
  // A port handed over by a later start: listed in the port menu from its
  // next opening on, after the ports given at start. False when the menu
  // already lists as many added ports as it may hold.
  bool AddExtraPort(const QString& port) {
    if (extraPorts_.contains(port)) return true;
    if (extraPorts_.size() >= port::kMaxPorts) return false;
    extraPorts_ << port;
    return true;
  }
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
  QMenu* N5;                               // "Файл"
  QAction* NewConfiguration;               // "Новая конфигурация" (Ctrl+N)
  QAction* N6;                             // "Сохранить": save the settings file
  QAction* N7;                             // "Открыть": open a settings file
  QAction* Backups;                        // "Резервные копии…"
  QAction* CompareFile;                    // "Сравнить с файлом…"
  QAction* N8;                             // "Выход": close the program
  QMenu* N13;                              // "&Обмен с контроллером"
  QAction* N14;                            // read the configuration from the controller
  QAction* N15;                            // write the configuration into the controller
  QAction* CompareController;              // "Сравнить с контроллером"
  QAction* ID17;                           // ask for the sensor identifiers
  QAction* N16;                            // set the controller's clock
  QAction* N23;                            // "Запрос состояния": the status window TForm5
  QAction* N24;                            // "Открытие канала связи": the dial window TForm6
  QMenu* N19;                              // "Дополнительные настройки"
  QMenu* N20;                              // "Версия прошивки"
  std::array<QAction*, 6> versionItems{};  // v110 .. v151
  QAction* N22;                            // "Проверка контрольной суммы"
  QAction* VerifyAfterWrite;               // "Проверять после записи"
  QAction* BackupBeforeWrite;              // "Резервная копия перед записью"
  QAction* N10;                            // "О программе": the about box
  QAction* Guide;                          // "Руководство пользователя"

  QTabWidget* RzPageControl1;      // the five tab pages
  ReactionTreeView* Tree1;         // control-sensor reaction tree
  ReactionTreeView* Tree2;         // parametric-sensor reaction tree
  QLabel* RzClockStatus1;          // status pane: the PC's time
  MarqueeLabel* RzMarqueeStatus1;  // status pane: what the program did last
  ElidedLabel* ComStatus;          // connection pane; a click opens PopupMenu1
  QMenu* PopupMenu1;               // port menu
  QTimer* Timer3;                  // progress timer, 60 ms

  TForm2* Form2;        // progress window
  TForm4Window* Form4;  // alarm time window
  TForm5* Form5;        // status and relay window
  TForm6* Form6;        // dial window
  // "Сравнение конфигураций"; made when a comparison is first shown.
  CompareWindow* Compare = nullptr;
  // "Руководство пользователя", once F1 has opened it; it then stays, hidden
  // when closed.
  QPointer<GuideWindow> HelpWindow;

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
  // The progress window's stage and time left, from the link.
  void ShowProgress();
  void ListPorts();
  // Whether "Файл" takes input now: its items' keys (Ctrl+N, Ctrl+S, Ctrl+O)
  // do nothing while it does not.
  bool FileMenuTakesInput() const;
  void N6Click();  // "Сохранить" (Ctrl+S)
  void N7Click();  // "Открыть" (Ctrl+O)
  // "Новая конфигурация" (Ctrl+N): after the question about unsaved changes,
  // the version, then that version's defaults in the image and both trees.
  void NewConfigurationClick();
  void BackupsClick();
  void CompareFileClick();
  // Shows a comparison of the working configuration in the compare window.
  void ShowComparison(std::unique_ptr<Comparison> comparison, const QString& heading);
  // Takes rows of the comparison shown into the working configuration.
  void TakeDifferences(const std::vector<std::size_t>& rows);
  // Opens a backup copy, leaving the file dialogs where they were.
  bool OpenCopy(const QString& path);
  // The two write options: on at every start, handed to the link.
  void LoadWriteOptions();
  void WriteOptionsChanged();
  void ApplyWriteOptions();
  // Every edit entered or typed into since it was last left stores what it
  // shows: its exit handler runs (see ExitWatcher).
  void CommitEditing();

  void N8Click();   // "Выход"
  void N10Click();  // "О программе"
  void GuideClick();
  void N23Click();  // opens TForm5
  void N24Click();  // opens TForm6
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
  // The model's dialogs: the program's own, through which a difference taken
  // from a comparison is changed by name as a hand edit changes it.
  EditDialogs editDialogs_;
  QStringList extraPorts_;
  BackupFolderStore backupStore_;
  MainModel model_;
  port::SerialAdapter adapter_;
  port::AdapterLinkHost linkHost_;
  ControllerLink link_;
  bool connectionEnded_ = false;  // EndConnection has run
  bool started_ = false;          // FormShow has run
  QStringList handedFiles_;
  bool openingHanded_ = false;  // a handed file is being opened
  bool openScheduled_ = false;  // opening the handed files is queued
  QMetaObject::Connection idleWatch_;
  QList<PageWidget*> pages_;
  QTimer* clock_;          // 1 s timer of RzClockStatus1
  QTimer* progressClock_;  // the stage and time left while a transfer runs
  static constexpr int kProgressClockMs = 250;
  std::unique_ptr<Comparison> comparison_;  // the one the compare window shows
};

}  // namespace vemtaro::app
