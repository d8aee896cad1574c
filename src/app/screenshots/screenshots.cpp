// Takes the pictures of the user guide and the README: the splash, each tab of
// the main window (with both trees opened somewhere), the version menu open and
// a tree popup menu. Runs on a real display (xvfb-run); writes PNG files into
// the folder given as its argument.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include "main_window.h"
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
  return 0;
}
