// The bench's power hardware changed under the running program, as the
// simulator's script actions change it: a flat battery, the charger, the card.
#include <gtest/gtest.h>

#include <QLabel>

#include "imaging/camera.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "sim/power_controls.h"
#include "tests/e2e/e2e_device.h"
#include "ui/homepage.h"

TEST(Power, FlatBatteryChargerAndCard) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  MainWindow& w = d.window();
  sim::PowerControls bench(d.root().dir(), d.board().accel());
  auto cameraRuns = [&] { return w.imageThread()->camera()->IsInited(); };

  // A battery running down below 10 %: the low-battery screen, no camera.
  ASSERT_TRUE(bench.setBatteryPercent(8));
  e2e::pump(1200);
  ASSERT_TRUE(bench.setBatteryPercent(5));
  EXPECT_TRUE(e2e::waitUntil([&] { return w.overlay()->lowPowerShown(); }, 8000));
  EXPECT_TRUE(e2e::waitUntil([&] { return !cameraRuns(); }, 3000));

  // Plugged in: the charging screen, and low power is over.
  ASSERT_TRUE(bench.setCharger(true));
  EXPECT_TRUE(e2e::waitUntil([&] { return w.overlay()->chargerConnected(); }, 3000));
  EXPECT_FALSE(w.lowPower());
  ASSERT_TRUE(bench.setCharger(false));
  ASSERT_TRUE(bench.setBatteryPercent(80));
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
