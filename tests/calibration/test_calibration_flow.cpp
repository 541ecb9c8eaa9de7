// The calibration run with a scripted core: its timing, the result the
// result page shows, runs that fail, and the blackbody set point as the
// buttons move it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <cmath>
#include <vector>

#include "tests/support/temp_root.h"
#include "tests/ui/ui_test_util.h"
#include "thermal/calibration_flow.h"
#include "ui/brightnesspillbutton.h"
#include "ui/brightnessringwidget.h"
#include "ui/temppages.h"

namespace {

constexpr int kEnglish = 1;

// Readings in order; NAN stands for a reading the core did not answer.
struct ScriptedCore {
  std::vector<float> readings;
  size_t next = 0;
  bool read(float* c) {
    if (next >= readings.size()) return false;
    const float v = readings[next++];
    if (std::isnan(v)) return false;
    *c = v;
    return true;
  }
};

// Runs a whole calibration against the reference row and shows the result
// as the window does.
CalibrationResult run(ScriptedCore& core, int refType, TempCalResultPage& page) {
  CalibrationFlow flow([&core](float* c) { return core.read(c); });
  flow.selectReference(refType);
  flow.prepareGuide();
  flow.start();
  for (int i = 0; i < 11; ++i) flow.tick();
  const CalibrationResult& r = flow.result();
  if (r.ok())
    page.setResult(kEnglish, r.refC, r.measuredC, r.offsetC);
  else
    page.setFailedResult(kEnglish, r.refC);
  return r;
}

}  // namespace

TEST(CalibrationFlow, ARunSettlesEightSecondsThenSamplesThree) {
  int reads = 0;
  CalibrationFlow flow([&reads](float* c) {
    ++reads;
    *c = 20.0f;
    return true;
  });
  QStringList banner;
  QObject::connect(&flow, &CalibrationFlow::bannerChanged, [&banner](int phase, int countdown) {
    banner << calibrationBannerLine2(kEnglish, phase, countdown);
  });
  QSignalSpy calibrating(&flow, &CalibrationFlow::calibratingChanged);
  QSignalSpy visible(&flow, &CalibrationFlow::bannerVisibleChanged);
  QSignalSpy finished(&flow, &CalibrationFlow::finished);

  flow.tick();  // no run yet
  flow.start();
  flow.start();  // a second Start while running changes nothing
  for (int i = 0; i < 10; ++i) flow.tick();
  EXPECT_TRUE(flow.isCalibrating());
  EXPECT_EQ(reads, 2);
  flow.tick();
  EXPECT_FALSE(flow.isCalibrating());
  flow.tick();  // a late timer tick after the end

  EXPECT_EQ(banner, QStringList({"Settling 8", "Settling 7", "Settling 6", "Settling 5",
                                 "Settling 4", "Settling 3", "Settling 2", "Settling 1",
                                 "Sampling 3", "Sampling 2", "Sampling 1"}));
  EXPECT_EQ(reads, 3);
  ASSERT_EQ(calibrating.size(), 2);
  EXPECT_TRUE(calibrating[0][0].toBool());
  EXPECT_FALSE(calibrating[1][0].toBool());
  ASSERT_EQ(visible.size(), 2);
  EXPECT_FALSE(visible[1][0].toBool());
  EXPECT_EQ(finished.size(), 1);
}

