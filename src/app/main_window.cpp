#include "main_window.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "alarm_time_window.h"
#include "backups_window.h"
#include "compare_window.h"
#include "dial_window.h"
#include "guide_window.h"
#include "icons.h"
#include "marquee_label.h"
#include "page_control.h"
#include "pages/common_page.h"
#include "pages/guard_page.h"
#include "pages/identifiers_panel.h"
#include "pages/page_binding.h"
#include "pages/setup_page.h"
#include "port/link_host.h"
#include "port/port_list.h"
#include "progress_window.h"
#include "shell/file_names.h"
#include "status_window.h"
#include "tree_view.h"
#include "vemtaro_version.h"
#include "window/fresh_configuration.h"
#include "window_frame.h"

namespace vemtaro::app {
namespace {

// Texts of the main window. The "&" marks each menu's and item's letter for
// Alt and the open menu's keys.
const char* const kFileMenu = "&Файл";
const char* const kNew = "&Новая конфигурация";
const char* const kSave = "&Сохранить";
const char* const kOpen = "&Открыть";
const char* const kBackups = "&Резервные копии…";
const char* const kCompareFile = "Сравнить с &файлом…";
const char* const kCompareController = "Сра&внить с контроллером";
const char* const kExit = "Вы&ход";
const char* const kExchangeMenu = "&Обмен с контроллером";
const char* const kLoad = "&Загрузить конфигурацию из контроллера";
const char* const kSend = "&Передать конфигурацию в контроллер";
const char* const kAskIds = "Запрос ID &датчиков";
const char* const kSetClock = "&Установить системные часы контроллера";
const char* const kAskStatus = "Запрос &состояния";
const char* const kOpenChannel = "Открытие &канала связи";
const char* const kExtraMenu = "&Дополнительные настройки";
const char* const kVersionMenu = "&Версия прошивки";
const char* const kChecksum = "Проверка &контрольной суммы";
const char* const kVerifyAfterWrite = "Проверять &после записи";
const char* const kBackupBeforeWrite = "&Резервная копия перед записью";
const char* const kChoosePort = "Щёлкните, чтобы выбрать порт";
const char* const kHelpMenu = "&Справка";
const char* const kAbout = "&О программе";
const char* const kAboutTitle = "О программе";
const char* const kGuide = "&Руководство пользователя";
const char* const kNoGuide = "Руководство пользователя не найдено: программа установлена без него.";
// What the trees do under the mouse.
const char* const kTreeTip =
    "Правая кнопка по узлу — его команды (реле, телефоны, название, время и вкл./выкл. будильника);\n"
    "двойной щелчок по тексту SMS или по порогу — ввод значения.";
const char* const kAboutText = "<b>Vemtaro</b><br>Версия " VEMTARO_VERSION_TEXT
                               "<br><br>"
                               "Конфигуратор GSM-контроллера охраны и телеметрии.<br>"
                               "© Разработчики Vemtaro";

struct PageSpec {
  const char* name;
  const char* caption;
};
// clang-format off
constexpr PageSpec kPages[] = {
    {"Common", "Общие\nустановки"},
    {"Setup", "Задержки входов\nи реле"},
    {"Input", "Контрольные\nдатчики"},
    {"Dat", "Параметрические\nдатчики"},
    {"TabSheet2", "Режим\nохраны"},
};
// clang-format on

constexpr int kClientWidth = 520;
constexpr int kComStatusWidth = 220;
constexpr int kClientHeight = 503;

}  // namespace

TForm1::TForm1(UserDialogs& dialogs, FileStore& files, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      dialogs_(dialogs),
      files_(files),
      editDialogs_(dialogs),
      model_(editDialogs_),
      linkHost_(adapter_),
      link_(model_, adapter_.comPort(), linkHost_) {
  setObjectName("TForm1");
  setWindowTitle(main_texts::kCaption);
  setWindowIcon(ProgramIcon());
  BuildMenu();
  BuildPages();
  BuildStatusBar();
  Form2 = new TForm2(this);
  Form4 = new TForm4Window(model_.commands.Form4, this);
  Form5 = new TForm5(this);
  Form6 = new TForm6(this);
  ConnectLink();
  // The client area is 520 x 503 below the menu bar, with a fixed border.
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

TForm1::~TForm1() {
  // The core goes before the widgets do: nothing they report while they go
  // (a focused edit losing its focus, a spin box taking its typed value) may
  // reach it.
  for (PageWidget* page : pages_) page->Detach();
  // A window released without being closed still ends the connection.
  EndConnection();
  link_.OnChanged = nullptr;
  link_.OnCompareRead = nullptr;
  link_.OnReadBackDiffers = nullptr;
  adapter_.disconnect(this);
  Timer3->stop();
}

void TForm1::BuildMenu() {
  N5 = menuBar()->addMenu(kFileMenu);
  N5->setObjectName("N5");
  NewConfiguration = N5->addAction(kNew, this, &TForm1::NewConfigurationClick);
  NewConfiguration->setObjectName("NewConfiguration");
  NewConfiguration->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  N6 = N5->addAction(kSave, this, &TForm1::N6Click);
  N6->setObjectName("N6");
  N6->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  N7 = N5->addAction(kOpen, this, &TForm1::N7Click);
  N7->setObjectName("N7");
  N7->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  Backups = N5->addAction(kBackups, this, &TForm1::BackupsClick);
  Backups->setObjectName("Backups");
  CompareFile = N5->addAction(kCompareFile, this, &TForm1::CompareFileClick);
  CompareFile->setObjectName("CompareFile");
  N8 = N5->addAction(kExit, this, &TForm1::N8Click);
  N8->setObjectName("N8");

  N13 = menuBar()->addMenu(kExchangeMenu);
  N13->setObjectName("N13");
  N14 = N13->addAction(kLoad);
  N14->setObjectName("N14");
  N15 = N13->addAction(kSend);
  N15->setObjectName("N15");
  CompareController = N13->addAction(kCompareController);
  CompareController->setObjectName("CompareController");
  ID17 = N13->addAction(kAskIds);
  ID17->setObjectName("ID17");
  N16 = N13->addAction(kSetClock);
  N16->setObjectName("N16");
  N23 = N13->addAction(kAskStatus);
  N23->setObjectName("N23");
  N24 = N13->addAction(kOpenChannel);
  N24->setObjectName("N24");
  connect(N14, &QAction::triggered, this, [this] {
    // The read replaces the configuration: unsaved changes first, before
    // anything is sent.
    if (!SaveChangesFirst()) return;
    RunLink([this] { link_.N14Click(); });
  });
  // The comparison reads into itself only: no question about unsaved changes.
  connect(CompareController, &QAction::triggered, this, [this] { RunLink([this] { link_.CompareClick(); }); });
  connect(N15, &QAction::triggered, this, [this] { RunLink([this] { link_.N15Click(); }); });
  connect(ID17, &QAction::triggered, this, [this] { RunLink([this] { link_.ID17Click(); }); });
  connect(N16, &QAction::triggered, this, [this] { RunLink([this] { link_.N16Click(); }); });
  connect(N23, &QAction::triggered, this, &TForm1::N23Click);
  connect(N24, &QAction::triggered, this, &TForm1::N24Click);

  N19 = menuBar()->addMenu(kExtraMenu);
  N19->setObjectName("N19");
  N20 = N19->addMenu(kVersionMenu);
  N20->setObjectName("N20");
  for (std::size_t i = 0; i < kProfiles.size(); ++i) {
    const VersionProfile& profile = kProfiles[i];
    // "v. 10" .. "v. 15" take their last digit as their letter.
    QString caption = QString::fromUtf8(profile.menuCaption);
    caption.insert(caption.size() - 1, QLatin1Char('&'));
    QAction* item = N20->addAction(caption);
    item->setObjectName(profile.menuName);
    item->setCheckable(true);
    const int version = profile.version;
    connect(item, &QAction::triggered, this, [this, version] {
      // A version's profile brings its defaults; a cancelled question leaves
      // the configuration and the check marks as they were.
      if (SaveChangesFirst()) model_.ApplyProfile(version);
      RefreshAll();
    });
    versionItems[i] = item;
  }
  N22 = N19->addAction(kChecksum);
  N22->setObjectName("N22");
  N22->setCheckable(true);
  connect(N22, &QAction::triggered, this, [this] {
    model_.N22Click();
    RefreshAll();
  });
  VerifyAfterWrite = N19->addAction(kVerifyAfterWrite);
  VerifyAfterWrite->setObjectName("VerifyAfterWrite");
  VerifyAfterWrite->setCheckable(true);
  BackupBeforeWrite = N19->addAction(kBackupBeforeWrite);
  BackupBeforeWrite->setObjectName("BackupBeforeWrite");
  BackupBeforeWrite->setCheckable(true);
  LoadWriteOptions();
  connect(VerifyAfterWrite, &QAction::triggered, this, &TForm1::WriteOptionsChanged);
  connect(BackupBeforeWrite, &QAction::triggered, this, &TForm1::WriteOptionsChanged);

  QMenu* help = menuBar()->addMenu(kHelpMenu);
  help->setObjectName("N9");
  N10 = help->addAction(kAbout, this, &TForm1::N10Click);
  N10->setObjectName("N10");
  Guide = help->addAction(kGuide, this, &TForm1::GuideClick);
  Guide->setObjectName("Guide");
  Guide->setShortcut(QKeySequence::HelpContents);
}

void TForm1::BuildPages() {
  RzPageControl1 = new PageControl(this);
  RzPageControl1->setObjectName("RzPageControl1");
  RzPageControl1->setDocumentMode(false);
  RzPageControl1->setUsesScrollButtons(false);
  // Five two-line captions share the 520 px of the window.
  QFont tabFont = RzPageControl1->tabBar()->font();
  tabFont.setPointSizeF(tabFont.pointSizeF() * 0.85);
  RzPageControl1->tabBar()->setFont(tabFont);
  RzPageControl1->tabBar()->setElideMode(Qt::ElideNone);

  auto addPage = [this](PageWidget* page) {
    pages_.append(page);
    connect(page, &PageWidget::modelChanged, this, &TForm1::RefreshAll);
    return page;
  };
  Tree1 = new ReactionTreeView(model_, TreeKind::Control);
  Tree2 = new ReactionTreeView(model_, TreeKind::Parametric);
  for (ReactionTreeView* tree : {Tree1, Tree2}) {
    tree->setToolTip(QString::fromUtf8(kTreeTip));
    connect(tree, &ReactionTreeView::modelChanged, this, &TForm1::RefreshAll);
    connect(tree, &ReactionTreeView::commandChosen, this, &TForm1::OnTreeCommand);
  }

  QWidget* common = addPage(new CommonPage(model_));
  QWidget* setup = addPage(new SetupPage(model_));
  auto* input = new QWidget;
  auto* inputLayout = new QVBoxLayout(input);
  inputLayout->setContentsMargins(4, 4, 4, 4);
  inputLayout->addWidget(Tree1);
  auto* dat = new QSplitter(Qt::Horizontal);
  dat->addWidget(addPage(new IdentifiersPanel(model_)));
  dat->addWidget(Tree2);
  dat->setStretchFactor(0, 0);
  dat->setStretchFactor(1, 1);
  dat->setChildrenCollapsible(false);
  auto* datPage = new QWidget;
  auto* datLayout = new QVBoxLayout(datPage);
  datLayout->setContentsMargins(4, 4, 4, 4);
  datLayout->addWidget(dat);
  QWidget* guard = addPage(new GuardPage(model_));

  QWidget* widgets[] = {common, setup, input, datPage, guard};
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    widgets[i]->setObjectName(kPages[i].name);
    RzPageControl1->addTab(widgets[i], kPages[i].caption);
  }
  setCentralWidget(RzPageControl1);
}

void TForm1::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("RzStatusBar1");
  bar->setSizeGripEnabled(false);
  ComStatus = new ElidedLabel(bar);
  ComStatus->setObjectName("ComStatus");
  ComStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // The connection pane takes no more than it needs, at most kComStatusWidth
  // (a longer text loses its middle); the status pane takes the rest.
  ComStatus->setMinimumWidth(170);
  ComStatus->setMaximumWidth(kComStatusWidth);
  ComStatus->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
  ComStatus->setToolTip(QString::fromUtf8(kChoosePort));
  ComStatus->setCursor(Qt::PointingHandCursor);
  // Both buttons open the port menu: the right one as its popup menu, the
  // left one as a click on the pane.
  ComStatus->setContextMenuPolicy(Qt::CustomContextMenu);
  ComStatus->installEventFilter(this);
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  connect(ComStatus, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowPortMenu(ComStatus->mapToGlobal(pos)); });
  RzMarqueeStatus1 = new MarqueeLabel(bar);
  RzMarqueeStatus1->setObjectName("RzMarqueeStatus1");
  RzClockStatus1 = new QLabel(bar);
  RzClockStatus1->setObjectName("RzClockStatus1");
  RzClockStatus1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  RzClockStatus1->setAlignment(Qt::AlignCenter);
  RzClockStatus1->setMinimumWidth(64);
  bar->addWidget(ComStatus);
  bar->addWidget(RzMarqueeStatus1, 1);
  bar->addPermanentWidget(RzClockStatus1);
  clock_ = new QTimer(this);
  clock_->setInterval(1000);
  auto tick = [this] { RzClockStatus1->setText(QTime::currentTime().toString("HH:mm:ss")); };
  connect(clock_, &QTimer::timeout, this, tick);
  tick();
  clock_->start();
}

