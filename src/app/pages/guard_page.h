// The page TabSheet2 "Режим охраны": whether guard mode is allowed, arming by
// SMS, the disarmable zones, the master key and the arming delay.
#pragma once

#include "pages/page_widget.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace vemtaro::app {

class ByteSpinBox;
class CheckGroupBox;

class GuardPage : public PageWidget {
  Q_OBJECT
 public:
  GuardPage(MainModel& model, QWidget* parent = nullptr);
  void Refresh() override;

 private:
  QGroupBox* ohr_ = nullptr;  // Ohr "Режим охраны"
  QButtonGroup* ohrButtons_ = nullptr;
  QRadioButton* allowed_ = nullptr;    // Ohr_1 "Режим разрешен"
  QRadioButton* forbidden_ = nullptr;  // Ohr_2 "Режим запрещен"
  QCheckBox* ohrSms_ = nullptr;        // OhrSMS: arming and disarming by SMS
  CheckGroupBox* aZones_ = nullptr;    // AZones: disarmable analogue zones
  CheckGroupBox* zones_ = nullptr;     // Zones: disarmable contact zones
  QLineEdit* masterKey_ = nullptr;     // MasterKey
  ByteSpinBox* vihod_ = nullptr;       // Vihod: the arming delay
};

}  // namespace vemtaro::app
