// The splash TForm3, shown at start over the centre of the screen.
#pragma once

#include <QWidget>

class QTimer;

namespace vemtaro::app {

// Splash picture, 610 x 450, centred, no caption bar, not for input. Its timer
// Timer1 fires once after 3 s and calls the given function.
class TForm3 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);
  QTimer* Timer1;  // one shot, 3 s: the splash ends
 signals:
  void finished();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vemtaro::app
