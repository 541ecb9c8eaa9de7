#include <gtest/gtest.h>

#include <QtMath>
#include <cmath>

#include "tests/ui/ui_test_util.h"
#include "ui/adjustpage.h"
#include "ui/battery.h"
#include "ui/brightnesspillbutton.h"
#include "ui/brightnessringwidget.h"
#include "ui/energyadjustpage.h"
#include "ui/pictures.h"
#include "ui/temppages.h"
#include "ui/toggleswitchbutton.h"

using uitest::mix;
using uitest::near;

TEST(Battery, SettersIgnoreNoiseClampAndKeepTheRangeOrdered) {
  Battery b;
  // 100.03 is gauge noise.
  const double cases[][2] = {{100, 100}, {100.03, 100}, {99.9, 99.9}, {150, 100}, {-3, 0}};
  for (const auto& c : cases) {
    b.setValue(c[0]);
    EXPECT_DOUBLE_EQ(b.value(), c[1]) << c[0];
  }
  b.setRange(50, 10);  // inverted: ignored
  EXPECT_EQ(QPointF(b.minValue(), b.maxValue()), QPointF(0, 100));
  b.setRange(20.0, 80.0);  // the value follows into the range
  EXPECT_EQ(b.value(), 20.0);
  b.setValue(90);
  EXPECT_EQ(b.value(), 80.0);
  b.setMinValue(85);  // would leave min >= max: ignored
  EXPECT_EQ(b.minValue(), 20.0);
  b.setMaxValue(60);
  EXPECT_EQ(b.value(), 60.0);
}

TEST(Battery, FillColoursFollowTheLevel) {
  Battery b;
  b.resize(200, 100);
  // The fill gradient runs over the widget's height; halfway down it is the
  // mix of its two colours. Sampled a little inside the fill's left end.
  struct Case {
    int level;
    QColor start, end;
  } cases[] = {{20, b.alarmColorStart(), b.alarmColorEnd()},
               {60, Battery::kWarningColorStart, Battery::kWarningColorEnd},
               {80, b.normalColorStart(), b.normalColorEnd()}};
  for (const Case& c : cases) {
    b.setValue(c.level);
    const QImage img = uitest::render(&b);
    EXPECT_TRUE(near(img.pixelColor(12, 50), mix(c.start, c.end, 0.5)))
        << c.level << " " << img.pixelColor(12, 50).name().toStdString();
  }
  // The fill ends where the level says: at 15 % of the 172 px inside.
  b.setValue(15);
  const QImage low = uitest::render(&b);
  EXPECT_GT(low.pixelColor(25, 50).alpha(), 200);
  EXPECT_EQ(low.pixelColor(60, 50).alpha(), 0);

  // Empty but charging: the whole body in the normal colours.
  b.setValue(0);
  EXPECT_EQ(uitest::render(&b).pixelColor(12, 50).alpha(), 0);
  b.setCharging(true);
  const QImage charging = uitest::render(&b);
  EXPECT_TRUE(
      near(charging.pixelColor(12, 50), mix(b.normalColorStart(), b.normalColorEnd(), 0.5)));
  EXPECT_TRUE(
      near(charging.pixelColor(160, 50), mix(b.normalColorStart(), b.normalColorEnd(), 0.5)));
}

TEST(BrightnessRing, GeometryClampAndSweep) {
  BrightnessRingWidget ring;
  ring.setValue(150);
  EXPECT_EQ(ring.value(), 100);
  ring.setValue(-1);
  EXPECT_EQ(ring.value(), 0);
  ring.resize(200, 200);
  const double mid =
      (BrightnessRingWidget::outerRadius(200) + BrightnessRingWidget::innerRadius(200)) / 2;
  auto at = [&](const QImage& img, double clockDeg) {
    const double a = (clockDeg - 90.0) * 3.14159265358979 / 180.0;  // 0 = twelve o'clock, clockwise
    return img.pixelColor(qRound(100 + mid * std::cos(a)), qRound(100 + mid * std::sin(a)));
  };
  const QColor track = BrightnessRingWidget::kTrackColor;
  const QColor accent = BrightnessRingWidget::kAccentColor;

  ring.setValue(0);
  QImage img = uitest::render(&ring);
  for (double d : {10.0, 90.0, 180.0, 350.0}) EXPECT_EQ(at(img, d), track) << d;

  ring.setValue(25);
  img = uitest::render(&ring);
  EXPECT_EQ(at(img, 45), accent);
  EXPECT_EQ(at(img, 135), track);
  EXPECT_EQ(at(img, 315), track);

  ring.setValue(100);
  img = uitest::render(&ring);
  for (double d : {10.0, 90.0, 180.0, 350.0}) EXPECT_EQ(at(img, d), accent) << d;
}

// Four quick taps are four steps on every pill page, however the second tap
// of each pair arrives: a double-click is no press of its own.
TEST(BrightnessPill, EveryTapIsOneStepAtAnyRhythm) {
  AdjustPage brightness(nullptr, 2.0);
  EnergyAdjustPage minutes(nullptr, 2.0);
  TempCalBlackbodyPage blackbody(nullptr, 2.0);
  int steps = 0;
  QObject::connect(&brightness, &AdjustPage::nudgeBrightnessRequested, [&](int) { ++steps; });
  QObject::connect(&minutes, &EnergyAdjustPage::nudgeRequested, [&](int) { ++steps; });
  QObject::connect(&blackbody, &TempCalBlackbodyPage::nudgeRequested, [&](double) { ++steps; });
  const std::pair<QWidget*, QWidget*> pills[] = {{&brightness, brightness.plusButton()},
                                                 {&minutes, minutes.minusButton()},
                                                 {&blackbody, blackbody.plusButton()}};
  for (const auto& [page, pill] : pills) {
    SCOPED_TRACE(page->metaObject()->className());
    page->resize(360, 320);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
    for (auto how : {uitest::TapDelivery::WindowSystem, uitest::TapDelivery::PressAndDoubleClick})
      for (int gapMs : {250, 90, 700}) {
        steps = 0;
        for (int tap = 0; tap < 4; ++tap) uitest::timedTap(pill, pill->rect().center(), gapMs, how);
        EXPECT_EQ(steps, 4) << "taps " << gapMs << " ms apart, delivery " << static_cast<int>(how);
      }
    EXPECT_FALSE(static_cast<QAbstractButton*>(pill)->isDown());
    page->hide();
  }
  QTest::lastMouseTimestamp += 1000;  // no double-click into the next test
}
