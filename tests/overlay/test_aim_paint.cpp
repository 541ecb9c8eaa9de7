// What the overlay puts on screen, read back from rendered pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSettings>
#include <cmath>
#include <functional>

#include "overlay/aim.h"
#include "overlay/aim_cross.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"

namespace {

// A flat backdrop no reticle colour can be confused with.
const QColor kBackdrop(64, 72, 80), kRed(Qt::red), kWhite(Qt::white), kAccent(94, 247, 217);

QImage drawn(const std::function<void(QPainter*)>& draw = nullptr) {
  QImage img(360, 320, QImage::Format_ARGB32_Premultiplied);
  img.fill(kBackdrop);
  QPainter p(&img);
  if (draw) draw(&p);
  return img;
}

QImage picture(const char* path) {
  return drawn([&](QPainter* p) { p->drawPixmap(0, 0, QPixmap(path)); });
}

bool near(QColor a, QColor b, int tol = 40) {
  return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
         std::abs(a.blue() - b.blue()) <= tol;
}

bool isBackdrop(const QImage& img, int x, int y) { return img.pixelColor(x, y) == kBackdrop; }

// Pixels in `r` (clipped to the image) that satisfy `pred`.
int count(const QImage& img, const QRect& r, const std::function<bool(QColor)>& pred) {
  const QRect c = r.intersected(img.rect());
  int n = 0;
  for (int y = c.top(); y <= c.bottom(); ++y)
    for (int x = c.left(); x <= c.right(); ++x) n += pred(img.pixelColor(x, y));
  return n;
}

int countNear(const QImage& img, const QRect& r, QColor colour, int tol = 40) {
  return count(img, r, [&](QColor c) { return near(c, colour, tol); });
}

int countChanged(const QImage& img, const QRect& r) {
  return count(img, r, [](QColor c) { return c != kBackdrop; });
}

// First and last white pixel along a row (step (1, 0)) or column (0, 1).
std::pair<int, int> whiteRun(const QImage& img, QPoint from, QPoint step, int n) {
  int lo = -1, hi = -1;
  for (int i = 0; i < n; ++i) {
    const QPoint p = from + step * i;
    if (near(img.pixelColor(p), kWhite)) {
      hi = step.x() ? p.x() : p.y();
      if (lo < 0) lo = hi;
    }
  }
  return {lo, hi};
}

class OverlayPaint : public ::testing::Test {
 protected:
  // Nothing may reach the real settings file (the overlay re-reads the
  // language from it).
  TempRoot root;
  aim overlay;

  void SetUp() override {
    overlay.slot_recv_reticle_color(2);      // white lines
    overlay.slot_recv_reticle_dot_color(1);  // red dot
  }

  void loadCenter(double x, double y) {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    s.setValue("aim/center_x", x);
    s.setValue("aim/center_y", y);
    overlay.loadCenter(s);
  }

  // What the widget's paint event draws, over the backdrop.
  QImage render() {
    overlay.resize(360, 320);
    QImage img = drawn();
    overlay.render(&img);
    return img;
  }
};

}  // namespace

TEST_F(OverlayPaint, CentreDotSitsAtTheCentreScaledAboutTheWindowCentre) {
  overlay.slot_recv_reticle_type(0);
  QImage img = render();
  EXPECT_TRUE(near(img.pixelColor(180, 160), kRed, 8));
  // The dot is 6 px across and nothing else is drawn but the zoom text.
  EXPECT_EQ(countChanged(img, QRect(30, 40, 330, 280)) - countChanged(img, QRect(176, 156, 9, 9)),
            0);
  EXPECT_TRUE(isBackdrop(img, 185, 160));

  // Off-centre in both axes: (170, 150) at zoom 2 is drawn at (160, 140).
  overlay.slot_update(2.0);
  loadCenter(170, 150);
  img = render();
  EXPECT_TRUE(near(img.pixelColor(160, 140), kRed, 8));
  EXPECT_TRUE(isBackdrop(img, 170, 150));
}

