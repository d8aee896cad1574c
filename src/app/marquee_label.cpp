#include "marquee_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace vemtaro::app {
namespace {
constexpr int kStepMs = 40;
constexpr int kGap = 40;
}  // namespace

MarqueeLabel::MarqueeLabel(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kStepMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    const int width = fontMetrics().horizontalAdvance(text_) + kGap;
    offset_ = (offset_ + 1) % width;
    update();
  });
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void MarqueeLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  offset_ = 0;
  setToolTip(text);
  UpdateScrolling();
  update();
}

QSize MarqueeLabel::sizeHint() const { return {120, fontMetrics().height() + 4}; }

void MarqueeLabel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateScrolling();
}

void MarqueeLabel::UpdateScrolling() {
  const bool scroll = fontMetrics().horizontalAdvance(text_) > width() - 6;
  if (scroll && !timer_.isActive()) timer_.start();
  if (!scroll) {
    timer_.stop();
    offset_ = 0;
  }
}

void MarqueeLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int y = (height() + fontMetrics().ascent() - fontMetrics().descent()) / 2;
  if (!timer_.isActive()) {
    p.drawText(3, y, text_);
    return;
  }
  const int width = fontMetrics().horizontalAdvance(text_) + kGap;
  p.drawText(3 - offset_, y, text_);
  p.drawText(3 - offset_ + width, y, text_);
}

bool ElidedLabel::Whole() const {
  return fontMetrics().horizontalAdvance(text()) <= contentsRect().width() - 2 * margin() - 2 * std::max(0, indent());
}

bool ElidedLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !Whole()) {
    const QString tip = toolTip().isEmpty() ? text() : text() + QLatin1Char('\n') + toolTip();
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
    return true;
  }
  return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
  if (Whole()) {
    QLabel::paintEvent(event);
    return;
  }
  QFrame::paintEvent(event);
  QPainter p(this);
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  p.drawText(area, static_cast<int>(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
}

}  // namespace vemtaro::app