void TForm1::ConnectLink() {
  Timer3 = new QTimer(this);
  Timer3->setObjectName("Timer3");
  Timer3->setInterval(static_cast<int>(link_timing::kTimer3Ms));
  connect(Timer3, &QTimer::timeout, this, [this] {
    link_.Timer3Timer();
    Form2->Gauge1->setValue(std::min(link_.gaugePosition, Form2->Gauge1->maximum()));
  });
  // The stage and the time left, while the progress window shows a transfer
  // (Timer3 runs only from the first read on).
  progressClock_ = new QTimer(this);
  progressClock_->setInterval(kProgressClockMs);
  connect(progressClock_, &QTimer::timeout, this, &TForm1::ShowProgress);
  connect(Form2, &TForm2::cancelRequested, this, [this] {
    link_.CancelTransfer();
    RefreshLink();
  });
  connect(Form2, &TForm2::closeRequested, this, [this] {
    link_.CloseOutcome();
    RefreshLink();
    activateWindow();
  });
  link_.OnChanged = [this](bool pages) {
    if (pages) {
      RefreshAll();
    } else {
      RefreshLink();
    }
  };
  // The comparisons are shown once the link's handler has returned and the
  // windows are given back.
  link_.OnCompareRead = [this] {
    QTimer::singleShot(0, this, [this] {
      if (!link_.compareImage) return;
      ShowComparison(
          std::make_unique<Comparison>(ControllerSettingsFile(model_, link_.compareVersion, *link_.compareImage),
                                       compare_texts::kController),
          QString::fromUtf8(compare_texts::kWithController));
    });
  };
  link_.OnReadBackDiffers = [this] {
    QTimer::singleShot(0, this, [this] {
      const auto& readBack = link_.LastWrite().readBack;
      if (!readBack) return;
      ShowComparison(std::make_unique<Comparison>(ControllerSettingsFile(model_, model_.ws.FirmwareVersion, *readBack),
                                                  compare_texts::kReadBack),
                     QString::fromUtf8(compare_texts::kWithReadBack));
    });
  };
  connect(&adapter_, &port::SerialAdapter::portLost, this, [this](const QString& reason) {
    link_.PortLost(reason.toStdString());
    RefreshLink();
  });
  connect(Form5, &TForm5::relayChanged, this,
          [this](int index, bool on) { RunLink([this, index, on] { link_.ReleysChange(index, on); }); });
  connect(Form5, &TForm5::statusRequested, this, [this] { RunLink([this] { link_.Button1Click(); }); });
  connect(Form5, &TForm5::autoPollChanged, this, [this](bool on) { RunLink([this, on] { link_.AutoPollClick(on); }); });
  connect(Form5, &TForm5::masterKeyChosen, this, [this] {
    link_.N1Click();
    RefreshAll();
  });
}

