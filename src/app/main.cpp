// Program entry: the single-instance guard, then the windows in their order of
// creation (the splash TForm3 first, then the main window TForm1 with TForm2,
// TForm4Window, TForm5 and TForm6), and the message loop.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <string_view>

#include "alarm_time_window.h"
#include "app_setup.h"
#include "dial_window.h"
#include "main_window.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "shell/file_names.h"
#include "shell/qt_file_store.h"
#include "single_instance.h"
#include "splash_window.h"
#include "status_window.h"

namespace {
void CentreOnScreen(QWidget* w) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
  }
}
}  // namespace

int main(int argc, char** argv) {
  // The version is told without a screen (and without starting the program).
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version" || arg == "-v") {
      std::printf("%s %s\n", vemtaro::main_texts::kTitle, vemtaro::main_texts::kVersionText);
      return 0;
    }
  }
  QApplication app(argc, argv);
  vemtaro::app::SetUpApplication();
  // Without Qt's Russian texts its dialogs speak English; the program still runs.
  vemtaro::app::LoadQtTranslations(&app);

  // "vemtaro [FILE.dat]": a settings file to open once the window is up (the
  // file manager passes the file the user opened).
  QCommandLineParser parser;
  parser.setApplicationDescription("Configuration tool for the GSM alarm and telemetry controller.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("file", "A settings file (*.dat) to open.", "[FILE.dat]");
  const QCommandLineOption portOption(
      "port",
      "Also list this serial port in the port menu (e.g. the /dev/pts/N of vemtaro-sim); while the program\n"
      "runs, a later start hands it the port.",
      "DEV");
  parser.addOption(portOption);
  // The arguments as bytes: a file name need not be UTF-8.
  parser.process(vemtaro::shell::ArgumentsOf(argc, argv));
  const QStringList arguments = parser.positionalArguments();
  const QString fileToOpen = arguments.isEmpty() ? QString() : arguments.first();

  // A copy that runs in this session comes forward and takes the file.
  vemtaro::app::SingleInstance instance(vemtaro::app::SingleInstance::ChannelName(QApplication::applicationFilePath()));
  // So do the ports given with --port: they join its port menu.
  const QStringList ports = parser.values(portOption);
  const vemtaro::app::SingleInstance::Result handed = instance.HandOver(fileToOpen, ports);
  for (const QString& taken : handed.taken) std::printf("vemtaro: %s\n", qPrintable(taken));
  if (handed.outcome == vemtaro::app::SingleInstance::Outcome::HandedOver) return 0;
  if (handed.outcome == vemtaro::app::SingleInstance::Outcome::Failed) {
    std::fprintf(stderr, "vemtaro: %s\n", qPrintable(handed.error));
    QMessageBox::warning(nullptr, QApplication::applicationName(), handed.error);
    return 1;
  }

  vemtaro::app::TForm3 splash;
  vemtaro::app::QtDialogs dialogs;
  vemtaro::shell::QtFileStore files;
  vemtaro::app::TForm1 main(dialogs, files);
  dialogs.setParent(&main);
  // Closing the main window ends the program (the splash, the application's
  // main form, is hidden by then).
  QObject::connect(&main, &vemtaro::app::TForm1::FormClosed, &app, &QApplication::quit, Qt::QueuedConnection);
  main.SetExtraPorts(ports);
  // Later starts come here: the window comes forward, a file opened while the
  // program runs (a double click on a *.dat) waits until the program is idle.
  if (!instance.Listen(
          &main, [&main] { main.ComeForward(); }, [&main](const QString& path) { return main.TakeHandedFile(path); },
          [&main](const QString& port) { return main.AddExtraPort(port); })) {
    std::fprintf(stderr, "vemtaro: later starts will run on their own: %s\n", qPrintable(instance.listenError()));
  }

  CentreOnScreen(&splash);
  CentreOnScreen(&main);
  QObject::connect(&splash, &vemtaro::app::TForm3::finished, &main, [&main, fileToOpen] {
    main.show();
    main.FormShow();
    if (!fileToOpen.isEmpty()) main.OpenFile(fileToOpen);
  });
  splash.show();
  splash.Timer1->start();
  return app.exec();
}
