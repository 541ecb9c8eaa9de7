#include "ui/battery.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {
// Changes smaller than this are noise of the fuel gauge, not worth a repaint.
constexpr double kValueEpsilon = 0.05;
}  // namespace

const QColor Battery::kWarningColorStart{240, 230, 140};
const QColor Battery::kWarningColorEnd{255, 215, 0};

Battery::Battery(QWidget* parent) : QWidget(parent) {}

template <typename T>
void Battery::setAndRepaint(T& field, const T& v) {
  if (field == v) return;
  field = v;
  update();
}

void Battery::applyRange(double minValue, double maxValue) {
  if (!(minValue < maxValue)) return;
  if (minValue == minValue_ && maxValue == maxValue_) return;
  minValue_ = minValue;
  maxValue_ = maxValue;
  if (value_ <= minValue_ - kValueEpsilon) value_ = minValue_;
  if (value_ >= maxValue_ + kValueEpsilon) value_ = maxValue_;
  currentValue_ = value_;
  update();
}

void Battery::setRange(double minValue, double maxValue) { applyRange(minValue, maxValue); }
void Battery::setRange(int minValue, int maxValue) { applyRange(minValue, maxValue); }
void Battery::setMinValue(double minValue) { applyRange(minValue, maxValue_); }
void Battery::setMaxValue(double maxValue) { applyRange(minValue_, maxValue); }

void Battery::setValue(double value) {
  if (std::isnan(value) || std::fabs(value - value_) < kValueEpsilon) return;
  const double v = std::clamp(value, minValue_, maxValue_);
  if (v == value_) return;
  value_ = currentValue_ = v;
  update();
}

void Battery::setValue(int value) { setValue(static_cast<double>(value)); }

void Battery::setCharging(bool on) { setAndRepaint(charging_, on); }
void Battery::setAlarmValue(double alarmValue) { setAndRepaint(alarmValue_, alarmValue); }
void Battery::setStep(double step) { setAndRepaint(step_, step); }
void Battery::setBorderWidth(int w) { setAndRepaint(borderWidth_, w); }
void Battery::setBorderRadius(int r) { setAndRepaint(borderRadius_, r); }
void Battery::setBgRadius(int r) { setAndRepaint(bgRadius_, r); }
void Battery::setHeadRadius(int r) { setAndRepaint(headRadius_, r); }
void Battery::setBorderColorStart(const QColor& c) { setAndRepaint(borderColorStart_, c); }
void Battery::setBorderColorEnd(const QColor& c) { setAndRepaint(borderColorEnd_, c); }
void Battery::setAlarmColorStart(const QColor& c) { setAndRepaint(alarmColorStart_, c); }
void Battery::setAlarmColorEnd(const QColor& c) { setAndRepaint(alarmColorEnd_, c); }
void Battery::setNormalColorStart(const QColor& c) { setAndRepaint(normalColorStart_, c); }
void Battery::setNormalColorEnd(const QColor& c) { setAndRepaint(normalColorEnd_, c); }

QRectF Battery::bodyRect() const {
  const int w = width();
  const int h = height();
  return QRectF(borderWidth_, borderWidth_, w - w / 10 - borderWidth_, h - 2 * borderWidth_);
}

void Battery::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  const QRectF body = bodyRect();
  drawBody(p, body);
  if (charging_)
    drawCharging(p, body);
  else
    drawLevel(p, body);
  drawHead(p, body);
}

void Battery::drawBody(QPainter& p, const QRectF& body) {
  QPen pen(borderColorStart_, borderWidth_, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(body, borderRadius_, borderRadius_);
}

void Battery::drawLevel(QPainter& p, const QRectF& body) {
  if (currentValue_ <= minValue_) return;
  const int inset = std::min(width(), height()) / 20;
  // The share of the range, so that a range other than 0-100 still fits the body.
  const double share = (currentValue_ - minValue_) / (maxValue_ - minValue_);
  const QRectF fill(body.x() + inset, body.y() + inset, share * (body.width() - 2 * inset),
                    body.height() - 2 * inset);
  QLinearGradient g(QPointF(0, 0), QPointF(0, height()));
  if (currentValue_ <= alarmValue_) {
    g.setColorAt(0, alarmColorStart_);
    g.setColorAt(1, alarmColorEnd_);
  } else if (currentValue_ <= kWarningValue) {
    g.setColorAt(0, kWarningColorStart);
    g.setColorAt(1, kWarningColorEnd);
  } else {
    g.setColorAt(0, normalColorStart_);
    g.setColorAt(1, normalColorEnd_);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(fill, bgRadius_, bgRadius_);
}

void Battery::drawCharging(QPainter& p, const QRectF& body) {
  const int side = std::min(width(), height());
  const int inset = side < 40 ? 1 : side / 20;
  const QRectF inner = body.adjusted(inset, inset, -inset, -inset);
  QLinearGradient g(QPointF(0, 0), QPointF(0, height()));
  g.setColorAt(0, normalColorStart_);
  g.setColorAt(1, normalColorEnd_);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(inner, bgRadius_, bgRadius_);

  const QPointF c = inner.center();
  const double w = inner.width();
  const double h = inner.height();
  const QPolygonF bolt(QVector<QPointF>{
      QPointF(c.x() + 0.08 * w, c.y() - 0.42 * h), QPointF(c.x() - 0.18 * w, c.y() + 0.02 * h),
      QPointF(c.x() - 0.02 * w, c.y() + 0.02 * h), QPointF(c.x() - 0.12 * w, c.y() + 0.42 * h),
      QPointF(c.x() + 0.22 * w, c.y() - 0.06 * h), QPointF(c.x() + 0.04 * w, c.y() - 0.06 * h)});
  p.setBrush(Qt::white);
  p.drawPolygon(bolt);
}

void Battery::drawHead(QPainter& p, const QRectF& body) {
  const int h = height();
  const double left = body.right();
  const QRectF head(left, h / 3, width() - left, (h - h / 3) - h / 3);
  QLinearGradient g(head.topLeft(), head.bottomLeft());
  g.setColorAt(0, borderColorStart_);
  g.setColorAt(1, borderColorEnd_);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(head, headRadius_, headRadius_);
}