void TForm1::ListPorts() {
  PopupMenu1->clear();
  QList<port::PortEntry> ports = portSource ? portSource() : QList<port::PortEntry>();
  for (const QString& extra : extraPorts_) {
    const bool listed =
        std::any_of(ports.begin(), ports.end(), [&](const port::PortEntry& p) { return p.name == extra; });
    if (!listed) ports.append(port::PortEntry{extra, {}, {}, {}});
  }
  for (const port::PortEntry& entry : ports) {
    QAction* item = PopupMenu1->addAction(port::PortCaption(entry));
    item->setData(entry.name);
  }
  if (!ports.isEmpty()) PopupMenu1->addSeparator();
  // The simulated controller in place of a port, always the last item.
  const QString simulator = port::SimulatorPortName();
  QAction* item = PopupMenu1->addAction(simulator);
  item->setObjectName("SimulatorPort");
  item->setData(simulator);
  for (QAction* action : PopupMenu1->actions()) {
    if (action->isSeparator()) continue;
    connect(action, &QAction::triggered, this, [this, action] { PopupMenuItemsClick(action->data().toString()); });
  }
}

void TForm1::ShowPortMenu(const QPoint& globalPos) {
  // The port menu is taken from the pane while a transfer runs.
  if (!link_.portMenuAttached || !link_.mainEnabled) return;
  ListPorts();
  PopupMenu1->popup(globalPos);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ComStatus && event->type() == QEvent::MouseButtonPress) {
    auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() == Qt::LeftButton) {
      ShowPortMenu(press->globalPosition().toPoint());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::PopupMenuItemsClick(const QString& portName) {
  // Asked before the handshake starts, never while it runs.
  if (!SaveChangesFirst()) return;
  connectionEnded_ = false;
  link_.PopupMenuItemsClick(portName.toStdString());
  RefreshLink();
}

void TForm1::RunLink(const std::function<void()>& command) {
  // What the controller is sent or asked about includes the field being edited.
  CommitEditing();
  command();
  RefreshLink();
}

bool TForm1::InputEnabled() const { return menuBar()->isEnabled() && centralWidget()->isEnabled(); }

void TForm1::FormShow() {
  ListPorts();
  model_.Startup();
  RefreshAll();
  started_ = true;
}

void TForm1::RefreshAll() {
  for (PageWidget* page : pages_) page->Refresh();
  Tree1->Refresh();
  Tree2->Refresh();
  for (std::size_t i = 0; i < versionItems.size(); ++i) {
    versionItems[i]->setChecked(model_.versionMenu[i].checked);
  }
  N22->setChecked(model_.N22.checked);
  RefreshLink();
}

void TForm1::RefreshLink() {
  N13->setEnabled(model_.N13.enabled);
  N13->menuAction()->setEnabled(model_.N13.enabled);
  RzMarqueeStatus1->setText(QString::fromStdString(model_.status));
  const QString com = QString::fromStdString(link_.ComStatusText());
  if (ComStatus->text() != com) ComStatus->setText(com);
  // The whole main window takes no input while a transfer holds it. Its menu
  // bar and pages are disabled rather than the window itself, so that the
  // message boxes and the progress window it owns still take their input.
  menuBar()->setEnabled(link_.mainEnabled);
  RzPageControl1->setEnabled(link_.mainEnabled && link_.pagesEnabled);
  N5->setEnabled(link_.fileMenuEnabled);
  N5->menuAction()->setEnabled(link_.fileMenuEnabled);
  const bool portMenu = link_.portMenuAttached && link_.mainEnabled;
  ComStatus->setContextMenuPolicy(portMenu ? Qt::CustomContextMenu : Qt::NoContextMenu);
  for (QAction* item : PopupMenu1->actions()) item->setEnabled(portMenu);
  if (!portMenu) PopupMenu1->hide();
  Form2->Gauge1->setRange(0, std::max(0, model_.gaugeMax));
  Form2->Gauge1->setValue(std::clamp(link_.gaugePosition, 0, Form2->Gauge1->maximum()));
  if (link_.progressVisible) {
    ShowProgress();
    if (!progressClock_->isActive()) progressClock_->start();
  } else {
    progressClock_->stop();
    if (link_.outcomeVisible) {
      const ControllerLink::TransferOutcome outcome = link_.Outcome();
      using Kind = ControllerLink::TransferOutcome::Kind;
      const TForm2::Mark mark = outcome.kind == Kind::Done      ? TForm2::Mark::Done
                                : outcome.kind == Kind::Warning ? TForm2::Mark::Warning
                                                                : TForm2::Mark::Failed;
      Form2->ShowOutcome(QString::fromStdString(outcome.text).replace('\r', '\n'), mark);
    }
  }
  Form2->SetShown(link_.progressVisible || link_.outcomeVisible);
  if (link_.timer3Running != Timer3->isActive()) {
    if (link_.timer3Running) {
      Timer3->start();
    } else {
      Timer3->stop();
    }
  }
  Form5->Show(link_.form5);
}

void TForm1::ShowProgress() {
  if (!link_.progressVisible) return;
  const std::optional<Millis> left = link_.MsLeft();
  Form2->ShowProgress(QString::fromStdString(link_.StageText()),
                      left ? QString::fromStdString(TimeLeftText(*left)) : QString(), !link_.Stopping());
}

bool TForm1::FileMenuTakesInput() const { return menuBar()->isEnabled() && N5->isEnabled(); }

void TForm1::N6Click() {
  // Ctrl+S as well as the item: nothing while the menu takes no input.
  if (!FileMenuTakesInput()) return;
  // The file holds the field being edited too.
  CommitEditing();
  model_.N6Click(files_);
  RefreshAll();
}

void TForm1::N7Click() {
  if (!FileMenuTakesInput()) return;
  // Unsaved changes first, before the open dialog.
  if (!SaveChangesFirst()) return;
  model_.N7Click(files_);
  RefreshAll();
}

void TForm1::NewConfigurationClick() {
  if (!FileMenuTakesInput()) return;
  // Unsaved changes first, then the version; a cancel at either leaves
  // everything as it was.
  if (!SaveChangesFirst()) return;
  vemtaro::NewConfigurationClick(model_);
  RefreshAll();
}

bool TForm1::OpenFile(const QString& path) {
  const std::string bytes = shell::FileNameBytes(path);
  // A file named to the program is a file used: the dialogs start beside it.
  model_.filePlaces.Chosen(shell::AbsoluteFileName(path));
  const bool opened = model_.OpenSettings(bytes, files_);
  RefreshAll();
  return opened;
}

bool TForm1::OpenCopy(const QString& path) {
  // A backup copy is opened where it is kept; the file dialogs stay where
  // they were.
  const bool opened = model_.OpenSettings(shell::FileNameBytes(path), files_);
  RefreshAll();
  return opened;
}

bool TForm1::TakeHandedFile(const QString& path) {
  if (handedFiles_.size() >= kMaxHandedFiles) return false;
  handedFiles_.append(path);
  WatchForIdle(true);
  return true;
}

void TForm1::ComeForward() {
  if (!isVisible()) return;  // the splash is up: the window comes after it
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

bool TForm1::Idle() const {
  return started_ && isVisible() && InputEnabled() && !link_.Transferring() && !openingHanded_ &&
         QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr &&
         !port::InsideLinkWait() && QThread::currentThread()->loopLevel() <= 1;
}

void TForm1::WatchForIdle(bool on) {
  if (!on) {
    disconnect(idleWatch_);
    idleWatch_ = {};
    return;
  }
  if (idleWatch_) return;
  // The event loop is about to wait for events: nothing is under way. The
  // file is opened from the loop's next turn, not from inside its wait.
  idleWatch_ = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
    if (openScheduled_ || !Idle()) return;
    openScheduled_ = true;
    QTimer::singleShot(0, this, &TForm1::OpenHandedFiles);
  });
}

