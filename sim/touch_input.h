#pragma once
// Touches on the panel as the interface receives them: mouse presses, moves
// and releases at window coordinates, delivered to the widget under the
// finger, which keeps every event up to the release as Qt's implicit grab
// does. A second press soon after the first and close to it also arrives as
// a double-click. The device's dialogs (separate windows on a PC) take the
// touches that fall on them. Used by scripts and by the workbench's enlarged screen,
// whose window is never on screen itself.
#include <QEvent>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace sim {

class TouchInput {
 public:
  explicit TouchInput(QWidget* window) : window_(window) {}

  // `type` is MouseButtonPress, MouseMove or MouseButtonRelease; `nowMs` a
  // monotonic time for the events' timestamps and the double-click.
  void send(QEvent::Type type, QPoint windowPos, qint64 nowMs);
  bool isDown() const { return !grab_.isNull(); }

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> grab_;  // the widget that took the press
  QPoint lastPressPos_;
  qint64 lastPressMs_ = -1;
};

}  // namespace sim
