#include "alarm_time_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace vemtaro::app {

TForm4Window::TForm4Window(vemtaro::TForm4& core, QWidget* parent) : QDialog(parent), core_(core) {
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

int TForm4Window::ShowModal() {
  core_.FormShow();
  const QTime t = QTime::fromString(QString::fromStdString(core_.RzDateTimeEdit1), "H:mm");
  RzDateTimeEdit1->setTime(t.isValid() ? t : QTime(0, 0));
  const int result = exec();
  if (result != QDialog::Accepted && core_.visible) core_.Button2Click();
  return result;
}

}  // namespace vemtaro::app
