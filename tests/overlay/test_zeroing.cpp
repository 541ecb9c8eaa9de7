// Touch zeroing: drag, axis lock, taps and the confirming double tap, and the
// zeroing page that shows the offsets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QSettings>
#include <array>

#include "overlay/aim.h"
#include "overlay/zeroinggesture.h"
#include "overlay/zeroingpage.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"

namespace {

class Zeroing : public ::testing::Test {
 protected:
  TempRoot root;
  aim overlay;
  ZeroingGesture gesture;
  qint64 now = 1'700'000'000'000;
  QList<QPoint> shown;  // offsetsChanged, in order
  QList<QPoint> moved;  // centerMoved
  int returns = 0;

  void SetUp() override {
    {
      QSettings s(platform::settingsFile(), QSettings::IniFormat);
      overlay.loadCenter(s);
    }
    gesture.setOverlay(&overlay);
    gesture.setClock([this] { return now; });
    QObject::connect(&gesture, &ZeroingGesture::offsetsChanged,
                     [this](int x, int y) { shown.append(QPoint(x, y)); });
    QObject::connect(&gesture, &ZeroingGesture::centerMoved,
                     [this](int x, int y) { moved.append(QPoint(x, y)); });
    QObject::connect(&gesture, &ZeroingGesture::returnToMenuRequested, [this] { ++returns; });
    gesture.enter();
  }

  void drag(QPoint from, QPoint to, int steps = 4) {
    gesture.press(from);
    for (int i = 1; i <= steps; ++i) {
      now += 20;
      gesture.move(from + (to - from) * i / steps);
    }
    now += 300;
    gesture.release(to);
    now += 500;
  }

  // Press, hold for `holdMs`, release at `at + slip`.
  void tap(QPoint at, qint64 holdMs = 60, QPoint slip = QPoint()) {
    gesture.press(at);
    now += holdMs;
    gesture.release(at + slip);
  }

  QPoint offsets() const { return {gesture.offsetX(), gesture.offsetY()}; }
  // The overlay's preview: mode, x and y offset.
  std::array<int, 3> preview() const {
    return {overlay.previewMode(), overlay.previewOffsetX(), overlay.previewOffsetY()};
  }
  using P = std::array<int, 3>;
};

}  // namespace

TEST_F(Zeroing, EnteringResetsOffsetsAndShowsTheIdleCrossHair) {
  drag({100, 100}, {180, 100});
  ASSERT_NE(gesture.offsetX(), 0);
  overlay.slot_recv_reticle_mode(RETICLE_MODE_ALWAYS);
  overlay.slot_update(-1.0);
  shown.clear();
  gesture.enter();
  EXPECT_EQ(offsets(), QPoint(0, 0));
  EXPECT_EQ(shown, QList<QPoint>{QPoint(0, 0)});
  EXPECT_EQ(overlay.reticleMode(), RETICLE_MODE_WITH_ZOOM);
  EXPECT_TRUE(overlay.zoom() == 1.0 && !overlay.zoomHidden());
  EXPECT_EQ(preview(), (P{3, 0, 0}));
}

TEST_F(Zeroing, EightPixelsOfDragMakeOneOffsetPixelRoundedHalfUp) {
  drag({100, 100}, {200, 100});
  EXPECT_EQ(offsets(), QPoint(13, 0));  // 12.5 rounds up
  EXPECT_EQ(preview(), (P{2, 13, 0}));
  EXPECT_EQ(shown.last(), QPoint(13, 0));
  drag({100, 200}, {100, 100});
  EXPECT_EQ(offsets(), QPoint(13, 12));  // -12.5 rounds up to -12, negated
  EXPECT_EQ(preview(), (P{1, 13, 12}));

  // Each drag starts from the offsets at its press; down and left subtract.
  drag({200, 100}, {180, 100});
  EXPECT_EQ(gesture.offsetX(), 11);  // 13 + round(-2.5) = 13 - 2
  drag({100, 100}, {100, 140});
  EXPECT_EQ(gesture.offsetY(), 7);
  // No limit on how far.
  drag({0, 100}, {359, 100});
  drag({0, 100}, {359, 100});
  EXPECT_EQ(gesture.offsetX(), 11 + 45 + 45);
}

