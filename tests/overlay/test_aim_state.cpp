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

QVariant stored(const char* key) {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  return s.value(key);
}

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
    QObject::connect(overlay, &aim::send_real_center,
                     [this](int x, int y) { seen.append(QPoint(x, y)); });
  }
  int count() const { return seen.size(); }
  QPoint at(int i) const { return seen.at(i); }
};

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

}  // namespace

TEST(OverlayCentre, LoadWritesMissingKeysAndReportsTheTruncatedCentre) {
  TempRoot root;
  aim overlay;
  CentreLog spy(&overlay);
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.loadCenter(s);
  }
  EXPECT_DOUBLE_EQ(stored("aim/center_x").toDouble(), 180.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_y").toDouble(), 160.0);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0), QPoint(180, 160));

  root.write("/etc/settings.ini", "[aim]\ncenter_x=200.7\ncenter_y=-3.5\n");
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.loadCenter(s);
  }
  EXPECT_DOUBLE_EQ(overlay.centerX(), 200.7);
  EXPECT_DOUBLE_EQ(overlay.centerY(), -3.5);
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(1), QPoint(200, -3));  // towards zero

  // One key present, one unreadable: the readable one is taken, the other
  // keeps the current value and is written back.
  root.write("/etc/settings.ini", "[aim]\ncenter_x=150\ncenter_y=abc\n");
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.loadCenter(s);
  }
  EXPECT_DOUBLE_EQ(overlay.centerX(), 150.0);
  EXPECT_DOUBLE_EQ(overlay.centerY(), -3.5);
  EXPECT_DOUBLE_EQ(stored("aim/center_y").toDouble(), -3.5);

  root.write("/etc/settings.ini", "[aim]\ncenter_x=nan\ncenter_y=1e400\n");
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.loadCenter(s);
  }
  EXPECT_DOUBLE_EQ(overlay.centerX(), 150.0);
  EXPECT_DOUBLE_EQ(overlay.centerY(), -3.5);

  // Far off the window: held one window size away, where it can be zeroed back.
  root.write("/etc/settings.ini", "[aim]\ncenter_x=1e12\ncenter_y=-5e9\n");
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.loadCenter(s);
  }
  EXPECT_DOUBLE_EQ(overlay.centerX(), 720.0);
  EXPECT_DOUBLE_EQ(overlay.centerY(), -320.0);
  overlay.slot_set_center(-2000000000, 0);
  EXPECT_DOUBLE_EQ(overlay.centerX(), -360.0);
}

TEST(OverlayCentre, MovingAndResettingTheCentreIsSavedAndReported) {
  TempRoot root;
  aim overlay;
  CentreLog spy(&overlay);

  // Offsets are in zeroing units: positive y is up, the window's y is down.
  overlay.slot_set_center(13, 12);
  EXPECT_DOUBLE_EQ(overlay.centerX(), 193.0);
  EXPECT_DOUBLE_EQ(overlay.centerY(), 148.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_x").toDouble(), 193.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_y").toDouble(), 148.0);
  overlay.slot_set_center(-20, -2);
  EXPECT_DOUBLE_EQ(stored("aim/center_x").toDouble(), 173.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_y").toDouble(), 150.0);
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(1), QPoint(173, 150));

  // A later start finds the moved centre.
  {
    aim restarted;
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    restarted.loadCenter(s);
    EXPECT_DOUBLE_EQ(restarted.centerX(), 173.0);
    EXPECT_DOUBLE_EQ(restarted.centerY(), 150.0);
  }

  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay.resetCenter(s);
  }
  EXPECT_DOUBLE_EQ(overlay.centerX(), 180.0);
  EXPECT_DOUBLE_EQ(overlay.centerY(), 160.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_x").toDouble(), 180.0);
  EXPECT_DOUBLE_EQ(stored("aim/center_y").toDouble(), 160.0);
  ASSERT_EQ(spy.count(), 3);
  EXPECT_EQ(spy.at(2), QPoint(180, 160));
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

  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_color(2); }));
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_color(5); }));
  EXPECT_EQ(overlay.reticleColor(), 2);
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_color(-1); }));
  EXPECT_EQ(overlay.reticleColor(), 2);
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_dot_color(3); }));
  EXPECT_EQ(overlay.reticleDotColor(), 1);

  overlay.slot_recv_reticle_type(2);
  EXPECT_NE(dynamic_cast<const aim_cross_three*>(overlay.currentReticle()), nullptr);
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_type(4); }));
  EXPECT_EQ(overlay.reticleType(), 2);
  EXPECT_NE(dynamic_cast<const aim_cross_three*>(overlay.currentReticle()), nullptr);
  // A negative type must not select outside the four shapes.
  EXPECT_TRUE(repaints([&] { overlay.slot_recv_reticle_type(-1); }));
  EXPECT_EQ(overlay.reticleType(), 2);
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
  EXPECT_EQ(overlay.previewMode(), 2);
  EXPECT_EQ(overlay.previewOffsetX(), 7);
  EXPECT_EQ(overlay.previewOffsetY(), -3);

  // Any zoom ends the preview; a negative one hides the zoom but keeps it.
  overlay.slot_update(2.0);
  EXPECT_EQ(overlay.previewMode(), 0);
  EXPECT_DOUBLE_EQ(overlay.zoom(), 2.0);
  EXPECT_FALSE(overlay.zoomHidden());
  overlay.slot_update(-1.0);
  EXPECT_DOUBLE_EQ(overlay.zoom(), 2.0);
  EXPECT_TRUE(overlay.zoomHidden());
  overlay.slot_update(std::numeric_limits<double>::quiet_NaN());
  EXPECT_DOUBLE_EQ(overlay.zoom(), 2.0);
  EXPECT_TRUE(overlay.zoomHidden());
  overlay.slot_update(0.0);
  EXPECT_DOUBLE_EQ(overlay.zoom(), 0.0);
  EXPECT_FALSE(overlay.zoomHidden());
}
