#pragma once
// Input and timing helpers for the widget tests: synthetic mouse and touch
// events as the window system would deliver them, and a bounded wait.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QTouchDevice>
#include <QTouchEvent>
#include <QWidget>
#include <functional>

#include "tests/support/wait.h"

namespace uitest {

inline void mouse(QWidget* w, QEvent::Type type, const QPoint& local) {
  const QPointF global = w->mapToGlobal(local);
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent e(type, local, local, global, Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// Press at `from` and release at `to`, both in w's coordinates.
inline void drag(QWidget* w, const QPoint& from, const QPoint& to) {
  mouse(w, QEvent::MouseButtonPress, from);
  mouse(w, QEvent::MouseButtonRelease, to);
}

// A left-button tap on `w` at `local`, `gapMs` after the previous one, in
// the two ways a quick second tap reaches a widget: from the window system,
// where Qt turns it into a double-click, or as Qt documents it (and the
// simulator's touch screen delivers it), a press followed by a double-click.
enum class TapDelivery { WindowSystem, PressAndDoubleClick };
inline void timedTap(QWidget* w, const QPoint& local, int gapMs, TapDelivery how) {
  QTest::lastMouseTimestamp += gapMs;
  const ulong pressedAt = static_cast<ulong>(QTest::lastMouseTimestamp);
  QTest::lastMouseTimestamp += 60;
  const ulong releasedAt = static_cast<ulong>(QTest::lastMouseTimestamp);
  if (how == TapDelivery::WindowSystem) {
    QWindow* win = w->window()->windowHandle();
    const QPointF global = w->mapToGlobal(local);
    const QPointF at = win->mapFromGlobal(global.toPoint());
    qt_handleMouseEvent(win, at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress,
                        Qt::NoModifier, static_cast<int>(pressedAt));
    qt_handleMouseEvent(win, at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease,
                        Qt::NoModifier, static_cast<int>(releasedAt));
  } else {
    static ulong lastPress = 0;
    const bool second = lastPress != 0 && pressedAt - lastPress < 400;
    lastPress = second ? 0 : pressedAt;
    const QPointF global = w->mapToGlobal(local);
    auto send = [&](QEvent::Type type, Qt::MouseButtons held, ulong t) {
      QMouseEvent e(type, local, local, global, Qt::LeftButton, held, Qt::NoModifier);
      e.setTimestamp(t);
      QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, pressedAt);
    if (second) send(QEvent::MouseButtonDblClick, Qt::LeftButton, pressedAt);
    send(QEvent::MouseButtonRelease, Qt::NoButton, releasedAt);
  }
  QApplication::processEvents();
}

// A touch event with one point at a position given in w's coordinates; by
// default a finger landing.
inline void touch(QWidget* w, const QPoint& local, QEvent::Type type = QEvent::TouchBegin,
                  Qt::TouchPointState state = Qt::TouchPointPressed) {
  static QTouchDevice device;
  device.setType(QTouchDevice::TouchScreen);
  QTouchEvent::TouchPoint tp(1);
  tp.setState(state);
  tp.setPos(local);
  tp.setScreenPos(w->mapToGlobal(local));
  QTouchEvent e(type, &device, Qt::NoModifier, state, {tp});
  e.setAccepted(false);
  QApplication::sendEvent(w, &e);
}

// Runs the event loop until cond holds or the time is up; returns cond.
inline bool waitFor(const std::function<bool()>& cond, int ms = 1000) {
  QElapsedTimer t;
  t.start();
  const qint64 limit = qint64(ms) * testsupport::timeScale();
  while (!cond() && t.elapsed() < limit) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return cond();
}

inline void spin(int ms) {
  waitFor([] { return false; }, ms);
}

inline QImage render(QWidget* w) {
  QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
  return img;
}

inline bool near(const QColor& a, const QColor& b, int tol = 10) {
  return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
         std::abs(a.blue() - b.blue()) <= tol;
}

inline QColor mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                          a.greenF() + (b.greenF() - a.greenF()) * t,
                          a.blueF() + (b.blueF() - a.blueF()) * t);
}

}  // namespace uitest
