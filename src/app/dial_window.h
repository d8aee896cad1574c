// The dial window TForm6.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace vemtaro::app {

// The dial window "Дозвон": a number field with the mask "+7 ___ ___-__-__" and
// two buttons that do nothing; it is closed with its close box. Nothing is
// dialled and nothing is sent.
class TForm6 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm6(QWidget* parent = nullptr);
  // N24Click: opens modally, centred on the owner.
  int ShowModal();
  QLineEdit* LMDMaskEdit1;  // the number, "+7 ___ ___-__-__"
  QPushButton* Button1;     // "Дозвон", does nothing
  QPushButton* Button2;     // "Отмена", does nothing
};

}  // namespace vemtaro::app
