#include "ui/toggleswitchbutton.h"

#include <QPainter>

#include "ui/pictures.h"

ToggleSwitchButton::ToggleSwitchButton(QWidget* parent)
    : QPushButton(parent), onPixmap_(loadToggleIcon(true)), offPixmap_(loadToggleIcon(false)) {
  setFlat(true);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setStyleSheet(
      QStringLiteral("background:transparent; border:none; margin:0; padding:0; outline:none;"));
  setFixedSize(switchSize());
}

QSize ToggleSwitchButton::switchSize() const {
  if (onPixmap_.isNull()) return QSize(90, 45);
  return onPixmap_.size() / onPixmap_.devicePixelRatio();
}

void ToggleSwitchButton::setOn(bool on) {
  if (on == on_) return;
  on_ = on;
  update();
}

void ToggleSwitchButton::paintEvent(QPaintEvent*) {
  const QPixmap& pm = on_ ? onPixmap_ : offPixmap_;
  if (pm.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawPixmap(0, 0, pm);
}
