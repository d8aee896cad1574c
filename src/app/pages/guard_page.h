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

  QGroupBox* ohr_ = nullptr;
  QButtonGroup* ohrButtons_ = nullptr;
  QRadioButton* allowed_ = nullptr;
  QRadioButton* forbidden_ = nullptr;
  QCheckBox* ohrSms_ = nullptr;
  CheckGroupBox* aZones_ = nullptr;
  CheckGroupBox* zones_ = nullptr;
  QLineEdit* masterKey_ = nullptr;
  ByteSpinBox* vihod_ = nullptr;
};

}  // namespace vemtaro::app
