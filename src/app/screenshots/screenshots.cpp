// Takes the pictures of the user guide and the README on a real display
// (xvfb-run) and writes PNG files into the folder given as its argument:
//  - the splash, each tab of the main window (both trees opened somewhere), the
//    relay sub-page, the version menu;
//  - the tree popup menus (relay, phone slot, alarm clock), the SMS text and
//    threshold entries and the alarm time window;
//  - against the simulated controller: the port menu, the connection-type
//    dialog, the main window connected, the progress window during a checked
//    write and the outcome it leaves, the identifiers received, the clock
//    message, the status window and its chart, the dial window and the error
//    box of a controller that does not answer (93);
//  - the user guide opened from "Справка";
//  - the question about unsaved changes and the window of kept backups;
//  - the window "Сравнение конфигураций" after "Сравнить с контроллером".
// Settings and backups go to the test locations of QStandardPaths, so that
// taking the pictures leaves nothing in the user's own folders.
// A virtual display has no window manager, so the program paints a plain
// desktop behind the windows and a title bar with the window's caption above
// each window it shows.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "alarm_time_window.h"
#include "app_setup.h"
#include "backups_window.h"
#include "compare_window.h"
#include "editor/settings_edit.h"
#include "guide_window.h"
#include "main_window.h"
#include "marquee_label.h"
#include "pages/setup_page.h"
#include "port/link_host.h"
#include "port/port_list.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "shell/qt_file_store.h"
#include "splash_window.h"
#include "status_chart.h"
#include "status_window.h"
#include "tree_view.h"
#include "window_frame.h"

namespace {

using vemtaro::TreeNode;
using vemtaro::app::ReactionTreeView;
using vemtaro::app::TForm1;

QString outDir;
constexpr int kTitleHeight = 24;

// Runs the event loop until `done` holds or the deadline passes.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  return vemtaro::port::RunEventsUntil(done, timeoutMs);
}

// Lets the display map and paint what was just shown (popup menus need more
// than a few passes of the event loop).
void Settle() {
  RunUntil([] { return false; }, 250);
  QApplication::processEvents();
}

// The plain desktop behind every window, so that the parts of a picture that no
// window covers are not black.
class Desktop : public QWidget {
 public:
  Desktop() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(QGuiApplication::primaryScreen()->geometry());
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0x8a, 0x96, 0xa8)); }
};

// The title bar a window manager would draw: the window's caption and its
// title-bar buttons, just above the window.
class TitleBar : public QWidget {
 public:
  explicit TitleBar(QWidget* window)
      : QWidget(nullptr,
                Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus),
        window_(window) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    const QRect g = window->frameGeometry();
    setGeometry(g.x() - 1, g.y() - kTitleHeight, g.width() + 2, kTitleHeight);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2f, 0x3e, 0x56));
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(8, 0, -36, 0), Qt::AlignVCenter | Qt::AlignLeft, window_->windowTitle());
    const Qt::WindowFlags flags = window_->windowFlags();
    const bool custom = flags.testFlag(Qt::CustomizeWindowHint);
    const bool close = !custom || flags.testFlag(Qt::WindowCloseButtonHint);
    const bool minimise = custom && flags.testFlag(Qt::WindowMinimizeButtonHint);
    p.setPen(QPen(Qt::white, 1.6));
    p.setRenderHint(QPainter::Antialiasing);
    int right = width() - 12;
    if (close) {
      p.drawLine(right - 8, 8, right, 16);
      p.drawLine(right - 8, 16, right, 8);
      right -= 24;
    }
    if (minimise) p.drawLine(right - 8, 15, right, 15);
  }

 private:
  QPointer<QWidget> window_;
};

// A window's frame together with the title bar drawn above it.
QRect Framed(const QWidget* w) { return w->frameGeometry().adjusted(-1, -kTitleHeight, 1, 1); }

// Grabs `area` of the screen with title bars above the given windows.
void Shoot(const QString& name, const QRect& area, const std::vector<QWidget*>& framed = {}) {
  std::vector<std::unique_ptr<TitleBar>> bars;
  for (QWidget* w : framed) {
    bars.push_back(std::make_unique<TitleBar>(w));
    bars.back()->show();
    bars.back()->raise();
  }
  Settle();
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  shot.save(QDir(outDir).filePath(name + ".png"));
}

