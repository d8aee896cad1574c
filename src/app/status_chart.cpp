#include "status_chart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <limits>

namespace vemtaro::app {
namespace {

const char* const kCaption = "График показаний";
const char* const kTitle = "Показания за последние %1 минут";
const char* const kNoReadings = "Нет показаний, которые читаются как числа: запросите состояние.";
const char* const kTime = "Время";
const char* const kAnalogAxis = "АЦП";
const char* const kSensorAxis = "Датчики";
const char* const kAnalog = "АЦП %1";
const char* const kSensor = "Датчик %1";
// The shortest span of the time axis, so that a single reading stands clear.
constexpr qint64 kMinSpanMs = 60 * 1000;

// Sixteen colours told apart on a white ground; the analogue inputs draw solid
// lines, the sensors dashed ones.
const QColor kColours[kReadingChannels] = {
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(23, 190, 207),  QColor(188, 189, 34), QColor(0, 0, 128),     QColor(128, 0, 0),
    QColor(0, 128, 128),   QColor(255, 0, 255),  QColor(85, 107, 47),   QColor(0, 0, 0),
};

QString ChannelName(std::size_t k) {
  return k < 8 ? QString::fromUtf8(kAnalog).arg(k + 1) : QString::fromUtf8(kSensor).arg(k - 8 + 1);
}

// The value range of an axis, with some room above and below.
void FitAxis(QValueAxis* axis, double low, double high) {
  if (low > high) {
    low = 0;
    high = 1;
  }
  if (low == high) {
    low -= 1;
    high += 1;
  }
  const double room = (high - low) * 0.05;
  axis->setRange(low - room, high + room);
  axis->applyNiceNumbers();
}

}  // namespace

StatusChart::StatusChart(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName("StatusChart");
  setWindowTitle(kCaption);
  Chart = new QChart();
  Chart->setObjectName("Chart");
  Chart->legend()->setAlignment(Qt::AlignBottom);
  Chart->setMargins(QMargins(4, 4, 4, 4));
  TimeAxis = new QDateTimeAxis(Chart);
  TimeAxis->setObjectName("TimeAxis");
  TimeAxis->setFormat("HH:mm:ss");
  TimeAxis->setTitleText(kTime);
  TimeAxis->setTickCount(6);
  AnalogAxis = new QValueAxis(Chart);
  AnalogAxis->setObjectName("AnalogAxis");
  AnalogAxis->setTitleText(kAnalogAxis);
  AnalogAxis->setLabelFormat("%g");
  SensorAxis = new QValueAxis(Chart);
  SensorAxis->setObjectName("SensorAxis");
  SensorAxis->setTitleText(kSensorAxis);
  SensorAxis->setLabelFormat("%g");
  Chart->addAxis(TimeAxis, Qt::AlignBottom);
  Chart->addAxis(AnalogAxis, Qt::AlignLeft);
  Chart->addAxis(SensorAxis, Qt::AlignRight);

  View = new QChartView(Chart, this);
  View->setObjectName("View");
  View->setRenderHint(QPainter::Antialiasing);
  // The chart fills the window: no rounded card on a ground of its own.
  Chart->setBackgroundRoundness(0);
  View->setBackgroundBrush(Chart->backgroundBrush());
  View->setMinimumSize(480, 320);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(View);
  resize(760, 500);
  Draw(StatusHistory{}, 0);
}

void StatusChart::Draw(const StatusHistory& history, qint64 newestWallMs) {
  for (auto& pieces : series_) {
    for (QLineSeries* s : pieces) {
      Chart->removeSeries(s);
      delete s;
    }
    pieces.clear();
  }
  const auto& samples = history.Samples();
  const Millis newestMs = samples.empty() ? 0 : samples.back().atMs;
  auto wallOf = [&](Millis atMs) { return static_cast<qreal>(newestWallMs - (newestMs - atMs)); };

  double low[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  double high[2] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  for (std::size_t k = 0; k < kReadingChannels; ++k) {
    const std::size_t side = k < 8 ? 0 : 1;
    QLineSeries* piece = nullptr;
    for (const StatusSample& sample : samples) {
      const std::optional<double>& value = sample.values[k];
      if (!value) {
        piece = nullptr;  // a gap: the line goes on in a new piece
        continue;
      }
      if (piece == nullptr) {
        piece = new QLineSeries();
        piece->setName(ChannelName(k));
        QPen pen(kColours[k]);
        pen.setWidthF(2);
        if (side == 1) pen.setStyle(Qt::DashLine);
        piece->setPen(pen);
        series_[k].push_back(piece);
      }
      piece->append(wallOf(sample.atMs), *value);
      low[side] = std::min(low[side], *value);
      high[side] = std::max(high[side], *value);
    }
    for (QLineSeries* s : series_[k]) {
      // A reading between two that are no numbers is a point of its own.
      if (s->count() == 1) {
        s->setPointsVisible(true);
        s->setMarkerSize(6);
      }
      Chart->addSeries(s);
      s->attachAxis(TimeAxis);
      s->attachAxis(side == 0 ? AnalogAxis : SensorAxis);
      // One legend entry per channel: its first piece names it.
      if (s != series_[k].front()) {
        for (QLegendMarker* marker : Chart->legend()->markers(s)) marker->setVisible(false);
      }
    }
  }
  const bool analog = low[0] <= high[0];
  const bool sensors = low[1] <= high[1];
  FitAxis(AnalogAxis, low[0], high[0]);
  FitAxis(SensorAxis, low[1], high[1]);
  AnalogAxis->setVisible(analog || !sensors);
  SensorAxis->setVisible(sensors);

  qint64 from = samples.empty() ? newestWallMs - kMinSpanMs : static_cast<qint64>(wallOf(samples.front().atMs));
  const qint64 to = newestWallMs;
  if (to - from < kMinSpanMs) from = to - kMinSpanMs;
  TimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
  Chart->setTitle(analog || sensors ? QString::fromUtf8(kTitle).arg(StatusHistory::kSpanMs / 60000)
                                    : QString::fromUtf8(kNoReadings));
}

int StatusChart::Points(std::size_t channel) const {
  int points = 0;
  if (channel < series_.size()) {
    for (const QLineSeries* s : series_[channel]) points += static_cast<int>(s->count());
  }
  return points;
}

std::vector<QLineSeries*> StatusChart::Drawn() const {
  std::vector<QLineSeries*> drawn;
  for (const auto& pieces : series_) {
    if (!pieces.empty()) drawn.push_back(pieces.front());
  }
  return drawn;
}

}  // namespace vemtaro::app
