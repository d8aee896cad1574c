// RzMarqueeStatus1: a status pane whose text scrolls when it is wider than the pane.
#pragma once

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

}  // namespace vemtaro::app
