// RzPageControl1: the tab pages of the main window, whose captions take two
// lines ("Общие\nустановки").
#pragma once

#include <QTabBar>
#include <QTabWidget>

namespace vemtaro::app {

// A tab bar whose tabs are as tall as all the lines of their captions need.
// Qt sizes a tab for one line of text; a second line then runs out of the
// tab, and in a tab that is not selected (which the style draws lower) the
// line under the tabs cuts it.
class CaptionTabBar : public QTabBar {
  Q_OBJECT
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override;
};

class PageControl : public QTabWidget {
  Q_OBJECT
 public:
  explicit PageControl(QWidget* parent = nullptr);
};

}  // namespace vemtaro::app
