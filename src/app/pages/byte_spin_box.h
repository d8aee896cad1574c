// The spin box of every page: a value 0..255 with minus and plus buttons, bound
// to one spin box of the core (Input1, Rele7, Vihod, NumOfAttempts, ...).
#pragma once

#include <QSpinBox>

#include "pages/pages.h"

namespace vemtaro {
class MainModel;
}

namespace vemtaro::app {

class ByteSpinBox : public QSpinBox {
  Q_OBJECT
 public:
  ByteSpinBox(MainModel& model, SpinId id, QWidget* parent = nullptr);

  SpinId id() const { return id_; }
  // Shows the core's value, step and enabled state.
  void Show();
  // A widget laid over the number (a relay's infinity marker); it follows the
  // spin box's size and lets the mouse through.
  void SetOverlay(QWidget* overlay);

 signals:
  // The user changed the value; the core has stored it.
  void changedByUser();

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
  // One press of the minus or plus button (or an arrow key, a wheel turn):
  // the core changes the value by the spin box's step.
  void stepBy(int steps) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PressedBy(const QMouseEvent& event);

  MainModel& model_;
  SpinId id_;
  QWidget* overlay_ = nullptr;
};

}  // namespace vemtaro::app
