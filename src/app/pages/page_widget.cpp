#include "pages/page_widget.h"

#include <QLineEdit>

namespace vemtaro::app {

void PageWidget::Detach() {
  detached_ = true;
  // Widgets going away may still report a change or a focus move; none of it
  // may reach the core.
  for (ExitWatcher* watcher : findChildren<ExitWatcher*>()) delete watcher;
  for (QWidget* widget : findChildren<QWidget*>()) widget->blockSignals(true);
}

void PageWidget::OnExit(QLineEdit* edit, std::function<void()> handler) {
  new ExitWatcher(edit, [this, handler = std::move(handler)] { Run(handler); });
}

}  // namespace vemtaro::app
