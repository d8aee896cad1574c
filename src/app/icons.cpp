#include "icons.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "vemtaro_version.h"

namespace vemtaro::app {
namespace {

constexpr int kSize = 32;  // drawn at 32 px, shown at 16 px and scaled for high DPI

enum class Shape { Letter, Up, Down, Clock, Envelope, Cross, Dot, Circle, Tilde };

struct IconSpec {
  QColor colour;
  Shape shape;
  QString glyph;
};

// One colour per kind of node: inputs blue, events green/orange, groups slate,
// relay states green/red/grey, phones teal, guard red, sensors violet, clocks.
const QHash<int, IconSpec>& Specs() {
  // clang-format off
  static const QHash<int, IconSpec> specs = {
      {3, {QColor(0x2f, 0x6f, 0xc0), Shape::Letter, "В"}},
      {4, {QColor(0x2e, 0x9d, 0x4f), Shape::Up, {}}},
      {5, {QColor(0xe0, 0x7b, 0x1a), Shape::Down, {}}},
      {6, {QColor(0x4a, 0x5a, 0x6e), Shape::Letter, "Р"}},
      {7, {QColor(0x4a, 0x5a, 0x6e), Shape::Letter, "Т"}},
      {8, {QColor(0x4a, 0x5a, 0x6e), Shape::Letter, "S"}},
      {11, {QColor(0x9a, 0xa3, 0xad), Shape::Circle, {}}},
      {12, {QColor(0x2e, 0x9d, 0x4f), Shape::Dot, {}}},
      {13, {QColor(0xc8, 0x37, 0x37), Shape::Dot, {}}},
      {14, {QColor(0x16, 0x8c, 0x8c), Shape::Letter, "#"}},
      {15, {QColor(0x3a, 0x8f, 0xd9), Shape::Envelope, {}}},
      {19, {QColor(0xd9, 0xa4, 0x00), Shape::Tilde, {}}},
      {20, {QColor(0xb0, 0x24, 0x2c), Shape::Letter, "О"}},
      {21, {QColor(0xb0, 0x24, 0x2c), Shape::Letter, "+"}},
      {22, {QColor(0x2e, 0x9d, 0x4f), Shape::Letter, "−"}},
      {23, {QColor(0x7b, 0x4f, 0xb8), Shape::Letter, "Д"}},
      {24, {QColor(0x2e, 0x9d, 0x4f), Shape::Letter, "↑"}},
      {25, {QColor(0xe0, 0x7b, 0x1a), Shape::Letter, "↓"}},
      {26, {QColor(0x2e, 0x9d, 0x4f), Shape::Letter, "="}},
      {27, {QColor(0xc8, 0x37, 0x37), Shape::Cross, {}}},
      {28, {QColor(0x8a, 0x5a, 0x2b), Shape::Dot, {}}},
      {37, {QColor(0x4a, 0x5a, 0x6e), Shape::Letter, "Aa"}},
      {38, {QColor(0x8a, 0x5a, 0x2b), Shape::Letter, "К"}},
      {51, {QColor(0x2e, 0x9d, 0x4f), Shape::Clock, {}}},
      {52, {QColor(0x2f, 0x6f, 0xc0), Shape::Clock, {}}},
      {53, {QColor(0x9a, 0xa3, 0xad), Shape::Clock, {}}},
      {54, {QColor(0x3f, 0x4a, 0xb5), Shape::Letter, "Б"}},
      {55, {QColor(0x7b, 0x4f, 0xb8), Shape::Letter, "А"}},
  };
  // clang-format on
  return specs;
}

QPixmap Draw(const IconSpec& spec) {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(2, 2, kSize - 4, kSize - 4);
  const QPen white(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  if (spec.shape == Shape::Circle) {
    p.setPen(QPen(spec.colour, 3.0));
    p.setBrush(Qt::white);
    p.drawEllipse(box.adjusted(3, 3, -3, -3));
    return pm;
  }
  if (spec.shape == Shape::Dot) {
    p.setPen(Qt::NoPen);
    p.setBrush(spec.colour);
    p.drawEllipse(box.adjusted(3, 3, -3, -3));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QRectF(10, 8, 8, 6));
    return pm;
  }
  p.setPen(Qt::NoPen);
  p.setBrush(spec.colour);
  p.drawRoundedRect(box, 6, 6);
  p.setPen(white);
  p.setBrush(Qt::NoBrush);
  switch (spec.shape) {
    case Shape::Up:
      p.setBrush(Qt::white);
      p.drawPolygon(QPolygonF({QPointF(16, 8), QPointF(24, 22), QPointF(8, 22)}));
      break;
    case Shape::Down:
      p.setBrush(Qt::white);
      p.drawPolygon(QPolygonF({QPointF(8, 10), QPointF(24, 10), QPointF(16, 24)}));
      break;
    case Shape::Clock:
      p.drawEllipse(QRectF(7, 7, 18, 18));
      p.drawLine(QPointF(16, 16), QPointF(16, 10));
      p.drawLine(QPointF(16, 16), QPointF(20, 18));
      break;
    case Shape::Envelope:
      p.drawRect(QRectF(7, 10, 18, 13));
      p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(16, 17), QPointF(25, 10)}));
      break;
    case Shape::Cross:
      p.drawLine(QPointF(10, 10), QPointF(22, 22));
      p.drawLine(QPointF(22, 10), QPointF(10, 22));
      break;
    case Shape::Tilde: {
      QPainterPath path(QPointF(7, 18));
      path.cubicTo(QPointF(11, 8), QPointF(15, 8), QPointF(16, 16));
      path.cubicTo(QPointF(17, 24), QPointF(21, 24), QPointF(25, 14));
      p.drawPath(path);
      break;
    }
    default: {
      QFont f = p.font();
      f.setBold(true);
      f.setPixelSize(spec.glyph.size() > 1 ? 14 : 19);
      p.setFont(f);
      p.drawText(box, Qt::AlignCenter, spec.glyph);
      break;
    }
  }
  return pm;
}

}  // namespace

