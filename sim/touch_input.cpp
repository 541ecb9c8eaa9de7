#include "sim/touch_input.h"

#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>

namespace sim {

void TouchInput::send(QEvent::Type type, QPoint windowPos, qint64 nowMs) {
  if (!window_) return;
  QWidget* target = nullptr;
  if (type == QEvent::MouseButtonPress) {
    target = window_->childAt(windowPos);
    if (!target) target = window_;
    grab_ = target;
  } else {
    target = grab_ ? grab_.data() : window_->childAt(windowPos);
    if (!target) target = window_;
  }
  const QPoint local = target->mapFrom(window_, windowPos);
  const QPoint global = window_->mapToGlobal(windowPos);
  const bool down = grab_ && type != QEvent::MouseButtonRelease;
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, local, windowPos, global, button, down ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
  event.setTimestamp(static_cast<ulong>(nowMs));
  QCoreApplication::sendEvent(target, &event);
  if (type == QEvent::MouseButtonPress) {
    const QPoint d = windowPos - lastPressPos_;
    const bool doubleClick = lastPressMs_ >= 0 &&
                             nowMs - lastPressMs_ < QApplication::doubleClickInterval() &&
                             std::abs(d.x()) <= 5 && std::abs(d.y()) <= 5 && grab_;
    if (doubleClick) {
      QMouseEvent dbl(QEvent::MouseButtonDblClick, local, windowPos, global, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
      dbl.setTimestamp(static_cast<ulong>(nowMs));
      QCoreApplication::sendEvent(grab_.data(), &dbl);
      lastPressMs_ = -1;
    } else {
      lastPressMs_ = nowMs;
      lastPressPos_ = windowPos;
    }
  } else if (type == QEvent::MouseButtonRelease) {
    grab_ = nullptr;
  }
}

}  // namespace sim