TEST_F(OverlayPaint, TicksRunFrom19To29PixelsOutOnEachSide) {
  overlay.slot_recv_reticle_type(1);
  const QImage img = render();
  // Lines on whole pixels with square caps: crisp runs one pixel longer at
  // each end (the 2 px pen covers the row/column above/left of the line).
  using Run = std::pair<int, int>;
  EXPECT_EQ(whiteRun(img, {130, 160}, {1, 0}, 45), Run(150, 161));
  EXPECT_EQ(whiteRun(img, {186, 160}, {1, 0}, 45), Run(198, 209));
  EXPECT_EQ(whiteRun(img, {180, 110}, {0, 1}, 45), Run(130, 141));
  EXPECT_EQ(whiteRun(img, {180, 166}, {0, 1}, 45), Run(178, 189));
  // No circle on this shape: the diagonals stay clear.
  EXPECT_EQ(countChanged(img, QRect(192, 142, 6, 6)), 0);
  EXPECT_EQ(countChanged(img, QRect(162, 172, 6, 6)), 0);
}

TEST_F(OverlayPaint, BrokenCircleLeavesGapsAtRightTopLeftAndBottom) {
  overlay.slot_recv_reticle_type(2);
  const QImage circle = render();
  const double r = 22.0;
  const QPointF c(180, 160);
  // Arc present at the four diagonals...
  for (int deg : {45, 135, 225, 315}) {
    const double a = deg * M_PI / 180.0;
    const QPoint p(int(c.x() + r * std::cos(a)), int(c.y() - r * std::sin(a)));
    EXPECT_GT(countNear(circle, QRect(p.x() - 1, p.y() - 1, 3, 3), kWhite, 90), 0) << deg;
  }
  // ...and absent on the axes.
  const QPoint gaps[] = {{202, 160}, {180, 138}, {158, 160}, {180, 182}};
  for (const QPoint& g : gaps) {
    EXPECT_EQ(countChanged(circle, QRect(g.x() - 2, g.y() - 2, 5, 5)), 0) << g.x() << "," << g.y();
  }

  // The full reticle: circle plus ticks. In each gap it is exactly the
  // ticks-only shape, and beyond the circle the ticks show.
  overlay.slot_recv_reticle_type(1);
  const QImage ticks = render();
  overlay.slot_recv_reticle_type(3);
  const QImage full = render();
  for (const QPoint& g : gaps) {
    const QRect box(g.x() - 2, g.y() - 2, 5, 5);
    EXPECT_EQ(full.copy(box), ticks.copy(box)) << g.x() << "," << g.y();
  }
  EXPECT_EQ(full.copy(190, 140, 8, 8), circle.copy(190, 140, 8, 8));
}

TEST_F(OverlayPaint, ZeroingPreviewIsADashedCrossHairInAContrastingColour) {
  overlay.slot_recv_reticle_type(3);
  overlay.slot_recv_reticle_color(0);
  overlay.slot_reticle_update(3, 5, 4);
  QImage img = render();
  auto reddish = [](QColor c) { return c.red() > c.green() + 60; };
  // The cross-hair goes through (180 + 5, 160 - 4) across the whole window.
  int rowHits = 0, colHits = 0;
  for (int x = 0; x < 360; ++x)
    if (reddish(img.pixelColor(x, 155)) || reddish(img.pixelColor(x, 156))) ++rowHits;
  for (int y = 0; y < 320; ++y)
    if (reddish(img.pixelColor(184, y)) || reddish(img.pixelColor(185, y))) ++colHits;
  EXPECT_GT(rowHits, 150);
  EXPECT_LT(rowHits, 345);  // dashed, not solid
  EXPECT_GT(colHits, 130);
  EXPECT_LT(colHits, 310);
  EXPECT_EQ(count(img, QRect(0, 166, 170, 150), reddish), 0);  // nothing off the lines
  // The reticle itself is not drawn, nor the zoom text.
  EXPECT_TRUE(isBackdrop(img, 180, 160));
  EXPECT_EQ(countNear(img, QRect(0, 0, 150, 40), kAccent, 30), 0);

  // Modes 1 and 2 draw the same cross-hair.
  overlay.slot_reticle_update(1, 5, 4);
  const QImage mode1 = render();
  overlay.slot_reticle_update(2, 5, 4);
  EXPECT_EQ(render(), mode1);
  EXPECT_EQ(mode1, img);

  // On red lines the cross-hair turns white.
  overlay.slot_recv_reticle_color(1);
  img = render();
  EXPECT_EQ(count(img, QRect(0, 0, 360, 320), reddish), 0);
  EXPECT_GT(countNear(img, QRect(0, 154, 360, 4), kWhite, 110), 100);

  // Offsets follow the zoom: at zoom 2 with centre (190, 160) and x offset 5
  // the vertical line is at 200 + 10.
  overlay.slot_update(2.0);
  loadCenter(190, 160);
  overlay.slot_reticle_update(3, 5, 0);
  img = render();
  EXPECT_GT(countNear(img, QRect(209, 0, 2, 320), kWhite, 110), 100);
  // (Unscaled offsets would put it at 205.)
  EXPECT_EQ(countNear(img, QRect(204, 0, 2, 140), kWhite, 110), 0);

  // Ending the preview brings the reticle back.
  overlay.slot_reticle_update(0, 0, 0);
  img = render();
  EXPECT_TRUE(near(img.pixelColor(200, 160), kRed, 8));
}

