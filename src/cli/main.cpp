#include <QCoreApplication>
#include <QString>

#include "cli.h"
#include "main/main_model.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vemtaro-cli"));
  QCoreApplication::setApplicationVersion(QString::fromUtf8(vemtaro::main_texts::kVersionText));
  return vemtaro::cli::Run(QCoreApplication::arguments());
}
