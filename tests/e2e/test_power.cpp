// The bench's power hardware changed under the running program, as the
// simulator's script actions change it: a flat battery, the charger, the card.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>

#include "imaging/camera.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "power/power_manager.h"
#include "sim/power_controls.h"
#include "tests/e2e/e2e_device.h"
#include "ui/homepage.h"

TEST(Power, FlatBatteryChargerAndCard) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  MainWindow& w = d.window();
  sim::PowerControls bench(d.root().dir(), d.board().accel());
  auto cameraRuns = [&] { return w.imageThread()->camera()->IsInited(); };

  // A battery running down below 10 % while recording: the low-battery
  // screen, no camera, and the recording ends with the camera.
  d.state().setRecording(true);
  ASSERT_TRUE(bench.setBatteryPercent(8));
  e2e::pump(1200);
  ASSERT_TRUE(bench.setBatteryPercent(5));
  EXPECT_TRUE(e2e::waitUntil([&] { return w.overlay()->lowPowerShown(); }, 8000));
  EXPECT_FALSE(d.state().recording());
  EXPECT_FALSE(w.homePage()->recordingLine()->isVisible());
  EXPECT_TRUE(e2e::waitUntil([&] { return !cameraRuns(); }, 3000));

  // Plugged in: the charging screen, and low power is over.
  ASSERT_TRUE(bench.setCharger(true));
  EXPECT_TRUE(e2e::waitUntil([&] { return w.overlay()->chargerConnected(); }, 3000));
  EXPECT_FALSE(w.lowPower());
  ASSERT_TRUE(bench.setCharger(false));
  ASSERT_TRUE(bench.setBatteryPercent(80));
  EXPECT_TRUE(e2e::waitUntil([&] { return cameraRuns(); }, 12000));

  // Recording when the charger is plugged in: it ends as the camera stops.
  d.state().setRecording(true);
  e2e::pump(500);
  ASSERT_TRUE(bench.setCharger(true));
  EXPECT_TRUE(e2e::waitUntil([&] { return w.overlay()->chargerConnected(); }, 3000));
  EXPECT_FALSE(d.state().recording());
  ASSERT_TRUE(bench.setCharger(false));
  EXPECT_TRUE(e2e::waitUntil([&] { return cameraRuns(); }, 12000));

  // The card taken out: its icon changes and the shutter says so.
  const QPixmap withCard = w.homePage()->sdIcon()->pixmap(Qt::ReturnByValue);
  ASSERT_TRUE(bench.setCardInserted(false));
  EXPECT_TRUE(e2e::waitUntil([&] { return !w.sdPresent(); }, 3000));
  EXPECT_NE(w.homePage()->sdIcon()->pixmap(Qt::ReturnByValue).toImage(), withCard.toImage());
  w.onHardwareKey(USER_KEY_SHUTTER);
  EXPECT_EQ(w.toastLabel()->text(), QStringLiteral("Insert SD card"));
  EXPECT_TRUE(d.photos().isEmpty());
}

// Asleep, with the screen dark, the shutter and the record key start nothing
// and use up no number; the power key still works.
TEST(Power, KeysDuringIdleSleepStartNothing) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  MainWindow& w = d.window();
  PowerManager* pm = w.powerManager();
  // Lying still for five minutes, tick by tick.
  pm->setMotionSource([](float out[3]) {
    out[0] = 0.0f;
    out[1] = 0.0f;
    out[2] = 9.5f;
    return 0;
  });
  pm->setEnergySettings(true, 5, 10);
  for (int i = 0; i < 5 * 60 * 5 + 10 && !pm->idleSleeping(); ++i) pm->pollAccelMotion();
  ASSERT_TRUE(w.idleSleeping());
  const QVariant pictures = d.setting("PictureFileNum"), videos = d.setting("VideoFileNum");

  w.onHardwareKey(USER_KEY_SHUTTER);
  w.onHardwareKey(USER_KEY_RECORD);
  e2e::pump(600);
  EXPECT_FALSE(d.state().recording());
  EXPECT_TRUE(d.photos().isEmpty());
  EXPECT_EQ(d.setting("PictureFileNum"), pictures);
  EXPECT_EQ(d.setting("VideoFileNum"), videos);
  EXPECT_TRUE(QDir(d.root().file("/mnt/sdcard/video")).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(QDir(d.root().file("/mnt/sdcard/picture")).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(w.idleSleeping());  // waking stays with motion

  w.onHardwareKey(USER_KEY_POWER_OFF);
  EXPECT_TRUE(w.poweringOff());
}
