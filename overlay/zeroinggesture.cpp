#include "overlay/zeroinggesture.h"

#include <QDateTime>
#include <QEvent>
#include <QMouseEvent>
#include <QtGlobal>
#include <cstdlib>

#include "overlay/aim.h"

namespace {
// Preview modes of the overlay: horizontal line moving, vertical line
// moving, both at rest.
constexpr int kPreviewVertical = 1;
constexpr int kPreviewHorizontal = 2;
constexpr int kPreviewIdle = 3;
}  // namespace

ZeroingGesture::ZeroingGesture(QObject* parent)
    : QObject(parent), clock_([] { return QDateTime::currentMSecsSinceEpoch(); }) {
  returnTimer_.setSingleShot(true);
  returnTimer_.setInterval(kReturnDelayMs);
  connect(&returnTimer_, &QTimer::timeout, this, &ZeroingGesture::returnToMenuRequested);
}

void ZeroingGesture::setOverlay(aim* overlay) { overlay_ = overlay; }

void ZeroingGesture::setClock(Clock clock) {
  if (clock) clock_ = std::move(clock);
}

void ZeroingGesture::setReturnDelayMs(int ms) { returnTimer_.setInterval(qMax(0, ms)); }

void ZeroingGesture::enter() {
  dragActive_ = false;
  axis_ = Axis::None;
  lastTapTime_ = 0;
  if (overlay_) {
    overlay_->slot_recv_reticle_mode(RETICLE_MODE_WITH_ZOOM);
    overlay_->slot_update(1.0);
  }
  setOffsets(0, 0);
  if (overlay_) overlay_->slot_reticle_update(kPreviewIdle, 0, 0);
}

bool ZeroingGesture::handleEvent(QEvent* event) {
  if (!event) return false;
  switch (event->type()) {
    // A quick second press arrives as a double-click; for the gesture it is
    // just the press of the second tap.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      press(static_cast<QMouseEvent*>(event)->localPos().toPoint());
      return true;
    case QEvent::MouseMove:
      move(static_cast<QMouseEvent*>(event)->localPos().toPoint());
      return true;
    case QEvent::MouseButtonRelease:
      release(static_cast<QMouseEvent*>(event)->localPos().toPoint());
      return true;
    default:
      return false;
  }
}

void ZeroingGesture::press(const QPoint& pos) {
  pressPos_ = pos;
  pressTime_ = clock_();
  pressOffsetX_ = offsetX_;
  pressOffsetY_ = offsetY_;
  dragActive_ = true;
  axis_ = Axis::None;
}

void ZeroingGesture::move(const QPoint& pos) {
  if (!dragActive_) return;
  const int dx = pos.x() - pressPos_.x();
  const int dy = pos.y() - pressPos_.y();
  if (axis_ == Axis::None) {
    if (std::abs(dx) <= kAxisLockPx && std::abs(dy) <= kAxisLockPx) return;
    axis_ = std::abs(dy) <= std::abs(dx) ? Axis::Horizontal : Axis::Vertical;
  }
  if (axis_ == Axis::Horizontal) {
    offsetX_ = pressOffsetX_ + qRound(dx / double(kDragPxPerOffset));
    if (overlay_) overlay_->slot_reticle_update(kPreviewHorizontal, offsetX_, offsetY_);
  } else {
    // Screen y grows downwards; the offset grows upwards.
    offsetY_ = pressOffsetY_ - qRound(dy / double(kDragPxPerOffset));
    if (overlay_) overlay_->slot_reticle_update(kPreviewVertical, offsetX_, offsetY_);
  }
  emit offsetsChanged(offsetX_, offsetY_);
}

void ZeroingGesture::release(const QPoint& pos) {
  const bool hadPress = dragActive_;
  dragActive_ = false;
  const qint64 now = clock_();
  const bool tap = hadPress && now - pressTime_ <= kTapMaxMs &&
                   std::abs(pos.x() - pressPos_.x()) <= kTapMaxMovePx &&
                   std::abs(pos.y() - pressPos_.y()) <= kTapMaxMovePx;
  if (!tap) {
    lastTapTime_ = 0;
    return;
  }
  const bool doubleTap = lastTapTime_ != 0 && now - lastTapTime_ < kDoubleTapGapMs &&
                         std::abs(pos.x() - lastTapPos_.x()) <= kDoubleTapMaxDistPx &&
                         std::abs(pos.y() - lastTapPos_.y()) <= kDoubleTapMaxDistPx;
  if (doubleTap) {
    confirm();
  } else {
    lastTapTime_ = now;
    lastTapPos_ = pos;
  }
}

void ZeroingGesture::confirm() {
  const int x = offsetX_;
  const int y = offsetY_;
  const bool moved = overlay_ && (x != 0 || y != 0);
  if (moved) overlay_->slot_set_center(x, y);
  setOffsets(0, 0);
  if (overlay_) overlay_->slot_reticle_update(kPreviewIdle, 0, 0);
  lastTapTime_ = 0;
  if (moved) emit centerMoved(x, y);
  returnTimer_.start();
}

void ZeroingGesture::setOffsets(int x, int y) {
  offsetX_ = x;
  offsetY_ = y;
  emit offsetsChanged(x, y);
}
