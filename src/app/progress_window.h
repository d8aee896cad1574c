// The progress window TForm2, shown while a transfer runs and, after it, with
// the transfer's outcome until the user closes it.
#pragma once

#include <QDialog>
#include <QString>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace vemtaro::app {

// "Работа с устройством": the stage under way, the gauge Gauge1 over the whole
// command, the time left and "Отмена"; when the transfer has ended, its
// outcome with "Закрыть" (Enter and Esc close it too). It has no title-bar
// buttons and stays above the other windows; the user cannot close it while a
// transfer runs.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  // Shows the window centred on its owner, or hides it.
  void SetShown(bool shown);
  // The transfer under way: its stage, the time left ("" while unknown) and
  // whether "Отмена" can be pressed (not while the line settles after it).
  void ShowProgress(const QString& stage, const QString& timeLeft, bool canCancel);
  // How it ended, headed "Готово", "Внимание" or "Ошибка" by its mark.
  enum class Mark { Done, Warning, Failed };
  void ShowOutcome(const QString& text, Mark mark);
  bool ShowsOutcome() const { return outcome_; }

  QLabel* Stage;              // the stage under way
  QProgressBar* Gauge1;       // the share of the whole command done
  QLabel* TimeLeft;           // "Осталось: 0:42"
  QTextEdit* OutcomeText;     // how the transfer ended, wrapped, selectable
  QPushButton* CancelButton;  // "Отмена"
  QPushButton* CloseButton;   // "Закрыть"

 signals:
  void cancelRequested();
  void closeRequested();

 public slots:
  // Esc closes the outcome; while a transfer runs it does nothing.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FitOutcome();
  bool outcome_ = false;
};

}  // namespace vemtaro::app
