#include "splash_window.h"

#include <QPainter>
#include <QTimer>

#include "icons.h"

namespace vemtaro::app {
namespace {
constexpr int kSplashMs = 3000;
}  // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("TForm3");
  setFixedSize(610, 450);
  setEnabled(false);
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setSingleShot(true);
  Timer1->setInterval(kSplashMs);
  connect(Timer1, &QTimer::timeout, this, [this] {
    Timer1->stop();
    hide();
    emit finished();
  });
}

void TForm3::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, SplashPicture());
}

}  // namespace vemtaro::app
