#include "pages/byte_spin_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include "pages/page_binding.h"
#include "window/main_model.h"

namespace vemtaro::app {

namespace {
// Digits a user may type before the value is clamped to 0..255.
constexpr int kMaxTypedDigits = 5;
}  // namespace

ByteSpinBox::ByteSpinBox(MainModel& model, SpinId id, QWidget* parent) : QSpinBox(parent), model_(model), id_(id) {
  setObjectName(ToQ(model_.pages.SpinAt(id_).name));
  setRange(kSpinMin, kSpinMax);
  setButtonSymbols(QAbstractSpinBox::PlusMinus);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  // A right-button press sets the step; no context menu may take it.
  setContextMenuPolicy(Qt::PreventContextMenu);
  lineEdit()->setContextMenuPolicy(Qt::PreventContextMenu);
  lineEdit()->installEventFilter(this);
  Show();
  connect(this, &QSpinBox::valueChanged, this, [this](int value) {
    model_.pages.SetSpinValue(id_, value);
    emit changedByUser();
  });
}

void ByteSpinBox::Show() {
  const QSignalBlocker block(this);
  const Spin& spin = model_.pages.SpinAt(id_);
  if (value() != spin.value) setValue(spin.value);
  setSingleStep(spin.step);
  setEnabled(spin.enabled);
}

void ByteSpinBox::SetOverlay(QWidget* overlay) {
  overlay_ = overlay;
  overlay_->setParent(this);
  overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
  overlay_->setGeometry(lineEdit()->geometry());
  overlay_->raise();
}

QValidator::State ByteSpinBox::validate(QString& input, int& /*pos*/) const {
  // Any number of a few digits is taken; one outside 0..255 is clamped.
  QStringView digits(input);
  if (digits.startsWith(u'-')) digits = digits.mid(1);
  if (digits.isEmpty()) return QValidator::Intermediate;
  if (digits.size() > kMaxTypedDigits) return QValidator::Invalid;
  for (const QChar c : digits) {
    if (!c.isDigit()) return QValidator::Invalid;
  }
  return QValidator::Acceptable;
}

int ByteSpinBox::valueFromText(const QString& text) const {
  bool ok = false;
  const int v = text.toInt(&ok);
  if (!ok) return value();
  return v < kSpinMin ? kSpinMin : (v > kSpinMax ? kSpinMax : v);
}

void ByteSpinBox::stepBy(int steps) {
  if (steps == 0) return;
  // The core's step counts whatever modifier came with the press; the spin
  // box's own acceleration by Ctrl would multiply it once more.
  const int before = model_.pages.SpinAt(id_).value;
  model_.pages.SpinButton(id_, steps > 0 ? 1 : -1);
  Show();
  selectAll();
  if (model_.pages.SpinAt(id_).value != before) emit changedByUser();
}

void ByteSpinBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter takes the typed value and moves on, which counts as leaving.
    QSpinBox::keyPressEvent(event);
    event->accept();
    focusNextChild();
    return;
  }
  QSpinBox::keyPressEvent(event);
}

void ByteSpinBox::PressedBy(const QMouseEvent& event) {
  model_.pages.ReleMouseDown(id_, event.modifiers().testFlag(Qt::ControlModifier), event.button() == Qt::RightButton);
  setSingleStep(model_.pages.SpinAt(id_).step);
}

void ByteSpinBox::mousePressEvent(QMouseEvent* event) {
  // The minus and plus buttons step by the step that the last press on the
  // number set; a press on them does not set it again.
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  const QStyle::SubControl hit =
      style()->hitTestComplexControl(QStyle::CC_SpinBox, &option, event->position().toPoint(), this);
  if (hit != QStyle::SC_SpinBoxUp && hit != QStyle::SC_SpinBoxDown) PressedBy(*event);
  QSpinBox::mousePressEvent(event);
}

bool ByteSpinBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress) {
    PressedBy(*static_cast<QMouseEvent*>(event));
  }
  return QSpinBox::eventFilter(watched, event);
}

void ByteSpinBox::resizeEvent(QResizeEvent* event) {
  QSpinBox::resizeEvent(event);
  if (overlay_ != nullptr) overlay_->setGeometry(lineEdit()->geometry());
}

}  // namespace vemtaro::app