TEST(CalibrationFlow, ResultPageFigures) {
  struct Case {
    int refType;
    std::vector<float> readings;
    const char* ref;
    const char* meas;
    const char* offset;
  } cases[] = {
      {CalibrationFlow::Skin, {36.0f, 36.4f, 36.2f}, "Ref 35.0 °C", "Meas 36.2 °C",
       "Offset -1.2 °C"},
      {CalibrationFlow::IceWater, {-0.5f, -0.7f, -0.6f}, "Ref 0.0 °C", "Meas -0.6 °C",
       "Offset +0.6 °C"},
      {CalibrationFlow::Blackbody, {37.0f, 37.0f, 37.0f}, "Ref 37.0 °C", "Meas 37.0 °C",
       "Offset +0.0 °C"},
      // One failed reading among three still gives a mean of two.
      {CalibrationFlow::BoilingWater, {99.0f, NAN, 99.4f}, "Ref 100.0 °C", "Meas 99.2 °C",
       "Offset +0.8 °C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    ScriptedCore core{c.readings};
    TempCalResultPage page(nullptr, 2.0);
    const CalibrationResult r = run(core, c.refType, page);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(page.refLine()->text(), QString::fromUtf8(c.ref));
    EXPECT_EQ(page.measLine()->text(), QString::fromUtf8(c.meas));
    EXPECT_EQ(page.offsetLine()->text(), QString::fromUtf8(c.offset));
    EXPECT_FALSE(page.showsFailure());
  }
}

// Fewer than two readings used to give an offset equal to the reference
// (100 °C for boiling water), offered for applying.
TEST(CalibrationFlow, ARunWithoutTwoReadingsFailsAndCannotBeApplied) {
  for (const std::vector<float>& readings : {std::vector<float>{NAN, NAN, NAN},
                                             std::vector<float>{NAN, 99.5f, NAN}}) {
    ScriptedCore core{readings};
    CalibrationFlow flow([&core](float* c) { return core.read(c); });
    QSignalSpy applied(&flow, &CalibrationFlow::offsetApplied);
    flow.selectReference(CalibrationFlow::BoilingWater);
    flow.start();
    for (int i = 0; i < 11; ++i) flow.tick();
    ASSERT_TRUE(flow.hasResult());
    EXPECT_FALSE(flow.result().ok());
    EXPECT_FALSE(flow.apply());
    EXPECT_EQ(applied.size(), 0);
  }

  ScriptedCore core{{NAN, 99.5f, NAN}};
  TempCalResultPage page(nullptr, 2.0);
  run(core, CalibrationFlow::BoilingWater, page);
  page.resize(360, 320);
  page.show();
  EXPECT_TRUE(page.showsFailure());
  EXPECT_EQ(page.refLine()->text(), QString::fromUtf8("Ref 100.0 °C"));
  EXPECT_TRUE(page.failureLine()->isVisible());
  EXPECT_FALSE(page.applyButton()->isVisible());
  EXPECT_FALSE(page.offsetLine()->isVisible());
  QSignalSpy cancel(&page, &TempCalResultPage::cancelRequested);
  page.backButton()->click();
  EXPECT_EQ(cancel.size(), 1);

  // The next good run shows figures and Apply again.
  ScriptedCore good{{99.0f, 99.0f, 99.0f}};
  run(good, CalibrationFlow::BoilingWater, page);
  EXPECT_TRUE(page.applyButton()->isVisible());
  EXPECT_FALSE(page.backButton()->isVisible());
}

// The flow hands the offset over on Apply and never writes the settings
// itself: Cancel (nothing called on the flow) leaves everything as it was.
TEST(CalibrationFlow, ApplyHandsOverTheOffsetCancelChangesNothing) {
  TempRoot root;
  const QByteArray stored = "[General]\nTempMeasureOffsetC=0.5\n";
  root.write("/etc/settings.ini", stored);
  ScriptedCore core{{36.0f, 36.4f, 36.2f, 36.0f, 36.4f, 36.2f}};
  CalibrationFlow flow([&core](float* c) { return core.read(c); });
  QSignalSpy applied(&flow, &CalibrationFlow::offsetApplied);
  flow.selectReference(CalibrationFlow::Skin);
  flow.start();
  for (int i = 0; i < 11; ++i) flow.tick();
  EXPECT_EQ(applied.size(), 0);
  EXPECT_EQ(root.read("/etc/settings.ini"), stored);

  flow.start();
  for (int i = 0; i < 11; ++i) flow.tick();
  ASSERT_TRUE(flow.apply());
  ASSERT_EQ(applied.size(), 1);
  EXPECT_NEAR(applied[0][0].toDouble(), -1.2, 1e-5);
  EXPECT_EQ(root.read("/etc/settings.ini"), stored);
}

TEST(CalibrationFlow, BlackbodySetPointFromTheButtons) {
  CalibrationFlow flow(nullptr);
  TempCalBlackbodyPage page(nullptr, 2.0);
  page.resize(360, 320);
  page.show();
  QObject::connect(&page, &TempCalBlackbodyPage::nudgeRequested, &flow,
                   &CalibrationFlow::nudgeBlackbody);
  QObject::connect(&flow, &CalibrationFlow::setPointChanged, &page,
                   [&page](double v) { page.setSetPoint(kEnglish, v); });

  // Choosing the blackbody always starts again at 37.0.
  flow.selectReference(CalibrationFlow::Blackbody);
  flow.nudgeBlackbody(512.0);
  EXPECT_DOUBLE_EQ(flow.blackbodyC(), 549.0);
  flow.selectReference(CalibrationFlow::Skin);
  flow.selectReference(CalibrationFlow::Blackbody);
  EXPECT_DOUBLE_EQ(flow.blackbodyC(), 37.0);
  EXPECT_EQ(page.gauge()->valueText(), QStringLiteral("37.0"));

  // Held with the mouse or a finger: one step on press, one per repeat.
  struct Case {
    double from;
    QPushButton* button;
    bool touch;
    int repeats;
    double to;
  } cases[] = {{549.0, page.plusButton(), false, 5, 550.0},
               {100.0, page.plusButton(), true, 3, 102.0},
               {21.0, page.minusButton(), true, 5, 20.0}};
  for (const Case& c : cases) {
    flow.nudgeBlackbody(c.from - flow.blackbodyC());
    const QPoint mid = c.button->rect().center();
    if (c.touch)
      uitest::touch(c.button, mid);
    else
      uitest::mouse(c.button, QEvent::MouseButtonPress, mid);
    EXPECT_TRUE(page.repeatTimer()->isActive());
    for (int i = 0; i < c.repeats; ++i) page.repeatHeldStep();
    EXPECT_DOUBLE_EQ(flow.blackbodyC(), c.to);
    EXPECT_DOUBLE_EQ(page.setPoint(), c.to);
    if (c.touch)
      uitest::touch(c.button, mid, QEvent::TouchEnd, Qt::TouchPointReleased);
    else
      uitest::mouse(c.button, QEvent::MouseButtonRelease, mid);
    EXPECT_FALSE(page.repeatTimer()->isActive());
    EXPECT_FALSE(c.button->isDown());
  }
  EXPECT_EQ(page.gauge()->value(), 0);

  // Released, a stray repeat does nothing.
  QSignalSpy nudges(&page, &TempCalBlackbodyPage::nudgeRequested);
  page.repeatHeldStep();
  EXPECT_EQ(nudges.size(), 0);

  // The guide then names the set point as the reference.
  flow.nudgeBlackbody(20.5);
  flow.prepareGuide();
  EXPECT_DOUBLE_EQ(flow.refC(), 40.5);
  EXPECT_EQ(TempCalGuidePage::bodyText(flow.refType(), kEnglish, flow.refC()),
            QStringLiteral("Reference 40.5°C. Ensure the blackbody is stable at set point."));
}