// The windows with their title bars, and `more` pixels beside them for a menu
// that reaches out of them.
void ShootWindows(const QString& name, const std::vector<QWidget*>& windows, const QMargins& more = {}) {
  QRect area;
  for (QWidget* w : windows) area = area.united(Framed(w));
  Shoot(name, area.marginsAdded(more), windows);
}

// Runs `act` on the next modal window once it is shown and painted (the modal
// window's own event loop runs it).
void WhenModal(const std::function<void(QWidget*)>& act) {
  auto* poll = new QTimer;
  poll->setInterval(50);
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    QTimer::singleShot(300, modal, [modal, act] { act(modal); });
  });
  poll->start();
}

// Presses a dialog's OK or Cancel button.
void Press(QWidget* dialog, QDialogButtonBox::StandardButton which) {
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    if (QAbstractButton* b = box->button(QMessageBox::Ok)) {
      b->click();
      return;
    }
  }
  if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
    if (QPushButton* b = buttons->button(which)) {
      b->click();
      return;
    }
  }
  if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
}

void ExpandPath(ReactionTreeView* view, std::initializer_list<TreeNode*> nodes) {
  for (TreeNode* n : nodes) view->expandItem(view->ItemOf(n));
}

// A point on a node's text, where the mouse would press it.
QPoint PointOn(ReactionTreeView* view, TreeNode* node) {
  QTreeWidgetItem* item = view->ItemOf(node);
  view->scrollToItem(item);
  const QRect r = view->visualItemRect(item);
  return QPoint(r.left() + std::min(r.width() / 2, 60), r.center().y());
}

void Mouse(ReactionTreeView* view, TreeNode* node, QEvent::Type type, Qt::MouseButton button) {
  const QPoint local = PointOn(view, node);
  const QPoint global = view->viewport()->mapToGlobal(local);
  QMouseEvent event(type, local, global, button, button, {});
  QApplication::sendEvent(view->viewport(), &event);
}

// Right-presses a node, takes a picture with its popup menu open (unless `name`
// is empty), and then chooses the item named `choose` (or closes the menu).
void MenuShot(TForm1& main, ReactionTreeView* view, TreeNode* node, const QString& name, int right,
              const QString& choose = {}) {
  view->menuChooser = [&](QMenu& menu, const QPoint& pos) -> QAction* {
    if (!name.isEmpty()) {
      menu.popup(pos);
      ShootWindows(name, {&main}, QMargins(0, 0, right, 0));
      menu.hide();
    }
    for (QAction* action : menu.actions()) {
      if (!choose.isEmpty() && action->objectName() == choose) return action;
    }
    return nullptr;
  };
  Mouse(view, node, QEvent::MouseButtonPress, Qt::RightButton);
  view->menuChooser = nullptr;
}

// The status window with "Автоопрос" on, then the chart of six minutes of
// readings of a sensor being installed: the link's history is filled as six
// minutes of requests every 3 s would have filled it (ACP 1 drifting, ACP 8
// steady, sensor 1 warming up, sensor 3 read as no number for half a minute
// while its wire was moved).
void StatusChartShots(TForm1& main) {
  vemtaro::app::TForm5* form = main.Form5;
  main.link().AutoPollClick(true);
  main.RefreshLink();
  RunUntil([&] { return main.link().form5.History.Samples().size() >= 2; }, 20000);
  ShootWindows("status-window", {form});
  main.link().StatusWindowClosed();

  vemtaro::StatusHistory& history = main.link().form5.History;
  history.Clear();
  const vemtaro::Millis now = main.adapter().clock().NowMs();
  constexpr int kSamples = 6 * 60 / 3;
  auto text = [](double v, int decimals) { return QString::number(v, 'f', decimals).toStdString(); };
  for (int i = 0; i <= kSamples; ++i) {
    const double t = static_cast<double>(i) / kSamples;
    vemtaro::StatusReading r;
    r.analog[0] = text(512 + 40 * t + 6 * std::sin(i * 0.35), 0);
    r.analog[1] = text(498 - 3 * std::cos(i * 0.5), 0);
    r.analog[7] = text(734 + ((i / 7) % 2), 0);
    r.sensors[0] = QString::asprintf("%+.1f", 19.0 + 4.5 * (1 - std::exp(-6 * t))).toStdString();
    r.sensors[1] = QString::asprintf("%+.1f", 19.0 + 0.1 * std::sin(i * 0.2)).toStdString();
    r.sensors[2] = i >= 60 && i < 70 ? std::string("---") : text(-4.5 + 0.3 * std::sin(i * 0.1), 1);
    history.Add(now - (kSamples - i) * vemtaro::StatusAutoPoll::kIntervalMs, r);
  }
  main.RefreshLink();
  form->ChartButton->click();
  // Shown again where the picture wants it.
  form->Chart->hide();
  form->Chart->move(40, 20 + kTitleHeight);
  form->Chart->show();
  ShootWindows("status-chart", {form->Chart});
}

}  // namespace