QIcon TreeIcon(int number) {
  static QHash<int, QIcon> cache;
  if (const auto it = cache.constFind(number); it != cache.constEnd()) return *it;
  const auto& specs = Specs();
  const auto spec = specs.constFind(number);
  QIcon icon = spec == specs.constEnd() ? QIcon() : QIcon(Draw(*spec));
  cache.insert(number, icon);
  return icon;
}

QIcon ProgramIcon() {
  QPixmap pm(64, 64);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 64, 64);
  g.setColorAt(0, QColor(0x2f, 0x6f, 0xc0));
  g.setColorAt(1, QColor(0x1b, 0x3a, 0x6b));
  p.setBrush(g);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(16, 18), QPointF(32, 46), QPointF(48, 18)}));
  return QIcon(pm);
}

QPixmap SplashPicture() {
  QPixmap pm(610, 450);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 610, 450);
  g.setColorAt(0, QColor(0x1b, 0x3a, 0x6b));
  g.setColorAt(1, QColor(0x0d, 0x1b, 0x33));
  p.fillRect(pm.rect(), g);
  p.setPen(QPen(QColor(255, 255, 255, 60), 2));
  p.drawRect(QRectF(1, 1, 608, 448));

  // A controller board: terminals, relays and the GSM module.
  const QRectF board(350, 120, 230, 170);
  p.setPen(QPen(QColor(0x9f, 0xd3, 0x9f), 2));
  p.setBrush(QColor(0x1e, 0x5e, 0x3a));
  p.drawRoundedRect(board, 10, 10);
  p.setBrush(QColor(0x22, 0x22, 0x22));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(366, 140, 72, 55));
  p.setPen(QColor(0xdd, 0xdd, 0xdd));
  QFont small = p.font();
  small.setPixelSize(11);
  small.setBold(true);
  p.setFont(small);
  p.drawText(QRectF(366, 140, 72, 55), Qt::AlignCenter, "GSM");
  for (int i = 0; i < 4; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xc0));
    p.drawRect(QRectF(455 + (i % 2) * 55, 140 + (i / 2) * 35, 45, 28));
  }
  for (int i = 0; i < 16; ++i) {
    p.setBrush(QColor(0xd9, 0xa4, 0x00));
    p.drawEllipse(QPointF(362 + i * 13.5, 272), 4, 4);
  }
  p.setPen(QPen(QColor(0x9f, 0xd3, 0x9f), 1.5));
  for (int i = 0; i < 3; ++i) p.drawArc(QRectF(520 - i * 12, 60 - i * 12, 40 + i * 24, 40 + i * 24), 30 * 16, 120 * 16);

  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPixelSize(58);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(40, 110, 300, 90), Qt::AlignLeft | Qt::AlignVCenter, "Vemtaro");
  QFont text = p.font();
  text.setPixelSize(17);
  text.setBold(false);
  p.setFont(text);
  p.setPen(QColor(0xcf, 0xdc, 0xef));
  p.drawText(QRectF(42, 200, 280, 80), Qt::AlignLeft | Qt::TextWordWrap,
             "Конфигуратор GSM-контроллера охраны и телеметрии");
  text.setPixelSize(14);
  p.setFont(text);
  p.drawText(QRectF(42, 380, 400, 24), Qt::AlignLeft, "Версия " VEMTARO_VERSION_TEXT);
  p.setPen(QColor(0x8f, 0xa6, 0xc8));
  p.drawText(QRectF(42, 404, 520, 24), Qt::AlignLeft, "© Разработчики Vemtaro");
  return pm;
}

}  // namespace vemtaro::app
