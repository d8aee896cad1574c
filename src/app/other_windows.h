// The windows beside the main window, created once at start and kept for the
// life of the program: the splash TForm3, the progress window TForm2, the alarm
// time window TForm4, the status window TForm5 and the dial window TForm6.
#pragma once

#include <QDialog>
#include <QWidget>

#include "trees/tree_commands.h"

class QLabel;
class QProgressBar;
class QTimeEdit;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vemtaro::app {

// Splash picture, 610 x 450, centred, no caption bar, not for input. Its timer
// Timer1 fires once after 3 s and calls the given function.
class TForm3 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);
  QTimer* Timer1;
 signals:
  void finished();
 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Progress of a transfer: "Работа с устройством" with the gauge Gauge1.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  QProgressBar* Gauge1;
};

// The alarm time window "Установите время...": the time edit RzDateTimeEdit1,
// "Ok" (Button1) and "Отмена" (Button2), over the core's TForm4.
class TForm4 : public QDialog {
  Q_OBJECT
 public:
  TForm4(vemtaro::TForm4& core, QWidget* parent = nullptr);
  // FormShow: the edit takes the clicked node's time, then the window runs modally.
  int ShowModal();
  QTimeEdit* RzDateTimeEdit1;
  QPushButton* Button1;
  QPushButton* Button2;

 private:
  vemtaro::TForm4& core_;
};

// The status and relay window "Управление".
class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);
};

// The dial window "Дозвон": a number field with the mask "+7 ___ ___-__-__" and
// two buttons that do nothing; it is closed with its close box.
class TForm6 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm6(QWidget* parent = nullptr);
  QLineEdit* LMDMaskEdit1;
  QPushButton* Button1;
  QPushButton* Button2;
};

}  // namespace vemtaro::app
