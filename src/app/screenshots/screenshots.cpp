// Takes the pictures of the user guide and the README: the splash, each tab of
// the main window (with both trees opened somewhere), the version menu open, a
// tree popup menu, and the controller link against the simulated controller:
// the port menu, the connection-type dialog, the main window connected, the
// progress window during a read and the status window. Runs on a real display
// (xvfb-run); writes PNG files into the folder given as its argument.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include <functional>

#include "main_window.h"
#include "marquee_label.h"
#include "other_windows.h"
#include "qt_dialogs.h"
#include "shell/qt_file_store.h"
#include "tree_view.h"

namespace {

using vemtaro::app::ReactionTreeView;
using vemtaro::app::TForm1;

QString outDir;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// The screen around a widget, so that popup menus over it are in the picture.
void Shoot(const QString& name, const QRect& area) {
  Settle();
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  shot.save(QDir(outDir).filePath(name + ".png"));
}

QRect Around(QWidget* w, int right = 0, int below = 0) {
  const QRect g = w->frameGeometry();
  return g.adjusted(0, 0, right, below);
}

// Runs the event loop until `done` holds or the deadline passes.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  deadline.start(timeoutMs);
  check.start(10);
  if (!done()) loop.exec();
  return done();
}

void ExpandPath(ReactionTreeView* view, std::initializer_list<vemtaro::TreeNode*> nodes) {
  for (vemtaro::TreeNode* n : nodes) view->expandItem(view->ItemOf(n));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vemtaro");
  outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(outDir);

  vemtaro::app::TForm3 splash;
  splash.move(20, 20);
  splash.show();
  Shoot("splash", Around(&splash));
  splash.hide();

  vemtaro::app::QtDialogs dialogs;
  vemtaro::shell::QtFileStore files;
  TForm1 main(dialogs, files);
  dialogs.setParent(&main);
  main.move(20, 20);
  main.show();
  main.FormShow();
  Settle();

  auto& m = main.model();
  // Some settings, so the pages show something.
  m.pages.ObjectID.text = "OBJ-17";
  m.pages.ObjectIDExit();
  m.pages.AbonentNo[0].text = "+79161234567";
  m.pages.AbonentNoExit(1);
  m.pages.AbonentNo[1].text = "+79037654321";
  m.pages.AbonentNoExit(2);
  m.pages.SetSpinValue({vemtaro::SpinRow::Rele, 2}, 10);
  main.RefreshAll();

  const char* names[] = {"tab1-common", "tab2-delays", "tab3-control-sensors", "tab4-parametric-sensors",
                         "tab5-guard"};
  vemtaro::Tree& t1 = m.Tree1;
  vemtaro::Tree& t2 = m.Tree2;
  for (int i = 0; i < 5; ++i) {
    main.RzPageControl1->setCurrentIndex(i);
    if (i == 2) {
      ExpandPath(main.Tree1, {t1.top(0), t1.top(0)->child(0), t1.top(0)->child(0)->child(0)});
      main.Tree1->scrollToItem(main.Tree1->ItemOf(t1.top(0)), QAbstractItemView::PositionAtTop);
    }
    if (i == 3) {
      ExpandPath(main.Tree2, {t2.top(0), t2.top(0)->child(0), t2.top(0)->child(0)->child(1)});
      main.Tree2->scrollToItem(main.Tree2->ItemOf(t2.top(0)), QAbstractItemView::PositionAtTop);
    }
    Shoot(names[i], Around(&main));
  }

  // The version menu open.
  main.RzPageControl1->setCurrentIndex(0);
  main.N19->popup(main.mapToGlobal(main.menuBar()->actionGeometry(main.N19->menuAction()).bottomLeft()));
  Settle();
  main.N20->popup(main.N19->geometry().topRight() + QPoint(0, main.N19->actionGeometry(main.N20->menuAction()).top()));
  Shoot("version-menu", Around(&main, 200));
  main.N20->hide();
  main.N19->hide();

  // A relay popup menu of Tree1.
  main.RzPageControl1->setCurrentIndex(2);
  vemtaro::TreeNode* relay = t1.top(0)->child(0)->child(0)->child(3);
  QTreeWidgetItem* item = main.Tree1->ItemOf(relay);
  main.Tree1->setCurrentItem(item);
  const QPoint at = main.Tree1->viewport()->mapToGlobal(main.Tree1->visualItemRect(item).center());
  main.Tree1->menuChooser = [&](QMenu& menu, const QPoint& pos) -> QAction* {
    menu.popup(pos);
    Shoot("tree-popup-menu", Around(&main, 120));
    menu.hide();
    return nullptr;
  };
  QMouseEvent press(QEvent::MouseButtonPress, main.Tree1->viewport()->mapFromGlobal(at), at, Qt::RightButton,
                    Qt::RightButton, {});
  QApplication::sendEvent(main.Tree1->viewport(), &press);
  main.Tree1->menuChooser = nullptr;
  main.RzPageControl1->setCurrentIndex(0);

  // The port menu of the connection pane.
  main.PopupMenu1->popup(main.ComStatus->mapToGlobal(QPoint(10, 0)) - QPoint(0, main.PopupMenu1->sizeHint().height()));
  Shoot("port-menu", Around(&main, 0, 0));
  main.PopupMenu1->hide();

  // The connection-type dialog, answered "Прямое".
  QTimer::singleShot(300, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    Shoot("connection-type", Around(&main));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  main.PopupMenuItemsClick(vemtaro::port::SimulatorPortName());
  if (!RunUntil([&] { return m.N13.enabled; }, 30000)) return 1;
  RunUntil([] { return false; }, 1200);  // the pause after "PC_OK"

  // Connected: the exchange menu open.
  main.N13->popup(main.menuBar()->mapToGlobal(main.menuBar()->actionGeometry(main.N13->menuAction()).bottomLeft()));
  Shoot("main-connected", Around(&main, 60));
  main.N13->hide();

  // A read from the controller, half-way.
  main.N14->trigger();
  RunUntil([&] { return main.Form2->Gauge1->value() > main.Form2->Gauge1->maximum() / 2; }, 30000);
  Shoot("progress-window", Around(&main));
  if (!RunUntil([&] { return !main.Form2->isVisible(); }, 60000)) return 1;

  // The status window after a status request, relays 1 and 3 on.
  vemtaro::sim::StatusBlock& status = main.adapter().simulator()->controller().status();
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
  Shoot("status-window", Around(main.Form5));
  main.Form5->hide();
  return 0;
}
