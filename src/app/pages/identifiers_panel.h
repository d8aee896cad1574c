// The left group "Идентификаторы датчиков" of the page Dat: the sixteen
// parametric sensors' identifiers, ID9..ID16 shown only where the version has
// them.
#pragma once

#include <array>

#include "pages/page_widget.h"

class QLabel;
class QLineEdit;

namespace vemtaro::app {

class IdentifiersPanel : public PageWidget {
  Q_OBJECT
 public:
  IdentifiersPanel(MainModel& model, QWidget* parent = nullptr);
  void Refresh() override;

 private:
  std::array<QLineEdit*, 16> ids_{};
  std::array<QLabel*, 8> upperLabels_{};  // Label19..Label26 beside ID9..ID16
};

}  // namespace vemtaro::app
