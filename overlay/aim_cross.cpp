#include "overlay/aim_cross.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPolygonF>
#include <QRectF>

#include "ui/texts.h"

namespace {

constexpr double kWindowCenterX = 180.0;
constexpr double kWindowCenterY = 160.0;
constexpr int kWindowWidth = 360;
constexpr int kWindowHeight = 320;

const QColor kAccent(94, 247, 217);
const QColor kChargingFallback(59, 113, 101);

// The charging screen is laid out on a 1.28 px grid so that it scales
// cleanly from the panel's native artwork.
constexpr double kBodyW = 64.0;
constexpr double kBodyH = 29.44;
constexpr double kTermW = 5.12;
constexpr double kTermH = 14.72;
constexpr double kTermDy = 7.36;
constexpr double kGap = 6.4;
constexpr double kInset = 1.92;
constexpr double kTitleGap = 8.96;
constexpr double kTitlePad = 2.56;

QFont chargingFont(int pixelSize) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setWeight(75);
  f.setPixelSize(pixelSize);
  return f;
}

}  // namespace

namespace aimdraw {

QColor reticleColor(int index) {
  switch (index) {
    case 1:
      return QColor(Qt::red);
    case 2:
      return QColor(Qt::white);
    default:
      return QColor(Qt::black);
  }
}

QString pictureDir(int language) {
  switch (language) {
    case 0:
      return QStringLiteral(":/pictures/zh/");
    case 2:
      return QStringLiteral(":/pictures/ru/");
    default:
      return QStringLiteral(":/pictures/en/");
  }
}

QPointF drawnCenter(double centerX, double centerY, double zoom) {
  return QPointF(kWindowCenterX + (centerX - kWindowCenterX) * zoom,
                 kWindowCenterY + (centerY - kWindowCenterY) * zoom);
}

int chargingPercentPixelSize() {
  for (int size = 29; size > 7; --size) {
    if (QFontMetricsF(chargingFont(size)).height() < 30.0) return size;
  }
  return 7;
}

int chargingTitlePixelSize(const QString& title, double width) {
  int lo = 6;
  int hi = 74;
  int best = 6;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (QFontMetricsF(chargingFont(mid)).horizontalAdvance(title) <= width) {
      best = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return best;
}

QString chargingTitle(int language, int percent) {
  return pickText(language, percent >= 100 ? texts::kChargingFullTitle : texts::kChargingTitle);
}

}  // namespace aimdraw

aim_cross_base::~aim_cross_base() = default;

void aim_cross_base::drawStatusImages(QPainter* painter, bool powerOff, int language,
                                      bool lowPower) {
  const QString dir = aimdraw::pictureDir(language);
  if (lowPower) {
    QPixmap pic;
    // The Russian units ship a picture that also names the Type-C socket.
    if (dir.endsWith(QLatin1String("/ru/"))) pic.load(dir + QStringLiteral("connectTypeC.png"));
    if (pic.isNull()) pic.load(dir + QStringLiteral("lowpower.png"));
    if (!pic.isNull()) painter->drawPixmap(0, 0, pic);
  }
  if (powerOff) {
    QPixmap pic(dir + QStringLiteral("poweroff.png"));
    if (!pic.isNull()) painter->drawPixmap(0, 0, pic);
  }
}

void aim_cross_base::drawChargingScreen(QPainter* painter, int language, int percent) {
  percent = qBound(0, percent, 100);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  painter->setRenderHint(QPainter::TextAntialiasing, true);

  const QPixmap background(aimdraw::pictureDir(language) + QStringLiteral("charging.png"));
  if (!background.isNull()) {
    painter->drawPixmap(QRect(0, 0, kWindowWidth, kWindowHeight), background);
  } else {
    painter->fillRect(QRect(QPoint(0, 0), QPoint(kWindowWidth - 1, kWindowHeight - 1)),
                      kChargingFallback);
  }

  const QString percentText = QStringLiteral("%1%").arg(percent);
  const QFont percentFont = chargingFont(aimdraw::chargingPercentPixelSize());
  const double pw = QFontMetricsF(percentFont).horizontalAdvance(percentText);

  const double groupW = pw + kBodyW + kTermW + kGap;
  const double x0 = kWindowCenterX - groupW / 2.0;

  const QString title = aimdraw::chargingTitle(language, percent);
  const QFont titleFont = chargingFont(aimdraw::chargingTitlePixelSize(title, groupW));
  const double th = QFontMetricsF(titleFont).height();

  const double y0 = (kWindowHeight - (th + kTitlePad + kBodyH + kTitleGap)) / 2.0;

  // Battery body and terminal.
  painter->setBrush(Qt::NoBrush);
  painter->setPen(QPen(Qt::white, 1.28));
  painter->drawRoundedRect(QRectF(x0, y0, kBodyW, kBodyH), 1.92, 1.92);
  painter->setPen(Qt::NoPen);
  painter->setBrush(Qt::white);
  painter->drawRoundedRect(QRectF(x0 + kBodyW, y0 + kTermDy, kTermW, kTermH), 1.28, 1.28);

  // Charge level.
  const double innerW = kBodyW - 2 * kInset;
  const double innerH = kBodyH - 2 * kInset;
  const double fillW = percent / 100.0 * innerW;
  if (fillW > 0.5) {
    painter->setBrush(kAccent);
    painter->drawRoundedRect(QRectF(x0 + kInset, y0 + kInset, fillW, innerH), 1.28, 1.28);
  }

  // Lightning bolt over the level.
  const double cx = x0 + kInset + innerW / 2.0;
  const double cy = y0 + kInset + innerH / 2.0;
  const double h = 0.42 * innerH;
  const QPolygonF bolt(
      {QPointF(cx + 0.08 * innerW, cy - h), QPointF(cx - 0.18 * innerW, cy + 0.02 * innerH),
       QPointF(cx - 0.02 * innerW, cy + 0.02 * innerH), QPointF(cx - 0.12 * innerW, cy + h),
       QPointF(cx + 0.22 * innerW, cy - 0.06 * innerH),
       QPointF(cx + 0.04 * innerW, cy - 0.06 * innerH)});
  painter->setBrush(Qt::white);
  painter->drawPolygon(bolt);

  // Texts.
  painter->setBrush(Qt::NoBrush);
  painter->setPen(Qt::white);
  painter->setFont(percentFont);
  painter->drawText(QRectF(x0 + kBodyW + kTermW + kGap, y0, pw + 1.28, kBodyH),
                    Qt::AlignLeft | Qt::AlignVCenter, percentText);
  painter->setFont(titleFont);
  painter->drawText(QRectF(x0, y0 + kBodyH + kTitleGap, groupW, th + kTitlePad), Qt::AlignCenter,
                    title);
  painter->restore();
}

void aim_cross_base::drawZeroPreview(QPainter* painter, const QColor& lineColor,
                                     const QColor& /*dotColor*/, double centerX, double centerY,
                                     double zoom, int mode, int offsetX, int offsetY,
                                     int /*language*/) {
  const QPointF c = aimdraw::drawnCenter(centerX, centerY, zoom);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  painter->translate(c);
  painter->scale(1.0, -1.0);
  // Red stands out against black and white lines; on red lines use white.
  const QColor hairColor = lineColor == QColor(Qt::red) ? QColor(Qt::white) : QColor(Qt::red);
  painter->setPen(QPen(hairColor, 1.0, Qt::DashLine));
  painter->setBrush(Qt::NoBrush);

  // In the flipped frame screen x maps to x - c.x and screen y to c.y - y.
  const double hy = offsetY * zoom;
  const QLineF horizontal(-c.x(), hy, kWindowWidth - c.x(), hy);
  const double vx = offsetX * zoom;
  const QLineF vertical(vx, c.y(), vx, c.y() - kWindowHeight);
  if (mode == 2) {
    painter->drawLine(vertical);
    painter->drawLine(horizontal);
  } else {
    painter->drawLine(horizontal);
    painter->drawLine(vertical);
  }
  painter->restore();
}

void aim_cross_base::drawZoomText(QPainter* painter, double /*centerX*/, double /*centerY*/,
                                  double zoom) {
  painter->save();
  painter->setRenderHint(QPainter::TextAntialiasing, true);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(25);
  painter->setFont(f);
  painter->setPen(kAccent);
  painter->drawText(QPointF(27, 24), QStringLiteral("1x") + QString::number(zoom, 'f', 1));
  painter->restore();
}

void aim_cross_base::drawCenterDot(QPainter* painter, const QColor& dotColor, const QPointF& c) {
  painter->setPen(QPen(dotColor, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
  painter->setBrush(QBrush(dotColor, Qt::SolidPattern));
  painter->drawEllipse(QRectF(c.x() - 3, c.y() - 3, 6, 6));
}

void aim_cross_base::drawTicks(QPainter* painter, const QPointF& c) {
  const double x = c.x();
  const double y = c.y();
  auto line = [painter](double x1, double y1, double x2, double y2) {
    painter->drawLine(QLine(int(x1), int(y1), int(x2), int(y2)));
  };
  line(x - 29, y, x - 19, y);
  line(x + 19, y, x + 29, y);
  line(x, y - 29, x, y - 19);
  line(x, y + 19, x, y + 29);
}

void aim_cross_base::drawBrokenCircle(QPainter* painter, const QPointF& c) {
  // Four 60-degree arcs leave 30-degree gaps facing right, up, left and down.
  const QRect square(int(c.x() - 22), int(c.y() - 22), 44, 44);
  painter->setBrush(Qt::NoBrush);
  for (int start : {15, 105, 195, 285}) painter->drawArc(square, start * 16, 60 * 16);
}

void aim_cross_one::drawReticle(QPainter* painter, const QColor& /*lineColor*/,
                                const QColor& dotColor, double centerX, double centerY,
                                double zoom) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  drawCenterDot(painter, dotColor, aimdraw::drawnCenter(centerX, centerY, zoom));
  painter->restore();
}

void aim_cross_two::drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                                double centerX, double centerY, double zoom) {
  const QPointF c = aimdraw::drawnCenter(centerX, centerY, zoom);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  drawCenterDot(painter, dotColor, c);
  painter->setPen(QPen(lineColor, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
  drawTicks(painter, c);
  painter->restore();
}

void aim_cross_three::drawReticle(QPainter* painter, const QColor& lineColor,
                                  const QColor& dotColor, double centerX, double centerY,
                                  double zoom) {
  const QPointF c = aimdraw::drawnCenter(centerX, centerY, zoom);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  painter->setPen(QPen(lineColor, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  drawBrokenCircle(painter, c);
  drawCenterDot(painter, dotColor, c);
  painter->restore();
}

void aim_cross_four::drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                                 double centerX, double centerY, double zoom) {
  const QPointF c = aimdraw::drawnCenter(centerX, centerY, zoom);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  painter->setPen(QPen(lineColor, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  drawBrokenCircle(painter, c);
  drawTicks(painter, c);
  drawCenterDot(painter, dotColor, c);
  painter->restore();
}
