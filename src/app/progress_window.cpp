#include "progress_window.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QVBoxLayout>

#include "window_frame.h"

namespace vemtaro::app {
namespace {
const char* const kProgressCaption = "Работа с устройством";
}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TForm2");
  setWindowTitle(kProgressCaption);
  setFocusPolicy(Qt::NoFocus);
  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName("Gauge1");
  Gauge1->setRange(0, 5484);
  Gauge1->setValue(0);
  Gauge1->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Gauge1);
  setFixedSize(360, 70);
}

void TForm2::SetShown(bool shown) {
  if (shown == isVisible()) return;
  if (shown) {
    CentreOn(this, parentWidget());
    show();
    raise();
  } else {
    hide();
  }
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Only the end of the transfer hides the window (hide() sends no close event).
  event->ignore();
}

}  // namespace vemtaro::app
