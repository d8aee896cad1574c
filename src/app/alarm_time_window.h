// The alarm time window TForm4Window: the desktop's face of the core's TForm4.
#pragma once

#include <QDialog>

#include "trees/tree_commands.h"

class QPushButton;
class QTimeEdit;

namespace vemtaro::app {

// The alarm time window "Установите время...": the time edit RzDateTimeEdit1,
// "Ok" (Button1) and "Отмена" (Button2), over the core's TForm4. The widget's
// object name stays "TForm4", the form's own name.
class TForm4Window : public QDialog {
  Q_OBJECT
 public:
  TForm4Window(vemtaro::TForm4& core, QWidget* parent = nullptr);
  // FormShow: the edit takes the clicked node's time, then the window runs modally.
  int ShowModal();
  QTimeEdit* RzDateTimeEdit1;  // the alarm time, H:mm
  QPushButton* Button1;        // "Ok"
  QPushButton* Button2;        // "Отмена"

 private:
  vemtaro::TForm4& core_;
};

}  // namespace vemtaro::app
