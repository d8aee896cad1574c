// The chart of the status window's readings over the last minutes.
#pragma once

#include <QDialog>
#include <array>
#include <vector>

#include "window/status_history.h"

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace vemtaro::app {

// "График показаний": each analogue input ("АЦП 1".."АЦП 8", on the left axis)
// and each parametric sensor ("Датчик 1".."Датчик 8", on the right axis) whose
// readings are numbers, against the PC's time. A reading that is no number
// leaves a gap in its line. It is opened from the status window and shows what
// the core's StatusHistory holds.
class StatusChart : public QDialog {
  Q_OBJECT
 public:
  explicit StatusChart(QWidget* parent = nullptr);
  // Draws the history; the newest sample is put at newestWallMs, the PC's
  // time in milliseconds since the epoch, and the others before it by the
  // link's clock.
  void Draw(const StatusHistory& history, qint64 newestWallMs);

  // The points drawn for channel k (0..7 ACP1..ACP8, 8..15 Dat1..Dat8).
  int Points(std::size_t channel) const;
  // The series of the channels that are drawn, one per legend entry.
  std::vector<QLineSeries*> Drawn() const;

  QChartView* View;
  QChart* Chart;
  QDateTimeAxis* TimeAxis;
  QValueAxis* AnalogAxis;  // "АЦП"
  QValueAxis* SensorAxis;  // "Датчики"

 private:
  // The line pieces of each channel, split where a reading is no number.
  std::array<std::vector<QLineSeries*>, kReadingChannels> series_;
};

}  // namespace vemtaro::app
