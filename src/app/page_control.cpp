#include "page_control.h"

#include <QStyle>
#include <QStyleOptionTab>

#include <algorithm>

namespace vemtaro::app {

QSize CaptionTabBar::tabSizeHint(int index) const {
  QSize size = QTabBar::tabSizeHint(index);
  QStyleOptionTab option;
  initStyleOption(&option, index);
  // The whole caption's height with the style's room above and below the
  // text, as Qt gives one line of it.
  const int room = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
  const int text = fontMetrics().size(Qt::TextShowMnemonic, tabText(index)).height();
  size.setHeight(std::max(size.height(), text + room));
  return size;
}

PageControl::PageControl(QWidget* parent) : QTabWidget(parent) { setTabBar(new CaptionTabBar(this)); }

}  // namespace vemtaro::app