void TForm1::OpenHandedFiles() {
  openScheduled_ = false;
  while (!handedFiles_.isEmpty() && Idle()) {
    const QString path = handedFiles_.takeFirst();
    openingHanded_ = true;
    if (SaveChangesFirst()) OpenFile(path);
    openingHanded_ = false;
  }
  if (handedFiles_.isEmpty()) WatchForIdle(false);
}

void TForm1::CommitEditing() {
  // Every edit entered or typed into and not left yet stores what it shows;
  // the focused one keeps the focus.
  ExitWatcher::ExitAll(RzPageControl1);
}

bool TForm1::SaveChangesFirst() {
  CommitEditing();
  if (!model_.Modified()) return true;
  const bool goOn = model_.SaveChangesFirst(files_);
  // A save sets the status and collapses the trees; a refusal restores the
  // check marks a click has moved.
  RefreshAll();
  return goOn;
}

void TForm1::BackupsClick() {
  BackupsWindow window(
      backupStore_, [this](const QString& path) { return SaveChangesFirst() && OpenCopy(path); }, this);
  CentreOn(&window, this);
  window.exec();
}

void TForm1::CompareFileClick() {
  // The working configuration includes the field being edited.
  CommitEditing();
  std::string path;
  std::optional<SettingsFileData> file = AskComparedFile(model_, files_, &path);
  if (!file) return;
  ShowComparison(std::make_unique<Comparison>(std::move(*file), compare_texts::kFile),
                 QString::fromUtf8(compare_texts::kWithFile) + shell::ShownFileName(shell::FileNameText(path)));
}

