// A settings page of the main window: a thin view over the core's page controls.
// A user's action sets the control's state in the core and runs its handler;
// then the page emits modelChanged() and the main window shows the core's state
// again in every page (Refresh, with the widgets' signals blocked).
#pragma once

#include <QWidget>

#include "pages/page_binding.h"

namespace vemtaro {
class MainModel;
}

namespace vemtaro::app {

class PageWidget : public QWidget {
  Q_OBJECT
 public:
  PageWidget(MainModel& model, QWidget* parent = nullptr) : QWidget(parent), model_(model) {}
  // A page going away detaches first: its edits, hidden or unfocused as they
  // go, must not run handlers of a page that is no more.
  ~PageWidget() override { Detach(); }
  // Shows the core's state of every control of the page.
  virtual void Refresh() = 0;
  // From now on nothing the page's widgets report reaches the core: the main
  // window calls it before the core goes, ahead of the widgets themselves.
  void Detach();

 signals:
  // A handler ran; other pages and the trees may have changed too.
  void modelChanged();

 protected:
  // Runs a core handler and then tells the window. A handler that runs while
  // another handler of the page is running is dropped: a message box shown by
  // the first takes the focus, and the edit reports that it was left again.
  template <class Handler>
  void Run(Handler&& handler) {
    if (detached_) return;
    {
      const HandlerGuard guard(busy_);
      if (!guard.entered()) return;
      handler();
    }
    emit modelChanged();
  }

  // Binds an edit's exit handler (see ExitWatcher).
  void OnExit(QLineEdit* edit, std::function<void()> handler);

  MainModel& model_;
  bool busy_ = false;
  bool detached_ = false;
};

}  // namespace vemtaro::app
