#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/appcontroller.h"

TEST(AppController, SettersNormaliseAndSignalOnlyRealChanges) {
  AppController c;
  QSignalSpy palette(&c, &AppController::paletteModeChanged);
  QSignalSpy reticle(&c, &AppController::reticleTypeChanged);
  QSignalSpy bright(&c, &AppController::brightnessChanged);
  QSignalSpy zero(&c, &AppController::zeroingChanged);

  c.setReticleType(-1);  // wraps backwards
  EXPECT_EQ(c.reticleType(), 3);
  EXPECT_EQ(reticle.count(), 0);  // 3 was already the value
  c.setReticleType(4);
  EXPECT_EQ(c.reticleType(), 0);
  EXPECT_EQ(reticle.count(), 1);
  c.setReticleType(8);  // also 0: no signal
  EXPECT_EQ(reticle.count(), 1);

  c.setPaletteMode(-1);
  EXPECT_EQ(c.paletteMode(), 4);
  c.stepPaletteMode(+1);
  EXPECT_EQ(c.paletteMode(), 0);
  c.stepPaletteMode(-6);
  EXPECT_EQ(c.paletteMode(), 4);
  EXPECT_EQ(palette.count(), 3);

  c.setBrightness(150);
  EXPECT_EQ(c.brightness(), 100);
  c.setBrightness(120);
  EXPECT_EQ(bright.count(), 1);
  c.nudgeBrightness(-130);
  EXPECT_EQ(c.brightness(), 0);
  EXPECT_EQ(bright.count(), 2);

  c.setZeroX(45);
  c.setZeroY(-45);
  EXPECT_EQ(c.zeroX(), 30);
  EXPECT_EQ(c.zeroY(), -30);
  EXPECT_EQ(zero.count(), 2);
  c.setZeroX(31);
  EXPECT_EQ(zero.count(), 2);
}

TEST(AppController, ResetDefaultsRestoresEveryValueWithOneSignalPerChange) {
  AppController c;
  c.setPaletteMode(2);
  c.setReticleType(1);
  c.setBrightness(80);
  c.setContrast(10);
  c.setZeroX(5);
  c.setZeroY(6);
  c.setBatteryPercent(40);
  c.setRecording(true);
  QSignalSpy zero(&c, &AppController::zeroingChanged);
  QSignalSpy rec(&c, &AppController::recordingChanged);
  QSignalSpy contrast(&c, &AppController::contrastChanged);
  c.resetDefaults();
  EXPECT_EQ(c.paletteMode(), 0);
  EXPECT_EQ(c.reticleType(), 3);
  EXPECT_EQ(c.brightness(), 50);
  EXPECT_EQ(c.contrast(), 50);
  EXPECT_EQ(c.zeroX(), 0);
  EXPECT_EQ(c.zeroY(), 0);
  // The battery reads full until the next poll says otherwise.
  EXPECT_EQ(c.batteryPercent(), 100);
  EXPECT_FALSE(c.recording());
  EXPECT_EQ(zero.count(), 2);
  EXPECT_EQ(rec.count(), 1);
  EXPECT_EQ(contrast.count(), 1);
}
