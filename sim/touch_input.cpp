#include "sim/touch_input.h"

#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>

#include "sim/screenshot.h"

namespace sim {

void TouchInput::send(QEvent::Type type, QPoint windowPos, qint64 nowMs) {
  if (!window_) return;
  // A dialog of the device's takes the touches on it; while a modal one is
  // up, nothing behind it is touched.
  QWidget* surface = window_;
  QPoint surfacePos = windowPos;
  bool blocked = false;
  for (QWidget* d : deviceDialogs(window_)) {
    const QPoint at = windowPos - dialogOffset(window_, d);
    if (d->rect().contains(at)) {
      surface = d;
      surfacePos = at;
      blocked = false;
    } else if (d->isModal()) {
      surface = nullptr;
      blocked = true;
    }
  }
  QWidget* target = nullptr;
  if (type == QEvent::MouseButtonPress) {
    if (blocked) return;
    target = surface->childAt(surfacePos);
    if (!target) target = surface;
    grab_ = target;
  } else if (grab_) {
    target = grab_.data();
  } else {
    if (blocked) return;
    target = surface->childAt(surfacePos);
    if (!target) target = surface;
  }
  const QPoint global = window_->mapToGlobal(windowPos);
  const QPoint local = target->mapFromGlobal(global);
  const QPoint inWindow = target->window()->mapFromGlobal(global);
  const bool down = grab_ && type != QEvent::MouseButtonRelease;
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, local, inWindow, global, button, down ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
  event.setTimestamp(static_cast<ulong>(nowMs));
  // Let go before the release is delivered: a button may open a modal dialog
  // on it, and the touches on that dialog arrive before this call returns.
  if (type == QEvent::MouseButtonRelease) grab_ = nullptr;
  QCoreApplication::sendEvent(target, &event);
  if (type == QEvent::MouseButtonPress) {
    const QPoint d = windowPos - lastPressPos_;
    const bool doubleClick = lastPressMs_ >= 0 &&
                             nowMs - lastPressMs_ < QApplication::doubleClickInterval() &&
                             std::abs(d.x()) <= 5 && std::abs(d.y()) <= 5 && grab_;
    if (doubleClick) {
      QMouseEvent dbl(QEvent::MouseButtonDblClick, local, inWindow, global, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
      dbl.setTimestamp(static_cast<ulong>(nowMs));
      QCoreApplication::sendEvent(grab_.data(), &dbl);
      lastPressMs_ = -1;
    } else {
      lastPressMs_ = nowMs;
      lastPressPos_ = windowPos;
    }
  }
}

}  // namespace sim