TEST_F(Zeroing, AxisLocksBeyond11PixelsAndStaysLocked) {
  gesture.press({100, 100});
  gesture.move({111, 89});
  EXPECT_EQ(gesture.axis(), ZeroingGesture::Axis::None);
  EXPECT_TRUE(shown.size() == 1);  // only enter()
  EXPECT_EQ(overlay.previewMode(), 3);
  // A tie goes to horizontal.
  gesture.move({112, 88});
  EXPECT_EQ(gesture.axis(), ZeroingGesture::Axis::Horizontal);
  EXPECT_EQ(gesture.offsetX(), 2);  // round(1.5)
  // Now mostly vertical: still horizontal, y untouched.
  gesture.move({135, 300});
  EXPECT_EQ(gesture.axis(), ZeroingGesture::Axis::Horizontal);
  EXPECT_EQ(offsets(), QPoint(4, 0));
  gesture.release({135, 300});
  EXPECT_FALSE(gesture.dragActive());

  // Moves without a press do nothing.
  gesture.move({300, 10});
  EXPECT_EQ(gesture.offsetX(), 4);

  // A new press may lock the other axis.
  gesture.press({100, 100});
  gesture.move({90, 130});
  EXPECT_EQ(gesture.axis(), ZeroingGesture::Axis::Vertical);
  EXPECT_EQ(gesture.offsetY(), -4);  // 30 px down = round(3.75) = 4 down
  gesture.move({300, 140});
  EXPECT_EQ(offsets(), QPoint(4, -5));
}

TEST_F(Zeroing, DoubleTapWithoutOffsetsWritesNothingButStillReturnsToTheMenu) {
  gesture.setReturnDelayMs(20);
  const QByteArray before = root.read("/etc/settings.ini");
  ASSERT_FALSE(before.isEmpty());
  QList<QPoint> reported;
  QObject::connect(&overlay, &aim::send_real_center,
                   [&](int x, int y) { reported.append(QPoint(x, y)); });
  overlay.slot_reticle_update(1, 0, 0);

  tap({150, 150});
  now += 200;
  tap({160, 155});
  EXPECT_EQ(root.read("/etc/settings.ini"), before);
  EXPECT_TRUE(reported.isEmpty());
  EXPECT_TRUE(moved.isEmpty());
  EXPECT_DOUBLE_EQ(overlay.centerX(), 180.0);
  EXPECT_EQ(overlay.previewMode(), 3);
  EXPECT_FALSE(gesture.tapRemembered());
  EXPECT_TRUE(gesture.returnPending());

  QElapsedTimer t;
  t.start();
  while (returns == 0 && t.elapsed() < 2000)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  EXPECT_EQ(returns, 1);
  EXPECT_FALSE(gesture.returnPending());
}

TEST_F(Zeroing, ConfirmingDoubleTapMovesTheCentreAndReportsIt) {
  drag({100, 100}, {200, 100});  // X 13
  drag({100, 200}, {100, 100});  // Y 12
  QList<QPointF> confirmed;
  QObject::connect(&overlay, &aim::centerConfirmed,
                   [&](double x, double y) { confirmed << QPointF(x, y); });

  tap({150, 150});
  now += 100;
  tap({150, 150});
  EXPECT_EQ(QPointF(overlay.centerX(), overlay.centerY()), QPointF(193, 148));
  EXPECT_EQ(confirmed, QList<QPointF>{QPointF(193, 148)});
  EXPECT_EQ(moved, QList<QPoint>{QPoint(13, 12)});
  EXPECT_EQ(offsets(), QPoint(0, 0));
  EXPECT_EQ(shown.last(), QPoint(0, 0));
  EXPECT_EQ(preview(), (P{3, 0, 0}));
  EXPECT_TRUE(gesture.returnPending());

  // A third tap right after starts a new pair rather than confirming again.
  now += 100;
  tap({150, 150});
  EXPECT_TRUE(gesture.tapRemembered());
  EXPECT_EQ(moved.size(), 1);
}

