#include "ui/brightnessringwidget.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>
#include <cmath>

const QColor BrightnessRingWidget::kTrackColor{85, 98, 102};
const QColor BrightnessRingWidget::kAccentColor{94, 247, 217};

BrightnessRingWidget::BrightnessRingWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

double BrightnessRingWidget::outerRadius(int side) { return 0.42 * side; }

double BrightnessRingWidget::innerRadius(int side) {
  const double outer = outerRadius(side);
  return outer - std::max(0.12 * outer, 6.0);
}

void BrightnessRingWidget::setValue(int value) {
  const int v = std::clamp(value, 0, 100);
  if (v == value_) return;
  value_ = v;
  update();
}

void BrightnessRingWidget::setText(const QString& valueText, const QString& unitText) {
  if (valueText == valueText_ && unitText == unitText_) return;
  valueText_ = valueText;
  unitText_ = unitText;
  update();
}

void BrightnessRingWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPointF c(std::round(width() / 2.0), std::round(height() / 2.0));
  const int side = std::min(width(), height());
  const double outer = outerRadius(side);
  const double inner = innerRadius(side);

  QPainterPath ring;
  ring.addEllipse(c, outer, outer);
  ring.addEllipse(c, inner, inner);
  ring.setFillRule(Qt::OddEvenFill);
  p.setPen(Qt::NoPen);
  p.fillPath(ring, kTrackColor);

  if (value_ > 0) {
    QPainterPath pie;
    pie.moveTo(c);
    // Qt's angles run counter-clockwise; the gauge fills clockwise.
    pie.arcTo(QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer), 90.0, -value_ * 3.6);
    pie.closeSubpath();
    p.fillPath(pie.intersected(ring), kAccentColor);
  }

  if (valueText_.isEmpty())
    drawSun(p, c, outer);
  else
    drawTexts(p, c, inner);
}

void BrightnessRingWidget::drawSun(QPainter& p, const QPointF& c, double outer) {
  const double s = 0.55 * outer;
  p.setPen(Qt::NoPen);
  p.setBrush(kAccentColor);
  p.drawEllipse(c, 0.34 * s, 0.34 * s);
  QPen pen(kAccentColor, std::max(2.0, std::round(0.08 * s)), Qt::SolidLine, Qt::FlatCap);
  p.setPen(pen);
  for (int k = 0; k < 8; ++k) {
    const double a = qDegreesToRadians(-90.0 + 45.0 * k);
    const QPointF dir(std::cos(a), std::sin(a));
    p.drawLine(c + dir * (0.48 * s), c + dir * (0.72 * s));
  }
}

void BrightnessRingWidget::drawTexts(QPainter& p, const QPointF& c, double inner) {
  const double t = 0.92 * inner;
  QFont valueFont = font();
  valueFont.setBold(true);
  valueFont.setPixelSize(std::max(16, static_cast<int>(std::lround(0.78 * t))));
  p.setPen(kAccentColor);
  if (unitText_.isEmpty()) {
    p.setFont(valueFont);
    p.drawText(QRectF(c.x() - t, c.y() - t, 2 * t, 2 * t), Qt::AlignCenter, valueText_);
    return;
  }
  QFont unitFont = font();
  unitFont.setPixelSize(std::max(11, static_cast<int>(std::lround(0.34 * t))));
  const double valueH = QFontMetricsF(valueFont).height();
  const double unitH = QFontMetricsF(unitFont).height();
  const double top = c.y() - (valueH + unitH) / 2.0;
  p.setFont(valueFont);
  p.drawText(QRectF(c.x() - t, top, 2 * t, valueH), Qt::AlignCenter, valueText_);
  p.setFont(unitFont);
  p.drawText(QRectF(c.x() - t, top + valueH, 2 * t, unitH), Qt::AlignCenter, unitText_);
}
