#include "ui/brightnesspillbutton.h"

#include <QMouseEvent>
#include <QPainter>

BrightnessPillButton::BrightnessPillButton(Kind kind, QWidget* parent)
    : QPushButton(parent), kind_(kind) {
  setFlat(true);
  setFocusPolicy(Qt::NoFocus);
  setAutoFillBackground(false);
  setStyleSheet(QStringLiteral("background:transparent; border:none; margin:0; padding:0;"));
}

QColor BrightnessPillButton::fillColor(Kind kind, bool pressed) {
  if (kind == Minus) return pressed ? QColor(90, 90, 90) : QColor(111, 111, 111);
  return pressed ? QColor(78, 198, 175) : QColor(94, 247, 217);
}

int BrightnessPillButton::signPenWidth(int height) { return height <= 65 ? 2 : height / 22; }

int BrightnessPillButton::signHalfLength(int width) { return width <= 80 ? 8 : width / 9; }

void BrightnessPillButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (isDown()) {
    event->accept();
    return;
  }
  QPushButton::mouseDoubleClickEvent(event);
}

void BrightnessPillButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, false);
  const int w = width();
  const int h = height();
  p.setPen(Qt::NoPen);
  p.setBrush(fillColor(kind_, isDown()));
  p.drawRoundedRect(rect(), h / 2.0, h / 2.0);

  p.setPen(QPen(Qt::white, signPenWidth(h), Qt::SolidLine, Qt::FlatCap));
  const double cx = w / 2.0;
  const double cy = h / 2.0;
  const int half = signHalfLength(w);
  p.drawLine(QPointF(cx - half, cy), QPointF(cx + half, cy));
  if (kind_ == Plus) p.drawLine(QPointF(cx, cy - half), QPointF(cx, cy + half));
}