// "Сравнить с контроллером" against a controller whose configuration was
// changed since it was read: the compare window with one difference checked.
bool CompareShot(TForm1& main) {
  vemtaro::SilentDialogs silent;
  vemtaro::EditDialogs edit(silent);
  vemtaro::MainModel other(edit);
  other.Startup();
  const auto bytes = main.model().SettingsFileBytes();
  if (!bytes || !other.OpenSettingsBytes(*bytes)) return false;
  const vemtaro::BatchResult changed = vemtaro::SetSettings(other, edit,
                                                            {{"AbonentNo3", "+79265550101"},
                                                             {"Rele2", "20"},
                                                             {"Вход 2/Замыкание/relays", "ZNNNNNNNNNNNNNNN"},
                                                             {"Вход 2/Замыкание/sms", "Открыта дверь склада"},
                                                             {"Датчик 1/Выше MAX порога/max", "28"},
                                                             {"Zones", "[1 1 0 0 0 0 0 0]"}});
  if (!changed.ok) return false;
  vemtaro::Bytes held = other.ws.working.bytes();
  held.back() = vemtaro::ImageChecksum(vemtaro::ConfigImage(held));
  main.adapter().simulator()->controller().SetImage(held);
  main.CompareController->trigger();
  if (!RunUntil([&] { return main.Compare != nullptr && main.Compare->isVisible(); }, 30000)) return false;
  QTreeWidget* list = main.Compare->Differences;
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    for (int k = 0; k < list->topLevelItem(g)->childCount(); ++k) {
      QTreeWidgetItem* item = list->topLevelItem(g)->child(k);
      if (item->text(0) == "Rele2") {
        item->setCheckState(0, Qt::Checked);
        list->setCurrentItem(item);
      }
    }
  }
  main.Compare->move(40, 60 + kTitleHeight);
  ShootWindows("compare-window", {&main, main.Compare});
  main.Compare->CloseButton->click();
  return true;
}

// The configuration written to the controller with its copy before and its
// read-back after: the progress window during the write, then the outcome
// that names the copy's file.
bool ShootWrite(TForm1& main) {
  vemtaro::app::TForm2* f = main.Form2;
  main.N15->trigger();
  RunUntil([&] { return f->Stage->text() == "Запись…" && f->Gauge1->value() > f->Gauge1->maximum() / 2; }, 60000);
  ShootWindows("progress-window", {&main, f});
  if (!RunUntil([&] { return main.link().saveResult.has_value() && f->ShowsOutcome(); }, 60000)) return false;
  ShootWindows("transfer-outcome", {&main, f});
  f->CloseButton->click();
  return !f->isVisible();
}

// "Справка" → "Руководство пользователя" (F1): the guide in front of the main
// window, which goes on taking input.
void ShootGuide(TForm1& main) {
  const QPoint mainAt = main.pos();
  main.move(8, 8 + kTitleHeight);
  main.Guide->trigger();
  QWidget* guide = main.HelpWindow;
  if (guide != nullptr) {
    guide->resize(700, 560);
    guide->move(main.frameGeometry().x() + 300, main.frameGeometry().y() + 150 + kTitleHeight);
    Settle();
    ShootWindows("guide-window", {&main, guide});
    guide->hide();
  }
  main.move(mainAt);
}

