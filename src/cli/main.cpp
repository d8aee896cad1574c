#include <QCoreApplication>
#include <QString>

#include <csignal>

#include "cli.h"
#include "output.h"
#include "window/main_model.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A file written past the file size limit (ulimit -f) fails with EFBIG,
  // which is reported, instead of ending the program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vemtaro-cli"));
  QCoreApplication::setApplicationVersion(QString::fromUtf8(vemtaro::main_texts::kVersionText));
  return vemtaro::cli::FinishOutput(vemtaro::cli::Run(vemtaro::cli::ArgumentsOf(argc, argv)));
}