TEST_F(Zeroing, TapAndDoubleTapLimits) {
  gesture.setReturnDelayMs(60'000);
  auto confirms = [&](qint64 hold2, qint64 gap, QPoint second, QPoint slip2 = QPoint()) {
    gesture.enter();
    const int before = moved.size();
    drag({100, 100}, {116, 100});  // X 2, so a confirmation shows
    tap({150, 150});
    now += gap - hold2;
    tap(second, hold2, slip2);
    now += 1000;
    return moved.size() > before;
  };
  // Second release 350 ms after the first confirms, 351 does not.
  EXPECT_TRUE(confirms(60, 350, {150, 150}));
  EXPECT_FALSE(confirms(60, 351, {150, 150}));
  // The second tap may be held 280 ms, not 281.
  EXPECT_TRUE(confirms(280, 340, {150, 150}));
  EXPECT_FALSE(confirms(281, 340, {150, 150}));
  // Within 19 px of the first tap in each axis.
  EXPECT_TRUE(confirms(60, 200, {169, 131}));
  EXPECT_FALSE(confirms(60, 200, {170, 150}));
  EXPECT_FALSE(confirms(60, 200, {150, 130}));
  // A tap may slip 11 px between press and release, not 12.
  EXPECT_TRUE(confirms(60, 200, {150, 150}, {11, -11}));
  EXPECT_FALSE(confirms(60, 200, {150, 150}, {0, 12}));

  // A release that is not a tap forgets the remembered tap.
  gesture.enter();
  tap({150, 150});
  EXPECT_TRUE(gesture.tapRemembered());
  tap({150, 150}, 400);
  EXPECT_FALSE(gesture.tapRemembered());
  // A release with no press before it is never a tap.
  tap({150, 150});
  gesture.release({150, 150});
  EXPECT_FALSE(gesture.tapRemembered());
  // Entering the page forgets the tap too.
  tap({150, 150});
  gesture.enter();
  EXPECT_FALSE(gesture.tapRemembered());
}

TEST_F(Zeroing, WithoutAnOverlayOnlyOffsetsAndSignalsWork) {
  ZeroingGesture bare;
  bare.setClock([this] { return now; });
  bare.enter();
  bare.press({0, 0});
  bare.move({40, 0});
  bare.release({40, 0});
  EXPECT_EQ(bare.offsetX(), 5);
  for (int i = 0; i < 2; ++i) {  // a double tap confirms
    now += 100;
    bare.press({5, 5});
    now += 50;
    bare.release({5, 5});
  }
  EXPECT_EQ(bare.offsetX(), 0);
  EXPECT_TRUE(bare.returnPending());
  EXPECT_DOUBLE_EQ(overlay.centerX(), 180.0);
}

namespace {

// The window's page: every event of the page goes to the gesture.
class ForwardingPage : public ZeroingPage {
 public:
  explicit ForwardingPage(ZeroingGesture* g) : ZeroingPage(nullptr, 1.6), gesture_(g) {}
  bool filterPageEvent(QObject*, QEvent* event) override { return gesture_->handleEvent(event); }

 private:
  ZeroingGesture* gesture_;
};

void send(QWidget* w, QEvent::Type type, QPointF pos) {
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent e(type, pos, w->mapToGlobal(pos.toPoint()), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

}  // namespace

TEST_F(Zeroing, PageEventsDriveTheGestureAndThePageShowsTheOffsets) {
  ForwardingPage page(&gesture);
  page.resize(360, 320);
  QObject::connect(&gesture, &ZeroingGesture::offsetsChanged, &page, &ZeroingPage::setOffsets);
  const std::pair<int, QString> titles[] = {{2, "Калибровка"}, {0, "校准"}, {5, "Calibration"}};
  for (const auto& t : titles) {
    page.applyLanguage(t.first);
    EXPECT_EQ(page.titleText(), t.second) << t.first;
  }
  EXPECT_EQ(page.offsetText(), "X: 0   Y: 0");

  // Positions are rounded to whole pixels before use.
  send(&page, QEvent::MouseButtonPress, {100.4, 100});
  send(&page, QEvent::MouseMove, {140.6, 100});  // 41 px -> round(5.125)
  send(&page, QEvent::MouseButtonRelease, {140.6, 100});
  EXPECT_EQ(gesture.offsetX(), 5);
  send(&page, QEvent::MouseButtonPress, {100, 100});
  send(&page, QEvent::MouseMove, {100, 124});
  send(&page, QEvent::MouseButtonRelease, {100, 124});
  EXPECT_EQ(page.offsetText(), "X: 5   Y: -3");

  // A quick second press arrives as a double-click and still confirms.
  now += 1000;
  send(&page, QEvent::MouseButtonPress, {150, 150});
  now += 50;
  send(&page, QEvent::MouseButtonRelease, {150, 150});
  now += 100;
  send(&page, QEvent::MouseButtonDblClick, {150, 150});
  now += 50;
  send(&page, QEvent::MouseButtonRelease, {150, 150});
  EXPECT_EQ(moved, QList<QPoint>{QPoint(5, -3)});
  EXPECT_EQ(QPointF(overlay.centerX(), overlay.centerY()), QPointF(185, 163));
  EXPECT_EQ(page.offsetText(), "X: 0   Y: 0");

  // Other events are not the gesture's.
  QEvent other(QEvent::Enter);
  EXPECT_FALSE(gesture.handleEvent(&other));
  EXPECT_FALSE(gesture.handleEvent(nullptr));
}
