// "Руководство пользователя": the user guide (guide.md with its pictures) in
// a window of its own. The guide is the one installed with the program, in
// the package's documentation folder next to the program's folder; in a
// build tree, the repository's copy.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace vemtaro::app {

// The guide for a program in programFolder: <programFolder>/../share/doc/
// vemtaro/guide.md when it is there, else the repository's docs/guide.md (a
// program not installed); empty when neither is there.
QString GuideFile(const QString& programFolder);

// The guide's window: not modal, in front of its parent window (the main
// window) and no other; "Закрыть" and Escape hide it.
class GuideWindow : public QDialog {
  Q_OBJECT
 public:
  // Shows the guide of that file.
  explicit GuideWindow(const QString& guideFile, QWidget* parent = nullptr);
  QTextBrowser* Browser;
};

}  // namespace vemtaro::app
