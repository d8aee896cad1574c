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

// The guide's browser. Qt's Markdown reader takes a line break written as
// "<br>" (the guide's tables write the messages' line breaks so) for an
// element left open and loses every text after it; it is handed "<br/>".
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int type, const QUrl& name) override {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::MarkdownResource || resource.userType() != QMetaType::QByteArray) return resource;
    QByteArray text = resource.toByteArray();
    text.replace("<br>", "<br/>");
    return text;
  }
};
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
    // A dialog to the window system: one that belongs to its parent window,
    // which keeps it in front of that window.
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("GuideWindow");
  setModal(false);
  setWindowTitle(QString::fromUtf8(kCaption));
  Browser = new GuideBrowser(this);
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
