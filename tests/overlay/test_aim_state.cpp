// The overlay's stored state: the persisted centre, slot validation and
// which changes repaint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QList>
#include <QPoint>
#include <QSettings>
#include <limits>

#include "overlay/aim.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"

namespace {

QPointF stored() {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  return QPointF(s.value("aim/center_x").toDouble(), s.value("aim/center_y").toDouble());
}

void load(aim& overlay) {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  overlay.loadCenter(s);
}

QPointF centre(const aim& overlay) { return QPointF(overlay.centerX(), overlay.centerY()); }

class CountingAim : public aim {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* e) override {
    ++paints;
    aim::paintEvent(e);
  }
};

// The centres the overlay reported.
struct CentreLog {
  QList<QPoint> seen;
  explicit CentreLog(aim* overlay) {
    QObject::connect(overlay, &aim::send_real_center, [this](int x, int y) {
      seen.append({x, y});
    });
  }
};

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

}  // namespace

TEST(OverlayCentre, LoadWritesMissingKeysAndReportsTheTruncatedCentre) {
  TempRoot root;
  aim overlay;
  CentreLog spy(&overlay);
  load(overlay);
  EXPECT_EQ(stored(), QPointF(180, 160));
  EXPECT_EQ(spy.seen, QList<QPoint>{QPoint(180, 160)});
  root.write("/etc/settings.ini", "[aim]\ncenter_x=200.7\ncenter_y=-3.5\n");
  load(overlay);
  EXPECT_EQ(centre(overlay), QPointF(200.7, -3.5));
  EXPECT_EQ(spy.seen.value(1), QPoint(200, -3));  // towards zero

  const struct {
    const char* ini;
    QPointF want;
  } cases[] = {
      // One key unreadable: the other is taken, it keeps the current value
      // and is written back.
      {"[aim]\ncenter_x=150\ncenter_y=abc\n", {150, -3.5}},
      {"[aim]\ncenter_x=nan\ncenter_y=1e400\n", {150, -3.5}},
      // Far off the window: held one window size away, where it can be zeroed back.
      {"[aim]\ncenter_x=1e12\ncenter_y=-5e9\n", {720, -320}},
  };
  for (const auto& c : cases) {
    root.write("/etc/settings.ini", c.ini);
    load(overlay);
    EXPECT_EQ(centre(overlay), c.want) << c.ini;
    if (&c == cases) {
      EXPECT_DOUBLE_EQ(stored().y(), -3.5);
    }
  }
  overlay.slot_set_center(-2000000000, 0);
  EXPECT_DOUBLE_EQ(overlay.centerX(), -360.0);
}

TEST(OverlayCentre, MovingAndResettingTheCentreIsConfirmedAndReported) {
  TempRoot root;
  aim overlay;
  CentreLog spy(&overlay);
  QList<QPointF> confirmed;
  QObject::connect(&overlay, &aim::centerConfirmed,
                   [&](double x, double y) { confirmed << QPointF(x, y); });
  // Offsets are in zeroing units: positive y is up, the window's y is down.
  overlay.slot_set_center(13, 12);
  EXPECT_EQ(centre(overlay), QPointF(193, 148));
  overlay.slot_set_center(-20, -2);
  EXPECT_EQ(confirmed, (QList<QPointF>{{193, 148}, {173, 150}}));
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.resetCenter(s);
  }
  EXPECT_EQ(centre(overlay), QPointF(180, 160));
  EXPECT_EQ(stored(), QPointF(180, 160));
  EXPECT_EQ(spy.seen, (QList<QPoint>{{193, 148}, {173, 150}, {180, 160}}));
}

TEST(OverlaySlots, OutOfRangeValuesKeepThePreviousOneAndStillRepaint) {
  TempRoot root;
  CountingAim overlay;
  overlay.resize(360, 320);
  overlay.show();
  settle();
  auto repaints = [&](const std::function<void()>& change) {
    settle();
    const int before = overlay.paints;
    change();
    settle();
    return overlay.paints > before;
  };

  overlay.slot_recv_reticle_color(2);
  for (int bad : {5, -1}) EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_color(bad); }));
  EXPECT_EQ(overlay.reticleColor(), 2);
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_dot_color(3); }));
  EXPECT_EQ(overlay.reticleDotColor(), 1);

  overlay.slot_recv_reticle_type(2);
  // A negative type must not select outside the four shapes.
  for (int bad : {4, -1}) EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_type(bad); }));
  EXPECT_EQ(overlay.reticleType(), 2);
  EXPECT_NE(dynamic_cast<const aim_cross_three*>(overlay.currentReticle()), nullptr);
  overlay.slot_recv_reticle_type(3);
  EXPECT_NE(dynamic_cast<const aim_cross_four*>(overlay.currentReticle()), nullptr);
  overlay.slot_recv_reticle_type(0);
  EXPECT_NE(dynamic_cast<const aim_cross_one*>(overlay.currentReticle()), nullptr);

  EXPECT_TRUE(repaints([&] { overlay.slot_recv_language(7); }));
  EXPECT_EQ(overlay.language(), 2);
  overlay.slot_recv_language(-3);
  EXPECT_EQ(overlay.language(), 0);

  // The battery figure is only on the charging screen.
  EXPECT_FALSE(repaints([&] { overlay.slot_recv_battery_percent(40); }));
  EXPECT_EQ(overlay.batteryPercent(), 40);
  overlay.slot_recv_chargeOnline(true);
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_battery_percent(150); }));
  EXPECT_EQ(overlay.batteryPercent(), 100);
  EXPECT_FALSE(repaints([&] { overlay.slot_recv_battery_percent(100); }));
  overlay.hide();
}

TEST(OverlaySlots, AnyZoomEndsThePreviewAndNegativeOrInvalidZoomsKeepTheLast) {
  TempRoot root;
  aim overlay;
  overlay.slot_reticle_update(2, 7, -3);
  ASSERT_EQ(overlay.previewMode(), 2);

  // Any zoom ends the preview; a negative one hides the zoom but keeps it.
  overlay.slot_update(2.0);
  EXPECT_EQ(overlay.previewMode(), 0);
  EXPECT_DOUBLE_EQ(overlay.zoom(), 2.0);
  EXPECT_FALSE(overlay.zoomHidden());
  overlay.slot_update(-1.0);
  EXPECT_TRUE(overlay.zoom() == 2.0 && overlay.zoomHidden());
  overlay.slot_update(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(overlay.zoom() == 2.0 && overlay.zoomHidden());
  overlay.slot_update(0.0);
  EXPECT_DOUBLE_EQ(overlay.zoom(), 0.0);
  EXPECT_FALSE(overlay.zoomHidden());
}
