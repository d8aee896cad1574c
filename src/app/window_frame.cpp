#include "window_frame.h"

namespace vemtaro::app {

void CentreOn(QWidget* window, const QWidget* owner) {
  if (owner == nullptr) return;
  const QRect frame = owner->frameGeometry();
  const QSize size = window->frameGeometry().size();
  window->move(frame.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace vemtaro::app
