// The window "Сравнение конфигураций": every difference between the working
// configuration and another one (a settings file, the controller's
// configuration, or what was read back after a write), under the page or tree
// that shows it, with the value on each side. The differences that can be
// taken carry a check box; "Перенести в рабочую конфигурацию" takes the
// checked ones. The comparison itself, and taking, are the core's Comparison.
#pragma once

#include <QDialog>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemtaro {
class Comparison;
}  // namespace vemtaro

namespace vemtaro::app {

class CompareWindow : public QDialog {
  Q_OBJECT
 public:
  // take: takes the rows of the comparison with these indexes; the window
  // lists the comparison anew afterwards.
  explicit CompareWindow(std::function<void(const std::vector<std::size_t>&)> take, QWidget* parent = nullptr);

  // Lists a comparison, under a heading that says what is compared. The
  // comparison must live as long as it is shown.
  void Show(const Comparison& comparison, const QString& heading);
  // Lists the shown comparison anew (after a take); nothing is checked.
  void Reload();
  // The row of the comparison an item of the list stands for; -1 for a group.
  static int RowOf(const QTreeWidgetItem* item);

  QLabel* Heading;
  QTreeWidget* Differences;
  QLabel* Empty;  // "Различий нет", shown when nothing but notes differ
  QPushButton* TakeButton;
  QPushButton* CloseButton;

 private:
  void TakeChecked();
  void UpdateTakeButton();

  std::function<void(const std::vector<std::size_t>&)> take_;
  const Comparison* comparison_ = nullptr;
};

}  // namespace vemtaro::app
