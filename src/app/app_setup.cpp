#include "app_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "icons.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
// Qt's catalogues used by the program: the widgets and dialogs, the serial
// port's error texts.
constexpr const char* kCatalogues[] = {"qtbase_ru", "qtserialport_ru"};
}  // namespace

void SetUpApplication() {
  QApplication::setApplicationName(QString::fromUtf8(main_texts::kTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(main_texts::kVersionText));
  QApplication::setWindowIcon(ProgramIcon());
}

bool LoadQtTranslations(QObject* owner) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool base = false;
  for (const char* catalogue : kCatalogues) {
    auto* translator = new QTranslator(owner);
    if (translator->load(QString::fromLatin1(catalogue), folder) && QCoreApplication::installTranslator(translator)) {
      if (catalogue == kCatalogues[0]) base = true;
    } else {
      delete translator;
    }
  }
  return base;
}

}  // namespace vemtaro::app
