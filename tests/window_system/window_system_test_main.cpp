// Runs the desktop program's window-system tests on a real X server (the test
// command starts one of its own with xvfb-run), with the application set up
// as the program sets it up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "app_setup.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  vemtaro::app::SetUpApplication();
  vemtaro::app::LoadQtTranslations(&app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
