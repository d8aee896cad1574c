// The status and relay window TForm5.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "window/controller_link.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QHideEvent;

namespace vemtaro::app {

class StatusChart;

// The status and relay window "Управление": the contact inputs, the analogue
// and parametric readings and the Touch Memory key as the controller last
// reported them, the wanted relay states and the status request. It is created
// once and keeps its contents between openings; the main window runs the
// exchanges and shows their results here with Show(). Below the specified
// controls, "Автоопрос" repeats the status request by itself and "График" opens
// the chart of the readings.
class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);
  // Shows the window's state (the widgets' signals blocked).
  void Show(const StatusWindowModel& state);
  // N23: opens modally, centred on the owner; returns when it is closed.
  int ShowModal();

  QGroupBox* Inputs;                       // "Входы", read-only
  std::array<QCheckBox*, 8> InputItems{};  // contact inputs 1..8
  std::array<QLineEdit*, 8> ACP{};         // ACP1..ACP8: analogue input readings
  std::array<QLineEdit*, 8> Dat{};         // Dat1..Dat8: parametric sensor readings
  QLineEdit* TM;                           // "Ключ TouchMemory"
  QMenu* TMMenu;                           // TM's context menu
  QAction* Copy;                           // "Скопировать" (Ctrl+C)
  QAction* N1;                             // "Сохранить как мастер ключ"
  QGroupBox* Releys;                       // "Управление реле"
  std::array<QCheckBox*, 8> ReleyItems{};  // wanted states of relays 1..8
  QPushButton* Button1;                    // "Запрос состояния"
  QCheckBox* AutoPoll;                     // "Автоопрос": the request repeated by itself
  QPushButton* ChartButton;                // "График": opens Chart
  StatusChart* Chart;                      // the readings of the last minutes

 signals:
  // ReleysChange: item index (0-based) of Releys has taken newState.
  void relayChanged(int index, bool newState);
  // Button1Click: the status request.
  void statusRequested();
  // N1Click: the key code is to become the master key.
  void masterKeyChosen();
  // "Автоопрос" switched on or off.
  void autoPollChanged(bool on);

 protected:
  // The chart goes with the window.
  void hideEvent(QHideEvent* event) override;

 private:
  void ShowChart();
  // The readings shown last (the link's, which live as long as the window),
  // and the PC's time at which the newest of them arrived.
  const StatusHistory* history_ = nullptr;
  std::uint64_t historyRevision_ = 0;
  qint64 newestWallMs_ = 0;
};

}  // namespace vemtaro::app
