// The progress window TForm2, shown while a transfer runs.
#pragma once

#include <QDialog>

class QCloseEvent;
class QProgressBar;

namespace vemtaro::app {

// Progress of a transfer: "Работа с устройством" with the gauge Gauge1. It has
// no title-bar buttons, stays above the other windows and cannot be closed by
// the user: only the transfer that showed it hides it again.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  // Shows the window centred on its owner, or hides it.
  void SetShown(bool shown);
  QProgressBar* Gauge1;  // bytes of the transfer so far

 public slots:
  void reject() override {}  // Esc does not close it

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace vemtaro::app