TEST_F(OverlayPaint, ZoomTextAndHiddenZoomFollowTheReticleMode) {
  const QRect zoomBox(20, 0, 120, 32);
  overlay.slot_recv_reticle_type(3);
  const QImage img = render();
  EXPECT_GT(countNear(img, zoomBox, kAccent, 30), 20);
  EXPECT_EQ(countNear(img, QRect(150, 0, 210, 320), kAccent, 30), 0);
  overlay.slot_update(2.0);
  EXPECT_GT(countNear(render(), zoomBox, kAccent, 30), 20);

  // A zoom below 0.95 shows nothing at all in reticle mode 0, nor does a
  // hidden zoom, even with a temperature to show.
  overlay.slot_update(0.5);
  EXPECT_EQ(render(), drawn());
  overlay.slot_recv_temp_measure_enabled(true);
  overlay.slot_recv_center_temperature("21.5 °C");
  overlay.slot_update(2.0);
  overlay.slot_update(-1.0);
  EXPECT_EQ(render(), drawn());

  // The colour page previews the reticle: reticle, no zoom, no temperature.
  overlay.slot_recv_reticle_mode(RETICLE_MODE_ALWAYS);
  const QImage preview = render();
  EXPECT_TRUE(near(preview.pixelColor(180, 160), kRed, 8));
  EXPECT_EQ(countNear(preview, QRect(0, 0, 150, 40), kAccent, 30), 0);
  EXPECT_EQ(countChanged(preview, QRect(198, 178, 100, 25)), 0);

  // Zoom below 0.95 but not hidden: the temperature joins the reticle.
  overlay.slot_update(0.5);
  EXPECT_GT(countNear(render(), QRect(198, 178, 100, 25), kWhite, 60), 10);
}

TEST_F(OverlayPaint, StatusPicturesAndChargingScreenHideEverythingElse) {
  overlay.slot_recv_reticle_type(3);
  overlay.slot_recv_temp_measure_enabled(true);
  overlay.slot_recv_language(1);
  overlay.slot_recv_lowpower(true);
  aim_cross_one reference;
  const QImage lowOnly = drawn([&](QPainter* p) { reference.drawStatusImages(p, false, 1, true); });
  EXPECT_EQ(countChanged(lowOnly, lowOnly.rect()), 360 * 320);
  EXPECT_EQ(render(), lowOnly);
  overlay.slot_reticle_update(3, 0, 0);
  EXPECT_EQ(render(), lowOnly);

  overlay.slot_recv_lowpower(false);
  overlay.slot_recv_poweroff(true);
  const QImage offOnly = drawn([&](QPainter* p) { reference.drawStatusImages(p, true, 1, false); });
  EXPECT_EQ(render(), offOnly);
  EXPECT_NE(offOnly, lowOnly);
  overlay.slot_update(1.0);
  overlay.slot_recv_reticle_mode(RETICLE_MODE_ALWAYS);
  overlay.slot_update(-1.0);
  EXPECT_EQ(render(), offOnly);

  // Both: the power-off picture lies on top.
  overlay.slot_recv_lowpower(true);
  EXPECT_EQ(render(), offOnly);

  // A charger hides everything but the charging screen, which covers the window.
  overlay.slot_reticle_update(3, 4, 4);
  overlay.slot_recv_language(2);
  overlay.slot_recv_battery_percent(64);
  overlay.slot_recv_chargeOnline(true);
  const QImage charging = drawn([&](QPainter* p) { reference.drawChargingScreen(p, 2, 64); });
  EXPECT_EQ(render(), charging);
  EXPECT_EQ(countChanged(charging, charging.rect()), 360 * 320);
  overlay.slot_recv_chargeOnline(false);  // unplugged, the status pictures come back
  EXPECT_NE(render(), charging);
}

