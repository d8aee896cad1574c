#include "other_windows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "icons.h"

namespace vemtaro::app {
namespace {
const char* const kProgressCaption = "Работа с устройством";
const char* const kStatusCaption = "Управление";
const char* const kDialCaption = "Дозвон";
const char* const kDialButton = "Дозвон";
const char* const kCancel = "Отмена";
const char* const kDialMask = "+7 999 999-99-99;_";
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

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm2");
  setWindowTitle(kProgressCaption);
  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName("Gauge1");
  Gauge1->setRange(0, 5484);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Gauge1);
  setFixedSize(360, 70);
}

TForm4::TForm4(vemtaro::TForm4& core, QWidget* parent) : QDialog(parent), core_(core) {
  setObjectName("TForm4");
  setWindowTitle(QString::fromStdString(core.Caption));
  RzDateTimeEdit1 = new QTimeEdit(this);
  RzDateTimeEdit1->setObjectName("RzDateTimeEdit1");
  RzDateTimeEdit1->setDisplayFormat("H:mm");
  Button1 = new QPushButton(QString::fromStdString(core.Button1), this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(QString::fromStdString(core.Button2), this);
  Button2->setObjectName("Button2");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RzDateTimeEdit1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, [this] {
    core_.RzDateTimeEdit1 = RzDateTimeEdit1->text().toStdString();
    core_.Button1Click();
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    core_.Button2Click();
    reject();
  });
  setFixedSize(sizeHint().expandedTo(QSize(220, 90)));
}

int TForm4::ShowModal() {
  core_.FormShow();
  const QTime t = QTime::fromString(QString::fromStdString(core_.RzDateTimeEdit1), "H:mm");
  RzDateTimeEdit1->setTime(t.isValid() ? t : QTime(0, 0));
  const int result = exec();
  if (result != QDialog::Accepted && core_.visible) core_.Button2Click();
  return result;
}

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm5");
  setWindowTitle(kStatusCaption);
  setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(480, 360);
}

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm6");
  setWindowTitle(kDialCaption);
  LMDMaskEdit1 = new QLineEdit(this);
  LMDMaskEdit1->setObjectName("LMDMaskEdit1");
  LMDMaskEdit1->setInputMask(kDialMask);
  Button1 = new QPushButton(kDialButton, this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton(kCancel, this);
  Button2->setObjectName("Button2");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LMDMaskEdit1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(260, 90)));
}

}  // namespace vemtaro::app
