#include "guide_window.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vemtaro::app {
namespace {
const char* const kCaption = "Руководство пользователя";
const char* const kClose = "Закрыть";
// Where the package puts the guide, from the program's folder.
const char* const kInstalled = "../share/doc/vemtaro/guide.md";
}  // namespace

QString GuideFile(const QString& programFolder) {
  const QString installed = QDir::cleanPath(QDir(programFolder).filePath(QString::fromLatin1(kInstalled)));
  if (QFileInfo(installed).isFile()) return installed;
#ifdef VEMTARO_SOURCE_DOCS
  const QString repository = QDir(QStringLiteral(VEMTARO_SOURCE_DOCS)).filePath(QStringLiteral("guide.md"));
  if (QFileInfo(repository).isFile()) return repository;
#endif
  return {};
}

GuideWindow::GuideWindow(const QString& guideFile, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("GuideWindow");
  setWindowTitle(QString::fromUtf8(kCaption));
  Browser = new QTextBrowser(this);
  Browser->setObjectName("Guide");
  // The pictures and the other pages are found beside the guide; links to
  // the web open in the browser.
  Browser->setOpenExternalLinks(true);
  Browser->setSearchPaths({QFileInfo(guideFile).absolutePath()});
  Browser->setSource(QUrl::fromLocalFile(guideFile), QTextDocument::MarkdownResource);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QString::fromUtf8(kClose), QDialogButtonBox::RejectRole);
  close->setObjectName("Close");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Browser);
  layout->addWidget(buttons);
  resize(760, 640);
}

}  // namespace vemtaro::app
