#pragma once
// The touch gestures of the live view: tap, double tap, long press and the
// four swipes, recognised from press and release positions and times alone.
// A plain class, so the thresholds can be exercised without a window.
#include <QPoint>
#include <QtGlobal>

class QEvent;

class HomeGestures {
 public:
  enum class Action { None, StepZoom, OpenMenu, NextPalette, PreviousPalette, NextReticle,
                      PreviousReticle };
  struct Result {
    Action action = Action::None;
    bool consumed = false;  // the event goes no further
  };

  // A press (a quick second press may arrive as a double-click: it counts).
  void press(const QPoint& pos, qint64 nowMs);
  // A release, classified against the last press.
  Result release(const QPoint& pos, qint64 nowMs);
  // A mouse press or release on the live view, as the event filter sees it;
  // any other event is not a gesture.
  Result handle(const QEvent* event, qint64 nowMs);

 private:
  QPoint pressPos_;
  qint64 pressTime_ = 0;
  QPoint lastTapPos_;
  qint64 lastTapTime_ = 0;  // 0: no tap remembered
};
