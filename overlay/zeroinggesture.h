#pragma once
// Touch zeroing on the zeroing page: a drag moves the dashed cross-hair along
// one axis (8 px of drag per pixel of offset), a double tap applies the
// offsets to the reticle centre and sends the user back to the menu.
//
// The main window owns one, gives it the overlay, calls enter() when the
// zeroing page is shown and forwards every event of that page to
// handleEvent(). It shows offsets() on the page whenever offsetsChanged
// fires, and opens the menu on returnToMenuRequested if the zeroing page is
// still the current one.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <functional>

class QEvent;
class aim;

class ZeroingGesture : public QObject {
  Q_OBJECT

 public:
  enum class Axis { None, Horizontal, Vertical };
  // Milliseconds since the epoch; replaceable so tests need not wait.
  using Clock = std::function<qint64()>;

  // Drag, tap and double-tap limits.
  static constexpr int kAxisLockPx = 11;
  static constexpr int kDragPxPerOffset = 8;
  static constexpr qint64 kTapMaxMs = 280;
  static constexpr int kTapMaxMovePx = 11;
  static constexpr qint64 kDoubleTapGapMs = 351;  // exclusive
  static constexpr int kDoubleTapMaxDistPx = 19;
  static constexpr int kReturnDelayMs = 1200;

  explicit ZeroingGesture(QObject* parent = nullptr);

  // The overlay that shows the preview and whose centre a double tap moves;
  // may be null (then only the offsets and signals work).
  void setOverlay(aim* overlay);
  void setClock(Clock clock);
  // Delay between a confirming double tap and returnToMenuRequested.
  void setReturnDelayMs(int ms);

  // The zeroing page has just been shown: overlay reticle mode 0 and zoom
  // 1.0, offsets (0, 0), preview (3, 0, 0); drag and tap memory forgotten.
  void enter();

  // Mouse press (or double-click press), move and release, in page
  // coordinates; returns true for those, false for any other event.
  bool handleEvent(QEvent* event);
  void press(const QPoint& pos);
  void move(const QPoint& pos);
  void release(const QPoint& pos);

  int offsetX() const { return offsetX_; }
  int offsetY() const { return offsetY_; }
  Axis axis() const { return axis_; }
  bool dragActive() const { return dragActive_; }
  bool tapRemembered() const { return lastTapTime_ != 0; }
  bool returnPending() const { return returnTimer_.isActive(); }
  int returnDelayMs() const { return returnTimer_.interval(); }

 signals:
  // The offsets shown on the page changed (positive x right, positive y up).
  void offsetsChanged(int x, int y);
  // A double tap applied (x, y) to the overlay's centre (already saved).
  void centerMoved(int x, int y);
  // The return delay after a confirming double tap has passed.
  void returnToMenuRequested();

 private:
  void confirm();
  void setOffsets(int x, int y);

  QPointer<aim> overlay_;
  Clock clock_;
  QTimer returnTimer_;

  int offsetX_ = 0;
  int offsetY_ = 0;

  QPoint pressPos_;
  qint64 pressTime_ = 0;
  int pressOffsetX_ = 0;
  int pressOffsetY_ = 0;
  Axis axis_ = Axis::None;
  bool dragActive_ = false;

  qint64 lastTapTime_ = 0;
  QPoint lastTapPos_;
};
