// RzMarqueeStatus1: a status pane whose text scrolls when it is wider than the pane.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace vemtaro::app {

class MarqueeLabel : public QWidget {
  Q_OBJECT
 public:
  explicit MarqueeLabel(QWidget* parent = nullptr);
  QString text() const { return text_; }
  void setText(const QString& text);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateScrolling();
  QString text_;
  int offset_ = 0;
  QTimer timer_;
};

// A pane whose text, when it is wider than the pane, is shown with its middle
// left out ("Устройство по…: /dev/ttyUSB0"); text() stays whole, and the
// tooltip then shows it whole above its own text.
class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  // Whether the pane shows its text whole.
  bool Whole() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vemtaro::app