void TForm1::ShowComparison(std::unique_ptr<Comparison> comparison, const QString& heading) {
  CommitEditing();
  comparison->Refresh(model_);
  if (Compare == nullptr) {
    Compare = new CompareWindow([this](const std::vector<std::size_t>& rows) { TakeDifferences(rows); }, this);
  }
  // A comparison shown before goes with the window's list of it.
  Compare->Show(*comparison, heading);
  comparison_ = std::move(comparison);
  if (!Compare->isVisible()) {
    CentreOn(Compare, this);
    // Modal to the main window, whose configuration it compares, without a
    // loop of its own.
    Compare->open();
  }
}

void TForm1::TakeDifferences(const std::vector<std::size_t>& rows) {
  if (!comparison_) return;
  comparison_->Take(model_, editDialogs_, rows);
  RefreshAll();
}

void TForm1::LoadWriteOptions() {
  // Both are on at every start: nothing is kept between runs, so a check
  // switched off once cannot stay off unseen.
  VerifyAfterWrite->setChecked(true);
  BackupBeforeWrite->setChecked(true);
  ApplyWriteOptions();
}

void TForm1::WriteOptionsChanged() { ApplyWriteOptions(); }

void TForm1::ApplyWriteOptions() {
  link_.verifyAfterWrite = VerifyAfterWrite->isChecked();
  link_.backups = BackupBeforeWrite->isChecked() ? &backupStore_ : nullptr;
}