// "Файл" → "Новая конфигурация" (Ctrl+N): the version of the new configuration.
void ShootNewConfiguration(TForm1& main) {
  main.model().MarkUnmodified();  // no changes to ask about here
  WhenModal([&main](QWidget* w) {
    ShootWindows("new-configuration", {&main, w});
    Press(w, QDialogButtonBox::Cancel);
  });
  main.NewConfiguration->trigger();
}

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  vemtaro::app::SetUpApplication();
  vemtaro::app::LoadQtTranslations(&app);
  outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(outDir);

  Desktop desktop;
  desktop.show();

  vemtaro::app::TForm3 splash;
  splash.move(20, 20);
  splash.show();
  Shoot("splash", splash.frameGeometry());
  splash.hide();

  vemtaro::app::QtDialogs dialogs;
  vemtaro::shell::QtFileStore files;
  TForm1 main(dialogs, files);
  dialogs.setParent(&main);
  main.move(20, 20 + kTitleHeight);
  main.show();
  main.activateWindow();
  main.FormShow();
  Settle();

  auto& m = main.model();
  vemtaro::Tree& t1 = m.Tree1;
  vemtaro::Tree& t2 = m.Tree2;
  // Some settings, so the pages show something.
  m.pages.ObjectID.text = "OBJ-17";
  m.pages.ObjectIDExit();
  m.pages.AbonentNo[0].text = "+79161234567";
  m.pages.AbonentNoExit(1);
  m.pages.AbonentNo[1].text = "+79037654321";
  m.pages.AbonentNoExit(2);
  m.pages.SetSpinValue({vemtaro::SpinRow::Rele, 1}, 4);
  m.pages.SetSpinValue({vemtaro::SpinRow::Rele, 2}, 10);
  m.pages.SetSpinValue({vemtaro::SpinRow::Rele, 5}, 120);
  // Input 1 closing: relay 1 on, relay 2 off, subscriber 1 in slot 1.
  TreeNode* closing = t1.top(0)->child(0);
  m.commands.Click("N2", {closing->child(0)->child(0)});
  m.commands.Click("N3", {closing->child(0)->child(1)});
  m.commands.Tree1MouseDown(closing->child(1)->child(0), vemtaro::MouseButton::Right, false, m.AbonentEdits());
  m.commands.Click("N11", {});
  m.commands.PopupClosed();
  main.RefreshAll();

  // The question asked before a replacing action while the settings hold
  // changes, answered "Отмена".
  WhenModal([&main](QWidget* w) {
    ShootWindows("save-changes", {&main, w});
    if (auto* cancel = w->findChild<QPushButton*>("Cancel")) cancel->click();
  });
  dialogs.AskSaveChanges();
  // The sample settings count as the ones opened, so that the actions below
  // go on without the question.
  m.MarkUnmodified();

  const char* names[] = {"tab1-common", "tab2-delays", "tab3-control-sensors", "tab4-parametric-sensors", "tab5-guard"};
  for (int i = 0; i < 5; ++i) {
    main.RzPageControl1->setCurrentIndex(i);
    if (i == 2) {
      ExpandPath(main.Tree1, {t1.top(0), closing, closing->child(0)});
      main.Tree1->scrollToItem(main.Tree1->ItemOf(t1.top(0)), QAbstractItemView::PositionAtTop);
    }
    if (i == 3) {
      ExpandPath(main.Tree2, {t2.top(0), t2.top(0)->child(0), t2.top(0)->child(0)->child(1)});
      main.Tree2->scrollToItem(main.Tree2->ItemOf(t2.top(0)), QAbstractItemView::PositionAtTop);
    }
    ShootWindows(names[i], {&main});
  }

  // The relay durations: relays left at 0 show the infinity sign.
  main.RzPageControl1->setCurrentIndex(1);
  if (auto* setup = main.findChild<vemtaro::app::SetupPage*>()) {
    setup->tabs()->setCurrentIndex(setup->tabs()->count() - 1);
    ShootWindows("tab2-relays", {&main});
    setup->tabs()->setCurrentIndex(0);
  }

  // The version menu open.
  main.RzPageControl1->setCurrentIndex(0);
  main.N19->popup(main.mapToGlobal(main.menuBar()->actionGeometry(main.N19->menuAction()).bottomLeft()));
  Settle();
  main.N20->popup(main.N19->geometry().topRight() + QPoint(0, main.N19->actionGeometry(main.N20->menuAction()).top()));
  ShootWindows("version-menu", {&main}, QMargins(0, 0, 200, 0));
  main.N20->hide();
  main.N19->hide();

  // The popup menus of Tree1: a relay, a phone slot, an alarm clock.
  main.RzPageControl1->setCurrentIndex(2);
  MenuShot(main, main.Tree1, closing->child(0)->child(3), "tree-popup-menu", 120);
  ExpandPath(main.Tree1, {closing->child(1)});
  MenuShot(main, main.Tree1, closing->child(1)->child(1), "tree-phones-menu", 120);
  main.Tree1->collapseItem(main.Tree1->ItemOf(t1.top(0)));
  TreeNode* alarm = t1.top(14);
  MenuShot(main, main.Tree1, alarm, "tree-alarm-menu", 120);

  // The alarm time window, opened by "Изменить время" on the time node.
  ExpandPath(main.Tree1, {alarm});
  WhenModal([](QWidget* w) {
    ShootWindows("alarm-time", {w});
    if (auto* form4 = qobject_cast<vemtaro::app::TForm4Window*>(w)) form4->Button2->click();
  });
  MenuShot(main, main.Tree1, alarm->child(0), QString(), 0, "N17");
  main.Tree1->collapseItem(main.Tree1->ItemOf(alarm));

  // The SMS text entry (double click on the text under "SMS"), answered OK.
  main.Tree1->scrollToItem(main.Tree1->ItemOf(t1.top(0)), QAbstractItemView::PositionAtTop);
  ExpandPath(main.Tree1, {t1.top(0), closing, closing->child(2)});
  WhenModal([](QWidget* w) {
    ShootWindows("sms-dialog", {w});
    Press(w, QDialogButtonBox::Ok);
  });
  Mouse(main.Tree1, closing->child(2)->child(0), QEvent::MouseButtonDblClick, Qt::LeftButton);

  // The threshold entry (double click on the value under "Выше MAX порога").
  main.RzPageControl1->setCurrentIndex(3);
  TreeNode* above = t2.top(0)->child(0);
  WhenModal([](QWidget* w) {
    ShootWindows("threshold-dialog", {w});
    Press(w, QDialogButtonBox::Ok);
  });
  Mouse(main.Tree2, above->child(0), QEvent::MouseButtonDblClick, Qt::LeftButton);
  main.RzPageControl1->setCurrentIndex(0);

  // The port menu of the connection pane, as a click opens it, with two USB
  // adapters of one kind among the ports (after its name, what the system
  // tells of each device: description, manufacturer, serial number).
  main.portSource = [] {
    return QList<vemtaro::port::PortEntry>{{"/dev/ttyS0", {}, {}, {}},
                                           {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
                                           {"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "A50285BJ"}};
  };
  main.ShowPortMenu(main.ComStatus->mapToGlobal(QPoint(10, 0)) - QPoint(0, main.PopupMenu1->sizeHint().height() + 60));
  main.PopupMenu1->move(main.ComStatus->mapToGlobal(QPoint(10, 0)) - QPoint(0, main.PopupMenu1->height()));
  ShootWindows("port-menu", {&main});
  main.PopupMenu1->hide();
  main.portSource = &vemtaro::port::AvailablePortEntries;

  // The connection-type dialog, answered "Прямое".
  WhenModal([&main](QWidget* w) {
    ShootWindows("connection-type", {&main, w});
    Press(w, QDialogButtonBox::Ok);
  });
  main.PopupMenuItemsClick(vemtaro::port::SimulatorPortName());
  if (!RunUntil([&] { return m.N13.enabled; }, 30000)) return 1;
  RunUntil([] { return false; }, 1200);  // the pause after "PC_OK"

  // Connected: the exchange menu open.
  main.N13->popup(main.menuBar()->mapToGlobal(main.menuBar()->actionGeometry(main.N13->menuAction()).bottomLeft()));
  ShootWindows("main-connected", {&main}, QMargins(0, 0, 60, 0));
  main.N13->hide();

  if (!ShootWrite(main)) return 1;
  m.MarkUnmodified();

  vemtaro::sim::ControllerSim& controller = main.adapter().simulator()->controller();

  // The sensor identifiers the controller has found.
  controller.identifiers()[0] = "28FF4C1A03160512";
  controller.identifiers()[1] = "28FF9B2264150377";
  controller.identifiers()[2] = "10A3C55E0208004D";
  main.ID17->trigger();
  RunUntil([&] { return m.pages.ID[2].text == "10A3C55E0208004D"; }, 20000);
  main.RefreshAll();
  main.RzPageControl1->setCurrentIndex(3);
  ShootWindows("ids-received", {&main});
  main.RzPageControl1->setCurrentIndex(0);

  // The controller's clock set: the message with the time it reports.
  WhenModal([&main](QWidget* w) {
    main.RefreshLink();
    ShootWindows("clock-message", {&main, w});
    Press(w, QDialogButtonBox::Ok);
  });
  main.N16->trigger();
  RunUntil([&] { return main.link().timeResult.has_value(); }, 20000);

  // The status window after a status request, relays 1 and 3 on.
  vemtaro::sim::StatusBlock& status = controller.status();
  status.inputs = {true, false, false, true, false, false, false, true};
  status.analog = {"512", "498", "0", "1023", "12", "0", "0", "734"};
  status.sensors = {"+21.5", "+19.0", "-4.5", "0", "0", "0", "0", "0"};
  status.key = "01A2B3C4D5E6F708";
  main.Form5->show();
  vemtaro::app::CentreOn(main.Form5, &main);
  main.Form5->Button1->click();
  RunUntil([&] { return main.Form5->TM->text() == "01A2B3C4D5E6F708"; }, 20000);
  main.Form5->ReleyItems[0]->click();
  main.Form5->ReleyItems[2]->click();
  StatusChartShots(main);
  main.Form5->hide();

  // The dial window of "Открытие канала связи".
  WhenModal([](QWidget* w) {
    ShootWindows("dial-window", {w});
    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  });
  main.N24->trigger();

  // "Резервные копии…" with copies of three objects.
  QTemporaryDir backups;
  if (backups.isValid()) {
    vemtaro::app::BackupFolderStore& store = main.backupStore();
    store.SetRoot(backups.filePath("backups"));
    struct Kept {
      const char* object;
      int version;
      QDateTime time;
    };
    const Kept kept[] = {
        {"OBJ-17", 15, QDateTime(QDate(2026, 11, 28), QTime(10, 14, 3))},
        {"OBJ-17", 15, QDateTime(QDate(2026, 12, 9), QTime(16, 41, 52))},
        {"SKLAD2", 12, QDateTime(QDate(2026, 12, 2), QTime(9, 5, 30))},
        {"Котельная", 14, QDateTime(QDate(2026, 12, 10), QTime(8, 0, 12))},
    };
    for (const Kept& k : kept) {
      vemtaro::SilentDialogs silent;
      vemtaro::MainModel copy(silent);
      copy.Startup();
      copy.ApplyProfile(k.version);
      const QDateTime at = k.time;
      store.SetClock([at] { return at; });
      std::string where;
      std::string error;
      if (const auto bytes = copy.SettingsFileBytes()) store.Keep({k.object, k.version, *bytes}, where, error);
    }
    store.SetClock({});
    WhenModal([](QWidget* w) {
      ShootWindows("backups-window", {w});
      if (auto* window = qobject_cast<vemtaro::app::BackupsWindow*>(w)) window->CloseButton->click();
    });
    main.Backups->trigger();
  }

  if (!CompareShot(main)) return 1;
  ShootGuide(main);
  ShootNewConfiguration(main);

  // A controller that does not answer "LOAD": the error box of code 93.
  controller.faults().noLoadOk = true;
  WhenModal([&main](QWidget* w) {
    main.RefreshLink();
    ShootWindows("error-93", {&main, w});
    Press(w, QDialogButtonBox::Ok);
  });
  m.MarkUnmodified();  // the identifiers received are no changes to ask about here
  main.N14->trigger();
  controller.faults().noLoadOk = false;
  return 0;
}
