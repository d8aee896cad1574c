// The page Setup "Задержки входов и реле": the reaction delays and the delays
// after a reaction of the contact and analogue inputs, and the relays'
// on-durations with their infinity markers.
#pragma once

#include <array>

#include "pages/page_widget.h"

class QGroupBox;
class QLabel;
class QTabWidget;

namespace vemtaro::app {

class ByteSpinBox;

class SetupPage : public PageWidget {
  Q_OBJECT
 public:
  SetupPage(MainModel& model, QWidget* parent = nullptr);
  void Refresh() override;

  QTabWidget* tabs() const { return tabs_; }

 private:
  QTabWidget* tabs_ = nullptr;              // sub-pages TabSheet1, TabSheet3, TabSheet4
  QWidget* tabSheet3_ = nullptr;            // the analogue inputs' sub-page
  QLabel* label1_ = nullptr;                // unit caption of Input1..8
  QLabel* label5_ = nullptr;                // unit caption of UInput1..8
  QLabel* label7_ = nullptr;                // unit caption of AInput1..8
  QLabel* label8_ = nullptr;                // unit caption of UAInput1..8
  QGroupBox* timeAfterReaction_ = nullptr;  // the group of UInput1..8
  QGroupBox* relays_ = nullptr;             // RzGroupBox2: the relay durations
  std::array<ByteSpinBox*, 8> inputs_{}, uInputs_{}, aInputs_{}, uaInputs_{};
  std::array<ByteSpinBox*, 16> reles_{};  // Rele1..Rele16
  std::array<QLabel*, 16> panels_{};      // Panel1..Panel16: the infinity markers
};

}  // namespace vemtaro::app