void TForm1::N8Click() { close(); }

void TForm1::N23Click() {
  // The status window sends what the pages show.
  CommitEditing();
  Form5->Show(link_.form5);
  Form5->ShowModal();
  link_.StatusWindowClosed();
  RefreshLink();
}

void TForm1::N24Click() { Form6->ShowModal(); }

void TForm1::N10Click() {
  QMessageBox box(QMessageBox::Information, kAboutTitle, kAboutText, QMessageBox::Ok, this);
  box.setIconPixmap(ProgramIcon().pixmap(64, 64));
  box.exec();
}

void TForm1::GuideClick() {
  // One guide window: a second F1 brings it forward.
  if (HelpWindow != nullptr) {
    if (HelpWindow->isMinimized()) HelpWindow->showNormal();
    HelpWindow->show();
    HelpWindow->raise();
    HelpWindow->activateWindow();
    return;
  }
  const QString file = GuideFile(QApplication::applicationDirPath());
  if (file.isEmpty()) {
    dialogs_.ShowError(kNoGuide);
    return;
  }
  // Not modal: the main window takes input while the guide is read. The
  // guide belongs to the main window, so the window system keeps it in front
  // of it although the main window stays on top of the others.
  HelpWindow = new GuideWindow(file, this);
  CentreOn(HelpWindow, this);
  // The guide is larger than the main window: it stays on the screen.
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    const QRect frame = HelpWindow->frameGeometry();
    HelpWindow->move(std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() - frame.width())),
                     std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
  }
  HelpWindow->show();
  HelpWindow->raise();
  HelpWindow->activateWindow();
}

void TForm1::OnTreeCommand(const QString& itemName) {
  if (itemName == "N17" && model_.commands.Form4.visible) {
    Form4->ShowModal();
    RefreshAll();
  }
}

void TForm1::EndConnection() {
  if (connectionEnded_) return;
  connectionEnded_ = true;
  link_.EndConnection();
  if (link_.OnChanged) RefreshLink();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A transfer holds the window: it cannot be closed until the transfer ends.
  if (!link_.mainEnabled) {
    event->ignore();
    return;
  }
  // "Отмена" (or a save that did not happen) keeps the window open.
  if (!SaveChangesFirst()) {
    event->ignore();
    return;
  }
  // The link ends before the images are released with the model; the port
  // itself closes when the program ends and the adapter goes.
  EndConnection();
  event->accept();
  emit FormClosed();
}

}  // namespace vemtaro::app
