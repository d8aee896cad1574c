// Program entry: the single-instance guard, then the windows in their order of
// creation (the splash TForm3 first, then the main window TForm1 with TForm2,
// TForm4, TForm5 and TForm6), and the message loop.
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "icons.h"
#include "main_window.h"
#include "other_windows.h"
#include "qt_dialogs.h"
#include "shell/qt_file_store.h"
#include "single_instance.h"

namespace {
void CentreOnScreen(QWidget* w) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
  }
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vemtaro");
  QApplication::setApplicationDisplayName("Vemtaro");
  QApplication::setWindowIcon(vemtaro::app::ProgramIcon());

  vemtaro::app::SingleInstance instance(
      vemtaro::app::SingleInstance::KeyForProgram(QApplication::applicationFilePath()));
  if (instance.AnotherRunning()) return 0;

  vemtaro::app::TForm3 splash;
  vemtaro::app::QtDialogs dialogs;
  vemtaro::shell::QtFileStore files;
  vemtaro::app::TForm1 main(dialogs, files);
  dialogs.setParent(&main);
  // Closing the main window ends the program (the splash, the application's
  // main form, is hidden by then).
  QObject::connect(&main, &vemtaro::app::TForm1::FormClosed, &app, &QApplication::quit, Qt::QueuedConnection);
  instance.Listen(&main);

  CentreOnScreen(&splash);
  CentreOnScreen(&main);
  QObject::connect(&splash, &vemtaro::app::TForm3::finished, &main, [&main] {
    main.show();
    main.FormShow();
  });
  splash.show();
  splash.Timer1->start();
  return app.exec();
}
