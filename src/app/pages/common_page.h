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

  QLineEdit* objectId_ = nullptr;
  QLineEdit* password_ = nullptr;
  std::array<QLineEdit*, 9> abonents_{};
  QComboBox* centerPhone_ = nullptr;
  QTableView* operators_ = nullptr;
  ByteSpinBox* attempts_ = nullptr;
  CheckGroupBox* statusSms_ = nullptr;
  CheckGroupBox* statusMessages_ = nullptr;
};

}  // namespace vemtaro::app
