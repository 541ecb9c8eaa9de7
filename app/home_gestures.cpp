#include "app/home_gestures.h"

#include <QMouseEvent>
#include <cstdlib>

namespace {
// Limits in pixels and milliseconds.
constexpr int kTapMaxMs = 350;
constexpr int kTapMaxMove = 32;
constexpr int kDoubleTapMaxMs = 450;
constexpr int kDoubleTapMaxDist = 48;
constexpr int kLongPressMs = 450;
constexpr int kSwipeMin = 49;
}  // namespace

void HomeGestures::press(const QPoint& pos, qint64 nowMs) {
  pressPos_ = pos;
  pressTime_ = nowMs;
}

HomeGestures::Result HomeGestures::release(const QPoint& pos, qint64 nowMs) {
  const int dx = pos.x() - pressPos_.x();
  const int dy = pos.y() - pressPos_.y();
  const int adx = std::abs(dx), ady = std::abs(dy);
  const qint64 duration = nowMs - pressTime_;

  if (duration <= kTapMaxMs && adx <= kTapMaxMove && ady <= kTapMaxMove) {
    if (lastTapTime_ != 0 && pressTime_ - lastTapTime_ <= kDoubleTapMaxMs &&
        std::abs(pos.x() - lastTapPos_.x()) <= kDoubleTapMaxDist &&
        std::abs(pos.y() - lastTapPos_.y()) <= kDoubleTapMaxDist) {
      lastTapTime_ = 0;
      return {Action::StepZoom, true};
    }
    lastTapTime_ = nowMs;
    lastTapPos_ = pos;
  } else {
    lastTapTime_ = 0;
  }

  // Taps fall through here harmlessly: they move too little to be anything.
  bool vertical = false;
  if (duration >= kLongPressMs && adx <= kTapMaxMove) {
    if (ady <= kTapMaxMove) return {Action::OpenMenu, true};
    if (ady <= kSwipeMin) return {};
    vertical = true;
  } else if (adx <= kSwipeMin && ady <= kSwipeMin) {
    return {};
  } else {
    vertical = adx < ady;
  }
  if (vertical) return {dy < 0 ? Action::NextPalette : Action::PreviousPalette, true};
  return {dx < 0 ? Action::NextReticle : Action::PreviousReticle, true};
}

HomeGestures::Result HomeGestures::handle(const QEvent* event, qint64 nowMs) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    press(static_cast<const QMouseEvent*>(event)->localPos().toPoint(), nowMs);
    return {};
  }
  if (type != QEvent::MouseButtonRelease) return {};
  return release(static_cast<const QMouseEvent*>(event)->localPos().toPoint(), nowMs);
}
