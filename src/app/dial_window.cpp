#include "dial_window.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "window_frame.h"

namespace vemtaro::app {
namespace {
const char* const kDialCaption = "Дозвон";
const char* const kDialButton = "Дозвон";
const char* const kCancel = "Отмена";
const char* const kDialMask = "+7 999 999-99-99;_";
}  // namespace

TForm6::TForm6(QWidget* parent) : QDialog(parent, kCloseBoxOnly) {
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
  // Neither button acts, and Enter in the number field presses neither.
  for (QPushButton* button : {Button1, Button2}) button->setAutoDefault(false);
  setFixedSize(sizeHint().expandedTo(QSize(260, 90)));
}

int TForm6::ShowModal() {
  CentreOn(this, parentWidget());
  return exec();
}

}  // namespace vemtaro::app
