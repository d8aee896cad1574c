// The windows beside the main window, created once at start and kept for the
// life of the program: the splash TForm3, the progress window TForm2, the alarm
// time window TForm4Window (the desktop's face of the core's TForm4), the status
// window TForm5 and the dial window TForm6.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>

#include "main/controller_link.h"
#include "trees/tree_commands.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimeEdit;
class QTimer;

namespace vemtaro::app {

// Moves a window so that its frame is centred on the owner's frame.
void CentreOn(QWidget* window, const QWidget* owner);

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

// The status and relay window "Управление": the contact inputs, the analogue
// and parametric readings and the Touch Memory key as the controller last
// reported them, the wanted relay states and the status request. It is created
// once and keeps its contents between openings; the main window runs the
// exchanges and shows their results here with Show().
class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);
  // Shows the window's state (the widgets' signals blocked).
  void Show(const StatusWindowModel& state);
  // N23: opens modally, centred on the owner; returns when it is closed.
  int ShowModal();

  QGroupBox* Inputs;                  // "Входы", read-only
  std::array<QCheckBox*, 8> InputItems{};  // contact inputs 1..8
  std::array<QLineEdit*, 8> ACP{};    // ACP1..ACP8: analogue input readings
  std::array<QLineEdit*, 8> Dat{};    // Dat1..Dat8: parametric sensor readings
  QLineEdit* TM;                      // "Ключ TouchMemory"
  QMenu* TMMenu;                      // TM's context menu
  QAction* Copy;                      // "Скопировать" (Ctrl+C)
  QAction* N1;                        // "Сохранить как мастер ключ"
  QGroupBox* Releys;                  // "Управление реле"
  std::array<QCheckBox*, 8> ReleyItems{};  // wanted states of relays 1..8
  QPushButton* Button1;               // "Запрос состояния"

 signals:
  // ReleysChange: item index (0-based) of Releys has taken newState.
  void relayChanged(int index, bool newState);
  // Button1Click: the status request.
  void statusRequested();
  // N1Click: the key code is to become the master key.
  void masterKeyChosen();
};

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
