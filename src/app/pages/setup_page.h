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
  QTabWidget* tabs_ = nullptr;
  QWidget* tabSheet3_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label5_ = nullptr;
  QLabel* label7_ = nullptr;
  QLabel* label8_ = nullptr;
  QGroupBox* timeAfterReaction_ = nullptr;
  QGroupBox* relays_ = nullptr;
  std::array<ByteSpinBox*, 8> inputs_{}, uInputs_{}, aInputs_{}, uaInputs_{};
  std::array<ByteSpinBox*, 16> reles_{};
  std::array<QLabel*, 16> panels_{};
};

}  // namespace vemtaro::app
