// The page Common "Общие установки": object identifier, password, the
// subscriber numbers, the SMS centre, the sending attempts and the status
// messages.
#pragma once

#include <array>

#include "pages/page_widget.h"

class QComboBox;
class QLineEdit;
class QTableView;

namespace vemtaro::app {

class ByteSpinBox;
class CheckGroupBox;

class CommonPage : public PageWidget {
  Q_OBJECT
 public:
  CommonPage(MainModel& model, QWidget* parent = nullptr);
  void Refresh() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* NumberEdit(int k);
  // Runs a handler unless one is running already, then reports the change.

  QLineEdit* objectId_ = nullptr;            // ObjectID
  QLineEdit* password_ = nullptr;            // PasswordEdit
  std::array<QLineEdit*, 9> abonents_{};     // AbonentNo1..AbonentNo9
  QComboBox* centerPhone_ = nullptr;         // CenterPhone
  QTableView* operators_ = nullptr;          // CenterPhone's drop-down table
  ByteSpinBox* attempts_ = nullptr;          // NumOfAttempts
  CheckGroupBox* statusSms_ = nullptr;       // StatusSMS
  CheckGroupBox* statusMessages_ = nullptr;  // StatusMessages
};

}  // namespace vemtaro::app