TEST_F(OverlayPaint, StatusPicturesFollowTheLanguage) {
  overlay.slot_recv_language(2);
  overlay.slot_recv_lowpower(true);
  // Russian units show the Type-C picture instead of the plain low-battery one.
  EXPECT_EQ(render(), picture(":/pictures/ru/connectTypeC.png"));
  overlay.slot_recv_lowpower(false);
  overlay.slot_recv_language(9);  // clamped
  EXPECT_EQ(overlay.language(), 2);
  overlay.slot_recv_language(0);
  overlay.slot_recv_poweroff(true);
  EXPECT_EQ(render(), picture(":/pictures/zh/poweroff.png"));
}

TEST_F(OverlayPaint, TemperatureTextSitsDownRightOfTheDrawnCentre) {
  overlay.slot_recv_reticle_type(0);
  EXPECT_EQ(overlay.centerTemperatureText(), "--.- °C");
  // Off until enabled.
  EXPECT_EQ(countChanged(render(), QRect(198, 178, 100, 25)), 0);
  overlay.slot_recv_temp_measure_enabled(true);
  QImage img = render();
  EXPECT_GT(countNear(img, QRect(197, 177, 80, 20), kWhite, 60), 10);

  overlay.slot_recv_center_temperature("36.6 °C");
  EXPECT_EQ(overlay.centerTemperatureText(), "36.6 °C");
  overlay.slot_recv_center_temperature(QString());
  EXPECT_EQ(overlay.centerTemperatureText(), "--.- °C");
  overlay.slot_recv_center_temperature("36.6 °C");
  overlay.slot_recv_temp_measure_enabled(false);
  EXPECT_EQ(overlay.centerTemperatureText(), "--.- °C");

  // It follows the zoomed centre and shows during the zeroing preview.
  overlay.slot_recv_temp_measure_enabled(true);
  loadCenter(200, 160);
  overlay.slot_update(2.0);
  img = render();
  EXPECT_GT(countNear(img, QRect(237, 177, 80, 20), kWhite, 60), 10);
  EXPECT_EQ(countChanged(img, QRect(197, 177, 38, 20)), 0);
  overlay.slot_update(1.0);
  loadCenter(180, 160);
  overlay.slot_reticle_update(3, 0, 0);
  EXPECT_GT(countNear(render(), QRect(197, 177, 80, 20), kWhite, 60), 10);
}

TEST_F(OverlayPaint, ChargingScreenShowsLevelAndFitsTheTitle) {
  aim_cross_one r;
  auto level = [&](int percent) {
    const QImage img = drawn([&](QPainter* p) { r.drawChargingScreen(p, 1, percent); });
    return countNear(img, img.rect(), kAccent, 12);
  };
  const int half = level(50), full = level(100);
  EXPECT_EQ(level(0), 0);
  EXPECT_GT(half, 300);
  EXPECT_GT(full, half * 3 / 2);
  EXPECT_EQ(level(250), full);  // clamped

  // The title font is the largest that fits the group width.
  QFont f("DejaVu Sans");
  f.setWeight(75);
  for (const QString& title : {QString("Charging"), QString("Fully charged"), QString("充电中")}) {
    const double width = 150.0;
    const int ts = aimdraw::chargingTitlePixelSize(title, width);
    f.setPixelSize(ts);
    EXPECT_LE(QFontMetricsF(f).horizontalAdvance(title), width) << title.toStdString();
    f.setPixelSize(ts + 1);
    EXPECT_GT(QFontMetricsF(f).horizontalAdvance(title), width) << title.toStdString();
  }
  EXPECT_EQ(aimdraw::chargingTitle(2, 99), "Зарядка");
  EXPECT_EQ(aimdraw::chargingTitle(0, 100), "已充满电");
  EXPECT_EQ(aimdraw::chargingTitle(7, 100), "Fully charged");
}

TEST(OverlayArtwork, EveryLanguageHasItsOwnFullScreenPictures) {
  for (const char* name : {"lowpower.png", "poweroff.png", "charging.png"}) {
    QImage zh(QString(":/pictures/zh/") + name), en(QString(":/pictures/en/") + name),
        ru(QString(":/pictures/ru/") + name);
    for (const QImage* img : {&zh, &en, &ru}) {
      ASSERT_FALSE(img->isNull()) << name;
      EXPECT_EQ(img->size(), QSize(360, 320)) << name;
      EXPECT_FALSE(img->hasAlphaChannel() && img->pixelColor(5, 5).alpha() < 255) << name;
    }
    // Each carries text in its own language.
    EXPECT_NE(zh, en) << name;
    EXPECT_NE(en, ru) << name;
  }
}
